// The main window's layout: right-hand controls following the right edge, the view sized for the zoom, the
// corner buttons hiding the tool panel and the thumbnail strip, and the strip's scroll bar.
#include <QComboBox>
#include <QFrame>
#include <QResizeEvent>
#include <QScrollBar>

#include "app/DialogTemplate.h"
#include "ui/QtRect.h"
#include "app/ViewerDlgPrivate.h"
#include "imaging/ViewLayout.h"

namespace {

// Controls the panel corner button hides and shows, in pairs as the window always toggled them.
constexpr int kPanelControls[] = {
    IDC_GROUP_LOAD,
    IDC_DIR,
    IDC_SAVE,
    IDC_LIVE,
    IDC_THUMB,
    IDC_TYPE,
    IDC_SET,
    IDC_WB,
    IDC_QUICK,
    IDC_REC,
    IDC_SNAP,
    IDC_ZOOM,
    IDC_PEAKING,
    IDC_STACK,
    IDC_RETICLE,
    IDC_GRID,
    IDC_REFERENCE,
    IDC_GROUP_MEASURE,
    IDC_LINE,
    IDC_CIRCLE2,
    IDC_ARIA,
    IDC_SUI,
    IDC_DELETE,
    IDC_CIRCLE,
    IDC_ANGLE,
    IDC_CLEAR,
    IDC_COLOR,
    IDC_CALIB,
    IDC_CSV,
    IDC_SCALE,
    IDC_CALIB_LABEL,
    IDC_CALIB_COMBO,
    IDC_RESULTS,
};

} // namespace

void CViewerDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    d->OnSize();
}

void CViewerDlg::Private::OnSize()
{
    if (!m_View)
        return;
    const int cw = q->width(), ch = q->height();
    for (const ControlTemplate& t : MainDialogControls()) {
        const int margin = RightMargin(t.id);
        if (margin < 0)
            continue;
        const Rect r = controlRect(t.id);
        const int left = cw - margin - r.width();
        setControlRect(t.id, { left, r.top, left + r.width(), r.bottom });
    }
    const Rect corner = controlRect(IDC_STRIP_TOGGLE);
    setControlRect(IDC_STRIP_TOGGLE, { corner.left, ch - corner.height(), corner.right, ch });
    RelayoutView();
    q->update();
}

void CViewerDlg::Private::RelayoutView()
{
    if (!m_View)
        return;
    const DibImage& picture = pictureInUse();
    ViewLayout::Input in;
    in.clientWidth = q->width();
    in.clientHeight = q->height();
    in.view = controlRect(IDC_VIEW);
    in.resultsList = controlRect(IDC_RESULTS);
    in.strip = controlRect(IDC_STRIP);
    in.stripScroll = controlRect(IDC_STRIP_SCROLL);
    in.zoomIndex = m_Zoom->currentIndex();
    in.imageWidth = picture.width();
    in.imageHeight = picture.height();
    in.panelShown = m_bPanelShown != 0;
    in.stripShown = m_bStripShown != 0;
    in.devicePixelRatio = WholeDevicePixelRatio(q->devicePixelRatioF());
    m_Settings.setDevicePixelRatio(in.devicePixelRatio);
    const ViewGeometry current = m_Settings.view();
    in.baiX = current.baiX;
    in.baiY = current.baiY;
    const ViewLayout::Result out = ViewLayout::Relayout(in);
    setControlRect(IDC_VIEW, out.view);
    setControlRect(IDC_RESULTS, out.resultsList);
    setControlRect(IDC_STRIP, out.strip);
    setControlRect(IDC_STRIP_SCROLL, out.stripScroll);
    // The strip pages by the thumbnails that fit in it; its range follows the thumbnails it holds.
    m_StripScroll->setSingleStep(1);
    m_StripScroll->setPageStep(std::max(1, (out.strip.width() - 8) / (kThumbnailWidth + 6)));
    UpdateStripScrollBar();
    m_Settings.setView(controlRect(IDC_VIEW), out.zoomIndex, out.baiX, out.baiY);
}

void CViewerDlg::Private::OnZoomChange()
{
    RelayoutView();
    m_bRepaintPending = 1;
}

void CViewerDlg::Private::OnTogglePanel()
{
    m_bPanelShown = !m_bPanelShown;
    for (int id : kPanelControls)
        if (QWidget* w = control(id))
            w->setVisible(m_bPanelShown != 0);
    RelayoutView();
    m_bRepaintPending = 1;
}

void CViewerDlg::Private::OnToggleStrip()
{
    m_bStripShown = !m_bStripShown;
    control(IDC_STRIP_SCROLL)->setVisible(m_bStripShown != 0);
    control(IDC_STRIP)->setVisible(m_bStripShown != 0);
    RelayoutView();
    m_bRepaintPending = 1;
}

