// The main window's calibration side: CALIB and Scale open their dialogs, a closed calibration dialog
// recalculates, and the overlay is painted over the view and into a saved picture.
#include <QComboBox>
#include <QCursor>
#include <QPainter>

#include "app/QtRect.h"
#include "app/ViewerDlg.h"
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

void CViewerDlg::updateViewArea()
{
    update(toQRect(shownGeometry().view));
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
        // The Dc sets its own clip on every call, so the view's bounds must be its clip: large circles are
        // drawn as chords that reach past the view, over the strip and the panel.
        dc.SetClipRect({ 0, 0, g.view.width(), g.view.height() });
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
