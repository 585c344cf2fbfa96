// Placing a dialog near the mouse pointer.
#include "ui/CursorPlacement.h"

#include <algorithm>
#include <cstdint>

namespace {
constexpr int32_t kLeftOfCursor = 300;
constexpr int32_t kAboveCursor = 150;

// x moved into [low, high - extent], or to low when the extent does not fit.
int32_t clampSpan(int64_t x, int64_t extent, int64_t low, int64_t high)
{
    return int32_t(std::max(low, std::min(x, high - extent)));
}
} // namespace

Point dialogPositionAtCursor(Point cursor, ::Size dialog, const Rect& available)
{
    return dialogPositionAtCursor(cursor, { kLeftOfCursor, kAboveCursor }, dialog, available);
}

Point dialogPositionAtCursor(Point cursor, ::Size offset, ::Size dialog, const Rect& available)
{
    const int64_t x = int64_t(cursor.x) - offset.cx;
    const int64_t y = int64_t(cursor.y) - offset.cy;
    if (available.isEmpty())
        return { int32_t(std::max<int64_t>(x, INT32_MIN)), int32_t(std::max<int64_t>(y, INT32_MIN)) };
    return { clampSpan(x, dialog.cx, available.left, available.right),
        clampSpan(y, dialog.cy, available.top, available.bottom) };
}
