// The geometry of measuring (the mapping between window and picture is ViewGeometry's): the hit tolerance, distances,
// circles through three points, perpendiculars, angles and the pixel area of a polygon. All coordinates
// are doubles in picture pixels unless a name says otherwise.
#pragma once

#include <cstdint>
#include <optional>

#include "imaging/Rect.h"
#include "imaging/ViewGeometry.h"
#include "measure/MeasureItem.h"

class DibImage;

// A straight line y = slope x + intercept, or one of the two marker slopes below with the line's x
// (vertical) or y (horizontal) in intercept.
struct Line {
    double slope = 0.0;
    double intercept = 0.0;
};

inline constexpr double kVerticalSlope = 9999.9;
inline constexpr double kHorizontalSlope = 9998.9;

// Ten window pixels in picture pixels.
double hitTolerance(const ViewGeometry& g);

double distance(MeasurePoint p, MeasurePoint q);

// The circle through three points. Collinear or coinciding points give centre (0, 0) and the first
// point's distance from the origin as radius. When rounding leaves no positive square for the radius,
// false is returned, the centre is (0, 0) and radius is left as it was.
bool circleThrough(MeasurePoint p1, MeasurePoint p2, MeasurePoint p3, MeasurePoint& centre, double& radius);

Line lineThrough(MeasurePoint a, MeasurePoint b);

MeasurePoint footOfPerpendicular(MeasurePoint p, const Line& line);

// The angle in degrees, 0 to 180, at vertex between the rays to p1 and p3; 0 when p1 or p3 lies on the
// vertex (an arm without length has no direction).
double angleAt(MeasurePoint p1, MeasurePoint vertex, MeasurePoint p3);

// The number of picture pixels covered by the closed polygon, outline included, parts outside the picture
// left out. Nothing (the caller keeps its old area) when the polygon cannot be drawn: fewer than two
// vertices, no picture, or no memory for the scratch image.
std::optional<int64_t> polygonPixelArea(const MeasurePoint* vertices, int32_t count, const DibImage& picture);
