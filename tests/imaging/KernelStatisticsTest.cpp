// MeanLevel and CountZero against plain loops, through Apply with sub-rectangles and both pixel sizes.
#include <gtest/gtest.h>

#include "imaging/Kernels.h"
#include "imaging/KernelTestSupport.h"

using namespace kerneltest;

namespace {

// Reference: the first byte of each pixel of the top-down rectangle r.
void reference(const DibImage& img, const Rect& r, uint64_t& sum, int32_t& zeros)
{
    sum = 0;
    zeros = 0;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) {
            const uint8_t v = img.rowTopDown(y)[x * img.bytesPerPixel()];
            sum += v;
            zeros += v == 0;
        }
}

}  // namespace

TEST(KernelStatistics, MeanAndZeros_MatchReference_OnSubRectangles)
{
    const Rect rects[] = {{0, 0, 37, 23}, {3, 5, 36, 22}, {1, 1, 2, 2}, {5, 7, 34, 8}, {17, 0, 37, 23}};
    for (uint16_t bpp : {8, 24}) {
        DibImage img;
        makeRandom(img, 37, 23, bpp, 7 + bpp);
        // Plenty of zeros: every value below 64 becomes 0.
        for (int64_t i = 0; i < img.byteSize(); ++i)
            if (img.bits()[i] < 64)
                img.bits()[i] = 0;
        for (const Rect& r : rects) {
            uint64_t sum;
            int32_t zeros;
            reference(img, r, sum, zeros);
            const int32_t count = r.width() * r.height();
            Rect copy = r;
            EXPECT_EQ(img.Apply(MeanLevel, img, &copy, r.left, r.top, nullptr, nullptr), int32_t(sum / count))
                << bpp << " bits, rect " << r.left << "," << r.top;
            EXPECT_EQ(img.Apply(CountZero, img, &copy, r.left, r.top, nullptr, nullptr), zeros)
                << bpp << " bits, rect " << r.left << "," << r.top;
        }
    }
}

TEST(KernelStatistics, EmptyRectangle_GivesZero)
{
    DibImage img;
    img.Create(8, 8, 8);
    img.Fill(nullptr, Rgb(200, 200, 200));
    const Rect r{2, 2, 2, 2};
    EXPECT_EQ(MeanLevel(img.bits(), img.bits(), &r, 2, 2, 1, 1, img.stride(), img.stride(), nullptr, nullptr), 0);
    EXPECT_EQ(CountZero(img.bits(), img.bits(), &r, 2, 2, 1, 1, img.stride(), img.stride(), nullptr, nullptr), 0);
}

TEST(KernelStatistics, FullFrame_NoOverflow)
{
    // A full white 2048 x 1536 frame: the sum exceeds what 16 bits per lane could hold many times over.
    DibImage img;
    img.Create(2048, 1536, 8);
    std::fill(img.bits(), img.bits() + img.byteSize(), uint8_t(255));
    EXPECT_EQ(img.Apply(MeanLevel, img, nullptr, 0, 0, nullptr, nullptr), 255);
    EXPECT_EQ(img.Apply(CountZero, img, nullptr, 0, 0, nullptr, nullptr), 0);
}
