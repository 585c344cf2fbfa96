// VideoDevice: a Linux video capture device (USB video class cameras and the like) opened through the kernel's
// video capture interface. Picks a format and size, streams into memory-mapped buffers on a capture thread
// of its own, and hands the newest complete frame to the display loop, decoded straight from the device's
// buffer into a DibImage. Also reads and sets the device's picture controls.
//
// Threads: Open, Close, StartCapture, StopCapture and the controls from one thread (the user interface's);
// IsFrameReady and GetImage from the display thread, at the same time. The capture thread is our own.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/ControlRange.h"

class DibImage;
class VideoDecoder;

struct VideoDeviceInfo {
    std::string path; // "/dev/video0"
    std::string card; // the device's own name, for the caption
};

class VideoDevice {
public:
    static constexpr int kOk = 0;
    static constexpr int kNoFrame = 2; // GetImage: no frame newer than the last one taken
    static constexpr int kNoHandle = 10; // not open, or the path could not be opened
    static constexpr int kTransferFailed = 12; // the device refused a control value
    static constexpr int kWrongSize = 14; // GetImage: a frame of another size than width() x height(), or short
    static constexpr int kFrameReadFailed = 19; // a corrupt frame, or streaming refused
    static constexpr int kAlreadyRunning = 21;
    static constexpr int kUnsupported = 30; // no usable format; an absent control
    static constexpr int kGone = 31; // the device vanished (unplugged)

    static constexpr int kMaxWidth = 2048;
    static constexpr int kMaxHeight = 1536;
    static constexpr int kBufferCount = 4;

    // What GetImage delivers: the 8-bit sensor mosaic (to go through the Bayer kernel with bayerMode()),
    // 8-bit grey, or 24-bit blue-green-red. Always bottom-up DibImage rows, the picture upright.
    enum class Pixels { Mosaic, Grey, Colour };
    // AutoExposure is 0 (manual) or 1 (the device's own automatic mode, whichever it offers); the other
    // automatic controls are the device's own on/off switches.
    enum class Control {
        Gain,
        Exposure,
        WhiteBalance,
        RedBalance,
        BlueBalance,
        Brightness,
        Contrast,
        AutoExposure,
        AutoWhiteBalance,
        AutoGain,
        Count
    };
    using ControlRange = ::ControlRange;

    // Video capture devices present now: /dev/video0..63 that answer the capability query with video
    // capture and streaming (a camera's metadata node does not).
    static std::vector<VideoDeviceInfo> List();
    // Device nodes /dev/video0..63 that are there but refuse to open for lack of permission (the user is not
    // in the group that owns them).
    static std::vector<std::string> Denied();

    VideoDevice();
    ~VideoDevice(); // stops and closes
    VideoDevice(const VideoDevice&) = delete;
    VideoDevice& operator=(const VideoDevice&) = delete;

    // Opens path (closing what was open), picks the format and the largest size up to 2048 x 1536, or
    // wantWidth x wantHeight when given and offered. kOk, kNoHandle, kUnsupported.
    int Open(const std::string& path, int wantWidth = 0, int wantHeight = 0);
    void Close();
    bool isOpen() const { return m_Fd >= 0; }
    const std::string& path() const { return m_Path; }
    const std::string& card() const { return m_Card; }
    int width() const { return m_Width.load(); }
    int height() const { return m_Height.load(); }
    Pixels pixels() const { return m_Pixels; }
    // The Bayer kernel's mode for the delivered rows (Mosaic only).
    int bayerMode() const { return m_BayerMode; }
    uint32_t fourcc() const { return m_Fourcc; }

    // kOk, kNoHandle, kGone, kAlreadyRunning, kFrameReadFailed (buffers or streaming refused).
    int StartCapture();
    int StopCapture();
    bool isCapturing() const { return m_Capturing.load(); }
    // True when a complete frame newer than the last GetImage is waiting. Never waits for the device.
    bool IsFrameReady();
    // Decodes the newest complete frame into dst, re-created when its size or depth differs: width() x
    // height(), 8 bits with a grey table for Mosaic and Grey, 24 for Colour. kOk; kNoFrame; kGone;
    // kFrameReadFailed for a corrupt frame (dst untouched when that shows before decoding, as for a
    // truncated or foreign JPEG; corruption found inside the compressed data leaves the rows decoded so
    // far); kWrongSize (dst untouched) for a JPEG of another size or a frame too short for the size.
    int GetImage(DibImage& dst);
    // What the last kWrongSize frame was (display thread): the JPEG's size, or the short frame's bytes and
    // the bytes needed.
    struct Refusal {
        int width = 0, height = 0;
        size_t bytes = 0, needed = 0;
    };
    Refusal lastRefusal() const { return m_Refusal; }
    // Display thread: takes frames of width x height from now on, as a compressed format's frames say their
    // own size (a camera may send another than it agreed to). False for other formats and absurd sizes.
    bool AdoptFrameSize(int width, int height);
    // The device vanished since Open: every call fails with kGone until Close + Open.
    bool gone() const { return m_Gone.load(); }

    ControlRange range(Control c) const;
    int GetControl(Control c, int32_t* value); // kOk, kUnsupported, kGone, kTransferFailed
    // value clamped to the range and to its step; kOk, kUnsupported, kGone, kTransferFailed.
    int SetControl(Control c, int32_t value);

private:
    struct Buffer {
        uint8_t* data = nullptr;
        size_t length = 0;
    };
    struct DeviceControl {
        uint32_t id = 0; // 0: the device lacks it
        ControlRange range;
    };

    int chooseFormat(int wantWidth, int wantHeight);
    void readControls();
    // ioctl, repeated on EINTR; ENODEV marks the device gone.
    int xioctl(unsigned long request, void* arg);
    void queue(int index);
    void freeBuffers();
    void captureLoop();
    bool noteRefusal(const uint8_t* frame, size_t bytes);

    int m_Fd = -1;
    std::string m_Path, m_Card;
    std::atomic<int> m_Width { 0 }, m_Height { 0 }; // AdoptFrameSize changes them while the window reads them
    uint32_t m_Fourcc = 0;
    uint32_t m_BytesPerLine = 0;
    Pixels m_Pixels = Pixels::Grey;
    int m_BayerMode = 0;
    std::array<DeviceControl, size_t(Control::Count)> m_Controls {};

    std::vector<Buffer> m_Buffers;
    std::unique_ptr<VideoDecoder> m_Decoder;
    std::atomic<bool> m_Gone { false };
    std::atomic<bool> m_Stop { false };
    std::atomic<bool> m_Capturing { false };
    std::thread m_Thread;
    // The newest filled buffer the capture thread holds for GetImage (-1: none), and its byte count.
    std::mutex m_FrameMutex;
    int m_Newest = -1;
    size_t m_NewestBytes = 0;
    // Held by GetImage while it reads a buffer, so stopping never unmaps memory being decoded.
    std::mutex m_ReadMutex;
    Refusal m_Refusal; // GetImage's
};
