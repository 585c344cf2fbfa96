// The main window's live view: the camera chosen at start (command line, settings, the devices present) and
// named in the caption, LIVE, the poll that takes the pictures the live view publishes, and the live view
// stopped with a message when the camera vanishes.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/ViewerDlgPrivate.h"
#include "live/CameraSources.h"
#include "platform/StringTable.h"

namespace {

// How often the user-interface thread looks for a newly composed view while the live view runs. Polling keeps
// every hand-over inside the live view's locks: no event crosses from the display thread.
constexpr int kViewPollMs = 10;
// "The camera was disconnected or stopped answering..."
constexpr int kCameraLostText = 1012;

// Not modal for the program: the window stays usable (the last picture can still be saved and measured).
void warnCameraLost(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, parent->windowTitle(), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

void CViewerDlg::Private::openSource()
{
    if (!m_Prompts.tellCameraLost)
        m_Prompts.tellCameraLost = [this](const QString& text) { warnCameraLost(q, text); };
    m_Live.setSource(OpenCameraSource(
        m_CameraOption.toStdString(), m_Session.cameraSource(), cameraSources(), m_Session.cameraSize()));
}

QString CViewerDlg::Private::captionFor(const QString& text)
{
    if (!m_Live.hasSource() || m_Live.source().ownCamera())
        return text;
    return text + "  -  " + QString::fromStdString(m_Live.source().name());
}

void CViewerDlg::Private::startCamera()
{
    QApplication::setOverrideCursor(Qt::WaitCursor); // opening a camera afresh takes a while
    m_Live.startCamera();
    QApplication::restoreOverrideCursor();
}

void CViewerDlg::Private::startViewPoll()
{
    if (!m_ViewPoll) {
        m_ViewPoll = new QTimer(q);
        connect(m_ViewPoll, &QTimer::timeout, q, [this] { showPublishedView(); });
    }
    m_ViewPoll->start(kViewPollMs);
}

void CViewerDlg::Private::OnLive()
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
    q->update();
}

bool CViewerDlg::Private::takeSourceLoss()
{
    if (!m_Live.sourceLost() || m_Destroyed || m_bLiveStopped)
        return false;
    OnLive(); // stops the live view as the button does; the last frame stays for measuring and saving
    m_Prompts.tellCameraLost(LoadString(kCameraLostText));
    return true;
}
