// The measuring formulas against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "measure/Geometry.h"

TEST(Geometry, WindowToImage_FitAndEveryZoom)
{
    // 2048 x 1536 fitted into a 512 x 384 view at (10, 20): four picture pixels per window pixel.
    ViewGeometry g{{10, 20, 522, 404}, 0, -99.0, -99.0, 2048, 1536};
    EXPECT_EQ(windowToImage(110, 120, g), (MeasurePoint{400.0, 400.0}));
    EXPECT_EQ(windowToImage(10.5, 20.25, g), (MeasurePoint{2.0, 1.0}));  // not rounded; offsets unused
    EXPECT_EQ(hitTolerance(g), 40.0);

    // Zoom indices 1..7 magnify 1, 2, 4, ... 64; offsets are subtracted after dividing.
    g.baiX = -100.0;
    g.baiY = -50.0;
    const double factors[] = {1, 1, 2, 4, 8, 16, 32, 64};
    for (int s = 1; s <= 7; ++s) {
        g.zoomIndex = s;
        EXPECT_EQ(ZoomFactor(s), factors[s]);
        const MeasurePoint p = windowToImage(10 + 128, 20 + 64, g);
        EXPECT_EQ(p.x, 128 / factors[s] + 100.0) << s;
        EXPECT_EQ(p.y, 64 / factors[s] + 50.0) << s;
        EXPECT_EQ(hitTolerance(g), 10.0 / factors[s]) << s;
    }
    // An index read from a damaged settings file does not read outside the table.
    EXPECT_EQ(ZoomFactor(8), 1.0);
    EXPECT_EQ(ZoomFactor(-3), 1.0);

    // A view with no size maps to 0 rather than to infinity.
    ViewGeometry empty{{5, 5, 5, 5}, 0, 0.0, 0.0, 640, 480};
    EXPECT_EQ(windowToImage(50, 50, empty), (MeasurePoint{0.0, 0.0}));
    EXPECT_EQ(hitTolerance(empty), 0.0);
}

TEST(Geometry, ViewScale_InvertsWindowToImage)
{
    // At x1 with no scroll a picture point lands on its own integer coordinates.
    const ViewGeometry x1{{0, 0, 640, 480}, 1, 0.0, 0.0, 640, 480};
    EXPECT_EQ(imageToView({12.9, 7.2}, viewScale(x1)), (Point{12, 7}));

    // At fit the scroll offsets do not count.
    const ViewGeometry fit{{10, 20, 522, 404}, 0, -30.0, -40.0, 2048, 1536};
    const ViewScale s = viewScale(fit);
    EXPECT_EQ(s.sx, 0.25);
    EXPECT_EQ(s.sy, 0.25);
    EXPECT_EQ(imageToView({400.0, 400.0}, s), (Point{100, 100}));

    // x8 scrolled: back and forth between window, picture and view.
    const ViewGeometry zoom{{10, 20, 522, 404}, 4, -30.0, -40.0, 2048, 1536};
    const MeasurePoint p = windowToImage(10 + 80, 20 + 16, zoom);
    EXPECT_EQ(p, (MeasurePoint{40.0, 42.0}));
    EXPECT_EQ(imageToView(p, viewScale(zoom)), (Point{80, 16}));
    // Truncation toward zero left of the view, and no overflow far away.
    EXPECT_EQ(imageToView({29.5, 39.5}, viewScale(zoom)), (Point{-4, -4}));
    EXPECT_EQ(truncateCoordinate(-2.7), -2);
    EXPECT_EQ(truncateCoordinate(1e300), 1 << 22);
    EXPECT_EQ(truncateCoordinate(std::nan("")), 0);
}

TEST(Geometry, Distance)
{
    EXPECT_EQ(distance({1.0, 2.0}, {4.0, 6.0}), 5.0);
    EXPECT_EQ(distance({-3.0, 0.0}, {0.0, -4.0}), 5.0);
    EXPECT_EQ(distance({7.5, 7.5}, {7.5, 7.5}), 0.0);
}

TEST(Geometry, CircleThrough_KnownCircles_CollinearFallback)
{
    MeasurePoint c;
    double r = -1.0;
    // Three points of the circle with centre (100.5, 200.25) and radius 50 (a 30-40-50 triangle).
    ASSERT_TRUE(circleThrough({150.5, 200.25}, {100.5, 250.25}, {70.5, 240.25}, c, r));
    EXPECT_NEAR(c.x, 100.5, 1e-9);
    EXPECT_NEAR(c.y, 200.25, 1e-9);
    EXPECT_NEAR(r, 50.0, 1e-9);
    // Order of the points does not matter.
    ASSERT_TRUE(circleThrough({70.5, 240.25}, {150.5, 200.25}, {100.5, 250.25}, c, r));
    EXPECT_NEAR(c.x, 100.5, 1e-9);
    EXPECT_NEAR(r, 50.0, 1e-9);

    // Collinear or coinciding points: centre (0, 0), radius the first point's distance from the origin.
    ASSERT_TRUE(circleThrough({30.0, 40.0}, {60.0, 80.0}, {90.0, 120.0}, c, r));
    EXPECT_EQ(c, (MeasurePoint{0.0, 0.0}));
    EXPECT_EQ(r, 50.0);
    ASSERT_TRUE(circleThrough({3.0, 4.0}, {3.0, 4.0}, {3.0, 4.0}, c, r));
    EXPECT_EQ(r, 5.0);
    ASSERT_TRUE(circleThrough({6.0, 8.0}, {6.0, 8.0}, {1.0, 1.0}, c, r));
    EXPECT_EQ(c, (MeasurePoint{0.0, 0.0}));
    EXPECT_EQ(r, 10.0);

    // Nearly collinear far out: when rounding leaves no positive square the radius is not written and
    // the centre is (0, 0); whichever way it goes, no NaN comes out.
    c = {5.0, 5.0};
    r = 7.0;
    const bool ok = circleThrough({1e8, 1e8}, {1e8 + 1.0, 1e8 + 1.0}, {1e8 + 2.0, 1e8 + 2.0 + 1e-7}, c, r);
    EXPECT_FALSE(std::isnan(r));
    if (!ok) {
        EXPECT_EQ(c, (MeasurePoint{0.0, 0.0}));
        EXPECT_EQ(r, 7.0);
    }
}

TEST(Geometry, LineThroughAndFoot_VerticalHorizontalAndSloped)
{
    // Vertical base line: marker slope, the line's x in the intercept, the foot straight across.
    Line line = lineThrough({5.0, 0.0}, {5.0, 10.0});
    EXPECT_EQ(line.slope, 9999.9);
    EXPECT_EQ(line.intercept, 5.0);
    EXPECT_EQ(footOfPerpendicular({20.0, 7.0}, line), (MeasurePoint{5.0, 7.0}));

    // Horizontal base line.
    line = lineThrough({0.0, 3.0}, {10.0, 3.0});
    EXPECT_EQ(line.slope, 9998.9);
    EXPECT_EQ(line.intercept, 3.0);
    EXPECT_EQ(footOfPerpendicular({4.0, 11.0}, line), (MeasurePoint{4.0, 3.0}));

    // y = x: the foot of (10, 0) is (5, 5).
    line = lineThrough({0.0, 0.0}, {10.0, 10.0});
    EXPECT_EQ(line.slope, 1.0);
    EXPECT_EQ(line.intercept, 0.0);
    MeasurePoint f = footOfPerpendicular({10.0, 0.0}, line);
    EXPECT_NEAR(f.x, 5.0, 1e-12);
    EXPECT_NEAR(f.y, 5.0, 1e-12);

    // y = -2x + 10 through (0, 10) and (5, 0): the foot of the origin is (4, 2).
    line = lineThrough({0.0, 10.0}, {5.0, 0.0});
    EXPECT_EQ(line.slope, -2.0);
    EXPECT_EQ(line.intercept, 10.0);
    f = footOfPerpendicular({0.0, 0.0}, line);
    EXPECT_NEAR(f.x, 4.0, 1e-12);
    EXPECT_NEAR(f.y, 2.0, 1e-12);
    // A point on the line is its own foot.
    f = footOfPerpendicular({2.0, 6.0}, line);
    EXPECT_NEAR(f.x, 2.0, 1e-12);
    EXPECT_NEAR(f.y, 6.0, 1e-12);
}

// Degrees are taken with 1/(2 pi) = 0.15915494327375637, a part in 10^9 above the exact value.
constexpr double kAngleTolerance = 1e-6;

TEST(Geometry, AngleAt_QuadrantsVerticalRaysAndFold)
{
    const MeasurePoint v{100.0, 100.0};
    // Directions counter-clockwise with y up; picture y grows down.
    const MeasurePoint right{110.0, 100.0}, upRight{110.0, 90.0}, up{100.0, 90.0}, upLeft{90.0, 90.0},
        left{90.0, 100.0}, downLeft{90.0, 110.0}, down{100.0, 110.0}, downRight{110.0, 110.0};

    EXPECT_NEAR(angleAt(right, v, upRight), 45.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(right, v, upLeft), 135.0, kAngleTolerance);     // +180 correction
    EXPECT_NEAR(angleAt(right, v, downLeft), 135.0, kAngleTolerance);   // 225, folded
    EXPECT_NEAR(angleAt(right, v, downRight), 45.0, kAngleTolerance);   // +360 correction: 315, folded
    EXPECT_NEAR(angleAt(right, v, left), 180.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(upRight, v, downLeft), 180.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(upLeft, v, downRight), 180.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(upRight, v, upLeft), 90.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(downLeft, v, downRight), 90.0, kAngleTolerance);
    EXPECT_EQ(angleAt(right, v, right), 0.0);

    // Vertical rays: up is 90 and down is 270.
    EXPECT_NEAR(angleAt(up, v, right), 90.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(up, v, upRight), 45.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(up, v, upLeft), 45.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(down, v, right), 90.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(down, v, downRight), 45.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(down, v, left), 90.0, kAngleTolerance);
    EXPECT_NEAR(angleAt(up, v, down), 180.0, kAngleTolerance);
    EXPECT_EQ(angleAt(up, v, up), 0.0);

    // A 30-degree ray (picture y down) against a 200-degree one: 170.
    const double r = 3.14159265358979323846 / 180.0;
    const MeasurePoint at30{v.x + 50 * std::cos(30 * r), v.y - 50 * std::sin(30 * r)};
    const MeasurePoint at200{v.x + 50 * std::cos(200 * r), v.y - 50 * std::sin(200 * r)};
    EXPECT_NEAR(angleAt(at30, v, at200), 170.0, kAngleTolerance);
}

TEST(Geometry, AngleAt_ArmOfNoLengthGivesZero)
{
    // A ray of no length has no direction: the angle is reported as 0, never as NaN.
    const MeasurePoint v{5.0, 5.0};
    EXPECT_EQ(angleAt(v, v, {9.0, 2.0}), 0.0);
    EXPECT_EQ(angleAt({9.0, 2.0}, v, v), 0.0);
    EXPECT_EQ(angleAt(v, v, v), 0.0);
    EXPECT_EQ(angleAt(v, v, {5.0, 9.0}), 0.0);  // the other arm vertical
}

TEST(Geometry, AngleAt_SymmetricAndWithin0To180)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-3, 3);  // small grid: many vertical and horizontal rays
    for (int i = 0; i < 5000; ++i) {
        const MeasurePoint p1{double(coord(rng)), double(coord(rng))};
        const MeasurePoint v{double(coord(rng)), double(coord(rng))};
        const MeasurePoint p3{double(coord(rng)), double(coord(rng))};
        const double a = angleAt(p1, v, p3);
        ASSERT_FALSE(std::isnan(a));
        ASSERT_GE(a, 0.0);
        ASSERT_LE(a, 180.0);
        ASSERT_EQ(a, angleAt(p3, v, p1));
        if (!(p1 == v) && !(p3 == v)) {
            // Against the angle from the cross and dot products.
            const double ux = p1.x - v.x, uy = p1.y - v.y, wx = p3.x - v.x, wy = p3.y - v.y;
            const double expected =
                std::fabs(std::atan2(ux * wy - uy * wx, ux * wx + uy * wy)) * 180.0 / 3.14159265358979323846;
            ASSERT_NEAR(a, expected, kAngleTolerance) << p1.x << "," << p1.y << " " << v.x << "," << v.y << " " << p3.x
                                           << "," << p3.y;
        }
    }
}
