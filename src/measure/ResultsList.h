// The results list: one row per result of the finished measurements (three for two circles), each naming
// the item it shows by id. The table on screen mirrors it and the CSV export writes its texts; the
// recalculation after a change of calibration and DELETE and CLEAR keep rows and items together here.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

#include "measure/MeasureItem.h"

class CalibTable;
class DibImage;
class MeasureList;
struct CalibEntry;

enum ResultColumn : int32_t { ColumnNo = 0, ColumnType = 1, ColumnValue = 2, ColumnUnit = 3, kResultColumns = 4 };

using ResultCells = std::array<QString, kResultColumns>;

struct ResultRow {
    int32_t itemId = 0;
    int32_t part = 0;    // which result of the item: 0, or 0..2 for two circles
    ResultCells cells;   // "No.", type name, value, unit; a cell never written is empty
};

// What the scale bar takes over from the selected calibration.
struct ScaleFactors {
    double mppX = 0.0;
    double mppY = 0.0;
    int32_t unit = 0;
};

class ResultsList {
public:
    int32_t count() const { return int32_t(m_Rows.size()); }
    const std::vector<ResultRow>& rows() const { return m_Rows; }
    // The four texts of every row in list order (what the CSV export writes).
    std::vector<ResultCells> texts() const;

    // Appends the rows of an item just appended to the measurement list (the pointer append returned;
    // null adds nothing), one per result, in the item's unit. Returns the first new row, -1 for none.
    int32_t AddResultRow(const MeasureItem* appended);
    // Rewrites the value and unit of a row from its item's result in the item's unit; a unit code outside
    // 0..2, a row out of range or a row of another item leave it as it is.
    void UpdateResultRow(int32_t row, const MeasureItem& item);
    // UpdateResultRow for every row of item (after an edit moved its points).
    void UpdateItemRows(const MeasureItem& item);
    // The first row of an item, scanning from the top; -1 when it has none.
    int32_t FirstRowOf(int32_t itemId) const;

    // Recomputes every finished item with the calibration (areas recounted on picture, the picture in use;
    // angles stay as they are) and rewrites its rows. Returns the calibration's factors for the scale bar.
    ScaleFactors Recalculate(MeasureList& list, const CalibEntry& calib, const DibImage* picture);
    // The calibration combo box's selection changed: Recalculate with the entry it names.
    ScaleFactors OnSelchangeCalib(MeasureList& list, CalibTable& table, int32_t selection, const DibImage* picture);

    // The distinct items of the given rows, in the order of the rows; rows out of range are ignored.
    std::vector<int32_t> ItemsOfRows(const std::vector<int32_t>& rows) const;
    // DELETE: every item with a selected row loses all its rows and leaves the list; the remaining rows
    // are numbered again from 0.
    void OnDeleteItems(MeasureList& list, const std::vector<int32_t>& selectedRows);
    // The rows of every item of the list, in list order and in each item's unit (after undo or redo).
    void Rebuild(const MeasureList& list);
    // CLEAR: no items, no rows.
    void OnClearItems(MeasureList& list);

private:
    void renumber();

    std::vector<ResultRow> m_Rows;
};
