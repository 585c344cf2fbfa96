// The time-lapse dialog: interval, number of shots (a count, or a duration in minutes), format and drawing,
// the series' status and Start/Stop. Modeless; it holds no series itself: the window starts and stops one on
// its signals and tells it back whether one runs and how it goes.
#pragma once

#include <QDialog>

#include "files/TimeLapse.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

class TimeLapseDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId {
        IDC_INTERVAL = 1101,
        IDC_BY_COUNT = 1102,
        IDC_COUNT = 1103,
        IDC_BY_DURATION = 1104,
        IDC_DURATION = 1105, // minutes
        IDC_FORMAT = 1106,
        IDC_OVERLAY = 1107,
        IDC_STATUS = 1108,
        IDC_START = 1109, // Start, or Stop while a series runs
        IDC_CLOSE = 2,
    };

    // minIntervalSeconds: one frame interval of the camera (the interval cannot be shorter).
    TimeLapseDlg(const TimeLapseOptions& options, double minIntervalSeconds, QWidget* parent);

    // The options as the controls hold them.
    TimeLapseOptions options() const;
    QWidget* control(int id) const;

    // A series runs: the fields are locked and the button stops it.
    void setRunning(bool running);
    void setStatus(const QString& text);

signals:
    void startRequested(const TimeLapseOptions& options);
    void stopRequested();

private:
    void updateFields();

    bool m_Running = false;
    QDoubleSpinBox* m_Interval = nullptr;
    QRadioButton* m_ByCount = nullptr;
    QSpinBox* m_Count = nullptr;
    QRadioButton* m_ByDuration = nullptr;
    QDoubleSpinBox* m_Duration = nullptr;
    QComboBox* m_Format = nullptr;
    QCheckBox* m_Overlay = nullptr;
    QLabel* m_Status = nullptr;
    QPushButton* m_Start = nullptr;
};
