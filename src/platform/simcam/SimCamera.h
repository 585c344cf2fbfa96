// The simulated camera driver: answers the camera's control requests, command blocks, sensor registers
// and frame reads as the real driver and camera do, with a test chart in front of the sensor, realistic
// frame pacing, and switches for tests (unpaced frames, noise and motion off, a command log, faults).
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DeviceIo.h"
#include "platform/simcam/SimMosaic.h"

class SimCamera : public DeviceDriver {
public:
    // Pixel clocks of the normal and the half clock setting.
    static constexpr double kPixelClockHz = 48e6;
    static constexpr double kHalfPixelClockHz = 24e6;

    // What went through the driver, for tests: the request, its pipe and (for commands) the block.
    struct Request {
        uint32_t code = 0;
        uint32_t pipe = 0;
        std::array<uint8_t, 64> block{};
    };

    enum class FrameFault { None, Fail, Short };

    SimCamera();

    bool open() override;
    bool control(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t& bytesReturned) override;

    // Frames are delivered at the sensor's rate when paced (the default), as fast as asked otherwise.
    void setPaced(bool paced) { m_Paced = paced; }
    void setNoise(bool on) { m_Noise = on; }
    void setMotion(bool on) { m_Motion = on; }
    // The focus knob: the chart tilted with its sharp band at position (0..1 of the width; see SimFocus), or
    // square and sharp everywhere (the default).
    void setFocus(double position);
    void clearFocus();
    // The knob turned to and fro by itself, once across the whole range and back in period seconds of scene
    // time (0 stops it where it is).
    void setFocusSweep(double periodSeconds);
    // The simulation's focus setting in words, as the environment gives it: "sweep" or "sweep:<seconds>",
    // or a position such as "0.3". Returns false (and changes nothing) for anything else.
    bool applyFocusSetting(const std::string& text);
    // The focus the next frame is rendered with.
    SimFocus focus() const;
    // Records every request from now on (off by default: a live camera would fill memory).
    void setLogging(bool on);
    std::vector<Request> takeLog();

    // Faults: after `after` more good frames, one frame read fails or comes back short.
    void injectFrameFault(FrameFault fault, int after);
    // Every command and reply exchange fails (the frame request too, so frame reads then fail).
    void setCommandsFail(bool fail) { m_CommandsFail = fail; }
    // Opening a handle fails, as with a camera that does not answer.
    void setOpenFails(bool fail) { m_OpenFails = fail; }

    // State, for tests and benchmarks.
    uint16_t registerValue(int reg) const;
    bool halfClock() const;
    uint32_t transferSize() const;
    int transferMode() const;
    uint64_t framesDelivered() const { return m_Frames.load(); }
    // Thread CPU time spent rendering frames, in nanoseconds.
    int64_t renderCpuNanos() const { return m_RenderCpuNanos.load(); }

    // The readout and frame time the current registers give.
    SensorReadout readout() const;
    double framePeriodSeconds() const;
    // Frame time for a readout: the readout of its lines (blanking included) or, when longer, the
    // exposure of shutter rows.
    static double framePeriod(int activeWidth, int activeHeight, int shutterRows, bool halfClock);

private:
    bool command(const uint8_t* block, uint32_t code, uint32_t pipe);
    bool readReply(uint8_t* out);
    bool readFrame(uint8_t* out, uint32_t outSize, uint32_t& bytesReturned);
    void resetRegisters();
    void queueReply(const uint8_t* first, const uint8_t* second);
    void log(uint32_t code, uint32_t pipe, const uint8_t* block);
    SensorReadout readoutLocked() const;
    FrameExposure exposureLocked() const;

    mutable std::mutex m_Mutex;  // registers, replies, log, faults
    std::array<uint16_t, 256> m_Registers{};
    bool m_HalfClock = false;
    uint32_t m_TransferSize = 0;
    int m_TransferMode = 0;
    int m_FrameRequests = 0;
    std::deque<std::array<uint8_t, 64>> m_Replies;
    bool m_Logging = false;
    std::vector<Request> m_Log;
    FrameFault m_Fault = FrameFault::None;
    int m_FaultAfter = 0;

    std::atomic<bool> m_Paced{true};
    std::atomic<bool> m_Noise{true};
    std::atomic<bool> m_Motion{true};
    std::atomic<bool> m_Tilted{false};
    std::atomic<double> m_FocusPosition{0.5};
    std::atomic<double> m_SweepSeconds{0.0};
    std::atomic<bool> m_CommandsFail{false};
    std::atomic<bool> m_OpenFails{false};
    std::atomic<uint64_t> m_Frames{0};
    std::atomic<int64_t> m_RenderCpuNanos{0};

    std::mutex m_FrameMutex;  // the mosaic and the pacing clock: one frame read at a time
    SimMosaic m_Mosaic;
    std::chrono::steady_clock::time_point m_NextFrame{};
    std::chrono::steady_clock::time_point m_Start;
};

// Registers a simulated camera as device index (path "\\.\VzmCapDev-<index>"), replacing any device
// there, and returns it. The application calls this at start; tests call it for a fresh camera.
std::shared_ptr<SimCamera> installSimulatedCamera(int index = 0);
// Takes the device at index away (as when it is unplugged).
void uninstallSimulatedCamera(int index = 0);
