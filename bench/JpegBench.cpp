// Speed of our JPEG encoder on a full camera frame (2048 x 1536), against libjpeg-turbo encoding the same
// picture with the same settings (baseline, 4:2:0, the Annex K tables unscaled = quality 50, standard
// Huffman tables, integer DCT) in the same process. The Ratio case reports ours / libjpeg-turbo.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

#include "files/JpegEncoder.h"
#include "imaging/DibImage.h"

#ifdef NX_HAVE_TURBOJPEG
#include <turbojpeg.h>
#endif

#include "PhotoFrame.h"

namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 1536;

const DibImage& picture()
{
    return bench::PhotoFrame();
}

// The same frame in grey (red = green = blue: a monochrome camera's picture saved in colour).
const DibImage& greyPicture()
{
    static const DibImage grey = [] {
        const DibImage& colour = bench::PhotoFrame();
        DibImage g;
        g.Create(colour.width(), colour.height(), 24);
        for (int y = 0; y < colour.height(); ++y) {
            const uint8_t* s = colour.rowTopDown(y);
            uint8_t* d = g.rowTopDown(y);
            for (int x = 0; x < colour.width(); ++x)
                d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = s[3 * x + 1];
        }
        return g;
    }();
    return grey;
}

int64_t encodeOurs(const DibImage& img)
{
    const uint8_t* top = img.rowTopDown(0);
    JpegEncoder encoder(JpegPlanes { top + 2, top + 1, top, 3, -ptrdiff_t(img.stride()) });
    encoder.SetParameters(img.width(), img.height());
    if (encoder.Encode() != 0)
        return 0;
    int64_t n = 0;
    encoder.TakeBuffer(&n);
    return n;
}

void BM_JpegOurs(benchmark::State& state)
{
    const DibImage& img = picture();
    int64_t bytes = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bytes = encodeOurs(img));
    state.counters["file_bytes"] = double(bytes);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_JpegOurs)->Unit(benchmark::kMillisecond);

#ifdef NX_HAVE_TURBOJPEG
// The reference encoder reuses its output buffer, as a program saving many frames would.
struct Turbo {
    tjhandle handle = tjInitCompress();
    unsigned char* buffer = tjAlloc(int(tjBufSize(kWidth, kHeight, TJSAMP_420)));
    ~Turbo()
    {
        tjFree(buffer);
        tjDestroy(handle);
    }
    unsigned long encode(const DibImage& img)
    {
        unsigned long size = tjBufSize(kWidth, kHeight, TJSAMP_420);
        tjCompress2(handle, img.bits(), img.width(), img.stride(), img.height(), TJPF_BGR, &buffer, &size, TJSAMP_420,
            50, TJFLAG_BOTTOMUP | TJFLAG_ACCURATEDCT | TJFLAG_NOREALLOC);
        return size;
    }
};

void BM_JpegLibjpegTurbo(benchmark::State& state)
{
    const DibImage& img = picture();
    Turbo turbo;
    unsigned long bytes = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(bytes = turbo.encode(img));
    state.counters["file_bytes"] = double(bytes);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_JpegLibjpegTurbo)->Unit(benchmark::kMillisecond);

// Both encoders in turn on the same picture (argument 0: colour, 1: grey); the time reported is ours.
void BM_JpegRatio(benchmark::State& state)
{
    const DibImage& img = state.range(0) ? greyPicture() : picture();
    state.SetLabel(state.range(0) ? "grey" : "colour");
    Turbo turbo;
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(encodeOurs(img));
        const auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(turbo.encode(img));
        const auto t2 = std::chrono::steady_clock::now();
        ours += std::chrono::duration<double>(t1 - t0).count();
        theirs += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = 1000 * ours / n;
    state.counters["turbo_ms"] = 1000 * theirs / n;
    state.counters["ratio"] = ours / theirs;
}
BENCHMARK(BM_JpegRatio)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
#endif

} // namespace

BENCHMARK_MAIN();
