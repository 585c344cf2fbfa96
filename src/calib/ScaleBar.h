// The scale bar's arithmetic: its lengths in picture pixels, the five placements the scale dialog offers,
// and grabbing and dragging it with the mouse. The dialog, the hit test and the drawing all take the
// lengths from scaleBarLengths, so what is drawn is what can be grabbed.
#pragma once

#include <Qt>

#include <cstdint>
#include <optional>

#include "calib/ScaleData.h"

// Placements of the scale dialog's position combo.
enum ScalePlacement : int32_t {
    PlaceUpperLeft = 0,
    PlaceLowerLeft = 1,
    PlaceUpperRight = 2,
    PlaceLowerRight = 3,
    PlaceCenter = 4,
};

// Picture pixels between a corner placement and the picture's edge.
inline constexpr int32_t kScaleMargin = 50;

// size / mpp picture pixels, in double; nothing when that is not a finite number (a factor of 0 or NaN).
std::optional<double> scaleBarPixels(int32_t size, double mpp);

struct ScaleBarLengths {
    double horizontal = 0.0; // picture pixels left of Pos.x
    double vertical = 0.0; // picture pixels above Pos.y; 0 for an X bar
};

// The lengths of the bar as it is drawn and grabbed; nothing (no bar) when a length its type needs is not
// finite.
std::optional<ScaleBarLengths> scaleBarLengths(const ScaleData& s);

// The anchor for a placement of a bar of the given sizes on a width x height picture: the corners keep
// the bar's far ends (or its anchor) 50 pixels from the edges, the centre puts the anchor in the middle.
// A size without a finite length counts as no length, and the result always lies on the picture.
Point scalePlacement(int32_t placement, ::Size size, double mppX, double mppY, int32_t width, int32_t height);

// A left press at picture point (x, y): grabs the visible bar within 5 pixels of its horizontal line or,
// for an X-Y bar, of its vertical line. Returns the cursor to show on a grab, nothing otherwise.
std::optional<Qt::CursorShape> BeginScaleDrag(ScaleData& s, double x, double y);
// Moves a grabbed bar so that the grab point follows (x, y); false when no drag is under way.
bool DragScale(ScaleData& s, double x, double y);
void EndScaleDrag(ScaleData& s);
