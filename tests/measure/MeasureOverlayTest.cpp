// The overlay: lines and markers land on the view pixels of the picture pixels they measure at x1, fit and
// xN, rubber bands run to the pointer only when one is given, labels sit where they belong, and points far
// off the view are clipped instead of overflowing.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "calib/CalibEntry.h"
#include "imaging/Dc.h"
#include "imaging/DibImage.h"
#include "measure/MeasureList.h"
#include "measure/MeasureOverlay.h"
#include "measure/MeasureResults.h"
#include "measure/Reticle.h"
#include "platform/PrivateProfile.h"
#include "platform/Language.h"

namespace {

constexpr ColorRef kLine = Rgb(0, 255, 0);
constexpr ColorRef kText = Rgb(255, 0, 0);
// A unit code without labels, so that pixel tests see lines only.
constexpr int32_t kNoLabel = 99;

ViewGeometry geometry(int32_t viewW, int32_t viewH, int32_t zoomIndex, double baiX = 0.0, double baiY = 0.0,
                      int32_t imageW = 2048, int32_t imageH = 1536)
{
    ViewGeometry g;
    g.view = {100, 50, 100 + viewW, 50 + viewH};  // window position of the view: never seen by the overlay
    g.zoomIndex = zoomIndex;
    g.baiX = baiX;
    g.baiY = baiY;
    g.imageWidth = imageW;
    g.imageHeight = imageH;
    return g;
}

MeasureItem item(int32_t type, std::initializer_list<MeasurePoint> points, int32_t unit = kNoLabel)
{
    MeasureItem m;
    m.reset(std::abs(type));
    for (const MeasurePoint& p : points)
        m.addPoint(p);
    m.type = type;
    m.unit = unit;
    return m;
}

struct Canvas {
    DibImage img;
    explicit Canvas(const ViewGeometry& g) { img.Create(g.view.width(), g.view.height(), 24); }

    bool line(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= img.width() || y >= img.height())
            return false;
        const uint8_t* p = img.rowTopDown(y) + 3 * x;
        return p[0] == 0 && p[1] == 255 && p[2] == 0;
    }
    // Line colour within r pixels of (x, y): where a slanting line crosses a row is the stroker's choice.
    bool lineNear(int x, int y, int r = 1) const
    {
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx)
                if (line(x + dx, y + dy))
                    return true;
        return false;
    }
    int inkCount() const
    {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.rowTopDown(y)[3 * x] || img.rowTopDown(y)[3 * x + 1] || img.rowTopDown(y)[3 * x + 2];
        return n;
    }
};

void draw(Canvas& canvas, const ViewGeometry& g, const MeasureItem& m, std::optional<Point> pointer = {})
{
    Dc dc(canvas.img);
    MeasureOverlay overlay(dc, g, kLine, kText);
    overlay.DrawMeasureItem(m, pointer);
}

}  // namespace

TEST(MeasureOverlay, X1_PointsLandOnTheirOwnCoordinates)
{
    const ViewGeometry g = geometry(200, 150, 1);
    Canvas c(g);
    draw(c, g, item(-ToolLine, {{10.0, 20.0}, {60.0, 20.0}}));
    EXPECT_TRUE(c.line(10, 20));
    EXPECT_TRUE(c.line(59, 20));
    EXPECT_FALSE(c.line(9, 20));
    EXPECT_FALSE(c.line(30, 19));
    EXPECT_FALSE(c.line(30, 21));
    EXPECT_EQ(c.inkCount(), 50);
}

TEST(MeasureOverlay, X4AndX16_EveryPointInsideTheBlockOfItsPicturePixel)
{
    // At xf with whole-number offsets, picture pixel p covers view pixels [(p + bai) f, (p + bai) f + f).
    for (const auto& [zoomIndex, f] : {std::pair{3, 4.0}, std::pair{5, 16.0}}) {
        const ViewGeometry g = geometry(400, 300, zoomIndex, -7.0, -3.0);
        for (const MeasurePoint p : {MeasurePoint{10.0, 8.0}, MeasurePoint{10.5, 8.75}, MeasurePoint{12.999, 9.0}}) {
            Canvas c(g);
            // A vertical line from p downwards: its first pixel is p's own.
            draw(c, g, item(-ToolLine, {p, {p.x, p.y + 5.0}}));
            const int bx = int((std::floor(p.x) - 7.0) * f), by = int((std::floor(p.y) - 3.0) * f);
            int inBlock = 0, topOfLine = 1 << 30;
            for (int y = 0; y < 300; ++y)
                for (int x = 0; x < 400; ++x)
                    if (c.line(x, y)) {
                        EXPECT_GE(x, bx);
                        EXPECT_LT(x, bx + f);
                        topOfLine = std::min(topOfLine, y);
                        inBlock += y < by + f;
                    }
            EXPECT_GE(topOfLine, by) << "zoom " << f << " at " << p.x << ", " << p.y;
            EXPECT_LT(topOfLine, by + f);
            EXPECT_GT(inBlock, 0);
        }
    }
}

TEST(MeasureOverlay, Fit_ScalesByViewOverPictureAndIgnoresScrollOffsets)
{
    // Offsets left over from a zoomed view must not shift the fitted overlay.
    const ViewGeometry g = geometry(100, 75, 0, -40.0, -30.0, 200, 150);
    Canvas c(g);
    draw(c, g, item(-ToolLine, {{40.0, 30.0}, {40.0, 130.0}}));
    EXPECT_TRUE(c.line(20, 15));
    EXPECT_TRUE(c.line(20, 64));
    EXPECT_FALSE(c.line(20, 14));
    EXPECT_FALSE(c.line(20, 65));
}

TEST(MeasureOverlay, PolygonClosedWhenFinished_OpenToThePointerWhileBuilt)
{
    const ViewGeometry g = geometry(200, 150, 1);
    const std::initializer_list<MeasurePoint> triangle = {{10.0, 10.0}, {50.0, 10.0}, {30.0, 50.0}};

    Canvas finished(g);
    draw(finished, g, item(-ToolArea, triangle), Point{150, 120});  // a finished item ignores the pointer
    EXPECT_TRUE(finished.lineNear(20, 30));                          // the closing edge back to the first
    EXPECT_TRUE(finished.lineNear(40, 30));
    EXPECT_FALSE(finished.lineNear(90, 85, 3));

    Canvas open(g);
    draw(open, g, item(ToolArea, triangle), Point{150, 120});
    EXPECT_FALSE(open.lineNear(20, 30));
    EXPECT_TRUE(open.lineNear(40, 30));
    EXPECT_TRUE(open.lineNear(90, 85));  // the rubber band from the last point to the pointer

    // A still save passes no pointer: no rubber band to wherever the mouse happened to be.
    Canvas still(g);
    draw(still, g, item(ToolArea, triangle));
    EXPECT_FALSE(still.lineNear(90, 85, 3));
    EXPECT_FALSE(still.lineNear(20, 30));
}

TEST(MeasureOverlay, PerpendicularBasePointsShowAsDots)
{
    // Base line A-B horizontal at y 40; the dots at A and B are zero-length lines of a 4-pixel pen.
    const ViewGeometry g = geometry(200, 150, 1);
    Canvas c(g);
    MeasureItem m = item(-ToolPerpendicular, {{20.0, 40.0}, {120.0, 40.0}, {60.0, 90.0}});
    m.setPoint(3, {60.0, 40.0});
    draw(c, g, m);
    EXPECT_TRUE(c.line(5, 40));    // the base line runs across the view
    EXPECT_TRUE(c.line(20, 41));   // the dots stand above and below it
    EXPECT_TRUE(c.line(120, 39));
    EXPECT_FALSE(c.line(70, 41));
    EXPECT_FALSE(c.line(70, 39));
    EXPECT_TRUE(c.line(60, 60));   // the perpendicular from P to its foot
}

TEST(MeasureOverlay, CircleBeingPlacedRunsThroughThePointer)
{
    const ViewGeometry g = geometry(200, 150, 1);
    // Points (60, 40) and (100, 80): with the pointer at (60, 120) the circle has centre (60, 80), radius 40.
    Canvas c(g);
    draw(c, g, item(ToolCircle, {{60.0, 40.0}, {100.0, 80.0}}), Point{60, 120});
    EXPECT_TRUE(c.lineNear(20, 80));
    EXPECT_TRUE(c.lineNear(60, 119));
    EXPECT_TRUE(c.line(57, 40));  // the plus sign at the first point
    EXPECT_TRUE(c.line(60, 37));

    Canvas still(g);
    draw(still, g, item(ToolCircle, {{60.0, 40.0}, {100.0, 80.0}}));
    EXPECT_FALSE(still.lineNear(20, 80));
    EXPECT_TRUE(still.line(57, 40));
}

TEST(MeasureOverlay, FarOffCoordinatesAreClippedNotTruncated)
{
    // x16 looking at picture columns 995..1045 and rows 700..737.
    const ViewGeometry g = geometry(800, 600, 5, -995.0, -700.0);

    // A steep base line through (1000, 0) and (1000.001, 1536): its ends lie millions of view pixels
    // away, yet it must still cross the view at column (1000 - 995) x 16 = 80.
    Canvas steep(g);
    MeasureItem perp = item(-ToolPerpendicular, {{1000.0, 0.0}, {1000.001, 1536.0}, {1010.0, 720.0}});
    draw(steep, g, perp);
    for (int y : {0, 300, 599})
        EXPECT_TRUE(steep.lineNear(80, y)) << y;

    // A fallback circle of collinear points: centre (0, 0), radius the first point's distance from the
    // corner, about 19 000 view pixels at x16; only the part that crosses the view is drawn.
    MeasureItem fallback = item(-ToolCircle, {{1000.0, 710.0}, {1001.0, 711.0}, {1002.0, 712.0}});
    fallback.center1 = {0.0, 0.0};
    fallback.radius1 = std::hypot(1000.0, 710.0);
    Canvas circle(g);
    draw(circle, g, fallback);
    EXPECT_GT(circle.inkCount(), 100);
    // (1000, 710) lies on it: view (80, 160).
    EXPECT_TRUE(circle.lineNear(80, 160, 2));

    // The circle being placed on collinear points falls back in view coordinates.
    Canvas placing(g);
    draw(placing, g, item(ToolCircle, {{1000.0, 710.0}, {1001.0, 711.0}}), Point{64, 144});
    EXPECT_GT(placing.inkCount(), 0);

    // Points at absurd coordinates draw nothing and do not crash.
    Canvas absurd(g);
    draw(absurd, g, item(-ToolLine, {{1e300, -1e300}, {-1e300, 1e300}}));
    draw(absurd, g, item(-ToolLine, {{NAN, 0.0}, {0.0, INFINITY}}));
    MeasureItem huge = item(-ToolCircle, {{0, 0}});
    huge.center1 = {1e12, 1e12};
    huge.radius1 = 1e13;
    draw(absurd, g, huge);
    EXPECT_EQ(absurd.inkCount(), 0);
}

TEST(MeasureOverlay, BaseLineEndsAtTheHeightOfThePictureInUse)
{
    // A rising base line runs from the left edge to the bottom row of the picture in use (here 100 rows,
    // not a sensor's 1536): at x1 in a 300-row view nothing is drawn below row 100.
    const ViewGeometry g = geometry(300, 300, 1, 0.0, 0.0, 300, 100);
    Canvas c(g);
    MeasureItem perp = item(-ToolPerpendicular, {{10.0, 10.0}, {20.0, 20.0}, {40.0, 10.0}});
    draw(c, g, perp);
    EXPECT_TRUE(c.lineNear(0, 0));
    EXPECT_TRUE(c.lineNear(98, 98));
    EXPECT_FALSE(c.lineNear(150, 150, 3));
}

TEST(MeasureOverlay, DrawMeasurementsDrawsFinishedItemsThenTheCaller)
{
    const ViewGeometry g = geometry(200, 150, 2);
    MeasureList list;
    list.append(item(-ToolLine, {{10.0, 10.0}, {20.0, 10.0}}));
    MeasureItem empty;
    list.append(empty);  // no type, no points: skipped
    Canvas c(g);
    int calls = 0;
    {
        Dc dc(c.img);
        MeasureOverlay overlay(dc, g, kLine, kText);
        overlay.DrawMeasurements(list, [&](Dc& d, const ViewGeometry& drawnWith) {
            ++calls;
            EXPECT_EQ(drawnWith.zoomIndex, 2);
            d.MoveTo(0, 100);
            d.LineTo(10, 100);  // drawn with the line pen
        });
        // The item being built, only with a tool and points.
        MeasureItem none;
        overlay.DrawCurrentItem(none, Point{5, 5});
    }
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(c.line(20, 20));
    EXPECT_TRUE(c.line(5, 100));
    EXPECT_EQ(c.inkCount(), 30);
}

TEST(MeasureOverlay, LabelsOfEveryKind)
{
    g_bJapanese = 0;
    // x2 with offsets (-5, 0): image (x, y) shows at ((x - 5) 2, 2 y); the 20-pixel drops are view pixels.
    const ViewScale s = viewScale(geometry(400, 300, 2, -5.0));
    using L = std::vector<OverlayLabel>;

    MeasureItem line = item(-ToolLine, {{10.0, 20.0}, {30.0, 40.0}}, UnitMm);
    line.result = 12.345;
    EXPECT_EQ(measureLabels(line, s), (L{{{30, 60}, "12.345mm"}}));

    MeasureItem area = item(-ToolArea, {{5.0, 0.0}, {45.0, 0.0}, {45.0, 20.0}, {5.0, 20.0}}, UnitCm);
    area.result = area.result2 = 3.14159;
    EXPECT_EQ(measureLabels(area, s), (L{{{40, 40}, "3.14cm2"}}));

    MeasureItem circle = item(-ToolCircle, {{0, 0}, {1, 1}, {2, 0}}, UnitUm);
    circle.center1 = {30.7, 60.2};
    circle.result = 1.5;
    EXPECT_EQ(measureLabels(circle, s), (L{{{51, 120}, "1.50um"}}));

    MeasureItem two = item(-ToolCircle2, {{0, 0}, {1, 1}, {2, 0}, {3, 3}, {4, 4}, {5, 3}}, UnitMm);
    two.center1 = {10.0, 10.0};
    two.center2 = {30.0, 50.0};
    two.result = 1.0;
    two.result2 = 2.0;
    two.result3 = 3.0;
    EXPECT_EQ(measureLabels(two, s), (L{{{10, 20}, "1.000mm"}, {{50, 100}, "2.000mm"}, {{30, 60}, "3.000mm"}}));

    // Foot of (40, 30) on the line through (0, 0) and (100, 0) is (40, 0); the middle (40, 15) shows at
    // (70, 30), the label 20 below.
    MeasureItem perp = item(-ToolPerpendicular, {{0.0, 0.0}, {100.0, 0.0}, {40.0, 30.0}}, UnitCm);
    perp.result = 0.5;
    EXPECT_EQ(measureLabels(perp, s), (L{{{70, 50}, "0.50cm"}}));

    MeasureItem angle = item(-ToolAngle, {{5.0, 0.0}, {15.0, 0.0}, {15.0, 10.0}}, UnitUm);
    angle.result = 90.0;
    EXPECT_EQ(measureLabels(angle, s), (L{{{13, 6}, QString::fromUtf8("90.0°")}}));

    // A unit code outside 0..2: the label is there, but empty.
    line.unit = 7;
    EXPECT_EQ(measureLabels(line, s), (L{{{30, 60}, ""}}));
    // Items being built have no labels.
    EXPECT_TRUE(measureLabels(item(ToolLine, {{1, 1}, {2, 2}}, UnitMm), s).empty());
}

TEST(MeasureOverlay, LabelsAreDrawnInTheTextColourAtTheirAnchor)
{
    const ViewGeometry g = geometry(200, 150, 1);
    MeasureItem m = item(-ToolLine, {{40.0, 40.0}, {40.0, 40.0}}, UnitMm);
    m.result = 8.888;
    Canvas c(g);
    draw(c, g, m);
    int textPixels = 0, left = 1 << 30, top = 1 << 30;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x) {
            const uint8_t* p = c.img.rowTopDown(y) + 3 * x;
            if (p[2] == 255 && p[1] == 0 && p[0] == 0) {
                ++textPixels;
                left = std::min(left, x);
                top = std::min(top, y);
            }
        }
    EXPECT_GT(textPixels, 20);
    EXPECT_GE(left, 40);
    EXPECT_GE(top, 40);
    EXPECT_LT(left, 45);
}

TEST(MeasureOverlay, AnInspectedItemIsDrawnInItsVerdictsColour)
{
    struct Case {
        std::optional<Tolerance> tolerance;
        ColorRef color;
    };
    const Case kCases[] = { { std::nullopt, kLine }, { Tolerance { 10.0, 0.5, 0.5 }, kPassColor },
        { Tolerance { 12.0, 0.5, 0.5 }, kFailColor } };
    const ViewGeometry g = geometry(200, 150, 2);
    for (const Case& c : kCases) {
        MeasureList list;
        MeasureItem inspected = item(-ToolLine, { { 10.0, 10.0 }, { 20.0, 10.0 } });
        inspected.result = 10.0;
        inspected.tolerance = c.tolerance;
        list.append(inspected);
        list.append(item(-ToolLine, { { 10.0, 30.0 }, { 20.0, 30.0 } })); // after it: the configured colour
        Canvas canvas(g);
        {
            Dc dc(canvas.img);
            MeasureOverlay(dc, g, kLine, kText).DrawMeasurements(list);
        }
        const auto colorAt = [&](int x, int y) {
            const uint8_t* p = canvas.img.rowTopDown(y) + 3 * x;
            return Rgb(p[2], p[1], p[0]);
        };
        EXPECT_EQ(colorAt(30, 20), c.color);
        EXPECT_TRUE(canvas.line(30, 60));
    }
}

// The edge tools show where they searched and what they found: the caliper's rectangle with a tick across it
// at each edge, the ring around an edge circle's rough circle with the fitted one, the edge line's band with
// the fitted line; what was not found is not drawn.
TEST(MeasureOverlay, EdgeItemsShowTheirSearchAndWhatItFound)
{
    const ViewGeometry g = geometry(200, 150, 1);
    MeasureItem caliper = item(-ToolCaliper, {{20.0, 30.0}, {120.0, 30.0}});
    caliper.edges = {{50.0, 30.0}, {90.0, 30.0}};
    caliper.edgeFound = true;
    MeasureItem ring = item(-ToolEdgeCircle, {{60.0, 75.0}, {100.0, 35.0}, {140.0, 75.0}});
    fitCircles(ring);
    ring.center1 = {100.0, 75.0};
    ring.radius1 = 38.0;
    MeasureItem band = item(-ToolEdgeLine, {{20.0, 100.0}, {180.0, 100.0}});
    band.setPoint(2, {20.0, 104.0});
    band.setPoint(3, {180.0, 104.0});
    for (const bool found : {true, false}) {
        ring.edgeFound = band.edgeFound = found;
        Canvas c(g);
        draw(c, g, caliper);
        EXPECT_TRUE(c.lineNear(70, 20) && c.lineNear(70, 40) && c.lineNear(20, 35) && c.lineNear(120, 25));
        EXPECT_TRUE(c.lineNear(50, 25) && c.lineNear(90, 35));
        EXPECT_FALSE(c.lineNear(70, 25));
        Canvas r(g);
        draw(r, g, ring);
        EXPECT_TRUE(r.lineNear(70, 75) && r.lineNear(50, 75)); // 40 px -25 % and +25 %
        EXPECT_EQ(r.lineNear(62, 75), found);
        Canvas b(g);
        draw(b, g, band);
        EXPECT_TRUE(b.lineNear(100, 90) && b.lineNear(100, 110));
        EXPECT_EQ(b.lineNear(100, 104), found);
    }
}

// The grid's lines and the reticle's crosshair, circle and ticks land on the view pixels of the picture pixels
// the calibration puts them at: grid values and radii in millimetres under calibrations in mm, µm (X and Y
// apart) and cm, at x1, x4 and fit, about the picture's centre or a centre set off the pixel grid.
TEST(Reticle, GridAndReticleLandWhereTheCalibrationPutsThem)
{
    struct Case {
        const char* name;
        int32_t zoom;
        double baiX, baiY;
        int32_t viewW, viewH;
        double mppX, mppY;
        int32_t calibUnit;
        double centreX, centreY; // negative: the picture's centre
        double spacing, radius, tickStep; // mm
        std::vector<int> columns, rows; // view pixels of grid lines
        int probeRow, probeColumn;      // where columns and rows are looked at, clear of labels
        int blankColumn, blankRow;      // between grid lines
        Point cross;                    // the crosshair's column and row
        Point arc;                      // on the circle, 45 degrees off the crosshair
        Point tick, noTick;             // beside the horizontal crosshair
    };
    const Case cases[] = {
        { "x1, 100 px per mm", 1, -900, -600, 400, 300, 0.01, 0.01, UnitMm, -1, -1, 0.5, 1.0, 0.1,
            { 24, 74, 124, 174, 374 }, { 18, 68, 118, 168, 268 }, 143, 99, 49, 43, { 124, 168 }, { 194, 97 }, { 134, 165 },
            { 139, 165 } },
        { "x4, 2 x 4 um per px, set centre", 3, -1000, -750, 400, 300, 2.0, 4.0, UnitUm, 1002.25, 760.5, 0.02, 0.1,
            0.01, { 49, 89, 129, 369 }, { 62, 82, 142, 282 }, 52, 69, 51, 64, { 9, 42 }, { 150, 112 }, { 29, 39 }, { 39, 39 } },
        { "fit, 0.001 cm per px, ticks thinned", 0, 0, 0, 512, 384, 0.001, 0.001, UnitCm, -1, -1, 1.0, 2.0, 0.1,
            { 56, 81, 256, 481, 506 }, { 42, 67, 192, 342, 367 }, 204, 243, 58, 44, { 256, 192 }, { 291, 156 }, { 281, 189 },
            { 268, 189 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewGeometry g = geometry(c.viewW, c.viewH, c.zoom, c.baiX, c.baiY);
        OverlayOptions o;
        o.centreX = c.centreX;
        o.centreY = c.centreY;
        o.unit = UnitMm;
        o.gridSpacing = c.spacing;
        o.radii = { c.radius };
        o.tickStep = c.tickStep;
        const OverlayScale scale = overlayScale(o.unit, c.mppX, c.mppY, c.calibUnit);
        const auto render = [&](bool grid, bool reticle) {
            auto canvas = std::make_unique<Canvas>(g);
            o.grid = grid;
            o.reticle = reticle;
            Dc dc(canvas->img);
            DrawReticleAndGrid(dc, o, scale, g, kLine, kText);
            return canvas;
        };
        const auto grid = render(true, false);
        for (const int x : c.columns)
            EXPECT_TRUE(grid->line(x, c.probeRow)) << "column " << x;
        for (const int y : c.rows)
            EXPECT_TRUE(grid->line(c.probeColumn, y)) << "row " << y;
        EXPECT_FALSE(grid->line(c.blankColumn, c.probeRow));
        EXPECT_FALSE(grid->line(c.probeColumn, c.blankRow));

        const auto reticle = render(false, true);
        EXPECT_TRUE(reticle->line(c.cross.x, c.probeRow));
        EXPECT_TRUE(reticle->line(c.probeColumn, c.cross.y));
        EXPECT_FALSE(reticle->line(c.blankColumn, c.probeRow));
        EXPECT_TRUE(reticle->lineNear(c.arc.x, c.arc.y));
        EXPECT_TRUE(reticle->line(c.tick.x, c.tick.y));
        EXPECT_FALSE(reticle->line(c.noTick.x, c.noTick.y));
    }
}

TEST(Reticle, OptionsRoundTripAndBadValuesKeepDefaults)
{
    OverlayOptions o;
    o.reticle = o.grid = o.reference = o.burnIn = o.difference = true;
    o.ticks = false;
    o.centreX = 1000.25;
    o.centreY = 3.0 / 7.0;
    o.radii = { 0.1, 2.5, 1e-3 };
    o.gridSpacing = 0.3;
    o.tickStep = 0.05;
    o.unit = UnitUm;
    o.referencePath = QString::fromUtf8("/data/良品/golden.png");
    o.opacity = 35;
    o.shiftX = -12.375;
    o.shiftY = 99.5;
    ProfileFile file;
    o.save(file);
    ProfileFile reread;
    ASSERT_TRUE(reread.loadBytes(file.text()));
    const OverlayOptions back = OverlayOptions::Load(reread);
    EXPECT_EQ(std::tie(back.reticle, back.grid, back.reference, back.burnIn, back.difference, back.ticks),
        std::tie(o.reticle, o.grid, o.reference, o.burnIn, o.difference, o.ticks));
    EXPECT_EQ(back.centreX, o.centreX);
    EXPECT_EQ(back.centreY, o.centreY);
    EXPECT_EQ(back.radii, o.radii);
    EXPECT_EQ(back.gridSpacing, o.gridSpacing);
    EXPECT_EQ(back.tickStep, o.tickStep);
    EXPECT_EQ(back.unit, o.unit);
    EXPECT_EQ(back.referencePath, o.referencePath);
    EXPECT_EQ(back.opacity, o.opacity);
    EXPECT_EQ(back.shiftX, o.shiftX);
    EXPECT_EQ(back.shiftY, o.shiftY);

    // Spacings that would hang the drawing, a unit of no kind, an opacity out of range keep the defaults;
    // radii that are no lengths are left out.
    ProfileFile bad;
    for (const auto& [key, value] : { std::pair { "GridSpacing", "0" }, { "TickStep", "-1" }, { "Unit", "7" },
             { "Opacity", "140" }, { "ShiftX", "nan" }, { "Radii", "1, x, -2, inf, 0.5" } })
        bad.setValue("OVERLAY", key, value);
    const OverlayOptions defaults = OverlayOptions::Load(bad);
    const OverlayOptions fresh;
    EXPECT_EQ(defaults.gridSpacing, fresh.gridSpacing);
    EXPECT_EQ(defaults.tickStep, fresh.tickStep);
    EXPECT_EQ(defaults.unit, fresh.unit);
    EXPECT_EQ(defaults.opacity, fresh.opacity);
    EXPECT_EQ(defaults.shiftX, fresh.shiftX);
    EXPECT_EQ(defaults.radii, (std::vector<double> { 1.0, 0.5 }));
}
