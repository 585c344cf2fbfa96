// OwnCameraSource: the viewer's own camera (CameraDevice) as a live source. Starting applies the stored
// window, clock, mirror, colour gains, global gain and shutter as the viewer always has; a frame read that
// fails or comes short ends the camera's capture run, and the next frame request starts a new run, so one
// broken frame is skipped and the live view goes on. The camera counts as gone when a run has ended and its
// device no longer opens; the next prepare opens it afresh. A camera that opens but keeps failing is tried
// again less and less often (the picture stands meanwhile), and goes on by itself once it answers again.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

#include "camera/LiveSource.h"

class CameraDevice;

class OwnCameraSource : public LiveSource {
public:
    // Runs restarted at once after a broken frame; after this many in a row without a good frame, a new run
    // starts only every kRetryMs.
    static constexpr int kQuickRestarts = 5;
    static constexpr int kRetryMs = 500;
    // The sensor settles this long after its window is set before the registers and capture follow.
    static constexpr uint32_t kSettleMs = 150;

    // Makes its own camera device (which probes and opens device index 0).
    OwnCameraSource();
    // Works on camera, which outlives it.
    explicit OwnCameraSource(CameraDevice& camera);
    ~OwnCameraSource() override;

    std::string name() const override { return "NX-QB740LE"; }
    CameraDevice* ownCamera() override { return &m_Camera; }
    bool keepsControlsInSettings() const override { return true; }

    bool prepare(const StartSettings& s) override;
    FrameFormat format() const override;
    int start(const StartSettings& s) override;
    void stop() override;
    bool isCapturing() const override;

    FrameState nextFrame() override;
    int getFrame(DibImage& dst) override;

    ControlRange range(Control c) const override;
    bool getControl(Control c, int32_t* value) override;
    bool setControl(Control c, int32_t value) override;

    // Capture runs started again after a broken frame since the last start (for tests).
    int restarts() const { return m_Restarts.load(); }

private:
    // Whether the camera's device opens now.
    bool deviceAnswers() const;

    std::unique_ptr<CameraDevice> m_Owned;
    CameraDevice& m_Camera;
    // Start, stop and the restart after a broken frame, between the user-interface and display threads.
    std::mutex m_Mutex;
    bool m_Wanted = false; // capture was started and not stopped since
    bool m_Gone = false; // concluded vanished: the next prepare opens the device afresh
    std::atomic<int> m_Restarts { 0 }; // runs restarted since the last start
    std::atomic<int> m_RunsWithoutFrame { 0 }; // runs restarted since the last good frame
    std::chrono::steady_clock::time_point m_LastRestart {};
};
