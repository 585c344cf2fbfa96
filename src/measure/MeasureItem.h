// One measurement on the picture: its tool, its points in picture pixels and its results. The item being
// built by the mouse and the finished items of the list are both MeasureItems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/ViewGeometry.h"

using MeasurePoint = PicturePoint;

// Tool codes; a finished item holds the negated code of the tool that made it.
enum MeasureTool : int32_t {
    ToolNone = 0,
    ToolLine = 1,
    ToolArea = 2,
    ToolCircle = 3,
    ToolCircle2 = 4,
    ToolPerpendicular = 5,
    ToolAngle = 6,
    // Tools that find edges in the picture: a caliper across edges, a circle and a line fitted to edge points.
    ToolCaliper = 7,
    ToolEdgeCircle = 8,
    ToolEdgeLine = 9,
};

// The caliper's and the edge line's band reaches this far across its axis unless told otherwise (picture
// pixels): wide enough to average out noise, narrow enough to stay on one edge.
inline constexpr double kDefaultEdgeBandHalfWidth = 10.0;

// The limits a result must keep: nominal - lower <= result <= nominal + upper, in the item's unit (square
// units for an area, degrees for an angle). Both deviations are 0 or more.
struct Tolerance {
    double nominal = 0.0;
    double upper = 0.0;
    double lower = 0.0;

    // Finite numbers, deviations not negative: anything else cannot be judged by.
    bool valid() const;
    friend bool operator==(const Tolerance&, const Tolerance&) = default;
};

enum class Verdict { None, Pass, Fail };

// The verdict of a value against limits, the limits themselves passing; a value that is not finite fails.
Verdict judge(const Tolerance& tolerance, double value);

// The colours of a verdict, in the list and on the drawing (0x00BBGGRR).
inline constexpr uint32_t kPassColor = 0x0000B000;
inline constexpr uint32_t kFailColor = 0x000000E6;

struct MeasureItem {
    // Room for points that a freshly chosen tool gets.
    static constexpr int32_t kInitialCapacity = 10;

    int32_t id = 0;
    int32_t index = 0;
    // The active tool while the item is built, minus the tool code once it is finished.
    int32_t type = ToolNone;
    // Points that count: a perpendicular item also stores the foot of its perpendicular after them.
    int32_t pointCount = 0;
    // The point array; its size is the capacity, unused slots are zero. Empty means there is no array.
    std::vector<MeasurePoint> points;
    int32_t unit = 0;
    double result = 0.0;
    double result2 = 0.0;
    double result3 = 0.0;
    MeasurePoint center1;
    MeasurePoint center2;
    double radius1 = 0.0;
    double radius2 = 0.0;
    // Edge tools: the band's half width across its axis (caliper, edge line), in picture pixels; 0 otherwise.
    double halfWidth = 0.0;
    // Edge tools: what the last search of the picture found, in picture pixels: the caliper's edges in order
    // along its segment, the edge points a circle or a line was fitted to. An edge circle keeps its fitted
    // circle in center1/radius1 and the rough circle of its points in center2/radius2; an edge line keeps the
    // fitted line's ends as points 2 and 3, after the counted ones.
    std::vector<MeasurePoint> edges;
    // Whether the last search found what the result needs (an edge, a circle, a line).
    bool edgeFound = false;
    // Limits for the item's main result (mainResultRow in MeasureResults.h), when it is inspected.
    std::optional<Tolerance> tolerance;

    // Starts the item afresh for a tool: no points, no results; a tool other than ToolNone gets an array
    // of kInitialCapacity zeroed points.
    void reset(int32_t tool);

    int32_t capacity() const { return int32_t(points.size()); }

    // Stores p at position i, growing the array to i + 2 x capacity when i is beyond it. Refused (0) for a
    // negative i, when there is no array, or when memory runs out (the old points are kept).
    int setPoint(int32_t i, MeasurePoint p);

    // Stores p at position pointCount and counts it.
    int addPoint(MeasurePoint p);

    // The point at i, or (0, 0) beyond the array.
    MeasurePoint point(int32_t i) const { return i >= 0 && i < capacity() ? points[size_t(i)] : MeasurePoint{}; }

    // pointCount limited to the array, for walks over the counted points.
    int32_t countedPoints() const;

    // A finished item holds a negative type.
    bool isFinished() const { return type < 0; }
};
