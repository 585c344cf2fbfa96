// The main window on a video capture device (the emulated /dev/video9): chosen by default when present, its
// colour frames shown as decoded, the own camera still chosen by the command line, the frame size from the
// settings, auto exposure through the device's gain, and the dead node let go when the device is unplugged.
#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include "live/CameraSources.h"
#include "app/SimulatedWindowTest.h"
#include "app/ViewerDlg.h"
#include "camera/VideoCameraSource.h"
#include "camera/VideoTestSupport.h"
#include "fakev4l2/FakeV4l2.h"
#include "support/WindowDriver.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;

class VideoWindowTest : public SimulatedWindowTest {
protected:
    void SetUp() override
    {
        SimulatedWindowTest::SetUp();
        fakev4l2_reset();
        m_Saved = cameraSources();
        cameraSources() = CameraSources { &VideoDevice::List, &VideoCameraSource::Open };
        writeSettings();
    }
    void TearDown() override
    {
        cameraSources() = m_Saved;
        SimulatedWindowTest::TearDown();
    }
    // A YUYV device repeating one frame of the given luma and chroma every 5 ms.
    static std::vector<uint8_t> streamYuyv(uint8_t y, uint8_t u, uint8_t v)
    {
        fakev4l2_add_format(V4L2_PIX_FMT_YUYV, kWidth, kHeight);
        std::vector<uint8_t> frame(size_t(kWidth) * kHeight * 2);
        for (size_t i = 0; i < frame.size(); i += 4) {
            frame[i] = frame[i + 2] = y;
            frame[i + 1] = u;
            frame[i + 3] = v;
        }
        fakev4l2_push_frame(frame.data(), frame.size());
        fakev4l2_repeat(5000);
        return frame;
    }

    CameraSources m_Saved;
};

} // namespace

TEST_F(VideoWindowTest, ChosenByDefault_ColourFramesShownAsDecoded_OwnCameraByTheCommandLine)
{
    const std::vector<uint8_t> frame = streamYuyv(120, 90, 170);
    const std::vector<uint8_t> expected = videotest::yuyvReference(frame.data(), kWidth, kHeight, kWidth * 2);
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        EXPECT_EQ(dlg.liveView().source().ownCamera(), nullptr);
        EXPECT_TRUE(dlg.windowTitle().endsWith("  -  Fake Camera (/dev/video9)")) << dlg.windowTitle().toStdString();
        ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 3; }, 10000));
        dlg.liveView().withFrame([&](LiveFrames& f) {
            ASSERT_EQ(f.picture.bitsPerPixel(), 24);
            ASSERT_EQ(f.picture.width(), kWidth);
            ASSERT_EQ(f.picture.height(), kHeight);
            for (int y : { 0, kHeight - 1 })
                for (int x : { 0, kWidth - 1 })
                    for (int c = 0; c < 3; ++c)
                        EXPECT_EQ(f.picture.rowTopDown(y)[x * 3 + c], expected[(size_t(y) * kWidth + x) * 3 + c]);
        });
    }
    CViewerDlg own(nullptr, m_Dir.path(), "own");
    EXPECT_NE(own.liveView().source().ownCamera(), nullptr);
    EXPECT_EQ(own.windowTitle(), "NX-QB740LE Version 1.510  -  NX-QB740LE");
}

TEST_F(VideoWindowTest, FrameSizeFromTheSettings)
{
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 320, 240);
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 160, 120);
    writeSettings("CameraSize=160x120\n");
    CViewerDlg dlg(nullptr, m_Dir.path());
    EXPECT_EQ(dlg.liveView().format().width, 160);
    EXPECT_EQ(dlg.liveView().pictureInUse().width(), 160);
}

TEST_F(VideoWindowTest, AutoExposureRaisesTheDevicesGain)
{
    fakev4l2_add_control(V4L2_CID_GAIN, V4L2_CTRL_TYPE_INTEGER, 0, 200, 1, 10, 0);
    writeSettings("m_AutoIrisFlg=1\nm_AutoIrisMode=0\n");
    streamYuyv(20, 128, 128); // a dark grey scene
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_EQ(dlg.liveView().source().ownCamera(), nullptr);
    EXPECT_TRUE(pumpUntil([&] { return fakev4l2_control(V4L2_CID_GAIN) > 10; }, 10000));
}

TEST_F(VideoWindowTest, Unplugged_TheLiveViewStopsAndLetsTheDeadNodeGo)
{
    streamYuyv(100, 128, 128);
    CViewerDlg dlg(nullptr, m_Dir.path());
    int told = 0;
    dlg.prompts().tellCameraLost = [&](const QString&) { ++told; };
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, 10000));

    fakev4l2_vanish();
    ASSERT_TRUE(pumpUntil([&] { return told > 0; }, 10000));
    EXPECT_TRUE(win::liveStopped(dlg));
    EXPECT_EQ(fakev4l2_open_count(), 0); // not kept busy
}
