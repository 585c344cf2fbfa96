// MeasureBalance on mosaics with known site means, in every mode and at odd widths.
#include <gtest/gtest.h>

#include "imaging/Kernels.h"
#include "imaging/KernelTestSupport.h"

using namespace kerneltest;

namespace {

// A mosaic for the mode (bit 0: row phase, bit 1: column phase of the bottom-left pixel) whose green
// sites hold g, blue sites b and red sites r.
void mosaic(DibImage& raw, int32_t w, int32_t h, int mode, uint8_t g, uint8_t b, uint8_t r)
{
    raw.Create(w, h, 8);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const int rp = (mode & 1) ^ (y & 1), cp = ((mode >> 1) & 1) ^ (x & 1);
            at(raw, x, y) = rp == 1 && cp == 0 ? r : rp == 0 && cp == 1 ? b : g;
        }
}

BalanceStats measure(const DibImage& raw, int mode)
{
    Arg<BalanceStats> stats(BalanceStats{0, 0, 0, mode});
    DibImage& img = const_cast<DibImage&>(raw);
    EXPECT_EQ(img.Apply(MeasureBalance, img, nullptr, 0, 0, stats.user(), nullptr), 1);
    return stats.value;
}

}  // namespace

TEST(KernelBalance, KnownSiteMeans_EveryModeAndOddWidths)
{
    // Green 100, blue 50, red 200: the blue sites need gain 2.00, the red ones 0.50.
    for (int mode = 0; mode < 4; ++mode)
        for (int32_t w : {2, 33, 64, 101}) {
            DibImage raw;
            mosaic(raw, w, 7, mode, 100, 50, 200);
            const BalanceStats s = measure(raw, mode);
            EXPECT_EQ(s.gainBlue, 200) << "mode " << mode << " width " << w;
            EXPECT_EQ(s.gainGreen, 100);
            EXPECT_EQ(s.gainRed, 50) << "mode " << mode << " width " << w;
        }
}

TEST(KernelBalance, Ratios_FollowTheStatedOrderOfOperations)
{
    // Random site means: the result is the truncated value of the stated double expression.
    std::mt19937 rng(5);
    for (int k = 0; k < 50; ++k) {
        const uint8_t g = uint8_t(1 + rng() % 255), b = uint8_t(1 + rng() % 255), r = uint8_t(1 + rng() % 255);
        DibImage raw;
        mosaic(raw, 38, 6, 2, g, b, r);
        const BalanceStats s = measure(raw, 2);
        const double gd = g, bd = b, rd = r, sum = bd + rd + gd;
        const double f = 1 / ((sum / gd) * 0.3333333333333333);
        EXPECT_EQ(s.gainBlue, int32_t(f * (sum / bd) * 0.3333333333333333 * 100));
        EXPECT_EQ(s.gainRed, int32_t(f * (sum / rd) * 0.3333333333333333 * 100));
    }
}

TEST(KernelBalance, BlackFrameOrMissingSites_StayDefined)
{
    // All black: no ratio exists, the gains stay at 1.00. No blue sites at all (one column, mode 0):
    // likewise. Blue sites black under a lit green: the blue gain is as large as an int allows.
    DibImage raw;
    mosaic(raw, 16, 8, 0, 0, 0, 0);
    BalanceStats s = measure(raw, 0);
    EXPECT_EQ(s.gainBlue, 100);
    EXPECT_EQ(s.gainRed, 100);
    mosaic(raw, 1, 8, 0, 90, 90, 90);
    s = measure(raw, 0);
    EXPECT_EQ(s.gainBlue, 100);
    EXPECT_EQ(s.gainRed, 100);
    mosaic(raw, 16, 8, 0, 90, 0, 45);
    s = measure(raw, 0);
    EXPECT_EQ(s.gainBlue, INT32_MAX);
    EXPECT_EQ(s.gainRed, 200);
}

TEST(KernelBalance, SubRectangle_PhasesStartAtItsFirstPixel)
{
    // A mode-0 mosaic of green 100, blue 50, red 200, measured over the top-down rectangle (3, 4)-(40, 15)
    // of a 45 x 20 picture: its bottom-left pixel sits at an odd column and odd bottom-up row (20 - 15),
    // where the pattern is in mode 3. Outside the rectangle every sample is 0, which would drag any
    // mean that strayed beyond it.
    DibImage raw;
    mosaic(raw, 45, 20, 0, 100, 50, 200);
    const Rect r{3, 4, 40, 15};
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 45; ++x)
            if (!r.contains(x, y))
                raw.rowTopDown(y)[x] = 0;
    Arg<BalanceStats> stats(BalanceStats{0, 0, 0, 3});
    Rect copy = r;
    ASSERT_EQ(raw.Apply(MeasureBalance, raw, &copy, r.left, r.top, stats.user(), nullptr), 1);
    EXPECT_EQ(stats.value.gainBlue, 200);
    EXPECT_EQ(stats.value.gainRed, 50);
}
