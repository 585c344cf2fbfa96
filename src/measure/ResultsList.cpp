// Rows of results, their texts and how they follow the items through recalculation, DELETE and CLEAR.
#include "measure/ResultsList.h"

#include <algorithm>

#include "calib/CalibEntry.h"
#include "calib/CalibTable.h"
#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"
#include "platform/StringTable.h"

std::vector<ResultCells> ResultsList::texts() const
{
    std::vector<ResultCells> texts;
    texts.reserve(m_Rows.size());
    for (const ResultRow& row : m_Rows)
        texts.push_back(row.cells);
    return texts;
}

int32_t ResultsList::AddResultRow(const MeasureItem* appended)
{
    if (!appended || resultRowName(appended->type, 0) == 0)
        return -1;
    const int32_t first = count();
    for (int32_t part = 0; part < resultRowCount(appended->type); ++part) {
        ResultRow row;
        row.itemId = appended->id;
        row.part = part;
        row.cells[ColumnNo] = QString::number(count());
        row.cells[ColumnType] = LoadString(resultRowName(appended->type, part));
        m_Rows.push_back(std::move(row));
        UpdateResultRow(count() - 1, *appended);
    }
    return first;
}

void ResultsList::UpdateResultRow(int32_t row, const MeasureItem& item)
{
    if (row < 0 || row >= count() || m_Rows[size_t(row)].itemId != item.id)
        return;
    ResultRow& r = m_Rows[size_t(row)];
    if (const auto text = resultRowText(item, r.part, item.unit)) {
        r.cells[ColumnValue] = text->value;
        r.cells[ColumnUnit] = text->unit;
    }
}

void ResultsList::UpdateItemRows(const MeasureItem& item)
{
    for (int32_t r = FirstRowOf(item.id); r >= 0 && r < count() && m_Rows[size_t(r)].itemId == item.id; ++r)
        UpdateResultRow(r, item);
}

int32_t ResultsList::FirstRowOf(int32_t itemId) const
{
    const auto it = std::find_if(m_Rows.begin(), m_Rows.end(), [&](const ResultRow& r) { return r.itemId == itemId; });
    return it == m_Rows.end() ? -1 : int32_t(it - m_Rows.begin());
}

ScaleFactors ResultsList::Recalculate(MeasureList& list, const CalibEntry& calib, const DibImage* picture)
{
    for (MeasureItem& item : list) {
        // Angles do not depend on the calibration; items without a type or points have no results.
        if (item.type == ToolNone || item.pointCount == 0 || item.type == -ToolAngle ||
            resultRowName(item.type, 0) == 0)
            continue;
        // An area that cannot be recounted keeps its value and unit, so its rows stay as they were.
        computeResults(item, calib, picture);
        UpdateItemRows(item);
    }
    return {calib.mppX, calib.mppY, calib.unit};
}

ScaleFactors ResultsList::OnSelchangeCalib(MeasureList& list, CalibTable& table, int32_t selection,
                                           const DibImage* picture)
{
    return Recalculate(list, table.selected(selection), picture);
}

std::vector<int32_t> ResultsList::ItemsOfRows(const std::vector<int32_t>& rows) const
{
    std::vector<int32_t> ids;
    for (int32_t r : rows) {
        if (r < 0 || r >= count())
            continue;
        const int32_t id = m_Rows[size_t(r)].itemId;
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    }
    return ids;
}

void ResultsList::OnDeleteItems(MeasureList& list, const std::vector<int32_t>& selectedRows)
{
    // Items first, then rows: deleting while walking the selection would shift the rows still to visit.
    for (int32_t id : ItemsOfRows(selectedRows)) {
        std::erase_if(m_Rows, [id](const ResultRow& r) { return r.itemId == id; });
        list.removeById(id);
    }
    renumber();
}

void ResultsList::Rebuild(const MeasureList& list)
{
    m_Rows.clear();
    for (const MeasureItem& item : list)
        AddResultRow(&item);
}

void ResultsList::OnClearItems(MeasureList& list)
{
    list.clear();
    m_Rows.clear();
}

void ResultsList::renumber()
{
    for (int32_t r = 0; r < count(); ++r)
        m_Rows[size_t(r)].cells[ColumnNo] = QString::number(r);
}
