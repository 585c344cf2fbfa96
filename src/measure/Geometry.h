// The geometry of measuring (the mapping between window and picture is ViewGeometry's): the hit tolerance, distances,
// circles through three points, perpendiculars, angles and the area of a polygon. All coordinates
// are doubles in picture pixels unless a name says otherwise.
#pragma once

#include <cstdint>

#include "imaging/Rect.h"
#include "imaging/ViewGeometry.h"
#include "measure/MeasureItem.h"

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

// The area enclosed by the closed polygon through the vertices, in square picture pixels: the shoelace
// formula, so a self-crossing outline's loops of opposite turn offset each other. 0 for fewer than three
// vertices.
double polygonArea(const MeasurePoint* vertices, int32_t count);
