#include "imaging/ViewComposer.h"

#include <algorithm>
#include <cmath>

#include "imaging/Dc.h"
#include "imaging/DibImage.h"
#include "imaging/Kernels.h"

int32_t ZoomFactor(int32_t zoomIndex)
{
    return zoomIndex >= 2 && zoomIndex <= 7 ? 1 << (zoomIndex - 1) : 1;
}

int ComposeView(const DibImage& shown, int32_t zoomIndex, double scrollX, double scrollY, int32_t viewWidth,
                int32_t viewHeight, DibImage& view)
{
    if (shown.isEmpty() || viewWidth <= 0 || viewHeight <= 0)
        return 0;
    if (view.width() != viewWidth || view.height() != viewHeight || view.bitsPerPixel() != shown.bitsPerPixel()) {
        if (!view.Create(viewWidth, viewHeight, shown.bitsPerPixel()))
            return 0;
    }
    if (zoomIndex <= 0)
        return view.ApplyScaled(shown.bitsPerPixel() == 24 ? ScaleRgb : ScaleGray, shown, nullptr, nullptr, nullptr,
                                nullptr);

    // Whatever the source does not cover (a view larger than the picture) stays black.
    view.Fill(nullptr, 0);
    // The picture column and row at the view's corner; offsets from a settings file are kept finite and in range.
    const auto origin = [](double scroll) {
        return std::isfinite(scroll) ? -int32_t(std::clamp(scroll, -1.0e9, 1.0e9)) : 0;
    };
    const int32_t sx = origin(scrollX), sy = origin(scrollY);
    Dc dc(view);
    if (zoomIndex == 1) {
        dc.BitBlt(0, 0, viewWidth, viewHeight, shown, sx, sy);
    } else {
        const int32_t f = ZoomFactor(zoomIndex);
        if (viewWidth / f > 0 && viewHeight / f > 0)
            dc.StretchBlt(0, 0, viewWidth, viewHeight, shown, sx, sy, viewWidth / f, viewHeight / f);
    }
    return 1;
}
