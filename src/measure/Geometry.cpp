// Window-to-picture mapping and the measuring formulas.
#include "measure/Geometry.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Degrees per radian as 360 x 1/(2 pi).
constexpr double kDegreesPerRadian = 360.0 * 0.15915494327375637;

// Window pixels within which a click hits a point.
constexpr double kHitWindowPixels = 10.0;

// Counter-clockwise direction in [0, 360] of the ray from vertex to p, with the picture's y axis pointing
// up; nothing for a ray of no length.
std::optional<double> rayDirection(MeasurePoint vertex, MeasurePoint p)
{
    if (p == vertex)
        return std::nullopt;
    // atan of the quotient sees a vertical ray as +-inf and the quadrant corrections below would then
    // turn up into -90 and down into 450; give vertical rays their direction outright.
    if (p.x == vertex.x)
        return p.y < vertex.y ? 90.0 : 270.0;
    double a = std::atan((p.y - vertex.y) / (vertex.x - p.x)) * kDegreesPerRadian;
    if (vertex.x > p.x)
        a += 180.0;
    else if (vertex.y < p.y)
        a += 360.0;
    return a;
}

}  // namespace

double hitTolerance(const ViewGeometry& g)
{
    if (g.zoomIndex == 0) {
        const int32_t w = g.view.width();
        return w != 0 ? double(g.imageWidth) / w * kHitWindowPixels : 0.0;
    }
    return kHitWindowPixels / g.magnification();
}

double distance(MeasurePoint p, MeasurePoint q)
{
    const double dx = p.x - q.x;
    const double dy = p.y - q.y;
    return std::sqrt(dx * dx + dy * dy);
}

bool circleThrough(MeasurePoint p1, MeasurePoint p2, MeasurePoint p3, MeasurePoint& centre, double& radius)
{
    const double s1 = p1.x * p1.x + p1.y * p1.y;
    const double s2 = p2.x * p2.x + p2.y * p2.y;
    const double s3 = p3.x * p3.x + p3.y * p3.y;
    const double a = 2.0 * ((p1.y - p3.y) * (p1.x - p2.x) - (p1.y - p2.y) * (p1.x - p3.x));
    if (a == 0.0) {
        centre = {0.0, 0.0};
        radius = std::sqrt(s1);
        return true;
    }
    const double cx = -((p1.y - p2.y) * (s1 - s3) - (p1.y - p3.y) * (s1 - s2)) / a;
    const double cy = ((p1.x - p2.x) * (s1 - s3) - (p1.x - p3.x) * (s1 - s2)) / a;
    const double square = cx * cx + cy * cy - 2.0 * (p1.x * cx + p1.y * cy) + s1;
    if (!(square > 0.0)) {
        centre = {0.0, 0.0};
        return false;
    }
    centre = {cx, cy};
    radius = std::sqrt(square);
    return true;
}

Line lineThrough(MeasurePoint a, MeasurePoint b)
{
    if (a.x == b.x)
        return {kVerticalSlope, a.x};
    if (a.y == b.y)
        return {kHorizontalSlope, a.y};
    const double m = (a.y - b.y) / (a.x - b.x);
    return {m, a.y - a.x * m};
}

MeasurePoint footOfPerpendicular(MeasurePoint p, const Line& line)
{
    const double m = line.slope;
    const double c = line.intercept;
    if (m == kVerticalSlope)
        return {c, p.y};
    if (m == kHorizontalSlope)
        return {p.x, c};
    const double fx = (m * p.y + p.x - m * c) / (m * m + 1.0);
    return {fx, m == 0.0 ? p.y : p.y + (p.x - fx) / m};
}

double angleAt(MeasurePoint p1, MeasurePoint vertex, MeasurePoint p3)
{
    const std::optional<double> a1 = rayDirection(vertex, p1);
    const std::optional<double> a2 = rayDirection(vertex, p3);
    // An arm of no length has no direction, so there is no angle to speak of: report 0 rather than let an
    // undefined quotient through to the rows and labels.
    if (!a1 || !a2)
        return 0.0;
    const double d = std::fabs(*a1 - *a2);
    return d <= 180.0 ? d : 360.0 - d;
}
