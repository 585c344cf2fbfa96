// Where the picture lies in the view: the view rectangle, the zoom and the scroll offsets, and the size of the
// picture they apply to. A composed view picture carries the geometry it was composed with, and whatever is
// drawn over it or mapped from the mouse uses that same geometry.
#pragma once

#include <cstdint>

#include "imaging/Rect.h"

// The magnification of zoom index z: 2, 4, 8, 16, 32 or 64 for z = 2 to 7, otherwise 1 (fit counts as 1).
constexpr int32_t ZoomFactor(int32_t zoomIndex) { return zoomIndex >= 2 && zoomIndex <= 7 ? 1 << (zoomIndex - 1) : 1; }

struct ViewGeometry {
    Rect view;                // the view area in window (client) coordinates
    int32_t zoomIndex = 1;    // 0 fits the picture to the view, 1..7 magnify 1x..64x
    double baiX = 0.0;        // scroll offsets in picture pixels, never above 0
    double baiY = 0.0;
    int32_t imageWidth = 0;   // the picture in use
    int32_t imageHeight = 0;

    constexpr int32_t factor() const { return ZoomFactor(zoomIndex); }

    friend constexpr bool operator==(const ViewGeometry&, const ViewGeometry&) = default;
};
