// The encoder's colour conversion against extended-precision arithmetic, over every RGB triple.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "files/JpegColor.h"
#include "files/JpegReference.h"

using jpegtest::referenceCb;
using jpegtest::referenceCr;
using jpegtest::referenceY;

// Every triple, through the row functions the encoder uses: luminance of every pixel of interleaved
// blue-green-red rows, chrominance of every other pixel (the odd pixels hold other colours that must
// not leak in). Plain double arithmetic would disagree on thousands of Y values: the count proves the
// test can tell the two apart.
TEST(JpegColor, RowConversion_EqualsExtendedPrecision_AllRgbTriples)
{
    std::vector<uint8_t> row(512 * 3);
    int16_t y[512], cb[256], cr[256];
    int doubleDisagrees = 0;
    int mismatches = 0;
    for (int r = 0; r < 256; ++r) {
        for (int g = 0; g < 256; ++g) {
            for (int b = 0; b < 256; ++b) {
                const uint8_t even[3] = { uint8_t(b), uint8_t(g), uint8_t(r) };
                const uint8_t odd[3] = { uint8_t(255 - g), uint8_t(b), uint8_t(r ^ 0x5A) };
                std::copy_n(even, 3, &row[6 * b]);
                std::copy_n(odd, 3, &row[6 * b + 3]);
            }
            jpeg::ConvertRowY(&row[2], &row[1], &row[0], 3, 512, y);
            jpeg::ConvertRowChroma(&row[2], &row[1], &row[0], 6, 256, cb, cr);
            // One pass for both gives the same values (an odd count leaves a last pixel to the chroma).
            int16_t y2[511], cb2[256], cr2[256];
            jpeg::ConvertRowYChroma(&row[2], &row[1], &row[0], 3, 511, y2, cb2, cr2);
            mismatches
                += !std::equal(y2, y2 + 511, y) + !std::equal(cb2, cb2 + 256, cb) + !std::equal(cr2, cr2 + 256, cr);
            for (int i = 0; i < 512; ++i)
                mismatches += y[i] != referenceY(row[3 * i + 2], row[3 * i + 1], row[3 * i]);
            for (int b = 0; b < 256; ++b) {
                mismatches += cb[b] != referenceCb(r, g, b);
                mismatches += cr[b] != referenceCr(r, g, b);
                doubleDisagrees += int(0.587 * g + 0.299 * r + 0.114 * b - 128) != y[2 * b];
            }
        }
        ASSERT_EQ(mismatches, 0) << "red " << r;
    }
    EXPECT_GT(doubleDisagrees, 6000);
    EXPECT_LT(doubleDisagrees, 7000);

    // Packed planes (step 1) take the portable path: same values.
    const uint8_t reds[5] = { 129, 0, 255, 7, 200 }, greens[5] = { 129, 0, 255, 99, 13 },
                  blues[5] = { 129, 0, 0, 250, 77 };
    jpeg::ConvertRowY(reds, greens, blues, 1, 5, y);
    jpeg::ConvertRowChroma(reds, greens, blues, 1, 5, cb, cr);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(y[i], referenceY(reds[i], greens[i], blues[i]));
        EXPECT_EQ(cb[i], referenceCb(reds[i], greens[i], blues[i]));
        EXPECT_EQ(cr[i], referenceCr(reds[i], greens[i], blues[i]));
    }
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
