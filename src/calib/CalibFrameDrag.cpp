// The calibration frame's grab spots and drag steps.
#include "calib/CalibFrameDrag.h"

namespace {

enum DragMode : int32_t { DragNone = 0, DragMove = 1, DragTop = 2, DragBottom = 3, DragLeft = 4, DragRight = 5 };

// p is near v when v lies in [p - tolerance, p + tolerance).
bool near(double p, double v)
{
    return p - CalibFrameDrag::kTolerance <= v && p + CalibFrameDrag::kTolerance > v;
}

Qt::CursorShape cursorOf(int32_t mode)
{
    switch (mode) {
    case DragMove:
        return Qt::SizeAllCursor;
    case DragTop:
    case DragBottom:
        return Qt::SizeVerCursor;
    default:
        return Qt::SizeHorCursor;
    }
}

// Moves both edges of one axis by d in opposite directions, so the frame keeps its centre; a shrinking
// step is taken only while the extent is above the minimum. Returns whether the edges moved.
bool resize(double& low, double& high, double d, bool grows)
{
    if (!(high - low > CalibFrameDrag::kMinExtent || grows))
        return false;
    low -= d;
    high += d;
    return true;
}

// An extent below the minimum becomes the minimum around the current centre.
void keepMinimum(double& low, double& high)
{
    if (high - low < CalibFrameDrag::kMinExtent) {
        const double centre = low + (high - low) * 0.5;
        low = centre - CalibFrameDrag::kMinExtent * 0.5;
        high = centre + CalibFrameDrag::kMinExtent * 0.5;
    }
}

} // namespace

std::optional<Qt::CursorShape> CalibFrameDrag::BeginFrameDrag(CalibEntry& e, double x, double y)
{
    const double cx = e.left + (e.right - e.left) * 0.5;
    const double cy = e.top + (e.bottom - e.top) * 0.5;
    int32_t mode = DragNone;
    if (near(x, cx)) {
        if (near(y, cy))
            mode = DragMove;
        else if (near(y, e.top))
            mode = DragTop;
        else if (near(y, e.bottom))
            mode = DragBottom;
    }
    if (mode == DragNone && near(y, cy)) {
        if (near(x, e.left))
            mode = DragLeft;
        else if (near(x, e.right))
            mode = DragRight;
    }
    if (mode == DragNone)
        return std::nullopt;
    // A press without a release in between (the button went up outside the window) ends the old drag.
    EndFrameDrag();
    e.dragMode = mode;
    e.dragAnchorX = x;
    e.dragAnchorY = y;
    m_Entry = &e;
    return cursorOf(mode);
}

FrameDragStep CalibFrameDrag::DragFrame(double x, double y)
{
    if (!m_Entry || m_Entry->dragMode == DragNone)
        return {};
    CalibEntry& e = *m_Entry;
    const double dx = x - e.dragAnchorX;
    const double dy = y - e.dragAnchorY;
    FrameDragStep step { true, cursorOf(e.dragMode), false };
    switch (e.dragMode) {
    case DragMove:
        e.left += dx;
        e.right += dx;
        e.top += dy;
        e.bottom += dy;
        e.dragAnchorX = x;
        e.dragAnchorY = y;
        break;
    case DragTop:
        step.edgeMoved = resize(e.top, e.bottom, -dy, dy < 0);
        break;
    case DragBottom:
        step.edgeMoved = resize(e.top, e.bottom, dy, dy > 0);
        break;
    case DragLeft:
        step.edgeMoved = resize(e.left, e.right, -dx, dx < 0);
        break;
    case DragRight:
        step.edgeMoved = resize(e.left, e.right, dx, dx > 0);
        break;
    default:
        break;
    }
    if (step.edgeMoved) {
        e.dragAnchorX = x;
        e.dragAnchorY = y;
    }
    keepMinimum(e.top, e.bottom);
    keepMinimum(e.left, e.right);
    return step;
}

void CalibFrameDrag::EndFrameDrag()
{
    if (m_Entry)
        m_Entry->dragMode = DragNone;
    m_Entry = nullptr;
}
