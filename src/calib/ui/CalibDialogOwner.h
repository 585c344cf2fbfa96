// The main window's side of calibrating: opens the calibration and scale dialogs (one of each at a time),
// routes the calibration frame's mouse drags while the calibration dialog is open, and tells the window
// when to recalculate and repaint. Destroying it closes both dialogs, so a window that keeps it as a
// member declared after the calibration table and the scale bar closes them before those are gone.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <optional>

#include "calib/CalibFrameDrag.h"
#include "calib/CalibTable.h"
#include "calib/ScaleData.h"

class CCalibDlg;
class CScaleDlg;
class QComboBox;
class QWidget;

class CalibDialogOwner : public QObject {
    Q_OBJECT
public:
    // window: the main window, parent of the dialogs.
    explicit CalibDialogOwner(QWidget* window);
    ~CalibDialogOwner() override;

    // CALIB: opens the calibration dialog on the selected entry of table (whose name calibCombo shows; a
    // selection beyond the table, such as an opened picture's calibration, opens it on the first entry),
    // 300 pixels left of and 150 above cursor (screen coordinates), on the screen. Does nothing and
    // returns false while it is open.
    bool OnCalib(CalibTable& table, int32_t selected, QComboBox* calibCombo, QPoint cursor);
    // Scale: opens the scale dialog on scale for a width x height picture, placed as above. Does nothing
    // and returns false while it is open.
    bool OnScale(ScaleData& scale, int32_t width, int32_t height, QPoint cursor);

    bool calibOpen() const { return !m_CalibDlg.isNull(); }
    bool scaleOpen() const { return !m_ScaleDlg.isNull(); }
    CCalibDlg* calibDialog() const;
    CScaleDlg* scaleDialog() const;

    // The calibration frame under the mouse, at picture coordinates. A press grabs the frame of the
    // selected entry only while the calibration dialog is open; the moves and the release act on the
    // entry the drag started on. An edge that moves refreshes the dialog's texts. An entry that is not in
    // the table (an opened picture's calibration) is never grabbed.
    std::optional<Qt::CursorShape> BeginFrameDrag(CalibEntry& selected, double x, double y);
    FrameDragStep DragFrame(double x, double y);
    void EndFrameDrag();

    // Closes both dialogs as they stand, without OK, Cancel or signals.
    void closeDialogs();

signals:
    // The calibration dialog on the entry at position has closed and is gone: 1 after OK, 2 after Cancel.
    // Always delivered queued, from the event loop: recalculate the results and repaint the view.
    void calibClosed(int result, int position);
    // The scale bar changed (a dialog control, OK or Cancel): repaint the view.
    void scaleChanged();

private:
    void place(QWidget* dialog, QPoint cursor);

    QWidget* m_Window;
    QPointer<CCalibDlg> m_CalibDlg;
    QPointer<CScaleDlg> m_ScaleDlg;
    CalibFrameDrag m_FrameDrag;
};
