// The main window's calibration side: CALIB and Scale open their dialogs, a closed calibration dialog or
// another calibration chosen in the combo box passes the selected factors on, and what is drawn over the
// view (the calibration frame while its dialog is open, the scale bar) on screen and into a saved picture.
#include <QComboBox>
#include <QCursor>
#include <QPainter>

#include "app/QtRect.h"
#include "app/ViewerDlg.h"
#include "calib/CalibOverlay.h"
#include "imaging/Dc.h"

void CViewerDlg::OnCalib()
{
    if (m_CalibDialogs.OnCalib(m_Calibration, m_CalibCombo, QCursor::pos()))
        updateViewArea();
}

void CViewerDlg::OnScale()
{
    const DibImage& picture = PictureInUse();
    if (m_CalibDialogs.OnScale(m_ScaleData, picture.width(), picture.height(), QCursor::pos()))
        updateViewArea();
}

void CViewerDlg::OnCalibClosed(int)
{
    OnSelchangeCalib();
}

void CViewerDlg::OnSelchangeCalib()
{
    // The scale bar speaks the selected calibration's unit and factors.
    const CalibEntry& entry = m_Calibration.selected(m_CalibCombo->currentIndex());
    m_ScaleData.unit = entry.unit;
    m_ScaleData.mppX = entry.mppX;
    m_ScaleData.mppY = entry.mppY;
    updateViewArea();
}

void CViewerDlg::updateViewArea()
{
    update(toQRect(shownGeometry().view));
}

void CViewerDlg::drawOverlay(Dc& dc, const ViewGeometry& geometry, bool onScreen)
{
    const OverlayColors colors = m_Settings.read([](const ViewerSettings& s) { return s.color; });
    if (onScreen && m_CalibDialogs.calibOpen())
        DrawCalibFrame(dc, m_Calibration.selected(m_CalibCombo->currentIndex()), geometry, colors.line);
    DrawScaleBar(dc, m_ScaleData, geometry, colors.line, colors.text);
}

void CViewerDlg::paintOverlay(QPainter& painter)
{
    const ViewGeometry g = shownGeometry();
    if (g.view.isEmpty())
        return;
    painter.save();
    painter.setClipRect(toQRect(g.view));
    painter.translate(g.view.left, g.view.top);
    {
        Dc dc(painter);
        drawOverlay(dc, g, true);
    }
    painter.restore();
}

void CViewerDlg::drawOverlayForSave(DibImage& copy)
{
    // Picture pixels at x1 from the origin, whatever the view's zoom and scroll.
    ViewGeometry g;
    g.view = { 0, 0, copy.width(), copy.height() };
    g.zoomIndex = 1;
    g.imageWidth = copy.width();
    g.imageHeight = copy.height();
    Dc dc(copy);
    drawOverlay(dc, g, false);
}
