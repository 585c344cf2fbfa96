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

#include "app/PumpEvents.h"
#include "app/ViewerDlg.h"
#include "imaging/AutoExposure.h"
#include "platform/simcam/SimCamera.h"

namespace {

void noSleep(uint32_t) {}

class LiveViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Sim = installSimulatedCamera();
        CameraDevice::setSleepHook(noSleep);
    }
    void TearDown() override
    {
        uninstallSimulatedCamera();
        CameraDevice::setSleepHook(nullptr);
    }

    // The settings file the window starts from: a small centred window keeps the tests light; extra keys
    // ("KEY=value\n" lines) come first and so win over the defaults here.
    void writeSettings(const QString& extra = QString())
    {
        QFile f(m_Dir.filePath("NxQb740Le.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("[NX-QB740LE]\n" + extra + "EH=640\nEV=480\nEHS=704\nEVS=528\n").toUtf8());
    }

    // Runs the event loop (so the 100 ms timer ticks) until pred holds or ms have passed.
    void pumpFor(int ms)
    {
        pumpUntil([] { return false; }, ms);
    }

    static std::vector<uint8_t> rawCopy(CViewerDlg& dlg)
    {
        const auto lock = dlg.lockFrames();
        return { dlg.rawImage().bits(), dlg.rawImage().bits() + dlg.rawImage().byteSize() };
    }

    std::shared_ptr<SimCamera> m_Sim;
    QTemporaryDir m_Dir;
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
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 3; }, 10000));
    EXPECT_EQ(dlg.rawImage().width(), 640);
    const auto first = rawCopy(dlg);
    EXPECT_GT(spread(first), 10.0); // a chart, not a flat field
    const uint64_t seen = dlg.framesShown();
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= seen + 3; }, 10000));
    EXPECT_NE(rawCopy(dlg), first); // the scene lives: noise and motion

    // The caption carries the status line once the timer has ticked after a second of frames.
    ASSERT_TRUE(pumpUntil([&] { return !dlg.windowTitle().endsWith("Second 0.0"); }, 5000));
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
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));

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
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() >= stoppedAt + 2; }, 10000));

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
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));
}

TEST_F(LiveViewTest, NothingIsProcessedWhileTheUserInterfaceIsBlocked)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));
    // No event loop for a while: the heartbeat ages, and after 500 ms the loop only naps.
    QThread::msleep(700);
    const uint64_t paused = dlg.framesShown();
    QThread::msleep(500);
    EXPECT_EQ(dlg.framesShown(), paused);
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() > paused; }, 10000)); // and resumes with the ticks
}

TEST_F(LiveViewTest, AutoExposureBringsADarkSceneIntoTheBand)
{
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
        ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 1; }, 10000));
        EXPECT_LT(level(), 60) << mode.toStdString();
        EXPECT_TRUE(pumpUntil(
            [&] {
                const int l = level();
                return l >= 100 && l <= 160;
            },
            8000))
            << mode.toStdString() << " ended at " << level();
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
