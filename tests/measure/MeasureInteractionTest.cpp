// The mouse rules over the view, driven without widgets: placing each tool's points, editing finished items
// with the right button, the pan clamp, the direction cursors, DELETE, CLEAR, and undo and redo of every
// change; and the order in which the scale bar and the tools take their part of an event.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "support/EdgePictures.h"
#include "imaging/DibImage.h"
#include "measure/MeasureInteraction.h"
#include "measure/MeasureResults.h"
#include "measure/MeasureSession.h"
#include "measure/MeasureTestSupport.h"
#include "platform/Language.h"

namespace {

// A 640 x 480 picture shown at x1 in a view whose top-left corner is at (10, 20) of the window; 0.01 mm per
// picture pixel.
struct Scene {
    MeasureSession session { [n = 1]() mutable { return n += 3; } };
    MeasureInteraction mi { session };
    MeasureList& list = session.items();
    MeasureItem& current = session.current();
    ScaleData& scale = session.scale();
    DibImage picture;
    InteractionContext c;

    Scene()
    {
        g_bJapanese = 0;
        picture.Create(640, 480, 8);
        c.geometry.view = { 10, 20, 410, 320 };
        c.geometry.zoomIndex = 1;
        c.geometry.imageWidth = 640;
        c.geometry.imageHeight = 480;
        c.layout = c.geometry;
        c.picture = &picture;
        session.calibration()[1] = calibration(UnitMm, 0.01, 0.01);
        session.selectCalibration(1, &picture);
    }

    // The pointer over picture point (x, y) as the shown geometry places it.
    PointerEvent at(double x, double y) const
    {
        const ViewScale s = viewScale(c.geometry);
        return { { c.geometry.view.left + int32_t(std::lround((x + s.offsetX) * s.sx)),
                     c.geometry.view.top + int32_t(std::lround((y + s.offsetY) * s.sy)) } };
    }
    void click(double x, double y)
    {
        mi.OnLButtonDown(at(x, y), c);
        mi.OnLButtonUp(at(x, y), c);
    }
    void drag(double x0, double y0, double x1, double y1)
    {
        mi.OnLButtonDown(at(x0, y0), c);
        mi.OnMouseMove(at(x1, y1), c);
        mi.OnLButtonUp(at(x1, y1), c);
    }
    InteractionEffects rightDrag(double x0, double y0, double x1, double y1)
    {
        mi.OnRButtonDown(at(x0, y0), c);
        const InteractionEffects fx = mi.OnMouseMove(at(x1, y1), c);
        mi.OnRButtonUp(at(x1, y1), c);
        return fx;
    }
    void circle(double cx, double cy, double r)
    {
        click(cx - r, cy);
        click(cx, cy - r);
        click(cx + r, cy);
    }
    int rows() const { return session.results().rowCount(); }
    QString text(int row, int column) const { return session.results().texts()[size_t(row)][size_t(column)]; }
    QString value(int row) const { return text(row, ResultsModel::ColumnValue); }
    void deleteRows(const std::vector<int>& rows) { mi.Delete(session.results().itemsOfRows(rows)); }
};

} // namespace

TEST(MeasureInteraction, LineIsPressToReleaseOrClickToClick_NeverOfLengthZero)
{
    // Each gesture ends, if at all, on (130, 140): from (100, 100) a line of 50 pixels.
    struct Case {
        const char* name;
        std::function<void(Scene&)> gesture;
        bool finished;
    };
    const Case cases[] = {
        { "press, drag, release", [](Scene& s) { s.drag(100, 100, 130, 140); }, true },
        { "click, then click", [](Scene& s) { s.click(100, 100); s.click(130, 140); }, true },
        { "click, then press elsewhere and drag", [](Scene& s) { s.click(100, 100); s.drag(300, 20, 130, 140); },
            true },
        { "a second click on the start is no end", [](Scene& s) {
             s.click(100, 100);
             s.click(100, 100);
             s.click(130, 140);
         },
            true },
        { "a drag back to its start is a click", [](Scene& s) {
             s.drag(100, 100, 100, 100);
             s.mi.OnLButtonDown(s.at(100, 100), s.c);
             s.mi.OnMouseMove(s.at(160, 100), s.c);
             s.mi.OnLButtonUp(s.at(100, 100), s.c);
             s.click(130, 140);
         },
            true },
        { "one click", [](Scene& s) { s.click(100, 100); }, false },
        { "clicks in place", [](Scene& s) { s.click(100, 100); s.click(100, 100); s.click(100, 100); }, false },
    };
    for (const Case& c : cases) {
        Scene s;
        s.mi.SelectTool(ToolLine);
        c.gesture(s);
        if (!c.finished) {
            EXPECT_EQ(s.list.count(), 0) << c.name;
            EXPECT_EQ(s.current.pointCount, 1) << c.name;
            EXPECT_EQ(s.mi.tool(), ToolLine) << c.name; // the line waits for its end
            continue;
        }
        ASSERT_EQ(s.list.count(), 1) << c.name;
        EXPECT_EQ(s.list.begin()->points[0], (MeasurePoint { 100, 100 })) << c.name;
        EXPECT_EQ(s.value(0), "0.500") << c.name;
        EXPECT_EQ(s.mi.tool(), ToolNone) << c.name;
        // Without a tool a click places nothing.
        s.click(60, 60);
        EXPECT_EQ(s.list.count(), 1) << c.name;
        EXPECT_EQ(s.current.pointCount, 0) << c.name;
    }
}

TEST(MeasureInteraction, EachToolFinishesOnItsLastPoint_AreaOnTheDoubleClick)
{
    Scene s;
    s.mi.SelectTool(ToolCircle);
    s.click(90, 100);
    s.click(100, 90);
    EXPECT_EQ(s.list.count(), 0);
    s.click(110, 100);
    ASSERT_EQ(s.list.count(), 1);
    EXPECT_NEAR(s.list.begin()->result, 0.2, 1e-9);

    s.mi.SelectTool(ToolCircle2);
    for (int i = 0; i < 5; ++i)
        s.click(200 + i * 7, 200 + (i % 2) * 9);
    EXPECT_EQ(s.list.count(), 1);
    s.click(260, 190);
    EXPECT_EQ(s.list.count(), 2);
    EXPECT_EQ(s.rows(), 4);

    s.mi.SelectTool(ToolAngle);
    s.click(300, 100);
    s.click(200, 100);
    s.click(200, 0);
    EXPECT_EQ(s.value(4), "90.0");

    // Press, release, double click, release: the first release places the last corner.
    s.mi.SelectTool(ToolArea);
    s.click(10, 10);
    s.click(30, 10);
    s.click(30, 20);
    s.mi.OnLButtonDown(s.at(10, 20), s.c);
    s.mi.OnLButtonUp(s.at(10, 20), s.c);
    s.mi.OnLButtonDblClk(s.at(10, 20), s.c);
    s.mi.OnLButtonUp(s.at(10, 20), s.c);
    ASSERT_EQ(s.list.count(), 4);
    const MeasureItem& area = *std::prev(s.list.end());
    EXPECT_EQ(area.type, -ToolArea);
    EXPECT_EQ(area.pointCount, 4);
    EXPECT_NEAR(area.result, 20 * 10 * 0.0001, 1e-12);
    EXPECT_EQ(s.mi.tool(), ToolNone);
    EXPECT_EQ(s.list.count(), 4); // the last release, without a tool, adds nothing
}

TEST(MeasureInteraction, PerpendicularRowsComeFromTheThirdReleaseOn_ARightReleaseEndsTheSeries)
{
    Scene s;
    s.mi.SelectTool(ToolPerpendicular);
    s.click(0, 100);
    s.click(400, 100);
    EXPECT_EQ(s.rows(), 0);
    s.click(50, 130);
    s.click(60, 40);
    EXPECT_EQ(s.rows(), 2);
    EXPECT_EQ(s.value(0), "0.300");
    EXPECT_EQ(s.value(1), "0.600");
    EXPECT_EQ(s.mi.tool(), ToolPerpendicular);
    s.mi.OnRButtonDown(s.at(500, 500), s.c);
    s.mi.OnRButtonUp(s.at(500, 500), s.c);
    EXPECT_EQ(s.mi.tool(), ToolNone);

    // Dragging a base point of the first takes the later one on the same base line along.
    s.rightDrag(0, 100, 0, 0);
    EXPECT_EQ((std::next(s.list.begin())->points[0]), (MeasurePoint { 0, 0 }));
    EXPECT_NE(s.value(1), "0.600");
    EXPECT_EQ(s.rows(), 2);
}

TEST(MeasureInteraction, AReleaseOutsideTheViewPlacesThePointAtItsMappedPosition)
{
    Scene s;
    s.c.geometry.zoomIndex = s.c.layout.zoomIndex = 2; // x2, scrolled to picture pixel (20, 30)
    s.c.geometry.baiX = s.c.layout.baiX = -20;
    s.c.geometry.baiY = s.c.layout.baiY = -30;
    s.mi.SelectTool(ToolCircle);
    s.mi.OnLButtonDown({ { 5, 8 } }, s.c);
    s.mi.OnLButtonUp({ { 5, 8 } }, s.c); // left of and above the view
    ASSERT_EQ(s.current.pointCount, 1);
    EXPECT_DOUBLE_EQ(s.current.points[0].x, (5 - 10) / 2.0 + 20);
    EXPECT_DOUBLE_EQ(s.current.points[0].y, (8 - 20) / 2.0 + 30);
    s.c.geometry.baiX = 0;
    s.mi.OnLButtonUp({ { 0, 100 } }, s.c);
    EXPECT_LT(s.current.points[1].x, 0.0);
}

TEST(MeasureInteraction, CentreDragKeepsTheDiameter_CircumferenceDragChangesOnlyItsRow)
{
    Scene s;
    s.mi.SelectTool(ToolCircle2);
    s.circle(100, 100, 20);
    s.circle(300, 100, 30);
    const QString d1 = s.value(0), d2 = s.value(1), distance = s.value(2);
    EXPECT_EQ(distance, "2.000");

    s.rightDrag(100, 100, 100, 150); // the first centre
    EXPECT_EQ(s.value(0), d1);
    EXPECT_EQ(s.value(1), d2);
    EXPECT_EQ(s.value(2), QString::asprintf("%.3f", std::hypot(200, 50) * 0.01));
    EXPECT_DOUBLE_EQ(s.list.begin()->radius1, 20);

    // The second circle's circumference, right of its centre, pulled out to 40 pixels.
    const QString distanceNow = s.value(2);
    const InteractionEffects fx = s.rightDrag(330, 100, 340, 100);
    EXPECT_EQ(s.value(0), d1);
    EXPECT_EQ(s.value(1), "0.800");
    EXPECT_EQ(s.value(2), distanceNow);
    EXPECT_TRUE(fx.repaint & RepaintView);
}

TEST(MeasureInteraction, DeleteWithAnyRowOfATwoCircleItemRemovesItsThreeRows)
{
    for (int row = 1; row <= 3; ++row) {
        Scene s;
        s.mi.SelectTool(ToolLine);
        s.drag(0, 0, 10, 0);
        s.mi.SelectTool(ToolCircle2);
        s.circle(100, 100, 20);
        s.circle(300, 100, 30);
        s.mi.SelectTool(ToolLine);
        s.drag(0, 0, 0, 10);
        ASSERT_EQ(s.rows(), 5);
        s.deleteRows({ row });
        EXPECT_EQ(s.list.count(), 2) << row;
        ASSERT_EQ(s.rows(), 2) << row;
        EXPECT_EQ(s.text(1, ResultsModel::ColumnNo), "1");
        EXPECT_EQ(s.value(1), "0.100");
    }
}

TEST(MeasureInteraction, DeleteOrClearDuringARightDragEndsTheDrag)
{
    Scene s;
    s.mi.SelectTool(ToolLine);
    s.drag(0, 0, 100, 0);
    s.mi.SelectTool(ToolLine);
    s.drag(0, 50, 100, 50);
    s.mi.OnRButtonDown(s.at(100, 0), s.c);
    s.mi.OnMouseMove(s.at(120, 0), s.c);
    ASSERT_TRUE(s.mi.editing());
    s.deleteRows({ 0 }); // the dragged line goes
    EXPECT_FALSE(s.mi.editing());
    s.mi.OnMouseMove(s.at(150, 10), s.c);
    s.mi.OnRButtonUp(s.at(150, 10), s.c);
    ASSERT_EQ(s.list.count(), 1);
    EXPECT_EQ(s.list.begin()->points[1], (MeasurePoint { 100, 50 }));

    s.mi.OnRButtonDown(s.at(100, 50), s.c);
    ASSERT_TRUE(s.mi.editing());
    s.mi.Clear();
    EXPECT_FALSE(s.mi.editing());
    s.mi.OnMouseMove(s.at(150, 10), s.c);
    EXPECT_EQ(s.rows(), 0);
}

TEST(MeasureInteraction, APolygonIsRecountedWhenItsCornerIsLetGo)
{
    Scene s;
    s.mi.SelectTool(ToolArea);
    for (MeasurePoint p : { MeasurePoint { 10, 10 }, { 29, 10 }, { 29, 19 }, { 10, 19 } })
        s.click(p.x, p.y);
    s.mi.OnLButtonDblClk(s.at(10, 19), s.c);
    const QString before = s.value(0);
    s.mi.OnRButtonDown(s.at(29, 19), s.c);
    s.mi.OnMouseMove(s.at(29, 29), s.c);
    EXPECT_EQ(s.value(0), before); // counted at the release, not while dragging
    s.mi.OnRButtonUp(s.at(29, 29), s.c);
    EXPECT_NE(s.value(0), before);
    EXPECT_FALSE(s.mi.editing());
}

TEST(MeasureInteraction, PanClampsToThePictureAtEveryZoom_InWholePixels)
{
    for (int zoom = 2; zoom <= 5; ++zoom) {
        Scene s;
        s.c.geometry.zoomIndex = s.c.layout.zoomIndex = zoom;
        s.c.geometry.view = s.c.layout.view = { 10, 20, 10 + 403, 20 + 301 }; // not multiples of any zoom
        const int f = ZoomFactor(zoom);
        const auto press = [&](double bai) {
            s.mi.OnLButtonUp({ { 200, 200 } }, s.c);
            s.c.layout.baiX = s.c.layout.baiY = bai;
            s.mi.OnLButtonDown({ { 200, 200 } }, s.c);
        };
        // From an offset beyond the picture, a little further: the far edges stop at the view's edges.
        press(-1000);
        ASSERT_TRUE(s.mi.panning());
        const InteractionEffects far = s.mi.OnMouseMove({ { 150, 150 } }, s.c);
        ASSERT_TRUE(far.scroll) << zoom;
        EXPECT_DOUBLE_EQ(far.scroll->x, std::min(0, 403 / f - 640)) << zoom;
        EXPECT_DOUBLE_EQ(far.scroll->y, std::min(0, 301 / f - 480)) << zoom;
        EXPECT_EQ(far.cursor, MeasureInteraction::kHandCursor);
        // From the origin to the right: never above 0.
        press(0);
        EXPECT_DOUBLE_EQ(s.mi.OnMouseMove({ { 400, 300 } }, s.c).scroll->x, 0.0);
        // A small move: whole pixels, truncated toward zero.
        press(-50);
        const InteractionEffects small = s.mi.OnMouseMove({ { 200 - f - f / 2, 200 } }, s.c);
        EXPECT_DOUBLE_EQ(small.scroll->x, std::trunc(-50 - 1.5 * f / f)) << zoom;
        // Leaving the view ends the pan.
        s.mi.OnMouseMove({ { 5, 200 } }, s.c);
        EXPECT_FALSE(s.mi.panning());
        EXPECT_FALSE(s.mi.OnMouseMove({ { 200, 200 } }, s.c).scroll);
    }
    // At fit nothing pans.
    Scene fit;
    fit.c.geometry.zoomIndex = fit.c.layout.zoomIndex = 0;
    fit.mi.OnLButtonDown({ { 200, 200 } }, fit.c);
    EXPECT_FALSE(fit.mi.panning());
}

TEST(MeasureInteraction, DirectionCursorsFollowTheBandsOfTheLine)
{
    const auto at = [](double degrees) {
        const double r = degrees / 180.0 * M_PI;
        return MeasureInteraction::directionCursor({ 0, 0 }, { 100 * std::cos(r), -100 * std::sin(r) });
    };
    EXPECT_FALSE(MeasureInteraction::directionCursor({ 5, 5 }, { 5, 50 }));
    EXPECT_FALSE(MeasureInteraction::directionCursor({ 5, 5 }, { 50, 5 }));
    struct Band {
        double degrees;
        Qt::CursorShape cursor;
    };
    for (const Band& b : { Band { 10, Qt::SizeHorCursor }, { 22.9, Qt::SizeHorCursor }, { 23.1, Qt::SizeBDiagCursor },
             { 67.9, Qt::SizeBDiagCursor }, { 68.1, Qt::SizeVerCursor }, { 112.9, Qt::SizeVerCursor },
             { 113.1, Qt::SizeFDiagCursor }, { 157.9, Qt::SizeFDiagCursor }, { 158.1, Qt::SizeHorCursor },
             { 202.9, Qt::SizeHorCursor }, { 203.1, Qt::SizeBDiagCursor }, { 248.1, Qt::SizeVerCursor },
             { 293.1, Qt::SizeFDiagCursor }, { 337.9, Qt::SizeFDiagCursor }, { 338.1, Qt::SizeHorCursor },
             { 359, Qt::SizeHorCursor } })
        EXPECT_EQ(at(b.degrees), b.cursor) << b.degrees;

    // Hovering: nothing, a point, a circumference.
    Scene s;
    s.mi.SelectTool(ToolCircle);
    s.circle(200, 200, 50);
    EXPECT_EQ(s.mi.OnMouseMove(s.at(100, 100), s.c).cursor, Qt::ArrowCursor);
    EXPECT_EQ(s.mi.OnMouseMove(s.at(202, 199), s.c).cursor, Qt::SizeAllCursor);
    EXPECT_EQ(s.mi.OnMouseMove(s.at(235, 165), s.c).cursor, Qt::SizeBDiagCursor);
}

TEST(MeasureInteraction, UndoAndRedoEveryKindOfChange_AHundredDeep_AlsoAfterClear)
{
    Scene s;
    const auto texts = [&] { return s.session.results().texts(); };
    std::vector<std::vector<ResultsModel::Cells>> states { texts() };
    for (int i = 0; i < 100; ++i) {
        s.mi.SelectTool(ToolLine);
        s.drag(0, i, 10 + i, i);
        states.push_back(texts());
    }
    s.rightDrag(109, 99, 150, 99); // an edit
    states.push_back(texts());
    s.deleteRows({ 3, 4 });
    states.push_back(texts());
    s.mi.Clear();
    states.push_back(texts());
    ASSERT_EQ(s.list.count(), 0);
    ASSERT_GE(s.session.history().undoSteps(), 103u);

    for (size_t k = states.size() - 1; k > 0; --k) {
        s.mi.Undo(s.c);
        ASSERT_EQ(texts(), states[k - 1]) << k;
    }
    EXPECT_EQ(s.list.count(), 0);
    for (size_t k = 1; k < states.size(); ++k) {
        s.mi.Redo(s.c);
        ASSERT_EQ(texts(), states[k]) << k;
    }
    // Back before CLEAR: the items are the list's again, with their ids, so they can be dragged and deleted.
    s.mi.Undo(s.c);
    ASSERT_EQ(s.list.count(), 98);
    s.rightDrag(0, 0, 30, 0);
    EXPECT_EQ(s.value(0), "0.200");
    s.deleteRows({ 0 });
    EXPECT_EQ(s.list.count(), 97);
    EXPECT_EQ(s.session.history().redoSteps(), 0u); // a new change forgets what could be redone

    // Undone items follow the calibration chosen since.
    s.mi.Undo(s.c);
    s.session.calibration()[2] = calibration(UnitCm, 0.001, 0.001);
    s.session.selectCalibration(2, &s.picture);
    s.mi.Undo(s.c);
    EXPECT_EQ(s.text(0, ResultsModel::ColumnUnit), "cm");
    EXPECT_EQ(s.value(0), "0.01");
}

TEST(MeasureInteraction, TheOverlayTakesThePressBeforeTheTool)
{
    Scene s;
    s.scale.Visible = 1;
    s.scale.Type = ScaleBarXY;
    s.scale.Pos = { 300, 200 };
    s.scale.Size = { 1, 1 }; // 100 pixels at 0.01 mm per pixel
    s.scale.mppX = s.scale.mppY = 0.01;

    // The bar's line takes the press before the tool; the release still places the line's point.
    s.mi.SelectTool(ToolLine);
    EXPECT_EQ(s.mi.OnLButtonDown(s.at(250, 202), s.c).cursor, Qt::SizeAllCursor);
    EXPECT_EQ(s.current.pointCount, 0);
    s.mi.OnLButtonUp(s.at(250, 202), s.c);
    EXPECT_EQ(s.current.pointCount, 1);

    // Without a tool the move drags the bar.
    s.mi.SelectTool(ToolNone);
    s.mi.OnLButtonDown(s.at(250, 202), s.c);
    const InteractionEffects moved = s.mi.OnMouseMove(s.at(240, 230), s.c);
    EXPECT_EQ(moved.cursor, Qt::SizeAllCursor);
    EXPECT_TRUE(moved.repaint & RepaintView);
    s.mi.OnLButtonUp(s.at(240, 230), s.c);
    EXPECT_EQ(s.scale.Pos, (Point { 290, 230 }));
}

// With snapping on, every point a tool places (a line's press and release, a circle's clicks) goes to the
// edge the finder gives, asked within 8 screen pixels (4 picture pixels at x2); the last one is marked until
// another tool is chosen. Without it, points land where the pointer is.
TEST(MeasureInteraction, SnappingMovesPlacedPointsToTheEdgeFound)
{
    Scene s;
    s.c.geometry.zoomIndex = s.c.layout.zoomIndex = 2;
    std::vector<double> radii;
    s.c.snap = [&](MeasurePoint p, double radius) -> std::optional<MeasurePoint> {
        radii.push_back(radius);
        if (p.x > 150)
            return std::nullopt; // no edge over there
        return MeasurePoint { p.x + 0.25, p.y - 0.5 };
    };
    s.mi.SelectTool(ToolLine);
    s.drag(40, 50, 100, 50);
    ASSERT_EQ(s.list.count(), 1);
    const MeasureItem& line = *s.list.itemAt(0);
    EXPECT_DOUBLE_EQ(line.points[0].x, 40.25);
    EXPECT_DOUBLE_EQ(line.points[1].y, 49.5);
    ASSERT_TRUE(s.mi.lastSnap().has_value());
    EXPECT_DOUBLE_EQ(s.mi.lastSnap()->x, 100.25);
    EXPECT_EQ(radii, std::vector<double>({ 4.0, 4.0 }));

    s.mi.SelectTool(ToolCircle);
    EXPECT_FALSE(s.mi.lastSnap().has_value());
    s.click(160, 50); // nothing to snap to: the point stays
    EXPECT_DOUBLE_EQ(s.current.points[0].x, 160.0);
    s.c.snap = nullptr;
    s.click(60, 50);
    EXPECT_DOUBLE_EQ(s.current.points[1].x, 60.0);
}

namespace {

// The edge tools on pictures of known edges: a bar 42.25 px wide, a disc of radius 41.7, an edge at 20 degrees.
constexpr double kBarLeft = 200.3, kBarRight = 242.55;
constexpr PicturePoint kDiscCentre { 150.4, 140.2 };
constexpr double kDiscRadius = 41.7;
constexpr PicturePoint kEdgeThrough { 300.0, 150.0 };

void paintBar(DibImage& picture) { edgepic::bar(picture, 640, 480, kBarLeft, kBarRight, {}); }
void paintDisc(DibImage& picture) { edgepic::disc(picture, 640, 480, kDiscCentre, kDiscRadius, {}); }
// Rising 20 degrees to the right as seen: its normal points 70 degrees below the x axis in picture coordinates.
void paintSlope(DibImage& picture) { edgepic::straightEdge(picture, 640, 480, kEdgeThrough, 70.0 * M_PI / 180.0, {}); }

struct EdgeCase {
    const char* name;
    void (*paint)(DibImage&);
    int32_t tool;
    std::vector<MeasurePoint> points; // a press and a release, or three clicks
    const char* title;
    // The result in picture pixels (degrees for the line) from the item as placed; NaN for none.
    std::function<double(const MeasureItem&)> expected;
    double within;
};

} // namespace

TEST(MeasureInteraction, EdgeToolsMeasureWhatTheyFindInThePicture)
{
    const auto none = [](const MeasureItem&) { return std::nan(""); };
    const EdgeCase cases[] = {
        { "caliper across the bar: its width", paintBar, ToolCaliper, { { 180, 150 }, { 262, 150 } }, "Caliper width",
            [](const MeasureItem&) { return kBarRight - kBarLeft; }, 0.05 },
        { "caliper across one side: the edge's distance from the start", paintBar, ToolCaliper,
            { { 180, 150 }, { 220, 150 } }, "Edge position",
            [](const MeasureItem& item) { return kBarLeft - item.point(0).x; }, 0.05 },
        { "caliper over the flat ground: no result", paintBar, ToolCaliper, { { 20, 150 }, { 90, 150 } },
            "Caliper width", none, 0 },
        { "circle by edges on the disc", paintDisc, ToolEdgeCircle, { { 105, 140 }, { 150, 95 }, { 195, 140 } },
            "Edge circle diameter", [](const MeasureItem&) { return 2.0 * kDiscRadius; }, 0.1 },
        { "circle by edges off the disc: no result", paintDisc, ToolEdgeCircle,
            { { 320, 100 }, { 340, 80 }, { 360, 100 } }, "Edge circle diameter", none, 0 },
        { "line by edges along the slope", paintSlope, ToolEdgeLine, { { 244, 170 }, { 356, 130 } },
            "Edge line angle", [](const MeasureItem&) { return 20.0; }, 0.1 },
    };
    for (const EdgeCase& k : cases) {
        SCOPED_TRACE(k.name);
        Scene s;
        k.paint(s.picture);
        s.mi.SelectTool(k.tool);
        if (k.points.size() == 2)
            s.drag(k.points[0].x, k.points[0].y, k.points[1].x, k.points[1].y);
        else
            for (const MeasurePoint& p : k.points)
                s.click(p.x, p.y);
        ASSERT_EQ(s.list.count(), 1);
        EXPECT_EQ(s.mi.tool(), ToolNone);
        const MeasureItem& item = *s.list.begin();
        EXPECT_EQ(item.type, -k.tool);
        ASSERT_EQ(s.rows(), 1);
        EXPECT_EQ(s.text(0, ResultsModel::ColumnType), k.title);
        const double want = k.expected(item);
        const double factor = k.tool == ToolEdgeLine ? 1.0 : 0.01;
        if (std::isnan(want)) {
            // Kept, with an empty value the list and the CSV file both show.
            EXPECT_TRUE(std::isnan(item.result));
            const auto file = s.session.results().texts(TextUse::File);
            EXPECT_EQ(file[0][ResultsModel::ColumnValue], "");
            EXPECT_EQ(file[0][ResultsModel::ColumnUnit], "");
        } else {
            EXPECT_NEAR(item.result, want * factor, k.within * factor);
            EXPECT_FALSE(s.value(0).isEmpty());
        }
    }
}

// A right drag of a placed point searches again; undo and redo bring each search back; DELETE removes it.
TEST(MeasureInteraction, EdgeItemsSearchAgainWhenDraggedUndoneOrRedone)
{
    Scene s;
    paintBar(s.picture);
    s.mi.SelectTool(ToolCaliper);
    s.drag(180, 150, 220, 150);
    EXPECT_EQ(s.text(0, ResultsModel::ColumnType), "Edge position");
    s.rightDrag(220, 150, 262, 150);
    EXPECT_EQ(s.text(0, ResultsModel::ColumnType), "Caliper width");
    EXPECT_NEAR(s.list.begin()->result, (kBarRight - kBarLeft) * 0.01, 0.05 * 0.01);
    EXPECT_EQ(s.list.begin()->edges.size(), 2u);
    ASSERT_TRUE(s.session.undo(&s.picture));
    EXPECT_EQ(s.text(0, ResultsModel::ColumnType), "Edge position");
    ASSERT_TRUE(s.session.redo(&s.picture));
    EXPECT_EQ(s.text(0, ResultsModel::ColumnType), "Caliper width");

    // The ring dragged by its fitted centre follows the pointer and still finds the disc.
    paintDisc(s.picture);
    s.mi.SelectTool(ToolEdgeCircle);
    for (const MeasurePoint& p : std::vector<MeasurePoint> { { 108, 140 }, { 150, 98 }, { 192, 140 } })
        s.click(p.x, p.y);
    const MeasureItem& circle = *std::next(s.list.begin());
    ASSERT_TRUE(circle.edgeFound);
    const MeasurePoint c = circle.center1;
    s.rightDrag(c.x, c.y, c.x + 6, c.y - 4);
    EXPECT_NEAR(circle.center1.x, kDiscCentre.x, 0.1);
    EXPECT_NEAR(circle.center1.y, kDiscCentre.y, 0.1);
    EXPECT_NEAR(circle.point(1).x, 156.0, 1.0); // the points went along with the pointer

    s.deleteRows({ 0 });
    EXPECT_EQ(s.list.count(), 1);
    EXPECT_EQ(s.list.begin()->type, -ToolEdgeCircle);
}
