// Opening, placing and closing the calibration and scale dialogs.
#include "calib/ui/CalibDialogOwner.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>

#include "calib/ui/CCalibDlg.h"
#include "calib/ui/CScaleDlg.h"
#include "ui/CursorPlacement.h"

CalibDialogOwner::CalibDialogOwner(QWidget* window)
    : m_Window(window)
{
}

CalibDialogOwner::~CalibDialogOwner()
{
    closeDialogs();
}

bool CalibDialogOwner::OnCalib(CalibTable& table, int32_t selected, QComboBox* calibCombo, QPoint cursor)
{
    if (calibOpen())
        return false;
    CalibEntry& entry = table.selected(selected);
    auto* dlg = new CCalibDlg(&entry, calibCombo, m_Window);
    m_CalibDlg = dlg;
    const int position = entry.position;
    connect(dlg, &CCalibDlg::closed, this, [this, dlg, position](int result) {
        // The window hears of it from the event loop, when the dialog is already forgotten here.
        m_CalibDlg = nullptr;
        dlg->deleteLater();
        QMetaObject::invokeMethod(
            this, [this, result, position] { emit calibClosed(result, position); }, Qt::QueuedConnection);
    });
    place(dlg, cursor);
    dlg->show();
    return true;
}

bool CalibDialogOwner::OnScale(ScaleData& scale, int32_t width, int32_t height, QPoint cursor)
{
    if (scaleOpen())
        return false;
    auto* dlg = new CScaleDlg(&scale, width, height, m_Window);
    m_ScaleDlg = dlg;
    connect(dlg, &CScaleDlg::changed, this, &CalibDialogOwner::scaleChanged);
    connect(dlg, &CScaleDlg::closed, this, [this, dlg] {
        m_ScaleDlg = nullptr;
        dlg->deleteLater();
    });
    place(dlg, cursor);
    dlg->show();
    return true;
}

void CalibDialogOwner::place(QWidget* dialog, QPoint cursor)
{
    dialog->adjustSize();
    const QScreen* screen = QGuiApplication::screenAt(cursor);
    if (!screen)
        screen = m_Window ? m_Window->screen() : QGuiApplication::primaryScreen();
    Rect available;
    if (screen) {
        const QRect r = screen->availableGeometry();
        available = { r.left(), r.top(), r.left() + r.width(), r.top() + r.height() };
    }
    const QSize size = dialog->frameSize().expandedTo(dialog->size());
    const Point p = dialogPositionAtCursor({ cursor.x(), cursor.y() }, { size.width(), size.height() }, available);
    dialog->move(p.x, p.y);
}

std::optional<Qt::CursorShape> CalibDialogOwner::BeginFrameDrag(CalibEntry& selected, double x, double y)
{
    // Only table entries are calibrated here: an opened picture's calibration (after the table) is kept as
    // the picture carries it.
    if (!calibOpen() || selected.position < 0 || selected.position >= CalibTable::kCount)
        return std::nullopt;
    return m_FrameDrag.BeginFrameDrag(selected, x, y);
}

FrameDragStep CalibDialogOwner::DragFrame(double x, double y)
{
    const FrameDragStep step = m_FrameDrag.DragFrame(x, y);
    if (step.edgeMoved && m_CalibDlg)
        m_CalibDlg->refreshResult();
    return step;
}

void CalibDialogOwner::EndFrameDrag()
{
    m_FrameDrag.EndFrameDrag();
}

void CalibDialogOwner::closeDialogs()
{
    // A drag in progress ends with its dialog (the table outlives this owner).
    m_FrameDrag.EndFrameDrag();
    if (CCalibDlg* dlg = m_CalibDlg) {
        m_CalibDlg = nullptr;
        dlg->detach();
        delete dlg;
    }
    if (CScaleDlg* dlg = m_ScaleDlg) {
        m_ScaleDlg = nullptr;
        dlg->detach();
        delete dlg;
    }
}

CCalibDlg* CalibDialogOwner::calibDialog() const
{
    return m_CalibDlg;
}

CScaleDlg* CalibDialogOwner::scaleDialog() const
{
    return m_ScaleDlg;
}
