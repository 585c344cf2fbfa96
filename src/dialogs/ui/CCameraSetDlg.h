// CCameraSetDlg: the Camera Setting dialog of SET while the live view is stopped. It edits copies of the
// sensor window, timer, buffer size and clock, which the camera takes at its next start, and saves the six
// timing values to a timing file or loads them from one.
#pragma once

#include <QDialog>

#include <functional>

#include "dialogs/CameraSetModel.h"

class QComboBox;
class QSpinBox;

// What the file dialog of Save or Load is asked with.
struct TimingFileQuestion {
    bool save = false;
    QString title;
    QString filter;
    QString defaultSuffix;
};

class CCameraSetDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int {
        IDOK = 1,
        IDCANCEL = 2,
        IDC_SAVE = 1087,
        IDC_LOAD = 1088,
        IDC_CLOCK = 1216,
    };
    // The chosen file's path, or an empty string when the file dialog was cancelled.
    using FileAsker = std::function<QString(const TimingFileQuestion&)>;

    CCameraSetDlg(const CameraSetValues& values, QWidget* parent);

    // The values as the dialog holds them (after OK: as it ended with).
    const CameraSetValues& values() const { return m_Model.values(); }
    QWidget* control(int id) const;
    static TimingFileQuestion question(bool save);

    // The save and open file dialogs; tests answer them. The default is the system's file dialog.
    FileAsker askFile;
    // Shows a message (a failed save); the default is a warning box.
    std::function<void(const QString&)> tell;

    void OnOK();
    void OnSave();
    void OnLoad();
    void accept() override { OnOK(); }

private:
    void OnInitDialog();
    // The controls into the values (true) or the values into the controls (false).
    void UpdateData(bool saveAndValidate);

    CameraSetModel m_Model;
    QSpinBox* m_Edits[CameraSetModel::kFieldCount] = {};
    QComboBox* m_Clock = nullptr;
};
