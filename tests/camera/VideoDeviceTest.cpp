// The video device against the emulated /dev/video9: listing, the choice of format and size, frames of
// every format through the real streaming code, the newest frame after a stall, controls, and the faults
// (a refused format, a dequeue error, the camera unplugged and plugged back).
#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <chrono>
#include <functional>
#include <thread>

#include "camera/VideoDecoder.h"
#include "camera/VideoDevice.h"
#include "fakev4l2/FakeV4l2.h"
#include "VideoTestSupport.h"

using namespace videotest;
using Control = VideoDevice::Control;

namespace {

bool waitFor(const std::function<bool()>& condition, int ms = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Waits for the next frame and decodes it.
int grab(VideoDevice& device, DibImage& dst)
{
    if (!waitFor([&] { return device.IsFrameReady() || device.gone(); }))
        return -1;
    return device.GetImage(dst);
}

class VideoDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { fakev4l2_reset(); }
    void TearDown() override
    {
        device.Close();
        EXPECT_EQ(fakev4l2_open_count(), 0); // nothing left open
    }

    // A grey device of one size, streaming.
    void startGrey(int width, int height)
    {
        fakev4l2_add_format(V4L2_PIX_FMT_GREY, uint32_t(width), uint32_t(height));
        ASSERT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kOk);
        ASSERT_EQ(device.StartCapture(), VideoDevice::kOk);
    }
    static void pushFlat(int width, int height, uint8_t value)
    {
        const std::vector<uint8_t> frame(size_t(width) * size_t(height), value);
        fakev4l2_push_frame(frame.data(), frame.size());
    }

    VideoDevice device;
    DibImage image;
};

} // namespace

TEST_F(VideoDeviceTest, List_FindsCaptureDevicesOnly)
{
    // A camera's metadata node streams but does not capture video: not a camera.
    fakev4l2_add_node("/dev/video8", V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING);
    auto found = VideoDevice::List();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, FAKEV4L2_PATH);
    EXPECT_EQ(found[0].card, "Fake Camera");
    EXPECT_EQ(device.Open("/dev/video8"), VideoDevice::kUnsupported);
    EXPECT_TRUE(VideoDevice::Denied().empty());
    // There but refusing this user: no camera to list, a node to tell the user about.
    fakev4l2_deny(1);
    EXPECT_TRUE(VideoDevice::List().empty());
    EXPECT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kNoHandle);
    EXPECT_EQ(VideoDevice::Denied(), (std::vector<std::string> { "/dev/video8", FAKEV4L2_PATH }));
    fakev4l2_deny(0);
    fakev4l2_vanish();
    EXPECT_TRUE(VideoDevice::List().empty());
    EXPECT_TRUE(VideoDevice::Denied().empty());
    EXPECT_EQ(fakev4l2_open_count(), 0);
}

TEST_F(VideoDeviceTest, Open_ChoosesLargestSizeThenBetterFormat_OrTheWantedSize)
{
    fakev4l2_add_format(V4L2_PIX_FMT_YUYV, 640, 480);
    fakev4l2_add_format(V4L2_PIX_FMT_YUYV, 2048, 1536);
    fakev4l2_add_format(V4L2_PIX_FMT_YUYV, 2592, 1944); // above the limit
    fakev4l2_add_format(V4L2_PIX_FMT_H264, 2048, 1536); // not ours
    fakev4l2_add_format(V4L2_PIX_FMT_MJPEG, 1280, 720);
    fakev4l2_add_format(V4L2_PIX_FMT_MJPEG, 2048, 1536);
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 1280, 720);
    ASSERT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kOk);
    EXPECT_EQ(device.fourcc(), uint32_t(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(device.width(), 2048);
    EXPECT_EQ(device.height(), 1536);
    EXPECT_EQ(device.pixels(), VideoDevice::Pixels::Colour);
    EXPECT_EQ(device.card(), "Fake Camera");

    ASSERT_EQ(device.Open(FAKEV4L2_PATH, 1280, 720), VideoDevice::kOk);
    EXPECT_EQ(device.fourcc(), uint32_t(V4L2_PIX_FMT_GREY));
    EXPECT_EQ(device.pixels(), VideoDevice::Pixels::Grey);
    EXPECT_EQ(device.width(), 1280);

    ASSERT_EQ(device.Open(FAKEV4L2_PATH, 2592, 1944), VideoDevice::kOk); // asked for explicitly: allowed
    EXPECT_EQ(device.width(), 2592);
    ASSERT_EQ(device.Open(FAKEV4L2_PATH, 999, 999), VideoDevice::kOk); // not offered: the default choice
    EXPECT_EQ(device.width(), 2048);
    EXPECT_EQ(fakev4l2_open_count(), 1);

    EXPECT_EQ(device.Open("/dev/video42"), VideoDevice::kNoHandle);
    EXPECT_FALSE(device.isOpen());
}

TEST_F(VideoDeviceTest, Open_RefusedOrUnknownFormats)
{
    // The device answers a request for GREY with YUYV: the grey choice is dropped, YUYV taken on its own.
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 640, 480);
    fakev4l2_add_format(V4L2_PIX_FMT_YUYV, 320, 240);
    fakev4l2_refuse_format(V4L2_PIX_FMT_GREY);
    ASSERT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kOk);
    EXPECT_EQ(device.fourcc(), uint32_t(V4L2_PIX_FMT_YUYV));
    EXPECT_EQ(device.width(), 320);

    fakev4l2_refuse_format(V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kUnsupported);
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(fakev4l2_open_count(), 0);

    fakev4l2_reset();
    fakev4l2_add_format(V4L2_PIX_FMT_H264, 640, 480);
    EXPECT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kUnsupported);
    EXPECT_EQ(device.StartCapture(), VideoDevice::kNoHandle);
}

TEST_F(VideoDeviceTest, EveryFormat_StreamsToTheExpectedPicture)
{
    const int width = 96, height = 30;
    const auto rgb = smoothRgb(width, height);
    const auto jpeg = encodeJpeg(rgb, width, height, TJSAMP_422);
    struct Case {
        uint32_t fourcc;
        int bytes;
    };
    for (const Case c : { Case { V4L2_PIX_FMT_GREY, 1 }, Case { V4L2_PIX_FMT_SRGGB8, 1 }, Case { V4L2_PIX_FMT_YUYV, 2 },
             Case { V4L2_PIX_FMT_RGB24, 3 }, Case { V4L2_PIX_FMT_MJPEG, 0 } }) {
        fakev4l2_reset();
        fakev4l2_set_padding(8); // rows with padding, as some drivers align them
        fakev4l2_add_format(c.fourcc, width, height);
        ASSERT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kOk);
        ASSERT_EQ(device.StartCapture(), VideoDevice::kOk);
        const size_t pitch = size_t(width) * size_t(c.bytes) + 8;
        std::vector<uint8_t> frame = c.bytes ? randomBytes(pitch * height, c.fourcc) : jpeg;
        std::vector<uint8_t> expected;
        if (c.fourcc == V4L2_PIX_FMT_MJPEG)
            expected = decodeJpegTopDown(jpeg, width, height);
        else if (c.fourcc == V4L2_PIX_FMT_YUYV)
            expected = yuyvReference(frame.data(), width, height, pitch);
        else
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const uint8_t* p = &frame[size_t(y) * pitch + size_t(x) * size_t(c.bytes)];
                    if (c.bytes == 3)
                        expected.insert(expected.end(), { p[2], p[1], p[0] });
                    else
                        expected.push_back(p[0]);
                }
        fakev4l2_push_frame(frame.data(), frame.size());
        ASSERT_EQ(grab(device, image), VideoDevice::kOk) << c.fourcc;
        const bool colour = device.pixels() == VideoDevice::Pixels::Colour;
        EXPECT_EQ(image.bitsPerPixel(), colour ? 24 : 8);
        EXPECT_TRUE(sameTopDown(image, expected, size_t(width) * (colour ? 3 : 1))) << c.fourcc;
        if (c.fourcc == V4L2_PIX_FMT_SRGGB8) {
            EXPECT_EQ(device.pixels(), VideoDevice::Pixels::Mosaic);
            EXPECT_EQ(device.bayerMode(), bayerModeFor(c.fourcc, height));
        }
        EXPECT_EQ(device.GetImage(image), VideoDevice::kNoFrame); // taken already
        device.Close();
    }
}

TEST_F(VideoDeviceTest, Stall_TheNewestFrameIsDelivered_AndTheReaderNeverWaits)
{
    // A gated device: nothing completes until released. The reader is told so at once.
    fakev4l2_set_gated(1);
    startGrey(64, 16);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(device.IsFrameReady());
    EXPECT_EQ(device.GetImage(image), VideoDevice::kNoFrame);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(50));

    // More frames than buffers complete while the reader looks away: it gets the last one.
    for (uint8_t k = 1; k <= 7; ++k)
        pushFlat(64, 16, k);
    fakev4l2_release(7);
    ASSERT_TRUE(fakev4l2_wait_dequeued(7, 5000));
    // Settled when the reader's side holds one buffer (the newest) and gave every other back.
    ASSERT_TRUE(waitFor([] { return fakev4l2_queued() == VideoDevice::kBufferCount - 1; }));
    ASSERT_TRUE(device.IsFrameReady());
    ASSERT_EQ(device.GetImage(image), VideoDevice::kOk);
    EXPECT_EQ(image.rowTopDown(0)[0], 7);
    EXPECT_EQ(image.rowTopDown(15)[63], 7);
    EXPECT_FALSE(device.IsFrameReady());

    // Streaming goes on with the buffers given back.
    pushFlat(64, 16, 8);
    fakev4l2_release(1);
    ASSERT_EQ(grab(device, image), VideoDevice::kOk);
    EXPECT_EQ(image.rowTopDown(8)[8], 8);
    EXPECT_EQ(device.StartCapture(), VideoDevice::kAlreadyRunning);
}

TEST_F(VideoDeviceTest, Controls_RangesFromTheDevice_ValuesClampedAndStepped)
{
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 64, 16);
    fakev4l2_add_control(V4L2_CID_GAIN, V4L2_CTRL_TYPE_INTEGER, 0, 100, 1, 50, 0);
    fakev4l2_add_control(V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, 3, 2047, 1, 250, 0);
    fakev4l2_add_control(V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CTRL_TYPE_INTEGER, 2800, 6500, 10, 4600, 0);
    // Manual and aperture priority only, as USB video cameras offer it.
    fakev4l2_add_control(V4L2_CID_EXPOSURE_AUTO, V4L2_CTRL_TYPE_MENU, 0, 3, 1, V4L2_EXPOSURE_APERTURE_PRIORITY,
        (1u << V4L2_EXPOSURE_MANUAL) | (1u << V4L2_EXPOSURE_APERTURE_PRIORITY));
    fakev4l2_add_control(V4L2_CID_AUTO_WHITE_BALANCE, V4L2_CTRL_TYPE_BOOLEAN, 0, 1, 1, 1, 0);
    ASSERT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kOk);

    const auto gain = device.range(Control::Gain);
    EXPECT_TRUE(gain.present);
    EXPECT_EQ(gain.max, 100);
    EXPECT_EQ(gain.def, 50);
    const auto exposure = device.range(Control::Exposure);
    EXPECT_TRUE(exposure.present);
    EXPECT_EQ(exposure.min, 3);
    EXPECT_EQ(exposure.max, 2047);
    EXPECT_EQ(device.range(Control::WhiteBalance).step, 10);
    const auto autoExposure = device.range(Control::AutoExposure);
    EXPECT_TRUE(autoExposure.present);
    EXPECT_EQ(autoExposure.max, 1);
    EXPECT_EQ(autoExposure.def, 1);
    for (Control absent :
        { Control::RedBalance, Control::BlueBalance, Control::Brightness, Control::Contrast, Control::AutoGain }) {
        EXPECT_FALSE(device.range(absent).present);
        int32_t value = 0;
        EXPECT_EQ(device.GetControl(absent, &value), VideoDevice::kUnsupported);
        EXPECT_EQ(device.SetControl(absent, 1), VideoDevice::kUnsupported);
    }

    int32_t value = -1;
    EXPECT_EQ(device.SetControl(Control::Gain, 150), VideoDevice::kOk);
    EXPECT_EQ(fakev4l2_control(V4L2_CID_GAIN), 100);
    EXPECT_EQ(device.SetControl(Control::Exposure, -5), VideoDevice::kOk);
    EXPECT_EQ(device.GetControl(Control::Exposure, &value), VideoDevice::kOk);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(device.SetControl(Control::WhiteBalance, 4004), VideoDevice::kOk);
    EXPECT_EQ(fakev4l2_control(V4L2_CID_WHITE_BALANCE_TEMPERATURE), 4000);
    EXPECT_EQ(device.SetControl(Control::WhiteBalance, 6499), VideoDevice::kOk);
    EXPECT_EQ(fakev4l2_control(V4L2_CID_WHITE_BALANCE_TEMPERATURE), 6500);

    // Automatic exposure: the device's own automatic mode it offers, and back to manual.
    EXPECT_EQ(device.SetControl(Control::AutoExposure, 0), VideoDevice::kOk);
    EXPECT_EQ(fakev4l2_control(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
    EXPECT_EQ(device.GetControl(Control::AutoExposure, &value), VideoDevice::kOk);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(device.SetControl(Control::AutoExposure, 1), VideoDevice::kOk);
    EXPECT_EQ(fakev4l2_control(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);
    EXPECT_EQ(device.GetControl(Control::AutoExposure, &value), VideoDevice::kOk);
    EXPECT_EQ(value, 1);

    // A device with only the relative exposure control.
    device.Close();
    fakev4l2_reset();
    fakev4l2_add_format(V4L2_PIX_FMT_GREY, 64, 16);
    fakev4l2_add_control(V4L2_CID_EXPOSURE, V4L2_CTRL_TYPE_INTEGER, 0, 500, 1, 100, 0);
    ASSERT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kOk);
    EXPECT_EQ(device.range(Control::Exposure).max, 500);
    EXPECT_EQ(device.SetControl(Control::Exposure, 321), VideoDevice::kOk);
    EXPECT_EQ(fakev4l2_control(V4L2_CID_EXPOSURE), 321);
}

TEST_F(VideoDeviceTest, DamagedFrames_FailAloneAndStreamingGoesOn)
{
    // Frames padded far past their end of image (as some cameras send them), a frame with Huffman tables of
    // its own followed by one that relies on the standard ones, and a cut or incomplete one among them.
    const int width = 64, height = 48;
    const auto jpeg = encodeJpeg(smoothRgb(width, height), width, height, TJSAMP_420);
    const auto optimised = encodeJpeg(smoothRgb(width, height), width, height, TJSAMP_420, 90, true);
    fakev4l2_add_format(V4L2_PIX_FMT_MJPEG, width, height);
    fakev4l2_set_frame_tail(20000);
    fakev4l2_set_gated(1);
    ASSERT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kOk);
    ASSERT_EQ(device.StartCapture(), VideoDevice::kOk);
    const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 3));
    const std::pair<std::vector<uint8_t>, int> stream[] = { { cut, VideoDevice::kFrameReadFailed },
        { jpeg, VideoDevice::kOk }, { optimised, VideoDevice::kOk }, { withoutSegments(jpeg, 0xC4), VideoDevice::kOk },
        { withoutSegments(jpeg, 0xDB), VideoDevice::kFrameReadFailed }, { withoutSegments(jpeg, 0xC4), VideoDevice::kOk } };
    for (size_t i = 0; i < std::size(stream); ++i) {
        fakev4l2_push_frame(stream[i].first.data(), stream[i].first.size());
        fakev4l2_release(1);
        ASSERT_EQ(grab(device, image), stream[i].second) << i;
        EXPECT_FALSE(device.gone());
        if (stream[i].second == VideoDevice::kOk) {
            EXPECT_TRUE(sameTopDown(image, decodeJpegTopDown(jpeg, width, height), size_t(width) * 3)) << i;
        }
    }
}

TEST_F(VideoDeviceTest, DequeueError_EndsStreaming_UntilReopened)
{
    startGrey(64, 16);
    pushFlat(64, 16, 1);
    ASSERT_EQ(grab(device, image), VideoDevice::kOk);
    fakev4l2_fail_dequeue(EIO);
    ASSERT_TRUE(waitFor([&] { return device.gone(); }));
    EXPECT_FALSE(device.IsFrameReady());
    EXPECT_EQ(device.GetImage(image), VideoDevice::kGone);
    int32_t value = 0;
    EXPECT_EQ(device.GetControl(Control::Gain, &value), VideoDevice::kGone);
    EXPECT_EQ(device.StopCapture(), VideoDevice::kOk);
    EXPECT_EQ(device.StartCapture(), VideoDevice::kGone);

    device.Close();
    ASSERT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kOk);
    ASSERT_EQ(device.StartCapture(), VideoDevice::kOk);
    pushFlat(64, 16, 2);
    ASSERT_EQ(grab(device, image), VideoDevice::kOk);
    EXPECT_EQ(image.rowTopDown(0)[0], 2);
}

TEST_F(VideoDeviceTest, Unplugged_MidStream_GoneWithoutHang_AndReplugWorks)
{
    fakev4l2_set_gated(1);
    startGrey(64, 16);
    pushFlat(64, 16, 1);
    fakev4l2_release(1);
    ASSERT_TRUE(fakev4l2_wait_dequeued(1, 5000));
    fakev4l2_vanish();
    ASSERT_TRUE(waitFor([&] { return device.gone(); }, 2000));
    EXPECT_EQ(device.GetImage(image), VideoDevice::kGone);
    EXPECT_EQ(device.SetControl(Control::Gain, 1), VideoDevice::kGone);
    const auto t0 = std::chrono::steady_clock::now();
    device.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kNoHandle);

    fakev4l2_replug();
    fakev4l2_set_gated(0);
    ASSERT_EQ(device.Open(FAKEV4L2_PATH), VideoDevice::kOk);
    EXPECT_FALSE(device.gone());
    ASSERT_EQ(device.StartCapture(), VideoDevice::kOk);
    pushFlat(64, 16, 9);
    ASSERT_EQ(grab(device, image), VideoDevice::kOk);
    EXPECT_EQ(image.rowTopDown(0)[0], 9);
}
