// A live source of the tests' own making: a video device with the controls, frames and faults a test sets.
// Frames are pictures of one level, raised by one per frame, with a darker left half where the test asks for
// a picture with an edge; a held source announces no frame, a broken one announces frames it cannot deliver.
// Frames may come at another size than the format's (the same each time, or two sizes by turns) or short.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

#include "camera/LiveSource.h"
#include "imaging/DibImage.h"

class FakeLiveSource : public LiveSource {
public:
    std::array<ControlRange, size_t(Control::Count)> ranges {};
    std::array<int32_t, size_t(Control::Count)> values {};
    FrameFormat frameFormat { 320, 240, Pixels::Colour, -1 };
    std::atomic<bool> gone { false };
    std::atomic<bool> held { false };    // no new frame: the camera stalls
    std::atomic<int> brokenFrames { 0 }; // frames announced whose read then fails
    std::atomic<bool> edge { false };    // the left half 40 levels darker
    std::atomic<int> framesDelivered { 0 };
    std::atomic<int> prepares { 0 };
    // Frames of this size (0 x 0: the format's), every other one taller by wobble rows; shortBytes > 0:
    // every frame has that many bytes. adopts: the source takes the size it sends when asked to.
    int32_t sentWidth = 0, sentHeight = 0, wobble = 0;
    uint64_t shortBytes = 0;
    bool adopts = true;

    void give(Control c, ControlRange r, int32_t value)
    {
        ranges[size_t(c)] = r;
        values[size_t(c)] = value;
    }
    int32_t value(Control c) const
    {
        std::lock_guard lock(m_Mutex);
        return values[size_t(c)];
    }

    std::string name() const override { return "Fake Scope (/dev/video9)"; }
    bool prepare(const StartSettings&) override
    {
        ++prepares;
        return !gone;
    }
    FrameFormat format() const override { return frameFormat; }
    int start(const StartSettings&) override
    {
        m_Capturing = !gone;
        return m_Capturing ? kOk : kNoHandle;
    }
    void stop() override { m_Capturing = false; }
    bool isCapturing() const override { return m_Capturing; }
    FrameState nextFrame() override
    {
        if (gone) {
            m_Capturing = false;
            return FrameState::Gone;
        }
        return m_Capturing && !held ? FrameState::Ready : FrameState::None;
    }
    int getFrame(DibImage& dst) override
    {
        const bool taller = wobble && m_Sent++ % 2;
        const int32_t width = sentWidth ? sentWidth : frameFormat.width;
        const int32_t height = (sentHeight ? sentHeight : frameFormat.height) + (taller ? wobble : 0);
        m_Refusal = {};
        if (shortBytes > 0)
            m_Refusal = { 0, 0, shortBytes, uint64_t(dst.stride()) * uint64_t(dst.height()) };
        else if (dst.width() != width || dst.height() != height || dst.bitsPerPixel() != frameFormat.bitsPerPixel())
            m_Refusal = { width, height };
        if (m_Refusal != Refusal {})
            return kNullBuffer;
        if (brokenFrames > 0) {
            --brokenFrames;
            return kNoFrame;
        }
        const int level = 40 + framesDelivered.fetch_add(1) % 100;
        std::memset(dst.bits(), level, size_t(dst.stride()) * size_t(dst.height()));
        if (edge)
            for (int32_t y = 0; y < dst.height(); ++y)
                std::memset(dst.bits() + size_t(y) * size_t(dst.stride()), level - 40,
                            size_t(dst.width() / 2) * size_t(dst.bitsPerPixel() / 8));
        return kOk;
    }
    Refusal lastRefusal() const override { return m_Refusal; }
    bool adoptFrameSize(int32_t width, int32_t height) override
    {
        if (!adopts)
            return false;
        frameFormat.width = width, frameFormat.height = height;
        sentWidth = sentHeight = 0;
        return true;
    }
    ControlRange range(Control c) const override { return ranges[size_t(c)]; }
    bool getControl(Control c, int32_t* v) override
    {
        if (!ranges[size_t(c)].present)
            return false;
        std::lock_guard lock(m_Mutex);
        *v = values[size_t(c)];
        return true;
    }
    bool setControl(Control c, int32_t v) override
    {
        const ControlRange r = ranges[size_t(c)];
        if (!r.present)
            return false;
        std::lock_guard lock(m_Mutex);
        values[size_t(c)] = std::clamp(v, r.min, r.max);
        return true;
    }

private:
    mutable std::mutex m_Mutex;
    std::atomic<bool> m_Capturing { false };
    Refusal m_Refusal;
    uint32_t m_Sent = 0;
};
