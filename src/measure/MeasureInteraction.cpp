// The mouse rules of the view and the strip, and the changes to the measurements with their undo.
#include "measure/MeasureInteraction.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "calib/CalibEntry.h"
#include "calib/ScaleBar.h"
#include "imaging/ViewLayout.h"
#include "measure/Geometry.h"
#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"
#include "measure/ResultsList.h"

namespace {

constexpr double kDegreesPerRadian = 360.0 * 0.15915494327375637;

// Kinds of hit on a finished item.
constexpr int32_t kHitPoint = 1;
constexpr int32_t kHitCircumference = 2;

const CalibEntry& calibOf(const InteractionContext& c)
{
    static const CalibEntry kNone;
    return c.calib ? *c.calib : kNone;
}

bool inView(const Point& p, const ViewGeometry& g) { return g.view.contains(p.x, p.y); }

MeasurePoint pictureAt(const Point& p, const ViewGeometry& g) { return windowToImage(p.x, p.y, g); }

MeasurePoint& centreOf(MeasureItem& item, int32_t circle) { return circle == 0 ? item.center1 : item.center2; }
double& radiusOf(MeasureItem& item, int32_t circle) { return circle == 0 ? item.radius1 : item.radius2; }

void merge(InteractionEffects& into, const InteractionEffects& from)
{
    if (from.cursor)
        into.cursor = from.cursor;
    into.repaint |= from.repaint;
    into.rowsChanged = into.rowsChanged || from.rowsChanged;
}

} // namespace

MeasureInteraction::MeasureInteraction(MeasureList& list, MeasureItem& current, ResultsList& results)
    : m_List(list)
    , m_Current(current)
    , m_Results(results)
{
}

int32_t MeasureInteraction::tool() const { return m_Current.type > 0 ? m_Current.type : ToolNone; }

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
        const MeasurePoint p = pictureAt(e.client, c.geometry);
        // The first of these that applies takes the press.
        std::optional<Qt::CursorShape> grab;
        if (c.frame.begin)
            grab = c.frame.begin(p.x, p.y);
        if (!grab && c.scale)
            grab = BeginScaleDrag(*c.scale, p.x, p.y);
        if (grab) {
            fx.cursor = grab;
        } else if (tool() == ToolLine) {
            m_Current.addPoint(p); // the press places the start, the release the end
        } else if (c.layout.zoomIndex > 0) {
            const double z = c.layout.factor();
            m_Pan = { true, e.client.x / z - c.layout.baiX, e.client.y / z - c.layout.baiY };
        }
    }
    if (e.thumbnail >= 0) {
        m_Strip = { true, e.client.x };
        fx.cursor = kHandCursor;
    }
    return fx;
}

InteractionEffects MeasureInteraction::OnMouseMove(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    const MeasurePoint p = pictureAt(e.client, c.geometry);
    FrameDragStep frame;
    if (tool() != ToolNone) {
        // The rubber band of the item being built follows the pointer; nothing else happens in the view.
        fx.repaint |= RepaintView;
    } else if (m_Pan.active) {
        const ViewGeometry& l = c.layout;
        if (inView(e.client, l)) {
            const int z = l.factor();
            fx.scroll = PicturePoint { ViewLayout::ClampScroll(e.client.x / double(z) - m_Pan.anchorX, l.view.width(), z,
                                                               l.imageWidth),
                                       ViewLayout::ClampScroll(e.client.y / double(z) - m_Pan.anchorY, l.view.height(),
                                                               z, l.imageHeight) };
            fx.repaint |= RepaintView;
            fx.cursor = kHandCursor;
        } else {
            m_Pan.active = false;
        }
    } else if (c.frame.drag && (frame = c.frame.drag(p.x, p.y)).dragging) {
        fx.repaint |= RepaintView;
        fx.cursor = frame.cursor;
    } else if (c.scale && DragScale(*c.scale, p.x, p.y)) {
        fx.cursor = Qt::SizeAllCursor;
        fx.repaint |= RepaintView;
    } else if (m_Edit.active) {
        editStep(p, c, fx);
    } else if (inView(e.client, c.geometry)) {
        hover(p, c, fx);
    } else {
        fx.cursor = Qt::ArrowCursor; // off the picture, and (below) off the thumbnails
    }

    if (e.thumbnail >= 0)
        fx.cursor = kHandCursor;
    if (m_Strip.active && std::abs(m_Strip.lastX - e.client.x) > c.strip.step) {
        // Dragging to the right brings earlier thumbnails in, as if the strip were pulled along.
        const int32_t step = e.client.x >= m_Strip.lastX ? -1 : 1;
        const int32_t position = std::clamp(c.strip.scroll + step, 0, std::max(c.strip.lastScroll, 0));
        if (position != c.strip.scroll)
            fx.stripScroll = position;
        m_Strip.lastX = e.client.x;
        fx.repaint |= RepaintStrip;
    }
    return fx;
}

InteractionEffects MeasureInteraction::OnLButtonUp(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    m_Pan.active = false;
    m_Strip.active = false;
    if (c.frame.end)
        c.frame.end();
    if (c.scale)
        EndScaleDrag(*c.scale);
    if (tool() != ToolNone) {
        // Anywhere, also outside the view: the point lands at the mapped position, beyond the picture if so.
        m_Current.addPoint(pictureAt(e.client, c.geometry));
        finishByTool(c, fx);
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
    if (e.thumbnail >= 0) {
        fx.cursor = kHandCursor;
        fx.openThumbnail = e.thumbnail;
    }
    return fx;
}

void MeasureInteraction::finishByTool(const InteractionContext& c, InteractionEffects& fx)
{
    const int32_t n = m_Current.pointCount;
    switch (tool()) {
    case ToolLine:
        if (n >= 2)
            finishCurrent(c, fx);
        break;
    case ToolCircle:
    case ToolAngle:
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
            append(makePerpendicular(m_Current, calibOf(c)), fx);
        break;
    default:
        break; // an area closes with a double click
    }
}

void MeasureInteraction::finishCurrent(const InteractionContext& c, InteractionEffects& fx)
{
    finishItem(m_Current, calibOf(c), c.picture);
    append(m_Current, fx);
    merge(fx, SelectTool(ToolNone));
}

const MeasureItem* MeasureInteraction::append(const MeasureItem& finished, InteractionEffects& fx)
{
    record();
    const MeasureItem* appended = m_List.append(finished);
    m_Results.AddResultRow(appended);
    fx.rowsChanged = true;
    fx.repaint |= RepaintView;
    return appended;
}

// --- Right button: dragging points of finished items.

InteractionEffects MeasureInteraction::OnRButtonDown(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    if (inView(e.client, c.geometry)) {
        const MeasurePoint p = pictureAt(e.client, c.geometry);
        const MeasureList::Hit hit = m_List.hitTest(p.x, p.y, hitTolerance(c.geometry));
        if (hit.item) {
            m_Edit = Edit { true, hit.item->id, hit.index, hit.kind, false, snapshot() };
            fx.cursor = hit.kind == kHitCircumference ? directionCursor(centreOf(*hit.item, hit.index), p)
                                                      : Qt::SizeAllCursor;
        }
    }
    if (e.thumbnail >= 0)
        fx.thumbnailMenu = e.thumbnail;
    return fx;
}

InteractionEffects MeasureInteraction::OnRButtonUp(const PointerEvent& e, const InteractionContext& c)
{
    InteractionEffects fx;
    m_Pointer = e.client;
    if (tool() == ToolPerpendicular)
        merge(fx, SelectTool(ToolNone)); // the right click ends a series of perpendiculars
    // A polygon's area is counted once, when its corner is let go.
    if (MeasureItem* item = m_Edit.active ? editedItem() : nullptr; item && item->type == -ToolArea) {
        computeResults(*item, calibOf(c), c.picture);
        m_Results.UpdateItemRows(*item);
        fx.rowsChanged = true;
        fx.repaint |= RepaintView;
    }
    endEdit();
    return fx;
}

MeasureItem* MeasureInteraction::editedItem()
{
    for (MeasureItem& item : m_List)
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
        // One undo step per drag, with the list as the press found it.
        m_History.record(std::move(m_Edit.before));
        m_Edit.recorded = true;
    }
    const CalibEntry& calib = calibOf(c);
    const int32_t index = m_Edit.index;
    fx.repaint |= RepaintView;
    fx.rowsChanged = true;
    fx.cursor = Qt::SizeAllCursor;
    switch (item->type) {
    case -ToolLine:
    case -ToolAngle:
        item->setPoint(index, p);
        computeResults(*item, calib, nullptr);
        m_Results.UpdateItemRows(*item);
        break;
    case -ToolArea:
        item->setPoint(index, p); // counted at the release
        break;
    case -ToolPerpendicular:
        if (index < 2) {
            // The later perpendiculars on the same base line keep standing on it.
            std::vector<MeasureItem*> siblings;
            while (MeasureItem* s = m_List.nextPerpendicularSibling(item))
                siblings.push_back(s);
            for (MeasureItem* s : siblings) {
                s->setPoint(index, p);
                computeResults(*s, calib, nullptr);
                m_Results.UpdateItemRows(*s);
            }
        }
        item->setPoint(index, p);
        computeResults(*item, calib, nullptr);
        m_Results.UpdateItemRows(*item);
        break;
    case -ToolCircle:
    case -ToolCircle2: {
        const int32_t first = m_Results.FirstRowOf(item->id);
        if (m_Edit.kind == kHitPoint) {
            // The centre moves, the radius stays; the three points the circle was fitted to stay put.
            centreOf(*item, index) = p;
            if (item->type == -ToolCircle2) {
                item->result3 = distance(item->center1, item->center2) * calib.mppX;
                item->unit = calib.unit;
                m_Results.UpdateResultRow(first + 2, *item);
            }
        } else {
            const double r = distance(centreOf(*item, index), p);
            radiusOf(*item, index) = r;
            (index == 0 ? item->result : item->result2) = 2.0 * r * calib.mppX;
            item->unit = calib.unit;
            m_Results.UpdateResultRow(first + index, *item);
            fx.cursor = directionCursor(centreOf(*item, index), p);
        }
        break;
    }
    default:
        break;
    }
}

void MeasureInteraction::hover(MeasurePoint p, const InteractionContext& c, InteractionEffects& fx)
{
    const MeasureList::Hit hit = m_List.hitTest(p.x, p.y, hitTolerance(c.geometry));
    if (!hit.item)
        fx.cursor = Qt::ArrowCursor;
    else if (hit.kind == kHitCircumference)
        fx.cursor = directionCursor(centreOf(*hit.item, hit.index), p);
    else
        fx.cursor = Qt::SizeAllCursor;
}

// --- The strip's wheel.

InteractionEffects MeasureInteraction::OnStripWheel(int32_t notches, const StripState& strip)
{
    InteractionEffects fx;
    const int32_t position = std::clamp(strip.scroll - notches, 0, std::max(strip.lastScroll, 0));
    if (position != strip.scroll) {
        fx.stripScroll = position;
        fx.repaint |= RepaintStrip;
    }
    return fx;
}

// --- Tools, DELETE, CLEAR, undo and redo.

InteractionEffects MeasureInteraction::SelectTool(int32_t tool)
{
    m_Current.reset(tool);
    InteractionEffects fx;
    fx.repaint = RepaintView | RepaintTools;
    return fx;
}

const MeasureItem* MeasureInteraction::AddFinished(const MeasureItem& finished)
{
    InteractionEffects fx;
    return append(finished, fx);
}

InteractionEffects MeasureInteraction::Delete(const std::vector<int32_t>& selectedRows)
{
    // A drag under way must not outlive its item.
    endEdit();
    if (!m_Results.ItemsOfRows(selectedRows).empty())
        record();
    m_Results.OnDeleteItems(m_List, selectedRows);
    InteractionEffects fx;
    fx.rowsChanged = true;
    fx.repaint = RepaintView;
    return fx;
}

InteractionEffects MeasureInteraction::Clear()
{
    endEdit();
    if (!m_List.isEmpty())
        record();
    InteractionEffects fx = SelectTool(ToolNone);
    m_Results.OnClearItems(m_List);
    fx.rowsChanged = true;
    return fx;
}

InteractionEffects MeasureInteraction::Undo(const InteractionContext& c)
{
    endEdit();
    std::optional<MeasureHistory::Items> items = m_History.undo(snapshot());
    return items ? restore(std::move(*items), c) : InteractionEffects {};
}

InteractionEffects MeasureInteraction::Redo(const InteractionContext& c)
{
    endEdit();
    std::optional<MeasureHistory::Items> items = m_History.redo(snapshot());
    return items ? restore(std::move(*items), c) : InteractionEffects {};
}

InteractionEffects MeasureInteraction::restore(MeasureHistory::Items items, const InteractionContext& c)
{
    m_List.restore(items);
    m_Results.Rebuild(m_List);
    // Items come back in the calibration chosen now, as every other item shows.
    if (c.calib)
        m_Results.Recalculate(m_List, *c.calib, c.picture);
    InteractionEffects fx;
    fx.rowsChanged = true;
    fx.repaint = RepaintView;
    return fx;
}

MeasureHistory::Items MeasureInteraction::snapshot() const { return { m_List.begin(), m_List.end() }; }

void MeasureInteraction::record() { m_History.record(snapshot()); }
