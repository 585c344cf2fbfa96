// The live pipeline without a window: frames from a scripted source or the simulated camera through step(),
// the camera's start from the stored settings, stop and start, auto exposure, the pictures shown and their
// geometry, focus peaking over them, stalled frames, and the camera faults (absent, vanished, broken frames,
// failing starts); the camera opened at start, and the one asked for that did not open.
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "camera/CameraDevice.h"
#include "camera/OwnCameraSource.h"
#include "imaging/FocusPeaking.h"
#include "imaging/ViewComposer.h"
#include "live/CameraSources.h"
#include "live/LiveView.h"
#include "platform/Clock.h"
#include "platform/simcam/SimCamera.h"
#include "support/FakeLiveSource.h"
#include "support/VideoDecode.h"
#include "files/VideoRecorder.h"
#include "support/LiveWindowSupport.h"

namespace {

using livetest::kPatientMs;

double spread(const DibImage& image)
{
    double sum = 0, sq = 0;
    const size_t n = size_t(image.stride()) * size_t(image.height());
    for (size_t i = 0; i < n; ++i) {
        sum += image.bits()[i];
        sq += double(image.bits()[i]) * image.bits()[i];
    }
    const double mean = sum / double(n);
    return std::sqrt(sq / double(n) - mean * mean);
}

class LiveViewTest : public livetest::SimulatedCameraTest {
protected:
    void SetUp() override
    {
        SimulatedCameraTest::SetUp();
        // A small centred capture window keeps the tests light.
        m_Settings.change([](ViewerSettings& s) { s.EH = 640, s.EV = 480, s.EHS = 704, s.EVS = 528; });
        m_Settings.setView({ 10, 10, 330, 250 }, 1, 0, 0);
    }

    FakeLiveSource& useFake()
    {
        auto fake = std::make_unique<FakeLiveSource>();
        FakeLiveSource& f = *fake;
        m_View.setSource(std::move(fake));
        return f;
    }
    void useOwnCamera() { m_View.setSource(std::make_unique<OwnCameraSource>()); }

    // Passes on this thread until n more frames have been shown (the simulated camera captures on a thread
    // of its own, so a pass may find no frame yet).
    bool stepFrames(uint64_t n)
    {
        const uint64_t target = m_View.framesShown() + n;
        QElapsedTimer t;
        t.start();
        while (m_View.framesShown() < target && t.elapsed() < kPatientMs)
            if (!m_View.step())
                QThread::msleep(1);
        return m_View.framesShown() >= target;
    }

    // The display thread's passes, the heartbeat kept fresh as the window's timer keeps it.
    template <typename Pred> bool runUntil(Pred pred)
    {
        QElapsedTimer t;
        t.start();
        while (!pred()) {
            if (t.elapsed() > kPatientMs)
                return false;
            m_View.heartbeat(timeGetTime());
            QThread::msleep(2);
        }
        return true;
    }

    // What the view should show now: the picture in use composed with the geometry shown.
    QImage expectedView()
    {
        QImage view;
        m_View.withFrame([&](LiveFrames& f) {
            ViewComposer().Compose(f.picture, m_View.shownPicture().geometry, view);
        });
        return view;
    }

    LiveSettings m_Settings;
    LiveView m_View { m_Settings };
};

} // namespace

TEST_F(LiveViewTest, FramesFlowThroughStep_TheSceneLives_StatusAndPictureFollow)
{
    useOwnCamera();
    EXPECT_EQ(m_View.status(), LiveView::kInitialStatus);
    ASSERT_TRUE(m_View.startCamera());
    EXPECT_EQ(m_View.runState(), LiveView::kLive);
    ASSERT_TRUE(stepFrames(2));
    DibImage first;
    ASSERT_TRUE(m_View.takePicture(first));
    EXPECT_EQ(first.width(), 640);
    EXPECT_GT(spread(first), 10.0); // a chart, not a flat field
    ASSERT_TRUE(stepFrames(2));
    DibImage later;
    ASSERT_TRUE(m_View.takePicture(later));
    EXPECT_NE(std::vector<uint8_t>(first.bits(), first.bits() + first.byteSize()),
              std::vector<uint8_t>(later.bits(), later.bits() + later.byteSize())); // noise and motion
    EXPECT_TRUE(m_View.status().startsWith("NX-QB740LE Version 1.510  Capture Time "));

    // The published picture is the frame composed with the view's geometry.
    ASSERT_TRUE(m_View.refreshShown());
    EXPECT_EQ(m_View.shownPicture().geometry, m_View.viewGeometry());
    EXPECT_EQ(m_View.shownPicture().image, expectedView());
}

// Each frame carries its number and the time it came; the published view says which frame it shows. A
// recording of the simulated camera's frames, each pushed with its own time, reads back as those frames at
// those times.
TEST_F(LiveViewTest, FramesCarryTheirTimes_ARecordingOfThemKeepsThem)
{
    useOwnCamera();
    ASSERT_TRUE(m_View.startCamera());
    QTemporaryDir dir;
    VideoRecorder recorder;
    VideoRecorder::Options o;
    o.path = dir.filePath("camera.mp4");
    o.width = 640;
    o.height = 480;
    QString error;
    ASSERT_TRUE(recorder.start(o, &error)) << error.toStdString();
    constexpr int kFrames = 12;
    std::vector<int64_t> times;
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_TRUE(stepFrames(1));
        DibImage frame;
        FrameStamp stamp;
        ASSERT_TRUE(m_View.takePicture(frame, &stamp));
        ASSERT_TRUE(m_View.refreshShown());
        EXPECT_EQ(m_View.shownPicture().frameNumber, stamp.number);
        EXPECT_EQ(m_View.shownPicture().frameTimeUs, stamp.timeUs);
        if (!times.empty()) {
            EXPECT_GT(stamp.timeUs, times.back());
        }
        times.push_back(stamp.timeUs);
        // One at a time: the queue never fills, so every frame is in the file.
        while (recorder.status().frames < uint64_t(i) && !recorder.status().failed)
            QThread::msleep(1);
        ASSERT_TRUE(recorder.push(std::move(frame), stamp.timeUs));
    }
    recorder.stop();
    const Decoded d = decodeAll(o.path);
    ASSERT_EQ(d.seconds.size(), size_t(kFrames));
    for (int i = 0; i < kFrames; ++i)
        EXPECT_NEAR(d.seconds[size_t(i)], double(times[size_t(i)] - times[0]) / 1e6, 1.0 / 90000) << i;
}

TEST_F(LiveViewTest, CameraStartFollowsTheStoredSettings)
{
    struct Case {
        const char* name;
        int ehs, eh, clock;
        int wantX, wantWidth; // the window the camera ends with
    };
    const Case cases[] = {
        // Setting the clock opens the camera afresh (full sensor); the stored window comes after it.
        { "stored clock", 704, 640, 1, 704, 640 },
        // 1500 + 1000 runs past the sensor's 2048 columns: the camera keeps the window it had, and the frame
        // images follow the camera, not the settings.
        { "refused window", 1500, 1000, 0, 0, 2048 },
    };
    for (const Case& c : cases) {
        LiveSettings settings;
        settings.change([&](ViewerSettings& s) { s.EHS = c.ehs, s.EH = c.eh, s.EVS = 528, s.EV = 480, s.Clock = c.clock; });
        LiveView view(settings);
        view.setSource(std::make_unique<OwnCameraSource>());
        ASSERT_TRUE(view.startCamera()) << c.name;
        CameraDevice& camera = *view.source().ownCamera();
        int clock = -1;
        camera.GetClock(&clock);
        EXPECT_EQ(clock, c.clock) << c.name;
        EXPECT_EQ(camera.windowX(), c.wantX) << c.name;
        EXPECT_EQ(camera.windowWidth(), c.wantWidth) << c.name;
        EXPECT_EQ(view.pictureInUse().width(), camera.windowWidth()) << c.name;
        EXPECT_EQ(view.pictureInUse().height(), camera.windowHeight()) << c.name;
        EXPECT_EQ(settings.values().EH, c.eh) << c.name; // the stored setting stays as the user left it
        EXPECT_TRUE(camera.isCapturing()) << c.name;
    }
}

TEST_F(LiveViewTest, StopKeepsTheLastFrame_StartRunsAFreshDisplayThread_HeartbeatGatesIt)
{
    const livetest::StillClock still; // time stands at 1000 ms unless the test moves it
    FakeLiveSource& fake = useFake();
    m_View.start();
    EXPECT_TRUE(m_View.running());
    QThread::msleep(50);
    EXPECT_EQ(m_View.framesShown(), 0u); // no pass before the user interface's first tick
    ASSERT_TRUE(runUntil([&] { return m_View.framesShown() >= 2; }));

    m_View.stop();
    EXPECT_FALSE(m_View.running());
    EXPECT_FALSE(fake.isCapturing());
    EXPECT_EQ(m_View.runState(), LiveView::kConfiguring);
    DibImage still1;
    ASSERT_TRUE(m_View.takePicture(still1));
    const uint64_t stoppedAt = m_View.framesShown();
    EXPECT_FALSE(m_View.step()); // stopped: no pass takes a frame
    DibImage still2;
    ASSERT_TRUE(m_View.takePicture(still2));
    EXPECT_EQ(m_View.framesShown(), stoppedAt);
    EXPECT_EQ(still1.bits()[0], still2.bits()[0]); // the last frame stays for measuring and saving

    m_View.start();
    EXPECT_EQ(fake.prepares, 2);
    ASSERT_TRUE(runUntil([&] { return m_View.framesShown() >= stoppedAt + 2; }));
    // A heartbeat older than half a second: the loop only naps (a pass under way may still end).
    m_View.heartbeat(400);
    QThread::msleep(100);
    const uint64_t paused = m_View.framesShown();
    QThread::msleep(300);
    EXPECT_LE(m_View.framesShown(), paused + 1);
    ASSERT_TRUE(runUntil([&] { return m_View.framesShown() > paused + 2; })); // and resumes with the ticks
    m_View.stop();
}

TEST_F(LiveViewTest, AutoExposureBringsADarkSceneIntoTheBand)
{
    // Auto exposure tempers its steps by the time between frames; the clock stands still here, so every frame
    // counts as a quick one and the scene alone decides. Mode 0 adjusts the gain, mode 1 the shutter; both start
    // far too dark.
    const livetest::StillClock still;
    for (const int mode : { 0, 1 }) {
        LiveSettings settings;
        settings.change([mode](ViewerSettings& s) {
            s.EH = 640, s.EV = 480, s.EHS = 704, s.EVS = 528;
            s.m_AutoIrisFlg = 1, s.m_AutoIrisMode = mode;
            if (mode == 0)
                s.GlovalGain = 2;
            else
                s.Shutter = 40;
        });
        LiveView view(settings);
        view.setSource(std::make_unique<OwnCameraSource>());
        ASSERT_TRUE(view.startCamera());
        const auto level = [&] {
            return view.withFrame([](LiveFrames& f) {
                int sum = 0;
                for (int m : AutoExposure::SampleMeans(f.raw))
                    sum += m;
                return sum / 5;
            });
        };
        int frames = 0;
        const auto inBand = [&] { return level() >= 100 && level() <= 160; };
        // Counted in frames: the scene is in the band well within 100 of them.
        QElapsedTimer t;
        t.start();
        while (frames < 100 && (frames == 0 || !inBand()) && t.elapsed() < kPatientMs) {
            if (view.step()) {
                if (++frames == 1) {
                    EXPECT_LT(level(), 60) << "mode " << mode;
                }
            } else {
                QThread::msleep(1);
            }
        }
        EXPECT_TRUE(inBand()) << "mode " << mode << " ended at " << level() << " after " << frames << " frames";
        EXPECT_GE(mode == 0 ? view.autoExposureGain() : view.autoExposureShutter(), 0) << "mode " << mode;
    }
}

TEST_F(LiveViewTest, PublishedPictureCarriesTheGeometryThatComposedIt_StalledFramesComposeHere)
{
    FakeLiveSource& fake = useFake();
    fake.edge = true;
    ASSERT_TRUE(m_View.startCamera());
    m_Settings.setView({ 10, 10, 330, 250 }, 3, -101.7, -51.2); // x4, scrolled
    const ViewGeometry wanted = m_View.viewGeometry();
    EXPECT_EQ(wanted.baiX, -101); // whole pixels
    EXPECT_EQ(wanted.baiY, -51);
    ASSERT_TRUE(m_View.step());
    ASSERT_TRUE(m_View.refreshShown());
    EXPECT_EQ(m_View.shownPicture().geometry, wanted);
    EXPECT_EQ(m_View.shownPicture().image.size(), QSize(wanted.view.width(), wanted.view.height()));
    EXPECT_EQ(m_View.shownPicture().image, expectedView());
    EXPECT_FALSE(m_View.refreshShown()); // nothing new

    // No frame comes any more: a pan shows from the last frame once frames count as stalled.
    fake.held = true;
    EXPECT_FALSE(m_View.step());
    m_Settings.setScroll(-37, -23);
    const ViewGeometry panned = m_View.viewGeometry();
    ASSERT_NE(m_View.shownPicture().geometry, panned);
    QElapsedTimer t;
    t.start();
    while (!m_View.refreshShown() && t.elapsed() < kPatientMs)
        QThread::msleep(5);
    EXPECT_EQ(m_View.shownPicture().geometry, panned);
    EXPECT_EQ(m_View.framesShown(), 1u); // no frame came: the view composed it from the last one
    EXPECT_EQ(m_View.shownPicture().image, expectedView());
}

// Focus peaking is off at start and leaves the published picture as composed; on, the camera's edge comes
// tinted in the colour asked for, as the peaking kernel tints that picture, also in the picture composed here
// while frames stall; off again, plain again.
TEST_F(LiveViewTest, FocusPeakingTintsThePublishedPicture_OffLeavesItPlain)
{
    FakeLiveSource& fake = useFake();
    fake.edge = true;
    ASSERT_TRUE(m_View.startCamera());
    const auto published = [&] {
        EXPECT_TRUE(m_View.step());
        EXPECT_TRUE(m_View.refreshShown());
        return m_View.shownPicture().image;
    };
    const ColorRef magenta = Rgb(255, 0, 255);
    const auto tintedView = [&] {
        QImage view = expectedView();
        m_View.withFrame(
            [&](LiveFrames& f) { FocusPeaking().Tint(f.picture, m_View.shownPicture().geometry, view, magenta); });
        return view;
    };
    EXPECT_FALSE(m_View.focusPeaking());
    const QImage plain = published();
    EXPECT_EQ(plain, expectedView());

    m_View.setFocusPeaking(true, magenta);
    const QImage tinted = published();
    EXPECT_EQ(tinted, tintedView());
    EXPECT_NE(tinted, expectedView());

    fake.held = true; // frames stall; a zoom shows from the last frame
    m_Settings.setView({ 10, 10, 330, 250 }, 2, -100, -50);
    QElapsedTimer t;
    t.start();
    while (!m_View.refreshShown() && t.elapsed() < kPatientMs)
        QThread::msleep(5);
    EXPECT_EQ(m_View.shownPicture().geometry.zoomIndex, 2);
    EXPECT_EQ(m_View.shownPicture().image, tintedView());
    EXPECT_NE(m_View.shownPicture().image, expectedView());

    fake.held = false;
    m_View.setFocusPeaking(false, magenta);
    const QImage plainAgain = published();
    EXPECT_EQ(plainAgain, expectedView());
}

TEST_F(LiveViewTest, ColourSourceFramesAreShownAsTheyCome)
{
    // Bayer on in the settings: a colour device's frames must not go through the Bayer step.
    m_Settings.change([](ViewerSettings& s) { s.m_BayerFlg = 1; });
    useFake();
    ASSERT_TRUE(m_View.startCamera());
    ASSERT_TRUE(m_View.step());
    m_View.withFrame([](LiveFrames& f) {
        EXPECT_EQ(&f.picture, &f.raw);
        EXPECT_EQ(f.raw.bitsPerPixel(), 24);
        const uint8_t* p = f.raw.bits();
        EXPECT_EQ(p[0], p[1]); // a flat grey frame stays grey: no mosaic conversion ran over it
        EXPECT_EQ(p[1], p[2]);
    });
}

TEST_F(LiveViewTest, CameraFaults)
{
    // Absent at start: no frames, the frame images exist for pictures opened later, and the loop naps.
    uninstallSimulatedCamera();
    useOwnCamera();
    EXPECT_FALSE(m_View.startCamera());
    EXPECT_EQ(m_View.pictureInUse().width(), 640);
    m_View.startDisplay();
    QElapsedTimer t;
    t.start();
    const uint64_t turns = m_View.loopTurns();
    runUntil([&] { return t.elapsed() >= 300; });
    EXPECT_LE(m_View.loopTurns() - turns, uint64_t(t.elapsed())) << "the display loop spins";
    EXPECT_EQ(m_View.framesShown(), 0u);
    EXPECT_FALSE(m_View.sourceLost());
    // Plugged in: a stop and a start find it.
    m_Sim = installSimulatedCamera();
    m_View.stop();
    m_View.start();
    EXPECT_TRUE(runUntil([&] { return m_View.framesShown() >= 2; }));

    // Short and failed reads: the frame is skipped and the live view goes on.
    for (SimCamera::FrameFault fault : { SimCamera::FrameFault::Short, SimCamera::FrameFault::Fail }) {
        m_Sim->injectFrameFault(fault, 1);
        const uint64_t seen = m_View.framesShown();
        EXPECT_TRUE(runUntil([&] { return m_View.framesShown() >= seen + 4; }));
    }
    EXPECT_FALSE(m_View.sourceLost());

    // Every exchange fails: the capture runs end at once, no frame comes, the loop does not spin, and frames
    // come again when the camera answers.
    m_View.stop();
    m_Sim->setCommandsFail(true);
    m_View.start();
    const uint64_t shown = m_View.framesShown();
    t.restart();
    const uint64_t turnsBefore = m_View.loopTurns();
    runUntil([&] { return t.elapsed() >= 400; });
    EXPECT_LE(m_View.loopTurns() - turnsBefore, uint64_t(t.elapsed())) << "the display loop spins";
    EXPECT_LE(m_View.framesShown(), shown + 1);
    EXPECT_FALSE(m_View.sourceLost()); // the camera still opens: not lost
    m_Sim->setCommandsFail(false);
    EXPECT_TRUE(runUntil([&] { return m_View.framesShown() >= shown + 3; }));

    // Vanished while live: told once, for this start only.
    uninstallSimulatedCamera();
    EXPECT_TRUE(runUntil([&] { return m_View.sourceLost(); }));
    QThread::msleep(50);
    EXPECT_FALSE(m_View.sourceLost());
    m_View.stop();
}

TEST_F(LiveViewTest, ScriptedFaults_BrokenFramesSkipped_ALossOfAnEarlierStartIsOldNews)
{
    FakeLiveSource& fake = useFake();
    ASSERT_TRUE(m_View.startCamera());
    fake.brokenFrames = 2;
    EXPECT_FALSE(m_View.step());
    EXPECT_FALSE(m_View.step());
    EXPECT_TRUE(m_View.step());
    EXPECT_EQ(m_View.framesShown(), 1u);

    fake.gone = true;
    EXPECT_FALSE(m_View.step());
    EXPECT_FALSE(m_View.step()); // reported once
    // LIVE pressed again before the loss was handled: the new start opens afresh, the old loss is over.
    fake.gone = false;
    ASSERT_TRUE(m_View.startCamera());
    EXPECT_FALSE(m_View.sourceLost());
    fake.gone = true;
    EXPECT_FALSE(m_View.step());
    EXPECT_TRUE(m_View.sourceLost());
    EXPECT_FALSE(m_View.sourceLost());
}

// A camera that sends frames of another size than it agreed to: one size it keeps to becomes the frame
// images' size; frames that never fit (sizes by turns, short ones, a size the source cannot take) are told
// after a second, in the status line and once for a message.
namespace {
std::atomic<uint32_t> g_Now { 1000 };
}

TEST_F(LiveViewTest, FramesThatDoNotFit_AStableSizeIsTaken_ElseToldAfterASecond)
{
    setClockHook([]() -> uint32_t { return g_Now.load(); });
    const struct {
        const char* what;
        int32_t width, height, wobble;
        uint64_t shortBytes;
        bool adopts;
        int32_t shownHeight; // 0: nothing shown
        const char* status; // after a second of refused frames; null: frames shown instead
    } cases[] = {
        { "a stable other size", 320, 248, 0, 0, true, 248, nullptr },
        { "a stable other width", 336, 240, 0, 0, true, 240, nullptr },
        { "two sizes by turns", 320, 248, 8, 0, true, 0, "Frames of 320 x 256 refused, 320 x 240 expected" },
        { "a size the source cannot take", 320, 248, 0, 0, false, 0, "Frames of 320 x 248 refused, 320 x 240 expected" },
        { "short frames", 0, 0, 0, 1000, true, 0, "Short frames refused: 1000 bytes, 230400 expected" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeLiveSource& fake = useFake();
        fake.sentWidth = c.width, fake.sentHeight = c.height, fake.wobble = c.wobble;
        fake.shortBytes = c.shortBytes;
        fake.adopts = c.adopts;
        ASSERT_TRUE(m_View.startCamera());
        const uint64_t shown = m_View.framesShown();
        for (int i = 0; i < 3; ++i, g_Now += 100)
            EXPECT_FALSE(m_View.step());
        if (c.shownHeight) {
            EXPECT_TRUE(m_View.step());
            EXPECT_EQ(m_View.framesShown(), shown + 1);
            EXPECT_EQ(m_View.format().width, c.width);
            EXPECT_EQ(m_View.format().height, c.shownHeight);
            EXPECT_EQ(m_View.pictureInUse().width(), c.width);
            EXPECT_EQ(m_View.pictureInUse().height(), c.shownHeight);
            EXPECT_TRUE(m_View.takeRefusedFrames().isEmpty());
            continue;
        }
        EXPECT_TRUE(m_View.takeRefusedFrames().isEmpty()) << "told before a second passed";
        g_Now += 800;
        EXPECT_FALSE(m_View.step());
        EXPECT_EQ(m_View.framesShown(), shown);
        EXPECT_EQ(m_View.format().height, 240);
        EXPECT_TRUE(m_View.status().endsWith(QString("  ") + c.status)) << m_View.status().toStdString();
        const QString told = m_View.takeRefusedFrames();
        EXPECT_TRUE(told.startsWith("The camera sends frames of ")) << told.toStdString();
        EXPECT_TRUE(told.contains("320 x 240")) << told.toStdString();
        g_Now += 100;
        EXPECT_FALSE(m_View.step());
        EXPECT_TRUE(m_View.takeRefusedFrames().isEmpty()) << "told twice";
        // Told again only for a new start.
        ASSERT_TRUE(m_View.startCamera());
        for (int i = 0; i < 12; ++i, g_Now += 100)
            m_View.step();
        EXPECT_FALSE(m_View.takeRefusedFrames().isEmpty());
    }
    setClockHook(nullptr);
}

TEST_F(LiveViewTest, WhiteBalanceRequestAndColourImage)
{
    m_Settings.change([](ViewerSettings& s) { s.m_BayerFlg = 1, s.m_BayerR = s.m_BayerG = s.m_BayerB = 1.0; });
    useOwnCamera();
    ASSERT_TRUE(m_View.startCamera());
    m_View.toggleWhiteBalance();
    m_View.toggleWhiteBalance(); // withdrawn: nothing is measured
    ASSERT_TRUE(stepFrames(1));
    EXPECT_EQ(m_Settings.values().m_BayerR, 1.0);
    m_View.toggleWhiteBalance();
    ASSERT_TRUE(stepFrames(1));
    EXPECT_EQ(m_Settings.values().m_WB_Flg, 0); // one measurement, then the request ends
    EXPECT_NE(m_Settings.values().m_BayerR, 1.0);

    // RGB data: the colour image takes a third of the raw width.
    m_Settings.change([](ViewerSettings& s) { s.m_RGBFlg = 1; });
    m_View.recreateColorImage();
    EXPECT_EQ(m_View.pictureInUse().width(), 640 / 3);
}

TEST(CameraSources, TheOwnCameraStandsInForAVideoDeviceThatDoesNotOpen_AndSaysWhich)
{
    const std::vector<VideoDeviceInfo> listed { { "/dev/video0", "Webcam" } };
    const struct {
        const char* name;
        const char* option;
        const char* stored;
        bool opens; // whether a video device opens
        bool video; // a video device is the source
        const char* notOpened;
    } cases[] = {
        { "command line names a missing device", "/dev/video2", "", false, false, "/dev/video2" },
        { "settings name a device that is gone", "", "/dev/video3", false, false, "/dev/video3" },
        { "the named device opens", "/dev/video2", "", true, true, "" },
        { "the listed device does not open", "", "", false, false, "/dev/video0" },
    };
    for (const auto& c : cases) {
        CameraSources sources;
        sources.listVideoDevices = [&] { return listed; };
        sources.openVideoDevice = [&](const VideoDeviceInfo&, int, int) {
            return c.opens ? std::unique_ptr<LiveSource>(new FakeLiveSource) : nullptr;
        };
        std::string notOpened = "left over";
        const std::unique_ptr<LiveSource> source = OpenCameraSource(c.option, c.stored, sources, {}, &notOpened);
        ASSERT_NE(source, nullptr) << c.name;
        EXPECT_EQ(source->ownCamera() == nullptr, c.video) << c.name;
        EXPECT_EQ(notOpened, c.notOpened) << c.name;
    }
}
