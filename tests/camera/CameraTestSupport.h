// Shared helpers of the camera tests: a fresh simulated camera per test, a readable trace of what the
// driver received (with the camera's sleeps in between), and frame grabbing through the capture engine.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera/CameraDevice.h"
#include "platform/simcam/SimCamera.h"

namespace camtest {

inline std::shared_ptr<SimCamera>& currentSim()
{
    static std::shared_ptr<SimCamera> sim;
    return sim;
}

inline std::vector<std::string>& trace()
{
    static std::vector<std::string> events;
    return events;
}

// One request as text: "W43=14" (write register), "R30" (read register), "reply", "init", "mode0",
// "size3780608", "clock1", "getclock", "frame-request", "frame".
inline std::string describe(const SimCamera::Request& r)
{
    const uint8_t* b = r.block.data();
    if (r.code == 0x2220A9)
        return "frame";
    if (r.code == 0x22204E && r.pipe == 1)
        return "reply";
    switch (b[0]) {
    case 2: return "frame-request";
    case 4: return "W" + std::to_string(b[1]) + "=" + std::to_string(b[2] << 8 | b[3]);
    case 6: return "init";
    case 9: return "size" + std::to_string(uint32_t(b[1]) | uint32_t(b[2]) << 8 | uint32_t(b[3]) << 16 | uint32_t(b[4]) << 24);
    case 10: return "mode" + std::to_string(b[1]);
    case 12: return "R" + std::to_string(b[1]);
    case 0x23: return "clock" + std::to_string(b[1]);
    case 0x24: return "getclock";
    default: return "code" + std::to_string(b[0]);
    }
}

// Moves what the driver received so far into the trace.
inline void drainLog()
{
    if (auto& sim = currentSim())
        for (const auto& r : sim->takeLog())
            trace().push_back(describe(r));
}

inline void recordSleep(uint32_t ms)
{
    drainLog();
    trace().push_back("sleep" + std::to_string(ms));
}

inline void noSleep(uint32_t) {}

// Each test gets a new, unpaced simulated camera at index 0 and a camera whose sleeps are skipped.
class CameraFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim = installSimulatedCamera(0);
        sim->setPaced(false);
        currentSim() = sim;
        trace().clear();
        CameraDevice::setSleepHook(&noSleep);
    }
    void TearDown() override
    {
        CameraDevice::setSleepHook(nullptr);
        currentSim().reset();
        uninstallSimulatedCamera(0);
    }

    std::shared_ptr<SimCamera> sim;
};

// Polls until pred holds or two minutes pass: the bound only runs out when something is broken, never
// because the machine is loaded (a full-sensor frame under ThreadSanitizer on a busy machine takes seconds).
template <typename Pred>
bool waitFor(Pred pred)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Starts capture, takes the first frame into a packed buffer of the window's size, stops.
inline std::vector<uint8_t> grab(CameraDevice& camera)
{
    std::vector<uint8_t> frame(size_t(camera.activeWidth()) * size_t(camera.activeHeight()));
    EXPECT_EQ(camera.StartCapture(), 0);
    EXPECT_TRUE(waitFor([&] { return camera.IsFrameReady() == 1; }));
    EXPECT_EQ(camera.GetImage(frame.data(), camera.activeWidth(), camera.activeHeight(), camera.activeWidth()), 0);
    EXPECT_EQ(camera.StopCapture(), 0);
    return frame;
}

}  // namespace camtest
