// A video camera for trying the viewer by hand on a machine without one: preloaded together with the
// emulated device library, it makes /dev/video9 a USB-style camera (MJPEG and YUYV at 1280 x 720, gain,
// exposure, brightness and automatic exposure) that repeats a colour test picture 30 times a second.
//   LD_PRELOAD="build/tests/camera/fakev4l2/libfakev4l2.so build/src/app/libnx_fakecam.so" build/src/app/nxviewer
// NX_FAKECAM_FORMAT=yuyv offers YUYV only.
#include <linux/videodev2.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fakev4l2/FakeV4l2.h"

namespace {

constexpr int kWidth = 1280, kHeight = 720;

// Red-green-blue, top row first: colour bars over the top third, a grey ramp, and rings on a dark ground.
std::vector<uint8_t> testPicture()
{
    static const uint8_t bars[8][3] = { { 235, 235, 235 }, { 235, 235, 16 }, { 16, 235, 235 }, { 16, 235, 16 },
        { 235, 16, 235 }, { 235, 16, 16 }, { 16, 16, 235 }, { 16, 16, 16 } };
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
            if (y < kHeight / 3) {
                std::memcpy(p, bars[x * 8 / kWidth], 3);
            } else if (y < kHeight / 2) {
                p[0] = p[1] = p[2] = uint8_t(x * 255 / (kWidth - 1));
            } else {
                const double r = std::hypot(x - kWidth / 2.0, y - kHeight * 0.75);
                const bool ring = std::fmod(r, 40.0) < 6.0;
                p[0] = ring ? 220 : 30;
                p[1] = ring ? 180 : 40;
                p[2] = ring ? 60 : 50;
            }
        }
    return rgb;
}

std::vector<uint8_t> toYuyv(const std::vector<uint8_t>& rgb)
{
    std::vector<uint8_t> out(size_t(kWidth) * kHeight * 2);
    for (size_t i = 0, o = 0; i < rgb.size(); i += 6, o += 4) {
        const auto luma = [](const uint8_t* p) { return uint8_t((66 * p[0] + 129 * p[1] + 25 * p[2] + 128) / 256 + 16); };
        const uint8_t* a = &rgb[i];
        out[o] = luma(a);
        out[o + 2] = luma(a + 3);
        out[o + 1] = uint8_t((-38 * a[0] - 74 * a[1] + 112 * a[2] + 128) / 256 + 128);
        out[o + 3] = uint8_t((112 * a[0] - 94 * a[1] - 18 * a[2] + 128) / 256 + 128);
    }
    return out;
}

std::vector<uint8_t> toJpeg(const std::vector<uint8_t>& rgb)
{
    tjhandle h = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(h, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &jpeg, &size, TJSAMP_422, 90, 0);
    std::vector<uint8_t> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(h);
    return out;
}

__attribute__((constructor)) void scriptCamera()
{
    const char* format = std::getenv("NX_FAKECAM_FORMAT");
    const bool yuyv = format && std::strcmp(format, "yuyv") == 0;
    const std::vector<uint8_t> rgb = testPicture();
    const std::vector<uint8_t> frame = yuyv ? toYuyv(rgb) : toJpeg(rgb);
    fakev4l2_reset();
    fakev4l2_add_format(yuyv ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_MJPEG, kWidth, kHeight);
    fakev4l2_add_control(V4L2_CID_GAIN, V4L2_CTRL_TYPE_INTEGER, 0, 255, 1, 32, 0);
    fakev4l2_add_control(V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, 3, 2047, 1, 250, 0);
    fakev4l2_add_control(V4L2_CID_BRIGHTNESS, V4L2_CTRL_TYPE_INTEGER, -64, 64, 1, 0, 0);
    fakev4l2_add_control(V4L2_CID_EXPOSURE_AUTO, V4L2_CTRL_TYPE_MENU, 0, 3, 1, 3, 0b1010); // manual and aperture priority, as UVC cameras offer
    fakev4l2_push_frame(frame.data(), frame.size());
    fakev4l2_repeat(33333);
}

} // namespace
