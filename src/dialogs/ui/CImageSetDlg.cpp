// The Image Setting dialog's controls, their live handlers, OK and CANCEL, and the polled auto-exposure values
// and histogram.
#include "dialogs/ui/CImageSetDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/DialogForm.h"
#include "dialogs/ui/HistogramView.h"
#include "imaging/HistogramFeed.h"

namespace {

QString uiText(const char* english, const char* japanese)
{
    return DialogForm::text(english, japanese);
}

struct ChannelText {
    const char* english;
    const char* japanese;
    QColor colour;
};
const ChannelText kChannels[Histogram::kChannels] = {
    { "Red", "赤", QColor(220, 40, 40) },
    { "Green", "緑", QColor(20, 150, 20) },
    { "Blue", "青", QColor(40, 70, 230) },
    { "Luma", "輝度", QColor(90, 90, 90) },
};

QString percentText(double share)
{
    return QString::number(share * 100.0, 'f', 1) + '%';
}

} // namespace

CImageSetDlg::CImageSetDlg(ImageSetTarget& target, LiveSource& source, QWidget* parent)
    : QDialog(parent)
    , m_Model(target, source)
{
    setObjectName(QString::number(IDD_IMAGESET));
    setWindowTitle(uiText("Image Setting", "イメージ設定"));
    setModal(true);

    auto* columns = new QHBoxLayout;
    columns->addWidget(buildProcessing(), 0, Qt::AlignTop);
    auto* right = new QVBoxLayout;
    right->addWidget(buildCamera());
    right->addWidget(buildDeviceControls());
    right->addWidget(buildHistogram(), 1);
    columns->addLayout(right, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(uiText("CANCEL", "キャンセル"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QString::number(IDC_IS_OK));
    cancel->setObjectName(QString::number(IDC_IS_CANCEL));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // One width for every number, wide enough for the longest range.
    int spinWidth = 0;
    for (const auto& [id, spin] : m_Spins)
        spinWidth = std::max(spinWidth, spin->sizeHint().width());
    for (const auto& [id, spin] : m_Spins)
        spin->setFixedWidth(spinWidth);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    OnInitDialog();

    m_Poll = new QTimer(this);
    connect(m_Poll, &QTimer::timeout, this, &CImageSetDlg::OnPoll);
    m_Poll->start(kPollMs);
}

CImageSetDlg::~CImageSetDlg()
{
    if (m_Feed)
        m_Feed->setWanted(false);
}

QGroupBox* CImageSetDlg::group(const char* english, const char* japanese)
{
    return new QGroupBox(uiText(english, japanese), this);
}

QSpinBox* CImageSetDlg::addSpin(
    QGridLayout* grid, int row, int column, const char* english, const char* japanese, int editId)
{
    const ImageSetNumber* field = m_Model.number(editId);
    auto* spin = new QSpinBox(this);
    spin->setObjectName(QString::number(editId));
    spin->setRange(field->min, field->max);
    spin->setKeyboardTracking(true); // every keystroke is a change, as typing into the edit is
    spin->setEnabled(field->enabled);
    spin->setAlignment(Qt::AlignRight);
    m_Spins[editId] = spin;
    // A row without a label of its own keeps an empty one, so its spin lines up with labelled rows.
    if (english || !grid->itemAtPosition(row, column))
        grid->addWidget(new QLabel(english ? uiText(english, japanese) : QString(), this), row, column);
    grid->addWidget(spin, row, column + 1, Qt::AlignLeft);
    connect(spin, &QSpinBox::textChanged, this, [this, editId] { OnNumber(editId); });
    if (field->slider) {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QString::number(field->slider));
        slider->setRange(field->min, field->max);
        slider->setMinimumWidth(120);
        m_Sliders[editId] = slider;
        grid->addWidget(slider, row, column + 2);
        grid->setColumnStretch(column + 2, 1);
        connect(slider, &QSlider::valueChanged, this, [this, editId](int v) { OnSlider(editId, v); });
    }
    return spin;
}

QCheckBox* CImageSetDlg::addCheck(const char* english, const char* japanese, int id)
{
    auto* box = new QCheckBox(uiText(english, japanese), this);
    box->setObjectName(QString::number(id));
    if (id != IDC_MIRROR_H && id != IDC_MIRROR_V)
        connect(box, &QCheckBox::toggled, this, [this, id](bool on) {
            if (m_Initialised)
                m_Model.setCheck(id, on ? 1 : 0);
        });
    return box;
}

QButtonGroup* CImageSetDlg::addRadios(QGridLayout* grid, int row, const std::vector<std::pair<QString, int>>& radios)
{
    auto* buttons = new QButtonGroup(this);
    auto* line = new QHBoxLayout;
    for (size_t value = 0; value < radios.size(); ++value) {
        auto* radio = new QRadioButton(radios[value].first, this);
        radio->setObjectName(QString::number(radios[value].second));
        buttons->addButton(radio, int(value));
        line->addWidget(radio);
    }
    line->addStretch(1);
    grid->addLayout(line, row, 1, 1, 2);
    return buttons;
}

QWidget* CImageSetDlg::buildProcessing()
{
    auto* box = group("Image", "画像処理");
    auto* grid = new QGridLayout(box);
    int row = 0;
    grid->addWidget(addCheck("Interlace", "インターレース", IDC_INTERLACE_CHECK), row, 0);
    addSpin(grid, row++, 0, nullptr, nullptr, IDC_INTERLACE);
    grid->addWidget(addCheck("Binarization", "二値化", IDC_BINARY_CHECK), row, 0);
    addSpin(grid, row++, 0, nullptr, nullptr, IDC_BINARY);

    grid->addWidget(addCheck("Bayer", "ベイヤー", IDC_BAYER_CHECK), row, 0);
    m_BayerModes = addRadios(grid, row++,
        { { "0", IDC_BAYER_MODE0 }, { "1", IDC_BAYER_MODE0 + 1 }, { "2", IDC_BAYER_MODE0 + 2 },
            { "3", IDC_BAYER_MODE0 + 3 } });
    connect(m_BayerModes, &QButtonGroup::idClicked, this, [this](int mode) {
        if (m_Initialised)
            m_Model.setBayerMode(mode);
    });
    auto* gains = group("Color Gain", "カラーゲイン");
    auto* gainGrid = new QGridLayout(gains);
    addSpin(gainGrid, 0, 0, "Red", "赤", IDC_BAYER_GAIN_R);
    addSpin(gainGrid, 1, 0, "Green", "緑", IDC_BAYER_GAIN_G);
    addSpin(gainGrid, 2, 0, "Blue", "青", IDC_BAYER_GAIN_B);
    gainGrid->setColumnStretch(2, 1);
    grid->addWidget(gains, row++, 0, 1, 3);

    grid->addWidget(addCheck("Auto Iris", "自動露出", IDC_AUTO_IRIS), row, 0);
    m_IrisModes = addRadios(grid, row++,
        { { uiText("Gain", "ゲイン"), IDC_IRIS_GAIN }, { uiText("Exposure", "露出"), IDC_IRIS_EXPOSURE } });
    connect(m_IrisModes, &QButtonGroup::idClicked, this, [this](int mode) {
        if (m_Initialised)
            m_Model.setAutoIrisMode(mode);
    });

    addSpin(grid, row++, 0, "Gamma", "ガンマ補正", IDC_GAMMA);
    addSpin(grid, row++, 0, "Contrast", "コントラスト", IDC_CONTRAST);
    addSpin(grid, row++, 0, "Sharpness", "シャープネス", IDC_SHARPNESS);
    addSpin(grid, row++, 0, "Hue", "色相", IDC_HUE);
    addSpin(grid, row++, 0, "Brightness", "明るさ", IDC_BRIGHTNESS);
    addSpin(grid, row++, 0, "Saturation", "彩度", IDC_SATURATION);

    auto* mirror = group("Mirror", "ミラー");
    auto* mirrorLine = new QHBoxLayout(mirror);
    m_MirrorH = addCheck("Horizon", "水平", IDC_MIRROR_H);
    m_MirrorV = addCheck("Vertical", "垂直", IDC_MIRROR_V);
    mirrorLine->addWidget(m_MirrorH);
    mirrorLine->addWidget(m_MirrorV);
    mirrorLine->addStretch(1);
    connect(m_MirrorV, &QCheckBox::toggled, this, &CImageSetDlg::OnMirror);
    grid->addWidget(mirror, row++, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    return box;
}

QWidget* CImageSetDlg::buildCamera()
{
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    const auto single = [&](const char* english, const char* japanese, int editId) {
        auto* g = group(english, japanese);
        auto* grid = new QGridLayout(g);
        addSpin(grid, 0, 0, nullptr, nullptr, editId);
        column->addWidget(g);
        return grid;
    };
    QGridLayout* global = single("Global Gain", "グローバルゲイン", IDC_GLOBAL_GAIN);
    auto* colour = group("Camera Color Gain", "カメラ カラーゲイン");
    auto* grid = new QGridLayout(colour);
    addSpin(grid, 0, 0, "Green1", "緑1", IDC_GREEN1);
    addSpin(grid, 1, 0, "Red", "赤", IDC_RED);
    addSpin(grid, 2, 0, "Blue", "青", IDC_BLUE);
    addSpin(grid, 3, 0, "Green2", "緑2", IDC_GREEN2);
    column->addWidget(colour);
    QGridLayout* exposure = single("Exposure Time", "シャッタースピード", IDC_SHUTTER);
    // The rows of the three groups line up: one width for their label columns.
    int labelWidth = 0;
    for (int row = 0; row < grid->rowCount(); ++row)
        labelWidth = std::max(labelWidth, grid->itemAtPosition(row, 0)->widget()->sizeHint().width());
    for (QGridLayout* g : { global, exposure, grid })
        g->setColumnMinimumWidth(0, labelWidth);
    return box;
}

QWidget* CImageSetDlg::buildDeviceControls()
{
    auto* box = group("Camera", "カメラ");
    auto* grid = new QGridLayout(box);
    addSpin(grid, 0, 0, "White Balance", "ホワイトバランス", IDC_CAM_WHITE_BALANCE);
    addSpin(grid, 1, 0, "Brightness", "明るさ", IDC_CAM_BRIGHTNESS);
    addSpin(grid, 2, 0, "Contrast", "コントラスト", IDC_CAM_CONTRAST);
    auto* autos = new QHBoxLayout;
    autos->addWidget(addCheck("Auto Exposure", "自動露出", IDC_CAM_AUTO_EXPOSURE));
    autos->addWidget(addCheck("Auto White Balance", "自動ホワイトバランス", IDC_CAM_AUTO_WHITE_BALANCE));
    autos->addWidget(addCheck("Auto Gain", "自動ゲイン", IDC_CAM_AUTO_GAIN));
    autos->addStretch(1);
    grid->addLayout(autos, 3, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    bool any = false;
    for (int id : { IDC_CAM_WHITE_BALANCE, IDC_CAM_BRIGHTNESS, IDC_CAM_CONTRAST, IDC_CAM_AUTO_EXPOSURE,
             IDC_CAM_AUTO_WHITE_BALANCE, IDC_CAM_AUTO_GAIN })
        any = m_Model.hasControl(id) || any;
    if (!any)
        box->hide();
    m_DeviceControls = box;
    return box;
}

QWidget* CImageSetDlg::buildHistogram()
{
    auto* box = group("Histogram", "ヒストグラム");
    auto* line = new QHBoxLayout(box);
    m_Histogram = new HistogramView(this);
    line->addWidget(m_Histogram, 1);
    auto* shares = new QGridLayout;
    shares->addWidget(new QLabel(QStringLiteral("0"), this), 0, 1, Qt::AlignRight);
    shares->addWidget(new QLabel(QStringLiteral("255"), this), 0, 2, Qt::AlignRight);
    for (int c = 0; c < Histogram::kChannels; ++c) {
        auto* name = new QLabel(uiText(kChannels[c].english, kChannels[c].japanese), this);
        QPalette p = name->palette();
        p.setColor(QPalette::WindowText, kChannels[c].colour);
        name->setPalette(p);
        shares->addWidget(name, c + 1, 0);
        for (int end = 0; end < 2; ++end) {
            m_Shares[c][end] = new QLabel(percentText(0), this);
            m_Shares[c][end]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_Shares[c][end]->setMinimumWidth(m_Shares[c][end]->fontMetrics().horizontalAdvance("100.0%"));
            shares->addWidget(m_Shares[c][end], c + 1, end + 1);
        }
    }
    shares->setRowStretch(Histogram::kChannels + 1, 1);
    line->addLayout(shares);
    return box;
}

QWidget* CImageSetDlg::control(int id) const
{
    return DialogForm::control(this, id);
}

QSpinBox* CImageSetDlg::spin(int editId) const
{
    const auto it = m_Spins.find(editId);
    return it == m_Spins.end() ? nullptr : it->second;
}

void CImageSetDlg::OnInitDialog()
{
    for (const auto& [id, spin] : m_Spins) {
        spin->setValue(m_Model.openingValue(id));
        if (const auto slider = m_Sliders.find(id); slider != m_Sliders.end())
            slider->second->setValue(spin->value());
    }
    const ImageSetValues& v = m_Model.snapshot();
    if (QAbstractButton* b = m_BayerModes->button(v.m_BayerMode))
        b->setChecked(true);
    if (QAbstractButton* b = m_IrisModes->button(v.m_AutoIrisMode))
        b->setChecked(true);
    for (int id : { IDC_INTERLACE_CHECK, IDC_BINARY_CHECK, IDC_BAYER_CHECK, IDC_AUTO_IRIS, IDC_MIRROR_H, IDC_MIRROR_V,
             IDC_CAM_AUTO_EXPOSURE, IDC_CAM_AUTO_WHITE_BALANCE, IDC_CAM_AUTO_GAIN }) {
        auto* box = static_cast<QCheckBox*>(control(id));
        box->setChecked(m_Model.openingValue(id) != 0);
        box->setEnabled(m_Model.hasControl(id));
    }
    control(IDC_INTERLACE_CHECK)->setEnabled(false);
    m_MirrorH->setEnabled(false);
    for (QAbstractButton* b : m_BayerModes->buttons())
        b->setEnabled(m_Model.hasMosaic());
    m_SeenColourGains = m_Model.colourGains();
    m_Initialised = true;
}

void CImageSetDlg::OnNumber(int editId)
{
    if (!m_Initialised)
        return;
    if (const std::optional<int32_t> applied = m_Model.edit(editId, m_Spins[editId]->text()))
        follow(editId, *applied);
    m_SeenColourGains = m_Model.colourGains(); // the fields' own change, not news for OnPoll
}

// The slider of a triple shows the value the edit applied.
void CImageSetDlg::follow(int editId, int32_t value)
{
    if (const auto it = m_Sliders.find(editId); it != m_Sliders.end()) {
        const QSignalBlocker block(it->second);
        it->second->setValue(value);
    }
}

void CImageSetDlg::OnSlider(int editId, int position)
{
    // A slider move acts as typing its position into the edit.
    if (m_Initialised)
        m_Spins[editId]->setValue(position);
}

void CImageSetDlg::OnMirror()
{
    if (m_Initialised)
        m_Model.setMirror(m_MirrorH->isChecked() ? 1 : 0, m_MirrorV->isChecked() ? 1 : 0);
}

void CImageSetDlg::setAutoExposureSources(std::function<int32_t()> gain, std::function<int32_t()> shutter)
{
    m_AutoGain = std::move(gain);
    m_AutoShutter = std::move(shutter);
    // Only what auto exposure sets from now on is shown: an older value may be what the user has just replaced.
    m_SeenGain = m_AutoGain ? m_AutoGain() : -1;
    m_SeenShutter = m_AutoShutter ? m_AutoShutter() : -1;
}

void CImageSetDlg::setHistogramFeed(HistogramFeed* feed)
{
    if (m_Feed)
        m_Feed->setWanted(false);
    m_Feed = feed;
    if (m_Feed)
        m_Feed->setWanted(true);
}

void CImageSetDlg::showAutoExposure(int editId, int32_t value)
{
    // Shown only: the camera already has the value, so no change handler runs.
    QSpinBox* spin = m_Spins[editId];
    {
        const QSignalBlocker block(spin);
        spin->setValue(value);
    }
    follow(editId, spin->value());
}

void CImageSetDlg::OnPoll()
{
    if (m_AutoGain) {
        const int32_t gain = m_AutoGain();
        if (gain >= 0 && gain != m_SeenGain)
            showAutoExposure(IDC_GLOBAL_GAIN, gain);
        m_SeenGain = gain;
    }
    if (m_AutoShutter) {
        const int32_t shutter = m_AutoShutter();
        if (shutter >= 0 && shutter != m_SeenShutter)
            showAutoExposure(IDC_SHUTTER, shutter);
        m_SeenShutter = shutter;
    }
    // A white balance that lands while the dialog is open: its gains show, so OK keeps them.
    if (const std::array<int32_t, 3> gains = m_Model.colourGains(); gains != m_SeenColourGains) {
        m_SeenColourGains = gains;
        const int ids[] = { IDC_BAYER_GAIN_R, IDC_BAYER_GAIN_G, IDC_BAYER_GAIN_B };
        for (size_t i = 0; i < gains.size(); ++i) {
            const QSignalBlocker block(m_Spins[ids[i]]);
            m_Spins[ids[i]]->setValue(gains[i]);
        }
    }
    Histogram h;
    if (m_Feed && m_Feed->takeNewer(m_SeenHistogram, h)) {
        m_Histogram->setHistogram(h);
        for (int c = 0; c < Histogram::kChannels; ++c) {
            m_Shares[c][0]->setText(percentText(h.share(Histogram::Channel(c), 0)));
            m_Shares[c][1]->setText(percentText(h.share(Histogram::Channel(c), Histogram::kLevels - 1)));
        }
    }
}

void CImageSetDlg::done(int result)
{
    if (!m_Ended) {
        m_Ended = true;
        m_Poll->stop();
        if (result == QDialog::Accepted)
            OnOK();
        else
            OnCancel();
        setHistogramFeed(nullptr);
    }
    QDialog::done(result);
}

void CImageSetDlg::OnOK()
{
    m_Model.accept(
        m_Spins[IDC_BAYER_GAIN_R]->text(), m_Spins[IDC_BAYER_GAIN_G]->text(), m_Spins[IDC_BAYER_GAIN_B]->text());
}

void CImageSetDlg::OnCancel()
{
    m_Model.cancel();
}
