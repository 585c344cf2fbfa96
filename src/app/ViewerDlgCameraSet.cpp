// The Camera Setting dialog (SET while the live view is stopped), COLOR (the overlay colours) and WB (the
// one-shot white balance request) of the main window.
#include <QCursor>

#include "app/ViewerDlg.h"
#include "dialogs/ui/CCameraSetDlg.h"
#include "dialogs/ui/CColorSetDlg.h"

void CViewerDlg::OpenCameraSettings()
{
    const ViewerSettings v = m_Settings.values();
    CCameraSetDlg dialog({ v.TH, v.TV, v.EH, v.EV, v.EHS, v.EVS, v.timer, v.BufSize, v.Clock }, this);
    if (runSettingDialog(dialog) != QDialog::Accepted)
        return;
    // The camera takes the window and clock at its next start.
    const CameraSetValues c = dialog.values();
    m_Settings.change([&c](ViewerSettings& s) {
        s.TH = c.TH, s.TV = c.TV, s.EH = c.EH, s.EV = c.EV, s.EHS = c.EHS, s.EVS = c.EVS;
        s.timer = c.timer, s.BufSize = c.BufSize, s.Clock = c.Clock;
    });
}

void CViewerDlg::OnColor()
{
    const OverlayColors colors = m_Settings.read([](const ViewerSettings& s) { return s.color; });
    CColorSetDlg dialog(colors.text, colors.line, QCursor::pos(), this);
    runSettingDialog(dialog);
    // There is no cancelling: whatever was chosen counts.
    m_Settings.change([&dialog](ViewerSettings& s) {
        s.color.text = dialog.textColor();
        s.color.line = dialog.lineColor();
    });
    update();
}

void CViewerDlg::OnWB()
{
    m_Live.toggleWhiteBalance();
    update();
}
