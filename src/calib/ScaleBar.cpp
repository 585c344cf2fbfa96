// Lengths, placements and dragging of the scale bar.
#include "calib/ScaleBar.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Half the height of the band around a bar line that grabs it, in picture pixels.
constexpr double kGrabBand = 5.0;

// Truncation toward zero into the int range; NaN gives 0.
int32_t clampToInt(double v)
{
    if (std::isnan(v))
        return 0;
    return int32_t(std::clamp(std::trunc(v), double(INT_MIN), double(INT_MAX)));
}

// The far end's distance from the anchor for a corner placement: the bar's length and the margin.
int32_t cornerOffset(int32_t size, double mpp)
{
    return clampToInt(std::trunc(scaleBarPixels(size, mpp).value_or(0.0)) + kScaleMargin);
}

} // namespace

std::optional<double> scaleBarPixels(int32_t size, double mpp)
{
    const double pixels = double(size) / mpp;
    if (!std::isfinite(pixels))
        return std::nullopt;
    return pixels;
}

std::optional<ScaleBarLengths> scaleBarLengths(const ScaleData& s)
{
    const std::optional<double> horizontal = scaleBarPixels(s.Size.cx, s.mppX);
    if (!horizontal)
        return std::nullopt;
    if (s.Type != ScaleBarXY)
        return ScaleBarLengths { *horizontal, 0.0 };
    const std::optional<double> vertical = scaleBarPixels(s.Size.cy, s.mppY);
    if (!vertical)
        return std::nullopt;
    return ScaleBarLengths { *horizontal, *vertical };
}

Point scalePlacement(int32_t placement, ::Size size, double mppX, double mppY, int32_t width, int32_t height)
{
    const int32_t bx = cornerOffset(size.cx, mppX);
    const int32_t by = cornerOffset(size.cy, mppY);
    const int32_t right = width - kScaleMargin;
    const int32_t bottom = height - kScaleMargin;
    Point p;
    switch (placement) {
    case PlaceUpperLeft:
        p = { bx, by };
        break;
    case PlaceLowerLeft:
        p = { bx, bottom };
        break;
    case PlaceUpperRight:
        p = { right, by };
        break;
    case PlaceLowerRight:
        p = { right, bottom };
        break;
    default:
        p = { width / 2, height / 2 };
        break;
    }
    // A bar longer than the picture (or a tiny picture) still leaves its anchor on the picture.
    return { std::clamp(p.x, 0, std::max(width, 0)), std::clamp(p.y, 0, std::max(height, 0)) };
}

std::optional<Qt::CursorShape> BeginScaleDrag(ScaleData& s, double x, double y)
{
    if (!s.Visible)
        return std::nullopt;
    const std::optional<ScaleBarLengths> lengths = scaleBarLengths(s);
    if (!lengths)
        return std::nullopt;
    const double px = s.Pos.x;
    const double py = s.Pos.y;
    const double hl = std::trunc(lengths->horizontal);
    const double vl = std::trunc(lengths->vertical);
    if (px - hl < x && x < px && py - kGrabBand < y && y < py + kGrabBand) {
        s.scaleGrabX = clampToInt(std::trunc(x) - px);
        s.scaleGrabY = 0;
    } else if (s.Type == ScaleBarXY && px - kGrabBand < x && x < px + kGrabBand && py - vl < y && y < py) {
        s.scaleGrabX = 0;
        s.scaleGrabY = clampToInt(std::trunc(y) - py);
    } else {
        return std::nullopt;
    }
    s.scaleDragActive = 1;
    return Qt::SizeAllCursor;
}

bool DragScale(ScaleData& s, double x, double y)
{
    if (!s.scaleDragActive)
        return false;
    s.Pos.x = clampToInt(std::trunc(x) - s.scaleGrabX);
    s.Pos.y = clampToInt(std::trunc(y) - s.scaleGrabY);
    return true;
}

void EndScaleDrag(ScaleData& s)
{
    s.scaleDragActive = 0;
}
