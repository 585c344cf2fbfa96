// The main window's guides over the picture: the reticle and the grid (drawn with the measurements into the
// kept layer, so a live frame costs one blend), and a reference picture laid over the live one, with an
// opacity or as a difference (live green, reference magenta: agreement adds up to grey), aligned by phase
// correlation and nudged with the arrow keys. Ctrl+drag in the view sets the reticle's centre.
#include <QCheckBox>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "app/DialogTemplate.h"
#include "app/ViewerDlgPrivate.h"
#include "ui/DialogForm.h"
#include "files/OpenPicture.h"
#include "imaging/Dc.h"
#include "stack/ReferenceAlign.h"

namespace {

// The text in the language of the user interface.
constexpr auto text = &DialogForm::text;

// Commands of the three right-click menus.
enum OverlayCommand {
    kNone = 0,
    kRadii = 1,
    kSpacing,
    kTickStep,
    kTicks,
    kBurnIn,
    kCentre,
    kPixels,
    kChoose,
    kOpacity,
    kDifference,
    kAlign,
    kResetShift,
};

} // namespace

void CViewerDlg::Private::createOverlayTools()
{
    struct Toggle {
        int id;
        QCheckBox** box;
        const char* key;
        const char* english;
        const char* japanese;
    };
    const Toggle toggles[] = {
        { IDC_RETICLE, &m_ReticleCheck, "R",
            "Crosshair with circles and ticks in calibrated units; Ctrl+drag in the view moves its centre; "
            "right click: settings (R)",
            "校正単位の円と目盛り付き十字線。表示上で Ctrl＋ドラッグで中心を移動、右クリックで設定（R）" },
        { IDC_GRID, &m_GridCheck, "T", "Grid in calibrated units, values at the edges; right click: settings (T)",
            "校正単位のグリッド（端に値を表示）。右クリックで設定（T）" },
        { IDC_REFERENCE, &m_ReferenceCheck, "O",
            "A saved picture over the live one, with an opacity or as a difference; arrow keys nudge it (Shift: "
            "10 pixels); right click: choose, align, settings (O)",
            "保存画像をライブ映像に重ねて表示（透明度または差分）。矢印キーで位置調整（Shift：10画素）、"
            "右クリックで選択・位置合わせ・設定（O）" },
    };
    const OverlayOptions& o = m_Session.overlayOptions();
    const bool initial[] = { o.reticle, o.grid, false };
    for (size_t i = 0; i < std::size(toggles); ++i) {
        const Toggle& t = toggles[i];
        QCheckBox* box = *t.box = static_cast<QCheckBox*>(control(t.id));
        box->setFocusPolicy(Qt::NoFocus); // the keys stay the window's
        // Three boxes share the width two controls have in the rows above: the box sits close to its text.
        box->setStyleSheet(QStringLiteral("QCheckBox { spacing: 2px; }"));
        box->setToolTip(text(t.english, t.japanese));
        box->setChecked(initial[i]);
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QCheckBox::toggled, q, [this] { overlayToggled(); });
        connect(box, &QWidget::customContextMenuRequested, q, [this, id = t.id] { OnOverlayMenu(id); });
        auto* key = new QShortcut(QKeySequence(QString::fromLatin1(t.key)), q);
        key->setContext(Qt::WindowShortcut);
        connect(key, &QShortcut::activated, q, [box] {
            if (!textFieldHasFocus())
                box->toggle();
        });
    }
    // The arrows move the reference only while it is shown: otherwise they are the results list's.
    for (const auto& [key, dx, dy] : { std::tuple { Qt::Key_Left, -1, 0 }, { Qt::Key_Right, 1, 0 },
             { Qt::Key_Up, 0, -1 }, { Qt::Key_Down, 0, 1 } }) {
        for (const int step : { 1, 10 }) {
            auto* shortcut = new QShortcut(QKeySequence(step == 10 ? (Qt::SHIFT | key) : QKeyCombination(key)), q);
            shortcut->setContext(Qt::WindowShortcut);
            shortcut->setEnabled(false);
            connect(shortcut, &QShortcut::activated, q, [this, x = dx * step, y = dy * step] { nudgeReference(x, y); });
            m_NudgeKeys.push_back(shortcut);
        }
    }
    // A reference shown when the window closed is shown again, if its picture still opens.
    if (o.reference && !o.referencePath.isEmpty() && loadReference(o.referencePath, false))
        m_ReferenceCheck->setChecked(true);
    overlayToggled();
}

void CViewerDlg::Private::overlayToggled()
{
    OverlayOptions& o = m_Session.overlayOptions();
    o.reticle = m_ReticleCheck->isChecked();
    o.grid = m_GridCheck->isChecked();
    // No reference without a picture: the box asks for one.
    if (m_ReferenceCheck->isChecked() && m_Reference.isEmpty()
        && !(loadReference(o.referencePath, false) || chooseReference())) {
        const QSignalBlocker quiet(m_ReferenceCheck);
        m_ReferenceCheck->setChecked(false);
    }
    o.reference = m_ReferenceCheck->isChecked();
    for (QShortcut* key : m_NudgeKeys)
        key->setEnabled(o.reference);
    // The caption's note on the reference follows at the next status tick.
    updateViewArea();
}

bool CViewerDlg::Private::loadReference(const QString& path, bool tell)
{
    DibImage picture;
    if (path.isEmpty() || !::OpenPicture(path, picture)) {
        if (tell && !path.isEmpty())
            m_Prompts.files.tell(text("The reference picture could not be opened.", "参照画像を開けませんでした。"));
        return false;
    }
    m_Reference = std::move(picture);
    m_ReferenceOverlay.setPicture(m_Reference);
    m_Session.overlayOptions().referencePath = path;
    return true;
}

bool CViewerDlg::Private::chooseReference()
{
    CsvSaveDialog request;
    request.title = text("Reference picture", "参照画像");
    request.filter = text("Pictures (*.bmp *.jpg *.jpeg *.png *.tif *.tiff)", "画像 (*.bmp *.jpg *.jpeg *.png *.tif *.tiff)");
    request.initialPath = m_Thumbnails.saveFolder();
    const QString path = m_Prompts.askPath(request, false);
    if (!loadReference(path, true))
        return false;
    OverlayOptions& o = m_Session.overlayOptions();
    o.shiftX = o.shiftY = 0.0;
    return true;
}

void CViewerDlg::Private::alignReference()
{
    DibImage live;
    if (m_Reference.isEmpty() || !m_Live.takePicture(live))
        return;
    const std::optional<ReferenceShift> found = AlignReference(m_Reference, live);
    // A weak peak is a guess: the pictures hardly show the same thing, and the shift is left alone.
    constexpr double kTrusted = 0.05;
    if (!found || found->response < kTrusted) {
        m_Prompts.files.tell(text("The reference does not match the live picture well enough to align it.",
            "参照画像がライブ映像と十分に一致しないため、位置合わせできません。"));
        return;
    }
    OverlayOptions& o = m_Session.overlayOptions();
    o.shiftX = found->shift.x;
    o.shiftY = found->shift.y;
    q->setWindowTitle(captionFor(m_Live.status()));
    updateViewArea();
}

void CViewerDlg::Private::nudgeReference(int dx, int dy)
{
    if (textFieldHasFocus())
        return;
    OverlayOptions& o = m_Session.overlayOptions();
    o.shiftX += dx;
    o.shiftY += dy;
    q->setWindowTitle(captionFor(m_Live.status()));
    updateViewArea();
}

QString CViewerDlg::Private::referenceNote() const
{
    const OverlayOptions& o = m_Session.overlayOptions();
    if (!m_ReferenceCheck || !m_ReferenceCheck->isChecked())
        return {};
    return text("  -  reference shift %1, %2 px", "  -  参照画像のずれ %1, %2 画素")
        .arg(o.shiftX, 0, 'f', 1)
        .arg(o.shiftY, 0, 'f', 1);
}

void CViewerDlg::Private::OnOverlayMenu(int id)
{
    OverlayOptions& o = m_Session.overlayOptions();
    const CalibEntry& calib = m_Measure.selectedCalib();
    const QString unit = overlayScale(o.unit, calib.mppX, calib.mppY, calib.unit).unit;
    QMenu menu(q);
    const auto add = [&](const QString& label, int command, std::optional<bool> checked = std::nullopt) {
        QAction* a = menu.addAction(label);
        a->setData(command);
        if (checked) {
            a->setCheckable(true);
            a->setChecked(*checked);
        }
    };
    if (id == IDC_RETICLE || id == IDC_GRID) {
        if (id == IDC_RETICLE) {
            add(text("Circle radii (%1)…", "円の半径（%1）…").arg(unit), kRadii);
            add(text("Tick step (%1)…", "目盛り間隔（%1）…").arg(unit), kTickStep);
            add(text("Ticks along the crosshair", "十字線に目盛り"), kTicks, o.ticks);
            add(text("Centre on the picture (Ctrl+drag in the view sets it)", "画像の中央に戻す（表示上で Ctrl＋ドラッグで設定）"), kCentre);
        } else {
            add(text("Spacing (%1)…", "間隔（%1）…").arg(unit), kSpacing);
        }
        add(text("In pixels, not in the calibration's unit", "校正単位でなく画素で"), kPixels, o.unit == kPixelUnit);
        add(text("Into saved pictures with the measurements", "計測結果とともに保存画像に描き込む"), kBurnIn, o.burnIn);
    } else {
        add(text("Choose picture…", "画像を選択…"), kChoose);
        add(text("Opacity…", "不透明度…"), kOpacity);
        add(text("Difference (live green, reference magenta)", "差分表示（ライブ：緑、参照：マゼンタ）"), kDifference,
            o.difference);
        add(text("Align now (shift %1, %2 px)", "位置合わせ（ずれ %1, %2 画素）")
                .arg(o.shiftX, 0, 'f', 1)
                .arg(o.shiftY, 0, 'f', 1),
            kAlign);
        add(text("Reset shift", "ずれをリセット"), kResetShift);
    }
    runOverlayCommand(m_Prompts.files.runMenu(menu, QCursor::pos()));
}

void CViewerDlg::Private::runOverlayCommand(int command)
{
    OverlayOptions& o = m_Session.overlayOptions();
    const CalibEntry& calib = m_Measure.selectedCalib();
    const OverlayScale scale = overlayScale(o.unit, calib.mppX, calib.mppY, calib.unit);
    // Values are typed in the unit the menu shows (the values' own; "In pixels" switches it).
    const auto askLength = [&](const QString& title, double& value) {
        bool ok = false;
        const double v = QInputDialog::getDouble(q, title, scale.unit, value, 1e-6, 1e6, 4, &ok);
        if (ok && OverlayOptions::usableLength(v))
            value = v;
    };
    switch (command) {
    case kRadii: {
        QStringList list;
        for (const double r : o.radii)
            list << QString::number(r, 'g', 6);
        bool ok = false;
        const QString typed = QInputDialog::getText(q, text("Circle radii", "円の半径"),
            text("Radii in %1, separated by commas", "半径（%1、カンマ区切り）").arg(scale.unit), QLineEdit::Normal,
            list.join(QStringLiteral(", ")), &ok);
        if (!ok)
            break;
        std::vector<double> radii;
        for (const QString& part : typed.split(u',', Qt::SkipEmptyParts))
            if (const double v = part.trimmed().toDouble(&ok); ok && OverlayOptions::usableLength(v)
                && radii.size() < OverlayOptions::kMaxRadii)
                radii.push_back(v);
        o.radii = radii;
        break;
    }
    case kSpacing:
        askLength(text("Grid spacing", "グリッド間隔"), o.gridSpacing);
        break;
    case kTickStep:
        askLength(text("Tick step", "目盛り間隔"), o.tickStep);
        break;
    case kTicks:
        o.ticks = !o.ticks;
        break;
    case kBurnIn:
        o.burnIn = !o.burnIn;
        break;
    case kCentre:
        o.centreX = o.centreY = -1.0;
        break;
    case kPixels: {
        // Between pixels and the calibration's unit, the lengths converted along X so the guides stay put.
        const int32_t unit = o.unit == kPixelUnit ? calib.unit : kPixelUnit;
        const double factor = scale.pixelsX / overlayScale(unit, calib.mppX, calib.mppY, calib.unit).pixelsX;
        o.gridSpacing *= factor;
        o.tickStep *= factor;
        for (double& r : o.radii)
            r *= factor;
        o.unit = unit;
        break;
    }
    case kChoose:
        if (chooseReference() && !m_ReferenceCheck->isChecked())
            m_ReferenceCheck->setChecked(true);
        break;
    case kOpacity:
        askOpacity();
        break;
    case kDifference:
        o.difference = !o.difference;
        break;
    case kAlign:
        alignReference();
        break;
    case kResetShift:
        o.shiftX = o.shiftY = 0.0;
        break;
    default:
        return;
    }
    q->setWindowTitle(captionFor(m_Live.status()));
    updateViewArea();
}

void CViewerDlg::Private::askOpacity()
{
    // The picture follows the slider as it moves; Cancel puts the opacity back.
    OverlayOptions& o = m_Session.overlayOptions();
    const int before = o.opacity;
    QDialog dialog(q);
    dialog.setWindowTitle(text("Reference opacity", "参照画像の不透明度"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(&dialog);
    auto* slider = new QSlider(Qt::Horizontal, &dialog);
    slider->setRange(0, 100);
    slider->setValue(o.opacity);
    const auto show = [this, label, &o](int value) {
        o.opacity = value;
        label->setText(QStringLiteral("%1 %").arg(value));
        updateViewArea();
    };
    show(o.opacity);
    connect(slider, &QSlider::valueChanged, &dialog, show);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(slider);
    layout->addWidget(buttons);
    if (m_Prompts.runSettingDialog(dialog) != QDialog::Accepted)
        show(before);
}

bool CViewerDlg::Private::reticleMouse(const QMouseEvent& event, QPoint client, QWidget* cursorOwner)
{
    // Ctrl+drag in the view puts the reticle's centre (and the grid's origin) under the pointer.
    const OverlayOptions& o = m_Session.overlayOptions();
    const ViewGeometry g = shownGeometry();
    if (event.type() == QEvent::MouseButtonPress && event.button() == Qt::LeftButton
        && (event.modifiers() & Qt::ControlModifier) && (o.reticle || o.grid) && g.view.contains(client.x(), client.y()))
        m_CentreDrag = true;
    if (!m_CentreDrag)
        return false;
    if (event.type() == QEvent::MouseButtonRelease) {
        m_CentreDrag = false;
        if (cursorOwner)
            cursorOwner->unsetCursor();
        return true;
    }
    const PicturePoint p = windowToImage(client.x(), client.y(), g);
    OverlayOptions& options = m_Session.overlayOptions();
    options.centreX = std::clamp(p.x, 0.0, double(g.imageWidth));
    options.centreY = std::clamp(p.y, 0.0, double(g.imageHeight));
    if (cursorOwner)
        cursorOwner->setCursor(Qt::CrossCursor);
    updateViewArea();
    return true;
}

OverlayScale CViewerDlg::Private::guideScale()
{
    const CalibEntry& calib = m_Measure.selectedCalib();
    return overlayScale(m_Session.overlayOptions().unit, calib.mppX, calib.mppY, calib.unit);
}

void CViewerDlg::Private::drawGuides(Dc& dc, const ViewGeometry& geometry, const OverlayColors& colors)
{
    DrawReticleAndGrid(dc, m_Session.overlayOptions(), guideScale(), geometry, colors.line, colors.text);
}

void CViewerDlg::Private::paintReference(QPainter& painter, const ViewGeometry& g)
{
    const OverlayOptions& o = m_Session.overlayOptions();
    if (o.reference)
        m_ReferenceOverlay.paint(painter, g, { o.shiftX, o.shiftY, o.difference, o.opacity / 100.0 });
}
