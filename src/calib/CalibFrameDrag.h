// Fitting the calibration frame with the mouse: the press picks a grab spot (the centre moves the frame,
// an edge's middle resizes it symmetrically about its centre), the moves follow the pointer, the release
// ends the drag. The state lives in the entry (dragMode, dragAnchorX, dragAnchorY); this class also keeps
// which entry the drag started on, so the release ends that drag even if the selection changed meanwhile.
#pragma once

#include <Qt>

#include <optional>

#include "calib/CalibEntry.h"

// What one drag step did.
struct FrameDragStep {
    bool dragging = false; // a drag was under way: the view needs repainting
    Qt::CursorShape cursor = Qt::ArrowCursor;
    bool edgeMoved = false; // an edge moved: the dialog's result text follows the frame
};

class CalibFrameDrag {
public:
    // Grab spots lie within this many picture pixels of the frame's centre lines and edges.
    static constexpr double kTolerance = 10.0;
    // The frame is never narrower or lower than this after a drag step.
    static constexpr double kMinExtent = 40.0;

    // A left press at picture point (x, y) on the frame of entry: tries the centre, the top, the bottom,
    // the left and the right grab spot in that order. Returns the cursor to show on a hit, nothing
    // otherwise (the press then goes on to the scale bar and the tools).
    std::optional<Qt::CursorShape> BeginFrameDrag(CalibEntry& entry, double x, double y);
    // A move to (x, y) while the button is held.
    FrameDragStep DragFrame(double x, double y);
    // The release: the entry the drag started on stops dragging.
    void EndFrameDrag();

    bool dragging() const { return m_Entry != nullptr; }
    // The entry being dragged, or null.
    CalibEntry* entry() const { return m_Entry; }

private:
    CalibEntry* m_Entry = nullptr;
};
