#include "measure/ui/ToleranceDlg.h"

#include <QCheckBox>
#include <QDoubleSpinBox>

#include <cmath>

#include "measure/PictureNotes.h"
#include "ui/DialogForm.h"

namespace {

QDoubleSpinBox* number(double value, double minimum, const QString& unit, QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    // Six decimals hold a micrometre in centimetres; the range is what a stored tolerance may hold.
    box->setDecimals(6);
    box->setRange(minimum, notes::kMaxMagnitude);
    box->setSuffix(QLatin1Char(' ') + unit);
    box->setValue(std::isfinite(value) ? value : 0.0);
    return box;
}

} // namespace

ToleranceDlg::ToleranceDlg(const std::optional<Tolerance>& tolerance, double value, const QString& unit,
    QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(DialogForm::text("Tolerance", "公差"));
    const Tolerance t = tolerance.value_or(Tolerance { value, 0.0, 0.0 });
    m_Nominal = number(t.nominal, -notes::kMaxMagnitude, unit, this);
    m_Upper = number(t.upper, 0.0, unit, this);
    m_Lower = number(t.lower, 0.0, unit, this);
    m_None = new QCheckBox(DialogForm::text("No tolerance", "公差なし"), this);
    m_None->setChecked(!tolerance);
    for (QWidget* w : { static_cast<QWidget*>(m_Nominal), static_cast<QWidget*>(m_Upper),
             static_cast<QWidget*>(m_Lower) }) {
        w->setEnabled(tolerance.has_value());
        connect(m_None, &QCheckBox::toggled, w, [w](bool none) { w->setEnabled(!none); });
    }

    DialogForm form(this);
    form.row(DialogForm::text("Nominal", "基準値"), m_Nominal, IDC_NOMINAL);
    form.row(DialogForm::text("Upper (+)", "上限 (+)"), m_Upper, IDC_UPPER);
    form.row(DialogForm::text("Lower (-)", "下限 (-)"), m_Lower, IDC_LOWER);
    form.wide(m_None, IDC_NONE);
    form.okCancel();
}

std::optional<Tolerance> ToleranceDlg::tolerance() const
{
    if (m_None->isChecked())
        return std::nullopt;
    return Tolerance { m_Nominal->value(), m_Upper->value(), m_Lower->value() };
}

QWidget* ToleranceDlg::control(int id) const
{
    return DialogForm::control(this, id);
}
