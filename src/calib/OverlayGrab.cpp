#include "calib/OverlayGrab.h"

#include "calib/ScaleBar.h"

std::optional<Qt::CursorShape> OverlayGrab::press(const FrameDragHooks& frame, double x, double y)
{
    std::optional<Qt::CursorShape> grab;
    if (frame.begin)
        grab = frame.begin(x, y);
    if (!grab)
        grab = BeginScaleDrag(m_Scale, x, y);
    return grab;
}

std::optional<Qt::CursorShape> OverlayGrab::drag(const FrameDragHooks& frame, double x, double y)
{
    if (frame.drag) {
        const FrameDragStep step = frame.drag(x, y);
        if (step.dragging)
            return step.cursor;
    }
    if (DragScale(m_Scale, x, y))
        return Qt::SizeAllCursor;
    return std::nullopt;
}

void OverlayGrab::release(const FrameDragHooks& frame)
{
    if (frame.end)
        frame.end();
    EndScaleDrag(m_Scale);
}
