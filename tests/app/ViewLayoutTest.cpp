// Zoom, scroll and layout arithmetic of the view, on the figures a user would see.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/ViewLayout.h"

namespace {

// A 640 x 480 picture in a 1000 x 800 client area, view at (10, 8), both panels shown.
ViewLayout::Input sample(int zoomIndex)
{
    ViewLayout::Input in;
    in.clientWidth = 1000;
    in.clientHeight = 800;
    in.view = { 10, 8, 400, 300 };
    in.resultsList = { 775, 579, 964, 700 };
    in.strip = { 12, 557, 743, 702 };
    in.stripScroll = { 12, 681, 742, 700 };
    in.zoomIndex = zoomIndex;
    in.imageWidth = 640;
    in.imageHeight = 480;
    return in;
}

} // namespace

TEST(ViewLayout, Zoom_ViewCutToClientMinusReserves)
{
    const ViewLayout::Result x2 = ViewLayout::Relayout(sample(2));
    EXPECT_EQ(x2.view, (Rect { 10, 8, 10 + 772, 8 + 625 })); // 1280 cut to 1000 - 228; min(960, 800 - 175)
    EXPECT_EQ(x2.zoomIndex, 2);

    // x1 of a picture smaller than the room: the picture's own size.
    const ViewLayout::Result x1 = ViewLayout::Relayout(sample(1));
    EXPECT_EQ(x1.view, (Rect { 10, 8, 650, 488 }));

    // On a 200 % screen a picture pixel is a device pixel at x1: half the window pixels (an odd size rounded
    // up), and x2 covers the client area as x1 did; the scroll clamps in device pixels.
    ViewLayout::Input sharp = sample(1);
    sharp.devicePixelRatio = 2;
    sharp.imageWidth = 641;
    EXPECT_EQ(ViewLayout::Relayout(sharp).view, (Rect { 10, 8, 10 + 321, 8 + 240 }));
    sharp = sample(3);
    sharp.devicePixelRatio = 2;
    sharp.baiX = -500; // 772 * 2 / 4 - 640 = -254
    const ViewLayout::Result x4 = ViewLayout::Relayout(sharp);
    EXPECT_EQ(x4.view, x2.view);
    EXPECT_DOUBLE_EQ(x4.baiX, -254);
}

TEST(ViewLayout, Fit_KeepsAspectAndAddsTheFrameOffset)
{
    // g = 762, l = 617; g x 480 = 365760 < l x 640 = 394880, so l = trunc(762 x 480 / 640) = 571.
    const ViewLayout::Result fit = ViewLayout::Relayout(sample(0));
    EXPECT_EQ(fit.view.width(), 772);
    EXPECT_EQ(fit.view.height(), 579);

    // A tall picture: the width shrinks instead (l x W < g x H).
    ViewLayout::Input tall = sample(0);
    tall.imageWidth = 480;
    tall.imageHeight = 960;
    const ViewLayout::Result t = ViewLayout::Relayout(tall);
    EXPECT_EQ(t.view.height(), 617 + 8);
    EXPECT_EQ(t.view.width(), 617 * 480 / 960 + 10);

    // No picture yet: no aspect to keep, no division by zero.
    ViewLayout::Input none = sample(0);
    none.imageWidth = 0;
    none.imageHeight = 0;
    EXPECT_EQ(ViewLayout::Relayout(none).view.width(), 772);
}

TEST(ViewLayout, HiddenPanelAndStrip_UseTheSmallReserves)
{
    ViewLayout::Input in = sample(3); // x4: 2560 x 1920, larger than any room
    in.panelShown = false;
    in.stripShown = false;
    const ViewLayout::Result r = ViewLayout::Relayout(in);
    EXPECT_EQ(r.view.width(), 1000 - 24);
    EXPECT_EQ(r.view.height(), 800 - 20);
    EXPECT_EQ(r.strip.width(), 1000 - 24);
}

TEST(ViewLayout, ResultsListAndStrip_FollowTheEdges)
{
    const ViewLayout::Result r = ViewLayout::Relayout(sample(1));
    // List: right edge 12 from the client's right, top kept, bottom 12 above the client's bottom.
    EXPECT_EQ(r.resultsList, (Rect { 1000 - 12 - 189, 579, 1000 - 12, 800 - 12 }));
    // Strip and its scroll bar: bottom 12 above the client's bottom, left and height kept, width cw - d.
    EXPECT_EQ(r.strip, (Rect { 12, 800 - 12 - 145, 12 + 772, 800 - 12 }));
    EXPECT_EQ(r.stripScroll, (Rect { 12, 800 - 12 - 19, 12 + 772, 800 - 12 }));
}

TEST(ViewLayout, ScrollClamp_StaysWithinThePicture)
{
    ViewLayout::Input in = sample(2);
    in.baiX = -500; // 772 / 2 - 640 = -254 is as far as the view may go
    in.baiY = -100; // 625 / 2 - 480 = -168: -100 stays
    ViewLayout::Result r = ViewLayout::Relayout(in);
    EXPECT_DOUBLE_EQ(r.baiX, -254);
    EXPECT_DOUBLE_EQ(r.baiY, -100);

    in.baiX = 12.5; // never right of the origin
    in.baiY = 0;
    r = ViewLayout::Relayout(in);
    EXPECT_DOUBLE_EQ(r.baiX, 0);

    // Fit of a small picture: the view is larger than the picture, the offset still stays at 0.
    in = sample(0);
    in.baiX = -30;
    r = ViewLayout::Relayout(in);
    EXPECT_DOUBLE_EQ(r.baiX, 0);
    // Offsets are whole pixels (truncated toward 0), so every picture pixel shows as a whole f x f block.
    EXPECT_DOUBLE_EQ(ViewLayout::ClampScroll(-10.5, 100, 1, 640), -10);
    EXPECT_DOUBLE_EQ(ViewLayout::ClampScroll(-33.9, 750, 16, 2048), -33);
    EXPECT_DOUBLE_EQ(ViewLayout::ClampScroll(std::nan(""), 750, 16, 2048), 0);
}

TEST(ViewLayout, TinyWindow_GivesEmptyRectanglesNotNegativeOnes)
{
    for (int zoom : { 0, 1, 5 }) {
        ViewLayout::Input in = sample(zoom);
        in.clientWidth = 100;
        in.clientHeight = 90;
        in.baiX = -50;
        const ViewLayout::Result r = ViewLayout::Relayout(in);
        for (const Rect& rect : { r.view, r.resultsList, r.strip, r.stripScroll }) {
            EXPECT_GE(rect.width(), 0) << zoom;
            EXPECT_GE(rect.height(), 0) << zoom;
        }
        EXPECT_LE(r.baiX, 0.0);
    }
}
