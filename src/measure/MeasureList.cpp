// The list of finished measurements: cursor walks, ids, removal, hit tests and the walk over the
// perpendiculars that share a base line.
#include "measure/MeasureList.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <new>

#include "measure/Geometry.h"

namespace {

// A pseudo-random number 0..32767 times the millisecond tick, wrapping in 32 bits.
int32_t randomTimesTick()
{
    const auto tick = uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
    return int32_t(uint32_t(std::rand() & 0x7FFF) * tick);
}

bool inBox(MeasurePoint p, double x, double y, double t)
{
    return x - t <= p.x && p.x < x + t && y - t <= p.y && p.y < y + t;
}

}  // namespace

MeasureList::MeasureList() : MeasureList(randomTimesTick) {}

MeasureList::MeasureList(IdSource idSource) : m_IdSource(std::move(idSource)) {}

int32_t MeasureList::freshId()
{
    // Rows and DELETE find items by id, so an id that is already taken (a zero random number, or two
    // products that happen to agree) would remove the wrong item: draw until it is unique.
    for (;;) {
        const int32_t id = m_IdSource();
        bool taken = false;
        for (const MeasureItem& item : m_Items)
            taken = taken || item.id == id;
        if (!taken)
            return id;
    }
}

MeasureItem* MeasureList::append(const MeasureItem& item)
{
    try {
        MeasureItem copy;
        copy.type = item.type;
        copy.pointCount = item.pointCount;
        copy.points = item.points;
        copy.unit = item.unit;
        copy.result = item.result;
        copy.result2 = item.result2;
        copy.result3 = item.result3;
        copy.center1 = item.center1;
        copy.center2 = item.center2;
        copy.radius1 = item.radius1;
        copy.radius2 = item.radius2;
        copy.halfWidth = item.halfWidth;
        copy.edges = item.edges;
        copy.edgeFound = item.edgeFound;
        copy.tolerance = item.tolerance;
        copy.id = freshId();
        m_Cursor = m_Items.insert(m_Items.end(), std::move(copy));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return &*m_Cursor;
}

void MeasureList::rewind() { m_Cursor = m_Items.begin(); }

int MeasureList::advance(int32_t n)
{
    rewind();
    for (int32_t i = 0; i < n; ++i) {
        if (m_Cursor == m_Items.end())
            return 0;
        auto next = std::next(m_Cursor);
        if (next == m_Items.end())
            return 0;
        m_Cursor = next;
    }
    return m_Cursor != m_Items.end() ? 1 : 0;
}

void MeasureList::renumber()
{
    int32_t index = 0;
    for (MeasureItem& item : m_Items)
        item.index = index++;
}

MeasureItem* MeasureList::itemAt(int32_t n)
{
    renumber();
    return advance(n) ? current() : nullptr;
}

int MeasureList::findById(int32_t id)
{
    for (rewind(); m_Cursor != m_Items.end(); ++m_Cursor) {
        if (m_Cursor->id == id)
            return 1;
    }
    // Not found: keep the cursor on an item while there is one.
    if (!m_Items.empty())
        m_Cursor = std::prev(m_Items.end());
    return 0;
}

void MeasureList::removeCurrent()
{
    if (m_Cursor == m_Items.end())
        return;
    resetSiblingWalk();
    auto following = m_Items.erase(m_Cursor);
    if (following == m_Items.end() && !m_Items.empty())
        following = std::prev(m_Items.end());
    m_Cursor = following;
}

int MeasureList::removeById(int32_t id)
{
    if (!findById(id))
        return 0;
    removeCurrent();
    return 1;
}

void MeasureList::clear()
{
    rewind();
    while (!m_Items.empty())
        removeCurrent();
}

void MeasureList::restore(const std::vector<MeasureItem>& items)
{
    clear();
    resetSiblingWalk();
    m_Items.assign(items.begin(), items.end());
    m_Cursor = m_Items.empty() ? m_Items.end() : std::prev(m_Items.end());
}

MeasureList::Hit MeasureList::hitTest(double x, double y, double tolerance)
{
    const double t = tolerance;
    for (MeasureItem& item : m_Items) {
        switch (item.type) {
        case -ToolLine:
        case -ToolArea:
        case -ToolPerpendicular:
        case -ToolAngle:
        case -ToolCaliper:
        case -ToolEdgeLine:
            // The foot of a perpendicular lies beyond pointCount, so it is never hit.
            for (int32_t i = 0; i < item.countedPoints(); ++i) {
                if (inBox(item.points[size_t(i)], x, y, t))
                    return {&item, i, 1};
            }
            break;
        case -ToolCircle:
        case -ToolCircle2: {
            const int32_t circles = std::min(item.pointCount / 3, 2);
            for (int32_t i = 0; i < circles; ++i) {
                const MeasurePoint centre = i == 0 ? item.center1 : item.center2;
                const double r = i == 0 ? item.radius1 : item.radius2;
                const double d = distance(centre, MeasurePoint{x, y});
                if (d - t <= r && r < d + t)
                    return {&item, i, 2};
                if (inBox(centre, x, y, t))
                    return {&item, i, 1};
            }
            break;
        }
        case -ToolEdgeCircle:
            // The three points that place the ring, then the fitted circle's centre (index 3) moving them all.
            for (int32_t i = 0; i < item.countedPoints(); ++i) {
                if (inBox(item.points[size_t(i)], x, y, t))
                    return {&item, i, 1};
            }
            if (item.edgeFound && inBox(item.center1, x, y, t))
                return {&item, kEdgeCircleCentre, 1};
            break;
        default:
            break;
        }
    }
    return {};
}

MeasureList::Iterator MeasureList::find(const MeasureItem* item)
{
    for (auto it = m_Items.begin(); it != m_Items.end(); ++it) {
        if (&*it == item)
            return it;
    }
    return m_Items.end();
}

void MeasureList::resetSiblingWalk()
{
    m_SiblingOf = nullptr;
    m_SiblingResume = m_Items.end();
}

MeasureItem* MeasureList::nextPerpendicularSibling(const MeasureItem* item)
{
    if (!item || item->capacity() < 2) {
        resetSiblingWalk();
        return nullptr;
    }
    Iterator from = m_SiblingOf == item ? m_SiblingResume : m_Items.end();
    if (from == m_Items.end())
        from = find(item);
    if (from == m_Items.end()) {
        resetSiblingWalk();
        return nullptr;
    }
    const MeasurePoint a = item->points[0];
    const MeasurePoint b = item->points[1];
    for (auto it = std::next(from); it != m_Items.end(); ++it) {
        if (it->type == -ToolPerpendicular && it->capacity() >= 2 && it->points[0] == a && it->points[1] == b) {
            m_SiblingOf = item;
            m_SiblingResume = it;
            return &*it;
        }
    }
    resetSiblingWalk();
    return nullptr;
}
