// The point array of a measurement: its growth rule and the stores it refuses.
#include "measure/MeasureItem.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>

void MeasureItem::reset(int32_t tool)
{
    type = tool;
    pointCount = 0;
    points.clear();
    points.shrink_to_fit();
    if (tool != ToolNone)
        points.assign(kInitialCapacity, MeasurePoint{});
    result = result2 = result3 = 0.0;
    center1 = center2 = MeasurePoint{};
    radius1 = radius2 = 0.0;
    halfWidth = tool == ToolCaliper || tool == ToolEdgeLine ? kDefaultEdgeBandHalfWidth : 0.0;
    edges.clear();
    edgeFound = false;
    tolerance.reset();
}

bool Tolerance::valid() const
{
    return std::isfinite(nominal) && std::isfinite(upper) && std::isfinite(lower) && upper >= 0.0 && lower >= 0.0;
}

Verdict judge(const Tolerance& tolerance, double value)
{
    // Written so that NaN fails every comparison and so the verdict.
    return value >= tolerance.nominal - tolerance.lower && value <= tolerance.nominal + tolerance.upper
        ? Verdict::Pass
        : Verdict::Fail;
}

int MeasureItem::setPoint(int32_t i, MeasurePoint p)
{
    // Without an array there is nowhere to store, and growing an empty one by i + 2 x 0 would still leave
    // position i outside it.
    if (i < 0 || points.empty())
        return 0;
    if (i >= capacity()) {
        const int64_t grown = int64_t(i) + 2 * int64_t(capacity());
        if (grown > INT32_MAX)
            return 0;
        try {
            points.resize(size_t(grown), MeasurePoint{});
        } catch (const std::exception&) {  // out of memory: the old points stay
            return 0;
        }
    }
    points[size_t(i)] = p;
    return 1;
}

int MeasureItem::addPoint(MeasurePoint p)
{
    if (pointCount == INT32_MAX || !setPoint(pointCount, p))
        return 0;
    ++pointCount;
    return 1;
}

int32_t MeasureItem::countedPoints() const { return std::clamp(pointCount, 0, capacity()); }
