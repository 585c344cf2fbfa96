// The live pipeline: the camera's start and stop, the display thread and its passes (newest frame only, auto
// exposure, white balance, the kernel chain, the histogram, the view at its zoom, the status line), the
// pictures the user-interface thread shows, and a lost camera.
#include "live/LiveView.h"

#include <chrono>

#include <QElapsedTimer>

#include <algorithm>
#include <utility>

#include "camera/CameraDevice.h"
#include "imaging/FocusMeter.h"
#include "imaging/ViewLayout.h"
#include "imaging/ViewOverview.h"
#include "platform/Clock.h"
#include "platform/StringTable.h"

namespace {

// The loop's pause while the user-interface thread has not ticked for this long.
constexpr uint32_t kHeartbeatTimeoutMs = 500;
// While no frame is waiting, or the camera is being reconfigured, the loop naps this long instead of
// spinning, so an idle viewer leaves the processor alone. A paced camera delivers a frame every 24 ms or more.
constexpr uint32_t kIdleNapMs = 2;
// Frames count as stalled when none has been published for this many frame intervals (and never sooner than
// the minimum): the view then follows a pan or zoom from the last frame instead of waiting for the next one.
constexpr int kStallIntervals = 2;
constexpr auto kMinimumStall = std::chrono::milliseconds(20);
// A camera that sends this many frames running of one other size than it agreed to sends that size: the frame
// images take it. Frames refused for this long without that are told.
constexpr uint32_t kSameSizeFrames = 3;
constexpr uint32_t kRefusalTellMs = 1000;
// The texts of frames refused: the status line's and the message's, for another size and for short frames.
constexpr int kRefusedSizeStatus = 1015;
constexpr int kRefusedShortStatus = 1016;
constexpr int kRefusedSizeText = 1017;
constexpr int kRefusedShortText = 1018;

QString refusalText(const LiveSource::Refusal& r, const LiveSource::FrameFormat& f, bool message)
{
    if (r.width > 0 && r.height > 0)
        return LoadString(message ? kRefusedSizeText : kRefusedSizeStatus)
            .arg(r.width)
            .arg(r.height)
            .arg(f.width)
            .arg(f.height);
    const QString text = LoadString(message ? kRefusedShortText : kRefusedShortStatus).arg(r.bytes).arg(r.needed);
    return message ? text.arg(f.width).arg(f.height) : text; // the status line names no frame size
}

} // namespace

LiveView::LiveView(LiveSettings& settings)
    : m_Settings(settings)
{
    DetectProcessor(&m_Processor);
}

LiveView::~LiveView()
{
    m_RunState = kStopped;
    join();
    stopCamera();
}

void LiveView::setSource(std::unique_ptr<LiveSource> source)
{
    m_Source = std::move(source);
}

// --- Camera and display thread.

bool LiveView::startCamera()
{
    const ViewerSettings v = m_Settings.values();
    LiveSource::StartSettings start;
    start.x = v.EHS, start.y = v.EVS, start.width = v.EH, start.height = v.EV, start.clock = v.Clock;
    start.mirror = v.MirrorV;
    start.gain = v.GlovalGain, start.green1 = v.ColorGainG1, start.red = v.ColorGainR, start.blue = v.ColorGainB;
    start.green2 = v.ColorGainG2, start.exposure = v.Shutter;
    m_RunState = kConfiguring;
    ++m_CameraStarts;
    m_LossReported = false;
    const bool present = m_Source && m_Source->prepare(start);
    {
        // The frame images follow the frames the source delivers, so a frame always fills them exactly;
        // without a camera they are never above the sensor.
        const LiveSource::FrameFormat f = present ? m_Source->format() : LiveSource::FrameFormat {};
        std::lock_guard lock(m_FrameMutex);
        m_Format = f;
        m_Refused = {};
        m_SizeToAdopt = 0;
        takeRefusedFrames(); // told of an earlier start
        if (f.width > 0 && f.height > 0)
            createFrameImages(f.width, f.height, uint16_t(f.bitsPerPixel()));
        else
            createFrameImages(std::min(v.EH, CameraDevice::kSensorWidth), std::min(v.EV, CameraDevice::kSensorHeight));
    }
    if (!present)
        return false;
    m_Source->start(start);
    m_RunState = kLive;
    return true;
}

void LiveView::stopCamera()
{
    m_RunState = kConfiguring;
    if (m_Source)
        m_Source->stop();
}

void LiveView::start()
{
    startCamera();
    startDisplay();
}

void LiveView::startDisplay()
{
    m_RunState = kLive;
    launch();
}

void LiveView::stop()
{
    m_RunState = kStopped;
    join();
    stopCamera();
}

void LiveView::launch()
{
    join(); // at most one display thread at a time
    m_DisplayThread = std::thread([this] { runLoop(); });
}

void LiveView::join()
{
    if (m_DisplayThread.joinable())
        m_DisplayThread.join();
}

bool LiveView::isLive() const
{
    return m_RunState.load() == kLive && m_Source && m_Source->isCapturing();
}

void LiveView::runLoop()
{
    // Wait for the first tick of the user-interface thread (or for the end, should it come first).
    while (m_Heartbeat.load() == 0) {
        if (m_RunState.load() == kStopped)
            return;
        Sleep(100);
    }
    while (m_RunState.load() != kStopped) {
        ++m_LoopTurns;
        if (timeGetTime() - m_Heartbeat.load() > kHeartbeatTimeoutMs) {
            Sleep(10);
            continue;
        }
        if (m_RunState.load() != kLive || !showNextFrame())
            Sleep(kIdleNapMs);
    }
}

bool LiveView::step()
{
    adoptFrameSize();
    return m_RunState.load() == kLive && showNextFrame();
}

bool LiveView::showNextFrame()
{
    switch (m_Source->nextFrame()) {
    case LiveSource::FrameState::Ready:
        return runDisplayPass();
    case LiveSource::FrameState::Gone:
        // The display thread never waits for the user: the user-interface thread, polling sourceLost(),
        // stops the live view (which joins this thread) and tells. The hand-over is one atomic word.
        if (!m_LossReported.exchange(true))
            m_LostInStart = m_CameraStarts.load() + 1;
        return false;
    case LiveSource::FrameState::None:
        break;
    }
    return false;
}

bool LiveView::sourceLost()
{
    const uint32_t lost = m_LostInStart.exchange(0);
    // A start made meanwhile (LIVE pressed again) has opened the camera afresh: that loss is over.
    return lost != 0 && lost - 1 == m_CameraStarts.load();
}

// --- The display pass.

bool LiveView::runDisplayPass()
{
    LiveSnapshot live = m_Settings.snapshot();
    ViewPicture& picture = m_Publisher.back();
    double exposure = 1.0;
    bool composed = false;
    uint32_t t0 = 0, t1 = 0;
    {
        std::lock_guard lock(m_FrameMutex);
        t0 = timeGetTime();
        const int got = m_Source->getFrame(m_ImgRaw);
        if (got == LiveSource::kNullBuffer)
            noteRefusedFrame();
        if (got != LiveSource::kOk)
            return false; // no new frame after all (the camera was restarted in between): nothing new to show
        m_Refused.restart();
        m_Stamp = { m_Stamp.number + 1,
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count() };
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
        m_FocusScore = FocusScore(shown, VisiblePicturePart(live.view));
        composed = m_DisplayComposer.Compose(shown, live.view, picture.image);
        if (composed)
            tintFocusPeaking(m_DisplayPeaking, shown, live.view, picture.image);
        picture.geometry = live.view;
        picture.frameNumber = m_Stamp.number;
        picture.frameTimeUs = m_Stamp.timeUs;
    }
    if (composed)
        m_Publisher.publish();
    const uint32_t t2 = timeGetTime();
    // The camera's registers are written outside the frame lock: the register exchange takes milliseconds.
    if (live.autoIrisFlg)
        runAutoExposure(exposure, live.autoIrisMode, t0);
    const uint32_t t3 = timeGetTime();
    ++m_FramesShown;
    m_FrameRate.count(t3);
    m_Rate = m_FrameRate.rate();
    setStatus(FormatLiveStatus(int32_t(t3 - t0), int32_t(t1 - t0), int32_t(t2 - t1), m_FrameRate.rate()));
    return true;
}

void LiveView::noteRefusedFrame()
{
    const LiveSource::Refusal r = m_Source->lastRefusal();
    const uint32_t now = timeGetTime();
    RefusedFrames& f = m_Refused;
    if (f.count++ == 0)
        f.since = now;
    const bool sized = r.width > 0 && r.height > 0;
    f.sameSize = sized && f.sameSize > 0 && r.width == f.last.width && r.height == f.last.height ? f.sameSize + 1 : sized;
    f.last = r;
    // A size the camera keeps to is its size now: the images follow it, as they follow a window change. They
    // are the user-interface thread's to make (it reads their size without the lock): it is asked once.
    if (f.sameSize >= kSameSizeFrames && !f.asked) {
        f.asked = true;
        m_SizeToAdopt = uint64_t(uint32_t(r.width)) << 32 | uint32_t(r.height);
        return;
    }
    if (now - f.since < kRefusalTellMs)
        return;
    const QString head = QString::fromLatin1(kInitialStatus).section(QStringLiteral("  "), 0, 0);
    setStatus(head + QStringLiteral("  ") + refusalText(r, m_Format, false));
    if (!f.told) {
        f.told = true;
        std::lock_guard lock(m_StatusMutex);
        m_RefusalMessage = refusalText(r, m_Format, true);
    }
}

bool LiveView::adoptFrameSize()
{
    const uint64_t size = m_SizeToAdopt.exchange(0);
    if (size == 0)
        return false;
    const auto width = int32_t(size >> 32), height = int32_t(size & 0xFFFFFFFFu);
    std::lock_guard lock(m_FrameMutex);
    // A source that cannot take it goes on refusing its frames, and they are told.
    if (!m_Source || !m_Source->adoptFrameSize(width, height))
        return false;
    m_Format.width = width;
    m_Format.height = height;
    createFrameImages(width, height, uint16_t(m_Format.bitsPerPixel()));
    sizeColorImage(m_Settings.values());
    m_Refused.restart();
    return true;
}

QString LiveView::takeRefusedFrames()
{
    std::lock_guard lock(m_StatusMutex);
    return std::exchange(m_RefusalMessage, QString());
}

void LiveView::adaptToSource(ProcessSettings& process) const
{
    // Grey and colour frames are shown as they come: no Bayer step.
    if (m_Format.pixels != LiveSource::Pixels::Mosaic) {
        process.bayerFlg = 0;
        process.rgbFlg = 0;
        process.yuvFlg = 0;
    } else if (m_Format.bayerMode >= 0) {
        process.bayerMode = m_Format.bayerMode;
    }
}

void LiveView::runAutoExposure(double factor, int32_t mode, uint32_t now)
{
    const AutoExposure::Decision d = m_AutoExposure.Decide(factor, now);
    if (!d.adjust || (mode != 0 && mode != 1))
        return;
    const int32_t set = nextExposure(mode == 0 ? LiveSource::Control::Gain : LiveSource::Control::Exposure, d.factor);
    if (set >= 0)
        (mode == 0 ? m_AutoGain : m_AutoShutter) = set;
}

int32_t LiveView::nextExposure(LiveSource::Control control, double factor)
{
    const LiveSource::ControlRange range = m_Source->range(control);
    if (!range.present)
        return -1;
    int32_t value = 0; // a value that cannot be read counts as 0, as the own camera's always has
    m_Source->getControl(control, &value);
    int32_t next = 0;
    if (!m_Source->ownCamera())
        next = NextControlValue(value, factor, range);
    else if (control == LiveSource::Control::Gain)
        next = AutoExposure::NextGain(value, factor);
    else
        next = AutoExposure::NextShutter(value, factor);
    m_Source->setControl(control, next);
    return next;
}

void LiveView::setStatus(const QString& text)
{
    std::lock_guard lock(m_StatusMutex);
    m_Status = text;
}

QString LiveView::status() const
{
    std::lock_guard lock(m_StatusMutex);
    return m_Status;
}

// --- Frame images.

void LiveView::createFrameImages(int32_t width, int32_t height, uint16_t bitsPerPixel)
{
    m_ImgRaw.Destroy();
    m_ImgWork.Destroy();
    m_ImgColor.Destroy();
    if (!m_ImgRaw.Create(width, height, bitsPerPixel))
        return;
    if (bitsPerPixel == 8)
        m_ImgRaw.SetColorTable(0, nullptr, 0, 256);
    m_ImgColor.Create(m_ImgRaw.width(), m_ImgRaw.height(), 24);
    const bool bayer = m_Settings.read([](const ViewerSettings& s) { return s.m_BayerFlg != 0; });
    m_ImgWork.CreateLike(bayer ? &m_ImgColor : &m_ImgRaw);
    if (!bayer)
        m_ImgWork.SetColorTable(0, nullptr, 0, 256);
}

const DibImage& LiveView::pictureInUse() const
{
    const bool colour = m_Format.pixels == LiveSource::Pixels::Mosaic
        && m_Settings.read([](const ViewerSettings& s) { return s.m_BayerFlg || s.m_RGBFlg || s.m_YUVFlg; });
    return colour ? m_ImgColor : m_ImgRaw;
}

DibImage& LiveView::mutablePicture()
{
    return const_cast<DibImage&>(std::as_const(*this).pictureInUse());
}

bool LiveView::takePicture(DibImage& copy, FrameStamp* stamp)
{
    return withFrame([&](LiveFrames& f) {
        if (stamp)
            *stamp = m_Stamp;
        return copy.CreateLike(&f.picture) && copy.Blit(f.picture, nullptr, 0, 0);
    });
}

FrameStamp LiveView::lastFrame()
{
    return withFrame([this](LiveFrames&) { return m_Stamp; });
}

void LiveView::recreateColorImage()
{
    const ViewerSettings v = m_Settings.values();
    // Under the frame lock no display pass can see a half-made image.
    std::lock_guard lock(m_FrameMutex);
    sizeColorImage(v);
}

void LiveView::sizeColorImage(const ViewerSettings& v)
{
    const int32_t width = ColorImageWidth(m_ImgRaw.width(), v.m_RGBFlg, v.m_YUVFlg);
    if (m_ImgColor.width() != width || m_ImgColor.height() != m_ImgRaw.height() || m_ImgColor.bitsPerPixel() != 24) {
        m_ImgColor.Destroy();
        m_ImgColor.Create(width, m_ImgRaw.height(), 24);
    }
}

void LiveView::toggleWhiteBalance()
{
    // Not while a display pass measures: it sees the request as it stood when the pass began.
    std::lock_guard lock(m_FrameMutex);
    m_Settings.change([](ViewerSettings& s) { s.m_WB_Flg = s.m_WB_Flg ? 0 : 1; });
}

// --- The view on the user-interface thread.

ViewGeometry LiveView::geometryOver(const DibImage& picture) const
{
    ViewGeometry g = m_Settings.view();
    g.imageWidth = picture.width();
    g.imageHeight = picture.height();
    return g;
}

ViewGeometry LiveView::viewGeometry() const
{
    return geometryOver(pictureInUse());
}

const ViewPicture& LiveView::shownPicture() const
{
    return m_UiPictureShown ? m_UiPicture : m_Publisher.front();
}

bool LiveView::framesStalled() const
{
    const auto last = m_Publisher.lastPublished();
    if (last == ViewPublisher::Clock::time_point {})
        return true;
    const auto wait
        = std::max<ViewPublisher::Clock::duration>(m_Publisher.lastInterval() * kStallIntervals, kMinimumStall);
    return ViewPublisher::Clock::now() - last > wait;
}

const DibImage& LiveView::frameShown() const
{
    // While the live view runs, the frame the last pass processed and showed, as it showed it (also while the
    // camera restarts a capture run after a broken frame: the picture in use may then be an image that pass
    // did not show); else the picture in use.
    return m_RunState.load() == kLive && m_LastShown ? *m_LastShown : pictureInUse();
}

bool LiveView::composeShown(bool wait)
{
    QElapsedTimer waited;
    waited.start();
    std::unique_lock lock(m_FrameMutex, std::defer_lock);
    if (wait)
        lock.lock();
    else if (!lock.try_lock())
        return false; // a display pass is at work: its picture, with the new geometry, comes next
    m_LongestUiLockWaitUs = std::max<int64_t>(m_LongestUiLockWaitUs, waited.nsecsElapsed() / 1000);
    const DibImage& picture = frameShown();
    const ViewGeometry g = geometryOver(picture);
    if (!m_UiComposer.Compose(picture, g, m_UiPicture.image))
        return false;
    if (m_RunState.load() == kLive) // frames stall: the picture stands in for the live one; a still one stays plain
        tintFocusPeaking(m_UiPeaking, picture, g, m_UiPicture.image);
    m_UiPicture.geometry = g;
    m_UiPictureShown = true;
    return true;
}

void LiveView::setFocusPeaking(bool on, ColorRef colour)
{
    m_Peaking = (on ? kPeakingOn : 0u) | (colour & 0xFFFFFFu);
}

void LiveView::tintFocusPeaking(FocusPeaking& peaking, const DibImage& shown, const ViewGeometry& g, QImage& view)
{
    const uint32_t word = m_Peaking.load();
    if (word & kPeakingOn)
        peaking.Tint(shown, g, view, word & 0xFFFFFFu);
}

bool LiveView::refreshShown()
{
    if (m_Publisher.take()) {
        m_UiPictureShown = false;
        return true;
    }
    // A pan or zoom shows with the next composed picture; when frames stall, from the last frame here.
    return viewGeometry() != shownPicture().geometry && framesStalled() && composeShown(false);
}

bool LiveView::overview(int width, int height, QImage& out, bool wait)
{
    std::unique_lock lock(m_FrameMutex, std::defer_lock);
    if (wait)
        lock.lock();
    else if (!lock.try_lock())
        return false;
    const DibImage& picture = frameShown();
    QImage shrunk = ViewOverview::Shrink(picture, width, height);
    if (shrunk.isNull())
        return false;
    out = std::move(shrunk);
    return true;
}
