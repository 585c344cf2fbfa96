// The scale bar's placements, its lengths when the factors give none, and grabbing and dragging it.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "calib/ScaleBar.h"
#include "calib/ScaleDlgModel.h"

TEST(ScaleBar, FivePlacementsOnTheFullPicture)
{
    // 10 units at 0.05 per pixel: a 200-pixel bar, 50 pixels from the edges.
    const ::Size size { 10, 10 };
    EXPECT_EQ(scalePlacement(PlaceUpperLeft, size, 0.05, 0.05, 2048, 1536), (Point { 250, 250 }));
    EXPECT_EQ(scalePlacement(PlaceLowerLeft, size, 0.05, 0.05, 2048, 1536), (Point { 250, 1486 }));
    EXPECT_EQ(scalePlacement(PlaceUpperRight, size, 0.05, 0.05, 2048, 1536), (Point { 1998, 250 }));
    EXPECT_EQ(scalePlacement(PlaceLowerRight, size, 0.05, 0.05, 2048, 1536), (Point { 1998, 1486 }));
    EXPECT_EQ(scalePlacement(PlaceCenter, size, 0.05, 0.05, 2048, 1536), (Point { 1024, 768 }));
    // The X and Y sizes and factors count separately; the fraction of a pixel is cut off.
    EXPECT_EQ(scalePlacement(PlaceUpperLeft, { 3, 7 }, 0.5, 0.3, 2048, 1536), (Point { 56, 73 }));
    ScaleData defaults;
    EXPECT_EQ(defaults.Pos, (Point { 1998, 1486 }));
}

TEST(ScaleBar, FactorsWithoutFiniteLengthPlaceOnThePicture)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        ::Size size;
        double mppX, mppY;
    };
    // Uncalibrated (0), NaN, huge sizes, tiny and negative factors: the anchor stays on the picture.
    const Case cases[] = { { { 10, 10 }, 0.0, 0.0 }, { { 10, 10 }, nan, nan }, { { INT_MAX, INT_MAX }, 0.05, 0.05 },
        { { INT_MAX, INT_MAX }, 1e-300, 1e-300 }, { { INT_MIN, 10 }, 0.05, -0.05 }, { { 10, 10 }, inf, inf } };
    for (const Case& c : cases) {
        for (int32_t placement = PlaceUpperLeft; placement <= PlaceCenter; ++placement) {
            const Point p = scalePlacement(placement, c.size, c.mppX, c.mppY, 2048, 1536);
            EXPECT_GE(p.x, 0);
            EXPECT_LE(p.x, 2048);
            EXPECT_GE(p.y, 0);
            EXPECT_LE(p.y, 1536);
        }
    }
    // No length counts as none: the bar's far end sits at the margin.
    EXPECT_EQ(scalePlacement(PlaceUpperLeft, { 10, 10 }, 0.0, nan, 2048, 1536), (Point { 50, 50 }));

    EXPECT_FALSE(scaleBarPixels(10, 0.0));
    EXPECT_FALSE(scaleBarPixels(10, nan));
    EXPECT_EQ(scaleBarPixels(INT_MAX, 0.5), 2.0 * INT_MAX); // in double, no overflow
    ScaleData s;
    s.Visible = 1;
    s.mppX = 0.0;
    EXPECT_FALSE(scaleBarLengths(s));
    EXPECT_FALSE(BeginScaleDrag(s, 1990, 1486)); // nothing drawn, nothing to grab
    s.mppX = 0.05;
    s.Type = ScaleBarXY;
    s.mppY = nan;
    EXPECT_FALSE(scaleBarLengths(s));
    s.Type = ScaleBarX; // an X bar does not need the Y factor
    ASSERT_TRUE(scaleBarLengths(s));
    EXPECT_DOUBLE_EQ(scaleBarLengths(s)->horizontal, 200.0);
}

TEST(ScaleBar, GrabAndDragFollowThePointer)
{
    ScaleData s; // anchor (1998, 1486), 200 x 200 pixels
    s.Type = ScaleBarXY;
    EXPECT_FALSE(BeginScaleDrag(s, 1900, 1486)); // hidden
    s.Visible = 1;
    EXPECT_FALSE(BeginScaleDrag(s, 1900, 1492)); // 6 below the line
    EXPECT_FALSE(BeginScaleDrag(s, 1798, 1486)); // the far end itself is outside

    // The horizontal bar: the grab keeps x's offset; y follows the pointer.
    EXPECT_EQ(BeginScaleDrag(s, 1900.7, 1489), Qt::SizeAllCursor);
    EXPECT_EQ(s.scaleGrabX, -98);
    EXPECT_EQ(s.scaleGrabY, 0);
    EXPECT_TRUE(DragScale(s, 1000.2, 700.9));
    EXPECT_EQ(s.Pos, (Point { 1098, 700 }));
    EndScaleDrag(s);
    EXPECT_FALSE(DragScale(s, 0, 0));
    EXPECT_EQ(s.Pos, (Point { 1098, 700 }));

    // The vertical bar of an X-Y bar: x follows the pointer.
    EXPECT_EQ(BeginScaleDrag(s, 1101, 600), Qt::SizeAllCursor);
    EXPECT_EQ(s.scaleGrabX, 0);
    EXPECT_EQ(s.scaleGrabY, -100);
    DragScale(s, 500, 500);
    EXPECT_EQ(s.Pos, (Point { 500, 600 }));
    // A pointer far outside any picture still gives an anchor in int range.
    DragScale(s, 1e30, -1e30);
    EXPECT_EQ(s.Pos, (Point { INT_MAX, INT_MIN }));
}

TEST(ScaleDlgModel, CancelPutsBackOnlyWhatTheDialogEdits)
{
    ScaleData s;
    s.Visible = 1;
    ScaleDlgModel model;
    model.open(&s, 2048, 1536);
    model.setVisible(false);
    model.setType(ScaleBarXY);
    model.place(PlaceUpperLeft, { 20, 5 });
    EXPECT_EQ(s.Pos, (Point { 450, 150 }));
    EXPECT_EQ(s.Size.cx, 20);
    // Meanwhile another calibration is chosen: its unit and factors reach the bar.
    s.unit = UnitMm;
    s.mppX = 0.01;
    s.mppY = 0.02;
    model.cancel();
    EXPECT_EQ(model.data(), nullptr);
    EXPECT_EQ(s.Visible, 1);
    EXPECT_EQ(s.Type, ScaleBarX);
    EXPECT_EQ(s.Pos, (Point { 1998, 1486 }));
    EXPECT_EQ(s.Size.cx, 10);
    EXPECT_EQ(s.Size.cy, 10);
    EXPECT_EQ(s.unit, UnitMm);
    EXPECT_EQ(s.mppX, 0.01);
    EXPECT_EQ(s.mppY, 0.02);

    // OK keeps every change and takes the typed sizes.
    model.open(&s, 2048, 1536);
    model.setType(ScaleBarXY);
    model.ok({ 7, 8 });
    EXPECT_EQ(s.Type, ScaleBarXY);
    EXPECT_EQ(s.Size.cx, 7);
    EXPECT_EQ(s.Size.cy, 8);
}
