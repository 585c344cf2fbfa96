// The main window's template: its controls with their identifiers, kinds, English and Japanese texts and
// rectangles in dialog units, the conversion of dialog units to pixels, and the right-edge margins the
// controls keep when the window is resized.
#pragma once

#include <QStringList>

#include <span>

#include "imaging/Rect.h"
#include "ui/DialogUnits.h"

enum MainControlId : int {
    IDC_VIEW = 1072,
    IDC_GROUP_LOAD = 1100,
    IDC_LIVE = 1130,
    IDC_SAVE = 1087,
    IDC_DIR = 1088,
    IDC_SET = 1132,
    IDC_TYPE = 1131,
    IDC_THUMB = 1133,
    IDC_WB = 1122,
    IDC_ZOOM = 1099,
    IDC_GROUP_MEASURE = 1111,
    IDC_LINE = 1018,
    IDC_ARIA = 1113,
    IDC_CIRCLE = 1114,
    IDC_CIRCLE2 = 1115,
    IDC_SUI = 1120,
    IDC_ANGLE = 1121,
    IDC_DELETE = 1119,
    IDC_CLEAR = 1116,
    IDC_COLOR = 1117,
    IDC_CALIB = 1124,
    IDC_CSV = 1127,
    IDC_CALIB_LABEL = 1126,
    IDC_CALIB_COMBO = 1125,
    IDC_RESULTS = 1118,
    IDC_STRIP = 1129,
    IDC_STRIP_SCROLL = 1074,
    IDC_SCALE = 1128,
    IDC_STRIP_TOGGLE = 1123,
    IDC_PANEL_TOGGLE = 1134,
    IDC_QUICK = 1135,
    IDC_REC = 1136,
    IDC_SNAP = 1137,
    IDC_PEAKING = 1138,
    IDC_STACK = 1139,
    IDC_RETICLE = 1140,
    IDC_GRID = 1141,
    IDC_REFERENCE = 1142,
};

enum class ControlKind { Frame, GroupBox, SkinButton, DropDownList, StaticText, ListView, HScrollBar, CheckBox, PushButton };

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* english;
    const char* japanese; // UTF-8
    int x, y, width, height; // dialog units
};

// The controls in template order.
std::span<const ControlTemplate> MainDialogControls();
const ControlTemplate* FindControl(int id);

// The control's rectangle in pixels (client coordinates).
Rect ControlPixelRect(const ControlTemplate& control);
// The template's client size in dialog units (the Japanese template is one unit narrower).
constexpr int kDialogWidthEnglish = 559;
constexpr int kDialogWidthJapanese = 558;
constexpr int kDialogHeight = 435;

// Distance from the client area's right edge to the control's right edge; -1 for controls that stay put.
int RightMargin(int id);

// Texts of the zoom combo, index 0 (fit) to 5 (x16).
QStringList ZoomTexts(bool japanese);

// The caption the window shows until the first status tick.
inline constexpr const char* kCaption = "NX-QB740LE Version 1.510";
