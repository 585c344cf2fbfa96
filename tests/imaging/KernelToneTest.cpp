// Gamma, contrast and binarisation against their formulas, in grey and colour, on sub-rectangles.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/KernelSupport.h"
#include "imaging/Kernels.h"
#include "imaging/KernelTestSupport.h"

using namespace kerneltest;

namespace {

uint8_t gammaOf(int32_t level, int i)
{
    double e = level > 100 ? 1 + (level - 100) * 0.1 : level * 0.01;
    e = std::min(std::max(e, 0.001), 99.999);
    const double lt = std::log10(255.0);
    const double m = lt + e * (std::log10(double(i)) - lt);
    if (m < 0)
        return 1;
    int o = 2;
    for (int j = 3; j <= 255; ++j) {
        if (std::log10(double(j - 2)) <= m && m <= std::log10(double(j)))
            return uint8_t(o);
        ++o;
    }
    return 255;
}

uint8_t contrastOf(int32_t c, int i)
{
    if (c >= 128)
        return 0;
    if (i < c)
        return 0;
    if (i > 255 - int64_t(c))
        return 255;
    return uint8_t(int(256.0 / ((128.0 - c) * 2) * (double(i) - c)));  // in double: c may be huge
}

// Applies kernel with an int parameter over the top-down rectangle r of a copy of img, in place, with and
// without the vector forms, and checks every byte: inside r mapped by f, outside unchanged.
template <class F>
void checkAtLevel(const DibImage& img, PixelKernel kernel, int32_t param, const Rect& r, F f, kernel::SimdLevel level)
{
    DibImage got;
    copyPixels(got, img);
    Arg<int32_t> arg(param);
    Rect rect = r;
    kernel::setSimdCap(level);
    const int32_t result = got.Apply(kernel, got, &rect, r.left, r.top, arg.user(), nullptr);
    kernel::setSimdCap(kernel::SimdLevel::Best);
    ASSERT_EQ(result, 1);
    const int bpp = img.bytesPerPixel();
    for (int32_t y = 0; y < img.height(); ++y)
        for (int32_t x = 0; x < img.width(); ++x) {
            const uint8_t* s = img.rowTopDown(y) + x * bpp;
            const uint8_t* d = got.rowTopDown(y) + x * bpp;
            uint8_t want[3] = {s[0], bpp == 3 ? s[1] : uint8_t(0), bpp == 3 ? s[2] : uint8_t(0)};
            if (r.contains(x, y))
                f(s, want);
            for (int c = 0; c < bpp; ++c)
                ASSERT_EQ(d[c], want[c]) << "param " << param << " at " << x << "," << y << " byte " << c
                                         << " level " << int(level);
        }
}

template <class F>
void checkInPlace(const DibImage& img, PixelKernel kernel, int32_t param, const Rect& r, F f)
{
    for (kernel::SimdLevel level : {kernel::SimdLevel::None, kernel::SimdLevel::Best})
        checkAtLevel(img, kernel, param, r, f, level);
}

const Rect kRects[] = {{0, 0, 47, 17}, {3, 1, 46, 16}, {5, 3, 6, 4}};

}  // namespace

TEST(KernelTone, Gamma_MatchesFormula_AllLevels)
{
    for (uint16_t bpp : {8, 24}) {
        DibImage img;
        makeRandom(img, 47, 17, bpp, bpp);
        for (int32_t level : {-5, 0, 1, 37, 99, 100, 101, 150, 300, 1100, 100000})
            for (const Rect& r : kRects)
                checkInPlace(img, bpp == 8 ? GammaGray : GammaRgb, level, r, [&](const uint8_t* s, uint8_t* w) {
                    for (int c = 0; c < bpp / 8; ++c)
                        w[c] = gammaOf(level, s[c]);
                });
    }
}

TEST(KernelTone, Gamma_Level100_MapsEndsInward)
{
    DibImage img;
    img.Create(2, 1, 8);
    img.bits()[0] = 0;
    img.bits()[1] = 255;
    Arg<int32_t> level(100);
    img.Apply(GammaGray, img, nullptr, 0, 0, level.user(), nullptr);
    EXPECT_EQ(img.bits()[0], 1);
    EXPECT_EQ(img.bits()[1], 254);
}

TEST(KernelTone, Contrast_MatchesFormula_AndKnownPoints)
{
    for (uint16_t bpp : {8, 24}) {
        DibImage img;
        makeRandom(img, 47, 17, bpp, 3 + bpp);
        for (int32_t c : {INT32_MIN, -2000000000, -128, -1, 0, 1, 64, 127, 128, 500, INT32_MAX})
            for (const Rect& r : kRects)
                checkInPlace(img, bpp == 8 ? ContrastGray : ContrastRgb, c, r, [&](const uint8_t* s, uint8_t* w) {
                    for (int k = 0; k < bpp / 8; ++k)
                        w[k] = contrastOf(c, s[k]);
                });
    }
    // Contrast 0 is the identity; 64 maps 63 and 64 to 0, 191 to 254 and 192 to 255.
    DibImage img;
    img.Create(256, 1, 8);
    for (int i = 0; i < 256; ++i)
        img.bits()[i] = uint8_t(i);
    Arg<int32_t> zero(0), c64(64);
    img.Apply(ContrastGray, img, nullptr, 0, 0, zero.user(), nullptr);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(img.bits()[i], i);
    img.Apply(ContrastGray, img, nullptr, 0, 0, c64.user(), nullptr);
    EXPECT_EQ(img.bits()[63], 0);
    EXPECT_EQ(img.bits()[64], 0);
    EXPECT_EQ(img.bits()[191], 254);
    EXPECT_EQ(img.bits()[192], 255);
}

TEST(KernelTone, Binarize_MatchesFormula_AtThresholdExtremes)
{
    for (uint16_t bpp : {8, 24}) {
        DibImage img;
        makeRandom(img, 47, 17, bpp, 9 + bpp);
        for (int32_t t : {-2000000000, -1, 0, 1, 127, 128, 129, 254, 255, 256, 2000000000})
            for (const Rect& r : kRects)
                checkInPlace(img, bpp == 8 ? BinarizeGray : BinarizeRgb, t, r, [&](const uint8_t* s, uint8_t* w) {
                    if (bpp == 8) {
                        w[0] = s[0] > t ? 255 : 0;
                    } else {
                        const bool white = 30 * int64_t(s[2]) + 59 * int64_t(s[1]) + 11 * int64_t(s[0]) >
                                           int64_t(t) * 100;
                        w[0] = w[1] = w[2] = white ? 255 : 0;
                    }
                });
    }
    // Grey threshold 128: 128 becomes black, 129 white.
    DibImage img;
    img.Create(2, 1, 8);
    img.bits()[0] = 128;
    img.bits()[1] = 129;
    Arg<int32_t> t(128);
    img.Apply(BinarizeGray, img, nullptr, 0, 0, t.user(), nullptr);
    EXPECT_EQ(img.bits()[0], 0);
    EXPECT_EQ(img.bits()[1], 255);
}
