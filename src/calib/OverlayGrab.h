// Grabbing what is drawn over the picture with the left button: the calibration frame (only while the
// calibration dialog is open, through the window's hooks) and then the scale bar. The press offers itself
// to the frame first, the moves drag whichever was grabbed, the release ends both. Points are in picture
// coordinates; this class touches no widget.
#pragma once

#include <Qt>

#include <functional>
#include <optional>

#include "calib/CalibFrameDrag.h"
#include "calib/ScaleData.h"

// The calibration frame's drag as the window routes it: begin grabs only while the calibration dialog is
// open; drag and end act on the entry the drag started on.
struct FrameDragHooks {
    std::function<std::optional<Qt::CursorShape>(double x, double y)> begin;
    std::function<FrameDragStep(double x, double y)> drag;
    std::function<void()> end;
};

class OverlayGrab {
public:
    // The window's scale bar; it outlives this object.
    explicit OverlayGrab(ScaleData& scale)
        : m_Scale(scale)
    {
    }

    // A left press at picture point (x, y): the cursor to show when the frame or the bar took it, nothing
    // when the press is left to the tools.
    std::optional<Qt::CursorShape> press(const FrameDragHooks& frame, double x, double y);
    // A move to (x, y): the cursor to show when the frame or the bar was dragged (the view then needs
    // repainting), nothing when neither was grabbed.
    std::optional<Qt::CursorShape> drag(const FrameDragHooks& frame, double x, double y);
    void release(const FrameDragHooks& frame);

private:
    ScaleData& m_Scale;
};
