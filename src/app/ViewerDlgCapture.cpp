// Quick capture in the main window: the QUICK button and its key save the picture into the save folder while
// the live view goes on; a right click on the button opens the options. The name shows in the caption for a
// few seconds, the thumbnail in the strip once the file is written.
#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QShortcut>

#include "app/DialogTemplate.h"
#include "app/ViewerDlgPrivate.h"
#include "files/FileTexts.h"
#include "files/QuickCapture.h"
#include "files/ui/CaptureOptionsDlg.h"
#include "platform/Language.h"

namespace {

// How long the caption names the last picture captured.
constexpr int kNoteMs = 4000;

} // namespace

void CViewerDlg::Private::createQuickCapture()
{
    m_Capture = std::make_unique<QuickCapture>();
    m_Clock.start();
    if (!m_Prompts.tellCapture)
        m_Prompts.tellCapture = [this](const QString& text) {
            auto* box = new QMessageBox(QMessageBox::Warning, q->windowTitle(), text, QMessageBox::Ok, q);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        };
    QWidget* button = control(IDC_QUICK);
    connect(static_cast<QAbstractButton*>(button), &QAbstractButton::clicked, q, [this] { OnQuick(); });
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, q, [this] { OnQuickMenu(); });
    m_QuickKey = new QShortcut(q);
    m_QuickKey->setContext(Qt::WindowShortcut);
    connect(m_QuickKey, &QShortcut::activated, q, [this] {
        if (!textFieldHasFocus())
            OnQuick();
    });
    quickOptionsChanged();
}

void CViewerDlg::Private::quickOptionsChanged()
{
    const CaptureOptions& o = m_Session.captureOptions();
    m_QuickKey->setKey(QKeySequence(o.key));
    const QString key = QKeySequence(o.key).toString(QKeySequence::NativeText);
    control(IDC_QUICK)->setToolTip(FileTexts::QuickTip(g_bJapanese != 0, key));
}

QuickCapture::Outcome CViewerDlg::Private::captureNow(CaptureOptions& options, QString* path)
{
    DibImage picture;
    if (!m_Live.takePicture(picture))
        return QuickCapture::Outcome::NoPicture;
    OverlayDrawer drawer;
    if (options.overlay)
        drawer = [this](DibImage& copy) { drawOverlayForSave(copy); };
    const SaveOptions save { m_Session.pictureTags(), options.jpegQuality };
    const QuickCapture::Outcome outcome = m_Capture->capture(std::move(picture), m_Thumbnails.saveFolder(), options,
        m_Measure.selectedCalib().name, save, drawer, QDateTime::currentDateTime(), path);
    if (outcome == QuickCapture::Outcome::Queued && options.overlay)
        m_Measure.markExported(); // the measurements are drawn into the picture
    return outcome;
}

void CViewerDlg::Private::OnQuick()
{
    const bool ja = g_bJapanese != 0;
    QString path;
    switch (captureNow(m_Session.captureOptions(), &path)) {
    case QuickCapture::Outcome::Queued:
        showCaptureNote(FileTexts::Capturing(ja, QFileInfo(path).fileName()));
        return;
    case QuickCapture::Outcome::Busy:
        m_Prompts.tellCapture(FileTexts::CaptureBusy(ja, QuickCapture::kMaxPending));
        return;
    case QuickCapture::Outcome::NoPicture:
    case QuickCapture::Outcome::NoName:
        m_Prompts.tellCapture(FileTexts::NotSaved(ja));
        return;
    }
}

void CViewerDlg::Private::collectCaptures()
{
    bool added = false;
    for (QuickCapture::Finished& f : m_Capture->takeFinished()) {
        const QString name = QFileInfo(f.path).fileName();
        if (!f.written) {
            m_Prompts.tellCapture(FileTexts::CaptureNotSaved(g_bJapanese != 0, name));
            continue;
        }
        // A picture written into a folder the strip no longer shows is not the strip's.
        if (QFileInfo(f.path).absolutePath() == QFileInfo(m_Thumbnails.saveFolder()).absoluteFilePath())
            added |= m_Thumbnails.AddCopied(f.path, f.thumbnail) != 0;
        showCaptureNote(FileTexts::Captured(g_bJapanese != 0, name));
    }
    if (added) {
        UpdateStripScrollBar();
        InvalidateStrip();
    }
}

void CViewerDlg::Private::finishCaptures()
{
    if (!m_Capture)
        return;
    m_Capture->waitUntilIdle();
    collectCaptures();
}

void CViewerDlg::Private::showCaptureNote(const QString& note)
{
    m_CaptureNote = note;
    m_CaptureNoteAge.start();
    q->setWindowTitle(captionFor(m_Live.status()));
}

QString CViewerDlg::Private::captureNote() const
{
    if (m_CaptureNote.isEmpty() || !m_CaptureNoteAge.isValid() || m_CaptureNoteAge.elapsed() > kNoteMs)
        return {};
    return QStringLiteral("  -  ") + m_CaptureNote;
}

void CViewerDlg::Private::OnQuickOptions()
{
    CaptureOptionsDlg dialog(m_Session.captureOptions(), q);
    if (m_Prompts.runSettingDialog(dialog) != QDialog::Accepted)
        return;
    m_Session.captureOptions() = dialog.options();
    quickOptionsChanged();
}
