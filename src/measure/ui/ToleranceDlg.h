// The tolerance of one measurement: its nominal value, the + and - deviations, and "No tolerance". OK
// takes what the controls hold; Cancel changes nothing.
#pragma once

#include <QDialog>

#include <optional>

#include "measure/MeasureItem.h"

class QCheckBox;
class QDoubleSpinBox;

class ToleranceDlg : public QDialog {
public:
    enum ControlId { IDC_NOMINAL = 1001, IDC_UPPER = 1002, IDC_LOWER = 1003, IDC_NONE = 1004 };

    // tolerance: the item's now (none: the nominal starts at value, the result measured); unit: the text
    // shown beside the numbers.
    ToleranceDlg(const std::optional<Tolerance>& tolerance, double value, const QString& unit, QWidget* parent);

    // None when "No tolerance" is checked.
    std::optional<Tolerance> tolerance() const;
    QWidget* control(int id) const;

private:
    QDoubleSpinBox* m_Nominal = nullptr;
    QDoubleSpinBox* m_Upper = nullptr;
    QDoubleSpinBox* m_Lower = nullptr;
    QCheckBox* m_None = nullptr;
};
