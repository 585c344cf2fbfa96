// Focus in the main window: peaking (in-focus edges tinted on the live picture, in the colour dialog's text
// colour) and focus stacking. Stack collects frames from the live picture while the user turns the focus
// knob, keeping only those that bring sharpness somewhere; pressed again (or B) it fuses them on a thread of
// their own behind a progress bar with a Cancel, and shows the all-in-focus picture as an opened one:
// measurable with the calibration in use and savable in every format.
#include <QCheckBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "app/DialogTemplate.h"
#include "app/ViewerDlgPrivate.h"
#include "ui/DialogForm.h"

namespace {

// How often the progress bar looks at the fusing.
constexpr int kProgressPollMs = 100;

// The text in the language of the user interface.
constexpr auto text = &DialogForm::text;

} // namespace

void CViewerDlg::Private::createFocusTools()
{
    m_PeakingCheck = static_cast<QCheckBox*>(control(IDC_PEAKING));
    m_PeakingCheck->setFocusPolicy(Qt::NoFocus); // the keys stay the window's
    m_PeakingCheck->setToolTip(text("Tint the edges that are in focus (H)", "ピントの合ったエッジに色を付けます（H）"));
    connect(m_PeakingCheck, &QCheckBox::toggled, q, [this] { applyPeaking(); });
    m_StackButton = static_cast<QPushButton*>(control(IDC_STACK));
    m_StackButton->setFocusPolicy(Qt::NoFocus);
    m_StackButton->setToolTip(text("Focus stack: collect frames while turning the focus, then press again to make "
                                   "one picture sharp everywhere (B)",
        "焦点合成：ピントを動かしながら画像を集め、もう一度押すと全体にピントの合った画像を作ります（B）"));
    connect(m_StackButton, &QPushButton::clicked, q, [this] { OnStack(); });
}

void CViewerDlg::Private::applyPeaking()
{
    const ColorRef colour = m_Settings.read([](const ViewerSettings& s) { return s.color.text; });
    m_Live.setFocusPeaking(m_PeakingCheck->isChecked(), colour);
    if (!m_Live.isLive())
        q->update();
}

void CViewerDlg::Private::OnStack()
{
    if (m_StackJob)
        return; // fusing: the progress dialog's Cancel is the way out
    if (m_Stacking) {
        fuseStack();
        return;
    }
    if (m_bLiveStopped) {
        m_Prompts.tellCapture(text("Focus stacking collects frames from the live picture: start it first.",
            "焦点合成はライブ映像から画像を集めます。先にライブ映像を開始してください。"));
        return;
    }
    m_Stack.clear();
    m_Stacking = true;
    m_StackFrame = m_Live.lastFrame().number;
    updateStackButton();
}

void CViewerDlg::Private::feedStack()
{
    if (!m_Stacking || m_Live.lastFrame().number == m_StackFrame)
        return;
    DibImage frame;
    FrameStamp stamp;
    if (!m_Live.takePicture(frame, &stamp) || stamp.number == 0)
        return;
    m_StackFrame = stamp.number;
    if (m_Stack.offer(frame) == StackCollector::Offer::Full) {
        fuseStack(); // as many as can be fused: the stack is complete
        return;
    }
    updateStackButton();
}

void CViewerDlg::Private::updateStackButton()
{
    if (m_StackJob)
        m_StackButton->setText(text("Fusing", "合成中"));
    else if (m_Stacking)
        m_StackButton->setText(text("Stop (%1)", "停止（%1）").arg(m_Stack.count()));
    else
        m_StackButton->setText(text("Stack", "スタック"));
}

void CViewerDlg::Private::fuseStack()
{
    m_Stacking = false;
    std::vector<DibImage> frames = m_Stack.takeFrames();
    if (frames.empty()) {
        updateStackButton();
        return;
    }
    m_StackJob = std::make_unique<FocusStackJob>();
    m_StackJob->start(std::move(frames));
    updateStackButton();
    auto* progress = new QProgressDialog(text("Fusing the focus stack…", "焦点合成中…"), text("Cancel", "キャンセル"), 0, 1, q);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(progress, &QProgressDialog::canceled, q, [this] {
        if (m_StackJob)
            m_StackJob->cancel();
    });
    auto* poll = new QTimer(progress);
    connect(poll, &QTimer::timeout, q, [this, progress] {
        if (!m_StackJob->finished()) {
            progress->setMaximum(std::max(m_StackJob->total(), 1));
            progress->setValue(m_StackJob->done());
            return;
        }
        // A Cancel pressed as the fusing ended still means no picture.
        const bool cancelled = progress->wasCanceled();
        progress->close();
        showStackResult(cancelled);
    });
    poll->start(kProgressPollMs);
    progress->show();
}

void CViewerDlg::Private::showStackResult(bool cancelled)
{
    DibImage fused;
    const StackResult result = cancelled ? StackResult::Cancelled : m_StackJob->take(fused);
    const int frames = m_StackJob->frameCount();
    m_StackJob.reset();
    updateStackButton();
    if (result == StackResult::Failed)
        m_Prompts.tellCapture(text("The focus stack could not be fused.", "焦点合成ができませんでした。"));
    if (result != StackResult::Done)
        return;
    // The live view stops, as when a saved picture is opened; the fused picture is the one in use.
    m_bLiveStopped = 0;
    OnLive();
    m_Live.withFrame([&fused](LiveFrames& f) { f.picture = std::move(fused); });
    m_ShownFile = text("focus stack of %1 frames", "焦点合成（%1 枚）").arg(frames);
    q->setWindowTitle(captionFor(m_Live.status()));
    RelayoutView();
    q->update();
}

QString CViewerDlg::Private::stackNote() const
{
    if (!m_Stacking)
        return {};
    return QStringLiteral("  -  ")
        + text("stack %1 frames, %2 MB", "焦点合成 %1 枚、%2 MB")
              .arg(m_Stack.count())
              .arg(double(m_Stack.bytes()) / (1024.0 * 1024.0), 0, 'f', 0);
}
