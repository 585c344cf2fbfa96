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
    LiveSource::StartSettings start;
    start.x = v.EHS, start.y = v.EVS, start.width = v.EH, start.height = v.EV, start.clock = v.Clock;
    start.mirror = v.MirrorV;
    start.gain = v.GlovalGain, start.green1 = v.ColorGainG1, start.red = v.ColorGainR, start.blue = v.ColorGainB;
    start.green2 = v.ColorGainG2, start.exposure = v.Shutter;
    m_RunState = 2;
    ++m_CameraStarts;
    m_LossReported = false;
    QApplication::setOverrideCursor(Qt::WaitCursor); // opening a camera afresh takes a while
    const bool present = m_Source->prepare(start);
    QApplication::restoreOverrideCursor();
    {
        // The frame images follow the frames the source delivers, so a frame always fills them exactly;
        // without a camera they are never above the sensor.
        const LiveSource::FrameFormat f = present ? m_Source->format() : LiveSource::FrameFormat {};
        const auto lock = lockFrames();
        m_SourceFormat = f;
        if (f.width > 0 && f.height > 0)
            CreateFrameImages(f.width, f.height, uint16_t(f.bitsPerPixel()));
        else
            CreateFrameImages(std::min(v.EH, CameraDevice::kSensorWidth), std::min(v.EV, CameraDevice::kSensorHeight));
    }
    if (!present)
        return 1;
    m_Source->start(start);
    m_RunState = 1;
    return 1;
}

void CViewerDlg::StopCamera()
{
    m_RunState = 2;
    if (m_Source)
        m_Source->stop();
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
        ++m_DisplayLoopTurns;
        if (timeGetTime() - m_Heartbeat.load() > kHeartbeatTimeoutMs) {
            Sleep(10);
            continue;
        }
        if (m_RunState.load() != 1 || !showNextFrame())
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
        if (m_Source->getFrame(m_ImgRaw) != LiveSource::kOk)
            return false; // no new frame after all (the camera was restarted in between): nothing new to show
        adaptToSource(live.process);
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
    if (mode != 0 && mode != 1)
        return;
    const int32_t set = nextExposure(mode == 0 ? LiveSource::Control::Gain : LiveSource::Control::Exposure, d.factor);
    if (set >= 0)
        (mode == 0 ? m_AutoGain : m_AutoShutter) = set;
}
