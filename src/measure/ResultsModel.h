// The results list as a table model. Its rows are worked out from the finished items each time they change
// (one row per result, three for two circles), so a row can never show something its item does not hold;
// every row names its item by id, which is what DELETE and the selection go by.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

#include "measure/MeasureItem.h"
#include "measure/MeasureResults.h"

class MeasureList;

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The four columns of every list; ColumnVerdict follows them only while some item has a tolerance, so
    // the narrow list keeps its width until inspection is used.
    enum Column : int32_t { ColumnNo = 0, ColumnType = 1, ColumnValue = 2, ColumnUnit = 3, kColumns = 4,
        ColumnVerdict = 4 };
    // "No.", type name, value, unit; a value or unit the item cannot be written in is empty.
    using Cells = std::array<QString, kColumns>;

    struct Row {
        int32_t itemId = 0;
        int32_t part = 0; // which result of the item: 0, or 0..2 for two circles
        const MeasureItem* item = nullptr;
    };

    // The row rules: in list order, every finished item of a type with results gets one row per result;
    // items still without a type, or of a type without results, get none.
    static std::vector<Row> rowsOf(const MeasureList& items);
    // The texts of a row shown as row number, in its item's unit.
    static Cells cellsOf(const Row& row, int32_t number, TextUse use = TextUse::Screen);

    // "OK" / "NG" ("合格" / "不合格"); empty for no verdict.
    static QString verdictText(::Verdict verdict, bool japanese);
    // The verdict a row shows: its item's, on the row of its main result only.
    static ::Verdict verdictOf(const Row& row);

    // items: the list the rows are worked out from; it outlives the model.
    explicit ResultsModel(const MeasureList& items, QObject* parent = nullptr);

    // Works the rows out again after the items changed. Views keep their selection when the rows still
    // belong to the same items (values changed) or when rows were only appended; anything else resets.
    void refresh();

    // The item of a row; 0 for a row out of range.
    int32_t itemIdAt(int row) const;
    // The distinct items of the given rows, in the order of the rows; rows out of range are ignored.
    std::vector<int32_t> itemsOfRows(const std::vector<int>& rows) const;
    // Every row of the given items, top to bottom.
    std::vector<int> rowsOfItems(const std::vector<int32_t>& ids) const;
    // True while the verdict column is shown.
    bool hasVerdicts() const { return m_Verdicts; }
    // The item of a row and which of its results the row shows; null item for a row out of range.
    Row rowAt(int row) const { return row >= 0 && row < rowCount() ? m_Rows[size_t(row)] : Row {}; }
    // The texts of every row, top to bottom, as the list shows them or (File) as the CSV export writes them.
    std::vector<Cells> texts(TextUse use = TextUse::Screen) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const MeasureList& m_Items;
    std::vector<Row> m_Rows;
    bool m_Verdicts = false;
};
