// Auto exposure: the factor from the five samples, the frame-interval rules and the gain and shutter steps.
#include <gtest/gtest.h>

#include "imaging/AutoExposure.h"
#include "imaging/DibImage.h"

TEST(AutoExposure, SamplesAreMeasuredWhereTheyLie)
{
    // A 200 x 100 frame, 30 everywhere but the centre sample's area (90..110, 45..55) at 220.
    DibImage raw;
    ASSERT_TRUE(raw.Create(200, 100, 8));
    raw.Fill(nullptr, Rgb(30, 30, 30));
    const auto rects = AutoExposure::SampleRects(200, 100);
    EXPECT_EQ(rects[0], (Rect{20, 10, 40, 20}));
    EXPECT_EQ(rects[1], (Rect{20, 80, 40, 90}));
    EXPECT_EQ(rects[2], (Rect{90, 45, 110, 55}));
    EXPECT_EQ(rects[3], (Rect{160, 10, 180, 20}));
    EXPECT_EQ(rects[4], (Rect{160, 80, 180, 90}));
    raw.Fill(&rects[2], Rgb(220, 220, 220));
    const Rect lowerRightHalf{160, 85, 180, 90};  // half the lower-right sample at 130: mean 80
    raw.Fill(&lowerRightHalf, Rgb(130, 130, 130));
    const auto means = AutoExposure::SampleMeans(raw);
    EXPECT_EQ(means[0], 30);
    EXPECT_EQ(means[1], 30);
    EXPECT_EQ(means[2], 220);
    EXPECT_EQ(means[3], 30);
    EXPECT_EQ(means[4], 80);
}

TEST(AutoExposure, ColourFramesAreMeasuredByLightnessNotBlue)
{
    // A colour camera's frame: yellow (no blue at all) everywhere, so bright, not black; the centre sample
    // pure blue, which is dark; half the lower-right sample white.
    DibImage raw;
    ASSERT_TRUE(raw.Create(200, 100, 24));
    raw.Fill(nullptr, Rgb(220, 220, 0));
    const auto rects = AutoExposure::SampleRects(200, 100);
    raw.Fill(&rects[2], Rgb(0, 0, 255));
    const Rect lowerRightHalf{160, 85, 180, 90};
    raw.Fill(&lowerRightHalf, Rgb(255, 255, 255));
    const int32_t yellow = (220 * 77 + 220 * 150) / 256, blue = 255 * 29 / 256;
    const auto means = AutoExposure::SampleMeans(raw);
    EXPECT_EQ(means[0], yellow);
    EXPECT_EQ(means[1], yellow);
    EXPECT_EQ(means[2], blue);
    EXPECT_EQ(means[3], yellow);
    EXPECT_EQ(means[4], (220 * 77 + 220 * 150 + 255 * 256) / 2 / 256);
    // Mostly bright samples: the exposure comes down, where the blue bytes alone would have raised it.
    EXPECT_LT(AutoExposure::FactorFromMeans(means), 1.0);
}

TEST(AutoExposure, FactorFromTheSamples)
{
    EXPECT_NEAR(AutoExposure::FactorFromMeans({201, 210, 255, 240, 230}), 0.25, 1e-9);
    EXPECT_DOUBLE_EQ(AutoExposure::FactorFromMeans({120, 120, 120, 120, 120}), 1.0);
    EXPECT_NEAR(AutoExposure::FactorFromMeans({40, 40, 40, 120, 120}), 1.3, 1e-9);
    // Band edges: 100 and 160 are inside, 161 and 99 are not, 50 is merely dim.
    EXPECT_NEAR(AutoExposure::FactorFromMeans({100, 160, 161, 99, 50}), 1.0 - 0.10 + 0.05 + 0.05, 1e-9);

    AutoExposure ae;
    EXPECT_FALSE(ae.Decide(1.0, 1000).adjust);  // first pass: no time has passed
    EXPECT_TRUE(ae.Decide(0.25, 1100).adjust);
}

TEST(AutoExposure, DarkFramesRaiseTheGainFromTwentyToTwentySix)
{
    AutoExposure ae;
    const double f = AutoExposure::FactorFromMeans({40, 40, 40, 120, 120});
    ae.Decide(1.0, 5000);
    const auto d = ae.Decide(f, 5100);  // 100 ms apart
    ASSERT_TRUE(d.adjust);
    EXPECT_EQ(AutoExposure::NextGain(20, d.factor), 26);
}

TEST(AutoExposure, FrameIntervalRules)
{
    AutoExposure ae;
    ae.Decide(1.0, 0);
    // 205 ms apart: f = 0.95 whatever the samples say, and it is applied.
    auto d = ae.Decide(1.0, 205);
    EXPECT_DOUBLE_EQ(d.factor, 0.95);
    EXPECT_TRUE(d.adjust);
    // 180 ms apart with dark samples: tempered to 1.05 and then held back.
    d = ae.Decide(1.5, 385);
    EXPECT_DOUBLE_EQ(d.factor, 1.05);
    EXPECT_FALSE(d.adjust);
    // 155 ms apart with dark samples: 1.05, applied.
    d = ae.Decide(1.5, 540);
    EXPECT_DOUBLE_EQ(d.factor, 1.05);
    EXPECT_TRUE(d.adjust);
    // 180 ms apart with bright samples: lowering stays allowed.
    d = ae.Decide(0.5, 720);
    EXPECT_DOUBLE_EQ(d.factor, 0.5);
    EXPECT_TRUE(d.adjust);
    // The millisecond tick wraps: 100 ms across the wrap is 100 ms.
    AutoExposure wrap;
    wrap.Decide(1.0, 0xFFFFFFF0u);
    d = wrap.Decide(1.3, 0x54u);
    EXPECT_DOUBLE_EQ(d.factor, 1.3);
    EXPECT_TRUE(d.adjust);
}

TEST(AutoExposure, GainAndShutterSteps)
{
    EXPECT_EQ(AutoExposure::NextGain(3, 1.3), 4);    // raising never leaves the gain below 4
    EXPECT_EQ(AutoExposure::NextGain(60, 1.25), 63);  // nor above 63
    EXPECT_EQ(AutoExposure::NextGain(3, 0.5), 1);     // lowering may go below 4
    EXPECT_EQ(AutoExposure::NextGain(63, 0.95), 59);
    EXPECT_EQ(AutoExposure::NextShutter(1, 0.5), 1);  // never 0
    EXPECT_EQ(AutoExposure::NextShutter(1000, 1.3), 1300);
    // Past the longest exposure the shutter stays there instead of wrapping to a short one.
    EXPECT_EQ(AutoExposure::NextShutter(13000, 1.3), 16383);
    EXPECT_EQ(AutoExposure::NextShutter(16383, 1.05), 16383);
}
