// The main window's live view: the camera chosen at start (command line, settings, the devices present) and
// named in the caption, LIVE, the poll that takes the pictures the live view publishes, and the live view
// stopped with a message when the camera vanishes.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/DialogTemplate.h"
#include "app/ViewerDlgPrivate.h"
#include "files/FileTexts.h"
#include "live/CameraSources.h"
#include "platform/Language.h"
#include "platform/StringTable.h"

namespace {

// How often the user-interface thread looks for a newly composed view while the live view runs. Polling keeps
// every hand-over inside the live view's locks: no event crosses from the display thread.
constexpr int kViewPollMs = 10;
// "The camera was disconnected or stopped answering..."
constexpr int kCameraLostText = 1012;
// "The camera %1 could not be opened. The camera %2 is shown instead."
constexpr int kCameraMissingText = 1013;
// "The camera %1 is there, but this user may not open it. Add the user to the group "video"..."
constexpr int kCameraDeniedText = 1019;
// "stopped": the caption's source while the live view is stopped.
constexpr int kStoppedText = 1014;

// Not modal for the program: the window stays usable (the last picture can still be saved and measured).
void warnWithoutBlocking(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, parent->windowTitle(), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

void CViewerDlg::Private::openSource()
{
    if (!m_Prompts.tellCameraLost)
        m_Prompts.tellCameraLost = [this](const QString& text) { warnWithoutBlocking(q, text); };
    if (!m_Prompts.tellCameraMissing)
        m_Prompts.tellCameraMissing = [this](const QString& text) { warnWithoutBlocking(q, text); };
    if (!m_Prompts.tellFramesRefused)
        m_Prompts.tellFramesRefused = [this](const QString& text) { warnWithoutBlocking(q, text); };
    std::string notOpened, denied;
    m_Live.setSource(OpenCameraSource(m_CameraOption.toStdString(), m_Session.cameraSource(), cameraSources(),
        m_Session.cameraSize(), &notOpened, &denied));
    if (notOpened.empty() && denied.empty())
        return;
    const QString text = LoadString(denied.empty() ? kCameraMissingText : kCameraDeniedText)
                             .arg(QString::fromStdString(denied.empty() ? notOpened : denied),
                                 QString::fromStdString(m_Live.source().name()));
    // Told once the window is up, so that the box comes over it.
    QTimer::singleShot(0, q, [this, text] { m_Prompts.tellCameraMissing(text); });
}

QString CViewerDlg::Private::captionFor(const QString& text)
{
    // The status line starts with the program's name and version; what is shown goes between them and the
    // timings.
    const QString head = QString::fromLatin1(kCaption);
    const QString timings = text.startsWith(head) ? text.mid(head.size()) : QString();
    QString shown;
    if (!m_ShownFile.isEmpty())
        shown = m_ShownFile;
    else if (m_bLiveStopped)
        shown = LoadString(kStoppedText);
    else if (m_Live.hasSource())
        shown = QString::fromStdString(m_Live.source().name());
    // Pictures the strip cannot show for their names are owned up to, or they would seem lost.
    const QString skipped = FileTexts::SkippedNames(g_bJapanese, m_Thumbnails.skippedNames());
    // While live, how sharp the picture is, against the best since the view last changed.
    const QString focus = m_Live.isLive() && !m_Focus.text(g_bJapanese != 0).isEmpty()
        ? QStringLiteral("  -  ") + m_Focus.text(g_bJapanese != 0)
        : QString();
    return (shown.isEmpty() ? head + timings : head + "  -  " + shown + timings) + focus + skipped + recordNote()
        + stackNote() + timeLapseNote() + captureNote() + referenceNote();
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
    m_ShownFile.clear(); // starting replaces the picture, stopping keeps the frame
    if (m_bLiveStopped == 1) {
        startCamera();
        m_Live.startDisplay();
        startViewPoll();
        m_bLiveStopped = 0;
    } else {
        stopRecording(); // a recording is of the live view
        if (m_ViewPoll)
            m_ViewPoll->stop();
        m_Live.stop();
        m_bLiveStopped = 1;
    }
    OnZoomChange();
    q->setWindowTitle(captionFor(m_Live.status()));
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

void CViewerDlg::Private::tellRefusedFrames()
{
    const QString text = m_Live.takeRefusedFrames();
    if (!text.isEmpty() && !m_Destroyed)
        m_Prompts.tellFramesRefused(text);
}
