// LiveSource: what the live view and the Image Setting dialog need of a camera, whichever camera it is: the
// viewer's own camera (OwnCameraSource) or a video capture device. It starts and stops capture with the stored
// settings, says when a new frame waits and what it is, copies it into the raw frame image, and offers the
// camera's controls with their ranges (absent ones say so).
#pragma once

#include <cstdint>
#include <string>

#include "camera/ControlRange.h"

class CameraDevice;
class DibImage;

class LiveSource {
public:
    // Result codes of start and getFrame, the same numbers as the camera's.
    static constexpr int kOk = 0;
    static constexpr int kNoFrame = 2;
    static constexpr int kNoHandle = 10;          // no device, or it does not open
    static constexpr int kNullBuffer = 14;        // the frame does not fit the destination (lastRefusal says why)
    static constexpr int kFrameReadFailed = 19;   // a broken frame: skipped
    static constexpr int kGone = 31;              // the device vanished

    // What a frame is: the 8-bit sensor mosaic (the chain's Bayer step makes it colour), 8-bit grey, or
    // 24-bit blue-green-red in bottom-up rows (both shown as they come: the Bayer step is off for them).
    enum class Pixels { Mosaic, Grey, Colour };
    struct FrameFormat {
        int32_t width = 0, height = 0; // 0 x 0: no frames to come
        Pixels pixels = Pixels::Mosaic;
        int32_t bayerMode = -1; // the mosaic's phase for the Bayer step; -1: the user's choice stands
        int bitsPerPixel() const { return pixels == Pixels::Colour ? 24 : 8; }
        bool operator==(const FrameFormat&) const = default;
    };

    // The camera controls the viewer uses. The own camera has the first seven; a video device whichever of
    // them it offers (its red and blue balance as Red and Blue, none of the green ones).
    enum class Control {
        Gain, // global gain; auto exposure's gain
        Green1,
        Red,
        Blue,
        Green2,
        Exposure, // auto exposure's exposure
        Mirror, // rows read bottom up (1) or not (0)
        WhiteBalance, // colour temperature
        Brightness,
        Contrast,
        AutoExposure, // the device's own automatic modes: 1 on, 0 off
        AutoWhiteBalance,
        AutoGain,
        Count
    };
    using ControlRange = ::ControlRange;

    // The stored settings a start applies: the capture window and clock (own camera), the mirror, and the
    // gains and exposure in the own camera's units (a source that keeps its own control values ignores them).
    struct StartSettings {
        int32_t x = 0, y = 0, width = 2048, height = 1536;
        int32_t clock = 0;
        int32_t mirror = 1;
        int32_t gain = 14, green1 = 14, red = 14, blue = 14, green2 = 14;
        int32_t exposure = 536;
    };

    // What the display loop learns when it asks for the next frame.
    enum class FrameState {
        None, // nothing new yet (or capture is not running): nap and ask again
        Ready, // a new frame waits: getFrame copies it
        Gone // the device vanished: the live view is to stop
    };

    virtual ~LiveSource() = default;

    // The source's name for the caption ("NX-QB740LE" for the own camera, the device's card and path else).
    virtual std::string name() const = 0;
    // The own camera's device, for the settings only it has (timing, clock, window); null for other sources.
    virtual CameraDevice* ownCamera() { return nullptr; }
    // True when the settings keep this source's gains and exposure (the start applies them, the Image
    // Setting dialog's OK stores what the camera reads back); false when the device keeps its own values.
    virtual bool keepsControlsInSettings() const { return false; }

    // Stops any capture and makes the device ready for s (opening it afresh if it was gone or absent).
    // False when there is no device to capture from.
    virtual bool prepare(const StartSettings& s) = 0;
    // The frames the next capture delivers (after prepare).
    virtual FrameFormat format() const = 0;
    // Applies the stored controls and starts capture: kOk, or why not.
    virtual int start(const StartSettings& s) = 0;
    virtual void stop() = 0;
    virtual bool isCapturing() const = 0;

    // Display thread: whether a new frame waits. A broken frame is skipped here and capture goes on; Gone
    // once the device has vanished (it stays so until the next prepare).
    virtual FrameState nextFrame() = 0;
    // Copies the frame nextFrame announced into dst (made for format()): kOk or kNoFrame, kNullBuffer.
    virtual int getFrame(DibImage& dst) = 0;

    // Why getFrame last gave kNullBuffer: the size the camera sent when it can be told (0 x 0 else), and for
    // a frame too short for format()'s size, its bytes and the bytes needed.
    struct Refusal {
        int32_t width = 0, height = 0;
        uint64_t bytes = 0, needed = 0;
        bool operator==(const Refusal&) const = default;
    };
    virtual Refusal lastRefusal() const { return {}; }
    // Display thread: the frames are now width x height (the camera sends them so, whatever was set):
    // from the next frame on the source delivers that size and format() says so. False when it cannot.
    virtual bool adoptFrameSize(int32_t /*width*/, int32_t /*height*/) { return false; }

    virtual ControlRange range(Control c) const = 0;
    // False when the control is absent or the exchange failed (value untouched then).
    virtual bool getControl(Control c, int32_t* value) = 0;
    // The value is held to the range; false when the control is absent or the exchange failed.
    virtual bool setControl(Control c, int32_t value) = 0;
};

// Auto exposure's next value of a gain or exposure control for a correction factor, for a source other
// than the own camera: scaled, held to the range, and at least one step up when brighter is asked.
int32_t NextControlValue(int32_t value, double factor, const LiveSource::ControlRange& range);
