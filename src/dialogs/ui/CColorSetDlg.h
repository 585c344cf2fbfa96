// CColorSetDlg: the colour dialog of COLOR. Two swatches show the measurement line and text colours; a
// left-button release over one opens the colour chooser preset to its colour, and a chosen colour counts at
// once. There is only OK: the colours chosen stay chosen however the dialog closes.
#pragma once

#include <QDialog>

#include "dialogs/ColorSetModel.h"

class QFrame;

class CColorSetDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int {
        IDOK = 1,
        IDC_LINE_COLOR = 1023,
        IDC_TEXT_COLOR = 1024,
    };
    // The distance up and to the left of the mouse pointer that the dialog's top-left corner goes.
    static constexpr int kCursorOffset = 100;

    // text, line: the overlay colours (COLORREF); cursor: the mouse pointer in screen coordinates.
    CColorSetDlg(ColorRef text, ColorRef line, QPoint cursor, QWidget* parent);

    ColorRef textColor() const { return m_Model.text(); }
    ColorRef lineColor() const { return m_Model.line(); }
    QWidget* control(int id) const;

    // The colour chooser; tests answer it. The default is the system's colour dialog.
    ColorSetModel::ColorChooser chooseColor;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void OnInitDialog(QPoint cursor);
    void OnPaint(QPainter& painter);
    void OnLButtonUp(QPoint point);
    QFrame* swatch(int id);

    ColorSetModel m_Model;
    QFrame* m_Line = nullptr;
    QFrame* m_Text = nullptr;
};
