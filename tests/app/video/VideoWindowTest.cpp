// The main window on a video capture device (the emulated /dev/video9): chosen by default when present, its
// colour frames shown as decoded, the own camera still chosen by the command line, auto exposure through the
// device's gain, the Image Setting fields from its controls, and the device unplugged and plugged back.
#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include "live/CameraSources.h"
#include "app/SimulatedWindowTest.h"
#include "app/ViewerDlg.h"
#include "camera/VideoCameraSource.h"
#include "camera/VideoTestSupport.h"
#include "dialogs/ImageSetModel.h"
#include "fakev4l2/FakeV4l2.h"
#include "platform/StringTable.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;

class PlainTarget : public ImageSetTarget {
public:
    ImageSetValues v;
    ImageSetValues values() const override { return v; }
    void change(const std::function<void(ImageSetValues&)>& edit) override { edit(v); }
};

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
        EXPECT_EQ(dlg.source().ownCamera(), nullptr);
        EXPECT_TRUE(dlg.windowTitle().endsWith("  -  Fake Camera (/dev/video9)")) << dlg.windowTitle().toStdString();
        ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 3; }, 10000));
        const auto lock = dlg.lockFrames();
        const DibImage& raw = dlg.rawImage();
        ASSERT_EQ(raw.bitsPerPixel(), 24);
        ASSERT_EQ(raw.width(), kWidth);
        ASSERT_EQ(raw.height(), kHeight);
        for (int y : { 0, kHeight - 1 })
            for (int x : { 0, kWidth - 1 })
                for (int c = 0; c < 3; ++c)
                    EXPECT_EQ(raw.rowTopDown(y)[x * 3 + c], expected[(size_t(y) * kWidth + x) * 3 + c]);
        EXPECT_TRUE(dlg.statusText().contains("Frame per Second")) << dlg.statusText().toStdString();
    }
    CViewerDlg own(nullptr, m_Dir.path(), "own");
    EXPECT_NE(own.source().ownCamera(), nullptr);
    EXPECT_EQ(own.windowTitle(), "NX-QB740LE Version 1.510");
    EXPECT_TRUE(pumpUntil([&] { return own.framesShown() >= 2; }, 10000));
}

TEST_F(VideoWindowTest, AutoExposureRaisesTheDevicesGain_ImageSettingFieldsFromItsControls)
{
    fakev4l2_add_control(V4L2_CID_GAIN, V4L2_CTRL_TYPE_INTEGER, 0, 200, 1, 10, 0);
    fakev4l2_add_control(V4L2_CID_BRIGHTNESS, V4L2_CTRL_TYPE_INTEGER, -64, 64, 1, 0, 0);
    writeSettings("m_AutoIrisFlg=1\nm_AutoIrisMode=0\n");
    streamYuyv(20, 128, 128); // a dark grey scene
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_EQ(dlg.source().ownCamera(), nullptr);
    EXPECT_TRUE(pumpUntil([&] { return fakev4l2_control(V4L2_CID_GAIN) > 10; }, 10000));
    dlg.OnLive(); // stopped: the dialog's values hold still

    PlainTarget target;
    ImageSetModel model(target, dlg.source());
    EXPECT_EQ(model.number(IDC_GLOBAL_GAIN)->max, 200);
    EXPECT_TRUE(model.number(IDC_GLOBAL_GAIN)->enabled);
    EXPECT_EQ(model.number(IDC_CAM_BRIGHTNESS)->min, -64);
    EXPECT_TRUE(model.number(IDC_CAM_BRIGHTNESS)->enabled);
    for (int id : { IDC_GREEN1, IDC_SHUTTER, IDC_CAM_CONTRAST })
        EXPECT_FALSE(model.number(id)->enabled) << id;
    EXPECT_EQ(model.edit(IDC_CAM_BRIGHTNESS, "12"), 12);
    EXPECT_EQ(fakev4l2_control(V4L2_CID_BRIGHTNESS), 12);
}

TEST_F(VideoWindowTest, Unplugged_LiveStopsWithAMessage_PluggedBackLiveResumes)
{
    streamYuyv(100, 128, 128);
    CViewerDlg dlg(nullptr, m_Dir.path());
    QStringList messages;
    dlg.tellCameraLost = [&](const QString& text) { messages << text; };
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));

    fakev4l2_vanish();
    ASSERT_TRUE(pumpUntil([&] { return !messages.isEmpty(); }, 10000));
    EXPECT_EQ(messages, QStringList { LoadString(1012) });
    EXPECT_TRUE(dlg.liveStopped());
    EXPECT_EQ(fakev4l2_open_count(), 0); // the dead node is let go, not kept busy
    const uint64_t stoppedAt = dlg.framesShown();

    fakev4l2_replug();
    dlg.OnLive();
    EXPECT_FALSE(dlg.liveStopped());
    EXPECT_TRUE(pumpUntil([&] { return dlg.framesShown() >= stoppedAt + 2; }, 10000));
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(VideoWindowTest, FrameSizeFromTheSettings_ElseTheLargest)
{
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 320, 240);
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 160, 120);
    for (const auto& [key, width] : { std::pair { "CameraSize=160x120\n", 160 }, std::pair { "", 320 },
                                      std::pair { "CameraSize=100x100\n", 320 } }) {
        writeSettings(key);
        CViewerDlg dlg(nullptr, m_Dir.path());
        EXPECT_EQ(dlg.sourceFormat().width, width) << key;
        EXPECT_EQ(dlg.rawImage().width(), width) << key;
    }
}
