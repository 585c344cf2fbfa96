// The live view of the main window: starting and stopping the camera, the display thread and its loop
// (newest frame only, auto exposure, the kernel chain, the view at its zoom, the status line), and LIVE.
#include <QApplication>
#include <QTimer>

#include <algorithm>

#include "app/QtRect.h"
#include "app/ViewerDlg.h"
#include "imaging/ViewComposer.h"
#include "platform/Clock.h"

namespace {

// The loop's pause while the user-interface thread has not ticked for this long.
constexpr uint32_t kHeartbeatTimeoutMs = 500;
// While no frame is waiting, or the camera is being reconfigured, the loop naps this long instead of
// spinning, so an idle viewer leaves the processor alone. A paced camera delivers a frame every 24 ms or more.
constexpr uint32_t kIdleNapMs = 2;
// How often the user-interface thread looks for a newly composed view while the live view runs. Polling keeps
// every hand-over inside ViewPublisher's lock: no event crosses from the display thread.
constexpr int kViewPollMs = 10;

} // namespace

int CViewerDlg::StartCamera()
{
    const ViewerSettings v = m_Settings.values();
    const bool present = m_Camera.IsPresent(0) != 0;
    if (present) {
        m_RunState = 2;
        m_Camera.StopCapture();
    }
    if (present) {
        int clock = 0; // a clock that cannot be read counts as 0
        m_Camera.GetClock(&clock);
        // Any stored clock but 0 asks for the half clock: compared as such, a stored 5 does not open the
        // camera afresh at every start.
        const int wanted = v.Clock != 0 ? 1 : 0;
        if (clock != wanted) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_Camera.SetClock(wanted); // opens the camera afresh
            QApplication::restoreOverrideCursor();
        }
        m_Camera.SetWindow(v.EHS, v.EVS, v.EH, v.EV, 0);
    }
    {
        // The frame images follow the window the camera took (it keeps its own when it refuses the stored
        // one), so a frame always fills them exactly; without a camera they are never above the sensor.
        const bool windowed = present && m_Camera.windowWidth() > 0 && m_Camera.windowHeight() > 0;
        const auto lock = lockFrames();
        if (windowed)
            CreateFrameImages(m_Camera.windowWidth(), m_Camera.windowHeight());
        else
            CreateFrameImages(std::min(v.EH, CameraDevice::kSensorWidth), std::min(v.EV, CameraDevice::kSensorHeight));
    }
    if (!present)
        return 1;
    Sleep(150);
    m_Camera.SetTransferMode(0);
    m_Camera.SetMirror(v.MirrorV);
    m_Camera.SetGlobalGain(v.GlovalGain);
    m_Camera.SetColorGain(CameraDevice::kRegGreen1Gain, v.ColorGainG1);
    m_Camera.SetColorGain(CameraDevice::kRegRedGain, v.ColorGainR);
    m_Camera.SetColorGain(CameraDevice::kRegBlueGain, v.ColorGainB);
    m_Camera.SetColorGain(CameraDevice::kRegGreen2Gain, v.ColorGainG2);
    m_Camera.SetShutter(v.Shutter);
    m_Camera.StartCapture();
    m_RunState = 1;
    return 1;
}

void CViewerDlg::StopCamera()
{
    m_RunState = 2;
    m_Camera.StopCapture();
}

void CViewerDlg::StartDisplayThread()
{
    m_RunState = 1;
    launchDisplayThread();
}

void CViewerDlg::launchDisplayThread()
{
    joinDisplayThread(); // at most one display thread at a time
    m_DisplayThread = std::thread(DisplayThreadProc, this);
    if (!m_ViewPoll) {
        m_ViewPoll = new QTimer(this);
        connect(m_ViewPoll, &QTimer::timeout, this, &CViewerDlg::showPublishedView);
    }
    m_ViewPoll->start(kViewPollMs);
}

void CViewerDlg::joinDisplayThread()
{
    if (m_ViewPoll)
        m_ViewPoll->stop();
    if (m_DisplayThread.joinable())
        m_DisplayThread.join();
}

int CViewerDlg::DisplayThreadProc(CViewerDlg* dialog)
{
    dialog->RunDisplayLoop();
    return 0;
}

void CViewerDlg::OnLive()
{
    if (m_bLiveStopped == 1) {
        StartCamera();
        m_RunState = 1;
        launchDisplayThread();
        m_bLiveStopped = 0;
    } else {
        m_RunState = 0;
        joinDisplayThread();
        StopCamera();
        m_bLiveStopped = 1;
    }
    OnZoomChange();
    update();
}

int CViewerDlg::RunDisplayLoop()
{
    // Wait for the first tick of the user-interface thread (or for the end, should it come first).
    while (m_Heartbeat.load() == 0) {
        if (m_RunState.load() == 0)
            return 1;
        Sleep(100);
    }
    while (m_RunState.load() != 0) {
        if (timeGetTime() - m_Heartbeat.load() > kHeartbeatTimeoutMs) {
            Sleep(10);
            continue;
        }
        if (!m_Camera.IsFrameReady() || m_RunState.load() != 1 || !runDisplayPass())
            Sleep(kIdleNapMs);
    }
    return 1;
}

bool CViewerDlg::runDisplayPass()
{
    LiveSnapshot live = m_Settings.snapshot();
    ViewPicture& picture = m_ViewPublisher.back();
    double exposure = 1.0;
    bool composed = false;
    uint32_t t0 = 0, t1 = 0;
    {
        const auto lock = lockFrames();
        t0 = timeGetTime();
        if (m_Camera.GetImage(m_ImgRaw.bits(), m_ImgRaw.width(), m_ImgRaw.height(), m_ImgRaw.stride())
            != CameraDevice::kOk)
            return false; // no new frame after all (the camera was restarted in between): nothing new to show
        if (live.autoIrisFlg)
            exposure = AutoExposure::FactorFromMeans(AutoExposure::SampleMeans(m_ImgRaw));
        if (live.process.bayerFlg && live.whiteBalance) {
            const FrameProcessor::Gains gains = FrameProcessor::MeasureWhiteBalance(m_ImgRaw, live.process.bayerMode);
            // Unless the request was withdrawn meanwhile, the gains are the settings' from this frame on.
            if (m_Settings.completeWhiteBalance(gains.r, gains.g, gains.b)) {
                live.process.bayerR = gains.r;
                live.process.bayerG = gains.g;
                live.process.bayerB = gains.b;
            }
        }
        const DibImage& shown = m_FrameChain.Process(m_ImgRaw, m_ImgColor, live.process);
        m_LastShown = &shown;
        if (m_HistogramFeed.wanted())
            m_HistogramFeed.measure(shown);
        t1 = timeGetTime();
        live.view.imageWidth = shown.width();
        live.view.imageHeight = shown.height();
        composed = m_DisplayComposer.Compose(shown, live.view, picture.image);
        picture.geometry = live.view;
    }
    if (composed)
        m_ViewPublisher.publish();
    const uint32_t t2 = timeGetTime();
    // The camera's registers are written outside the frame lock: the register exchange takes milliseconds.
    if (live.autoIrisFlg)
        runAutoExposure(exposure, live.autoIrisMode, t0);
    const uint32_t t3 = timeGetTime();
    ++m_FramesShown;
    m_FrameRate.count(t3);
    setStatusText(FormatLiveStatus(int32_t(t3 - t0), int32_t(t1 - t0), int32_t(t2 - t1), m_FrameRate.rate()));
    return true;
}

void CViewerDlg::runAutoExposure(double factor, int32_t mode, uint32_t now)
{
    const AutoExposure::Decision d = m_AutoExposure.Decide(factor, now);
    if (!d.adjust)
        return;
    if (mode == 0) {
        const uint8_t gain = uint8_t(AutoExposure::NextGain(m_Camera.GetGlobalGain(), d.factor));
        m_Camera.SetGlobalGain(gain);
        m_AutoGain = gain;
    } else if (mode == 1) {
        uint16_t shutter = 0;
        m_Camera.GetShutter(&shutter);
        const uint16_t next = uint16_t(AutoExposure::NextShutter(shutter, d.factor));
        m_Camera.SetShutter(next);
        m_AutoShutter = next;
    }
}
