// The mouse rules of the view, and the changes to the measurements with their undo.
#include "measure/MeasureInteraction.h"

#include <cmath>
#include <utility>

#include "calib/CalibEntry.h"
#include "imaging/ViewLayout.h"
#include "measure/Geometry.h"
#include "measure/MeasureResults.h"
#include "measure/MeasureSession.h"

namespace {

constexpr double kDegreesPerRadian = 360.0 * 0.15915494327375637;

// Kinds of hit on a finished item.
constexpr int32_t kHitPoint = 1;
constexpr int32_t kHitCircumference = 2;

bool inView(const Point& p, const ViewGeometry& g) { return g.view.contains(p.x, p.y); }

MeasurePoint pictureAt(const PointerEvent& e, const ViewGeometry& g) { return windowToImage(e.x(), e.y(), g); }

MeasurePoint& centreOf(MeasureItem& item, int32_t circle) { return circle == 0 ? item.center1 : item.center2; }
double& radiusOf(MeasureItem& item, int32_t circle) { return circle == 0 ? item.radius1 : item.radius2; }

// Tools whose item is a segment from the press to the release, as a line is.
bool pressToRelease(int32_t tool) { return tool == ToolLine || tool == ToolCaliper || tool == ToolEdgeLine; }

// Tools that search the picture for edges themselves: their points stay where they are put.
bool findsEdges(int32_t tool) { return tool == ToolCaliper || tool == ToolEdgeCircle || tool == ToolEdgeLine; }

void merge(InteractionEffects& into, const InteractionEffects& from)
{
    if (from.cursor)
        into.cursor = from.cursor;
    into.repaint |= from.repaint;
}

} // namespace

MeasureInteraction::MeasureInteraction(MeasureSession& session)
    : m_Session(session)
    , m_Grab(session.scale())
{
}

int32_t MeasureInteraction::tool() const
{
    const int32_t type = m_Session.current().type;
    return type > 0 ? type : ToolNone;
}

std::optional<Qt::CursorShape> MeasureInteraction::directionCursor(MeasurePoint from, MeasurePoint to)
{
    const double x1 = from.x, y1 = from.y, x2 = to.x, y2 = to.y;
    if (x1 == x2 || y1 == y2)
        return std::nullopt;
    // The line's direction counter-clockwise from the right, 0 to 360, with the picture's y axis pointing up.
    const double g = 0.0 - std::atan((y2 - y1) / (x1 - x2)) * kDegreesPerRadian;
    const double m = x1 > x2 ? 180.0 - g : y1 >= y2 ? -g : 360.0 - g;
    const auto in = [m](double from, double to) { return m >= from && m < to; };
    if (in(23, 68) || in(203, 248))
        return Qt::SizeBDiagCursor;
    if (in(68, 113) || in(248, 293))
        return Qt::SizeVerCursor;
    if (in(113, 158) || in(293, 338))
        return Qt::SizeFDiagCursor;
    return Qt::SizeHorCursor;
}

// --- Left button.

InteractionEffects MeasureInteraction::OnLButtonDown(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    if (inView(e.client, c.geometry)) {
        const MeasurePoint p = pictureAt(e, c.geometry);
        // The first of these that applies takes the press.
        if (const std::optional<Qt::CursorShape> grab = m_Grab.press(c.frame, p.x, p.y)) {
            fx.cursor = grab;
        } else if (pressToRelease(tool())) {
            // The press places the start, the release the end; a line started by a click waits for the next.
            if (m_Session.current().pointCount == 0)
                m_Session.current().addPoint(placed(e, c));
        } else if (c.layout.zoomIndex > 0) {
            const double z = c.layout.magnification();
            m_Pan = { true, e.x() / z - c.layout.baiX, e.y() / z - c.layout.baiY };
        }
    }
    return fx;
}

InteractionEffects MeasureInteraction::OnMouseMove(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    const MeasurePoint p = pictureAt(e, c.geometry);
    std::optional<Qt::CursorShape> grabbed;
    if (tool() != ToolNone) {
        // The rubber band of the item being built follows the pointer; nothing else happens in the view.
        fx.repaint |= RepaintView;
    } else if (m_Pan.active) {
        const ViewGeometry& l = c.layout;
        if (inView(e.client, l)) {
            const double z = l.magnification();
            fx.scroll = PicturePoint { ViewLayout::ClampScroll(e.x() / z - m_Pan.anchorX, l.deviceWidth(),
                                                               l.factor(), l.imageWidth),
                                       ViewLayout::ClampScroll(e.y() / z - m_Pan.anchorY, l.deviceHeight(),
                                                               l.factor(), l.imageHeight) };
            fx.repaint |= RepaintView;
            fx.cursor = kHandCursor;
        } else {
            m_Pan.active = false;
        }
    } else if ((grabbed = m_Grab.drag(c.frame, p.x, p.y))) {
        fx.cursor = grabbed;
        fx.repaint |= RepaintView;
    } else if (m_Edit.active) {
        editStep(p, c, fx);
    } else if (inView(e.client, c.geometry)) {
        hover(p, c, fx);
    } else {
        fx.cursor = Qt::ArrowCursor; // off the picture (the strip puts its hand over a thumbnail)
    }
    return fx;
}

InteractionEffects MeasureInteraction::OnLButtonUp(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    m_Pan.active = false;
    m_Grab.release(c.frame);
    if (tool() != ToolNone) {
        // Anywhere, also outside the view: the point lands at the mapped position, beyond the picture if so
        // (or on the edge it snaps to).
        const MeasurePoint p = placed(e, c);
        MeasureItem& current = m_Session.current();
        // A release on a line's start (a click without motion) leaves the line open: no line of length 0.
        const bool onLineStart = pressToRelease(tool()) && current.pointCount == 1 && current.point(0).x == p.x
            && current.point(0).y == p.y;
        if (!onLineStart) {
            current.addPoint(p);
            finishByTool(c, fx);
        }
    }
    fx.repaint |= RepaintView;
    return fx;
}

InteractionEffects MeasureInteraction::OnLButtonDblClk(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    // The release before the double click placed the last corner; the polygon closes whatever its count.
    if (tool() == ToolArea)
        finishCurrent(c, fx);
    return fx;
}

MeasurePoint MeasureInteraction::placed(const PointerEvent& e, const InteractionContext& c)
{
    const MeasurePoint p = pictureAt(e, c.geometry);
    if (!c.snap || findsEdges(tool()))
        return p;
    // The reach is a few screen pixels whatever the zoom: in picture pixels, as far as they map apart.
    const MeasurePoint reach = pictureAt(PointerEvent { { e.client.x + kSnapScreenPixels, e.client.y } }, c.geometry);
    const std::optional<MeasurePoint> edge = c.snap(p, std::abs(reach.x - p.x));
    if (!edge)
        return p;
    m_Snapped = edge;
    return *edge;
}

void MeasureInteraction::finishByTool(const InteractionContext& c, InteractionEffects& fx)
{
    const int32_t n = m_Session.current().pointCount;
    switch (tool()) {
    case ToolLine:
    case ToolCaliper:
    case ToolEdgeLine:
        if (n >= 2)
            finishCurrent(c, fx);
        break;
    case ToolCircle:
    case ToolAngle:
    case ToolEdgeCircle:
        if (n >= 3)
            finishCurrent(c, fx);
        break;
    case ToolCircle2:
        if (n >= 6)
            finishCurrent(c, fx);
        break;
    case ToolPerpendicular:
        // Every point after the base line makes one more perpendicular onto it; the tool stays.
        if (n >= 3)
            append(makePerpendicular(m_Session.current(), m_Session.selectedCalib()), fx);
        break;
    default:
        break; // an area closes with a double click
    }
}

void MeasureInteraction::finishCurrent(const InteractionContext& c, InteractionEffects& fx)
{
    MeasureItem& current = m_Session.current();
    finishItem(current, m_Session.selectedCalib(), c.picture);
    append(current, fx);
    merge(fx, SelectTool(ToolNone));
}

void MeasureInteraction::append(const MeasureItem& finished, InteractionEffects& fx)
{
    m_Session.add(finished);
    fx.repaint |= RepaintView;
}

// --- Right button: dragging points of finished items.

InteractionEffects MeasureInteraction::OnRButtonDown(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    if (inView(e.client, c.geometry)) {
        const MeasurePoint p = pictureAt(e, c.geometry);
        const MeasureList::Hit hit = m_Session.items().hitTest(p.x, p.y, hitTolerance(c.geometry));
        if (hit.item) {
            m_Edit = Edit { true, hit.item->id, hit.index, hit.kind, false };
            fx.cursor = hit.kind == kHitCircumference ? directionCursor(centreOf(*hit.item, hit.index), p)
                                                      : Qt::SizeAllCursor;
        }
    }
    return fx;
}

InteractionEffects MeasureInteraction::OnRButtonUp(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    if (tool() == ToolPerpendicular)
        merge(fx, SelectTool(ToolNone)); // the right click ends a series of perpendiculars
    // A polygon's area is worked out once, when its corner is let go.
    if (MeasureItem* item = m_Edit.active ? editedItem() : nullptr; item && item->type == -ToolArea) {
        computeResults(*item, m_Session.selectedCalib(), c.picture);
        m_Session.itemsChanged();
        fx.repaint |= RepaintView;
    }
    endEdit();
    return fx;
}

MeasureItem* MeasureInteraction::editedItem()
{
    for (MeasureItem& item : m_Session.items())
        if (item.id == m_Edit.itemId)
            return &item;
    return nullptr;
}

void MeasureInteraction::editStep(MeasurePoint p, const InteractionContext& c, InteractionEffects& fx)
{
    MeasureItem* item = editedItem();
    if (!item) {
        endEdit();
        return;
    }
    if (!m_Edit.recorded) {
        // One undo step per drag, with the list as the drag found it.
        m_Session.record();
        m_Edit.recorded = true;
    }
    const CalibEntry& calib = m_Session.selectedCalib();
    const int32_t index = m_Edit.index;
    fx.repaint |= RepaintView;
    fx.cursor = Qt::SizeAllCursor;
    switch (item->type) {
    case -ToolLine:
    case -ToolAngle:
        item->setPoint(index, p);
        computeResults(*item, calib, nullptr);
        break;
    case -ToolArea:
        item->setPoint(index, p); // worked out at the release
        break;
    case -ToolPerpendicular:
        if (index < 2) {
            // The later perpendiculars on the same base line keep standing on it.
            std::vector<MeasureItem*> siblings;
            while (MeasureItem* s = m_Session.items().nextPerpendicularSibling(item))
                siblings.push_back(s);
            for (MeasureItem* s : siblings) {
                s->setPoint(index, p);
                computeResults(*s, calib, nullptr);
            }
        }
        item->setPoint(index, p);
        computeResults(*item, calib, nullptr);
        break;
    case -ToolCircle:
    case -ToolCircle2: {
        if (m_Edit.kind == kHitPoint) {
            // The centre moves, the radius stays; the three points the circle was fitted to stay put.
            centreOf(*item, index) = p;
            if (item->type == -ToolCircle2) {
                item->result3 = distance(item->center1, item->center2) * calib.mppX;
                item->unit = calib.unit;
            }
        } else {
            const double r = distance(centreOf(*item, index), p);
            radiusOf(*item, index) = r;
            (index == 0 ? item->result : item->result2) = 2.0 * r * calib.mppX;
            item->unit = calib.unit;
            fx.cursor = directionCursor(centreOf(*item, index), p);
        }
        break;
    }
    case -ToolCaliper:
    case -ToolEdgeLine:
    case -ToolEdgeCircle:
        if (index == MeasureList::kEdgeCircleCentre) {
            // The fitted centre carries the ring along: its points move so the ring is centred on the pointer
            // (not the fitted centre, which the search may hold on the same edge while the pointer moves).
            const double dx = p.x - item->center2.x, dy = p.y - item->center2.y;
            for (int32_t i = 0; i < item->countedPoints(); ++i)
                item->setPoint(i, { item->point(i).x + dx, item->point(i).y + dy });
        } else {
            item->setPoint(index, p);
        }
        // The picture is searched again at every step, so the results follow the pointer.
        computeResults(*item, calib, c.picture);
        break;
    default:
        break;
    }
    m_Session.itemsChanged();
}

void MeasureInteraction::hover(MeasurePoint p, const InteractionContext& c, InteractionEffects& fx)
{
    const MeasureList::Hit hit = m_Session.items().hitTest(p.x, p.y, hitTolerance(c.geometry));
    if (!hit.item)
        fx.cursor = Qt::ArrowCursor;
    else if (hit.kind == kHitCircumference)
        fx.cursor = directionCursor(centreOf(*hit.item, hit.index), p);
    else
        fx.cursor = Qt::SizeAllCursor;
}

// --- Tools, DELETE, CLEAR, undo and redo.

InteractionEffects MeasureInteraction::SelectTool(int32_t tool)
{
    m_Session.current().reset(tool);
    if (tool != ToolNone)
        m_Snapped.reset(); // a finished item's last snap stays marked until the next tool is chosen
    InteractionEffects fx;
    fx.repaint = RepaintView | RepaintTools;
    return fx;
}

InteractionEffects MeasureInteraction::Delete(const std::vector<int32_t>& itemIds)
{
    // A drag under way must not outlive its item.
    endEdit();
    m_Session.deleteItems(itemIds);
    InteractionEffects fx;
    fx.repaint = RepaintView;
    return fx;
}

InteractionEffects MeasureInteraction::Clear()
{
    endEdit();
    InteractionEffects fx = SelectTool(ToolNone);
    m_Session.clear();
    return fx;
}

InteractionEffects MeasureInteraction::Undo(const InteractionContext& c)
{
    endEdit();
    return restored(m_Session.undo(c.picture));
}

InteractionEffects MeasureInteraction::Redo(const InteractionContext& c)
{
    endEdit();
    return restored(m_Session.redo(c.picture));
}

InteractionEffects MeasureInteraction::restored(bool changed)
{
    InteractionEffects fx;
    if (changed)
        fx.repaint = RepaintView;
    return fx;
}
