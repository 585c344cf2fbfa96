// Time-lapse in the main window: the QUICK button's menu opens its dialog, which stays open while the shots
// are taken; each shot is a quick capture at its time on the clock. A shot the writer or the camera cannot
// serve in time is taken as soon as they can, and the caption and the dialog say how late.
#include <QCursor>
#include <QMenu>
#include <QTimer>

#include "app/ViewerDlgPrivate.h"
#include "files/FileTexts.h"
#include "files/ui/TimeLapseDlg.h"
#include "platform/Language.h"

namespace {

// Menu ids of the QUICK button's menu.
constexpr int kMenuOptions = 1;
constexpr int kMenuTimeLapse = 2;
// How soon a shot that could not be taken is tried again.
constexpr int kRetryMs = 20;
// How long the caption still shows a finished time-lapse.
constexpr int64_t kDoneNoteMs = 5000;

} // namespace

int64_t CViewerDlg::Private::clockMs() const
{
    return m_Clock.elapsed();
}

void CViewerDlg::Private::OnQuickMenu()
{
    const bool ja = g_bJapanese != 0;
    QMenu menu(q);
    menu.addAction(FileTexts::QuickOptionsItem(ja))->setData(kMenuOptions);
    menu.addAction(FileTexts::TimeLapseItem(ja))->setData(kMenuTimeLapse);
    switch (m_Prompts.files.runMenu(menu, QCursor::pos())) {
    case kMenuOptions:
        OnQuickOptions();
        break;
    case kMenuTimeLapse:
        OnTimeLapse();
        break;
    default:
        break;
    }
}

void CViewerDlg::Private::OnTimeLapse()
{
    if (!m_TimeLapseDlg) {
        m_LapseTimer = new QTimer(q);
        m_LapseTimer->setSingleShot(true);
        m_LapseTimer->setTimerType(Qt::PreciseTimer);
        connect(m_LapseTimer, &QTimer::timeout, q, [this] { timeLapseTick(); });
        // One frame interval is the shortest interval that can be kept.
        const double rate = m_Live.frameRate();
        m_TimeLapseDlg = new TimeLapseDlg(m_Session.timeLapseOptions(), rate > 0.0 ? 1.0 / rate : 0.01, q);
        connect(m_TimeLapseDlg, &TimeLapseDlg::startRequested, q,
            [this](const TimeLapseOptions& o) { startTimeLapse(o); });
        connect(m_TimeLapseDlg, &TimeLapseDlg::stopRequested, q, [this] { stopTimeLapse(); });
    }
    m_TimeLapseDlg->setRunning(m_TimeLapse.running());
    m_TimeLapseDlg->show();
    m_TimeLapseDlg->raise();
}

void CViewerDlg::Private::startTimeLapse(const TimeLapseOptions& options)
{
    m_Session.timeLapseOptions() = options;
    if (m_bLiveStopped) {
        m_Prompts.tellCapture(FileTexts::RecordNeedsLive(g_bJapanese != 0));
        return;
    }
    m_TimeLapse.start(options, clockMs(), QDateTime::currentDateTime());
    m_LapseFrame = 0;
    m_LapseDoneAt = -1;
    m_TimeLapseDlg->setRunning(true);
    timeLapseTick();
}

void CViewerDlg::Private::stopTimeLapse()
{
    m_TimeLapse.stop();
    if (m_LapseTimer)
        m_LapseTimer->stop();
    m_LapseDoneAt = clockMs();
    if (m_TimeLapseDlg) {
        m_TimeLapseDlg->setRunning(false);
        m_TimeLapseDlg->setStatus(m_TimeLapse.status(clockMs(), g_bJapanese != 0));
    }
}

void CViewerDlg::Private::timeLapseTick()
{
    if (!m_TimeLapse.running())
        return;
    int64_t now = clockMs();
    if (m_TimeLapse.isDue(now)) {
        // A shot needs a frame it has not had (a camera slower than the interval makes it late) and room in
        // the writer's queue; otherwise it stays due and is tried again shortly.
        const uint64_t frame = m_Live.lastFrame().number;
        bool taken = false;
        if (!m_bLiveStopped && frame != m_LapseFrame) {
            CaptureOptions options = m_TimeLapse.optionsForShot(m_Session.captureOptions());
            taken = captureNow(options) == QuickCapture::Outcome::Queued;
        }
        now = clockMs();
        if (taken) {
            m_LapseFrame = frame;
            m_TimeLapse.shotTaken(now);
        } else {
            m_TimeLapse.shotRefused(now);
        }
    }
    const QString status = m_TimeLapse.status(now, g_bJapanese != 0);
    if (m_TimeLapseDlg)
        m_TimeLapseDlg->setStatus(status);
    if (!m_TimeLapse.running()) {
        stopTimeLapse(); // all shots taken
        return;
    }
    const int64_t wait = m_TimeLapse.isDue(now) ? kRetryMs : m_TimeLapse.msUntilNext(now);
    m_LapseTimer->start(int(std::min<int64_t>(wait, 24 * 3600 * 1000)));
    q->setWindowTitle(captionFor(m_Live.status()));
}

QString CViewerDlg::Private::timeLapseNote() const
{
    const bool shown = m_TimeLapse.running() || (m_LapseDoneAt >= 0 && clockMs() - m_LapseDoneAt < kDoneNoteMs);
    return shown ? QStringLiteral("  -  ") + m_TimeLapse.status(clockMs(), g_bJapanese != 0) : QString();
}
