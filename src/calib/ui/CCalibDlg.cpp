// The calibration dialog's controls and handlers.
#include "calib/ui/CCalibDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>

#include "ui/DialogForm.h"

namespace {

void warn(QWidget* parent, const QString& message)
{
    QMessageBox::warning(parent, parent ? parent->windowTitle() : QString(), message);
}

} // namespace

CCalibDlg::CCalibDlg(CalibEntry* entry, QComboBox* calibCombo, QWidget* parent)
    : QDialog(parent)
    , showMessage(warn)
    , m_CalibCombo(calibCombo)
{
    m_Model.open(entry);
    setModal(false);
    setWindowTitle(DialogForm::text("Calibration value", "校正値"));

    m_Name = new QLineEdit(this);
    m_LengthX = new QLineEdit(this);
    m_LengthY = new QLineEdit(this);
    m_Unit = new QComboBox(this);
    m_Result = new QLineEdit(this);
    m_Result->setReadOnly(true);
    m_Result->setMinimumWidth(260);
    m_FrameInfo = new QLabel(this);
    DialogForm form(this);
    form.row(DialogForm::text("Name", "名前"), m_Name, IDC_NAME);
    form.row(DialogForm::text("Width (X)", "幅 (X)"), m_LengthX, IDC_LENGTH_X);
    form.row(DialogForm::text("Height (Y)", "高さ (Y)"), m_LengthY, IDC_LENGTH_Y);
    form.row(DialogForm::text("Unit", "単位"), m_Unit, IDC_UNIT);
    form.wide(m_Result, IDC_RESULT);
    form.wide(m_FrameInfo, IDC_FRAME_INFO);
    form.okCancel();

    OnInitDialog();
    connect(m_LengthX, &QLineEdit::textChanged, this, &CCalibDlg::refreshResult);
    connect(m_LengthY, &QLineEdit::textChanged, this, &CCalibDlg::refreshResult);
    connect(m_Unit, &QComboBox::currentIndexChanged, this, &CCalibDlg::refreshResult);
}

QWidget* CCalibDlg::control(int id) const
{
    return DialogForm::control(this, id);
}

void CCalibDlg::OnInitDialog()
{
    m_Unit->addItems({ unitText(UnitCm), unitText(UnitMm), unitText(UnitUm) });
    m_Unit->setCurrentIndex(m_Model.unit >= 0 && m_Model.unit < m_Unit->count() ? m_Model.unit : -1);
    m_Name->setText(m_Model.name);
    m_LengthX->setText(m_Model.lengthX);
    m_LengthY->setText(m_Model.lengthY);
    refreshResult();
}

void CCalibDlg::readEdits()
{
    m_Model.name = m_Name->text();
    m_Model.lengthX = m_LengthX->text();
    m_Model.lengthY = m_LengthY->text();
    if (m_Unit->currentIndex() >= 0)
        m_Model.unit = m_Unit->currentIndex();
}

void CCalibDlg::refreshResult()
{
    readEdits();
    // While a length is no number the text keeps what it last said.
    if (const std::optional<QString> result = m_Model.resultText())
        m_Result->setText(*result);
    m_FrameInfo->setText(m_Model.frameText());
}

void CCalibDlg::OnOK()
{
    if (!m_Open)
        return;
    readEdits();
    const CalibDlgModel::OkResult result = m_Model.ok();
    if (result != CalibDlgModel::OkResult::Done) {
        QLineEdit* edit = result == CalibDlgModel::OkResult::BadLengthX ? m_LengthX : m_LengthY;
        showMessage(this, DialogForm::text("Please enter a number.", "数値を入力してください。"));
        edit->setFocus();
        edit->selectAll();
        return;
    }
    if (CalibEntry* e = m_Model.entry(); e && m_CalibCombo) {
        // The entry's line is replaced where it stands and selected, quietly: the owner recalculates
        // once the dialog has closed.
        const QSignalBlocker quiet(m_CalibCombo);
        if (e->position >= 0 && e->position < m_CalibCombo->count())
            m_CalibCombo->removeItem(e->position);
        m_CalibCombo->insertItem(e->position, e->name);
        m_CalibCombo->setCurrentIndex(e->position);
    }
    finish(kClosedOk);
}

void CCalibDlg::OnCancel()
{
    if (m_Open)
        finish(kClosedCancel);
}

void CCalibDlg::finish(int result)
{
    m_Open = false;
    m_Model.close();
    m_CalibCombo = nullptr;
    QDialog::done(result == kClosedOk ? Accepted : Rejected);
    emit closed(result);
}

void CCalibDlg::detach()
{
    m_Open = false;
    m_Model.close();
    m_CalibCombo = nullptr;
    QDialog::done(Rejected);
}
