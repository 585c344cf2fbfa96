// A video device as the live view's source, against the emulated /dev/video9: what its frames are, its
// controls under the viewer's names, frames announced and taken, and a device unplugged and back.
#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <chrono>
#include <thread>

#include "camera/VideoCameraSource.h"
#include "VideoTestSupport.h"
#include "fakev4l2/FakeV4l2.h"
#include "imaging/DibImage.h"

using Control = LiveSource::Control;
using State = LiveSource::FrameState;

namespace {

class VideoCameraSourceTest : public ::testing::Test {
protected:
    void SetUp() override { fakev4l2_reset(); }
    void TearDown() override
    {
        source.reset();
        EXPECT_EQ(fakev4l2_open_count(), 0);
    }
    void open()
    {
        source = VideoCameraSource::Open({ FAKEV4L2_PATH, "Fake Camera" });
        ASSERT_NE(source, nullptr);
    }
    // The next frame state other than None, or None after ms.
    State waitForFrame(int ms = 5000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            const State s = source->nextFrame();
            if (s != State::None)
                return s;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return State::None;
    }

    std::unique_ptr<LiveSource> source;
    LiveSource::StartSettings settings;
};

} // namespace

TEST_F(VideoCameraSourceTest, FormatOfEachKindOfDevice_NameForTheCaption)
{
    EXPECT_EQ(VideoCameraSource::Open({ "/dev/video-none", "" }), nullptr);
    fakev4l2_add_format(V4L2_PIX_FMT_YUYV, 320, 240);
    open();
    EXPECT_EQ(source->name(), "Fake Camera (/dev/video9)");
    EXPECT_EQ(source->ownCamera(), nullptr);
    EXPECT_FALSE(source->keepsControlsInSettings());
    EXPECT_EQ(source->format(), (LiveSource::FrameFormat { 320, 240, LiveSource::Pixels::Colour, -1 }));

    fakev4l2_reset();
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 64, 32);
    open();
    EXPECT_EQ(source->format(), (LiveSource::FrameFormat { 64, 32, LiveSource::Pixels::Grey, -1 }));

    fakev4l2_reset();
    fakev4l2_add_format(V4L2_PIX_FMT_SRGGB8, 64, 32);
    open();
    const LiveSource::FrameFormat mosaic = source->format();
    EXPECT_EQ(mosaic.pixels, LiveSource::Pixels::Mosaic);
    EXPECT_EQ(mosaic.bayerMode, static_cast<VideoCameraSource&>(*source).device().bayerMode());
    EXPECT_GE(mosaic.bayerMode, 0);
}

TEST_F(VideoCameraSourceTest, ControlsUnderTheViewersNames_HeldToTheirRange_OwnCameraOnesAbsent)
{
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 64, 32);
    fakev4l2_add_control(V4L2_CID_GAIN, V4L2_CTRL_TYPE_INTEGER, 0, 100, 1, 10, 0);
    fakev4l2_add_control(V4L2_CID_RED_BALANCE, V4L2_CTRL_TYPE_INTEGER, 1, 1023, 1, 512, 0);
    fakev4l2_add_control(V4L2_CID_BLUE_BALANCE, V4L2_CTRL_TYPE_INTEGER, 1, 1023, 1, 400, 0);
    open();
    EXPECT_EQ(source->range(Control::Gain).max, 100);
    EXPECT_TRUE(source->range(Control::Gain).present);
    EXPECT_EQ(source->range(Control::Red).def, 512);
    EXPECT_EQ(source->range(Control::Blue).def, 400);
    for (Control absent : { Control::Green1, Control::Green2, Control::Mirror, Control::Exposure, Control::Contrast }) {
        EXPECT_FALSE(source->range(absent).present);
        int32_t v = -7;
        EXPECT_FALSE(source->getControl(absent, &v));
        EXPECT_EQ(v, -7);
        EXPECT_FALSE(source->setControl(absent, 1));
    }
    EXPECT_TRUE(source->setControl(Control::Gain, 250));
    EXPECT_EQ(fakev4l2_control(V4L2_CID_GAIN), 100);
    EXPECT_TRUE(source->setControl(Control::Red, 700));
    EXPECT_EQ(fakev4l2_control(V4L2_CID_RED_BALANCE), 700);
    int32_t gain = 0;
    EXPECT_TRUE(source->getControl(Control::Gain, &gain));
    EXPECT_EQ(gain, 100);
}

TEST_F(VideoCameraSourceTest, FramesAnnouncedAndTaken_UnpluggedIsGone_BackAfterPrepare)
{
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 64, 32);
    open();
    ASSERT_TRUE(source->prepare(settings));
    ASSERT_EQ(source->start(settings), LiveSource::kOk);
    EXPECT_TRUE(source->isCapturing());
    EXPECT_EQ(source->nextFrame(), State::None);
    const std::vector<uint8_t> frame(64 * 32, 77);
    fakev4l2_push_frame(frame.data(), frame.size());
    ASSERT_EQ(waitForFrame(), State::Ready);
    DibImage raw;
    ASSERT_TRUE(raw.Create(64, 32, 8));
    ASSERT_EQ(source->getFrame(raw), LiveSource::kOk);
    EXPECT_EQ(raw.rowTopDown(31)[63], 77);
    EXPECT_EQ(source->getFrame(raw), LiveSource::kNoFrame); // taken already

    fakev4l2_vanish();
    ASSERT_EQ(waitForFrame(), State::Gone);
    EXPECT_FALSE(source->prepare(settings)); // still away

    fakev4l2_replug();
    ASSERT_TRUE(source->prepare(settings));
    EXPECT_EQ(source->format().width, 64);
    ASSERT_EQ(source->start(settings), LiveSource::kOk);
    const std::vector<uint8_t> next(64 * 32, 5);
    fakev4l2_push_frame(next.data(), next.size());
    ASSERT_EQ(waitForFrame(), State::Ready);
    ASSERT_EQ(source->getFrame(raw), LiveSource::kOk);
    EXPECT_EQ(raw.rowTopDown(0)[0], 5);
    source->stop();
    EXPECT_FALSE(source->isCapturing());
}

TEST_F(VideoCameraSourceTest, FramesThatDoNotFitSayWhy_AJpegSizeCanBeTaken)
{
    const std::vector<uint8_t> jpeg = videotest::encodeJpeg(videotest::smoothRgb(64, 48), 64, 48, TJSAMP_420);
    const struct {
        const char* what;
        uint32_t fourcc;
        std::vector<uint8_t> frame;
        LiveSource::Refusal refusal; // all 0: a broken frame, not one that does not fit
        bool adopts; // a compressed format's frames say their size: it can be taken
    } cases[] = {
        { "a JPEG of another size", V4L2_PIX_FMT_MJPEG, jpeg, { 64, 48, 0, 0 }, true },
        { "a JPEG cut before its frame header", V4L2_PIX_FMT_MJPEG, std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20),
            {}, true },
        { "a short grey frame", V4L2_PIX_FMT_GREY, std::vector<uint8_t>(100, 9), { 0, 0, 100, 64 * 32 }, false },
        { "a short YUYV frame", V4L2_PIX_FMT_YUYV, std::vector<uint8_t>(64 * 31 * 2, 9), { 0, 0, 64 * 31 * 2, 64 * 32 * 2 },
            false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fakev4l2_reset();
        fakev4l2_add_format(c.fourcc, 64, 32);
        open();
        ASSERT_TRUE(source->prepare(settings));
        ASSERT_EQ(source->start(settings), LiveSource::kOk);
        fakev4l2_push_frame(c.frame.data(), c.frame.size());
        ASSERT_EQ(waitForFrame(), State::Ready);
        DibImage image;
        const bool fits = c.refusal != LiveSource::Refusal {};
        EXPECT_EQ(source->getFrame(image), fits ? LiveSource::kNullBuffer : LiveSource::kFrameReadFailed);
        if (fits) {
            EXPECT_EQ(source->lastRefusal(), c.refusal);
        }

        EXPECT_EQ(source->adoptFrameSize(64, 48), c.adopts);
        if (!c.adopts) {
            EXPECT_EQ(source->format().height, 32);
            source.reset();
            continue;
        }
        EXPECT_EQ(source->format(), (LiveSource::FrameFormat { 64, 48, LiveSource::Pixels::Colour, -1 }));
        fakev4l2_push_frame(jpeg.data(), jpeg.size());
        ASSERT_EQ(waitForFrame(), State::Ready);
        ASSERT_EQ(source->getFrame(image), LiveSource::kOk);
        EXPECT_EQ(image.height(), 48);
        EXPECT_FALSE(source->adoptFrameSize(4096, 48)); // beyond any size we take
        source.reset();
    }
}
