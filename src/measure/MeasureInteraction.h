// The mouse over the main window's view: placing the points of a new measurement with the active tool,
// dragging points of finished measurements with the right button, panning a magnified picture. The
// calibration frame and the scale bar (OverlayGrab) get their part of each event from here, so the order in
// which the jobs take an event stays in one place; the strip below the view has its own (StripMouse). The tools,
// DELETE, CLEAR, undo and redo come through here too, as they end a drag under way; the session records
// and shows every change. The window forwards its mouse events with the geometry of the picture on the
// screen and carries out the effects that come back; this class touches no widget.
#pragma once

#include <Qt>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "calib/OverlayGrab.h"
#include "imaging/Rect.h"
#include "imaging/ViewGeometry.h"
#include "measure/MeasureItem.h"

class DibImage;
class MeasureSession;

// Finds the edge a point placed near p snaps to, within radius picture pixels; none when there is none.
using SnapFinder = std::function<std::optional<MeasurePoint>(MeasurePoint p, double radius)>;

// What one event works with; the window fills it in before each.
struct InteractionContext {
    ViewGeometry geometry;             // of the picture on the screen: every point is mapped with it
    ViewGeometry layout;               // the zoom and scroll the view is to have: a pan starts from them
    const DibImage* picture = nullptr; // the picture in use
    FrameDragHooks frame;
    // Set while snapping is on: the points the tools place move to the edge it finds (not those of the caliper,
    // the edge circle and the edge line, which search for edges themselves from where they are put).
    SnapFinder snap;
};

// A mouse event: the pointer in client coordinates, and the fraction of a client pixel beyond client that a
// scaled screen gives (half a pixel at 200 %); points are placed where the pointer is, fraction included.
struct PointerEvent {
    Point client;
    double fractionX = 0.0;
    double fractionY = 0.0;

    double x() const { return client.x + fractionX; }
    double y() const { return client.y + fractionY; }
};

// What needs painting again.
enum RepaintScope : uint32_t {
    RepaintNone = 0,
    RepaintView = 1,  // the picture and what is drawn over it
    RepaintTools = 4, // the tool buttons (their green dot follows the active tool)
};

struct InteractionEffects {
    std::optional<Qt::CursorShape> cursor; // for the widget under the pointer; none leaves it as it is
    uint32_t repaint = RepaintNone;
    std::optional<PicturePoint> scroll;      // new scroll offsets, whole and within the picture
};

class MeasureInteraction {
public:
    // Cursor shown while panning.
    static constexpr Qt::CursorShape kHandCursor = Qt::PointingHandCursor;

    // The window's measurements (items, calibration, scale bar); they outlive this object.
    explicit MeasureInteraction(MeasureSession& session);

    // The six mouse handlers, in the order of precedence each of them keeps.
    InteractionEffects OnLButtonDown(const PointerEvent& e, const InteractionContext& c);
    InteractionEffects OnMouseMove(const PointerEvent& e, const InteractionContext& c);
    InteractionEffects OnLButtonUp(const PointerEvent& e, const InteractionContext& c);
    InteractionEffects OnLButtonDblClk(const PointerEvent& e, const InteractionContext& c);
    InteractionEffects OnRButtonDown(const PointerEvent& e, const InteractionContext& c);
    InteractionEffects OnRButtonUp(const PointerEvent& e, const InteractionContext& c);

    // A tool button: the item being built starts afresh with the tool (ToolNone ends it). The caliper and the
    // edge line are placed as a line is (press to release), the edge circle as a circle (three clicks); a
    // right drag of their points, or of an edge circle's fitted centre, searches the picture again.
    InteractionEffects SelectTool(int32_t tool);
    // DELETE with the items of the selected rows, and CLEAR.
    InteractionEffects Delete(const std::vector<int32_t>& itemIds);
    InteractionEffects Clear();
    // The list as it was before the last change, or after the change last undone.
    InteractionEffects Undo(const InteractionContext& c);
    InteractionEffects Redo(const InteractionContext& c);

    int32_t tool() const;
    bool editing() const { return m_Edit.active; }
    bool panning() const { return m_Pan.active; }
    // The last pointer position (client coordinates): the rubber band of the item being built runs to it.
    std::optional<Point> pointer() const { return m_Pointer; }
    // Where the last point placed snapped to, until another tool is chosen; the view marks it.
    std::optional<MeasurePoint> lastSnap() const { return m_Snapped; }

    // How far from the pointer, in screen pixels, a point looks for an edge to snap to.
    static constexpr int kSnapScreenPixels = 8;

    // The resize cursor for a drag along the line from one point to another; none when the line is level
    // or upright.
    static std::optional<Qt::CursorShape> directionCursor(MeasurePoint from, MeasurePoint to);

private:
    struct Edit {
        bool active = false;
        int32_t itemId = 0; // the item is found by id at every step, so DELETE or undo never leave it dangling
        int32_t index = 0;  // the point, or the circle (0 or 1)
        int32_t kind = 0;   // 1: a point or a centre, 2: a circumference
        bool recorded = false; // one undo step per drag, taken at its first move
    };
    struct Pan {
        bool active = false;
        double anchorX = 0.0;
        double anchorY = 0.0;
    };

    void append(const MeasureItem& finished, InteractionEffects& fx);
    void finishCurrent(const InteractionContext& c, InteractionEffects& fx);
    void finishByTool(const InteractionContext& c, InteractionEffects& fx);
    MeasureItem* editedItem();
    void editStep(MeasurePoint p, const InteractionContext& c, InteractionEffects& fx);
    void endEdit() { m_Edit = Edit {}; }
    static InteractionEffects restored(bool changed);
    void hover(MeasurePoint p, const InteractionContext& c, InteractionEffects& fx);
    // The picture point a tool places for the pointer of e: snapped to an edge when snapping is on.
    MeasurePoint placed(const PointerEvent& e, const InteractionContext& c);

    MeasureSession& m_Session;
    Edit m_Edit;
    Pan m_Pan;
    OverlayGrab m_Grab;
    std::optional<Point> m_Pointer;
    std::optional<MeasurePoint> m_Snapped;
};
