// The status line: its format, the frame rate over 1-second intervals, and the focus meter.
#include <gtest/gtest.h>

#include "imaging/DibImage.h"
#include "imaging/FocusMeter.h"
#include "imaging/LiveStatus.h"

#include <algorithm>
#include <cstdlib>

TEST(LiveStatus, FormatsTheStatusLine)
{
    EXPECT_EQ(FormatLiveStatus(45, 7, 12, 14.2857),
              "NX-QB740LE Version 1.510  Capture Time  45 GetImage Time   7  ShowImage Time  12  Frame per Second "
              "14.3");
    EXPECT_EQ(FormatLiveStatus(1234, 0, 0, 0.0),
              "NX-QB740LE Version 1.510  Capture Time 1234 GetImage Time   0  ShowImage Time   0  Frame per Second "
              "0.0");
}

TEST(LiveStatus, RateIsRenewedAfterMoreThanOneSecond)
{
    FrameRateMeter meter;
    // 10 frames 100 ms apart from t = 5000: at t = 6000 exactly one second has passed, not more.
    for (uint32_t t = 5000; t <= 6000; t += 100)
        meter.count(t);
    EXPECT_DOUBLE_EQ(meter.rate(), 0.0);
    meter.count(6050);  // 12 frames counted over 1050 ms
    EXPECT_NEAR(meter.rate(), 12 * 1000.0 / 1050.0, 1e-9);
    // The next interval starts empty at 6050.
    for (uint32_t t = 6150; t <= 7150; t += 200)
        meter.count(t);
    EXPECT_NEAR(meter.rate(), 6 * 1000.0 / 1100.0, 1e-9);
}

// The focus score: a sharp bar scores far above the same bar blurred, more blur scores less, and a grey
// picture scores as its colour copy does. The meter keeps the best until the view changes or a click asks.
TEST(FocusMeter, SharperScoresHigher_BestHeldUntilTheViewChanges)
{
    const auto bars = [](int blur, uint16_t bits) {
        DibImage p;
        p.Create(200, 120, bits);
        if (bits == 8)
            p.SetColorTable(0, nullptr, 0, 256);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x) {
                // Bars 20 pixels wide, their edges ramped over blur pixels.
                const int phase = x % 40, d = std::min(std::abs(phase - 10), std::abs(phase - 30));
                const int v = blur == 0 ? (phase >= 10 && phase < 30 ? 200 : 50)
                                        : (phase >= 10 && phase < 30 ? 125 + std::min(75, 75 * d / blur)
                                                                     : 125 - std::min(75, 75 * d / blur));
                uint8_t* px = p.rowTopDown(y) + x * p.bytesPerPixel();
                for (int c = 0; c < p.bytesPerPixel(); ++c)
                    px[c] = uint8_t(v);
            }
        return p;
    };
    const Rect all { 0, 0, 200, 120 };
    double previous = 1e300;
    for (const int blur : { 0, 2, 4, 8 }) {
        const double score = FocusScore(bars(blur, 24), all);
        EXPECT_LT(score, previous) << "blur " << blur;
        EXPECT_DOUBLE_EQ(FocusScore(bars(blur, 8), all), score) << "grey, blur " << blur;
        previous = score;
    }
    EXPECT_GT(FocusScore(bars(0, 24), all), 3 * FocusScore(bars(8, 24), all));
    EXPECT_EQ(FocusScore(DibImage(), all), 0.0);
    EXPECT_EQ(FocusScore(bars(0, 24), { 500, 500, 600, 600 }), 0.0); // nothing of the picture

    ViewGeometry fit;
    fit.view = { 0, 0, 400, 300 };
    fit.imageWidth = 2048;
    fit.imageHeight = 1536;
    fit.zoomIndex = 0;
    EXPECT_EQ(VisiblePicturePart(fit), (Rect { 0, 0, 2048, 1536 }));
    ViewGeometry x4 = fit;
    x4.zoomIndex = 3;
    x4.baiX = -1000;
    x4.baiY = -1500;
    EXPECT_EQ(VisiblePicturePart(x4), (Rect { 1000, 1500, 1101, 1536 }));

    FocusMeter meter;
    EXPECT_TRUE(meter.text(false).isEmpty());
    meter.add(100, fit);
    meter.add(300, fit);
    meter.add(150, fit);
    EXPECT_EQ(meter.best(), 300);
    EXPECT_EQ(meter.text(false), QString::fromUtf8("focus 150 ▮▮▮▮▮▯▯▯▯▯ best 300"));
    meter.add(120, x4); // the view moved: a new best
    EXPECT_EQ(meter.best(), 120);
    meter.reset();
    meter.add(80, x4);
    EXPECT_EQ(meter.best(), 80);
}
