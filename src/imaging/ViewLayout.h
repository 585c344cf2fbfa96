// Zoom, scroll and layout arithmetic of the main window's view: the zoom table, where the view and the
// controls below and beside it go for a client size, and the scroll clamp. The magnification of a zoom index
// is ZoomFactor (ViewGeometry.h); index 0 fits the picture and counts as 1.
#pragma once

#include <cstdint>

#include "imaging/Rect.h"

namespace ViewLayout {

// Space kept free right of and below the view.
constexpr int kPanelReserve = 228;
constexpr int kPanelHiddenReserve = 24;
constexpr int kStripReserve = 175;
constexpr int kStripHiddenReserve = 20;
// Gap between the results list or the thumbnail strip and the client area's right or bottom edge.
constexpr int kEdgeGap = 12;

struct Input {
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    Rect view; // current rectangle of the picture frame
    Rect resultsList; // current rectangles of the results list, strip group and strip scroll bar
    Rect strip;
    Rect stripScroll;
    int zoomIndex = 1;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    bool panelShown = true;
    bool stripShown = true;
    double baiX = 0.0; // scroll offsets in picture pixels, 0 or negative
    double baiY = 0.0;
    int32_t devicePixelRatio = 1; // the view's, as in ViewGeometry
};

struct Result {
    Rect view;
    Rect resultsList;
    Rect strip;
    Rect stripScroll;
    double baiX = 0.0;
    double baiY = 0.0;
    int zoomIndex = 1;
};

// The whole relayout for the current client size, zoom and panels.
Result Relayout(const Input& in);

// Keeps a scroll offset within the picture, in whole pixels: never above 0, never so far that the view of viewExtent device pixels at
// magnification factor shows area beyond the picture's far edge.
double ClampScroll(double bai, int32_t viewExtent, int factor, int32_t imageExtent);

} // namespace ViewLayout
