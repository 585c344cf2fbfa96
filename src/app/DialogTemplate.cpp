// The main window's template table.
#include "app/DialogTemplate.h"

namespace {

using K = ControlKind;

constexpr ControlTemplate kControls[] = {
    { IDC_VIEW, K::Frame, "", "", 7, 6, 417, 308 },
    { IDC_GROUP_LOAD, K::GroupBox, "Load image", "画像取り込み", 441, 6, 110, 167 },
    { IDC_LIVE, K::SkinButton, "LIVE", "ライブ映像", 448, 20, 29, 30 },
    { IDC_SAVE, K::SkinButton, "SAVE", "画像保存", 483, 20, 29, 30 },
    { IDC_DIR, K::SkinButton, "DIR", "保存先指定", 518, 20, 29, 30 },
    { IDC_SET, K::SkinButton, "SET", "カメラ設定", 448, 55, 29, 30 },
    { IDC_TYPE, K::SkinButton, "TYPE", "保存形式", 483, 55, 29, 30 },
    { IDC_THUMB, K::SkinButton, "THUMB", "サムネイル", 518, 55, 29, 30 },
    { IDC_WB, K::SkinButton, "WB", "WB", 448, 90, 29, 30 },
    { IDC_QUICK, K::SkinButton, "QUICK", "クイック保存", 483, 90, 29, 30 },
    { IDC_REC, K::SkinButton, "REC", "録画", 518, 90, 29, 30 },
    { IDC_SNAP, K::CheckBox, "Snap", "吸着", 448, 126, 29, 10 },
    { IDC_ZOOM, K::DropDownList, "", "", 497, 124, 50, 74 },
    { IDC_PEAKING, K::CheckBox, "Peaking", "ピーキング", 448, 140, 45, 10 },
    { IDC_STACK, K::PushButton, "Stack", "スタック", 497, 138, 50, 13 },
    { IDC_RETICLE, K::CheckBox, "Reticle", "十字線", 444, 154, 33, 10 },
    { IDC_GRID, K::CheckBox, "Grid", "格子", 477, 154, 26, 10 },
    { IDC_REFERENCE, K::CheckBox, "Reference", "参照画像", 503, 154, 47, 10 },
    { IDC_GROUP_MEASURE, K::GroupBox, "Instrumental", "計測", 441, 180, 110, 123 },
    { IDC_LINE, K::SkinButton, "LINE", "二点間距離", 448, 194, 29, 30 },
    { IDC_ARIA, K::SkinButton, "ARIA", "多角形面積", 483, 194, 29, 30 },
    { IDC_CIRCLE, K::SkinButton, "CIRCLE", "円直径", 518, 194, 29, 30 },
    { IDC_CIRCLE2, K::SkinButton, "CIRCLE2", "２円間距離", 448, 229, 29, 30 },
    { IDC_SUI, K::SkinButton, "SUI", "垂線", 483, 229, 29, 30 },
    { IDC_ANGLE, K::SkinButton, "ANGLE", "角度", 518, 229, 29, 30 },
    { IDC_DELETE, K::SkinButton, "DELETE", "リスト削除", 483, 264, 29, 30 },
    { IDC_CLEAR, K::SkinButton, "CLEAR", "リスト全削除", 518, 264, 29, 30 },
    { IDC_COLOR, K::SkinButton, "COLOR", "色設定", 448, 310, 29, 30 },
    { IDC_CALIB, K::SkinButton, "CALIB", "設定", 483, 310, 29, 30 },
    { IDC_CSV, K::SkinButton, "CSV", "保存", 448, 264, 29, 30 },
    { IDC_CALIB_LABEL, K::StaticText, "Calibration value", "校正値", 467, 354, 22, 8 },
    { IDC_CALIB_COMBO, K::DropDownList, "", "", 498, 351, 48, 65 },
    { IDC_RESULTS, K::ListView, "", "", 443, 375, 108, 69 },
    { IDC_STRIP, K::GroupBox, "", "", 7, 318, 418, 83 },
    { IDC_STRIP_SCROLL, K::HScrollBar, "", "", 7, 389, 417, 11 },
    { IDC_SCALE, K::SkinButton, "Scale", "スケール", 518, 310, 29, 30 },
    { IDC_STRIP_TOGGLE, K::SkinButton, "", "", 0, 400, 7, 7 },
    { IDC_PANEL_TOGGLE, K::SkinButton, "", "", 551, 0, 7, 7 },
};

struct Margin {
    int id;
    int margin;
};

constexpr Margin kMargins[] = {
    { IDC_PANEL_TOGGLE, 0 },
    { IDC_GROUP_LOAD, 11 },
    { IDC_GROUP_MEASURE, 11 },
    { IDC_DIR, 20 },
    { IDC_REC, 20 },
    { IDC_THUMB, 20 },
    { IDC_ZOOM, 20 },
    { IDC_STACK, 20 },
    { IDC_REFERENCE, 16 },
    { IDC_GRID, 97 },
    { IDC_RETICLE, 143 },
    { IDC_CIRCLE, 20 },
    { IDC_ANGLE, 20 },
    { IDC_CLEAR, 20 },
    { IDC_SCALE, 20 },
    { IDC_CALIB_COMBO, 22 },
    { IDC_SAVE, 82 },
    { IDC_QUICK, 82 },
    { IDC_TYPE, 82 },
    { IDC_ARIA, 82 },
    { IDC_SUI, 82 },
    { IDC_DELETE, 82 },
    { IDC_CALIB, 82 },
    { IDC_CALIB_LABEL, 122 },
    { IDC_LIVE, 143 },
    { IDC_SNAP, 143 },
    { IDC_PEAKING, 115 },
    { IDC_SET, 143 },
    { IDC_WB, 143 },
    { IDC_LINE, 143 },
    { IDC_CIRCLE2, 143 },
    { IDC_COLOR, 143 },
    { IDC_CSV, 143 },
};

} // namespace

std::span<const ControlTemplate> MainDialogControls()
{
    return kControls;
}

const ControlTemplate* FindControl(int id)
{
    for (const ControlTemplate& c : kControls)
        if (c.id == id)
            return &c;
    return nullptr;
}

Rect ControlPixelRect(const ControlTemplate& c)
{
    const int left = DialogUnitsToPixelsX(c.x);
    const int top = DialogUnitsToPixelsY(c.y);
    return { left, top, left + DialogUnitsToPixelsX(c.width), top + DialogUnitsToPixelsY(c.height) };
}

int RightMargin(int id)
{
    for (const Margin& m : kMargins)
        if (m.id == id)
            return m.margin;
    return -1;
}

QStringList ZoomTexts(bool japanese)
{
    if (japanese)
        return { "全画面表示", "１倍", "２倍", "４倍", "８倍", "16倍" };
    return { "full-screen", "x1", "x2", "x4", "x8", "x16" };
}
