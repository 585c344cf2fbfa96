// DibImage on a full 2048 x 1536 24-bit frame: BMP writing and reading, and Apply with a copy kernel.
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "imaging/DibImage.h"

namespace {

constexpr int32_t kWidth = 2048;
constexpr int32_t kHeight = 1536;

void makeFrame(DibImage& img)
{
    img.Create(kWidth, kHeight, 24);
    std::mt19937 rng(1);
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = img.rowBottomUp(y);
        for (int32_t x = 0; x < kWidth * 3; ++x)
            row[x] = uint8_t((x / 3 + y) / 16 + (rng() & 7));
    }
}

int32_t copyKernel(uint8_t* dst, const uint8_t* src, const Rect* r, int32_t x, int32_t y, uint16_t dstBpp,
                   uint16_t srcBpp, int32_t dstStride, int32_t srcStride, void*, void*)
{
    const size_t bytes = size_t(r->right - r->left) * srcBpp;
    for (int32_t i = 0; i < r->bottom - r->top; ++i)
        std::memcpy(dst + ptrdiff_t(dstStride) * (y + i) + dstBpp * x,
                    src + ptrdiff_t(srcStride) * (r->top + i) + srcBpp * r->left, bytes);
    return 1;
}

void BM_SaveBmp(benchmark::State& state)
{
    DibImage img;
    makeFrame(img);
    QTemporaryDir dir;
    const QString path = dir.filePath("frame.bmp");
    for (auto _ : state)
        benchmark::DoNotOptimize(img.SaveBmp(path));
    state.SetBytesProcessed(state.iterations() * img.byteSize());
}

void BM_LoadBmpImage(benchmark::State& state)
{
    DibImage img;
    makeFrame(img);
    QTemporaryDir dir;
    const QString path = dir.filePath("frame.bmp");
    img.SaveBmp(path);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray file = f.readAll();
    for (auto _ : state) {
        DibImage loaded;
        benchmark::DoNotOptimize(
            loaded.LoadBmpImage(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size())));
    }
    state.SetBytesProcessed(state.iterations() * img.byteSize());
}

void BM_ApplyCopy(benchmark::State& state)
{
    DibImage src, dst;
    makeFrame(src);
    dst.Create(kWidth, kHeight, 24);
    for (auto _ : state)
        benchmark::DoNotOptimize(dst.Apply(copyKernel, src, nullptr, 0, 0, nullptr, nullptr));
    state.SetBytesProcessed(state.iterations() * src.byteSize());
}

}  // namespace

BENCHMARK(BM_SaveBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBmpImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyCopy)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
