// The main window's live view: LIVE, the camera's start under the wait cursor, and the poll that takes the
// pictures the live view publishes.
#include <QApplication>
#include <QTimer>

#include "app/ViewerDlg.h"

namespace {

// How often the user-interface thread looks for a newly composed view while the live view runs. Polling keeps
// every hand-over inside the live view's locks: no event crosses from the display thread.
constexpr int kViewPollMs = 10;

} // namespace

void CViewerDlg::startCamera()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_Live.startCamera();
    QApplication::restoreOverrideCursor();
}

void CViewerDlg::startViewPoll()
{
    if (!m_ViewPoll) {
        m_ViewPoll = new QTimer(this);
        connect(m_ViewPoll, &QTimer::timeout, this, &CViewerDlg::showPublishedView);
    }
    m_ViewPoll->start(kViewPollMs);
}

void CViewerDlg::OnLive()
{
    if (m_bLiveStopped == 1) {
        startCamera();
        m_Live.startDisplay();
        startViewPoll();
        m_bLiveStopped = 0;
    } else {
        if (m_ViewPoll)
            m_ViewPoll->stop();
        m_Live.stop();
        m_bLiveStopped = 1;
    }
    OnZoomChange();
    update();
}
