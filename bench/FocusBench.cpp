// Focus: the sharpness meter's cost on a 2048 x 1536 colour frame and on its grey copy, over the whole
// picture (the view at fit) and over the part an x4 view shows; focus peaking's cost on the colour frame
// composed into a 1280 x 960 view at fit, x1 (the dearest: every picture pixel in sight is searched), x4
// and x16 (the disc's rim in sight).
// Focus stacking: stacks rendered from the simulated camera's chart, tilted so that each frame is sharp in a
// band that moves with focus, each frame shifted by up to 10 px and scaled by up to 2 %, with noise. Counters:
// PSNR of the fused picture against the chart in focus everywhere, PSNR of the per-pixel "sharpest frame wins"
// pick on the same aligned frames, the gain, the worst alignment error and the memory the fusion took.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <cstring>
#include <map>
#include <random>

#include "PhotoFrame.h"
#include "support/ResidentSet.h"

#include "imaging/DibImage.h"
#include "imaging/FocusMeter.h"
#include "imaging/FocusPeaking.h"
#include "imaging/ViewComposer.h"
#include "platform/simcam/SimChart.h"
#include "stack/FocusStack.h"
#include "stack/StackCollector.h"

namespace {

void measure(benchmark::State& state, const DibImage& picture, const Rect& part)
{
    double score = 0.0;
    for (auto _ : state) {
        score = FocusScore(picture, part);
        benchmark::DoNotOptimize(score);
    }
    state.counters["score"] = score;
}

const DibImage& greyFrame()
{
    static DibImage grey;
    if (grey.isEmpty()) {
        const DibImage& colour = bench::PhotoFrame();
        grey.Create(colour.width(), colour.height(), 8);
        grey.SetColorTable(0, nullptr, 0, 256);
        for (int y = 0; y < colour.height(); ++y)
            for (int x = 0; x < colour.width(); ++x)
                grey.rowTopDown(y)[x] = colour.rowTopDown(y)[3 * x + 1];
    }
    return grey;
}

void BM_FocusScoreColourFit(benchmark::State& s) { measure(s, bench::PhotoFrame(), { 0, 0, 2048, 1536 }); }
void BM_FocusScoreGreyFit(benchmark::State& s) { measure(s, greyFrame(), { 0, 0, 2048, 1536 }); }
void BM_FocusScoreColourX4(benchmark::State& s) { measure(s, bench::PhotoFrame(), { 800, 600, 1100, 825 }); }

// Peaking alone, on a view composed once: it adds this to every frame.
void peak(benchmark::State& state, int32_t zoomIndex, double baiX, double baiY)
{
    const DibImage& frame = bench::PhotoFrame();
    ViewGeometry g { { 0, 0, 1280, 960 }, zoomIndex, baiX, baiY, frame.width(), frame.height() };
    QImage view;
    ViewComposer().Compose(frame, g, view);
    FocusPeaking peaking;
    int edges = 0;
    for (auto _ : state) {
        edges = peaking.Tint(frame, g, view, Rgb(255, 0, 0));
        benchmark::DoNotOptimize(view.constBits());
    }
    state.counters["edges"] = edges;
    state.counters["step"] = peaking.step();
}

void BM_FocusPeakingFit(benchmark::State& s) { peak(s, 0, 0, 0); }
void BM_FocusPeakingX1(benchmark::State& s) { peak(s, 1, -700, -250); }
void BM_FocusPeakingX4(benchmark::State& s) { peak(s, 3, -1320, -540); }
void BM_FocusPeakingX16(benchmark::State& s) { peak(s, 5, -1440, -670); }

} // namespace

namespace {

constexpr double kLensSigma = 0.8;    // the blur of the chart in focus
constexpr double kBlurPerDepth = 10.0; // px of blur per unit of depth out of focus
constexpr int kMargin = 48;           // px at each border that some frames do not cover

struct RenderedStack {
    std::vector<DibImage> frames;
    std::vector<FrameAlignment> truth;
    cv::Mat sharp; // the chart in focus everywhere, top-down BGR, in the reference's geometry
};

cv::Mat topDown(const DibImage& image)
{
    cv::Mat m(image.height(), image.width(), CV_8UC3);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(m.ptr(y), image.rowTopDown(y), size_t(image.width()) * 3);
    return m;
}

// frames frames of the chart's centre part of width x height; depth is a plane rising to the right and down.
RenderedStack renderStack(int count, int width, int height)
{
    const SimChart& chart = SimChart::instance();
    cv::Mat base(height, width, CV_8UC3);
    const int left = (chart.width() - width) / 2, top = (chart.height() - height) / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = chart.pixel(left + x, top + y);
            base.at<cv::Vec3b>(y, x) = { p[2], p[1], p[0] };
        }
    const std::vector<double> sigmas { kLensSigma, 1.2, 1.8, 2.6, 3.6, 5.0, 7.0, 9.5, 12.5 };
    std::vector<cv::Mat> blurred;
    for (const double sigma : sigmas) {
        cv::Mat b;
        cv::GaussianBlur(base, b, cv::Size(), sigma);
        b.convertTo(b, CV_32FC3);
        blurred.push_back(b);
    }
    RenderedStack stack;
    blurred[0].convertTo(stack.sharp, CV_8UC3);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> shift(-10, 10), scale(0.98, 1.02);
    std::normal_distribution<float> noise(0.f, 2.f);
    for (int i = 0; i < count; ++i) {
        const double focus = -0.05 + 1.1 * i / std::max(1, count - 1);
        cv::Mat scene(height, width, CV_32FC3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double depth = 0.8 * x / width + 0.2 * y / height;
                const double sigma = std::hypot(kLensSigma, kBlurPerDepth * (depth - focus));
                size_t j = 0;
                while (j + 2 < sigmas.size() && sigmas[j + 1] < sigma)
                    ++j;
                const float t = float(std::clamp((sigma - sigmas[j]) / (sigmas[j + 1] - sigmas[j]), 0.0, 1.0));
                scene.at<cv::Vec3f>(y, x) =
                    blurred[j].at<cv::Vec3f>(y, x) * (1 - t) + blurred[j + 1].at<cv::Vec3f>(y, x) * t;
            }
        FrameAlignment a;
        if (i != count / 2)
            a = { shift(rng), shift(rng), scale(rng) };
        stack.truth.push_back(a);
        const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
        const cv::Matx23d forward(a.scale, 0, cx * (1 - a.scale) + a.dx, 0, a.scale, cy * (1 - a.scale) + a.dy);
        cv::Mat seen;
        cv::warpAffine(scene, seen, forward, scene.size(), cv::INTER_CUBIC, cv::BORDER_REFLECT);
        DibImage frame;
        frame.Create(width, height, 24);
        for (int y = 0; y < height; ++y) {
            uint8_t* row = frame.rowTopDown(y);
            const float* src = seen.ptr<float>(y);
            for (int x = 0; x < 3 * width; ++x)
                row[x] = cv::saturate_cast<uint8_t>(src[x] + noise(rng));
        }
        stack.frames.push_back(std::move(frame));
    }
    return stack;
}

// Rendered once per process and size.
const RenderedStack& renderedStack(int count, int width, int height)
{
    static std::map<int, RenderedStack> rendered;
    RenderedStack& stack = rendered[count * 100000 + width];
    if (stack.frames.empty())
        stack = renderStack(count, width, height);
    return stack;
}

double psnr(const cv::Mat& a, const cv::Mat& b)
{
    const cv::Rect inside(kMargin, kMargin, a.cols - 2 * kMargin, a.rows - 2 * kMargin);
    return cv::PSNR(a(inside), b(inside));
}

// The naive stack: each pixel from the aligned frame whose squared Laplacian of lightness, over 5 x 5, is largest.
cv::Mat sharpestFrameWins(const RenderedStack& stack, const std::vector<FrameAlignment>& found, int interpolation)
{
    cv::Mat pick, best;
    for (size_t i = 0; i < stack.frames.size(); ++i) {
        const FrameAlignment& a = found[i];
        const cv::Mat frame = topDown(stack.frames[i]);
        const double cx = (frame.cols - 1) / 2.0, cy = (frame.rows - 1) / 2.0;
        const cv::Matx23d inverse(a.scale, 0, cx * (1 - a.scale) + a.dx, 0, a.scale, cy * (1 - a.scale) + a.dy);
        cv::Mat aligned, grey, laplacian, activity;
        cv::warpAffine(frame, aligned, inverse, frame.size(), interpolation | cv::WARP_INVERSE_MAP,
            cv::BORDER_REPLICATE);
        cv::cvtColor(aligned, grey, cv::COLOR_BGR2GRAY);
        cv::Laplacian(grey, laplacian, CV_32F);
        cv::blur(laplacian.mul(laplacian), activity, cv::Size(5, 5));
        if (pick.empty()) {
            pick = aligned;
            best = activity;
            continue;
        }
        const cv::Mat more = activity > best;
        aligned.copyTo(pick, more);
        activity.copyTo(best, more);
    }
    return pick;
}

void stackCase(benchmark::State& state, int count, int width, int height)
{
    const RenderedStack& stack = renderedStack(count, width, height);
    DibImage fused;
    std::vector<FrameAlignment> found;
    int64_t before = 0, peak = 0, extra = 0;
    StackProgress progress;
    progress.alignments = &found;
    progress.report = [&](int, int) { peak = std::max(peak, livetest::residentBytes()); };
    for (auto _ : state) {
        fused.Destroy();
        before = livetest::residentBytes();
        peak = before;
        if (FuseFocusStack(stack.frames, fused, progress) != StackResult::Done) {
            state.SkipWithError("fusion failed");
            return;
        }
        extra = std::max(extra, peak - before);
    }
    double worst = 0.0;
    for (size_t i = 0; i < found.size(); ++i)
        for (const double x : { -0.45 * width, 0.45 * width })
            for (const double y : { -0.45 * height, 0.45 * height }) {
                const FrameAlignment &f = found[i], &t = stack.truth[i];
                worst = std::max(worst,
                    std::hypot(f.dx + (f.scale - t.scale) * x - t.dx, f.dy + (f.scale - t.scale) * y - t.dy));
            }
    const double ours = psnr(topDown(fused), stack.sharp);
    // The pick with the fusion's cubic interpolation and with bilinear (its ringing costs the pick on edges):
    // the gain is counted over the better of the two.
    const double naive = psnr(sharpestFrameWins(stack, found, cv::INTER_CUBIC), stack.sharp);
    const double naiveLinear = psnr(sharpestFrameWins(stack, found, cv::INTER_LINEAR), stack.sharp);
    state.counters["frames"] = count;
    state.counters["fused_psnr_db"] = ours;
    state.counters["pick_psnr_db"] = naive;
    state.counters["pick_linear_psnr_db"] = naiveLinear;
    state.counters["gain_db"] = ours - std::max(naive, naiveLinear);
    state.counters["worst_align_px"] = worst;
    state.counters["extra_mb"] = double(extra) / 1e6;
}

// How long a Cancel takes to act, set at a moment in the middle of a 30-frame fusion.
void BM_FocusStackCancel(benchmark::State& state)
{
    const RenderedStack& stack = renderedStack(30, 2048, 1536);
    double worst = 0.0;
    int delay = 0;
    for (auto _ : state) {
        std::atomic<bool> cancel { false };
        StackProgress progress;
        progress.cancel = &cancel;
        std::chrono::steady_clock::time_point asked;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300 + 137 * (delay++ % 10)));
            asked = std::chrono::steady_clock::now();
            cancel = true;
        });
        DibImage out;
        const StackResult result = FuseFocusStack(stack.frames, out, progress);
        const auto returned = std::chrono::steady_clock::now();
        canceller.join();
        if (result != StackResult::Cancelled || !out.isEmpty()) {
            state.SkipWithError("not cancelled");
            return;
        }
        worst = std::max(worst, std::chrono::duration<double, std::milli>(returned - asked).count());
    }
    state.counters["worst_cancel_ms"] = worst;
}

// The collector's cost per offered frame (a frame that adds nothing after the first: the usual case).
void BM_StackCollectorOffer(benchmark::State& state)
{
    StackCollector collector;
    collector.offer(bench::PhotoFrame());
    for (auto _ : state)
        benchmark::DoNotOptimize(collector.offer(bench::PhotoFrame()));
}

void BM_FocusStack30Full(benchmark::State& s) { stackCase(s, 30, 2048, 1536); }
void BM_FocusStack8Quarter(benchmark::State& s) { stackCase(s, 8, 1024, 768); }

} // namespace

BENCHMARK(BM_FocusScoreColourFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusScoreGreyFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusScoreColourX4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusPeakingFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusPeakingX1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusPeakingX4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusPeakingX16)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_FocusStack30Full)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FocusStack8Quarter)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FocusStackCancel)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StackCollectorOffer)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
