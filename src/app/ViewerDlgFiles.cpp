// The main window's pictures on disk: SAVE and DIR, the thumbnail strip under the picture with its menu,
// the thumbnail browser, and opening a saved picture in the view. The strip's mouse is the interaction's
// (ViewerDlgMouse.cpp).
#include <QFileInfo>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include "app/DialogTemplate.h"
#include "ui/QtRect.h"
#include "app/ViewerDlgPrivate.h"
#include "files/ui/CThumbnailDlg.h"
#include "files/FileTexts.h"
#include "files/OpenPicture.h"
#include "files/SaveFolder.h"
#include "files/StillSave.h"
#include "files/ThumbnailCommands.h"
#include "files/ThumbnailPainter.h"
#include "files/PictureTags.h"
#include "imaging/Dc.h"
#include "platform/Language.h"

namespace {

// Menu 146's commands.
constexpr int kCommandOpen = 32780;
constexpr int kCommandRemove = 32779;
constexpr int kCommandTrash = 32781;

} // namespace

Rect CViewerDlg::Private::stripRect() const
{
    return controlRect(IDC_STRIP);
}

void CViewerDlg::Private::OnSave()
{
    // The picture must not change while it is copied: the live view stops for the whole save.
    const bool wasLive = !m_bLiveStopped;
    if (wasLive)
        OnLive();
    StillSave save(m_Thumbnails, m_Prompts.files.askSaveFile, m_Prompts.files.tell);
    OverlayDrawer drawer;
    if (m_bSaveOverlay)
        drawer = [this](DibImage& copy) { drawOverlayForSave(copy); };
    const SaveOptions options { m_Session.pictureTags(), m_Session.captureOptions().jpegQuality };
    const StillSave::Result result
        = save.Run(pictureInUse(), drawer, g_bJapanese != 0, QDateTime::currentDateTime(), options);
    if (result.folderChanged) {
        UpdateStripScrollBar();
        InvalidateStrip();
    }
    if (result.outcome == StillSave::Outcome::Saved) {
        // The measurements are drawn into the saved picture, or kept in it (PNG and TIFF).
        if (m_bSaveOverlay || result.format == kSavePng || result.format == kSaveTiff)
            m_Measure.markExported();
        UpdateStripScrollBar();
        InvalidateStrip();
    }
    if (wasLive)
        OnLive();
}

void CViewerDlg::Private::OnDir()
{
    // The strip fills while the pictures the ThumbNail file lacks are decoded.
    if (SaveFolder(m_Thumbnails)
            .Choose(m_Prompts.files.askFolder, m_Prompts.files.tell, g_bJapanese != 0, SaveFolder::Scan::Background)) {
        UpdateStripScrollBar();
        InvalidateStrip();
        followScan();
    }
}

void CViewerDlg::Private::followScan()
{
    if (!m_ScanPoll) {
        m_ScanPoll = new QTimer(q);
        m_ScanPoll->setInterval(25);
        connect(m_ScanPoll, &QTimer::timeout, q, [this] {
            if (m_Thumbnails.TakeScanned() > 0)
                UpdateStripScrollBar();
            InvalidateStrip(); // the progress bar moves, and goes when the scan is done
            if (!m_Thumbnails.scanning())
                m_ScanPoll->stop();
        });
    }
    if (m_Thumbnails.scanning())
        m_ScanPoll->start();
}

void CViewerDlg::Private::offerSaveFolder()
{
    const QString missing = m_Session.missingSaveFolder();
    if (!missing.isEmpty() && m_Prompts.files.confirm
        && m_Prompts.files.confirm(FileTexts::AskMissingFolder(g_bJapanese != 0, missing)))
        OnDir();
}

void CViewerDlg::Private::placeOnScreen(QWidget& dialog) const
{
    // Over the window, no larger than the screen and wholly on it, its title bar too (room is kept for it:
    // a dialog's frame is not known before it is shown).
    constexpr int kTitleBar = 32;
    const QScreen* screen = q->screen();
    if (!screen)
        return;
    Rect available = toRect(screen->availableGeometry());
    available.top += kTitleBar;
    const QRect window = q->frameGeometry();
    const QSize size = dialog.size().boundedTo(QSize(available.width(), available.height()));
    const QPoint centred = window.center() - QPoint(size.width() / 2, size.height() / 2);
    const Rect wanted { centred.x(), centred.y(), centred.x() + size.width(), centred.y() + size.height() };
    dialog.setGeometry(toQRect(SettingsFile::ClampToScreen(wanted, available, wanted)));
}

void CViewerDlg::Private::OnThumb()
{
    CThumbnailDlg browser(m_Thumbnails, m_SkinBackground, q, g_bJapanese != 0);
    placeOnScreen(browser);
    browser.setConfirmer(m_Prompts.files.confirm);
    const int result = m_Prompts.runThumbnailBrowser(browser);
    if (result >= CThumbnailDlg::kOpenBase)
        OpenPicture(result - CThumbnailDlg::kOpenBase);
    // Remove and Trash box in the browser change the store: the strip follows in any case.
    UpdateStripScrollBar();
    InvalidateStrip();
}

void CViewerDlg::Private::OpenPicture(int index)
{
    const QString path = ThumbnailCommands(m_Thumbnails).PathAt(index);
    // A video plays in the system's player; the live view goes on.
    if (ThumbnailStore::IsVideoName(path)) {
        m_Prompts.openExternally(path);
        return;
    }
    // The live view stops whether or not it runs, as opening always did.
    m_bLiveStopped = 0;
    OnLive();
    if (path.isEmpty())
        return;
    PictureTags tags;
    IgnoredTags ignored;
    const int opened
        = m_Live.withFrame([&](LiveFrames& f) { return ::OpenPicture(path, f.picture, &tags, &ignored); });
    if (opened) {
        m_ShownFile = QFileInfo(path).fileName();
        // A PNG or TIFF of ours brings its calibration and measurements back.
        ignored = m_Session.adoptPictureTags(tags, ignored, &pictureInUse());
        syncCalibCombo();
        if (!ignored.isEmpty())
            m_Prompts.files.tell(FileTexts::TagsIgnored(g_bJapanese != 0, ignored));
    } else {
        m_Prompts.files.tell(g_bJapanese ? QString::fromUtf8("画像を開けませんでした。") : "The picture could not be opened.");
    }
    q->setWindowTitle(captionFor(m_Live.status()));
    RelayoutView();
    q->update();
}

void CViewerDlg::Private::UpdateStripScrollBar()
{
    const ScrollBarState s = m_Grid.StripScrollBar(stripRect(), int32_t(m_Thumbnails.count()));
    if (s.shown) {
        m_StripScroll->setRange(0, s.lastPosition());
        m_StripScroll->setVisible(m_bStripShown != 0);
    } else {
        m_StripScroll->setRange(0, 0);
        m_StripScroll->hide();
    }
}

void CViewerDlg::Private::InvalidateStrip()
{
    q->update(toQRect(stripRect()));
}

void CViewerDlg::Private::PaintStrip(QPainter& painter)
{
    if (!m_bStripShown || !m_PaintRegion.intersects(toQRect(stripRect())))
        return; // a new frame of the live picture leaves the strip alone
    Dc dc(painter);
    DrawThumbnailStrip(dc, m_Grid, stripRect(), m_StripScroll->value(), m_Thumbnails, m_SkinBackground);
}

int CViewerDlg::Private::stripHit(QPoint p) const
{
    if (!m_bStripShown)
        return -1;
    return m_Grid.StripHit(stripRect(), m_StripScroll->value(), int32_t(m_Thumbnails.count()), { p.x(), p.y() });
}

void CViewerDlg::Private::OnStripCommand(int command)
{
    ThumbnailCommands commands(m_Thumbnails);
    switch (command) {
    case kCommandOpen:
        OpenPicture(m_StripContext);
        return;
    case kCommandRemove:
        commands.Remove(m_StripContext, m_Prompts.files.confirm, g_bJapanese != 0);
        break;
    case kCommandTrash:
        commands.Trash(m_StripContext);
        break;
    default:
        return;
    }
    UpdateStripScrollBar();
    InvalidateStrip();
}
