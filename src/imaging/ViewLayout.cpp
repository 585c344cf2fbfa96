// Zoom, scroll and layout arithmetic of the main window's view.
#include "imaging/ViewLayout.h"

#include <algorithm>
#include <cmath>

#include "imaging/ViewGeometry.h"

namespace ViewLayout {

namespace {
// A window made smaller than the reserves leaves no room: sizes stop at 0 instead of turning negative.
Rect sized(int32_t left, int32_t top, int64_t width, int64_t height)
{
    return { left, top, int32_t(left + std::max<int64_t>(width, 0)), int32_t(top + std::max<int64_t>(height, 0)) };
}
} // namespace

double ClampScroll(double bai, int32_t viewExtent, int factor, int32_t imageExtent)
{
    // Whole picture pixels: the view shows each picture pixel as a whole f x f block.
    bai = std::isfinite(bai) ? std::trunc(bai) : 0.0;
    if (bai > 0)
        bai = 0;
    const int32_t limit = viewExtent / factor - imageExtent;
    if (limit > bai)
        bai = limit;
    // A view larger than the picture (fit of a small picture) would push the limit above 0; the offset
    // still never leaves the picture's origin.
    return std::min(bai, 0.0);
}

Result Relayout(const Input& in)
{
    Result out;
    const int f = ZoomFactor(in.zoomIndex);
    const int32_t cw = in.clientWidth;
    const int32_t ch = in.clientHeight;
    const int32_t d = in.panelShown ? kPanelReserve : kPanelHiddenReserve;
    const int32_t b = in.stripShown ? kStripReserve : kStripHiddenReserve;
    const int32_t left = in.view.left;
    const int32_t top = in.view.top;

    const int32_t ratio = std::max(in.devicePixelRatio, 1);
    if (in.zoomIndex != 0) {
        // The magnified picture in window pixels, a half pixel at x1 on a 200 % screen rounded up.
        const int64_t w = std::min<int64_t>((int64_t(in.imageWidth) * f + ratio - 1) / ratio, cw - d);
        const int64_t h = std::min<int64_t>((int64_t(in.imageHeight) * f + ratio - 1) / ratio, ch - b);
        out.view = sized(left, top, w, h);
    } else {
        int64_t g = cw - d - left;
        int64_t l = ch - top - b;
        // Fit keeps the picture's aspect: shrink whichever side is too long. An empty picture has no aspect.
        if (in.imageWidth > 0 && in.imageHeight > 0) {
            if (l * in.imageWidth < g * in.imageHeight)
                g = l * in.imageWidth / in.imageHeight;
            else if (g * in.imageHeight < l * in.imageWidth)
                l = g * in.imageHeight / in.imageWidth;
        }
        // The frame's width and height include its own left and top offsets, as the window always had it.
        out.view = sized(left, top, g + left, l + top);
    }

    const Rect& list = in.resultsList;
    out.resultsList = sized(cw - kEdgeGap - list.width(), list.top, list.width(), ch - list.top - kEdgeGap);
    out.strip = sized(in.strip.left, ch - kEdgeGap - in.strip.height(), cw - d, in.strip.height());
    out.stripScroll
        = sized(in.stripScroll.left, ch - kEdgeGap - in.stripScroll.height(), cw - d, in.stripScroll.height());

    out.baiX = ClampScroll(in.baiX, out.view.width() * ratio, f, in.imageWidth);
    out.baiY = ClampScroll(in.baiY, out.view.height() * ratio, f, in.imageHeight);
    out.zoomIndex = in.zoomIndex;
    return out;
}

} // namespace ViewLayout
