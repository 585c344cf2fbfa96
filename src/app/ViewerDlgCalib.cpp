// The main window's calibration side: CALIB and Scale open their dialogs, a closed calibration dialog
// recalculates.
#include <QComboBox>
#include <QCursor>
#include <QPainter>

#include "ui/QtRect.h"
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

