// The live view of the main window: starting and stopping the camera, the display thread and its loop
// (newest frame only, auto exposure, the kernel chain, the view at its zoom, the status line), and LIVE.
#include <QApplication>
#include <QTimer>

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
    const bool present = m_Camera.IsPresent(0) != 0;
    if (present) {
        m_RunState = 2;
        m_Camera.StopCapture();
    }
    {
        const auto lock = lockFrames();
        CreateFrameImages(EH, EV);
    }
    if (!present)
        return 1;

    int clock = 0; // a clock that cannot be read counts as 0
    m_Camera.GetClock(&clock);
    if (clock != Clock) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_Camera.SetClock(Clock); // opens the camera afresh
        QApplication::restoreOverrideCursor();
    }
    if (m_Camera.SetWindow(EHS, EVS, EH, EV, 0) != CameraDevice::kOk && m_Camera.windowWidth() > 0
        && m_Camera.windowHeight() > 0
        && (m_Camera.windowWidth() != m_ImgRaw.width() || m_Camera.windowHeight() != m_ImgRaw.height())) {
        // The camera refused the stored window and kept another: the frame images follow the camera, so a
        // frame always fills them exactly.
        const auto lock = lockFrames();
        CreateFrameImages(m_Camera.windowWidth(), m_Camera.windowHeight());
    }
    Sleep(150);
    m_Camera.SetTransferMode(0);
    m_Camera.SetMirror(MirrorV);
    m_Camera.SetGlobalGain(GlovalGain);
    m_Camera.SetColorGain(CameraDevice::kRegGreen1Gain, ColorGainG1);
    m_Camera.SetColorGain(CameraDevice::kRegRedGain, ColorGainR);
    m_Camera.SetColorGain(CameraDevice::kRegBlueGain, ColorGainB);
    m_Camera.SetColorGain(CameraDevice::kRegGreen2Gain, ColorGainG2);
    m_Camera.SetShutter(Shutter);
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

void CViewerDlg::showPublishedView()
{
    if (m_ViewPublisher.take())
        update(toQRect(m_ViewPublisher.frontRect()));
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
        if (!m_Camera.IsFrameReady() || m_RunState.load() != 1) {
            Sleep(kIdleNapMs);
            continue;
        }
        runDisplayPass();
    }
    return 1;
}

ProcessSettings CViewerDlg::processSettings() const
{
    ProcessSettings s;
    s.bayerFlg = m_BayerFlg;
    s.bayerMode = m_BayerMode;
    s.bayerR = m_BayerR;
    s.bayerG = m_BayerG;
    s.bayerB = m_BayerB;
    s.hls = m_HLS;
    s.gamma = Gamma;
    s.binaryFlg = m_BinaryFlg;
    s.binary = m_Binary;
    s.rgbFlg = m_RGBFlg;
    s.yuvFlg = m_YUVFlg;
    return s;
}

void CViewerDlg::runDisplayPass()
{
    auto lock = lockFrames();
    const uint32_t t0 = timeGetTime();
    if (m_Camera.GetImage(m_ImgRaw.bits(), m_ImgRaw.width(), m_ImgRaw.height(), m_ImgRaw.stride())
        != CameraDevice::kOk)
        return; // no new frame after all (the camera was restarted in between): nothing new to show
    if (m_AutoIrisFlg)
        runAutoExposure(t0);
    if (m_BayerFlg && m_WB_Flg) {
        const FrameProcessor::Gains gains = FrameProcessor::MeasureWhiteBalance(m_ImgRaw, m_BayerMode);
        m_BayerR = gains.r;
        m_BayerG = gains.g;
        m_BayerB = gains.b;
        m_WB_Flg = 0;
    }
    const DibImage& shown = m_FrameChain.Process(m_ImgRaw, m_ImgColor, processSettings());
    const uint32_t t1 = timeGetTime();

    const Rect viewRect = m_ViewRect;
    const bool composed
        = ComposeView(shown, m_ZoomIndex, m_Bai_X, m_Bai_Y, viewRect.width(), viewRect.height(), m_ViewPublisher.back());
    lock.unlock();
    if (composed)
        m_ViewPublisher.publish(viewRect);
    const uint32_t t2 = timeGetTime();
    const uint32_t t3 = timeGetTime();
    ++m_FramesShown;
    m_FrameRate.count(t3);
    setStatusText(FormatLiveStatus(int32_t(t3 - t0), int32_t(t1 - t0), int32_t(t2 - t1), m_FrameRate.rate()));
}

void CViewerDlg::runAutoExposure(uint32_t now)
{
    const double factor = AutoExposure::FactorFromMeans(AutoExposure::SampleMeans(m_ImgRaw));
    const AutoExposure::Decision d = m_AutoExposure.Decide(factor, now);
    if (!d.adjust)
        return;
    if (m_AutoIrisMode == 0) {
        m_Camera.SetGlobalGain(uint8_t(AutoExposure::NextGain(m_Camera.GetGlobalGain(), d.factor)));
    } else if (m_AutoIrisMode == 1) {
        uint16_t shutter = 0;
        m_Camera.GetShutter(&shutter);
        m_Camera.SetShutter(uint16_t(AutoExposure::NextShutter(shutter, d.factor)));
    }
}
