#include "camera/VideoCameraSource.h"

#include <optional>

#include "imaging/DibImage.h"

namespace {

// The device's control behind each of the viewer's; none for the own camera's green gains and mirror.
std::optional<VideoDevice::Control> deviceControl(LiveSource::Control c)
{
    using L = LiveSource::Control;
    using V = VideoDevice::Control;
    switch (c) {
    case L::Gain: return V::Gain;
    case L::Exposure: return V::Exposure;
    case L::Red: return V::RedBalance;
    case L::Blue: return V::BlueBalance;
    case L::WhiteBalance: return V::WhiteBalance;
    case L::Brightness: return V::Brightness;
    case L::Contrast: return V::Contrast;
    case L::AutoExposure: return V::AutoExposure;
    case L::AutoWhiteBalance: return V::AutoWhiteBalance;
    case L::AutoGain: return V::AutoGain;
    case L::Green1:
    case L::Green2:
    case L::Mirror:
    case L::Count: break;
    }
    return std::nullopt;
}

LiveSource::Pixels pixelsOf(VideoDevice::Pixels p)
{
    switch (p) {
    case VideoDevice::Pixels::Mosaic: return LiveSource::Pixels::Mosaic;
    case VideoDevice::Pixels::Grey: return LiveSource::Pixels::Grey;
    case VideoDevice::Pixels::Colour: break;
    }
    return LiveSource::Pixels::Colour;
}

} // namespace

VideoCameraSource::VideoCameraSource(std::unique_ptr<VideoDevice> device)
    : m_Device(std::move(device))
    , m_Path(m_Device->path())
    , m_Card(m_Device->card())
    , m_Width(m_Device->width())
    , m_Height(m_Device->height())
{
}

VideoCameraSource::~VideoCameraSource() = default;

std::unique_ptr<LiveSource> VideoCameraSource::Open(const VideoDeviceInfo& info, int width, int height)
{
    auto device = std::make_unique<VideoDevice>();
    if (device->Open(info.path, width, height) != VideoDevice::kOk)
        return nullptr;
    return std::make_unique<VideoCameraSource>(std::move(device));
}

std::string VideoCameraSource::name() const
{
    return m_Card.empty() ? m_Path : m_Card + " (" + m_Path + ")";
}

bool VideoCameraSource::prepare(const StartSettings&)
{
    m_Device->StopCapture();
    if (m_Device->isOpen() && !m_Device->gone())
        return true;
    // Unplugged since: the device may be back under the same path.
    m_Device->Close();
    return m_Device->Open(m_Path, m_Width, m_Height) == VideoDevice::kOk;
}

LiveSource::FrameFormat VideoCameraSource::format() const
{
    FrameFormat f;
    if (!m_Device->isOpen())
        return f;
    f.width = m_Device->width();
    f.height = m_Device->height();
    f.pixels = pixelsOf(m_Device->pixels());
    f.bayerMode = f.pixels == Pixels::Mosaic ? m_Device->bayerMode() : -1;
    return f;
}

int VideoCameraSource::start(const StartSettings&)
{
    const int result = m_Device->StartCapture();
    if (result == VideoDevice::kOk || result == VideoDevice::kAlreadyRunning)
        return kOk;
    return result == VideoDevice::kGone ? kGone : result == VideoDevice::kNoHandle ? kNoHandle : kFrameReadFailed;
}

void VideoCameraSource::stop()
{
    m_Device->StopCapture();
    if (m_Device->gone())
        m_Device->Close(); // a dead node is let go at once: the kernel frees an unplugged device when unused
}

bool VideoCameraSource::isCapturing() const
{
    return m_Device->isCapturing();
}

LiveSource::FrameState VideoCameraSource::nextFrame()
{
    if (m_Device->gone())
        return FrameState::Gone;
    return m_Device->IsFrameReady() ? FrameState::Ready : FrameState::None;
}

int VideoCameraSource::getFrame(DibImage& dst)
{
    switch (m_Device->GetImage(dst)) {
    case VideoDevice::kOk: return kOk;
    case VideoDevice::kGone: return kGone;
    case VideoDevice::kFrameReadFailed: return kFrameReadFailed;
    case VideoDevice::kWrongSize: return kNullBuffer;
    default: return kNoFrame;
    }
}

LiveSource::Refusal VideoCameraSource::lastRefusal() const
{
    const VideoDevice::Refusal r = m_Device->lastRefusal();
    return { r.width, r.height, r.bytes, r.needed };
}

bool VideoCameraSource::adoptFrameSize(int32_t width, int32_t height)
{
    return m_Device->AdoptFrameSize(width, height);
}

LiveSource::ControlRange VideoCameraSource::range(Control c) const
{
    const std::optional<VideoDevice::Control> control = deviceControl(c);
    if (!control)
        return {};
    return m_Device->range(*control);
}

bool VideoCameraSource::getControl(Control c, int32_t* value)
{
    const std::optional<VideoDevice::Control> control = deviceControl(c);
    return control && m_Device->GetControl(*control, value) == VideoDevice::kOk;
}

bool VideoCameraSource::setControl(Control c, int32_t value)
{
    const std::optional<VideoDevice::Control> control = deviceControl(c);
    return control && m_Device->SetControl(*control, value) == VideoDevice::kOk;
}
