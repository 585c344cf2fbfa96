// The owner of the live settings: what a display pass copies, whole-pixel scroll offsets, and the white-balance
// result stored only while its request stands.
#include <gtest/gtest.h>

#include <cmath>

#include "live/LiveSettings.h"

TEST(LiveSettings, SnapshotCarriesOneChangeWholeAndTheViewInWholePixels)
{
    LiveSettings live;
    live.change([](ViewerSettings& s) {
        s.m_BayerFlg = 1;
        s.Gamma = 140;
        s.m_HLS.SP = 12;
        s.m_AutoIrisFlg = 1;
        s.m_AutoIrisMode = 1;
    });
    live.setView({ 10, 20, 810, 620 }, 3, -101.9, -51.2);
    const LiveSnapshot snap = live.snapshot();
    EXPECT_EQ(snap.process.bayerFlg, 1);
    EXPECT_EQ(snap.process.gamma, 140);
    EXPECT_EQ(snap.process.hls.SP, 12);
    EXPECT_EQ(snap.autoIrisMode, 1);
    EXPECT_EQ(snap.view.view, (Rect { 10, 20, 810, 620 }));
    EXPECT_EQ(snap.view.zoomIndex, 3);
    EXPECT_EQ(snap.view.baiX, -101); // truncated toward 0
    EXPECT_EQ(snap.view.baiY, -51);
    live.setScroll(-7.5, std::nan(""));
    EXPECT_EQ(live.view().baiX, -7);
    EXPECT_EQ(live.view().baiY, 0); // not a number: the origin
    EXPECT_EQ(live.values().m_Bai_X, -7); // the stored keys follow
}

TEST(LiveSettings, WhiteBalanceResultStoredOnlyWhileTheRequestStands)
{
    LiveSettings live;
    EXPECT_FALSE(live.completeWhiteBalance(1.5, 1.0, 0.5)); // nobody asked
    EXPECT_DOUBLE_EQ(live.values().m_BayerR, 1.0);

    live.change([](ViewerSettings& s) { s.m_WB_Flg = 1; });
    EXPECT_EQ(live.snapshot().whiteBalance, 1);
    live.change([](ViewerSettings& s) { s.m_WB_Flg = 0; }); // withdrawn while a pass measured
    EXPECT_FALSE(live.completeWhiteBalance(1.5, 1.0, 0.5));
    EXPECT_DOUBLE_EQ(live.values().m_BayerR, 1.0);

    live.change([](ViewerSettings& s) { s.m_WB_Flg = 1; });
    EXPECT_TRUE(live.completeWhiteBalance(1.5, 1.0, 0.5));
    const ViewerSettings v = live.values();
    EXPECT_DOUBLE_EQ(v.m_BayerR, 1.5);
    EXPECT_DOUBLE_EQ(v.m_BayerB, 0.5);
    EXPECT_EQ(v.m_WB_Flg, 0); // one-shot
}
