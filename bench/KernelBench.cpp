// Speed of the pixel kernels on a 2048 x 1536 frame, each beside OpenCV's nearest equivalent on the same
// input (when OpenCV is available), and the whole per-frame chain with everything off and everything on.
// After the runs a table gives ours / OpenCV in CPU time for every pair (below 1.0: ours is faster).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "imaging/DibImage.h"
#include "imaging/FrameProcessor.h"
#include "imaging/Histogram.h"
#include "imaging/KernelSupport.h"
#include "imaging/Kernels.h"

#if NX_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int32_t kW = 2048, kH = 1536;

// A camera-like scene: smooth gradients, hard-edged shapes and sensor noise, seen through the colour
// mosaic (mode 0: green at the first pixel, red on the next row).
const DibImage& rawFrame()
{
    static DibImage raw;
    if (raw.isEmpty()) {
        raw.Create(kW, kH, 8);
        std::mt19937 rng(1);
        std::normal_distribution<double> noise(0.0, 4.0);
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x) {
                double r = 40 + 150.0 * x / kW, g = 60 + 120.0 * y / kH, b = 200 - 150.0 * x / kW;
                if ((x / 160 + y / 120) % 3 == 0) {  // a checker of darker tiles
                    r *= 0.5;
                    g *= 0.6;
                }
                const double dx = x - 1100.0, dy = y - 700.0;
                if (dx * dx + dy * dy < 400.0 * 400.0) {  // a bright disc
                    r = 230;
                    g = 210;
                    b = 90;
                }
                const int rp = y & 1, cp = x & 1;
                const double v = (rp == 1 && cp == 0 ? r : rp == 0 && cp == 1 ? b : g) + noise(rng);
                raw.rowBottomUp(y)[x] = uint8_t(std::clamp(v, 0.0, 255.0));
            }
    }
    return raw;
}

const DibImage& colorFrame()
{
    static DibImage color;
    if (color.isEmpty()) {
        color.Create(kW, kH, 24);
        BayerParams params{0, 100, 100, 100};
        BayerParams* p = &params;
        color.Apply(BayerToRgb, rawFrame(), nullptr, 0, 0, &p, nullptr);
    }
    return color;
}

template <class T>
struct Arg {
    T value;
    T* ptr = &value;
    explicit Arg(T v) : value(v) {}
    void* user() { return &ptr; }
};

void copyInto(DibImage& dst, const DibImage& src)
{
    if (dst.isEmpty())
        dst.CreateLike(&src);
    std::copy(src.bits(), src.bits() + src.byteSize(), dst.bits());
}

// ---- ours -------------------------------------------------------------------------------------------

void Bayer_ours(benchmark::State& state)
{
    DibImage color;
    color.Create(kW, kH, 24);
    Arg<BayerParams> params({0, 120, 100, 90});
    for (auto _ : state)
        color.Apply(BayerToRgb, rawFrame(), nullptr, 0, 0, params.user(), nullptr);
}

template <PixelKernel K>
void inPlace(benchmark::State& state, int32_t param)
{
    DibImage img;
    copyInto(img, colorFrame());
    Arg<int32_t> arg(param);
    for (auto _ : state)
        img.Apply(K, img, nullptr, 0, 0, arg.user(), nullptr);
}
void Gamma_ours(benchmark::State& state) { inPlace<GammaRgb>(state, 150); }
void Contrast_ours(benchmark::State& state) { inPlace<ContrastRgb>(state, 30); }
void Binarize_ours(benchmark::State& state) { inPlace<BinarizeRgb>(state, 120); }

void Hls_ours(benchmark::State& state)
{
    DibImage img;
    copyInto(img, colorFrame());
    Arg<HlsData> hls({10, 5, 20, 0, 0});
    for (auto _ : state)
        img.Apply(AdjustHls, img, nullptr, 0, 0, hls.user(), nullptr);
}

void Sharpen_ours(benchmark::State& state)
{
    DibImage img, copy;
    copyInto(img, colorFrame());
    copyInto(copy, colorFrame());
    Arg<int32_t> sharpness(5);
    for (auto _ : state)
        img.Apply(SharpenRgb, copy, nullptr, 0, 0, sharpness.user(), nullptr);
}

void Scale_ours(benchmark::State& state)
{
    DibImage view;
    view.Create(800, 600, 24);
    for (auto _ : state)
        view.ApplyScaled(ScaleRgb, colorFrame(), nullptr, nullptr, nullptr, nullptr);
}

void Balance_ours(benchmark::State& state)
{
    DibImage raw;
    copyInto(raw, rawFrame());
    Arg<BalanceStats> stats({100, 100, 100, 0});
    for (auto _ : state)
        raw.Apply(MeasureBalance, raw, nullptr, 0, 0, stats.user(), nullptr);
}

// The live histogram's share of a frame while the Image Setting dialog shows it: the sampled pass the
// display loop makes over the processed colour frame (goal: 0.3 ms or less).
void Histogram_ours(benchmark::State& state)
{
    Histogram h;
    const int32_t step = HistogramStep(kW, kH);
    for (auto _ : state) {
        MeasureHistogram(colorFrame(), step, h);
        benchmark::DoNotOptimize(h.pixels);
    }
    state.counters["step"] = step;
}

// The kernel chain as the display loop ran it before: each kernel over the whole picture, sharpening
// from a fresh copy, then the fit-to-view scaling to 800 x 600.
void chain(benchmark::State& state, bool everything)
{
    DibImage raw, color, copy, view;
    copyInto(raw, rawFrame());
    color.Create(kW, kH, 24);
    Arg<BayerParams> bayer({0, 120, 100, 90});
    Arg<HlsData> hls({10, 5, 20, 30, 5});
    Arg<int32_t> gamma(150), contrast(30), sharpness(5), threshold(120);
    for (auto _ : state) {
        if (everything) {
            color.Apply(BayerToRgb, raw, nullptr, 0, 0, bayer.user(), nullptr);
            color.Apply(AdjustHls, color, nullptr, 0, 0, hls.user(), nullptr);
            color.Apply(GammaRgb, color, nullptr, 0, 0, gamma.user(), nullptr);
            color.Apply(ContrastRgb, color, nullptr, 0, 0, contrast.user(), nullptr);
            copy.CreateLike(&color);
            copy.Blit(color, nullptr, 0, 0);
            color.Apply(SharpenRgb, copy, nullptr, 0, 0, sharpness.user(), nullptr);
            copy.Destroy();
            color.Apply(BinarizeRgb, color, nullptr, 0, 0, threshold.user(), nullptr);
        }
        view.Create(800, 600, everything ? 24 : 8);
        view.ApplyScaled(everything ? ScaleRgb : ScaleGray, everything ? color : raw, nullptr, nullptr, nullptr,
                         nullptr);
        view.Destroy();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
void ChainAllOff_ours(benchmark::State& state) { chain(state, false); }
void ChainAllOnWhole_ours(benchmark::State& state) { chain(state, true); }

// The same chain as FrameProcessor runs it (one row pass, bands on its thread pool), then the fit. The
// bands count is the benchmark's argument; 0 = one per core. Measured in wall time, as the bands run on
// several threads.
void ChainAllOn(benchmark::State& state)
{
    DibImage raw, color, view;
    copyInto(raw, rawFrame());
    color.Create(kW, kH, 24);
    view.Create(800, 600, 24);
    FrameProcessor processor(int(state.range(0)));
    ProcessSettings s;
    s.bayerFlg = 1;
    s.bayerR = 1.2;
    s.bayerB = 0.9;
    s.hls = {10, 5, 20, 30, 5};
    s.gamma = 150;
    s.binaryFlg = 1;
    s.binary = 120;
    for (auto _ : state) {
        processor.Process(raw, color, s);
        view.ApplyScaled(ScaleRgb, color, nullptr, nullptr, nullptr, nullptr);
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bands"] = processor.Bands();
}

// The same kernels with the vector forms capped: what an older processor sees (sharpening's SSE2 form
// is the x86-64 baseline and always runs).
template <void (*Run)(benchmark::State&), kernel::SimdLevel Cap>
void capped(benchmark::State& state)
{
    kernel::setSimdCap(Cap);
    Run(state);
    kernel::setSimdCap(kernel::SimdLevel::Best);
}
constexpr kernel::SimdLevel kScalar = kernel::SimdLevel::None;

// ---- OpenCV on the same input, one thread ------------------------------------------------------------

#if NX_HAVE_OPENCV
cv::Mat wrap(const DibImage& img)
{
    return cv::Mat(img.height(), img.width(), img.bitsPerPixel() == 24 ? CV_8UC3 : CV_8UC1,
                   const_cast<uint8_t*>(img.bits()), size_t(img.stride()));
}

void Bayer_opencv(benchmark::State& state)
{
    cv::setNumThreads(1);
    cv::Mat raw = wrap(rawFrame()), bgr(kH, kW, CV_8UC3);
    for (auto _ : state)
        cv::cvtColor(raw, bgr, cv::COLOR_BayerBG2BGR);
}

void lut(benchmark::State& state)
{
    cv::setNumThreads(1);
    DibImage img;
    copyInto(img, colorFrame());
    cv::Mat m = wrap(img), table(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i)
        table.at<uint8_t>(i) = uint8_t(255 - i);
    for (auto _ : state)
        cv::LUT(m, table, m);
}
void Gamma_opencv(benchmark::State& state) { lut(state); }
void Contrast_opencv(benchmark::State& state) { lut(state); }

void Sharpen_opencv(benchmark::State& state)
{
    cv::setNumThreads(1);
    cv::Mat src = wrap(colorFrame()), blurred, out;
    for (auto _ : state) {
        cv::blur(src, blurred, cv::Size(4, 4));
        cv::addWeighted(src, 1.5, blurred, -0.5, 0.0, out);
    }
}

void Scale_opencv(benchmark::State& state)
{
    cv::setNumThreads(1);
    cv::Mat src = wrap(colorFrame()), dst(600, 800, CV_8UC3);
    for (auto _ : state)
        cv::resize(src, dst, cv::Size(800, 600), 0, 0, cv::INTER_NEAREST);
}

// Hue/lightness/saturation: to HLS, the three offsets added with saturation, back to blue-green-red.
void Hls_opencv(benchmark::State& state)
{
    cv::setNumThreads(1);
    DibImage img;
    copyInto(img, colorFrame());
    cv::Mat m = wrap(img), hls;
    for (auto _ : state) {
        cv::cvtColor(m, hls, cv::COLOR_BGR2HLS);
        cv::add(hls, cv::Scalar(10, 5, 20), hls);
        cv::cvtColor(hls, m, cv::COLOR_HLS2BGR);
    }
}

void Binarize_opencv(benchmark::State& state)
{
    cv::setNumThreads(1);
    DibImage img;
    copyInto(img, colorFrame());
    cv::Mat m = wrap(img), grey;
    for (auto _ : state) {
        cv::cvtColor(m, grey, cv::COLOR_BGR2GRAY);
        cv::threshold(grey, grey, 120, 255, cv::THRESH_BINARY);
        cv::cvtColor(grey, m, cv::COLOR_GRAY2BGR);
    }
}
#endif

// Prints the runs as usual, then ours / OpenCV for every name that has both.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_Times[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nCPU time, one thread each\n%-12s %12s %12s %8s\n", "kernel", "ours ms", "opencv ms", "ratio");
        for (const auto& [name, ours] : m_Times) {
            const size_t cut = name.rfind("_ours");
            if (cut == std::string::npos)
                continue;
            const auto theirs = m_Times.find(name.substr(0, cut) + "_opencv");
            if (theirs == m_Times.end())
                continue;
            std::printf("%-12s %12.3f %12.3f %8.2f\n", name.substr(0, cut).c_str(), ours, theirs->second,
                        ours / theirs->second);
        }
    }

private:
    std::map<std::string, double> m_Times;
};

}  // namespace

int main(int argc, char** argv)
{
    // Each kernel right beside its reference, so both see the same load on a shared machine.
    const std::pair<const char*, void (*)(benchmark::State&)> runs[] = {
        {"Bayer_ours", Bayer_ours},
#if NX_HAVE_OPENCV
        {"Bayer_opencv", Bayer_opencv},
#endif
        {"Gamma_ours", Gamma_ours},
#if NX_HAVE_OPENCV
        {"Gamma_opencv", Gamma_opencv},
#endif
        {"Contrast_ours", Contrast_ours},
#if NX_HAVE_OPENCV
        {"Contrast_opencv", Contrast_opencv},
#endif
        {"Sharpen_ours", Sharpen_ours},
#if NX_HAVE_OPENCV
        {"Sharpen_opencv", Sharpen_opencv},
#endif
        {"Scale_ours", Scale_ours},
#if NX_HAVE_OPENCV
        {"Scale_opencv", Scale_opencv},
#endif
        {"Binarize_ours", Binarize_ours},
#if NX_HAVE_OPENCV
        {"Binarize_opencv", Binarize_opencv},
#endif
        {"Hls_ours", Hls_ours},
#if NX_HAVE_OPENCV
        {"Hls_opencv", Hls_opencv},
#endif
        {"Bayer_ssse3", capped<Bayer_ours, kernel::SimdLevel::Ssse3>},
        {"Bayer_scalar", capped<Bayer_ours, kScalar>},
        {"Gamma_scalar", capped<Gamma_ours, kScalar>},
        {"Binarize_scalar", capped<Binarize_ours, kScalar>},
        {"Hls_avx2", capped<Hls_ours, kernel::SimdLevel::Avx2>},
        {"Hls_sse41", capped<Hls_ours, kernel::SimdLevel::Sse41>},
        {"Hls_scalar", capped<Hls_ours, kScalar>},
        {"Balance_ours", Balance_ours},
        {"Histogram_ours", Histogram_ours},
        {"ChainAllOff_ours", ChainAllOff_ours},
        {"ChainAllOnWhole_ours", ChainAllOnWhole_ours},
    };
    for (const auto& [name, fn] : runs)
        benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMillisecond);
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<int> bandCounts{1, 2};
    if (cores > 2)
        bandCounts.push_back(cores);
    for (int bands : bandCounts)
        benchmark::RegisterBenchmark("ChainAllOn_bands", ChainAllOn)
            ->Arg(bands)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    // What a processor without AVX-512, and one without AVX2, sees.
    using Run = void (*)(benchmark::State&);
    const std::pair<const char*, Run> capLevels[] = {
        {"ChainAllOn_avx2_bands", capped<ChainAllOn, kernel::SimdLevel::Avx2>},
        {"ChainAllOn_sse41_bands", capped<ChainAllOn, kernel::SimdLevel::Sse41>},
    };
    for (const auto& [name, fn] : capLevels)
        for (int bands : {1, 2})
            benchmark::RegisterBenchmark(name, fn)->Arg(bands)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
