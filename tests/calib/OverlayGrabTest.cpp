// The left button over what is drawn on the picture: the calibration frame takes a press before the scale
// bar, each move drags the one grabbed, the release ends both; the bar is grabbed on its lines only.
#include <gtest/gtest.h>

#include "calib/CalibFrameDrag.h"
#include "calib/OverlayGrab.h"

namespace {

// An X-Y bar of 100 x 100 picture pixels whose corner is at (300, 200).
ScaleData bar()
{
    ScaleData s;
    s.Visible = 1;
    s.Type = ScaleBarXY;
    s.Pos = { 300, 200 };
    s.Size = { 1, 1 };
    s.mppX = s.mppY = 0.01;
    return s;
}

} // namespace

TEST(OverlayGrab, TheFrameTakesThePressBeforeTheBar_AndItsDragEndsOnTheEntryThatStartedIt)
{
    ScaleData scale = bar();
    scale.Pos = { 150, 100 }; // its horizontal line runs through the frame's centre (100, 100)
    OverlayGrab grab(scale);
    CalibFrameDrag frames;
    CalibEntry first, second;
    CalibEntry* selected = &first;
    FrameDragHooks hooks;
    hooks.begin = [&](double x, double y) { return frames.BeginFrameDrag(*selected, x, y); };
    hooks.drag = [&](double x, double y) { return frames.DragFrame(x, y); };
    hooks.end = [&] { frames.EndFrameDrag(); };

    EXPECT_EQ(grab.press(hooks, 100, 100), Qt::SizeAllCursor);
    EXPECT_EQ(scale.scaleDragActive, 0);
    selected = &second; // another calibration chosen while dragging
    EXPECT_EQ(grab.drag(hooks, 120, 110), Qt::SizeAllCursor);
    grab.release(hooks);
    EXPECT_EQ(first.dragMode, 0);
    EXPECT_DOUBLE_EQ(first.left, 20);
    EXPECT_DOUBLE_EQ(second.left, 0);
    EXPECT_FALSE(frames.dragging());
    EXPECT_EQ(scale.Pos, (Point { 150, 100 }));

    // With the calibration dialog closed the bar takes the same press.
    EXPECT_EQ(grab.press({}, 100, 100), Qt::SizeAllCursor);
    EXPECT_EQ(grab.drag({}, 100, 120), Qt::SizeAllCursor);
    grab.release({});
    EXPECT_EQ(scale.Pos, (Point { 150, 120 }));
    EXPECT_EQ(scale.scaleDragActive, 0);
}

TEST(OverlayGrab, TheScaleBarIsGrabbedOnItsLines_NeverWithAFactorOfZero)
{
    ScaleData scale = bar();
    OverlayGrab grab(scale);
    const FrameDragHooks none;
    // Each case starts where the one before left the bar.
    struct Case {
        double mppX;
        double x, y, toX, toY; // the press and the move
        std::optional<Qt::CursorShape> cursor;
        Point pos; // the bar's corner after the release
    };
    const Case cases[] = {
        { 0.01, 250, 202, 240, 230, Qt::SizeAllCursor, { 290, 230 } }, // the horizontal line: its y follows
        { 0.01, 291, 180, 281, 170, Qt::SizeAllCursor, { 281, 220 } }, // the vertical line: its x follows
        // An uncalibrated factor gives a bar of no finite length: nothing to grab, the move does not drag.
        { 0.0, 250, 220, 100, 100, std::nullopt, { 281, 220 } },
    };
    for (const Case& c : cases) {
        scale.mppX = c.mppX;
        EXPECT_EQ(grab.press(none, c.x, c.y), c.cursor) << c.x;
        EXPECT_EQ(grab.drag(none, c.toX, c.toY).has_value(), c.cursor.has_value()) << c.x;
        grab.release(none);
        EXPECT_EQ(scale.Pos, c.pos) << c.x;
        EXPECT_EQ(scale.scaleDragActive, 0) << c.x;
    }
}
