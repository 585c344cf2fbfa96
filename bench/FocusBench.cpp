// Focus: the sharpness meter's cost on a 2048 x 1536 colour frame and on its grey copy, over the whole
// picture (the view at fit) and over the part an x4 view shows; focus peaking's cost on the colour frame
// composed into a 1280 x 960 view at fit, x1 (the dearest: every picture pixel in sight is searched), x4
// and x16 (the disc's rim in sight).
#include <benchmark/benchmark.h>

#include "PhotoFrame.h"

#include "imaging/DibImage.h"
#include "imaging/FocusMeter.h"
#include "imaging/FocusPeaking.h"
#include "imaging/ViewComposer.h"

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

BENCHMARK(BM_FocusScoreColourFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusScoreGreyFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusScoreColourX4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusPeakingFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusPeakingX1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusPeakingX4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusPeakingX16)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
