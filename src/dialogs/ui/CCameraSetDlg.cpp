// The Camera Setting dialog's controls and handlers.
#include "dialogs/ui/CCameraSetDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

#include "ui/DialogForm.h"

namespace {

QString askTimingFile(QWidget* parent, const TimingFileQuestion& q)
{
    QFileDialog dialog(parent, q.title, QString(), q.filter);
    dialog.setAcceptMode(q.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(q.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(q.defaultSuffix);
    // A save does not ask before replacing a file, as every save of the viewer.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

// A number edit that takes digits only: a spin box without arrows, never below 0.
QSpinBox* numberEdit(QWidget* parent, const CameraSetField& field)
{
    auto* edit = new QSpinBox(parent);
    edit->setButtonSymbols(QAbstractSpinBox::NoButtons);
    edit->setRange(0, field.maximum);
    edit->setEnabled(field.editable);
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

QPushButton* button(QDialogButtonBox* box, const QString& text, QDialogButtonBox::ButtonRole role, int id)
{
    QPushButton* b = box->addButton(text, role);
    b->setObjectName(QString::number(id));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TimingFileQuestion CCameraSetDlg::question(bool save)
{
    TimingFileQuestion q;
    q.save = save;
    q.title = save ? DialogForm::text("Save Setting", "設定保存") : DialogForm::text("Load Setting", "設定読み込み");
    q.filter = DialogForm::text("Ini File(*.ini)", "設定ファイル(*.ini)");
    q.defaultSuffix = QStringLiteral("ini");
    return q;
}

CCameraSetDlg::CCameraSetDlg(const CameraSetValues& values, QWidget* parent)
    : QDialog(parent)
    , askFile([this](const TimingFileQuestion& q) { return askTimingFile(this, q); })
    , tell([this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); })
    , m_Model(values)
{
    setWindowTitle(DialogForm::text("Camera Setting", "カメラ設定"));
    DialogForm form(this);
    for (size_t i = 0; i < CameraSetModel::kFieldCount; ++i) {
        const CameraSetField& field = CameraSetModel::kFields[i];
        m_Edits[i] = numberEdit(this, field);
        form.row(DialogForm::text(field.english, field.japanese), m_Edits[i], field.id);
    }
    m_Clock = new QComboBox(this);
    form.row(DialogForm::text("Clock", "動作クロック"), m_Clock, IDC_CLOCK);

    auto* files = new QDialogButtonBox(this);
    connect(button(files, DialogForm::text("Load", "読み込み"), QDialogButtonBox::ActionRole, IDC_LOAD),
        &QPushButton::clicked, this, &CCameraSetDlg::OnLoad);
    connect(button(files, DialogForm::text("Save", "保存"), QDialogButtonBox::ActionRole, IDC_SAVE),
        &QPushButton::clicked, this, &CCameraSetDlg::OnSave);
    form.wide(files, 0);
    auto* ends = new QDialogButtonBox(this);
    QPushButton* ok = button(ends, DialogForm::text("OK", "反映"), QDialogButtonBox::AcceptRole, IDOK);
    button(ends, DialogForm::text("CANCEL", "ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole, IDCANCEL);
    ok->setDefault(true);
    connect(ends, &QDialogButtonBox::accepted, this, &CCameraSetDlg::OnOK);
    connect(ends, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form.wide(ends, 0);
    OnInitDialog();
}

QWidget* CCameraSetDlg::control(int id) const
{
    return DialogForm::control(this, id);
}

void CCameraSetDlg::OnInitDialog()
{
    m_Clock->addItems({ DialogForm::text("normal", "標準"), DialogForm::text("half", "ハーフ") });
    UpdateData(false);
}

void CCameraSetDlg::UpdateData(bool saveAndValidate)
{
    for (size_t i = 0; i < CameraSetModel::kFieldCount; ++i) {
        const CameraSetField& field = CameraSetModel::kFields[i];
        if (saveAndValidate) {
            m_Edits[i]->interpretText(); // what is typed, even while the edit still has the focus
            m_Model.setValue(field, m_Edits[i]->value());
        } else {
            m_Edits[i]->setValue(m_Model.values().*field.value);
        }
    }
    if (saveAndValidate)
        m_Model.selectClock(m_Clock->currentIndex());
    else
        m_Clock->setCurrentIndex(m_Model.clockIndex());
}

void CCameraSetDlg::OnOK()
{
    UpdateData(true);
    QDialog::accept();
}

void CCameraSetDlg::OnSave()
{
    const QString path = askFile ? askFile(question(true)) : QString();
    if (path.isEmpty())
        return;
    UpdateData(true);
    if (!m_Model.save(path) && tell)
        tell(DialogForm::text("The timing file was not saved.", "タイミングファイルを保存できませんでした。"));
}

void CCameraSetDlg::OnLoad()
{
    const QString path = askFile ? askFile(question(false)) : QString();
    if (path.isEmpty())
        return;
    // From the values the dialog holds: what is typed but not yet taken is not the starting point.
    m_Model.load(path);
    UpdateData(false);
}
