// Which part of the skin sheets each button shows, where the pressed and active-tool dots go, and how the
// background tile covers the window. Plain arithmetic, kept apart from the widgets that draw it.
#pragma once

#include "imaging/Rect.h"

// Button sheet: 8 columns x 6 rows of 50 x 53 cells; columns 4-7 repeat columns 0-3 in the disabled look.
constexpr int kButtonCellWidth = 50;
constexpr int kButtonCellHeight = 53;
constexpr int kDisabledOffsetX = 200;
constexpr int kButtonSheetWidth = 400;
constexpr int kButtonSheetHeight = 318;
// Corner sheet: arrows right, left, down, up, 13 x 13 each.
constexpr int kArrowCell = 13;
constexpr int kArrowSheetWidth = 52;
constexpr int kBackgroundTile = 200;

// Resource ids of the three sheets.
constexpr int kSkinButtonsId = 157;
constexpr int kSkinBackgroundId = 158;
constexpr int kSkinArrowsId = 159;

// The window state a button's picture depends on.
struct SkinState {
    bool liveStopped = false;
    bool saveOverlay = false;
    bool panelShown = true;
    bool stripShown = true;
    int activeTool = 0; // MeasureTool code, 0 when none
    bool recording = false;
};

struct SkinCell {
    enum Sheet { None, Buttons, Arrows } sheet = None;
    Rect source; // in the sheet
};

// The cell control id shows; disabled buttons take the disabled column (corner buttons are never disabled).
SkinCell ButtonCell(int controlId, const SkinState& state, bool enabled);

// The measurement tool a button chooses (1..6), or 0.
int ToolOfButton(int controlId);

// The box of the red (pressed) or green (active tool) dot, in button coordinates.
constexpr Rect kDotRect { 1, 41, 12, 51 };
constexpr bool ShowsPressedDot(const SkinCell& cell, bool pressed)
{
    return cell.sheet == SkinCell::Buttons && pressed;
}
bool ShowsToolDot(int controlId, const SkinCell& cell, int activeTool);

// Number of background tiles across and down that cover a client area (one each for a tile without size).
struct TileGrid {
    int columns = 1;
    int rows = 1;
};
TileGrid BackgroundTiles(int clientWidth, int clientHeight, int tileWidth, int tileHeight);
