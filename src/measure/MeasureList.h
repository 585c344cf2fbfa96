// The finished measurements in the order they were finished, with a cursor. Items never move in memory
// while they are in the list, so result rows and drags may keep their addresses.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <vector>

#include "measure/MeasureItem.h"

class MeasureList {
public:
    // A source of fresh ids; the default multiplies a pseudo-random number by the millisecond tick.
    using IdSource = std::function<int32_t()>;

    // The hit index of an edge circle's fitted centre (after its three points).
    static constexpr int32_t kEdgeCircleCentre = 3;

    struct Hit {
        MeasureItem* item = nullptr;
        int32_t index = 0;  // the point hit, or the circle (0 or 1)
        int32_t kind = 0;   // 1: a point or a circle's centre, 2: a circle's circumference
    };

    MeasureList();
    explicit MeasureList(IdSource idSource);
    MeasureList(const MeasureList&) = delete;
    MeasureList& operator=(const MeasureList&) = delete;

    // Appends a copy of item (the points deep-copied, a fresh id, index left for renumber); the cursor
    // ends on the copy, which is returned. Returns null only when memory runs out.
    MeasureItem* append(const MeasureItem& item);

    // The cursor's item, null when the list is empty.
    MeasureItem* current() { return m_Cursor == m_Items.end() ? nullptr : &*m_Cursor; }
    int32_t count() const { return int32_t(m_Items.size()); }
    bool isEmpty() const { return m_Items.empty(); }

    void rewind();
    // Rewinds, then steps n times; 0 when the list ends first (the cursor then stays on the last item).
    int advance(int32_t n);
    // Numbers the items 0, 1, 2, ... from the head; the cursor stays.
    void renumber();
    // renumber, advance(n), the cursor's item; null when there is no item n. A negative n gives the head.
    MeasureItem* itemAt(int32_t n);
    // 1 with the cursor on the first item with this id, else 0.
    int findById(int32_t id);
    // Removes the cursor's item; the cursor goes to the following item, else to the preceding one.
    void removeCurrent();
    // findById, then removeCurrent; 0 when no item has the id.
    int removeById(int32_t id);
    void clear();
    // Replaces the items by copies of items, ids included: undo brings items back as they were, so rows
    // and drags that name them by id find them again. The cursor ends on the last item.
    void restore(const std::vector<MeasureItem>& items);

    // The first item in list order with a point, circle centre or circumference within tolerance of
    // (x, y); item is null when nothing is hit.
    Hit hitTest(double x, double y, double tolerance);

    // The next finished perpendicular item after item whose base points equal item's; successive calls
    // with the same item give successive siblings, then null, after which the walk starts again. One walk
    // at a time; asking about another item, or removing items, starts it afresh.
    MeasureItem* nextPerpendicularSibling(const MeasureItem* item);

    // Walks in list order (drawing, recalculation, rows).
    auto begin() { return m_Items.begin(); }
    auto end() { return m_Items.end(); }
    auto begin() const { return m_Items.cbegin(); }
    auto end() const { return m_Items.cend(); }

private:
    using Iterator = std::list<MeasureItem>::iterator;

    int32_t freshId();
    Iterator find(const MeasureItem* item);
    void resetSiblingWalk();

    std::list<MeasureItem> m_Items;
    Iterator m_Cursor = m_Items.end();
    IdSource m_IdSource;
    const MeasureItem* m_SiblingOf = nullptr;
    Iterator m_SiblingResume = m_Items.end();
};
