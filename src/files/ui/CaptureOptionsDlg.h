// The quick capture options: the key, the name pattern, the format, the measurement drawing, and the JPEG
// quality that SAVE shares. OK takes what the controls hold; Cancel leaves the options as they were.
#pragma once

#include <QDialog>

#include "files/CaptureOptions.h"

class QCheckBox;
class QComboBox;
class QKeySequenceEdit;
class QLineEdit;
class QSpinBox;

class CaptureOptionsDlg : public QDialog {
public:
    enum ControlId { IDC_KEY = 1001, IDC_NAME = 1002, IDC_FORMAT = 1003, IDC_OVERLAY = 1004, IDC_QUALITY = 1005 };

    CaptureOptionsDlg(const CaptureOptions& options, QWidget* parent);

    // The options as the controls hold them (the counter as it was given).
    CaptureOptions options() const;
    QWidget* control(int id) const;

private:
    CaptureOptions m_Options;
    QKeySequenceEdit* m_Key = nullptr;
    QLineEdit* m_Name = nullptr;
    QComboBox* m_Format = nullptr;
    QCheckBox* m_Overlay = nullptr;
    QSpinBox* m_Quality = nullptr;
};
