// Undo and redo stacks of whole measurement lists.
#include "measure/MeasureHistory.h"

#include <utility>

void MeasureHistory::push(std::deque<Items>& stack, Items items)
{
    stack.push_back(std::move(items));
    if (stack.size() > kDepth)
        stack.pop_front();
}

void MeasureHistory::record(Items before)
{
    push(m_Undo, std::move(before));
    m_Redo.clear();
}

std::optional<MeasureHistory::Items> MeasureHistory::undo(Items now)
{
    if (m_Undo.empty())
        return std::nullopt;
    Items back = std::move(m_Undo.back());
    m_Undo.pop_back();
    push(m_Redo, std::move(now));
    return back;
}

std::optional<MeasureHistory::Items> MeasureHistory::redo(Items now)
{
    if (m_Redo.empty())
        return std::nullopt;
    Items forward = std::move(m_Redo.back());
    m_Redo.pop_back();
    push(m_Undo, std::move(now));
    return forward;
}
