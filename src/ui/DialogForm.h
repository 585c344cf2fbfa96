// The plain layout of the calibration and scale dialogs: labelled rows of controls named after their
// control ids, full-width rows, and OK and Cancel, which end in the dialog's accept() and reject().
#pragma once

#include <QString>

class QDialog;
class QGridLayout;
class QWidget;

class DialogForm {
public:
    explicit DialogForm(QDialog* dialog);

    // The English or the Japanese text, by the language of the program.
    static QString text(const char* english, const char* japanese);
    // The control of dialog whose id is id, or null.
    static QWidget* control(const QWidget* dialog, int id);

    // A row of a label and control, the control named after id.
    void row(const QString& label, QWidget* control, int id);
    // A row of two controls (a choice and its value), named after their ids.
    void pair(QWidget* left, int leftId, QWidget* right, int rightId);
    // A row across both columns.
    void wide(QWidget* control, int id);
    // OK (id 1, the default button) and Cancel (id 2).
    void okCancel();

private:
    QDialog* m_Dialog;
    QGridLayout* m_Grid;
    int m_Rows = 0;
};
