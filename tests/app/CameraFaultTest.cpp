// The window's side of the camera: a camera that vanishes while live stops the live view with one message,
// a video device as the source names itself in the caption and has no Camera Setting dialog, and a device
// asked for that does not open is told, the own camera shown instead. What the
// live view does with absent, broken and failing cameras is tested on LiveView itself (tests/live).
#include <gtest/gtest.h>

#include "app/SimulatedWindowTest.h"
#include "app/ViewerApp.h"
#include "live/CameraSources.h"
#include "platform/StringTable.h"
#include "support/FakeLiveSource.h"
#include "support/OwnCameraOnly.h"
#include "support/WindowDriver.h"

namespace {

class CameraFaultTest : public SimulatedWindowTest {
protected:
    static void intercept(CViewerDlg& dlg, QStringList& messages)
    {
        dlg.prompts().tellCameraLost = [&messages](const QString& text) { messages << text; };
    }
};

} // namespace

TEST_F(CameraFaultTest, VanishedWhileLive_StopsTheLiveViewAndTellsOnce)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    QStringList messages;
    intercept(dlg, messages);
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, 10000));

    uninstallSimulatedCamera();
    ASSERT_TRUE(pumpUntil([&] { return !messages.isEmpty(); }, 10000));
    EXPECT_EQ(messages, QStringList { LoadString(1012) });
    EXPECT_TRUE(LoadString(1012, false).contains("disconnected"));
    EXPECT_FALSE(LoadString(1012, true).isEmpty());
    EXPECT_TRUE(win::liveStopped(dlg)); // LIVE shows stopped
    pumpFor(200);
    EXPECT_EQ(messages.size(), 1);
    dlg.done(0);
}

TEST_F(CameraFaultTest, VideoDevice_CaptionNamesIt_SetWhileStoppedOpensImageSetting_FallbackToTheOwnCamera)
{
    writeSettings();
    const CameraSources saved = cameraSources();
    cameraSources().listVideoDevices = [] { return std::vector<VideoDeviceInfo> { { "/dev/video9", "Fake" } }; };
    cameraSources().openVideoDevice
        = [](const VideoDeviceInfo&, int, int) { return std::unique_ptr<LiveSource>(new FakeLiveSource); };
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        cameraSources() = saved;
        EXPECT_EQ(dlg.liveView().source().ownCamera(), nullptr);
        EXPECT_EQ(dlg.windowTitle(), "NX-QB740LE Version 1.510  -  Fake Scope (/dev/video9)");
        // SET while stopped opens the Image Setting dialog: the Camera Setting one is the own camera's.
        win::click(dlg, IDC_LIVE);
        ASSERT_TRUE(win::liveStopped(dlg));
        int imageSetting = 0, otherSetting = 0;
        dlg.prompts().runImageSetting = [&](CImageSetDlg&) { return ++imageSetting, int(QDialog::Rejected); };
        dlg.prompts().runSettingDialog = [&](QDialog&) { return ++otherSetting, int(QDialog::Rejected); };
        win::click(dlg, IDC_SET);
        EXPECT_EQ(imageSetting, 1);
        EXPECT_EQ(otherSetting, 0);
        dlg.done(0);
    }
}

TEST_F(CameraFaultTest, ADeviceThatDoesNotOpen_TheOwnCameraShownAndSaid_TheCaptionNamesWhatIsShown)
{
    const QString told = "The camera /dev/video9 could not be opened. The camera NX-QB740LE is shown instead.";
    const QString head = "NX-QB740LE Version 1.510  -  ";
    // A node that is there but refuses this user is told with the way in (the "video" group).
    const QString deniedText = LoadString(1019).arg("/dev/video9", "NX-QB740LE");
    const struct {
        const char* name;
        const char* option; // the command line's --camera
        const char* settings; // extra settings keys
        QString message;
        bool denied = false;
    } cases[] = {
        { "named on the command line", "/dev/video9", "", told },
        { "named by the settings", "", "CameraSource=/dev/video9\n", told },
        { "the own camera asked for", "own", "CameraSource=/dev/video9\n", QString() },
        { "refused, named", "/dev/video9", "", deniedText, true },
        { "refused, automatic", "", "", deniedText, true },
        { "refused, the own camera asked for", "own", "", QString(), true },
    };
    EXPECT_TRUE(deniedText.contains("sudo usermod -aG video $USER"));
    EXPECT_TRUE(LoadString(1019, false).contains("sudo usermod -aG video $USER"));
    const CameraSources saved = cameraSources();
    for (const auto& c : cases) {
        cameraSources().listDeniedDevices
            = [&c] { return c.denied ? std::vector<std::string> { "/dev/video9" } : std::vector<std::string> {}; };
        writeSettings(c.settings);
        CViewerDlg dlg(nullptr, m_Dir.path(), c.option);
        QStringList messages;
        dlg.prompts().tellCameraMissing = [&messages](const QString& text) { messages << text; };
        EXPECT_NE(dlg.liveView().source().ownCamera(), nullptr) << c.name;
        EXPECT_EQ(dlg.windowTitle(), head + "NX-QB740LE") << c.name;
        pumpFor(100); // the message comes once the window is up
        EXPECT_EQ(messages, c.message.isEmpty() ? QStringList() : QStringList { c.message }) << c.name;
        // Stopped, the caption says so before the timings; live again, it names the camera.
        win::click(dlg, IDC_LIVE);
        EXPECT_TRUE(dlg.windowTitle().startsWith(head + "stopped  Capture Time ")) << c.name;
        win::click(dlg, IDC_LIVE);
        EXPECT_TRUE(dlg.windowTitle().startsWith(head + "NX-QB740LE  Capture Time ")) << c.name;
        dlg.done(0);
    }
    cameraSources() = saved;
}

// A camera whose frames never fit: a size it keeps to is taken and the view laid out for it; frames that
// cannot be taken (short ones) are told once and named in the caption.
TEST_F(CameraFaultTest, RefusedFrames_ASizeKeptToIsTaken_OthersAreToldOnce)
{
    writeSettings();
    const CameraSources saved = cameraSources();
    struct Case {
        const char* name;
        int32_t width, height;
        uint64_t shortBytes;
    };
    for (const Case& c : { Case { "another size, kept to", 320, 256, 0 }, Case { "short frames", 0, 0, 1000 } }) {
        cameraSources().listVideoDevices = [] { return std::vector<VideoDeviceInfo> { { "/dev/video9", "Fake" } }; };
        cameraSources().openVideoDevice = [&c](const VideoDeviceInfo&, int, int) {
            auto source = std::make_unique<FakeLiveSource>();
            source->sentWidth = c.width, source->sentHeight = c.height, source->shortBytes = c.shortBytes;
            return std::unique_ptr<LiveSource>(std::move(source));
        };
        CViewerDlg dlg(nullptr, m_Dir.path());
        cameraSources() = saved;
        QStringList told;
        dlg.prompts().tellFramesRefused = [&told](const QString& text) { told << text; };
        dlg.show();
        if (c.shortBytes == 0) {
            // Until the window has taken a frame of the camera's, the picture shown is the one from the start.
            EXPECT_TRUE(pumpUntil(
                [&] { return win::framesShown(dlg) >= 2 && dlg.liveView().shownPicture().frameNumber > 0; }, kPatientMs))
                << c.name;
            EXPECT_EQ(dlg.liveView().pictureInUse().height(), 256) << c.name;
            EXPECT_EQ(win::shownGeometry(dlg).imageHeight, 256) << c.name;
            EXPECT_TRUE(told.isEmpty()) << c.name;
        } else {
            ASSERT_TRUE(pumpUntil([&] { return !told.isEmpty(); }, kPatientMs)) << c.name;
            pumpFor(300);
            EXPECT_EQ(told.size(), 1) << c.name;
            EXPECT_EQ(win::framesShown(dlg), 0u) << c.name;
            EXPECT_TRUE(dlg.windowTitle().contains("Short frames refused: 1000 bytes")) << c.name;
        }
        dlg.done(0);
    }
}

TEST(CameraOption, FromTheCommandLine)
{
    EXPECT_EQ(CameraOptionFromArguments({ "nxviewer" }), QString());
    EXPECT_EQ(CameraOptionFromArguments({ "nxviewer", "--camera", "/dev/video2" }), "/dev/video2");
    EXPECT_EQ(CameraOptionFromArguments({ "nxviewer", "--camera=own" }), "own");
    EXPECT_EQ(CameraOptionFromArguments({ "nxviewer", "--camera" }), QString()); // no value: none
}
