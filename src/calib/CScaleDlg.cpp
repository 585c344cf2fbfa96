// The scale bar dialog's controls and handlers.
#include "calib/CScaleDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <climits>

#include "platform/Language.h"

namespace {

QString text(const char* english, const char* japanese)
{
    return QString::fromUtf8(g_bJapanese ? japanese : english);
}

// An integer edit: a spin box without arrows, so it never holds anything but a number.
QSpinBox* sizeEdit(QWidget* parent)
{
    auto* edit = new QSpinBox(parent);
    edit->setButtonSymbols(QAbstractSpinBox::NoButtons);
    edit->setRange(INT_MIN, INT_MAX);
    return edit;
}

} // namespace

CScaleDlg::CScaleDlg(ScaleData* data, int32_t width, int32_t height, QWidget* parent)
    : QDialog(parent)
{
    m_Model.open(data, width, height);
    setModal(false);
    setWindowTitle(text("Scale setting", "スケール表示設定"));

    m_Type = new QComboBox(this);
    m_Position = new QComboBox(this);
    m_SizeX = sizeEdit(this);
    m_SizeY = sizeEdit(this);
    m_Show = new QCheckBox(text("Show scale", "スケール表示"), this);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(text("Cancel", "キャンセル"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    const std::pair<QWidget*, int> ids[] = { { m_Type, IDC_TYPE }, { m_Position, IDC_POSITION },
        { m_SizeX, IDC_SIZE_X }, { m_SizeY, IDC_SIZE_Y }, { m_Show, IDC_SHOW }, { ok, IDOK }, { cancel, IDCANCEL } };
    for (const auto& [w, id] : ids)
        w->setObjectName(QString::number(id));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(text("Type", "種類"), this), 0, 0);
    grid->addWidget(m_Type, 0, 1);
    grid->addWidget(new QLabel(text("Position", "位置"), this), 1, 0);
    grid->addWidget(m_Position, 1, 1);
    grid->addWidget(new QLabel(text("X size", "Xの長さ"), this), 2, 0);
    grid->addWidget(m_SizeX, 2, 1);
    grid->addWidget(new QLabel(text("Y size", "Yの長さ"), this), 3, 0);
    grid->addWidget(m_SizeY, 3, 1);
    grid->addWidget(m_Show, 4, 0, 1, 2);
    grid->addWidget(buttons, 5, 0, 1, 2);

    OnInitDialog();
    connect(buttons, &QDialogButtonBox::accepted, this, &CScaleDlg::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &CScaleDlg::OnCancel);
    connect(m_Show, &QCheckBox::clicked, this, &CScaleDlg::OnClickedShow);
    connect(m_Type, &QComboBox::activated, this, &CScaleDlg::OnSelchangeType);
    connect(m_Position, &QComboBox::activated, this, &CScaleDlg::OnSelchangePosition);
}

QWidget* CScaleDlg::control(int id) const
{
    return findChild<QWidget*>(QString::number(id));
}

void CScaleDlg::OnInitDialog()
{
    m_Type->addItems({ text("X bar", "Xバー"), text("X-Y bar", "X-Yバー") });
    m_Position->addItems({ text("upper left", "左上"), text("lower left", "左下"), text("upper right", "右上"),
        text("lower right", "右下"), text("center", "中央") });
    const ScaleData* s = m_Model.data();
    if (!s)
        return;
    m_Type->setCurrentIndex(s->Type >= 0 && s->Type < m_Type->count() ? s->Type : -1);
    // The position combo starts without a selection: the bar may stand anywhere.
    m_Position->setCurrentIndex(-1);
    m_Show->setChecked(s->Visible != 0);
    m_SizeX->setValue(s->Size.cx);
    m_SizeY->setValue(s->Size.cy);
}

::Size CScaleDlg::editedSizes() const
{
    return { m_SizeX->value(), m_SizeY->value() };
}

void CScaleDlg::OnClickedShow(bool checked)
{
    m_Model.setVisible(checked);
    emit changed();
}

void CScaleDlg::OnSelchangeType(int index)
{
    m_Model.setType(index);
    emit changed();
}

void CScaleDlg::OnSelchangePosition(int index)
{
    m_Model.place(index, editedSizes());
    emit changed();
}

void CScaleDlg::OnOK()
{
    if (!m_Open)
        return;
    m_Model.ok(editedSizes());
    finish(Accepted);
}

void CScaleDlg::OnCancel()
{
    if (!m_Open)
        return;
    m_Model.cancel();
    finish(Rejected);
}

void CScaleDlg::finish(DialogCode code)
{
    m_Open = false;
    QDialog::done(code);
    emit changed();
    emit closed();
}

void CScaleDlg::detach()
{
    m_Open = false;
    m_Model.close();
    QDialog::done(Rejected);
}
