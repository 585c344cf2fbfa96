// The skin sheets' cell table.
#include "app/SkinCells.h"

#include "app/DialogTemplate.h"

namespace {

struct FixedCell {
    int id;
    int x, y;
};

constexpr FixedCell kCells[] = {
    { IDC_LINE, 0, 0 },
    { IDC_ARIA, 50, 0 },
    { IDC_CIRCLE, 100, 0 },
    { IDC_CIRCLE2, 150, 0 },
    { IDC_COLOR, 100, 53 },
    { IDC_CALIB, 150, 53 },
    { IDC_DELETE, 0, 106 },
    { IDC_CLEAR, 50, 106 },
    { IDC_CSV, 100, 106 },
    { IDC_SAVE, 150, 106 },
    { IDC_DIR, 0, 159 },
    { IDC_SET, 50, 159 },
    { IDC_THUMB, 0, 211 },
    { IDC_SUI, 50, 211 },
    { IDC_ANGLE, 100, 211 },
    { IDC_WB, 150, 211 },
    { IDC_SCALE, 0, 264 },
    { IDC_QUICK, 50, 264 },
};

struct ToolButton {
    int id;
    int tool;
};

constexpr ToolButton kTools[] = {
    { IDC_LINE, 1 },
    { IDC_ARIA, 2 },
    { IDC_CIRCLE, 3 },
    { IDC_CIRCLE2, 4 },
    { IDC_SUI, 5 },
    { IDC_ANGLE, 6 },
};

SkinCell buttonAt(int x, int y, bool enabled)
{
    if (!enabled)
        x += kDisabledOffsetX;
    return { SkinCell::Buttons, { x, y, x + kButtonCellWidth, y + kButtonCellHeight } };
}

SkinCell arrowAt(int x)
{
    return { SkinCell::Arrows, { x, 0, x + kArrowCell, kArrowCell } };
}

} // namespace

SkinCell ButtonCell(int controlId, const SkinState& state, bool enabled)
{
    switch (controlId) {
    case IDC_LIVE:
        return buttonAt(state.liveStopped ? 50 : 0, 53, enabled);
    case IDC_TYPE:
        return buttonAt(state.saveOverlay ? 150 : 100, 159, enabled);
    case IDC_REC:
        return buttonAt(state.recording ? 150 : 100, 264, enabled);
    case IDC_PANEL_TOGGLE:
        return arrowAt(state.panelShown ? 0 : 13);
    case IDC_STRIP_TOGGLE:
        return arrowAt(state.stripShown ? 26 : 39);
    default:
        break;
    }
    for (const FixedCell& c : kCells)
        if (c.id == controlId)
            return buttonAt(c.x, c.y, enabled);
    return {};
}

int ToolOfButton(int controlId)
{
    for (const ToolButton& t : kTools)
        if (t.id == controlId)
            return t.tool;
    return 0;
}

bool ShowsToolDot(int controlId, const SkinCell& cell, int activeTool)
{
    // The edge tools are reached from the plain tool they refine: its button shows them active.
    constexpr ToolButton kVariants[] = { { IDC_LINE, 7 }, { IDC_CIRCLE, 8 }, { IDC_LINE, 9 } };
    bool variant = false;
    for (const ToolButton& v : kVariants)
        variant |= v.id == controlId && v.tool == activeTool;
    return cell.sheet == SkinCell::Buttons && activeTool > 0 && (ToolOfButton(controlId) == activeTool || variant);
}

TileGrid BackgroundTiles(int clientWidth, int clientHeight, int tileWidth, int tileHeight)
{
    TileGrid grid;
    if (tileWidth > 0)
        grid.columns = clientWidth / tileWidth + 1;
    if (tileHeight > 0)
        grid.rows = clientHeight / tileHeight + 1;
    return grid;
}
