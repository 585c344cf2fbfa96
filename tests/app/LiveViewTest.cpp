// The live view with the simulated camera: frames flow into the view and change, LIVE stops and resumes,
// the camera start follows the stored settings, the heartbeat pause, auto exposure, and no camera at all.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "app/SimulatedWindowTest.h"
#include "app/ViewerDlg.h"
#include "imaging/AutoExposure.h"
#include "platform/simcam/SimCamera.h"

namespace {

class LiveViewTest : public SimulatedWindowTest {
protected:
    static std::vector<uint8_t> rawCopy(CViewerDlg& dlg)
    {
        const auto lock = dlg.lockFrames();
        return { dlg.rawImage().bits(), dlg.rawImage().bits() + dlg.rawImage().byteSize() };
    }
};

double spread(const std::vector<uint8_t>& v)
{
    double sum = 0, sq = 0;
    for (uint8_t b : v) {
        sum += b;
        sq += double(b) * b;
    }
    const double mean = sum / double(v.size());
    return std::sqrt(sq / double(v.size()) - mean * mean);
}

} // namespace

TEST_F(LiveViewTest, ShowsTheLivingSceneWithTheStatusLine)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(dlg.displayThreadRunning());
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 3; }, kPatientMs));
    EXPECT_EQ(dlg.rawImage().width(), 640);
    const auto first = rawCopy(dlg);
    EXPECT_GT(spread(first), 10.0); // a chart, not a flat field
    const uint64_t seen = dlg.framesShown();
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= seen + 3; }, kPatientMs));
    EXPECT_NE(rawCopy(dlg), first); // the scene lives: noise and motion

    // The caption carries the status line once the timer has ticked after a second of frames.
    ASSERT_TRUE(pumpUntil([&] { return !dlg.windowTitle().endsWith("Second 0.0"); }, kPatientMs));
    EXPECT_TRUE(dlg.windowTitle().startsWith("NX-QB740LE Version 1.510  Capture Time "));

    // The view shows the picture: what is painted there is not a flat field either.
    const Rect view = dlg.shownGeometry().view;
    const QImage shot = dlg.grab(QRect(view.left, view.top, 200, 200)).toImage();
    std::vector<uint8_t> greys;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            greys.push_back(uint8_t(qGray(shot.pixel(x, y))));
    EXPECT_GT(spread(greys), 10.0);
}

TEST_F(LiveViewTest, LiveStopsAndResumesWithAFreshThread)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, kPatientMs));

    dlg.OnLive(); // stop
    EXPECT_TRUE(dlg.liveStopped());
    EXPECT_FALSE(dlg.displayThreadRunning());
    EXPECT_FALSE(dlg.camera().isCapturing());
    EXPECT_EQ(dlg.runState(), 2);
    const uint64_t stoppedAt = dlg.framesShown();
    const auto still = rawCopy(dlg);
    pumpFor(300);
    EXPECT_EQ(dlg.framesShown(), stoppedAt);
    EXPECT_EQ(rawCopy(dlg), still); // the last frame stays for measuring and saving

    dlg.OnLive(); // resume
    EXPECT_FALSE(dlg.liveStopped());
    EXPECT_TRUE(dlg.displayThreadRunning());
    EXPECT_EQ(dlg.runState(), 1);
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() >= stoppedAt + 2; }, kPatientMs));

    dlg.OnLive(); // and closing while stopped has no thread to wait for
    EXPECT_FALSE(dlg.displayThreadRunning());
    dlg.done(0);
    EXPECT_FALSE(dlg.displayThreadRunning());
}

TEST_F(LiveViewTest, StoredClockDifferentFromTheCameraEndsWithTheStoredWindow)
{
    writeSettings("Clock=1\n");
    CViewerDlg dlg(nullptr, m_Dir.path());
    int clock = 0;
    dlg.camera().GetClock(&clock);
    EXPECT_EQ(clock, 1);
    EXPECT_TRUE(m_Sim->halfClock());
    // Setting the clock opens the camera afresh (full sensor); the stored window comes after it.
    EXPECT_EQ(dlg.camera().windowX(), 704);
    EXPECT_EQ(dlg.camera().windowY(), 528);
    EXPECT_EQ(dlg.camera().windowWidth(), 640);
    EXPECT_EQ(dlg.camera().windowHeight(), 480);
    EXPECT_TRUE(dlg.camera().isCapturing());
}

TEST_F(LiveViewTest, RefusedWindowSizesTheFramesFromTheCamera)
{
    // 1500 + 1000 runs past the sensor's 2048 columns: the camera keeps the window it had.
    writeSettings("EHS=1500\nEH=1000\n");
    CViewerDlg dlg(nullptr, m_Dir.path());
    EXPECT_EQ(dlg.settings().values().EH, 1000); // the stored setting stays as the user left it
    EXPECT_EQ(dlg.rawImage().width(), dlg.camera().windowWidth());
    EXPECT_EQ(dlg.rawImage().height(), dlg.camera().windowHeight());
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, kPatientMs));
}

TEST_F(LiveViewTest, NothingIsProcessedWhileTheUserInterfaceIsBlocked)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, kPatientMs));
    // No event loop for a while: the heartbeat ages, and after 500 ms the loop only naps. A pass that began
    // before then may still end (it can take long on a loaded machine); none begins after it.
    QThread::msleep(700);
    const uint64_t paused = dlg.framesShown();
    QThread::msleep(1500);
    const uint64_t napping = dlg.framesShown();
    EXPECT_LE(napping, paused + 1);
    QThread::msleep(500);
    EXPECT_EQ(dlg.framesShown(), napping);
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() > napping; }, kPatientMs)); // and resumes with the ticks
}

TEST_F(LiveViewTest, AutoExposureBringsADarkSceneIntoTheBand)
{
    // Auto exposure tempers its steps by the time between frames: frames more than 200 ms apart step the
    // exposure down gently whatever the scene says, and a loaded machine or a sanitizer build shows frames that
    // far apart. The clock stands still here, so every frame counts as a quick one and the scene alone decides.
    const livetest::StillClock still;
    // Mode 0 adjusts the gain, mode 1 the shutter; both start far too dark.
    for (const char* start : { "m_AutoIrisMode=0\nGlovalGain=2\n", "m_AutoIrisMode=1\nShutter=40\n" }) {
        const QString mode(start);
        writeSettings("m_AutoIrisFlg=1\n" + mode);
        CViewerDlg dlg(nullptr, m_Dir.path());
        const auto level = [&] {
            DibImage raw;
            {
                const auto lock = dlg.lockFrames();
                raw.CreateLike(&dlg.rawImage());
                raw.Blit(dlg.rawImage(), nullptr, 0, 0);
            }
            const auto means = AutoExposure::SampleMeans(raw);
            int sum = 0;
            for (int m : means)
                sum += m;
            return sum / 5;
        };
        ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 1; }, kPatientMs));
        EXPECT_LT(level(), 60) << mode.toStdString();
        // Counted in frames: the scene is in the band well within 100 of them.
        const uint64_t first = dlg.framesShown();
        const auto inBand = [&] {
            const int l = level();
            return l >= 100 && l <= 160;
        };
        pumpUntil([&] { return inBand() || dlg.framesShown() > first + 100; }, kPatientMs);
        EXPECT_TRUE(inBand()) << mode.toStdString() << " ended at " << level() << " after "
                              << dlg.framesShown() - first << " frames";
    }
}

TEST(LiveViewNoCamera, RunsAndFetchesNothing)
{
    uninstallSimulatedCamera();
    QTemporaryDir dir;
    CViewerDlg dlg(nullptr, dir.path());
    EXPECT_FALSE(dlg.camera().IsPresent(0));
    EXPECT_TRUE(dlg.displayThreadRunning());
    EXPECT_EQ(dlg.rawImage().width(), 2048); // the frame images exist for pictures opened later
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(dlg.framesShown(), 0u);
    dlg.done(0);
    EXPECT_FALSE(dlg.displayThreadRunning());
}
