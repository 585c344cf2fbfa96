// The scale bar dialog's controls and handlers.
#include "calib/ui/CScaleDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>

#include <climits>

#include "ui/DialogForm.h"

namespace {

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
    setWindowTitle(DialogForm::text("Scale setting", "スケール表示設定"));

    m_Type = new QComboBox(this);
    m_Position = new QComboBox(this);
    m_SizeX = sizeEdit(this);
    m_SizeY = sizeEdit(this);
    m_Show = new QCheckBox(DialogForm::text("Show scale", "スケール表示"), this);
    DialogForm form(this);
    form.row(DialogForm::text("Type", "種類"), m_Type, IDC_TYPE);
    form.row(DialogForm::text("Position", "位置"), m_Position, IDC_POSITION);
    form.row(DialogForm::text("X size", "Xの長さ"), m_SizeX, IDC_SIZE_X);
    form.row(DialogForm::text("Y size", "Yの長さ"), m_SizeY, IDC_SIZE_Y);
    form.wide(m_Show, IDC_SHOW);
    form.okCancel();

    OnInitDialog();
    connect(m_Show, &QCheckBox::clicked, this, &CScaleDlg::OnClickedShow);
    connect(m_Type, &QComboBox::activated, this, &CScaleDlg::OnSelchangeType);
    connect(m_Position, &QComboBox::activated, this, &CScaleDlg::OnSelchangePosition);
}

QWidget* CScaleDlg::control(int id) const
{
    return DialogForm::control(this, id);
}

void CScaleDlg::OnInitDialog()
{
    m_Type->addItems({ DialogForm::text("X bar", "Xバー"), DialogForm::text("X-Y bar", "X-Yバー") });
    m_Position->addItems({ DialogForm::text("upper left", "左上"), DialogForm::text("lower left", "左下"),
        DialogForm::text("upper right", "右上"), DialogForm::text("lower right", "右下"),
        DialogForm::text("center", "中央") });
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
