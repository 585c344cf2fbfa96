// The main window's view picture: taking the pictures the display thread publishes, composing one here when
// the live view is stopped or its frames stall, the zoom and scroll a person chooses, and painting.
#include <QComboBox>
#include <QElapsedTimer>
#include <QPainter>

#include <algorithm>

#include "app/QtRect.h"
#include "app/ViewerDlg.h"
#include "imaging/ViewLayout.h"

namespace {

// Frames count as stalled when none has been published for this many frame intervals (and never sooner than
// the minimum): the view then follows a pan or zoom from the last frame instead of waiting for the next one.
constexpr int kStallIntervals = 2;
constexpr auto kMinimumStall = std::chrono::milliseconds(20);

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

bool CViewerDlg::isLive() const
{
    return m_RunState.load() == 1 && m_Source && m_Source->isCapturing();
}

ViewGeometry CViewerDlg::geometryOver(const DibImage& picture) const
{
    ViewGeometry g = m_Settings.view();
    g.imageWidth = picture.width();
    g.imageHeight = picture.height();
    return g;
}

ViewGeometry CViewerDlg::viewGeometry() const
{
    return geometryOver(PictureInUse());
}

const ViewPicture& CViewerDlg::shownPicture() const
{
    return m_UiPictureShown ? m_UiPicture : m_ViewPublisher.front();
}

void CViewerDlg::SetZoom(int zoomIndex)
{
    m_Zoom->setCurrentIndex(std::clamp(zoomIndex, 0, m_Zoom->count() - 1));
    OnZoomChange();
}

void CViewerDlg::ScrollTo(double baiX, double baiY)
{
    const ViewGeometry g = viewGeometry();
    const int f = g.factor();
    m_Settings.setScroll(ViewLayout::ClampScroll(baiX, g.view.width(), f, g.imageWidth),
                         ViewLayout::ClampScroll(baiY, g.view.height(), f, g.imageHeight));
    if (!isLive())
        update(toQRect(g.view));
}

void CViewerDlg::updateView(const Rect& previous)
{
    update(toQRect(unite(previous, shownPicture().geometry.view)));
}

bool CViewerDlg::framesStalled() const
{
    const auto last = m_ViewPublisher.lastPublished();
    if (last == ViewPublisher::Clock::time_point {})
        return true;
    const auto wait = std::max<ViewPublisher::Clock::duration>(m_ViewPublisher.lastInterval() * kStallIntervals,
                                                               kMinimumStall);
    return ViewPublisher::Clock::now() - last > wait;
}

bool CViewerDlg::composeHere(bool waitForFrames)
{
    QElapsedTimer waited;
    waited.start();
    std::unique_lock lock(m_FrameMutex, std::defer_lock);
    if (waitForFrames)
        lock.lock();
    else if (!lock.try_lock())
        return false; // a display pass is at work: its picture, with the new geometry, comes next
    m_LongestUiLockWaitUs = std::max<int64_t>(m_LongestUiLockWaitUs, waited.nsecsElapsed() / 1000);
    // While the live view runs, the frame the last pass processed and showed, as it showed it (also while the
    // camera restarts a capture run after a broken frame: the picture in use may then be an image that pass
    // did not show); else the picture in use.
    const DibImage& picture = m_RunState.load() == 1 && m_LastShown ? *m_LastShown : PictureInUse();
    const ViewGeometry g = geometryOver(picture);
    if (!m_UiComposer.Compose(picture, g, m_UiPicture.image))
        return false;
    m_UiPicture.geometry = g;
    m_UiPictureShown = true;
    return true;
}

void CViewerDlg::showPublishedView()
{
    if (takeSourceLoss())
        return;
    const Rect previous = shownPicture().geometry.view;
    if (m_ViewPublisher.take()) {
        m_UiPictureShown = false;
        updateView(previous);
        return;
    }
    // A pan or zoom shows with the next composed picture; when frames stall, from the last frame here.
    if (viewGeometry() != shownGeometry() && framesStalled() && composeHere(false))
        updateView(previous);
}

void CViewerDlg::OnPaint(QPainter& painter)
{
    if (!m_View)
        return;
    PaintStrip(painter);
    if (!isLive() && !composeHere(true))
        return; // nothing to show yet
    const ViewPicture& picture = shownPicture();
    if (picture.image.isNull())
        return;
    painter.drawImage(QPoint(picture.geometry.view.left, picture.geometry.view.top), picture.image);
    paintOverlay(painter);
}
