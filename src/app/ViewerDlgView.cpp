// The main window's view picture: the pictures the live view gives, the zoom and scroll a person chooses, and
// painting.
#include <QComboBox>
#include <QPainter>

#include <algorithm>

#include "ui/QtRect.h"
#include "app/ViewerDlgPrivate.h"
#include "imaging/ViewLayout.h"
#include "imaging/ViewOverview.h"

namespace {

Rect unite(const Rect& a, const Rect& b)
{
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    return { std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
             std::max(a.bottom, b.bottom) };
}

} // namespace

void CViewerDlg::Private::SetZoom(int zoomIndex, std::optional<QPointF> anchor)
{
    m_Zoom->setCurrentIndex(std::clamp(zoomIndex, 0, m_Zoom->count() - 1));
    zoomChosen(anchor);
}

void CViewerDlg::Private::zoomChosen(std::optional<QPointF> anchor)
{
    // The picture point at the anchor (the pointer, else the view's centre) stays where it is on the screen.
    const ViewGeometry before = m_Live.viewGeometry();
    const Rect& v = before.view;
    const QPointF at = anchor.value_or(QPointF((v.left + v.right) / 2.0, (v.top + v.bottom) / 2.0));
    const PicturePoint p = windowToImage(at.x(), at.y(), before);
    OnZoomChange();
    const ViewGeometry after = m_Live.viewGeometry();
    const Rect& w = after.view;
    const QPointF to = anchor.value_or(QPointF((w.left + w.right) / 2.0, (w.top + w.bottom) / 2.0));
    const PicturePoint scroll = ViewOverview::ScrollKeeping(p, to.x(), to.y(), after);
    m_Settings.setScroll(scroll.x, scroll.y);
}

void CViewerDlg::Private::ScrollTo(double baiX, double baiY)
{
    const ViewGeometry g = m_Live.viewGeometry();
    const int f = g.factor();
    m_Settings.setScroll(ViewLayout::ClampScroll(baiX, g.deviceWidth(), f, g.imageWidth),
                         ViewLayout::ClampScroll(baiY, g.deviceHeight(), f, g.imageHeight));
    if (!m_Live.isLive())
        q->update(toQRect(g.view));
}

void CViewerDlg::Private::updateView(const Rect& previous)
{
    q->update(toQRect(unite(previous, shownGeometry().view)));
}

void CViewerDlg::Private::showPublishedView()
{
    if (takeSourceLoss())
        return;
    tellRefusedFrames();
    if (m_Live.adoptFrameSize()) { // the camera keeps to another frame size: the view is laid out for it
        RelayoutView();
        q->update();
    }
    const Rect previous = shownGeometry().view;
    if (m_Live.refreshShown())
        updateView(previous);
    feedRecorder();
    feedStack();
}

void CViewerDlg::Private::OnPaint(QPainter& painter)
{
    if (!m_View)
        return;
    PaintStrip(painter);
    if (!m_Live.isLive() && !m_Live.composeShown(true))
        return; // nothing to show yet
    const ViewPicture& picture = m_Live.shownPicture();
    if (picture.image.isNull())
        return;
    painter.drawImage(QPoint(picture.geometry.view.left, picture.geometry.view.top), picture.image);
    paintOverlay(painter);
}
