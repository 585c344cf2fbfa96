// Mirrors the results model into the table widget and asks for the CSV file.
#include "measure/ui/ResultsTable.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>

#include <algorithm>

#include "calib/CsvExport.h"
#include "measure/ResultsList.h"
#include "platform/StringTable.h"

namespace {

// String ids of the type, result and unit headings.
enum { StrTypeHeading = 1007, StrResultHeading = 1008, StrUnitHeading = 1009 };

constexpr int kColumnWidths[kResultColumns] = {31, 60, 50, 40};
// Room beside a cell's text (the grid line and the item's margins).
constexpr int kCellPadding = 10;
// The type column wraps its texts; below this it would cut words.
constexpr int kNarrowestType = 56;

}  // namespace

void ResultsTable::Setup()
{
    // A point smaller than the window's text: four columns of results fit the narrow list beside the picture.
    QFont font = m_Table.font();
    font.setPointSizeF(font.pointSizeF() - 1);
    m_Table.setFont(font);
    m_Table.setColumnCount(kResultColumns);
    m_Table.setHorizontalHeaderLabels({QStringLiteral("No."), LoadString(StrTypeHeading),
                                       LoadString(StrResultHeading), LoadString(StrUnitHeading)});
    for (int c = 0; c < kResultColumns; ++c)
        m_Table.setColumnWidth(c, kColumnWidths[c]);
    m_Table.horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_Table.verticalHeader()->hide();
    m_Table.setShowGrid(true);
    m_Table.setSelectionBehavior(QAbstractItemView::SelectRows);
    m_Table.setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_Table.setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void ResultsTable::Mirror(const ResultsList& results)
{
    const auto& rows = results.rows();
    m_Table.setRowCount(results.count());
    for (int r = 0; r < results.count(); ++r) {
        for (int c = 0; c < kResultColumns; ++c) {
            QTableWidgetItem* cell = m_Table.item(r, c);
            if (!cell) {
                cell = new QTableWidgetItem;
                m_Table.setItem(r, c, cell);
            }
            cell->setText(rows[size_t(r)].cells[size_t(c)]);
        }
    }
    fitColumns();
}

void ResultsTable::fitColumns()
{
    // Results are read, not guessed at: the number, result and unit columns grow to show their whole texts,
    // and the type column (whose texts wrap) takes what is left of the list's width.
    const QFontMetrics metrics(m_Table.font());
    const auto fit = [&](int column) {
        int wanted = kColumnWidths[column];
        for (int r = 0; r < m_Table.rowCount(); ++r)
            if (const QTableWidgetItem* cell = m_Table.item(r, column))
                wanted = std::max(wanted, metrics.horizontalAdvance(cell->text()) + kCellPadding);
        m_Table.setColumnWidth(column, wanted);
        return wanted;
    };
    const int taken = fit(ColumnNo) + fit(ColumnValue) + fit(ColumnUnit);
    const int left = m_Table.viewport()->width() - taken;
    m_Table.setColumnWidth(ColumnType, std::max(kNarrowestType, left));
    m_Table.resizeRowsToContents();
}

std::vector<int32_t> ResultsTable::SelectedRows() const
{
    std::vector<int32_t> rows;
    for (const QModelIndex& index : m_Table.selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
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
