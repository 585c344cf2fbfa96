// Focus: the sharpness meter's cost on a 2048 x 1536 colour frame and on its grey copy, over the whole
// picture (the view at fit) and over the part an x4 view shows.
#include <benchmark/benchmark.h>

#include "PhotoFrame.h"

#include "imaging/DibImage.h"
#include "imaging/FocusMeter.h"

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

} // namespace

BENCHMARK(BM_FocusScoreColourFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusScoreGreyFit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FocusScoreColourX4)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
