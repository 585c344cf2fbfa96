// The zoom's anchor point and the overview of a magnified picture.
#include "imaging/ViewOverview.h"

#include <algorithm>

#include "imaging/DibImage.h"
#include "imaging/ViewLayout.h"

namespace ViewOverview {

PicturePoint ScrollKeeping(PicturePoint p, double wx, double wy, const ViewGeometry& target)
{
    if (target.zoomIndex == 0)
        return {};
    const int f = target.factor();
    const double m = target.magnification();
    return { ViewLayout::ClampScroll((wx - target.view.left) / m - p.x, target.deviceWidth(), f, target.imageWidth),
             ViewLayout::ClampScroll((wy - target.view.top) / m - p.y, target.deviceHeight(), f, target.imageHeight) };
}

Rect Placement(const ViewGeometry& g)
{
    if (g.zoomIndex < 2 || g.imageWidth <= 0 || g.imageHeight <= 0)
        return {};
    const int longest = std::min({ kLongestSide, g.view.width() / 3, g.view.height() / 3 });
    int w = longest, h = longest;
    if (g.imageWidth >= g.imageHeight)
        h = int(int64_t(longest) * g.imageHeight / g.imageWidth);
    else
        w = int(int64_t(longest) * g.imageWidth / g.imageHeight);
    if (w < 16 || h < 16)
        return {};
    const int right = g.view.right - kMargin, bottom = g.view.bottom - kMargin;
    return { right - w, bottom - h, right, bottom };
}

Rect VisiblePart(const ViewGeometry& g, const Rect& overview)
{
    const double sx = double(overview.width()) / g.imageWidth, sy = double(overview.height()) / g.imageHeight;
    const int f = g.factor();
    const double x0 = -g.baiX, y0 = -g.baiY;
    const double x1 = std::min(x0 + double(g.deviceWidth()) / f, double(g.imageWidth));
    const double y1 = std::min(y0 + double(g.deviceHeight()) / f, double(g.imageHeight));
    return { overview.left + int(x0 * sx), overview.top + int(y0 * sy), overview.left + int(x1 * sx + 0.999),
             overview.top + int(y1 * sy + 0.999) };
}

PicturePoint ScrollTo(const ViewGeometry& g, const Rect& overview, double wx, double wy)
{
    const PicturePoint p { (wx - overview.left) * g.imageWidth / std::max(overview.width(), 1),
                           (wy - overview.top) * g.imageHeight / std::max(overview.height(), 1) };
    return ScrollKeeping(p, (g.view.left + g.view.right) / 2.0, (g.view.top + g.view.bottom) / 2.0, g);
}

QImage Shrink(const DibImage& picture, int width, int height)
{
    if (picture.isEmpty() || width <= 0 || height <= 0)
        return {};
    QImage out(width, height, QImage::Format_RGB32);
    const int bytes = picture.bitsPerPixel() / 8;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.rowTopDown(int32_t(int64_t(y) * picture.height() / height));
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + size_t(int64_t(x) * picture.width() / width) * size_t(bytes);
            line[x] = bytes >= 3 ? qRgb(p[2], p[1], p[0]) : qRgb(p[0], p[0], p[0]);
        }
    }
    return out;
}

} // namespace ViewOverview
