// The main window: its controls, start-up steps, status tick, closing, settings and skinned painting.
#include "app/ViewerDlg.h"

#include <utility>

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>


#include "app/DialogTemplate.h"
#include "ui/QtRect.h"
#include "app/SkinButton.h"
#include "files/ui/CThumbnailDlg.h"
#include "imaging/Dc.h"
#include "imaging/ViewComposer.h"
#include "platform/Language.h"
#include "platform/Clock.h"
#include "platform/PrivateProfile.h"
#include "platform/StringTable.h"

namespace {

// The results list is this much wider than the template has it, into the gap beside the picture.
constexpr int kResultsExtraWidth = 14;

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

bool askBeforeClosing(QWidget* parent)
{
    return QMessageBox::question(parent, "終了確認", "終了しますか？", QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

} // namespace

CViewerDlg::CViewerDlg(QWidget* parent, const QString& settingsFolder, const QString& cameraOption)
    : QDialog(parent)
    , confirmClose(askBeforeClosing)
    , runThumbnailBrowser([](CThumbnailDlg& browser) { return browser.exec(); })
    , askCsvPath([this](const CsvSaveDialog& dialog) { return ResultsTable::AskCsvPath(this, dialog); })
    , m_Folder(settingsFolder.isEmpty() ? QCoreApplication::applicationDirPath() : settingsFolder)
    , m_CameraOption(cameraOption)
{
    m_Settings.change([](ViewerSettings& s) { s.m_ScaleData.Pos = { s.EH - 50, s.EV - 50 }; });
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    QFont font = this->font();
    font.setPointSize(9);
    setFont(font);
    createControls();
    const int width = g_bJapanese ? kDialogWidthJapanese : kDialogWidthEnglish;
    QDialog::resize(DialogUnitsToPixelsX(width), DialogUnitsToPixelsY(kDialogHeight));
    OnInitDialog();
}

CViewerDlg::~CViewerDlg()
{
    if (!m_Destroyed)
        OnDestroy();
}

void CViewerDlg::createControls()
{
    const bool ja = g_bJapanese != 0;
    auto draw = [this](QPainter& p, const SkinButton& b, bool pressed) { OnDrawItem(p, b, pressed); };
    for (const ControlTemplate& t : MainDialogControls()) {
        const QString text = QString::fromUtf8(ja ? t.japanese : t.english);
        QWidget* w = nullptr;
        switch (t.kind) {
        case ControlKind::Frame:
            w = m_View = new QFrame(this);
            m_View->hide();
            break;
        case ControlKind::GroupBox:
            w = new QGroupBox(text, this);
            break;
        case ControlKind::SkinButton: {
            auto* b = new SkinButton(t.id, draw, this);
            b->setText(text); // the caption is in the skin; the text names the button for accessibility
            w = b;
            break;
        }
        case ControlKind::DropDownList:
            w = new QComboBox(this);
            break;
        case ControlKind::StaticText:
            w = new QLabel(text, this);
            break;
        case ControlKind::ListView:
            w = m_Results = new QTableView(this);
            break;
        case ControlKind::HScrollBar:
            w = m_StripScroll = new QScrollBar(Qt::Horizontal, this);
            m_StripScroll->setRange(0, 0); // nothing to scroll until the strip holds thumbnails
            break;
        }
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

    connect(m_Zoom, &QComboBox::activated, this, &CViewerDlg::OnZoomChange);
    connect(m_CalibCombo, &QComboBox::activated, this, &CViewerDlg::OnSelchangeCalib);
    connect(static_cast<SkinButton*>(control(IDC_LIVE)), &QAbstractButton::clicked, this, &CViewerDlg::OnLive);
    connect(static_cast<SkinButton*>(control(IDC_TYPE)), &QAbstractButton::clicked, this, &CViewerDlg::OnType);
    connect(static_cast<SkinButton*>(control(IDC_SET)), &QAbstractButton::clicked, this, &CViewerDlg::OnSet);
    connect(static_cast<SkinButton*>(control(IDC_COLOR)), &QAbstractButton::clicked, this, &CViewerDlg::OnColor);
    connect(static_cast<SkinButton*>(control(IDC_WB)), &QAbstractButton::clicked, this, &CViewerDlg::OnWB);
    connect(static_cast<SkinButton*>(control(IDC_PANEL_TOGGLE)), &QAbstractButton::clicked, this,
        &CViewerDlg::OnTogglePanel);
    connect(static_cast<SkinButton*>(control(IDC_STRIP_TOGGLE)), &QAbstractButton::clicked, this,
        &CViewerDlg::OnToggleStrip);
    connect(m_StripScroll, &QScrollBar::valueChanged, this, &CViewerDlg::OnHScroll);
    const auto button = [this](int id) { return static_cast<SkinButton*>(control(id)); };
    connect(button(IDC_SAVE), &QAbstractButton::clicked, this, &CViewerDlg::OnSave);
    connect(button(IDC_DIR), &QAbstractButton::clicked, this, &CViewerDlg::OnDir);
    connect(button(IDC_THUMB), &QAbstractButton::clicked, this, &CViewerDlg::OnThumb);
    connect(button(IDC_CALIB), &QAbstractButton::clicked, this, &CViewerDlg::OnCalib);
    connect(button(IDC_SCALE), &QAbstractButton::clicked, this, &CViewerDlg::OnScale);
    connect(button(IDC_DELETE), &QAbstractButton::clicked, this, &CViewerDlg::OnDelete);
    connect(button(IDC_CLEAR), &QAbstractButton::clicked, this, &CViewerDlg::OnClear);
    connect(button(IDC_CSV), &QAbstractButton::clicked, this, &CViewerDlg::OnCsv);
    connect(&m_CalibDialogs, &CalibDialogOwner::calibClosed, this, &CViewerDlg::OnCalibClosed);
    connect(&m_CalibDialogs, &CalibDialogOwner::scaleChanged, this, &CViewerDlg::updateViewArea);
}

QWidget* CViewerDlg::control(int id) const
{
    const auto it = m_Controls.find(id);
    return it == m_Controls.end() ? nullptr : it->second;
}

void CViewerDlg::setControlRect(int id, const Rect& r)
{
    if (QWidget* w = control(id))
        w->setGeometry(toQRect(r));
}

Rect CViewerDlg::controlRect(int id) const
{
    const QWidget* w = control(id);
    return w ? toRect(w->geometry()) : Rect {};
}

bool CViewerDlg::OnInitDialog()
{
    setWindowIcon(QIcon(":/Icon/128.png"));
    LoadSettings();
    openSource();
    setWindowTitle(captionFor(kCaption));
    m_Measure.calibration().recomputeFactors();
    startCamera();

    resultsTable().Setup(m_Measure.results());

    for (const CalibEntry& e : m_Measure.calibration())
        m_CalibCombo->insertItem(e.position, e.name);
    m_CalibCombo->setCurrentIndex(0);

    OnSelchangeCalib();
    m_StripScroll->setValue(0);
    UpdateStripScrollBar();
    if (g_bJapanese)
        createTooltips();
    createInteraction();
    if (m_View) {
        const ViewGeometry g = m_Settings.view();
        m_Settings.setView(controlRect(IDC_VIEW), m_Zoom->currentIndex(), g.baiX, g.baiY);
    }
    m_TimerId = startTimer(kStatusTimerMs);
    m_Live.startDisplay();
    startViewPoll();
    return true;
}

void CViewerDlg::createTooltips()
{
    for (const Tooltip& t : kTooltips)
        if (QWidget* w = control(t.control))
            w->setToolTip(LoadString(t.string));
}

void CViewerDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_TimerId)
        OnTimer();
    QDialog::timerEvent(event);
}

void CViewerDlg::OnTimer()
{
    m_Live.heartbeat(timeGetTime());
    setWindowTitle(captionFor(m_Live.status()));
    if (m_bRepaintPending) {
        update();
        m_bRepaintPending = 0;
    }
}

void CViewerDlg::closeEvent(QCloseEvent* event)
{
    if (OnClose()) {
        event->accept();
        reject();
    } else {
        event->ignore();
    }
}

void CViewerDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter ends the window as Escape does (a dialog without its own OK handler), without the question.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CViewerDlg::OnClose()
{
    return !g_bJapanese || !confirmClose || confirmClose(this);
}

void CViewerDlg::done(int result)
{
    if (!m_Destroyed)
        OnDestroy();
    QDialog::done(result);
}

void CViewerDlg::OnDestroy()
{
    m_Destroyed = true;
    m_CalibDialogs.closeDialogs();
    if (m_TimerId)
        killTimer(m_TimerId);
    m_TimerId = 0;
    if (m_ViewPoll)
        m_ViewPoll->stop();
    m_Live.stopCamera();
    // A display pass already under way may still store the white-balance gains it measured: let it end.
    const bool saved = m_Live.withFrame([this](LiveFrames&) { return SaveSettings(); });
    m_Live.stop();
    if (!saved && m_FileDialogs.tell) // a full disk or a folder gone: the user learns the settings are lost
        m_FileDialogs.tell(g_bJapanese ? QString::fromUtf8("設定を保存できませんでした。")
                                       : QStringLiteral("The settings could not be saved."));
}

void CViewerDlg::LoadSettings()
{
    m_SettingsPath = SettingsFile::PathIn(m_Folder);
    const QString saveFolder = SettingsFile::DefaultSaveFolder(m_Folder);
    QDir().mkpath(saveFolder);
    ProfileFile file;
    file.load(m_SettingsPath);
    ViewerSettings values = m_Settings.values();
    SettingsFile::Load(file, values, &m_Measure.calibration(), saveFolder);
    m_Settings.replace(values);
    m_Measure.scale() = values.m_ScaleData;
    m_Zoom->setCurrentIndex(values.m_Bai);
    m_Thumbnails.setSaveFolder(values.savedir);
    m_Thumbnails.Load(ThumbnailStore::FileIn(values.savedir));
    m_Thumbnails.ScanFolder(values.savedir);
    loadSkins();
}

void CViewerDlg::loadSkins()
{
    m_SkinButtons.LoadPngResource(kSkinButtonsId);
    m_SkinBackground.LoadPngResource(kSkinBackgroundId);
    m_SkinArrows.LoadPngResource(kSkinArrowsId);
}

bool CViewerDlg::SaveSettings()
{
    m_Settings.change([this](ViewerSettings& s) {
        s.m_Bai = m_Zoom->currentIndex();
        s.savedir = m_Thumbnails.saveFolder();
        s.m_ScaleData = m_Measure.scale();
    });
    ProfileFile file;
    file.load(m_SettingsPath);
    SettingsFile::Save(file, m_Settings.values());
    WindowPlacement placement;
    placement.maximised = isMaximized();
    placement.normal = toRect(isMaximized() || isMinimized() ? normalGeometry() : geometry());
    SettingsFile::SavePlacement(file, placement);
    const bool settingsSaved = file.save(m_SettingsPath);
    // An empty store removes the file: nothing to write, nothing lost.
    const bool thumbnailsSaved
        = m_Thumbnails.Save(ThumbnailStore::FileIn(m_Thumbnails.saveFolder())) != 0 || m_Thumbnails.count() == 0;
    return settingsSaved && thumbnailsSaved;
}

void CViewerDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_FirstShow)
        OnShowWindow();
}

void CViewerDlg::OnShowWindow()
{
    m_FirstShow = false;
    ProfileFile file;
    file.load(m_SettingsPath);
    const Rect current = toRect(geometry());
    const WindowPlacement placement = SettingsFile::LoadPlacement(file, current);
    // A placement saved on a larger or another screen must come back where it can be seen.
    Rect r = placement.normal;
    if (const QScreen* s = screen())
        r = SettingsFile::ClampToScreen(r, toRect(s->availableGeometry()), current);
    setGeometry(toQRect(r));
    raise();
    if (placement.maximised)
        setWindowState(windowState() | Qt::WindowMaximized);
}

SkinState CViewerDlg::skinState() const
{
    SkinState s;
    s.liveStopped = m_bLiveStopped != 0;
    s.saveOverlay = m_bSaveOverlay != 0;
    s.panelShown = m_bPanelShown != 0;
    s.stripShown = m_bStripShown != 0;
    s.activeTool = m_Interaction.tool();
    return s;
}

void CViewerDlg::OnDrawItem(QPainter& painter, const SkinButton& button, bool pressed)
{
    const SkinCell cell = ButtonCell(button.id(), skinState(), button.isEnabled());
    const DibImage* sheet = cell.sheet == SkinCell::Buttons ? &m_SkinButtons
        : cell.sheet == SkinCell::Arrows                    ? &m_SkinArrows
                                                            : nullptr;
    if (!sheet)
        return;
    Dc dc(painter);
    dc.BitBlt(0, 0, cell.source.width(), cell.source.height(), *sheet, cell.source.left, cell.source.top);
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

void CViewerDlg::OnCtlColor(QWidget* w)
{
    if (!qobject_cast<QLabel*>(w) && !qobject_cast<QGroupBox*>(w))
        return;
    QPalette p = w->palette();
    p.setColor(
        QPalette::WindowText, QColor(RedOf(kStaticTextColor), GreenOf(kStaticTextColor), BlueOf(kStaticTextColor)));
    w->setPalette(p);
    w->setAutoFillBackground(false); // hollow: the tiled background shows through
}

void CViewerDlg::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    m_PaintRegion = event->region();
    // The live picture covers its rectangle whole: the background goes only where the picture does not, so a
    // new frame costs the picture alone.
    m_EraseRegion = m_PaintRegion;
    const ViewPicture& shown = shownPicture();
    if (m_Live.isLive() && !shown.image.isNull()) {
        const Rect v = shown.geometry.view;
        m_EraseRegion -= QRegion(v.left, v.top, shown.image.width(), shown.image.height());
    }
    if (!m_EraseRegion.isEmpty()) {
        painter.setClipRegion(m_EraseRegion);
        OnEraseBkgnd(painter);
        painter.setClipping(false);
    }
    OnPaint(painter);
}

void CViewerDlg::OnEraseBkgnd(QPainter& painter)
{
    if (m_SkinBackground.isEmpty())
        return;
    const int tw = m_SkinBackground.width(), th = m_SkinBackground.height();
    const TileGrid grid = BackgroundTiles(width(), height(), tw, th);
    Dc dc(painter);
    for (int row = 0; row < grid.rows; ++row)
        for (int column = 0; column < grid.columns; ++column)
            if (m_EraseRegion.intersects(QRect(column * tw, row * th, tw, th)))
                dc.BitBlt(column * tw, row * th, tw, th, m_SkinBackground, 0, 0);
}

void CViewerDlg::OnType()
{
    m_bSaveOverlay = !m_bSaveOverlay;
    update();
}


