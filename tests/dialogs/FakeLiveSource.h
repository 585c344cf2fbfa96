// A live source of the tests' own making: a video device with the controls, frames and faults a test sets.
// Frames are flat pictures of one level, raised by one per frame.
#pragma once

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
    std::atomic<int> framesDelivered { 0 };

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
    bool prepare(const StartSettings&) override { return !gone; }
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
        return m_Capturing ? FrameState::Ready : FrameState::None;
    }
    int getFrame(DibImage& dst) override
    {
        if (dst.width() != frameFormat.width || dst.bitsPerPixel() != frameFormat.bitsPerPixel())
            return kNullBuffer;
        const int level = 40 + framesDelivered.fetch_add(1) % 100;
        std::memset(dst.bits(), level, size_t(dst.stride()) * size_t(dst.height()));
        return kOk;
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
};
