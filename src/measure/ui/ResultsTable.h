// The results list on screen: a QTableView over the results model (four columns, whole-row selection,
// grid lines) whose columns fit the texts whenever the rows change, its selection told as items, and the
// save dialog of the CSV button.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "measure/MeasureItem.h"

class MeasureSession;
class QTableView;
class QWidget;
class ResultsModel;
struct CsvSaveDialog;

class ResultsTable {
public:
    explicit ResultsTable(QTableView& table) : m_Table(table) {}

    // Shows model: columns "No.", type, result and unit at 31, 60, 50 and 40 pixels, read only, rows
    // selected whole; the columns fit the texts now and after every change of the rows.
    void Setup(ResultsModel& model);
    // The items of the selected rows, top to bottom, each once.
    std::vector<int32_t> SelectedItems() const;
    // Selects every row of these items (and nothing else), as a person does before DELETE.
    void SelectItems(const std::vector<int32_t>& itemIds);

    // Asks for the tolerance of an item whose main result is value (in unit): nothing when cancelled, else
    // the tolerance chosen (itself none when "No tolerance" was checked).
    using AskTolerance
        = std::function<std::optional<std::optional<Tolerance>>(const MeasureItem& item, double value, const QString& unit)>;
    // A double click on the Result cell of a row edits the tolerance of the row's item through ask (by
    // default the ToleranceDlg over the table) and sets it on session (undoable); then changed is called,
    // for the drawing to be shown again.
    void EditTolerances(MeasureSession& session, std::function<void()> changed, AskTolerance ask = {});

    // The CSV button's save dialog over parent; an empty path when cancelled.
    static QString AskCsvPath(QWidget* parent, const CsvSaveDialog& dialog);

private:
    static void fitColumns(QTableView& table);
    const ResultsModel& model() const;

    QTableView& m_Table;
};
