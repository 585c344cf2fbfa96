// The main window: its controls, start-up steps, status tick, closing, settings and skinned painting.
#include "app/ViewerDlgPrivate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPushButton>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QWindow>

#include "app/DialogTemplate.h"
#include "measure/ui/ToleranceDlg.h"
#include "app/SkinButton.h"
#include "dialogs/ui/CImageSetDlg.h"
#include "files/ui/CThumbnailDlg.h"
#include "imaging/Dc.h"
#include "imaging/ViewLayout.h"
#include "measure/ui/ResultsTable.h"
#include "platform/Clock.h"
#include "platform/Language.h"
#include "platform/StringTable.h"
#include "ui/QtRect.h"

namespace {

// The results list is this much wider than the template has it, into the gap beside the picture.
constexpr int kResultsExtraWidth = 14;
// The smallest window: the panel beside a picture some 400 pixels wide, and a results list with its heading
// and four rows.
constexpr int kMinimumWidth = ViewLayout::kPanelReserve + 412;
// The smallest window shows the results' header and a row: it must fit a 768-pixel screen with the quick
// capture, focus and overlay rows in the panel, and stays as tall as before the overlay row came.
constexpr int kMinimumResultsHeight = 52;

// Static texts are drawn in this colour over the tiled background.
constexpr ColorRef kStaticTextColor = 0xB9A800;


struct Tooltip {
    int control;
    int string;
};

// In the order the tools are added.
constexpr Tooltip kTooltips[] = {
    { IDC_LIVE, 200 },
    { IDC_SAVE, 201 },
    { IDC_DIR, 202 },
    { IDC_SET, 203 },
    { IDC_TYPE, 204 },
    { IDC_THUMB, 205 },
    { IDC_WB, 206 },
    { IDC_ZOOM, 207 },
    { IDC_LINE, 208 },
    { IDC_ARIA, 209 },
    { IDC_CIRCLE, 210 },
    { IDC_CIRCLE2, 211 },
    { IDC_SUI, 212 },
    { IDC_ANGLE, 213 },
    { IDC_DELETE, 214 },
    { IDC_CLEAR, 215 },
    { IDC_COLOR, 216 },
    { IDC_CSV, 217 },
    { IDC_CALIB, 218 },
    { IDC_SCALE, 224 },
    { IDC_CALIB_COMBO, 219 },
    { IDC_RESULTS, 220 },
};

// The template's label is narrower than "Calibration value" in any font we have: let it grow to the left
// (its right edge is what the layout keeps) and wrap onto a second line rather than cut the text off.
Rect fitLabel(QLabel* label, Rect r)
{
    constexpr int kMaxWidth = 80;
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
    if (textWidth <= r.width())
        return r;
    label->setWordWrap(textWidth > kMaxWidth);
    const int width = std::min(textWidth, kMaxWidth);
    const int height = label->heightForWidth(width) > 0 ? label->heightForWidth(width) : r.height();
    const int centre = (r.top + r.bottom) / 2;
    return { r.right - width, centre - height / 2, r.right, centre - height / 2 + height };
}

bool askBeforeClosing(QWidget* parent, const QString& title, const QString& question)
{
    return QMessageBox::question(parent, title, question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

WindowPrompts::WindowPrompts(QWidget* window)
    : files(window)
    , confirmClose([window](const QString& title, const QString& question) {
        return askBeforeClosing(window, title, question);
    })
    , runThumbnailBrowser([](CThumbnailDlg& browser) { return browser.exec(); })
    , askCsvPath([window](const CsvSaveDialog& dialog) { return ResultsTable::AskCsvPath(window, dialog); })
    , askPath([window](const CsvSaveDialog& dialog, bool save) {
        return save ? QFileDialog::getSaveFileName(window, dialog.title, dialog.initialPath, dialog.filter)
                    : QFileDialog::getOpenFileName(window, dialog.title, QFileInfo(dialog.initialPath).path(), dialog.filter);
    })
    , runSettingDialog([](QDialog& dialog) { return dialog.exec(); })
    , runImageSetting([](CImageSetDlg& dialog) { return dialog.exec(); })
    , openExternally([](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); })
    , askTolerance([window](const MeasureItem& item, double value, const QString& unit)
                       -> std::optional<std::optional<Tolerance>> {
        ToleranceDlg dialog(item.tolerance, value, unit, window);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.tolerance();
    })
{
}

CViewerDlg::Private::Private(CViewerDlg* window, const QString& folder, const QString& cameraOption)
    : q(window)
    , m_Session(folder.isEmpty() ? FileLocations::ForProgram(QCoreApplication::applicationDirPath())
                                 : FileLocations::Beside(folder))
    , m_Prompts(window)
    , m_CameraOption(cameraOption)
    , m_CalibDialogs(window)
{
}

CViewerDlg::CViewerDlg(QWidget* parent, const QString& settingsFolder, const QString& cameraOption)
    : QDialog(parent)
    , d(std::make_unique<Private>(this, settingsFolder, cameraOption))
{
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    QFont font = this->font();
    font.setPointSize(9);
    setFont(font);
    d->createControls();
    const int width = g_bJapanese ? kDialogWidthJapanese : kDialogWidthEnglish;
    QDialog::resize(DialogUnitsToPixelsX(width), DialogUnitsToPixelsY(kDialogHeight));
    // Never so small that the results list beside the picture loses its rows (unless the screen is).
    QSize smallest(kMinimumWidth, d->controlRect(IDC_RESULTS).top + kMinimumResultsHeight + ViewLayout::kEdgeGap);
    if (const QScreen* s = screen())
        smallest = smallest.boundedTo(s->availableGeometry().size());
    setMinimumSize(smallest);
    d->OnInitDialog();
}

CViewerDlg::~CViewerDlg()
{
    if (!d->m_Destroyed)
        d->OnDestroy();
}

ViewerSession& CViewerDlg::session()
{
    return d->m_Session;
}

LiveView& CViewerDlg::liveView()
{
    return d->m_Live;
}

WindowPrompts& CViewerDlg::prompts()
{
    return d->m_Prompts;
}

void CViewerDlg::Private::createControls()
{
    const bool ja = g_bJapanese != 0;
    auto draw = [this](QPainter& p, const SkinButton& b, bool pressed) { OnDrawItem(p, b, pressed); };
    for (const ControlTemplate& t : MainDialogControls()) {
        const QString text = QString::fromUtf8(ja ? t.japanese : t.english);
        QWidget* w = nullptr;
        switch (t.kind) {
        case ControlKind::Frame:
            w = m_View = new QFrame(q);
            m_View->hide();
            break;
        case ControlKind::GroupBox:
            w = new QGroupBox(text, q);
            break;
        case ControlKind::SkinButton: {
            auto* b = new SkinButton(t.id, draw, q);
            b->setText(text); // the caption is in the skin; the text names the button for accessibility
            w = b;
            break;
        }
        case ControlKind::DropDownList:
            w = new QComboBox(q);
            break;
        case ControlKind::StaticText:
            w = new QLabel(text, q);
            break;
        case ControlKind::ListView:
            w = m_Results = new QTableView(q);
            break;
        case ControlKind::CheckBox:
            w = new QCheckBox(text, q);
            break;
        case ControlKind::PushButton:
            w = new QPushButton(text, q);
            break;
        case ControlKind::HScrollBar:
            w = m_StripScroll = new QScrollBar(Qt::Horizontal, q);
            m_StripScroll->setRange(0, 0); // nothing to scroll until the strip holds thumbnails
            break;
        }
        w->setObjectName(QString::number(t.id)); // tests and screenshots find the controls by their ids
        m_Controls[t.id] = w;
        Rect r = ControlPixelRect(t);
        if (t.kind == ControlKind::DropDownList) // the template's height is that of the opened list
            r.bottom = r.top + w->sizeHint().height();
        if (t.id == IDC_PANEL_TOGGLE || t.id == IDC_STRIP_TOGGLE) { // room for the whole arrow cell
            r.right = std::max(r.right, r.left + kArrowCell);
            r.bottom = std::max(r.bottom, r.top + kArrowCell);
        }
        if (t.kind == ControlKind::StaticText)
            r = fitLabel(static_cast<QLabel*>(w), r);
        if (t.id == IDC_RESULTS) // room for whole results in four columns; its right edge is what the layout keeps
            r.left -= kResultsExtraWidth;
        setControlRect(t.id, r);
        OnCtlColor(w);
    }
    m_Zoom = static_cast<QComboBox*>(control(IDC_ZOOM));
    m_CalibCombo = static_cast<QComboBox*>(control(IDC_CALIB_COMBO));
    m_Zoom->addItems(ZoomTexts(ja));
    m_Zoom->setCurrentIndex(1);

    const auto button = [this](int id) { return static_cast<SkinButton*>(control(id)); };
    const auto onClick = [this, &button](int id, void (Private::*handler)()) {
        connect(button(id), &QAbstractButton::clicked, q, [this, handler] { (this->*handler)(); });
    };
    connect(m_Zoom, &QComboBox::activated, q, [this] { zoomChosen(); });
    connect(m_CalibCombo, &QComboBox::activated, q, [this] { OnSelchangeCalib(); });
    onClick(IDC_LIVE, &Private::OnLive);
    onClick(IDC_TYPE, &Private::OnType);
    onClick(IDC_SET, &Private::OnSet);
    onClick(IDC_COLOR, &Private::OnColor);
    onClick(IDC_WB, &Private::OnWB);
    onClick(IDC_PANEL_TOGGLE, &Private::OnTogglePanel);
    onClick(IDC_STRIP_TOGGLE, &Private::OnToggleStrip);
    onClick(IDC_SAVE, &Private::OnSave);
    onClick(IDC_DIR, &Private::OnDir);
    onClick(IDC_THUMB, &Private::OnThumb);
    onClick(IDC_CALIB, &Private::OnCalib);
    onClick(IDC_SCALE, &Private::OnScale);
    onClick(IDC_DELETE, &Private::OnDelete);
    onClick(IDC_CLEAR, &Private::OnClear);
    onClick(IDC_CSV, &Private::OnCsv);
    connect(m_StripScroll, &QScrollBar::valueChanged, q, [this] { q->update(toQRect(controlRect(IDC_STRIP))); });
    connect(&m_CalibDialogs, &CalibDialogOwner::calibClosed, q,
        [this](int result, int position) { OnCalibClosed(result, position); });
    connect(&m_CalibDialogs, &CalibDialogOwner::scaleChanged, q, [this] { updateViewArea(); });
}

QWidget* CViewerDlg::Private::control(int id) const
{
    const auto it = m_Controls.find(id);
    return it == m_Controls.end() ? nullptr : it->second;
}

void CViewerDlg::Private::setControlRect(int id, const Rect& r)
{
    if (QWidget* w = control(id))
        w->setGeometry(toQRect(r));
}

Rect CViewerDlg::Private::controlRect(int id) const
{
    const QWidget* w = control(id);
    return w ? toRect(w->geometry()) : Rect {};
}

void CViewerDlg::Private::OnInitDialog()
{
    q->setWindowIcon(QIcon(":/Icon/128.png"));
    loadSettings();
    // Asked once the window is up, so that the question comes over it.
    QTimer::singleShot(0, q, [this] { offerSaveFolder(); });
    openSource();
    q->setWindowTitle(captionFor(kCaption));
    startCamera();

    resultsTable().Setup(m_Measure.results());
    createInspection();
    // The document tells what changed in the results: the list follows by itself, the overlay is drawn anew.
    connect(&m_Measure.results(), &QAbstractItemModel::modelReset, q, [this] { updateViewArea(); });
    connect(&m_Measure.results(), &QAbstractItemModel::rowsInserted, q, [this] { updateViewArea(); });
    connect(&m_Measure.results(), &QAbstractItemModel::dataChanged, q, [this] { updateViewArea(); });

    for (const CalibEntry& e : m_Measure.calibration())
        m_CalibCombo->insertItem(e.position, e.name);
    // The calibration chosen in the last run.
    m_CalibCombo->setCurrentIndex(m_Measure.calibIndex());

    OnSelchangeCalib();
    m_StripScroll->setValue(0);
    UpdateStripScrollBar();
    if (g_bJapanese)
        createTooltips();
    createInteraction();
    createQuickCapture();
    createRecording();
    createFocusTools();
    createOverlayTools();
    if (m_View) {
        const ViewGeometry g = m_Settings.view();
        m_Settings.setView(controlRect(IDC_VIEW), m_Zoom->currentIndex(), g.baiX, g.baiY);
    }
    m_TimerId = q->startTimer(kStatusTimerMs);
    m_Live.startDisplay();
    startViewPoll();
}

void CViewerDlg::Private::createTooltips()
{
    for (const Tooltip& t : kTooltips)
        if (QWidget* w = control(t.control))
            w->setToolTip(LoadString(t.string));
}

void CViewerDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == d->m_TimerId)
        d->OnTimer();
    QDialog::timerEvent(event);
}

void CViewerDlg::Private::OnTimer()
{
    m_Live.heartbeat(timeGetTime());
    if (m_Live.isLive() && m_Live.framesShown() > 0)
        m_Focus.add(m_Live.focusScore(), shownGeometry());
    if (m_Capture)
        collectCaptures(); // the pictures quick capture wrote since the last tick
    checkRecording();
    q->setWindowTitle(captionFor(m_Live.status()) + whiteBalanceNote());
    if (m_bRepaintPending) {
        q->update();
        m_bRepaintPending = 0;
    }
}

void CViewerDlg::closeEvent(QCloseEvent* event)
{
    if (d->OnClose()) {
        event->accept();
        reject();
    } else {
        event->ignore();
    }
}

void CViewerDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter ends the window as Escape does (a dialog without its own OK handler), without the question.
    // Neither Enter nor Escape ends the main window (a dialog's default would): a stray key must not throw
    // away the measurements. Escape drops the item being drawn (a shortcut); closing is the close box's.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

bool CViewerDlg::Private::OnClose()
{
    if (!m_Prompts.confirmClose)
        return true;
    // Japanese systems are always asked; English ones only when measurements would be lost.
    if (g_bJapanese)
        return m_Prompts.confirmClose(QString::fromUtf8("終了確認"), QString::fromUtf8("終了しますか？"));
    if (m_Measure.unexported())
        return m_Prompts.confirmClose(QStringLiteral("NX-QB740LE"),
                                      QStringLiteral("Quit? The measurements have not been exported."));
    return true;
}

void CViewerDlg::done(int result)
{
    if (!d->m_Destroyed)
        d->OnDestroy();
    QDialog::done(result);
}

void CViewerDlg::Private::OnDestroy()
{
    m_Destroyed = true;
    m_CalibDialogs.closeDialogs();
    if (m_TimerId)
        q->killTimer(m_TimerId);
    m_TimerId = 0;
    if (m_ViewPoll)
        m_ViewPoll->stop();
    stopRecording();
    if (m_TimeLapse.running())
        stopTimeLapse();
    m_Live.stopCamera();
    // Pictures captured and not yet written are written now, and get their thumbnails before the store is saved.
    finishCaptures();
    // A display pass already under way may still store the white-balance gains it measured: let it end.
    const bool saved = m_Live.withFrame([this](LiveFrames&) { return saveSettings(); });
    m_Live.stop();
    if (!saved && m_Prompts.files.tell) // a full disk or a folder gone: the user learns the settings are lost
        m_Prompts.files.tell(g_bJapanese ? QString::fromUtf8("設定を保存できませんでした。")
                                       : QStringLiteral("The settings could not be saved."));
}

void CViewerDlg::Private::loadSettings()
{
    m_Session.load();
    m_Zoom->setCurrentIndex(m_Settings.read([](const ViewerSettings& s) { return s.m_Bai; }));
    loadSkins();
    m_SkinBackground.LoadPngResource(kSkinBackgroundId);
}

void CViewerDlg::Private::loadSkins()
{
    const qreal ratio = q->devicePixelRatioF();
    m_SkinButtons = LoadSkinSheet(kSkinButtonsId, g_bJapanese != 0, ratio);
    m_SkinTile = LoadSkinSheet(kSkinBackgroundId, g_bJapanese != 0, ratio);
    m_SkinArrows = LoadSkinSheet(kSkinArrowsId, g_bJapanese != 0, ratio);
}

bool CViewerDlg::Private::saveSettings()
{
    WindowPlacement placement;
    placement.maximised = q->isMaximized();
    placement.normal = toRect(q->isMaximized() || q->isMinimized() ? q->normalGeometry() : q->geometry());
    return m_Session.save(m_Zoom->currentIndex(), placement);
}

void CViewerDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (d->m_FirstShow)
        d->OnShowWindow();
}

void CViewerDlg::Private::OnShowWindow()
{
    m_FirstShow = false;
    // Moved to a screen of another scale: the skins and the view at its device pixels.
    if (QWindow* window = q->windowHandle())
        connect(window, &QWindow::screenChanged, q, [this] {
            loadSkins();
            RelayoutView();
            q->update();
        });
    const Rect current = toRect(q->geometry());
    const WindowPlacement placement = m_Session.placement(current);
    // A placement saved on a larger or another screen must come back where it can be seen, and no smaller
    // than the window may be.
    Rect r = placement.normal;
    if (!r.isEmpty()) {
        const QSize least = q->minimumSize();
        r.right = int32_t(std::min<int64_t>(std::max<int64_t>(r.right, int64_t(r.left) + least.width()), INT32_MAX));
        r.bottom = int32_t(std::min<int64_t>(std::max<int64_t>(r.bottom, int64_t(r.top) + least.height()), INT32_MAX));
    }
    if (const QScreen* s = q->screen())
        r = SettingsFile::ClampToScreen(r, toRect(s->availableGeometry()), current);
    q->setGeometry(toQRect(r));
    q->raise();
    if (placement.maximised)
        q->setWindowState(q->windowState() | Qt::WindowMaximized);
}

SkinState CViewerDlg::Private::skinState() const
{
    SkinState s;
    s.liveStopped = m_bLiveStopped != 0;
    s.saveOverlay = m_bSaveOverlay != 0;
    s.panelShown = m_bPanelShown != 0;
    s.stripShown = m_bStripShown != 0;
    s.activeTool = m_Interaction.tool();
    s.recording = recording();
    return s;
}

void CViewerDlg::Private::OnDrawItem(QPainter& painter, const SkinButton& button, bool pressed)
{
    const SkinCell cell = ButtonCell(button.id(), skinState(), button.isEnabled());
    const QPixmap* sheet = cell.sheet == SkinCell::Buttons ? &m_SkinButtons
        : cell.sheet == SkinCell::Arrows                   ? &m_SkinArrows
                                                           : nullptr;
    if (!sheet)
        return;
    DrawSkinCell(painter, *sheet, cell.source);
    Dc dc(painter);
    const auto dot = [&](ColorRef color) {
        dc.SetClipEllipse(kDotRect);
        dc.FillRect(kDotRect, color);
        dc.ClearClip();
    };
    if (ShowsPressedDot(cell, pressed))
        dot(Rgb(255, 0, 0));
    if (ShowsToolDot(button.id(), cell, skinState().activeTool))
        dot(Rgb(0, 255, 0));
}

void CViewerDlg::Private::OnCtlColor(QWidget* w)
{
    if (!qobject_cast<QLabel*>(w) && !qobject_cast<QGroupBox*>(w) && !qobject_cast<QCheckBox*>(w))
        return;
    QPalette p = w->palette();
    p.setColor(
        QPalette::WindowText, QColor(RedOf(kStaticTextColor), GreenOf(kStaticTextColor), BlueOf(kStaticTextColor)));
    w->setPalette(p);
    w->setAutoFillBackground(false); // hollow: the tiled background shows through
}

void CViewerDlg::paintEvent(QPaintEvent* event)
{
    d->paint(event);
}

void CViewerDlg::Private::paint(QPaintEvent* event)
{
    QPainter painter(q);
    m_PaintRegion = event->region();
    // The live picture covers its rectangle whole: the background goes only where the picture does not, so a
    // new frame costs the picture alone.
    m_EraseRegion = m_PaintRegion;
    const ViewPicture& shown = m_Live.shownPicture();
    if (m_Live.isLive() && !shown.image.isNull()) {
        const Rect v = shown.geometry.view;
        m_EraseRegion -= QRegion(v.left, v.top, v.width(), v.height());
    }
    if (!m_EraseRegion.isEmpty()) {
        painter.setClipRegion(m_EraseRegion);
        OnEraseBkgnd(painter);
        painter.setClipping(false);
    }
    OnPaint(painter);
}

void CViewerDlg::Private::OnEraseBkgnd(QPainter& painter)
{
    if (m_SkinTile.isNull())
        return;
    const QSize tile = m_SkinTile.deviceIndependentSize().toSize();
    const int tw = tile.width(), th = tile.height();
    const TileGrid grid = BackgroundTiles(q->width(), q->height(), tw, th);
    for (int row = 0; row < grid.rows; ++row)
        for (int column = 0; column < grid.columns; ++column)
            if (m_EraseRegion.intersects(QRect(column * tw, row * th, tw, th)))
                painter.drawPixmap(column * tw, row * th, m_SkinTile);
}

void CViewerDlg::Private::OnType()
{
    m_bSaveOverlay = !m_bSaveOverlay;
    q->update();
}


