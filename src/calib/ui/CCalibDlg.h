// CCalibDlg: the modeless calibration dialog. It edits the name, the real width and height of the object
// under the calibration frame and their unit for one entry, shows the units per pixel they give with the
// entry's frame (and the frame's size and how far X and Y disagree), and on OK writes them into the entry
// and the entry's line of the main window's calibration combo box. OK, Cancel, Escape and the close box
// all end with closed(1 after OK, 2 otherwise) once the dialog is hidden.
#pragma once

#include <QDialog>

#include <functional>

#include "calib/CalibDlgModel.h"

class QComboBox;
class QLabel;
class QLineEdit;

class CCalibDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids, used as the controls' object names.
    enum ControlId : int {
        IDOK = 1,
        IDCANCEL = 2,
        IDC_NAME = 1119,
        IDC_LENGTH_X = 1121,
        IDC_LENGTH_Y = 1122,
        IDC_UNIT = 1123,
        IDC_RESULT = 1140,
        IDC_FRAME_INFO = 1141,
    };
    // The result passed with closed().
    static constexpr int kClosedOk = 1;
    static constexpr int kClosedCancel = 2;

    // entry: the calibration to edit; calibCombo: the main window's calibration combo box (may be null).
    CCalibDlg(CalibEntry* entry, QComboBox* calibCombo, QWidget* parent);

    QWidget* control(int id) const;
    const CalibDlgModel& model() const { return m_Model; }
    CalibEntry* entry() const { return m_Model.entry(); }

    // Shows a refusal to the user; tests replace it.
    std::function<void(QWidget* parent, const QString& text)> showMessage;

    // The frame changed under the dialog: the result and frame texts follow it.
    void refreshResult();
    // Closes without OK or Cancel and without closed(), forgetting the entry and the combo box: for an
    // owner that is going away together with them.
    void detach();

    void OnOK();
    void OnCancel();
    void accept() override { OnOK(); }
    // Escape and the close box come here.
    void reject() override { OnCancel(); }

signals:
    void closed(int result);

private:
    void OnInitDialog();
    void readEdits();
    void finish(int result);

    CalibDlgModel m_Model;
    QComboBox* m_CalibCombo = nullptr;
    QLineEdit* m_Name = nullptr;
    QLineEdit* m_LengthX = nullptr;
    QLineEdit* m_LengthY = nullptr;
    QComboBox* m_Unit = nullptr;
    QLineEdit* m_Result = nullptr;
    QLabel* m_FrameInfo = nullptr;
    bool m_Open = true;
};
