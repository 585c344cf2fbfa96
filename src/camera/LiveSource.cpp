#include "camera/LiveSource.h"

#include <algorithm>
#include <cmath>

int32_t NextControlValue(int32_t value, double factor, const LiveSource::ControlRange& range)
{
    if (!range.present || range.max < range.min || !std::isfinite(factor))
        return value;
    const double scaled = double(value) * factor;
    const int64_t next = std::llround(std::clamp(scaled, double(range.min), double(range.max)));
    int32_t n = int32_t(next);
    // A small value times a small factor rounds back to itself: brighter must still move.
    if (factor > 1.0 && n <= value)
        n = value + std::max(range.step, 1);
    return std::clamp(n, range.min, range.max);
}
