// The rows of the results list, worked out from the items, and what a view asks of them.
#include "measure/ResultsModel.h"

#include <QColor>

#include <algorithm>

#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"
#include "platform/Language.h"
#include "platform/StringTable.h"

namespace {

// String ids of the type, result and unit headings.
enum { StrTypeHeading = 1007, StrResultHeading = 1008, StrUnitHeading = 1009 };

bool sameItems(const std::vector<ResultsModel::Row>& a, const std::vector<ResultsModel::Row>& b, size_t count)
{
    return std::equal(a.begin(), a.begin() + ptrdiff_t(count), b.begin(),
                      [](const auto& x, const auto& y) { return x.itemId == y.itemId && x.part == y.part; });
}

bool anyTolerance(const MeasureList& items)
{
    return std::any_of(items.begin(), items.end(), [](const MeasureItem& item) { return item.tolerance.has_value(); });
}

QColor colorOf(uint32_t colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

} // namespace

QString ResultsModel::verdictText(Verdict verdict, bool japanese)
{
    if (verdict == Verdict::None)
        return {};
    if (japanese)
        return verdict == Verdict::Pass ? QStringLiteral("合格") : QStringLiteral("不合格");
    return verdict == Verdict::Pass ? QStringLiteral("OK") : QStringLiteral("NG");
}

Verdict ResultsModel::verdictOf(const Row& row)
{
    return row.item && row.part == mainResultRow(row.item->type) ? itemVerdict(*row.item) : Verdict::None;
}

std::vector<ResultsModel::Row> ResultsModel::rowsOf(const MeasureList& items)
{
    std::vector<Row> rows;
    for (const MeasureItem& item : items) {
        if (resultRowName(item.type, 0) == 0)
            continue;
        for (int32_t part = 0; part < resultRowCount(item.type); ++part)
            rows.push_back({ item.id, part, &item });
    }
    return rows;
}

ResultsModel::Cells ResultsModel::cellsOf(const Row& row, int32_t number, TextUse use)
{
    Cells cells;
    cells[ColumnNo] = QString::number(number);
    cells[ColumnType] = resultRowTitle(*row.item, row.part);
    // A unit code the program cannot name gets no value rather than a number in a unit it does not have.
    if (const auto text = resultRowText(*row.item, row.part, row.item->unit, use)) {
        cells[ColumnValue] = text->value;
        cells[ColumnUnit] = text->unit;
    }
    return cells;
}

ResultsModel::ResultsModel(const MeasureList& items, QObject* parent)
    : QAbstractTableModel(parent)
    , m_Items(items)
    , m_Rows(rowsOf(items))
    , m_Verdicts(anyTolerance(items))
{
}

void ResultsModel::refresh()
{
    std::vector<Row> rows = rowsOf(m_Items);
    const size_t before = m_Rows.size();
    const bool verdicts = anyTolerance(m_Items);
    if (verdicts != m_Verdicts) { // the columns change
        beginResetModel();
        m_Rows = std::move(rows);
        m_Verdicts = verdicts;
        endResetModel();
    } else if (rows.size() == before && sameItems(m_Rows, rows, before)) {
        m_Rows = std::move(rows);
        if (before > 0)
            emit dataChanged(index(0, 0), index(int(before) - 1, columnCount() - 1));
    } else if (rows.size() > before && sameItems(m_Rows, rows, before)) {
        beginInsertRows({}, int(before), int(rows.size()) - 1);
        m_Rows = std::move(rows);
        endInsertRows();
    } else {
        beginResetModel();
        m_Rows = std::move(rows);
        endResetModel();
    }
}

int32_t ResultsModel::itemIdAt(int row) const
{
    return row >= 0 && row < rowCount() ? m_Rows[size_t(row)].itemId : 0;
}

std::vector<int32_t> ResultsModel::itemsOfRows(const std::vector<int>& rows) const
{
    std::vector<int32_t> ids;
    for (int r : rows) {
        const int32_t id = itemIdAt(r);
        if (id != 0 && std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    }
    return ids;
}

std::vector<int> ResultsModel::rowsOfItems(const std::vector<int32_t>& ids) const
{
    std::vector<int> rows;
    for (int r = 0; r < rowCount(); ++r)
        if (std::find(ids.begin(), ids.end(), m_Rows[size_t(r)].itemId) != ids.end())
            rows.push_back(r);
    return rows;
}

std::vector<ResultsModel::Cells> ResultsModel::texts(TextUse use) const
{
    std::vector<Cells> texts;
    texts.reserve(m_Rows.size());
    for (int r = 0; r < rowCount(); ++r)
        texts.push_back(cellsOf(m_Rows[size_t(r)], r, use));
    return texts;
}

int ResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_Rows.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns + (m_Verdicts ? 1 : 0);
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const Row& row = m_Rows[size_t(index.row())];
    if (role == Qt::ForegroundRole && (index.column() == ColumnValue || index.column() == ColumnVerdict)) {
        const Verdict verdict = verdictOf(row);
        if (verdict == Verdict::None)
            return {};
        return colorOf(verdict == Verdict::Pass ? kPassColor : kFailColor);
    }
    if (role != Qt::DisplayRole)
        return {};
    if (index.column() == ColumnVerdict)
        return verdictText(verdictOf(row), g_bJapanese != 0);
    return cellsOf(row, index.row())[size_t(index.column())];
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == ColumnVerdict)
        return g_bJapanese ? QStringLiteral("判定") : QStringLiteral("Verdict");
    static constexpr int kHeadings[kColumns] = { 0, StrTypeHeading, StrResultHeading, StrUnitHeading };
    return section == ColumnNo ? QStringLiteral("No.") : LoadString(kHeadings[section]);
}
