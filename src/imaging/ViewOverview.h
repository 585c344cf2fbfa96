// Getting around a magnified picture: the scroll that keeps a picture point where it is on the screen while the
// zoom changes (the wheel zooms at the pointer, the keys and the zoom list about the view's centre), and the
// overview in the view's corner that shows the whole picture with the part in sight and moves the view.
#pragma once

#include <QImage>

#include "imaging/Rect.h"
#include "imaging/ViewGeometry.h"

class DibImage;

namespace ViewOverview {

// The overview's longest side, and its distance from the view's edges, in view pixels.
constexpr int kLongestSide = 180;
constexpr int kMargin = 8;

// The scroll offsets (whole pixels, kept within the picture) that put picture point p under window point
// (wx, wy) in the view target describes; the scroll stays 0 at fit, which shows the whole picture.
PicturePoint ScrollKeeping(PicturePoint p, double wx, double wy, const ViewGeometry& target);

// Where the overview lies, in window coordinates: the view's bottom-right corner, with the picture's aspect.
// Empty below x2, and where the view is too small to spare a third of its width and height for it.
Rect Placement(const ViewGeometry& g);
// The part of the picture in sight, in window coordinates inside the overview at overview.
Rect VisiblePart(const ViewGeometry& g, const Rect& overview);
// The scroll that centres the view on the picture point under window point (wx, wy) of the overview.
PicturePoint ScrollTo(const ViewGeometry& g, const Rect& overview, double wx, double wy);

// The picture shrunk to width x height by taking the nearest pixel (grey for 8-bit pictures).
QImage Shrink(const DibImage& picture, int width, int height);

} // namespace ViewOverview
