// Which skin cell each button shows, the dots, and the background tiling.
#include <gtest/gtest.h>

#include "app/DialogTemplate.h"
#include "app/SkinCells.h"

namespace {
Rect cellAt(int x, int y)
{
    return { x, y, x + kButtonCellWidth, y + kButtonCellHeight };
}
} // namespace

TEST(SkinCells, FixedCellsAndDisabledColumn)
{
    const SkinState s;
    EXPECT_EQ(ButtonCell(IDC_LINE, s, true).source, cellAt(0, 0));
    EXPECT_EQ(ButtonCell(IDC_LINE, s, false).source, cellAt(200, 0)); // the disabled look
    EXPECT_EQ(ButtonCell(IDC_SAVE, s, true).source, cellAt(150, 106));
    EXPECT_EQ(ButtonCell(IDC_WB, s, false).source, cellAt(350, 211));
    EXPECT_EQ(ButtonCell(IDC_SCALE, s, true).source, cellAt(0, 264));
    EXPECT_EQ(ButtonCell(IDC_ZOOM, s, true).sheet, SkinCell::None); // not a skinned button

    // Every skinned button of the template has a cell inside the sheet's enabled half.
    for (const ControlTemplate& t : MainDialogControls()) {
        if (t.kind != ControlKind::SkinButton)
            continue;
        const SkinCell c = ButtonCell(t.id, s, true);
        ASSERT_NE(c.sheet, SkinCell::None) << t.id;
        const int sheetW = c.sheet == SkinCell::Buttons ? kDisabledOffsetX : kArrowSheetWidth;
        const int sheetH = c.sheet == SkinCell::Buttons ? kButtonSheetHeight : kArrowCell;
        EXPECT_TRUE(c.source.left >= 0 && c.source.right <= sheetW && c.source.bottom <= sheetH) << t.id;
    }
}

TEST(SkinCells, StateDependentCells)
{
    SkinState s;
    EXPECT_EQ(ButtonCell(IDC_LIVE, s, true).source, cellAt(0, 53));
    s.liveStopped = true;
    EXPECT_EQ(ButtonCell(IDC_LIVE, s, true).source, cellAt(50, 53));
    EXPECT_EQ(ButtonCell(IDC_TYPE, s, true).source, cellAt(100, 159));
    s.saveOverlay = true;
    EXPECT_EQ(ButtonCell(IDC_TYPE, s, true).source, cellAt(150, 159));
}

TEST(SkinCells, CornerArrows_FollowPanelsAndNeverLookDisabled)
{
    SkinState s;
    EXPECT_EQ(ButtonCell(IDC_PANEL_TOGGLE, s, true).source, (Rect { 0, 0, 13, 13 })); // arrow right
    EXPECT_EQ(ButtonCell(IDC_STRIP_TOGGLE, s, true).source, (Rect { 26, 0, 39, 13 })); // arrow down
    s.panelShown = false;
    s.stripShown = false;
    EXPECT_EQ(ButtonCell(IDC_PANEL_TOGGLE, s, false).source, (Rect { 13, 0, 26, 13 })); // arrow left
    EXPECT_EQ(ButtonCell(IDC_STRIP_TOGGLE, s, false).source, (Rect { 39, 0, 52, 13 })); // arrow up
    EXPECT_EQ(ButtonCell(IDC_PANEL_TOGGLE, s, true).sheet, SkinCell::Arrows);
}

TEST(SkinCells, Dots_PressedOnButtonSheetOnly_GreenOnActiveToolOnly)
{
    const SkinState s;
    const SkinCell save = ButtonCell(IDC_SAVE, s, true);
    EXPECT_TRUE(ShowsPressedDot(save, true));
    EXPECT_FALSE(ShowsPressedDot(save, false));
    EXPECT_FALSE(ShowsPressedDot(ButtonCell(IDC_PANEL_TOGGLE, s, true), true));

    // Area tool active: ARIA carries the dot, LINE and the other buttons none.
    const int area = 2;
    EXPECT_TRUE(ShowsToolDot(IDC_ARIA, ButtonCell(IDC_ARIA, s, true), area));
    EXPECT_FALSE(ShowsToolDot(IDC_LINE, ButtonCell(IDC_LINE, s, true), area));
    EXPECT_FALSE(ShowsToolDot(IDC_SAVE, save, area));
    EXPECT_FALSE(ShowsToolDot(IDC_ARIA, ButtonCell(IDC_ARIA, s, true), 0));
    // The edge tools show on the button whose menu offers them: caliper and edge line on LINE, edge circle on CIRCLE.
    EXPECT_TRUE(ShowsToolDot(IDC_LINE, ButtonCell(IDC_LINE, s, true), 7));
    EXPECT_TRUE(ShowsToolDot(IDC_LINE, ButtonCell(IDC_LINE, s, true), 9));
    EXPECT_TRUE(ShowsToolDot(IDC_CIRCLE, ButtonCell(IDC_CIRCLE, s, true), 8));
    EXPECT_FALSE(ShowsToolDot(IDC_CIRCLE, ButtonCell(IDC_CIRCLE, s, true), 7));
    const int tools[] = { IDC_LINE, IDC_ARIA, IDC_CIRCLE, IDC_CIRCLE2, IDC_SUI, IDC_ANGLE };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ToolOfButton(tools[i]), i + 1);
}

TEST(SkinCells, BackgroundTiles_CoverTheClientArea)
{
    const TileGrid g = BackgroundTiles(640, 480, 200, 200);
    EXPECT_EQ(g.columns, 4);
    EXPECT_EQ(g.rows, 3);
    EXPECT_GE(g.columns * 200, 640);
    EXPECT_GE(g.rows * 200, 480);
    const TileGrid exact = BackgroundTiles(400, 200, 200, 200); // one spare column and row, as always
    EXPECT_EQ(exact.columns, 3);
    EXPECT_EQ(exact.rows, 2);
    const TileGrid empty = BackgroundTiles(640, 480, 0, 0);
    EXPECT_EQ(empty.columns, 1);
    EXPECT_EQ(empty.rows, 1);
}
