// The pixel area of a polygon: draw it filled into a blank image of the picture's size and count what the
// drawing covered.
#include <vector>

#include "imaging/Dc.h"
#include "imaging/DibImage.h"
#include "imaging/Kernels.h"
#include "measure/Geometry.h"

std::optional<int64_t> polygonPixelArea(const MeasurePoint* vertices, int32_t count, const DibImage& picture)
{
    if (!vertices || count < 2 || picture.isEmpty())
        return std::nullopt;

    // An 8-bit grey scratch image whatever the picture's format: black is index 0 and white 255 here,
    // while a picture's own colour table need not keep them apart.
    DibImage scratch;
    if (!scratch.Create(picture.width(), picture.height(), 8))
        return std::nullopt;
    scratch.Fill(nullptr, Rgb(255, 255, 255));

    std::vector<Point> corners(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        corners[size_t(i)] = {truncateCoordinate(vertices[i].x), truncateCoordinate(vertices[i].y)};
    {
        Dc dc(scratch);
        dc.SelectPen(1, Rgb(0, 0, 0));
        dc.SelectBrush(Rgb(0, 0, 0));
        dc.Polygon(corners.data(), count);
    }  // the Dc puts the rows back in their order when it ends
    return scratch.Apply(CountZero, scratch, nullptr, 0, 0, nullptr, nullptr);
}
