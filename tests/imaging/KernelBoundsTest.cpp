// Every kernel, at every vector level, on pixel buffers of exactly the rectangle's size: rows without
// padding and no slack after the last row, so that a read or write outside the rectangle (a vector load
// running past the last row, say) lands outside the allocation, where AddressSanitizer reports it.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <utility>

#include "imaging/Kernels.h"
#include "imaging/KernelSupport.h"

namespace {

// A heap block of exactly w * h pixels of bpp bytes, rows packed, filled with noise.
struct Pixels {
    int32_t w, h, bpp;
    std::unique_ptr<uint8_t[]> data;
    Pixels(int32_t width, int32_t height, int32_t bytesPerPixel, uint32_t seed)
        : w(width)
        , h(height)
        , bpp(bytesPerPixel)
        , data(new uint8_t[size_t(width) * height * bytesPerPixel])
    {
        std::mt19937 rng(seed);
        for (size_t i = 0; i < size_t(w) * h * bpp; ++i)
            data[i] = uint8_t(rng());
    }
    int32_t stride() const { return w * bpp; }
};

int32_t run(PixelKernel kernel, Pixels& dst, const Pixels& src, void* user1)
{
    const Rect r { 0, 0, src.w, src.h };
    return kernel(dst.data.get(), src.data.get(), &r, 0, 0, uint16_t(dst.bpp), uint16_t(src.bpp), dst.stride(),
        src.stride(), user1, nullptr);
}

template <class T> struct Arg {
    T value;
    T* ptr = &value;
    explicit Arg(T v)
        : value(v)
    {
    }
    void* user() { return &ptr; }
};

const kernel::SimdLevel kLevels[]
    = { kernel::SimdLevel::None, kernel::SimdLevel::Ssse3, kernel::SimdLevel::Sse41, kernel::SimdLevel::Avx2,
          kernel::SimdLevel::Best };

} // namespace

TEST(KernelBounds, PixelKernels_StayInsideUnpaddedBuffers)
{
    // Widths around the vector forms' blocks (16 and 32 raw pixels, 8 colour pixels, 64 bytes), some of
    // them ending a block exactly at the row's end.
    const Size sizes[] = { { 5, 5 }, { 6, 6 }, { 11, 5 }, { 16, 5 }, { 20, 5 }, { 21, 6 }, { 36, 5 }, { 37, 5 },
        { 38, 7 }, { 40, 6 }, { 64, 5 }, { 67, 6 }, { 100, 5 } };
    for (kernel::SimdLevel level : kLevels) {
        kernel::setSimdCap(level);
        for (const Size& s : sizes) {
            const uint32_t seed = uint32_t(s.cx * 10 + s.cy);
            Pixels raw(s.cx, s.cy, 1, seed), grey(s.cx, s.cy, 1, seed + 1), colour(s.cx, s.cy, 3, seed + 2);
            Pixels greyCopy(s.cx, s.cy, 1, seed + 3), colourCopy(s.cx, s.cy, 3, seed + 4);
            for (int mode = 0; mode < 4; ++mode) {
                Arg<BayerParams> bayer({ mode, 100, 100, 100 });
                EXPECT_EQ(run(BayerToRgb, colour, raw, bayer.user()), 1);
                Arg<BalanceStats> balance({ 0, 0, 0, mode });
                EXPECT_EQ(run(MeasureBalance, raw, raw, balance.user()), 1);
            }
            Arg<HlsData> hls({ 30, -10, 20, 0, 0 });
            EXPECT_EQ(run(AdjustHls, colour, colour, hls.user()), 1);
            Arg<int32_t> gamma(150), contrast(30), sharpness(5), threshold(100);
            using Tone = std::pair<PixelKernel, Arg<int32_t>*>;
            for (auto [kernel, arg] :
                { Tone { GammaGray, &gamma }, Tone { ContrastGray, &contrast }, Tone { BinarizeGray, &threshold } })
                EXPECT_EQ(run(kernel, grey, grey, arg->user()), 1);
            for (auto [kernel, arg] :
                { Tone { GammaRgb, &gamma }, Tone { ContrastRgb, &contrast }, Tone { BinarizeRgb, &threshold } })
                EXPECT_EQ(run(kernel, colour, colour, arg->user()), 1);
            EXPECT_EQ(run(SharpenGray, grey, greyCopy, sharpness.user()), 1);
            EXPECT_EQ(run(SharpenRgb, colour, colourCopy, sharpness.user()), 1);
            for (Pixels* p : { &grey, &colour }) {
                EXPECT_GE(run(MeanLevel, *p, *p, nullptr), 0);
                EXPECT_GE(run(CountZero, *p, *p, nullptr), 0);
            }
        }
    }
    kernel::setSimdCap(kernel::SimdLevel::Best);
}

TEST(KernelBounds, ScaleKernels_StayInsideUnpaddedBuffers)
{
    // Up and down, every pixel-size pair: the colour copy may read a fourth byte only inside the row.
    const Size sizes[] = { { 1, 1 }, { 3, 2 }, { 7, 5 }, { 33, 9 }, { 64, 3 } };
    for (const Size& s : sizes)
        for (const Size& d : sizes)
            for (int32_t srcBpp : { 1, 3 })
                for (int32_t dstBpp : { 1, 3 }) {
                    const Pixels src(s.cx, s.cy, srcBpp, 1);
                    Pixels dst(d.cx, d.cy, dstBpp, 2);
                    const Rect sr { 0, 0, s.cx, s.cy }, dr { 0, 0, d.cx, d.cy };
                    const ScaleKernel kernel = dstBpp == 3 ? ScaleRgb : ScaleGray;
                    EXPECT_EQ(kernel(dst.data.get(), src.data.get(), &dr, &sr, d.cx, d.cy, s.cx, s.cy, uint16_t(dstBpp),
                                  uint16_t(srcBpp), dst.stride(), src.stride(), nullptr, nullptr),
                        1);
                }
}
