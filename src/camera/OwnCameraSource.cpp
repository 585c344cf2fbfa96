#include "camera/OwnCameraSource.h"

#include <algorithm>

#include "camera/CameraDevice.h"
#include "imaging/DibImage.h"
#include "platform/Clock.h"
#include "platform/DeviceIo.h"

namespace {

// The colour gain register of each colour control.
int colourRegister(LiveSource::Control c)
{
    switch (c) {
    case LiveSource::Control::Green1:
        return CameraDevice::kRegGreen1Gain;
    case LiveSource::Control::Red:
        return CameraDevice::kRegRedGain;
    case LiveSource::Control::Blue:
        return CameraDevice::kRegBlueGain;
    case LiveSource::Control::Green2:
        return CameraDevice::kRegGreen2Gain;
    default:
        return -1;
    }
}

constexpr uint16_t kMirrorRows = 0x8000;
constexpr int32_t kStartGain = 14; // the sensor's gains after the open sequence
constexpr int32_t kStartShutter = 536;

} // namespace

OwnCameraSource::OwnCameraSource()
    : m_Owned(std::make_unique<CameraDevice>())
    , m_Camera(*m_Owned)
{
}

OwnCameraSource::OwnCameraSource(CameraDevice& camera)
    : m_Camera(camera)
{
}

OwnCameraSource::~OwnCameraSource() = default;

bool OwnCameraSource::deviceAnswers() const
{
    DeviceHandle handle = DeviceIo::open(m_Camera.devicePath());
    const bool answers = handle != nullptr;
    DeviceIo::close(handle);
    return answers;
}

bool OwnCameraSource::prepare(const StartSettings& s)
{
    std::lock_guard lock(m_Mutex);
    m_Wanted = false;
    // A camera absent so far, or gone since, is looked for again and opened afresh (plugged in meanwhile).
    if (m_Gone || !m_Camera.IsPresent(0)) {
        m_Camera.StopCapture();
        m_Camera.ProbeDevices();
        if (m_Camera.IsPresent(0))
            m_Camera.Open(0);
        m_Gone = false;
    }
    if (!m_Camera.IsPresent(0))
        return false;
    m_Camera.StopCapture();
    int clock = 0; // a clock that cannot be read counts as 0
    m_Camera.GetClock(&clock);
    // Any stored clock but 0 asks for the half clock: compared as such, a stored 5 does not open the camera
    // afresh at every start.
    const int wanted = s.clock != 0 ? 1 : 0;
    if (clock != wanted)
        m_Camera.SetClock(wanted); // opens the camera afresh
    m_Camera.SetWindow(s.x, s.y, s.width, s.height, 0);
    return true;
}

LiveSource::FrameFormat OwnCameraSource::format() const
{
    // The frames follow the window the camera took (it keeps its own when it refuses the stored one).
    FrameFormat f;
    if (m_Camera.IsPresent(0) && m_Camera.windowWidth() > 0 && m_Camera.windowHeight() > 0) {
        f.width = m_Camera.windowWidth();
        f.height = m_Camera.windowHeight();
    }
    return f;
}

int OwnCameraSource::start(const StartSettings& s)
{
    if (!m_Camera.IsPresent(0))
        return kNoHandle;
    Sleep(kSettleMs);
    std::lock_guard lock(m_Mutex);
    m_Camera.SetTransferMode(0);
    m_Camera.SetMirror(s.mirror);
    m_Camera.SetGlobalGain(uint8_t(s.gain));
    m_Camera.SetColorGain(CameraDevice::kRegGreen1Gain, uint8_t(s.green1));
    m_Camera.SetColorGain(CameraDevice::kRegRedGain, uint8_t(s.red));
    m_Camera.SetColorGain(CameraDevice::kRegBlueGain, uint8_t(s.blue));
    m_Camera.SetColorGain(CameraDevice::kRegGreen2Gain, uint8_t(s.green2));
    m_Camera.SetShutter(uint16_t(s.exposure));
    const int result = m_Camera.StartCapture();
    m_Wanted = result == CameraDevice::kOk;
    m_Restarts = 0;
    m_RunsWithoutFrame = 0;
    return result;
}

void OwnCameraSource::stop()
{
    std::lock_guard lock(m_Mutex);
    m_Wanted = false;
    m_Camera.StopCapture();
}

bool OwnCameraSource::isCapturing() const
{
    return m_Camera.isCapturing();
}

LiveSource::FrameState OwnCameraSource::nextFrame()
{
    if (m_Camera.IsFrameReady()) {
        m_RunsWithoutFrame = 0;
        return FrameState::Ready;
    }
    // The display thread never waits for a start or stop under way: it asks again after its nap.
    std::unique_lock lock(m_Mutex, std::try_to_lock);
    if (!lock.owns_lock())
        return FrameState::None;
    if (m_Gone)
        return FrameState::Gone;
    if (!m_Wanted || m_Camera.isCapturing())
        return FrameState::None;
    // The capture run ended by itself: a frame read failed or came short. A camera whose device still opens
    // has only lost that frame.
    if (!deviceAnswers()) {
        m_Camera.StopCapture();
        m_Wanted = false;
        m_Gone = true;
        return FrameState::Gone;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_RunsWithoutFrame.load() >= kQuickRestarts && now - m_LastRestart < std::chrono::milliseconds(kRetryMs))
        return FrameState::None;
    m_LastRestart = now;
    m_Camera.StopCapture(); // collects the ended run
    m_Camera.StartCapture();
    ++m_Restarts;
    ++m_RunsWithoutFrame;
    return FrameState::None;
}

int OwnCameraSource::getFrame(DibImage& dst)
{
    if (dst.bitsPerPixel() != 8)
        return kNullBuffer;
    return m_Camera.GetImage(dst.bits(), dst.width(), dst.height(), dst.stride());
}

LiveSource::ControlRange OwnCameraSource::range(Control c) const
{
    switch (c) {
    case Control::Gain:
        return { true, m_Camera.GetGlobalGainMin(), m_Camera.GetGlobalGainMax(), 1, kStartGain };
    case Control::Green1:
    case Control::Red:
    case Control::Blue:
    case Control::Green2: {
        uint8_t low = 0, high = 127;
        auto& camera = const_cast<CameraDevice&>(m_Camera); // the limits are constants of the sensor
        camera.GetColorGainMin(colourRegister(c), &low);
        camera.GetColorGainMax(colourRegister(c), &high);
        return { true, low, high, 1, kStartGain };
    }
    case Control::Exposure:
        return { true, m_Camera.GetShutterMin(), m_Camera.GetShutterMax(), 1, kStartShutter };
    case Control::Mirror:
        return { true, 0, 1, 1, 1 };
    default:
        return {};
    }
}

bool OwnCameraSource::getControl(Control c, int32_t* value)
{
    if (!value)
        return false;
    uint8_t gain = 0;
    uint16_t reg = 0;
    switch (c) {
    case Control::Gain:
        if (!m_Camera.GetGlobalGain(&gain))
            return false;
        *value = gain;
        return true;
    case Control::Green1:
    case Control::Red:
    case Control::Blue:
    case Control::Green2:
        if (!m_Camera.GetColorGain(colourRegister(c), &gain))
            return false;
        *value = gain;
        return true;
    case Control::Exposure:
        if (!m_Camera.GetShutter(&reg))
            return false;
        *value = reg;
        return true;
    case Control::Mirror:
        if (!m_Camera.ReadRegister(CameraDevice::kRegMirror, &reg))
            return false;
        *value = (reg & kMirrorRows) ? 1 : 0;
        return true;
    default:
        return false;
    }
}

bool OwnCameraSource::setControl(Control c, int32_t value)
{
    const ControlRange r = range(c);
    if (!r.present)
        return false;
    value = std::clamp(value, r.min, r.max);
    switch (c) {
    case Control::Gain:
        return m_Camera.SetGlobalGain(uint8_t(value)) != 0;
    case Control::Green1:
    case Control::Red:
    case Control::Blue:
    case Control::Green2:
        return m_Camera.SetColorGain(colourRegister(c), uint8_t(value)) != 0;
    case Control::Exposure:
        return m_Camera.SetShutter(uint16_t(value)) != 0;
    case Control::Mirror:
        return m_Camera.SetMirror(value) == CameraDevice::kOk;
    default:
        return false;
    }
}
