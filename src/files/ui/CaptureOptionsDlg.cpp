#include "files/ui/CaptureOptionsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QSpinBox>

#include "ui/DialogForm.h"

CaptureOptionsDlg::CaptureOptionsDlg(const CaptureOptions& options, QWidget* parent)
    : QDialog(parent)
    , m_Options(options)
{
    setWindowTitle(DialogForm::text("Quick capture", "クイック保存"));
    m_Key = new QKeySequenceEdit(QKeySequence(options.key), this);
    m_Name = new QLineEdit(options.namePattern, this);
    m_Name->setMaxLength(int(CaptureOptions::kMaxPattern));
    m_Name->setToolTip(DialogForm::text("%Y %m %d %H %M %S: date and time, %n: counter, %c: calibration name",
        "%Y %m %d %H %M %S：日時、%n：連番、%c：校正値の名前"));
    m_Format = new QComboBox(this);
    m_Format->addItems({ "BMP", "JPEG", "PNG", "TIFF" });
    m_Format->setCurrentIndex(options.format - 1);
    m_Overlay = new QCheckBox(DialogForm::text("With the measuring lines", "計測ラインを含める"), this);
    m_Overlay->setChecked(options.overlay);
    m_Quality = new QSpinBox(this);
    m_Quality->setRange(CaptureOptions::kMinQuality, CaptureOptions::kMaxQuality);
    m_Quality->setValue(options.jpegQuality);
    m_Quality->setToolTip(DialogForm::text("Also for SAVE. 50 writes the standard tables unscaled.",
        "画像保存にも使います。50 は標準の量子化テーブルのままです。"));

    DialogForm form(this);
    form.row(DialogForm::text("Key", "キー"), m_Key, IDC_KEY);
    form.row(DialogForm::text("File name", "ファイル名"), m_Name, IDC_NAME);
    form.row(DialogForm::text("Format", "形式"), m_Format, IDC_FORMAT);
    form.wide(m_Overlay, IDC_OVERLAY);
    form.row(DialogForm::text("JPEG quality", "JPEG品質"), m_Quality, IDC_QUALITY);
    form.okCancel();
}

CaptureOptions CaptureOptionsDlg::options() const
{
    CaptureOptions o = m_Options;
    // A cleared key keeps the one there was: quick capture always has a key.
    // Only the first key of a sequence: the shortcut is one key press (a pedal sends one).
    if (!m_Key->keySequence().isEmpty())
        o.key = QKeySequence(m_Key->keySequence()[0]).toString();
    if (!m_Name->text().trimmed().isEmpty())
        o.namePattern = m_Name->text().trimmed();
    o.format = m_Format->currentIndex() + 1;
    o.overlay = m_Overlay->isChecked();
    o.jpegQuality = m_Quality->value();
    return o;
}

QWidget* CaptureOptionsDlg::control(int id) const
{
    return DialogForm::control(this, id);
}
