// AdjustHls against the integer hue/lightness/saturation formulas with plain divisions, over every
// 24-bit colour for typical offsets and over random pixels for extreme ones.
#include <gtest/gtest.h>

#include <algorithm>

#include "imaging/KernelSupport.h"
#include "imaging/Kernels.h"
#include "imaging/KernelTestSupport.h"

using namespace kerneltest;

namespace {

uint8_t clampByte(int64_t v)
{
    return uint8_t(std::clamp<int64_t>(v, 0, 255));
}

void referenceHls(const uint8_t* s, uint8_t* d, const HlsData& p)
{
    const int64_t B = s[0], G = s[1], R = s[2];
    const int64_t mx = std::max({R, G, B}), mn = std::min({R, G, B});
    int64_t L = (mx + mn) >> 1, S, H;
    if (mx == mn) {
        S = 0;
        H = 0;
    } else {
        const int64_t dd = mx - mn;
        S = L < 128 ? dd * 255 / (mx + mn) : dd * 255 / (510 - mx - mn);
        if (R == mx)
            H = ((G - B) * 64) / dd;
        else if (G == mx)
            H = ((B - R) * 64) / dd + 120;
        else
            H = ((R - G) * 64) / dd + 240;
        if (H < 0)
            H += 360;
        else if (H >= 360)
            H -= 360;
    }
    S += p.S;
    H += p.H;
    L += p.L;
    if (S <= 0) {
        d[0] = d[1] = d[2] = clampByte(L);
        return;
    }
    S = std::min<int64_t>(S, 255);
    const int64_t m2 = L < 128 ? (L * (S + 255)) >> 8 : S + L - ((S * L) >> 8);
    const int64_t m1 = 2 * L - m2;
    auto f = [&](int64_t h) -> uint8_t {
        if (h < 0)
            return clampByte(m1);
        if (h < 60)
            return clampByte(m1 + (((m2 - m1) * h) >> 6));
        if (h < 180)
            return clampByte(m2);
        if (h < 240)
            return clampByte(m1 + (((m2 - m1) * (240 - h)) >> 6));
        return clampByte(m1);
    };
    d[2] = f((H + 120) % 360);
    d[1] = f(H % 360);
    d[0] = f((H - 120) % 360);
}

// Runs the kernel in place on a copy of img, with the vector form allowed or not.
void checkImage(const DibImage& img, const HlsData& params, kernel::SimdLevel level)
{
    DibImage got;
    copyPixels(got, img);
    Arg<HlsData> arg(params);
    kernel::setSimdCap(level);
    const int32_t result = got.Apply(AdjustHls, got, nullptr, 0, 0, arg.user(), nullptr);
    kernel::setSimdCap(kernel::SimdLevel::Best);
    ASSERT_EQ(result, 1);
    for (int32_t y = 0; y < img.height(); ++y)
        for (int32_t x = 0; x < img.width(); ++x) {
            uint8_t want[3];
            referenceHls(img.rowBottomUp(y) + 3 * x, want, params);
            const uint8_t* d = got.rowBottomUp(y) + 3 * x;
            ASSERT_TRUE(d[0] == want[0] && d[1] == want[1] && d[2] == want[2])
                << "H " << params.H << " L " << params.L << " S " << params.S << " pixel " << x << "," << y
                << " level " << int(level);
        }
}

void checkImage(const DibImage& img, const HlsData& params)
{
    for (kernel::SimdLevel level :
         {kernel::SimdLevel::None, kernel::SimdLevel::Sse41, kernel::SimdLevel::Avx2, kernel::SimdLevel::Best})
        if (level == kernel::SimdLevel::None || kernel::useSimd(level))
            checkImage(img, params, level);
}

}  // namespace

TEST(KernelHls, EveryColour_MatchesFormula)
{
    // 4096 x 4096 pixels: each 24-bit colour exactly once.
    DibImage img;
    img.Create(4096, 4096, 24);
    for (int32_t y = 0; y < 4096; ++y)
        for (int32_t x = 0; x < 4096; ++x) {
            const uint32_t v = uint32_t(y) * 4096 + uint32_t(x);
            uint8_t* p = img.rowBottomUp(y) + 3 * x;
            p[0] = uint8_t(v);
            p[1] = uint8_t(v >> 8);
            p[2] = uint8_t(v >> 16);
        }
    checkImage(img, {17, -9, 25, 0, 0});
    checkImage(img, {-200, 40, -30, 0, 0});
}

TEST(KernelHls, ExtremeOffsets_MatchFormula)
{
    DibImage img;
    makeRandom(img, 61, 19, 24, 21);
    // Around the points where the vector forms reduce the offsets (hue +-720, lightness +-256, saturation
    // +-512) and at the ends of the int range.
    const HlsData cases[] = {{0, 0, 0, 0, 0},          {359, 0, 0, 0, 0},        {-360, 0, 0, 0, 0},
                             {-721, 300, 300, 0, 0},   {1000, -300, 255, 0, 0},  {0, 0, -255, 0, 0},
                             {720, 99999, 511, 0, 0},  {721, -100001, -513, 0, 0}, {-720, 1000, -256, 0, 0},
                             {-1081, -1000, 513, 0, 0}, {1079, 128, 1, 0, 0},     {-479, -128, -1, 0, 0},
                             {30, 255, 40, 0, 0},      {30, 256, 40, 0, 0},      {30, 257, 255, 0, 0},
                             {-30, -255, 40, 0, 0},    {-30, -256, 40, 0, 0},    {-30, -257, 255, 0, 0},
                             {2000000000, 2000000000, 2000000000, 0, 0},
                             {-2000000000, -2000000000, 2000000000, 0, 0},
                             {INT32_MAX, INT32_MIN, INT32_MIN, 0, 0},
                             {INT32_MIN, INT32_MAX, INT32_MAX, 0, 0}};
    for (const HlsData& p : cases)
        checkImage(img, p);
    // Lightness offsets across the range where the vector forms clamp the adjusted lightness to -1..256.
    for (int32_t l = -520; l <= 520; l += 13)
        checkImage(img, {l * 3, l, l / 2, 0, 0});
}

TEST(KernelHls, SubRectangleAtOddOffset_OnlyInsideChanges)
{
    // Top-down rectangle (3, 5)-(58, 18) of a 61 x 21 picture, in place.
    DibImage img, got;
    makeRandom(img, 61, 21, 24, 8);
    const HlsData params{40, 10, 30, 0, 0};
    for (kernel::SimdLevel level : {kernel::SimdLevel::None, kernel::SimdLevel::Best}) {
        copyPixels(got, img);
        Arg<HlsData> arg(params);
        const Rect r{3, 5, 58, 18};
        kernel::setSimdCap(level);
        got.Apply(AdjustHls, got, &r, r.left, r.top, arg.user(), nullptr);
        kernel::setSimdCap(kernel::SimdLevel::Best);
        for (int32_t y = 0; y < 21; ++y)
            for (int32_t x = 0; x < 61; ++x) {
                uint8_t want[3];
                const uint8_t* s = img.rowTopDown(y) + 3 * x;
                if (r.contains(x, y))
                    referenceHls(s, want, params);
                else
                    std::copy(s, s + 3, want);
                const uint8_t* d = got.rowTopDown(y) + 3 * x;
                ASSERT_TRUE(d[0] == want[0] && d[1] == want[1] && d[2] == want[2]) << x << "," << y;
            }
    }
}

TEST(KernelHls, ZeroOffsets_LeaveGreyUnchanged)
{
    DibImage img;
    img.Create(256, 1, 24);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            at(img, i, 0, c) = uint8_t(i);
    Arg<HlsData> none(HlsData{});
    img.Apply(AdjustHls, img, nullptr, 0, 0, none.user(), nullptr);
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(at(img, i, 0, 0) == i && at(img, i, 0, 1) == i && at(img, i, 0, 2) == i) << i;
}
