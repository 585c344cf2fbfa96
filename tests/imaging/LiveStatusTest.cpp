// The status line's format and the frame rate over 1-second intervals.
#include <gtest/gtest.h>

#include "imaging/LiveStatus.h"

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
