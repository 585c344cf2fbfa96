// The live view's camera faults with the simulated driver's switches: absent at start, vanishing while live
// (stopped with a message, LIVE shows stopped) and coming back, broken frames skipped, a start that fails;
// and a video device as the source (caption, no Camera Setting, colour frames without the Bayer step).
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include "live/CameraSources.h"
#include "app/SimulatedWindowTest.h"
#include "support/OwnCameraOnly.h"
#include "app/ViewerApp.h"
#include "app/ViewerDlg.h"
#include "dialogs/ui/CImageSetDlg.h"
#include "support/FakeLiveSource.h"
#include "platform/StringTable.h"

namespace {

class CameraFaultTest : public SimulatedWindowTest {
protected:
    // The window's loop turns over ms of the event loop: a napping loop makes at most one per millisecond
    // (each nap is 2 ms); a spinning one makes thousands.
    uint64_t turnsDuring(CViewerDlg& dlg, int ms)
    {
        QElapsedTimer t;
        t.start();
        const uint64_t before = dlg.displayLoopTurns();
        pumpFor(ms);
        const uint64_t turns = dlg.displayLoopTurns() - before;
        EXPECT_LE(turns, uint64_t(t.elapsed())) << "the display loop spins";
        return turns;
    }
    static void intercept(CViewerDlg& dlg, QStringList& messages)
    {
        dlg.tellCameraLost = [&messages](const QString& text) { messages << text; };
    }
};

} // namespace

TEST_F(CameraFaultTest, AbsentAtStart_NoLiveNoSpin_FoundAfterLive)
{
    writeSettings();
    uninstallSimulatedCamera();
    CViewerDlg dlg(nullptr, m_Dir.path());
    QStringList messages;
    intercept(dlg, messages);
    EXPECT_FALSE(dlg.source().isCapturing());
    turnsDuring(dlg, 400);
    EXPECT_EQ(dlg.framesShown(), 0u);
    EXPECT_TRUE(messages.isEmpty());

    // Plugged in: LIVE (stop, then start) finds it.
    m_Sim = installSimulatedCamera();
    dlg.OnLive();
    dlg.OnLive();
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));
    EXPECT_EQ(dlg.rawImage().width(), 640);
    dlg.done(0);
}

TEST_F(CameraFaultTest, VanishedWhileLive_StopsWithAMessage_BackAgainWithLive)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    QStringList messages;
    intercept(dlg, messages);
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));

    uninstallSimulatedCamera();
    ASSERT_TRUE(pumpUntil([&] { return !messages.isEmpty(); }, 10000));
    EXPECT_EQ(messages, QStringList { LoadString(1012) });
    EXPECT_TRUE(LoadString(1012, false).contains("disconnected"));
    EXPECT_FALSE(LoadString(1012, true).isEmpty());
    EXPECT_TRUE(dlg.liveStopped());
    EXPECT_TRUE(dlg.skinState().liveStopped); // LIVE shows stopped
    EXPECT_FALSE(dlg.displayThreadRunning());
    const uint64_t stoppedAt = dlg.framesShown();
    pumpFor(200);
    EXPECT_EQ(messages.size(), 1); // told once

    // Plugged in again and LIVE pressed: the live view resumes.
    m_Sim = installSimulatedCamera();
    dlg.OnLive();
    EXPECT_FALSE(dlg.liveStopped());
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() >= stoppedAt + 2; }, 10000));
    EXPECT_EQ(messages.size(), 1);
    dlg.done(0);
}

TEST_F(CameraFaultTest, ShortAndFailedReads_TheFrameIsSkipped_LiveGoesOn)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    QStringList messages;
    intercept(dlg, messages);
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));
    for (SimCamera::FrameFault fault : { SimCamera::FrameFault::Short, SimCamera::FrameFault::Fail }) {
        m_Sim->injectFrameFault(fault, 1);
        const uint64_t seen = dlg.framesShown();
        EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() >= seen + 4; }, 10000));
    }
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(dlg.liveStopped());
    dlg.done(0);
}

TEST_F(CameraFaultTest, FailingStart_NoFrameNoSpin_GoesOnWhenTheCameraAnswers)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    QStringList messages;
    intercept(dlg, messages);
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 1; }, 10000));
    dlg.OnLive(); // stop
    m_Sim->setCommandsFail(true); // every exchange fails: the capture runs end at once
    dlg.OnLive(); // start
    pumpFor(100);
    const uint64_t shown = dlg.framesShown();
    turnsDuring(dlg, 600);
    EXPECT_EQ(dlg.framesShown(), shown);
    EXPECT_TRUE(messages.isEmpty()); // the camera still opens: not lost
    m_Sim->setCommandsFail(false);
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() >= shown + 2; }, 10000));
    dlg.done(0);
}

TEST_F(CameraFaultTest, VideoDevice_CaptionNamesIt_ColourFramesShownAsTheyCome_NoCameraSetting)
{
    // Bayer on in the settings: a colour device's frames must not go through the Bayer step.
    writeSettings("m_BayerFlg=1\n");
    const CameraSources saved = cameraSources();
    FakeLiveSource* fake = nullptr;
    cameraSources().listVideoDevices = [] { return std::vector<VideoDeviceInfo> { { "/dev/video9", "Fake" } }; };
    cameraSources().openVideoDevice = [&fake](const VideoDeviceInfo&, int, int) {
        auto source = std::make_unique<FakeLiveSource>();
        fake = source.get();
        return std::unique_ptr<LiveSource>(std::move(source));
    };
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        cameraSources() = saved;
        ASSERT_NE(fake, nullptr);
        EXPECT_EQ(dlg.source().ownCamera(), nullptr);
        EXPECT_EQ(dlg.windowTitle(), "NX-QB740LE Version 1.510  -  Fake Scope (/dev/video9)");
        EXPECT_EQ(dlg.rawImage().bitsPerPixel(), 24);
        EXPECT_EQ(&dlg.PictureInUse(), &dlg.rawImage());
        ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));
        {
            const auto lock = dlg.lockFrames();
            const uint8_t* p = dlg.rawImage().bits();
            EXPECT_EQ(p[0], p[1]); // a flat grey frame stays grey: no mosaic conversion ran over it
            EXPECT_EQ(p[1], p[2]);
        }
        // SET while stopped opens the Image Setting dialog, not the Camera Setting one (the own camera's).
        dlg.OnLive();
        int opened = 0;
        dlg.runSettingDialog = [&opened](QDialog&) { return ++opened, 0; };
        bool imageSetting = false;
        QTimer::singleShot(50, &dlg, [&] {
            imageSetting = dlg.imageSetDialog() != nullptr;
            if (dlg.imageSetDialog())
                dlg.imageSetDialog()->reject();
        });
        dlg.OnSet();
        EXPECT_TRUE(imageSetting);
        // Unplugged: the live view stops with the message.
        QStringList messages;
        intercept(dlg, messages);
        dlg.OnLive();
        fake->gone = true;
        EXPECT_TRUE(pumpUntil([&] { return !messages.isEmpty(); }, 5000));
        EXPECT_TRUE(dlg.liveStopped());
        EXPECT_EQ(opened, 0);
        dlg.done(0);
    }
    // Without the adapter's functions, a named device falls back to the own camera.
    CViewerDlg own(nullptr, m_Dir.path(), "/dev/video9");
    EXPECT_NE(own.source().ownCamera(), nullptr);
    EXPECT_EQ(own.windowTitle(), "NX-QB740LE Version 1.510");
    own.done(0);
}

TEST(CameraOption, FromTheCommandLine)
{
    EXPECT_EQ(CameraOptionFromArguments({ "nxviewer" }), QString());
    EXPECT_EQ(CameraOptionFromArguments({ "nxviewer", "--camera", "/dev/video2" }), "/dev/video2");
    EXPECT_EQ(CameraOptionFromArguments({ "nxviewer", "--camera=own" }), "own");
    EXPECT_EQ(CameraOptionFromArguments({ "nxviewer", "--camera" }), QString()); // no value: none
}
