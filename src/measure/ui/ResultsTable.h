// The results list on screen: a QTableWidget that mirrors ResultsList (four columns, whole-row
// selection, grid lines), and the save dialog of the CSV button.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

class QTableWidget;
class QWidget;
class ResultsList;
struct CsvSaveDialog;

class ResultsTable {
public:
    explicit ResultsTable(QTableWidget& table) : m_Table(table) {}

    // Columns "No.", type, result and unit at 31, 60, 50 and 40 pixels, read only, rows selected whole.
    void Setup();
    // Makes the table show exactly the model's rows.
    void Mirror(const ResultsList& results);
    // The selected rows, top to bottom.
    std::vector<int32_t> SelectedRows() const;

    // The CSV button's save dialog over parent; an empty path when cancelled.
    static QString AskCsvPath(QWidget* parent, const CsvSaveDialog& dialog);

private:
    void fitColumns();

    QTableWidget& m_Table;
};
