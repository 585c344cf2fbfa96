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
    if (m_CalibDialogs.OnCalib(m_Measure.calibration(), m_Measure.calibIndex(), m_CalibCombo, QCursor::pos()))
        updateViewArea();
}

void CViewerDlg::OnScale()
{
    const DibImage& picture = PictureInUse();
    if (m_CalibDialogs.OnScale(m_Measure.scale(), picture.width(), picture.height(), QCursor::pos()))
        updateViewArea();
}

void CViewerDlg::OnCalibClosed(int)
{
    // The selected entry may have been edited: every result again with it.
    m_Measure.selectCalibration(m_Measure.calibIndex(), &PictureInUse());
    updateViewArea();
}

void CViewerDlg::updateViewArea()
{
    update(toQRect(shownGeometry().view));
}

