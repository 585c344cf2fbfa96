// BayerToRgb against the conversion written out from its formulas, pixel by pixel, with every phase case
// spelled out; every vector form is checked against it on the same processor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/KernelSupport.h"
#include "imaging/Kernels.h"
#include "imaging/KernelTestSupport.h"

using namespace kerneltest;

namespace {

// Converts the bottom-up rectangle r of raw into out at (x, y) (bottom-up), the slow way. A frame pixel
// (within two of an edge) is the converted pixel nearest to it; nothing to convert gives black.
void referenceBayer(const DibImage& raw, const Rect& r, DibImage& out, int32_t x, int32_t y, const BayerParams& p)
{
    const int64_t kR = int64_t(std::trunc(p.gainR * 1.28)), kB = int64_t(std::trunc(p.gainB * 1.28));
    auto colour = [](int64_t sum, int64_t k) -> uint8_t {
        const int64_t product = sum * k;
        return product > 524287 ? 255 : product < 0 ? 0 : uint8_t(product >> 11);
    };
    const int rowMode = (p.mode == 1 || p.mode == 3) ? 1 : 0;
    const int colMode = (p.mode == 2 || p.mode == 3) ? 1 : 0;
    for (int32_t y0 = 0; y0 < r.height(); ++y0)
        for (int32_t x0 = 0; x0 < r.width(); ++x0) {
            if (r.width() <= 4 || r.height() <= 4) {
                for (int c = 0; c < 3; ++c)
                    at(out, x + x0, y + y0, c) = 0;
                continue;
            }
            const int32_t i = std::clamp(y0, 2, r.height() - 3), j = std::clamp(x0, 2, r.width() - 3);
            auto P = [&](int dr, int dc) { return int64_t(at(raw, r.left + j + dc, r.top + i + dr)); };
            const int rp = rowMode ^ ((i - 2) & 1), cp = colMode ^ ((j - 2) & 1);
            int64_t red, blue, green;
            if (rp == 0 && cp == 0) {
                red = 9 * P(-1, 0) + 3 * P(-1, -2) + 3 * P(1, 0) + P(1, -2);
                blue = 9 * P(0, -1) + 3 * P(0, 1) + 3 * P(-2, -1) + P(-2, 1);
                green = P(0, 0) + P(-1, -1);
            } else if (rp == 1 && cp == 0) {
                red = 9 * P(0, 0) + 3 * P(0, -2) + 3 * P(-2, 0) + P(-2, -2);
                blue = 9 * P(-1, -1) + 3 * P(1, -1) + 3 * P(-1, 1) + P(1, 1);
                green = P(0, -1) + P(-1, 0);
            } else if (rp == 0 && cp == 1) {
                red = 9 * P(-1, -1) + 3 * P(1, -1) + 3 * P(-1, 1) + P(1, 1);
                blue = 9 * P(0, 0) + 3 * P(0, -2) + 3 * P(-2, 0) + P(-2, -2);
                green = P(0, -1) + P(-1, 0);
            } else {
                red = 9 * P(0, -1) + 3 * P(0, 1) + 3 * P(-2, -1) + P(-2, 1);
                blue = 9 * P(-1, 0) + 3 * P(-1, -2) + 3 * P(1, 0) + P(1, -2);
                green = P(0, 0) + P(-1, -1);
            }
            at(out, x + x0, y + y0, 0) = colour(blue, kB);
            at(out, x + x0, y + y0, 1) = uint8_t(green >> 1);
            at(out, x + x0, y + y0, 2) = colour(red, kR);
        }
}

const kernel::SimdLevel kLevels[] = {kernel::SimdLevel::None, kernel::SimdLevel::Ssse3, kernel::SimdLevel::Avx2};

struct SimdCapGuard {
    ~SimdCapGuard() { kernel::setSimdCap(kernel::SimdLevel::Best); }
};

}  // namespace

TEST(KernelBayer, Bayer_BitExact_RandomImages)
{
    // Odd and even sizes, widths around the 16- and 32-pixel blocks of the vector forms.
    // Four pixels or fewer across: black.
    const Size sizes[] = {{3, 9}, {9, 4}, {4, 4}, {5, 20}, {20, 5}, {5, 5}, {6, 7}, {19, 6}, {20, 9}, {21, 8}, {36, 11}, {37, 10}, {53, 5}, {100, 33}};
    const BayerParams gains[] = {{0, 100, 100, 100}, {0, 0, 100, 200}, {0, 200, 100, 0},  {0, 137, 77, 59},
                                 {0, -50, 0, 12799}, {0, 12800, 0, 1}, {0, 100000, 0, 99}, {0, 2000000000, 0, 3}};
    SimdCapGuard guard;
    for (const Size& s : sizes)
        for (int mode = 0; mode < 4; ++mode)
            for (const BayerParams& g : gains) {
                DibImage raw, want, got;
                makeRandom(raw, s.cx, s.cy, 8, uint32_t(s.cx * 100 + s.cy + mode));
                makeRandom(want, s.cx, s.cy, 24, 99);  // what an earlier frame left
                BayerParams params = g;
                params.mode = mode;
                referenceBayer(raw, {0, 0, s.cx, s.cy}, want, 0, 0, params);
                for (kernel::SimdLevel level : kLevels) {
                    kernel::setSimdCap(level);
                    makeRandom(got, s.cx, s.cy, 24, 99);
                    BayerParams* p = &params;
                    ASSERT_EQ(got.Apply(BayerToRgb, raw, nullptr, 0, 0, &p, nullptr), 1);
                    ASSERT_TRUE(samePixels(got, want)) << s.cx << "x" << s.cy << " mode " << mode << " gains "
                                                       << g.gainR << "/" << g.gainB << " level " << int(level);
                }
            }
}

TEST(KernelBayer, SubRectangleAtOddOffset_MatchesReference)
{
    // Source rectangle (3, 5)-(78, 40) top-down of a 91 x 47 raw picture, placed at (7, 1) of a 96 x 50
    // colour image: in kernel terms the bottom-up rectangle (3, 7)-(78, 42) lands at x 7, row 14.
    DibImage raw;
    makeRandom(raw, 91, 47, 8, 11);
    SimdCapGuard guard;
    for (int mode = 0; mode < 4; ++mode) {
        BayerParams params{mode, 150, 100, 80};
        DibImage want;
        makeRandom(want, 96, 50, 24, 5);
        referenceBayer(raw, {3, 47 - 40, 78, 47 - 5}, want, 7, 50 - (1 + 35), params);
        for (kernel::SimdLevel level : kLevels) {
            kernel::setSimdCap(level);
            DibImage got;
            makeRandom(got, 96, 50, 24, 5);
            const Rect r{3, 5, 78, 40};
            BayerParams* p = &params;
            ASSERT_EQ(got.Apply(BayerToRgb, raw, &r, 7, 1, &p, nullptr), 1);
            ASSERT_TRUE(samePixels(got, want)) << "mode " << mode << " level " << int(level);
        }
    }
}

TEST(KernelBayer, KnownPictures)
{
    BayerParams params{0, 100, 100, 100};
    BayerParams* p = &params;
    // A uniform raw value of 100 with gains 1.00 is grey 100, the two-pixel frame too: none of the image's
    // earlier 7 is left.
    DibImage raw, out;
    raw.Create(40, 9, 8);
    std::fill(raw.bits(), raw.bits() + raw.byteSize(), uint8_t(100));
    out.Create(40, 9, 24);
    out.Fill(nullptr, Rgb(7, 7, 7));
    ASSERT_EQ(out.Apply(BayerToRgb, raw, nullptr, 0, 0, &p, nullptr), 1);
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(at(out, x, y, c), 100) << x << "," << y;
        }
    // Red gain 2.00 (k = 256) on 255 saturates to 255 instead of wrapping.
    std::fill(raw.bits(), raw.bits() + raw.byteSize(), uint8_t(255));
    params.gainR = 200;
    ASSERT_EQ(out.Apply(BayerToRgb, raw, nullptr, 0, 0, &p, nullptr), 1);
    EXPECT_EQ(at(out, 20, 4, 2), 255);
    EXPECT_EQ(at(out, 20, 4, 1), 255);
    EXPECT_EQ(at(out, 20, 4, 0), 255);
}

TEST(KernelBayer, OddWidth_EveryRowKeepsTheSensorPattern)
{
    // A mosaic whose red sites hold 200, green 100, blue 50 (mode 1: the first pixel's row is a red row).
    // Every converted pixel must be red 200, green 100, blue 50, on every row, also when the processed
    // width is odd: the colour of a site depends on its position, not on the previous row's length.
    SimdCapGuard guard;
    for (int32_t width : {25, 26, 41}) {
        DibImage raw;
        raw.Create(width, 12, 8);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const int rp = 1 ^ (y & 1), cp = x & 1;
                at(raw, x, y) = rp == 1 && cp == 0 ? 200 : rp == 0 && cp == 1 ? 50 : 100;
            }
        for (kernel::SimdLevel level : kLevels) {
            kernel::setSimdCap(level);
            DibImage out;
            out.Create(width, 12, 24);
            BayerParams params{1, 100, 100, 100};
            BayerParams* p = &params;
            ASSERT_EQ(out.Apply(BayerToRgb, raw, nullptr, 0, 0, &p, nullptr), 1);
            for (int32_t y = 0; y < 12; ++y)
                for (int32_t x = 0; x < width; ++x)
                    ASSERT_TRUE(at(out, x, y, 2) == 200 && at(out, x, y, 1) == 100 && at(out, x, y, 0) == 50)
                        << "width " << width << " at " << x << "," << y;
        }
    }
}
