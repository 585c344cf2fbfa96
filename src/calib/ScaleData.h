// The scale bar: what the settings file keeps of it (shown, type, anchor, sizes, two stored scales) and
// what the program fills in while it runs (the selected calibration's unit and factors, the drag state).
#pragma once

#include <cstdint>

#include "calib/CalibEntry.h"
#include "imaging/Rect.h"

// Bar types.
enum ScaleType : int32_t { ScaleBarX = 0, ScaleBarXY = 1 };

struct ScaleData {
    int32_t Visible = 0;
    int32_t Type = ScaleBarX;
    int32_t unit = UnitCm; // the selected calibration's unit, copied by the recalculation
    Point Pos { 2048 - 50, 1536 - 50 }; // picture pixels: right end of the horizontal bar, foot of the vertical one
    ::Size Size { 10, 10 }; // real lengths of the horizontal and the vertical bar, in unit
    struct {
        double x = 10.0;
    } Scale; // stored with the settings; nothing else reads it
    double Scalexy = 10.0; // likewise
    double mppX = 0.05; // the selected calibration's units per pixel, copied by the recalculation
    double mppY = 0.05;

    // Dragging the bar with the mouse: the grab point's offset from Pos while a drag is under way.
    int32_t scaleDragActive = 0;
    int32_t scaleGrabX = 0;
    int32_t scaleGrabY = 0;
};
