#include "imaging/ViewGeometry.h"

#include <algorithm>
#include <cmath>

PicturePoint windowToImage(double wx, double wy, const ViewGeometry& g)
{
    if (g.zoomIndex == 0) {
        const int32_t w = g.view.width();
        const int32_t h = g.view.height();
        return {w != 0 ? double(g.imageWidth) / w * (wx - g.view.left) : 0.0,
                h != 0 ? double(g.imageHeight) / h * (wy - g.view.top) : 0.0};
    }
    const double z = g.magnification();
    return {(wx - g.view.left) / z - g.baiX, (wy - g.view.top) / z - g.baiY};
}

ViewScale viewScale(const ViewGeometry& g)
{
    if (g.zoomIndex == 0) {
        return {g.imageWidth != 0 ? double(g.view.width()) / g.imageWidth : 0.0,
                g.imageHeight != 0 ? double(g.view.height()) / g.imageHeight : 0.0, 0.0, 0.0};
    }
    const double z = g.magnification();
    return {z, z, g.baiX, g.baiY};
}

ViewGeometry AtDevicePixels(const ViewGeometry& g)
{
    ViewGeometry d = g;
    const int32_t r = g.devicePixelRatio;
    d.view = { g.view.left * r, g.view.top * r, g.view.right * r, g.view.bottom * r };
    d.devicePixelRatio = 1;
    return d;
}

int32_t truncateCoordinate(double v)
{
    // Far beyond any picture or view, yet safe for the painter's fixed-point arithmetic.
    constexpr double kLimit = double(1 << 22);
    if (std::isnan(v))
        return 0;
    return int32_t(std::clamp(v, -kLimit, kLimit));
}

Point imageToView(PicturePoint p, const ViewScale& s)
{
    return {truncateCoordinate((p.x + s.offsetX) * s.sx), truncateCoordinate((p.y + s.offsetY) * s.sy)};
}
