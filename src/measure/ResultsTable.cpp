// Mirrors the results model into the table widget and asks for the CSV file.
#include "measure/ResultsTable.h"

#include <QFileDialog>
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

}  // namespace

void ResultsTable::Setup()
{
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
