// The geometric area of a polygon from its vertices (the shoelace formula).
#include <cmath>

#include "measure/Geometry.h"

double polygonArea(const MeasurePoint* vertices, int32_t count)
{
    if (!vertices || count < 3)
        return 0.0;
    // Taken relative to the first vertex: the products stay small and lose no digits far from the origin.
    const MeasurePoint o = vertices[0];
    double twice = 0.0;
    for (int32_t i = 1; i + 1 < count; ++i) {
        const MeasurePoint a = vertices[i], b = vertices[i + 1];
        twice += (a.x - o.x) * (b.y - o.y) - (b.x - o.x) * (a.y - o.y);
    }
    return std::fabs(twice) / 2.0;
}
