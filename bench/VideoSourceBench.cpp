// A video camera as the live view's source: frames per second and processor time per frame for YUYV
// 1280 x 720 and MJPEG 1920 x 1080 from the emulated device, unpaced (a frame is always waiting), decoded
// from the device's buffer and composed to a fitted 1280 x 960 view on this one thread, as the display
// loop does. "cpu_ms" is this thread's time in GetImage and Compose per frame; "capture_cpu_ms" what the
// rest of the process (the capture thread, the emulated device) spent per frame.
#include <QImage>

#include <benchmark/benchmark.h>
#include <linux/videodev2.h>

#include <cstdint>
#include <ctime>
#include <random>
#include <thread>
#include <vector>

#include "camera/VideoDevice.h"
#include "fakev4l2/FakeV4l2.h"
#include "imaging/DibImage.h"
#include "imaging/ViewComposer.h"
#include "platform/simcam/SimChart.h"
#include "VideoTestSupport.h"

namespace {

double cpuSeconds(clockid_t clock)
{
    timespec ts {};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The simulated camera's chart, with a little sensor noise so the JPEG carries what a camera's does.
std::vector<uint8_t> chartRgb(int width, int height)
{
    const SimChart& chart = SimChart::instance();
    std::mt19937 random(1);
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int v = chart.pixel(x, y)[c] + int(random() % 7) - 3;
                rgb[(size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(c)] = uint8_t(std::clamp(v, 0, 255));
            }
    return rgb;
}

std::vector<uint8_t> mjpegFrame(int width, int height)
{
    return videotest::encodeJpeg(chartRgb(width, height), width, height, TJSAMP_422, 85);
}

std::vector<uint8_t> yuyvFrame(int width, int height)
{
    const auto rgb = chartRgb(width, height);
    std::vector<uint8_t> yuyv(size_t(width) * size_t(height) * 2);
    for (size_t i = 0; i < size_t(width) * size_t(height); i += 2) {
        const uint8_t* p = &rgb[i * 3];
        auto luma = [](const uint8_t* q) { return uint8_t(16 + (66 * q[0] + 129 * q[1] + 25 * q[2] + 128) / 256); };
        yuyv[i * 2] = luma(p);
        yuyv[i * 2 + 1] = uint8_t(128 + (-38 * p[0] - 74 * p[1] + 112 * p[2]) / 256);
        yuyv[i * 2 + 2] = luma(p + 3);
        yuyv[i * 2 + 3] = uint8_t(128 + (112 * p[0] - 94 * p[1] - 18 * p[2]) / 256);
    }
    return yuyv;
}

void runSource(
    benchmark::State& state, uint32_t fourcc, int width, int height, const std::vector<uint8_t>& frame, bool compose)
{
    fakev4l2_reset();
    fakev4l2_add_format(fourcc, uint32_t(width), uint32_t(height));
    fakev4l2_push_frame(frame.data(), frame.size());
    fakev4l2_repeat(200); // a new frame 0.2 ms after the last: always one waiting
    VideoDevice device;
    if (device.Open(FAKEV4L2_PATH) != VideoDevice::kOk || device.StartCapture() != VideoDevice::kOk) {
        state.SkipWithError("the emulated device did not start");
        return;
    }
    DibImage picture;
    ViewComposer composer;
    QImage view;
    ViewGeometry geometry;
    geometry.view = Rect { 0, 0, 1280, 960 };
    geometry.zoomIndex = 0;
    geometry.imageWidth = width;
    geometry.imageHeight = height;

    double work = 0.0;
    int64_t frames = 0, failed = 0;
    const double process0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        while (!device.IsFrameReady())
            std::this_thread::yield();
        const double t0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        failed += device.GetImage(picture) != VideoDevice::kOk;
        if (compose)
            composer.Compose(picture, geometry, view);
        work += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0;
        ++frames;
    }
    const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["cpu_ms"] = 1000.0 * work / double(std::max<int64_t>(frames, 1));
    state.counters["capture_cpu_ms"] = 1000.0 * (process - work) / double(std::max<int64_t>(frames, 1));
    state.counters["frame_kb"] = double(frame.size()) / 1024.0;
    if (failed)
        state.SkipWithError("frames failed to decode");
}

// Argument 1: decode and fit display; 0: decode only.
void BM_Yuyv720p(benchmark::State& state)
{
    static const auto frame = yuyvFrame(1280, 720);
    runSource(state, V4L2_PIX_FMT_YUYV, 1280, 720, frame, state.range(0) != 0);
}
BENCHMARK(BM_Yuyv720p)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_Mjpeg1080p(benchmark::State& state)
{
    static const auto frame = mjpegFrame(1920, 1080);
    runSource(state, V4L2_PIX_FMT_MJPEG, 1920, 1080, frame, state.range(0) != 0);
}
BENCHMARK(BM_Mjpeg1080p)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
