// The live picture's kernel chain as the settings select it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "imaging/FrameProcessor.h"

namespace {

void randomFill(DibImage& img, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < img.height(); ++y)
        for (int32_t x = 0; x < img.width() * img.bytesPerPixel(); ++x)
            img.rowBottomUp(y)[x] = uint8_t(rng());
}

}  // namespace

TEST(FrameProcessor, EverythingOffShowsTheRawFrameUnchanged)
{
    DibImage raw, color, before;
    ASSERT_TRUE(raw.Create(64, 48, 8));
    ASSERT_TRUE(color.Create(64, 48, 24));
    randomFill(raw, 1);
    ASSERT_TRUE(before.CreateLike(&raw));
    std::memcpy(before.bits(), raw.bits(), size_t(raw.byteSize()));
    FrameProcessor processor;
    ProcessSettings s;
    DibImage& shown = processor.Process(raw, color, s);
    EXPECT_EQ(&shown, &raw);
    EXPECT_EQ(std::memcmp(raw.bits(), before.bits(), size_t(raw.byteSize())), 0);
    s.rgbFlg = 1;  // the camera delivers colour: the colour image is shown
    EXPECT_EQ(&processor.Process(raw, color, s), &color);
}

TEST(FrameProcessor, BayerThenToneStepsInOrder)
{
    DibImage raw, color;
    ASSERT_TRUE(raw.Create(32, 24, 8));
    ASSERT_TRUE(color.Create(32, 24, 24));
    raw.Fill(nullptr, Rgb(100, 100, 100));
    FrameProcessor processor;
    ProcessSettings s;
    s.bayerFlg = 1;
    DibImage& shown = processor.Process(raw, color, s);
    ASSERT_EQ(&shown, &color);
    EXPECT_EQ(color.rowTopDown(10)[3 * 10], 100);  // a flat mosaic at gains 1.00 is flat grey
    // Binarising after the conversion: 100 is below a threshold of 128 everywhere inside the frame.
    s.binaryFlg = 1;
    s.binary = 50;
    processor.Process(raw, color, s);
    EXPECT_EQ(color.rowTopDown(10)[3 * 10 + 1], 255);
    s.binary = 128;
    processor.Process(raw, color, s);
    EXPECT_EQ(color.rowTopDown(10)[3 * 10 + 1], 0);
}

TEST(FrameProcessor, AbsurdGainsFromTheSettingsStayDefined)
{
    // A settings file may hold any number; the picture saturates instead of the conversion misbehaving.
    DibImage raw, color;
    ASSERT_TRUE(raw.Create(16, 16, 8));
    ASSERT_TRUE(color.Create(16, 16, 24));
    raw.Fill(nullptr, Rgb(100, 100, 100));
    FrameProcessor processor;
    ProcessSettings s;
    s.bayerFlg = 1;
    s.bayerR = 1e300;
    s.bayerB = -1e300;
    s.bayerG = std::nan("");
    processor.Process(raw, color, s);
    EXPECT_EQ(color.rowTopDown(8)[3 * 8 + 2], 255);  // red saturates
    EXPECT_EQ(color.rowTopDown(8)[3 * 8 + 0], 0);    // a negative gain gives black
    EXPECT_EQ(color.rowTopDown(8)[3 * 8 + 1], 100);  // green is never scaled
}

TEST(FrameProcessor, SharpeningReadsAnUntouchedCopy)
{
    DibImage raw, color, expected, copy;
    ASSERT_TRUE(raw.Create(40, 30, 8));
    ASSERT_TRUE(color.Create(40, 30, 24));
    randomFill(raw, 7);
    ASSERT_TRUE(expected.CreateLike(&raw));
    ASSERT_TRUE(copy.CreateLike(&raw));
    std::memcpy(expected.bits(), raw.bits(), size_t(raw.byteSize()));
    std::memcpy(copy.bits(), raw.bits(), size_t(raw.byteSize()));
    int32_t sharpness = 30;
    int32_t* p = &sharpness;
    expected.Apply(SharpenGray, copy, nullptr, 0, 0, &p, nullptr);

    FrameProcessor processor;
    ProcessSettings s;
    s.hls.SP = 30;
    processor.Process(raw, color, s);
    EXPECT_EQ(std::memcmp(raw.bits(), expected.bits(), size_t(raw.byteSize())), 0);
}

TEST(FrameProcessor, WhiteBalanceGainsAreClamped)
{
    // Mode 0: rows alternate G B / R G from the first pixel (bottom-up). Green 100, blue 50, red 200.
    DibImage raw;
    ASSERT_TRUE(raw.Create(16, 16, 8));
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            const int row = y & 1, col = x & 1;
            raw.rowBottomUp(y)[x] = uint8_t(row == col ? 100 : (row == 0 ? 50 : 200));
        }
    }
    const auto gains = FrameProcessor::MeasureWhiteBalance(raw, 0);
    EXPECT_DOUBLE_EQ(gains.g, 1.0);
    EXPECT_NEAR(gains.r, 0.5, 1e-9);
    EXPECT_NEAR(gains.b, 2.0, 1e-9);
    // A very dark blue site would ask for more than twice the gain: held at 2.0.
    for (int32_t y = 0; y < 16; y += 2)
        for (int32_t x = 1; x < 16; x += 2)
            raw.rowBottomUp(y)[x] = 10;
    EXPECT_DOUBLE_EQ(FrameProcessor::MeasureWhiteBalance(raw, 0).b, 2.0);
}
