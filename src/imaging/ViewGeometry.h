// Where the picture lies in the view: the view rectangle, the zoom and the scroll offsets, and the size of the
// picture they apply to; and the one mapping between picture and view that the view picture, everything drawn
// over it and the mouse share. A composed view picture carries the geometry it was composed with.
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
    // Device pixels per window pixel, 1 or 2 (a screen scaled to 200 %). The view picture is composed at device
    // pixels, so the zoom factor counts device pixels: x1 shows one picture pixel per device pixel.
    int32_t devicePixelRatio = 1;

    constexpr int32_t factor() const { return ZoomFactor(zoomIndex); }
    // Window pixels per picture pixel when magnified (one half at x1 on a 200 % screen); exact in binary.
    constexpr double magnification() const { return double(factor()) / devicePixelRatio; }
    // The view's size in device pixels: the composed picture's size.
    constexpr int32_t deviceWidth() const { return view.width() * devicePixelRatio; }
    constexpr int32_t deviceHeight() const { return view.height() * devicePixelRatio; }

    friend constexpr bool operator==(const ViewGeometry&, const ViewGeometry&) = default;
};

// The whole device pixel ratio the view is composed at for a screen's ratio: 2 from 200 % on, otherwise 1.
// Rounded down, so the painter only ever enlarges the view picture: x1 never drops a camera pixel (at 150 %
// each covers one or two device pixels).
constexpr int32_t WholeDevicePixelRatio(double ratio) { return ratio >= 1.99 ? 2 : 1; }

// A point in picture pixels: origin at the top-left pixel, y growing downwards, fractions kept.
struct PicturePoint {
    double x = 0.0;
    double y = 0.0;
    friend constexpr bool operator==(const PicturePoint&, const PicturePoint&) = default;
};

// Scale and offset from picture pixels to view pixels (origin at the view's top-left corner).
struct ViewScale {
    double sx = 1.0;
    double sy = 1.0;
    double offsetX = 0.0; // added to a picture coordinate before scaling
    double offsetY = 0.0;
};

// The picture point under window point (wx, wy); not rounded. A view without width or height maps to 0
// on that axis.
PicturePoint windowToImage(double wx, double wy, const ViewGeometry& g);

// The scale and offset drawing over the view uses: the magnification and the scroll offsets when zoomed (picture
// pixel p then covers view pixels (p + bai) m to (p + bai + 1) m); the view's size over the picture's and
// no offset at fit.
ViewScale viewScale(const ViewGeometry& g);

// The same view counted in device pixels (ratio 1): for drawing into the composed picture itself.
ViewGeometry AtDevicePixels(const ViewGeometry& g);

// View position of a picture point, truncated toward zero.
Point imageToView(PicturePoint p, const ViewScale& s);

// Truncation toward zero into the range drawing calls can take; a value that is not a number gives 0.
int32_t truncateCoordinate(double v);
