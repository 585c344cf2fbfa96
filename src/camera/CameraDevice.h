// CameraDevice: the viewer's only way to the camera. Finds and opens the driver's device, reads and writes
// the image sensor's registers through command blocks, sets the capture window, and runs the capture
// thread that reads whole frames into a ring of buffers for the display to take the newest from.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/FrameRing.h"

class CameraDevice {
public:
    // Result codes of the camera operations.
    static constexpr int kOk = 0;
    static constexpr int kBadBounds = 1;         // window bounds, or a ring of fewer than 2 or over 65535 buffers
    static constexpr int kNoFrame = 2;           // GetImage: no complete frame taken (IsFrameReady first)
    static constexpr int kBadHorizontal = 3;     // line geometry
    static constexpr int kBadVertical = 4;       // frame geometry
    static constexpr int kNoMemory = 7;          // no ring
    static constexpr int kNoHandle = 10;         // the device could not be opened
    static constexpr int kTransferFailed = 12;   // a command failed or moved the wrong byte count
    static constexpr int kNullBuffer = 14;       // no (or no usable) destination
    static constexpr int kFrameReadFailed = 19;  // a frame read failed or came short
    static constexpr int kAlreadyRunning = 21;   // capture is running (also refuses window and geometry changes)
    static constexpr int kBadIndex = 22;         // device index

    static constexpr int kDeviceCount = 8;
    static constexpr int kRingBuffers = 10;
    static constexpr int kSensorWidth = 2048;
    static constexpr int kSensorHeight = 1536;

    // Registers the viewer uses.
    static constexpr int kRegShutter = 9;
    static constexpr int kRegMirror = 32;
    static constexpr int kRegGreen1Gain = 43;
    static constexpr int kRegBlueGain = 44;
    static constexpr int kRegRedGain = 45;
    static constexpr int kRegGreen2Gain = 46;
    static constexpr int kRegGlobalGain = 53;

    // One entry of the register table: the sensor's starting value and whether the viewer may touch it.
    struct RegisterInfo {
        uint16_t defaultValue = 0;
        uint8_t readable = 0;
        uint8_t writable = 0;
    };

    // Probes device indices 0..7 and opens index 0 (quietly doing nothing useful when there is no camera).
    CameraDevice();
    // Stops capture and frees the ring.
    ~CameraDevice();
    CameraDevice(const CameraDevice&) = delete;
    CameraDevice& operator=(const CameraDevice&) = delete;

    void ProbeDevices();
    int IsPresent(int index) const;
    int SelectDevice(int index);
    int Open(int index);

    int SetWindow(int x, int y, int width, int height, int skip);
    int SetTransferMode(int mode);
    int SendTransferSize();
    int WriteRegister(int reg, uint16_t value);
    int ReadRegister(int reg, uint16_t* value);

    int SetMirror(int on);
    // The sensor reads columns in one direction only: nothing to set.
    int SetMirrorH(int) { return 0; }
    int SetClock(int on);
    int GetClock(int* on);
    int SetColorGain(int reg, uint8_t value);
    // Register reads (GetColorGain, GetShutter) return 1 when the read succeeded, 0 when it did not.
    int GetColorGain(int reg, uint8_t* value);
    int GetColorGainMin(int reg, uint8_t* value);
    int GetColorGainMax(int reg, uint8_t* value);
    int SetGlobalGain(uint8_t value);
    uint8_t GetGlobalGain();
    // The same read, saying whether it succeeded (1) or not (0, value untouched): a failed read is no gain.
    int GetGlobalGain(uint8_t* value);
    uint8_t GetGlobalGainMin() const { return 0; }
    uint8_t GetGlobalGainMax() const { return 127; }
    int SetShutter(uint16_t value);
    int GetShutter(uint16_t* value);
    uint16_t GetShutterMin() const { return 0; }
    uint16_t GetShutterMax() const { return 0x3FFF; }

    // Capture engine.
    int SetGeometry(int lineLength, int horizontalOffset, int activeWidth, int lines, int verticalOffset,
                    int activeHeight, int bufferCount);
    int StartCapture();
    int StopCapture();
    int IsFrameReady();
    // Copies the current frame's window into dst, a picture of dstWidth x dstHeight bytes whose rows are
    // dstStride bytes apart: frame rows top row first, each at the destination's stride. Copies only what
    // fits in both; the rest of dst is left alone. Without a frame taken by IsFrameReady the buffer at the
    // read index may be the one being filled: nothing is copied then (kNoFrame).
    int GetImage(uint8_t* dst, int dstWidth, int dstHeight, int dstStride);

    // State, for callers and tests.
    const char* devicePath() const { return m_DevicePath; }
    int currentIndex() const { return m_CurrentIndex; }
    int windowX() const { return m_WindowX; }
    int windowY() const { return m_WindowY; }
    int windowWidth() const { return m_WindowWidth; }
    int windowHeight() const { return m_WindowHeight; }
    int transferMode() const { return m_TransferMode; }
    RegisterInfo registerInfo(int reg) const;
    int lineLength() const { return m_LineLength; }
    int horizontalOffset() const { return m_HorizontalOffset; }
    int activeWidth() const { return m_ActiveWidth; }
    int lines() const { return m_Lines; }
    int activeHeight() const { return m_ActiveHeight; }
    int transferLength() const { return m_TransferLength; }
    int bufferBytes() const { return m_BufferBytes; }
    int bufferCount() const { return int(m_Ring.size()); }
    bool isCapturing() const { return m_Capture.stop.load() == 0; }

    // Replaces the millisecond sleep of the open sequence (tests record or skip it); nullptr restores it.
    static void setSleepHook(void (*sleep)(uint32_t ms));

private:
    // What the capture thread works on. The thread writes the write index, error, readFailed and, at its
    // end, stop; the reader writes the read index; the user-interface thread writes stop to ask for the end.
    struct CaptureBlock {
        int bytesPerFrame = 0;
        std::atomic<int> error{0};
        std::atomic<int> stop{1};
        std::atomic<int> readFailed{0};
        int ringCount = 0;
        uint8_t* const* ring = nullptr;
        // The write, newest and read indices in one word (see FrameRing.h), changed only by compare-and-swap:
        // each side's step is decided on the other's current indices, and the writer publishes the frame it
        // completed together with its next buffer.
        std::atomic<uint64_t> indices{RingIndices{}.pack()};
        char devicePath[260] = {};
    };

    static int CaptureThreadProc(CaptureBlock* block);

    // One exchange on a handle of its own: the command, then (when reply is given) the two reply reads,
    // the second into reply. 0, kNoHandle or kTransferFailed.
    int transact(const uint8_t* block, uint8_t* reply);
    int sendCommand(uint8_t code, uint8_t byte1 = 0);
    void fillRegisterTable();
    void resetGeometry();
    void freeRing();
    // Forgets the capture's ring and every frame in it (the ring mutex held, capture stopped).
    void emptyRing();
    static void sleepMs(uint32_t ms);

    mutable std::mutex m_IoMutex;  // device path and command exchanges: replies must not interleave
    char m_BaseName[16] = {};
    char m_DevicePath[260] = {};
    std::array<int, kDeviceCount> m_Present{};
    int m_CurrentIndex = 0;
    int m_WindowX = 0, m_WindowY = 0, m_WindowWidth = 0, m_WindowHeight = 0;
    int m_TransferMode = 0;
    std::array<RegisterInfo, 256> m_Registers{};

    std::mutex m_RingMutex;  // the geometry and the ring, against a reader copying out of it
    int m_LineLength = 0, m_HorizontalOffset = 0, m_ActiveWidth = 0;
    int m_Lines = 0, m_VerticalOffset = 0, m_ActiveHeight = 0;
    int m_TransferPixels = 0, m_TransferLength = 0, m_BufferBytes = 0;
    std::vector<uint8_t*> m_Ring;

    CaptureBlock m_Capture;
    std::thread m_CaptureThread;
};
