// VideoCameraSource: a video capture device (a USB video class camera and the like) as a live source. The
// device keeps its own control values (the settings' gains and exposure are the own camera's), its frames
// are the mosaic, grey or colour pictures VideoDevice decodes, and a device that vanished is opened afresh,
// by its path, at the next start.
#pragma once

#include <memory>

#include "camera/LiveSource.h"
#include "camera/VideoDevice.h"

class VideoCameraSource : public LiveSource {
public:
    // Works on device, open already.
    explicit VideoCameraSource(std::unique_ptr<VideoDevice> device);
    ~VideoCameraSource() override;

    // The device at info's path as a live source, at width x height when it offers that size (else, and for
    // 0 x 0, its largest up to 2048 x 1536); null when it does not open or offers no usable format.
    static std::unique_ptr<LiveSource> Open(const VideoDeviceInfo& info, int width = 0, int height = 0);

    // "<card> (<path>)", or the path alone when the device gives no name.
    std::string name() const override;

    bool prepare(const StartSettings& s) override;
    FrameFormat format() const override;
    int start(const StartSettings& s) override;
    void stop() override;
    bool isCapturing() const override;

    FrameState nextFrame() override;
    int getFrame(DibImage& dst) override;
    Refusal lastRefusal() const override;
    bool adoptFrameSize(int32_t width, int32_t height) override;

    ControlRange range(Control c) const override;
    bool getControl(Control c, int32_t* value) override;
    bool setControl(Control c, int32_t value) override;

    VideoDevice& device() { return *m_Device; }

private:
    std::unique_ptr<VideoDevice> m_Device;
    std::string m_Path, m_Card;
    int m_Width = 0, m_Height = 0; // the size first opened, asked for again when the device is reopened
};
