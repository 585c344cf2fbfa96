// The simulated camera: its side of the protocol, the frame layout, the picture's orientation and colour
// pattern, exposure by gain and shutter, frame pacing, noise and motion.
#include <cmath>
#include <cstring>
#include <numeric>

#include "CameraTestSupport.h"
#include "platform/DeviceIo.h"
#include "platform/simcam/SimMosaic.h"

using namespace camtest;

namespace {

const char* const kPath = "\\\\.\\VzmCapDev-0";

bool send(DeviceHandle handle, std::vector<uint8_t> head, uint32_t code = 0x222051, uint32_t pipe = 0)
{
    uint8_t block[64] = {};
    std::copy(head.begin(), head.end(), block);
    uint32_t returned = 0;
    return DeviceIo::control(handle, code, &pipe, 4, block, 64, &returned) && returned == 64;
}

bool readFrame(DeviceHandle handle, std::vector<uint8_t>& frame, uint32_t pipe = 2)
{
    uint32_t returned = 0;
    return DeviceIo::control(handle, 0x2220A9, &pipe, 4, frame.data(), uint32_t(frame.size()), &returned) &&
           returned == frame.size();
}

double mean(const std::vector<uint8_t>& v, size_t width, size_t row0, size_t row1, size_t col0, size_t col1,
            size_t rowStep = 1, size_t colStep = 1)
{
    double sum = 0;
    size_t n = 0;
    for (size_t r = row0; r < row1; r += rowStep)
        for (size_t c = col0; c < col1; c += colStep, ++n)
            sum += v[r * width + c];
    return n ? sum / double(n) : 0;
}

}  // namespace

TEST_F(CameraFixture, Protocol_FrameReadNeedsSizeRequestAndExactLength_RepliesFollowCommands)
{
    DeviceHandle handle = DeviceIo::open(kPath);
    ASSERT_NE(handle, nullptr);
    std::vector<uint8_t> frame(4096);
    EXPECT_FALSE(readFrame(handle, frame));  // no transfer size yet

    ASSERT_TRUE(send(handle, {9, 0x00, 0x10, 0x00, 0x00}));  // 4096 pixels
    EXPECT_EQ(sim->transferSize(), 4096u);
    EXPECT_FALSE(readFrame(handle, frame));  // no frame request
    ASSERT_TRUE(send(handle, {2}, 0x22204E, 0));
    EXPECT_FALSE(readFrame(handle, frame, 1));  // wrong pipe
    EXPECT_TRUE(readFrame(handle, frame));

    for (size_t size : {4095, 4097, 8192}) {
        std::vector<uint8_t> wrong(size);
        ASSERT_TRUE(send(handle, {2}, 0x22204E, 0));
        EXPECT_FALSE(readFrame(handle, wrong)) << size;
    }
    // 16-bit transfer: twice the bytes.
    ASSERT_TRUE(send(handle, {10, 1}));
    std::vector<uint8_t> wide(8192);
    ASSERT_TRUE(send(handle, {2}, 0x22204E, 0));
    EXPECT_TRUE(readFrame(handle, wide));
    ASSERT_TRUE(send(handle, {10, 0}));

    // Register read: the first reply echoes the command, the second holds the value, high byte first.
    uint8_t reply[64] = {};
    uint32_t replyPipe = 1, returned = 0;
    EXPECT_FALSE(DeviceIo::control(handle, 0x22204E, &replyPipe, 4, reply, 64, &returned));  // nothing pending
    ASSERT_TRUE(send(handle, {4, 98, 0x12, 0x34}));
    ASSERT_TRUE(send(handle, {12, 98}));
    ASSERT_TRUE(DeviceIo::control(handle, 0x22204E, &replyPipe, 4, reply, 64, &returned));
    EXPECT_EQ(reply[0], 12);
    EXPECT_EQ(reply[1], 98);
    ASSERT_TRUE(DeviceIo::control(handle, 0x22204E, &replyPipe, 4, reply, 64, &returned));
    EXPECT_EQ(reply[0], 0x12);
    EXPECT_EQ(reply[1], 0x34);
    EXPECT_FALSE(DeviceIo::control(handle, 0x22204E, &replyPipe, 4, reply, 64, &returned));

    // Malformed requests fail: short block, missing pipe.
    uint8_t block[63] = {4, 98, 0, 0};
    uint32_t commandPipe = 0;
    EXPECT_FALSE(DeviceIo::control(handle, 0x222051, &commandPipe, 4, block, 63, &returned));
    EXPECT_FALSE(DeviceIo::control(handle, 0x222051, nullptr, 0, block, 64, &returned));
    DeviceIo::close(handle);

    sim->setOpenFails(true);
    EXPECT_EQ(DeviceIo::open(kPath), nullptr);
}

TEST_F(CameraFixture, FrameLayout_WindowAtLineOffset_BlankingAndTailZero)
{
    sim->setNoise(false);
    CameraDevice camera;
    ASSERT_EQ(camera.SetWindow(0, 0, 2048, 1536, 1), 0);
    DeviceHandle handle = DeviceIo::open(kPath);
    std::vector<uint8_t> frame(size_t(camera.transferLength()), 0xEE);
    ASSERT_TRUE(send(handle, {2}, 0x22204E, 0));
    ASSERT_TRUE(readFrame(handle, frame));
    DeviceIo::close(handle);

    const size_t line = 1437, width = 1024, lines = 768;
    for (size_t k = 0; k < lines; ++k) {
        const uint8_t* p = &frame[k * line];
        ASSERT_TRUE(std::all_of(p, p + 396, [](uint8_t b) { return b == 0; })) << k;
        ASSERT_TRUE(std::all_of(p + 396 + width, p + line, [](uint8_t b) { return b == 0; })) << k;
        ASSERT_GE(*std::min_element(p + 396, p + 396 + width), SimMosaic::kBlackLevel) << k;
    }
    EXPECT_TRUE(std::all_of(frame.begin() + long(lines * line), frame.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(CameraFixture, Scene_UprightInBottomUpImageWithMirror_UpsideDownWithout)
{
    sim->setMotion(false);
    CameraDevice camera;
    const size_t w = 2048, h = 1536;
    // Memory row k of a bottom-up picture is shown as row h - 1 - k. The ruler (white) is near the top of
    // the chart, the ball's track (dark) near the bottom.
    auto shownMean = [&](const std::vector<uint8_t>& bottomUp, size_t top, size_t bottom) {
        return mean(bottomUp, w, h - bottom, h - top, 300, 1700);
    };
    camera.SetShutter(536);
    camera.SetMirror(1);
    auto mirrored = grab(camera);
    EXPECT_GT(shownMean(mirrored, 170, 185), 150);
    EXPECT_LT(shownMean(mirrored, 1360, 1370), 80);

    camera.SetMirror(0);
    auto plain = grab(camera);
    EXPECT_LT(shownMean(plain, h - 1370, h - 1360), 80);
    EXPECT_GT(shownMean(plain, h - 185, h - 170), 150);
}

TEST(SimMosaic, MirroredReadoutWithShift_SameRowsReversed_ColourPhaseKept)
{
    SensorReadout plain;
    SensorReadout mirrored = plain;
    mirrored.mirror = true;
    mirrored.mirrorShift = true;  // even height: the shift keeps line 0 a green-blue line
    FrameExposure exposure;
    exposure.noiseLevel = -1;
    exposure.motion = false;
    const size_t line = 2048 + 413, size = line * 1536 + 512;
    std::vector<uint8_t> a(size), b(size);
    SimMosaic first, second;
    first.prepare(plain);
    second.prepare(mirrored);
    first.render(a.data(), size, false, exposure);
    second.render(b.data(), size, false, exposure);

    for (int k = 0; k < 1535; ++k) {
        EXPECT_EQ(second.sensorRow(k) & 1, k & 1);
        ASSERT_EQ(std::memcmp(&b[size_t(k) * line + 396], &a[size_t(1534 - k) * line + 396], 2048), 0) << k;
    }
}

TEST_F(CameraFixture, Exposure_GainsAndShutterScaleTheSignal_ColourGainOnlyItsSites)
{
    sim->setNoise(false);
    sim->setMotion(false);
    CameraDevice camera;
    // A strip of plain grey card between the chart's elements; lines alternate green-blue, red-green.
    ASSERT_EQ(camera.SetWindow(200, 804, 1600, 50, 0), 0);
    const size_t w = 1600, h = 50;
    auto green = [&](const std::vector<uint8_t>& f) { return mean(f, w, 0, h, 0, w, 2, 2) - SimMosaic::kBlackLevel; };
    auto red = [&](const std::vector<uint8_t>& f) { return mean(f, w, 1, h, 0, w, 2, 2) - SimMosaic::kBlackLevel; };

    camera.SetShutter(536);
    auto base = grab(camera);
    EXPECT_GT(green(base), 100);
    EXPECT_LT(green(base), 160);
    EXPECT_LT(red(base), green(base));  // warm light: white balance has work to do

    camera.SetShutter(268);
    EXPECT_NEAR(green(grab(camera)) / green(base), 0.5, 0.02);
    camera.SetShutter(536);
    camera.SetGlobalGain(21);  // 1.5 times the default 14
    EXPECT_NEAR(green(grab(camera)) / green(base), 1.5, 0.02);
    camera.SetGlobalGain(14);
    camera.SetColorGain(CameraDevice::kRegRedGain, 28);
    auto redder = grab(camera);
    EXPECT_NEAR(red(redder) / red(base), 2.0, 0.03);
    EXPECT_NEAR(green(redder), green(base), 0.01);

    camera.SetGlobalGain(0);
    auto dark = grab(camera);
    EXPECT_TRUE(std::all_of(dark.begin(), dark.end(), [](uint8_t v) { return v == SimMosaic::kBlackLevel; }));
}

TEST_F(CameraFixture, Pacing_RealisticRates_LongExposureStretchesFrames)
{
    const double full = SimCamera::framePeriod(2048, 1536, 536, false);
    EXPECT_GE(1 / full, 10.0);
    EXPECT_LE(1 / full, 15.0);
    EXPECT_DOUBLE_EQ(SimCamera::framePeriod(2048, 1536, 536, true), 2 * full);
    EXPECT_LT(SimCamera::framePeriod(1024, 768, 536, false), full / 2);
    EXPECT_DOUBLE_EQ(SimCamera::framePeriod(2048, 1536, 16383, false), 16383 * 2461 / 48e6);

    // Paced delivery: three frames take at least two frame times.
    CameraDevice camera;
    ASSERT_EQ(camera.SetWindow(0, 0, 320, 240, 0), 0);
    camera.SetShutter(4800);
    const double period = sim->framePeriodSeconds();
    EXPECT_DOUBLE_EQ(period, 4800 * 733 / 48e6);
    sim->setPaced(true);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(camera.StartCapture(), 0);
    ASSERT_TRUE(waitFor([&] { return sim->framesDelivered() >= 3; }));
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2 * period);
    EXPECT_EQ(camera.StopCapture(), 0);
}

TEST_F(CameraFixture, Frames_NoiseAndMotionMakeThemLive_OffMakesThemRepeat)
{
    CameraDevice camera;
    auto differing = [](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, size_t w, size_t row0,
                        size_t row1) {
        size_t n = 0;
        for (size_t i = row0 * w; i < row1 * w; ++i)
            n += a[i] != b[i];
        return n;
    };
    const size_t w = 2048, h = 1536;
    sim->setNoise(false);
    sim->setMotion(false);
    EXPECT_EQ(differing(grab(camera), grab(camera), w, 0, h), 0u);

    // Motion alone changes only the lines of the ball's track (mirror off: line k is the chart's row k). The
    // ball's place follows the frames the camera delivered, and how many it delivers while a grab waits
    // depends on the machine's load: it may have travelled to the end of its track and back to near where it
    // was. So grab until it has moved clear (it moves on every frame but at the turn), within a generous count.
    sim->setMotion(true);
    auto a = grab(camera);
    std::vector<uint8_t> b;
    for (int i = 0; i < 200; ++i) {
        b = grab(camera);
        EXPECT_EQ(differing(a, b, w, 0, 1369), 0u);
        EXPECT_EQ(differing(a, b, w, 1451, h), 0u);
        if (differing(a, b, w, 1369, 1451) > 100u)
            break;
    }
    EXPECT_GT(differing(a, b, w, 1369, 1451), 100u);

    // Noise: every frame differs a little.
    sim->setMotion(false);
    sim->setNoise(true);
    auto c = grab(camera), d = grab(camera);
    EXPECT_GT(differing(c, d, w, 0, h), w * h / 4);
    double diff = 0;
    for (size_t i = 0; i < c.size(); ++i)
        diff += std::abs(int(c[i]) - int(d[i]));
    EXPECT_LT(diff / double(c.size()), 3.0);
}

// The focus knob: the chart's sharp band follows it (each side of the picture is sharp with the knob on its
// side and blurred with it on the other), and the chart square to the lens gives the very frame it gave before.
TEST_F(CameraFixture, Focus_TheSharpBandFollowsTheKnob_SquareAgainGivesTheSameFrame)
{
    CameraDevice camera;
    sim->setNoise(false);
    sim->setMotion(false);
    const size_t w = 2048;
    // Differences between neighbours of one colour site, over rows 100..1300 of a band of columns.
    auto detail = [w](const std::vector<uint8_t>& f, size_t col0, size_t col1) {
        double sum = 0;
        for (size_t r = 100; r < 1300; ++r)
            for (size_t c = col0; c + 2 < col1; ++c)
                sum += std::abs(int(f[r * w + c + 2]) - int(f[r * w + c]));
        return sum;
    };
    const auto square = grab(camera);
    sim->setFocus(0.2);
    const auto left = grab(camera);
    sim->setFocus(0.8);
    const auto right = grab(camera);
    EXPECT_GT(detail(left, 330, 490), 2 * detail(right, 330, 490));
    EXPECT_GT(detail(right, 1560, 1720), 2 * detail(left, 1560, 1720));
    EXPECT_NEAR(detail(square, 1560, 1720), detail(right, 1560, 1720), 0.2 * detail(square, 1560, 1720));
    sim->clearFocus();
    EXPECT_EQ(grab(camera), square);

    struct Setting {
        const char* text;
        bool taken;
    };
    for (const Setting& s : { Setting { "sweep", true }, Setting { "sweep:20", true }, Setting { "0.3", true },
             Setting { "sweep:0", false }, Setting { "sweep:", false }, Setting { "1.5", false },
             Setting { "0.3mm", false }, Setting { "", false } }) {
        sim->clearFocus();
        EXPECT_EQ(sim->applyFocusSetting(s.text), s.taken) << s.text;
        EXPECT_EQ(sim->focus().tilted, s.taken) << s.text;
    }
}
