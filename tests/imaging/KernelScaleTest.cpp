// ScaleGray and ScaleRgb against the sampling formula: row trunc(rh * i), column trunc(rw * j) with the
// steps rounded to single precision, rows counted from the bottom.
#include <gtest/gtest.h>

#include "imaging/Kernels.h"
#include "imaging/KernelTestSupport.h"

using namespace kerneltest;

namespace {

// Scales the whole of src into the whole of a new w x h image of dstBpp bits, the slow way.
void referenceScale(const DibImage& src, DibImage& out, int32_t w, int32_t h, uint16_t dstBpp)
{
    out.Create(w, h, dstBpp);
    const float rw = float(double(src.width()) / w), rh = float(double(src.height()) / h);
    const int channels = dstBpp / 8;
    for (int32_t i = 0; i < h; ++i)
        for (int32_t j = 0; j < w; ++j) {
            const int32_t sy = std::clamp(int32_t(rh * float(i)), 0, src.height() - 1);
            const int32_t sx = std::clamp(int32_t(rw * float(j)), 0, src.width() - 1);
            for (int c = 0; c < channels; ++c)
                at(out, j, i, c) = at(src, sx, sy, src.bytesPerPixel() >= channels ? c : 0);
        }
}

}  // namespace

TEST(KernelScale, WholeImage_MatchesFormula_DownAndUp)
{
    struct Case {
        int32_t sw, sh, dw, dh;
    } cases[] = {{2048, 1536, 800, 600}, {2048, 1536, 140, 105}, {37, 23, 101, 67}, {37, 23, 5, 3},
                 {1, 1, 9, 4},           {640, 480, 641, 479},   {33, 17, 33, 17}};
    for (const Case& c : cases)
        for (uint16_t srcBpp : {8, 24})
            for (uint16_t dstBpp : {8, 24}) {
                DibImage src, dst, want;
                makeRandom(src, c.sw, c.sh, srcBpp, uint32_t(c.sw * 31 + c.dw));
                dst.Create(c.dw, c.dh, dstBpp);
                ASSERT_EQ(dst.ApplyScaled(dstBpp == 24 ? ScaleRgb : ScaleGray, src, nullptr, nullptr, nullptr,
                                          nullptr),
                          1);
                referenceScale(src, want, c.dw, c.dh, dstBpp);
                EXPECT_TRUE(samePixels(dst, want))
                    << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh << ", " << srcBpp << " -> " << dstBpp;
            }
}

TEST(KernelScale, Rectangles_PlaceAndClipInTopDownCoordinates)
{
    // Source rectangle (10, 4)-(30, 14) of a 40 x 20 picture scaled 2x onto (5, 3)-(45, 23) of a 44 x 30
    // image: the right four columns fall outside and are skipped, the rest of the image is untouched.
    DibImage src, dst;
    makeRandom(src, 40, 20, 24, 3);
    dst.Create(44, 30, 24);
    dst.Fill(nullptr, Rgb(1, 2, 3));
    const Rect s{10, 4, 30, 14}, d{5, 3, 45, 23};
    ASSERT_EQ(dst.ApplyScaled(ScaleRgb, src, &s, &d, nullptr, nullptr), 1);
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 44; ++x) {
            const uint8_t* got = dst.rowTopDown(y) + x * 3;
            if (d.contains(x, y)) {
                const uint8_t* want = src.rowTopDown(s.top + (y - d.top) / 2) + (s.left + (x - d.left) / 2) * 3;
                ASSERT_TRUE(got[0] == want[0] && got[1] == want[1] && got[2] == want[2]) << x << "," << y;
            } else {
                ASSERT_TRUE(got[0] == 3 && got[1] == 2 && got[2] == 1) << x << "," << y;
            }
        }
}

TEST(KernelScale, EmptyOrOutsideDestination_WritesNothing)
{
    DibImage src, dst;
    makeRandom(src, 16, 16, 8, 5);
    dst.Create(8, 8, 8);
    dst.Fill(nullptr, Rgb(9, 9, 9));
    const Rect empty{2, 2, 2, 6}, outside{8, 0, 20, 8}, above{0, -10, 8, 0};
    EXPECT_EQ(dst.ApplyScaled(ScaleGray, src, nullptr, &empty, nullptr, nullptr), 1);
    EXPECT_EQ(dst.ApplyScaled(ScaleGray, src, nullptr, &outside, nullptr, nullptr), 1);
    EXPECT_EQ(dst.ApplyScaled(ScaleGray, src, nullptr, &above, nullptr, nullptr), 1);
    EXPECT_EQ(dst.Apply(CountZero, dst, nullptr, 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(dst.Apply(MeanLevel, dst, nullptr, 0, 0, nullptr, nullptr), 9);
}
