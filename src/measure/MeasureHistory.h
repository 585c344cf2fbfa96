// Undo and redo of the finished measurements: every change (an item finished, a drag of its points,
// DELETE, CLEAR) first records the list as it was, and undo and redo swap whole lists. The rows follow
// from the items, so the lists are all there is to keep.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include "measure/MeasureItem.h"

class MeasureHistory {
public:
    using Items = std::vector<MeasureItem>;

    // Steps kept; the oldest goes when a new one would exceed it.
    static constexpr size_t kDepth = 200;

    // The list before a change; a new change forgets what could be redone.
    void record(Items before);
    // The list to go back to, given the list as it is now (kept for redo); nothing when there is none.
    std::optional<Items> undo(Items now);
    // The list to go forward to, given the list as it is now (kept for undo); nothing when there is none.
    std::optional<Items> redo(Items now);

    size_t undoSteps() const { return m_Undo.size(); }
    size_t redoSteps() const { return m_Redo.size(); }

private:
    static void push(std::deque<Items>& stack, Items items);

    std::deque<Items> m_Undo;
    std::deque<Items> m_Redo;
};
