// The main window's measurements: the results list beside the picture and its recalculation when another
// calibration is chosen, DELETE, CLEAR, CSV, and the measurements drawn over the view and into saved pictures.
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QTableWidget>

#include "app/ViewerDlg.h"
#include "calib/CalibOverlay.h"
#include "imaging/Dc.h"
#include "measure/MeasureOverlay.h"
#include "platform/Language.h"

void CViewerDlg::showResults()
{
    resultsTable().Mirror(m_ResultsList);
}

const MeasureItem* CViewerDlg::AddMeasurement(const MeasureItem& item)
{
    const MeasureItem* appended = m_Interaction.AddFinished(item);
    showResults();
    updateViewArea();
    return appended;
}

void CViewerDlg::SelectResultRows(const std::vector<int32_t>& rows)
{
    m_Results->clearSelection();
    for (int32_t row : rows)
        m_Results->selectRow(row); // whole-row, extended selection: each adds to the selection
}

void CViewerDlg::OnSelchangeCalib()
{
    // Every result, and the scale bar, in the selected calibration's unit and factors.
    const ScaleFactors f = m_ResultsList.OnSelchangeCalib(m_Measurements, m_Calibration,
                                                          m_CalibCombo->currentIndex(), &PictureInUse());
    m_ScaleData.unit = f.unit;
    m_ScaleData.mppX = f.mppX;
    m_ScaleData.mppY = f.mppY;
    showResults();
    updateViewArea();
}

void CViewerDlg::OnDelete()
{
    applyEffects(m_Interaction.Delete(resultsTable().SelectedRows()), nullptr);
}

void CViewerDlg::OnClear()
{
    applyEffects(m_Interaction.Clear(), nullptr);
}

void CViewerDlg::OnCsv()
{
    CsvExport csv;
    csv.askPath = askCsvPath;
    std::vector<CsvExport::Row> rows;
    for (const ResultCells& cells : m_ResultsList.texts())
        rows.push_back(cells);
    csv.OnCsv(rows, g_bJapanese != 0, QCoreApplication::applicationDirPath());
}

void CViewerDlg::drawOverlay(Dc& dc, const ViewGeometry& geometry, bool onScreen)
{
    const OverlayColors colors = m_Settings.read([](const ViewerSettings& s) { return s.color; });
    if (onScreen && m_CalibDialogs.calibOpen())
        DrawCalibFrame(dc, m_Calibration.selected(m_CalibCombo->currentIndex()), geometry, colors.line);
    MeasureOverlay overlay(dc, geometry, colors.line, colors.text);
    overlay.DrawMeasurements(m_Measurements, [&](Dc& d, const ViewGeometry& g) {
        DrawScaleBar(d, m_ScaleData, g, colors.line, colors.text);
    });
    // On screen the item being drawn runs to the pointer; a saved picture has no pointer to run to.
    std::optional<Point> pointer;
    if (onScreen) {
        const QPoint fromCursor = mapFromGlobal(QCursor::pos());
        const Point p = m_Interaction.pointer().value_or(Point { fromCursor.x(), fromCursor.y() });
        pointer = Point { p.x - geometry.view.left, p.y - geometry.view.top };
    }
    overlay.DrawCurrentItem(m_CurrentItem, pointer);
}
