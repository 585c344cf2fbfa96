// Fitting the calibration frame: which grab spot a press takes, symmetric resizing with its 40-pixel
// minimum, moving, and the drag ending on the entry it started on.
#include <gtest/gtest.h>

#include "calib/CalibFrameDrag.h"
#include "calib/CalibTable.h"

namespace {

CalibEntry frame(double left, double top, double right, double bottom)
{
    CalibEntry e;
    e.left = left;
    e.top = top;
    e.right = right;
    e.bottom = bottom;
    return e;
}

} // namespace

TEST(CalibFrameDrag, PressPicksCentreThenTopBottomLeftRight)
{
    struct Case {
        double x, y;
        int32_t mode;
        std::optional<Qt::CursorShape> cursor;
    };
    // The default frame (0, 0)-(200, 200): spots at its centre (100, 100) and edge middles.
    const Case cases[] = {
        { 100, 100, 1, Qt::SizeAllCursor },
        { 105, 2, 2, Qt::SizeVerCursor },
        { 95, 205, 3, Qt::SizeVerCursor },
        { -3, 100, 4, Qt::SizeHorCursor },
        { 209, 91, 5, Qt::SizeHorCursor },
        { 50, 50, 0, std::nullopt },
        // A value lies near p within [p - 10, p + 10): 10 below the edge still hits, 10 above does not.
        { 110, 100, 1, Qt::SizeAllCursor },
        { 90, 100, 0, std::nullopt },
    };
    for (const Case& c : cases) {
        CalibEntry e = frame(0, 0, 200, 200);
        CalibFrameDrag drag;
        EXPECT_EQ(drag.BeginFrameDrag(e, c.x, c.y), c.cursor) << c.x << ", " << c.y;
        EXPECT_EQ(e.dragMode, c.mode) << c.x << ", " << c.y;
        EXPECT_EQ(drag.dragging(), c.mode != 0);
    }
    // A frame so low that the centre band covers the top edge: the centre wins.
    CalibEntry low = frame(0, 0, 40, 16);
    CalibFrameDrag drag;
    EXPECT_EQ(drag.BeginFrameDrag(low, 20, 2), Qt::SizeAllCursor);
    EXPECT_EQ(low.dragMode, 1);
}

TEST(CalibFrameDrag, EdgesResizeSymmetricallyAboutTheCentre)
{
    CalibEntry e = frame(0, 0, 200, 200);
    CalibFrameDrag drag;
    ASSERT_TRUE(drag.BeginFrameDrag(e, 200, 100));
    const FrameDragStep step = drag.DragFrame(215, 130); // right edge 15 to the right: 30 wider
    EXPECT_TRUE(step.dragging);
    EXPECT_TRUE(step.edgeMoved);
    EXPECT_EQ(step.cursor, Qt::SizeHorCursor);
    EXPECT_EQ(e.left, -15.0);
    EXPECT_EQ(e.right, 215.0);
    EXPECT_EQ(e.top, 0.0); // the other axis stays
    EXPECT_EQ(e.bottom, 200.0);
    EXPECT_EQ(e.dragAnchorX, 215.0);

    drag.EndFrameDrag();
    ASSERT_TRUE(drag.BeginFrameDrag(e, 100, 0));
    drag.DragFrame(100, -20); // top edge up by 20: 40 taller
    EXPECT_EQ(e.top, -20.0);
    EXPECT_EQ(e.bottom, 220.0);
}

TEST(CalibFrameDrag, NeverNarrowerThan40)
{
    // 45 wide, narrowed by a 10-pixel step: 25, at once re-centred to 40.
    CalibEntry e = frame(100, 0, 145, 200);
    CalibFrameDrag drag;
    ASSERT_TRUE(drag.BeginFrameDrag(e, 145, 100));
    EXPECT_TRUE(drag.DragFrame(135, 100).edgeMoved);
    EXPECT_DOUBLE_EQ(e.right - e.left, 40.0);
    EXPECT_DOUBLE_EQ(e.left + e.right, 245.0); // centre kept at 122.5

    // At the minimum a narrowing step does not move the edge (nor the anchor); widening still does.
    const FrameDragStep stuck = drag.DragFrame(125, 100);
    EXPECT_FALSE(stuck.edgeMoved);
    EXPECT_EQ(stuck.cursor, Qt::SizeHorCursor);
    EXPECT_DOUBLE_EQ(e.right - e.left, 40.0);
    EXPECT_EQ(e.dragAnchorX, 135.0);
    EXPECT_TRUE(drag.DragFrame(140, 100).edgeMoved);
    EXPECT_DOUBLE_EQ(e.right - e.left, 50.0);

    // A frame that came too small from the settings file is brought to 40 x 40 by the first step.
    CalibEntry tiny = frame(10, 10, 20, 30);
    ASSERT_TRUE(drag.BeginFrameDrag(tiny, 15, 20));
    drag.DragFrame(15, 20);
    EXPECT_DOUBLE_EQ(tiny.right - tiny.left, 40.0);
    EXPECT_DOUBLE_EQ(tiny.bottom - tiny.top, 40.0);
    EXPECT_DOUBLE_EQ(tiny.left + tiny.right, 30.0);
}

TEST(CalibFrameDrag, MoveShiftsTheWholeFrame)
{
    CalibEntry e = frame(0, 0, 200, 200);
    CalibFrameDrag drag;
    ASSERT_TRUE(drag.BeginFrameDrag(e, 100, 100));
    const FrameDragStep step = drag.DragFrame(130, 90);
    EXPECT_FALSE(step.edgeMoved); // the size, and so the factors, stay
    EXPECT_EQ(step.cursor, Qt::SizeAllCursor);
    EXPECT_EQ(e.left, 30.0);
    EXPECT_EQ(e.right, 230.0);
    EXPECT_EQ(e.top, -10.0);
    EXPECT_EQ(e.bottom, 190.0);
    drag.DragFrame(131, 91);
    EXPECT_EQ(e.left, 31.0);
}

TEST(CalibFrameDrag, DragEndsOnTheEntryItStartedOn)
{
    CalibTable table;
    CalibFrameDrag drag;
    ASSERT_TRUE(drag.BeginFrameDrag(table[0], 100, 100));
    // The selection moves to another entry while the button is held: moves and release stay with entry 0.
    drag.DragFrame(110, 100);
    EXPECT_EQ(table[0].left, 10.0);
    EXPECT_EQ(table[3].left, 0.0);
    drag.EndFrameDrag();
    EXPECT_EQ(table[0].dragMode, 0);
    EXPECT_FALSE(drag.dragging());
    EXPECT_FALSE(drag.DragFrame(150, 150).dragging);
    EXPECT_EQ(table[0].left, 10.0);

    // A second press without a release in between leaves no entry dragging but the new one.
    ASSERT_TRUE(drag.BeginFrameDrag(table[1], 100, 100));
    ASSERT_TRUE(drag.BeginFrameDrag(table[2], 200, 100));
    EXPECT_EQ(table[1].dragMode, 0);
    EXPECT_EQ(table[2].dragMode, 5);
}
