// The encoder's colour conversion against extended-precision arithmetic, over every RGB triple.
#include <gtest/gtest.h>

#include <vector>

#include "files/JpegColor.h"

namespace {

// The conversion as our files were always made: double constants, sums in extended precision.
int referenceY(int r, int g, int b)
{
    return int((long double)0.587 * g + (long double)0.299 * r + (long double)0.114 * b - 128);
}
int referenceCb(int r, int g, int b)
{
    return int((long double)0.5 * b - ((long double)0.1687 * r + (long double)0.3313 * g));
}
int referenceCr(int r, int g, int b)
{
    return int((long double)0.5 * r - (long double)0.4187 * g - (long double)0.0813 * b);
}

}  // namespace

// Every triple, through the row functions the encoder uses (interleaved pixels, step 3) and the single
// pixel ones. Plain double arithmetic would disagree on thousands of Y values: the count proves the test
// can tell the two apart.
TEST(JpegColor, RowConversion_EqualsExtendedPrecision_AllRgbTriples)
{
    std::vector<uint8_t> row(256 * 3);
    int16_t y[256], cb[256], cr[256];
    int doubleDisagrees = 0;
    int mismatches = 0;
    for (int r = 0; r < 256; ++r) {
        for (int g = 0; g < 256; ++g) {
            for (int b = 0; b < 256; ++b) {
                row[3 * b] = uint8_t(b);
                row[3 * b + 1] = uint8_t(g);
                row[3 * b + 2] = uint8_t(r);
            }
            jpeg::ConvertRowY(&row[2], &row[1], &row[0], 3, 256, y);
            jpeg::ConvertRowChroma(&row[2], &row[1], &row[0], 3, 256, cb, cr);
            for (int b = 0; b < 256; ++b) {
                mismatches += y[b] != referenceY(r, g, b);
                mismatches += cb[b] != referenceCb(r, g, b);
                mismatches += cr[b] != referenceCr(r, g, b);
                doubleDisagrees += int(0.587 * g + 0.299 * r + 0.114 * b - 128) != y[b];
            }
        }
        ASSERT_EQ(mismatches, 0) << "red " << r;
    }
    EXPECT_GT(doubleDisagrees, 6000);
    EXPECT_LT(doubleDisagrees, 7000);
}

TEST(JpegColor, PixelConversion_PinnedValues)
{
    // Grey 129: 1 - tiny in extended precision truncates to 0 (double would round the sum to exactly 1).
    EXPECT_EQ(jpeg::ColorY(129, 129, 129), 0);
    EXPECT_EQ(int(0.587 * 129 + 0.299 * 129 + 0.114 * 129 - 128), 1);
    // Mid-grey is all zeros; black and white are the extremes.
    EXPECT_EQ(jpeg::ColorY(128, 128, 128), 0);
    EXPECT_EQ(jpeg::ColorCb(128, 128, 128), 0);
    EXPECT_EQ(jpeg::ColorCr(128, 128, 128), 0);
    EXPECT_EQ(jpeg::ColorY(0, 0, 0), -128);
    EXPECT_EQ(jpeg::ColorY(255, 255, 255), 126);
    EXPECT_EQ(jpeg::ColorCb(0, 0, 255), 127);
    EXPECT_EQ(jpeg::ColorCr(255, 0, 0), 127);
    EXPECT_EQ(jpeg::ColorCb(255, 255, 0), -127);
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 3) {
                ASSERT_EQ(jpeg::ColorY(uint8_t(r), uint8_t(g), uint8_t(b)), referenceY(r, g, b));
                ASSERT_EQ(jpeg::ColorCb(uint8_t(r), uint8_t(g), uint8_t(b)), referenceCb(r, g, b));
                ASSERT_EQ(jpeg::ColorCr(uint8_t(r), uint8_t(g), uint8_t(b)), referenceCr(r, g, b));
            }
}
