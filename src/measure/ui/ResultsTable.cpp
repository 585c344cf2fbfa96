// Shows the results model in the table view and asks for the CSV file.
#include "measure/ui/ResultsTable.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelection>
#include <QTableView>

#include <algorithm>

#include "measure/CsvExport.h"
#include "measure/MeasureResults.h"
#include "measure/MeasureSession.h"
#include "measure/ResultsModel.h"
#include "measure/ui/ToleranceDlg.h"

namespace {

constexpr int kColumnWidths[ResultsModel::kColumns] = {31, 60, 50, 40};
// Room beside a cell's text (the grid line and the item's margins).
constexpr int kCellPadding = 10;
// The type column wraps its texts; below this it would cut words.
constexpr int kNarrowestType = 56;

}  // namespace

void ResultsTable::Setup(ResultsModel& model)
{
    // A point smaller than the window's text: four columns of results fit the narrow list beside the picture.
    QFont font = m_Table.font();
    font.setPointSizeF(font.pointSizeF() - 1);
    m_Table.setFont(font);
    m_Table.setModel(&model);
    m_Table.horizontalHeader()->setMinimumSectionSize(1); // the widths hold whatever the font
    for (int c = 0; c < ResultsModel::kColumns; ++c)
        m_Table.setColumnWidth(c, kColumnWidths[c]);
    m_Table.horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_Table.verticalHeader()->hide();
    m_Table.setShowGrid(true);
    m_Table.setSelectionBehavior(QAbstractItemView::SelectRows);
    m_Table.setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_Table.setEditTriggers(QAbstractItemView::NoEditTriggers);

    QTableView* table = &m_Table;
    const auto fit = [table] { fitColumns(*table); };
    QObject::connect(&model, &QAbstractItemModel::dataChanged, table, fit);
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, table, fit);
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, table, fit);
    QObject::connect(&model, &QAbstractItemModel::modelReset, table, fit);
    fitColumns(m_Table);
}

void ResultsTable::fitColumns(QTableView& table)
{
    // Results are read, not guessed at: the number, result and unit columns grow to show their whole texts,
    // and the type column (whose texts wrap) takes what is left of the list's width.
    const QFontMetrics metrics(table.font());
    const QAbstractItemModel* model = table.model();
    const auto fit = [&](int column) {
        int wanted = kColumnWidths[column];
        for (int r = 0; model && r < model->rowCount(); ++r)
            wanted = std::max(wanted,
                              metrics.horizontalAdvance(model->index(r, column).data().toString()) + kCellPadding);
        table.setColumnWidth(column, wanted);
        return wanted;
    };
    int taken = fit(ResultsModel::ColumnNo) + fit(ResultsModel::ColumnValue) + fit(ResultsModel::ColumnUnit);
    if (model && model->columnCount() > ResultsModel::ColumnVerdict) {
        const int wanted = metrics.horizontalAdvance(model->headerData(ResultsModel::ColumnVerdict, Qt::Horizontal)
                                                         .toString())
            + kCellPadding;
        int verdict = wanted;
        for (int r = 0; r < model->rowCount(); ++r)
            verdict = std::max(verdict,
                metrics.horizontalAdvance(model->index(r, ResultsModel::ColumnVerdict).data().toString())
                    + kCellPadding);
        table.setColumnWidth(ResultsModel::ColumnVerdict, verdict);
        taken += verdict;
    }
    const int left = table.viewport()->width() - taken;
    table.setColumnWidth(ResultsModel::ColumnType, std::max(kNarrowestType, left));
    table.resizeRowsToContents();
}

const ResultsModel& ResultsTable::model() const
{
    return *static_cast<const ResultsModel*>(m_Table.model());
}

std::vector<int32_t> ResultsTable::SelectedItems() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_Table.selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return model().itemsOfRows(rows);
}

void ResultsTable::SelectItems(const std::vector<int32_t>& itemIds)
{
    QItemSelection selection;
    for (int row : model().rowsOfItems(itemIds))
        selection.select(model().index(row, 0), model().index(row, ResultsModel::kColumns - 1));
    m_Table.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ResultsTable::EditTolerances(MeasureSession& session, std::function<void()> changed, AskTolerance ask)
{
    QTableView* table = &m_Table;
    if (!ask)
        ask = [table](const MeasureItem& item, double value,
                  const QString& unit) -> std::optional<std::optional<Tolerance>> {
            ToleranceDlg dialog(item.tolerance, value, unit, table);
            if (dialog.exec() != QDialog::Accepted)
                return std::nullopt;
            return dialog.tolerance();
        };
    QObject::connect(table, &QAbstractItemView::doubleClicked, table,
        [&session, changed = std::move(changed), ask = std::move(ask)](const QModelIndex& index) {
            if (index.column() != ResultsModel::ColumnValue)
                return;
            const MeasureItem* item = session.results().rowAt(index.row()).item;
            if (!item)
                return;
            const int32_t id = item->id;
            const int32_t row = mainResultRow(item->type);
            const auto text = resultRowText(*item, row, item->unit);
            const std::optional<std::optional<Tolerance>> chosen
                = ask(*item, resultRowValue(*item, row), text ? text->unit : QString());
            if (!chosen)
                return;
            session.setTolerance(id, *chosen);
            if (changed)
                changed();
        });
}

QString ResultsTable::AskCsvPath(QWidget* parent, const CsvSaveDialog& dialog)
{
    QFileDialog box(parent, dialog.title, dialog.initialPath, dialog.filter);
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setDefaultSuffix(dialog.defaultSuffix);
    // The file is appended to, never replaced, so there is nothing to confirm.
    box.setOption(QFileDialog::DontConfirmOverwrite);
    box.selectFile(dialog.initialPath);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return {};
    return box.selectedFiles().first();
}
