// CScaleDlg: the modeless scale bar dialog. Its type and position combos and the "Show scale" box act on
// the bar at once (changed() asks for a repaint); OK keeps everything and takes the typed sizes, Cancel,
// Escape and the close box put back what the dialog edits. closed() follows either once it is hidden.
#pragma once

#include <QDialog>

#include "calib/ScaleDlgModel.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

class CScaleDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids, used as the controls' object names.
    enum ControlId : int {
        IDOK = 1,
        IDCANCEL = 2,
        IDC_SIZE_X = 1121,
        IDC_SIZE_Y = 1122,
        IDC_TYPE = 1124,
        IDC_POSITION = 1125,
        IDC_SHOW = 1205,
    };

    // data: the main window's scale bar; width x height: the picture it is placed on.
    CScaleDlg(ScaleData* data, int32_t width, int32_t height, QWidget* parent);

    QWidget* control(int id) const;
    const ScaleDlgModel& model() const { return m_Model; }

    // Closes without OK or Cancel and without closed(), forgetting the bar: for an owner that is going
    // away together with it.
    void detach();

    void OnClickedShow(bool checked);
    void OnSelchangeType(int index);
    void OnSelchangePosition(int index);
    void OnOK();
    void OnCancel();
    void accept() override { OnOK(); }
    // Escape and the close box come here.
    void reject() override { OnCancel(); }

signals:
    void changed();
    void closed();

private:
    void OnInitDialog();
    ::Size editedSizes() const;
    void finish(DialogCode code);

    ScaleDlgModel m_Model;
    QComboBox* m_Type = nullptr;
    QComboBox* m_Position = nullptr;
    QSpinBox* m_SizeX = nullptr;
    QSpinBox* m_SizeY = nullptr;
    QCheckBox* m_Show = nullptr;
    bool m_Open = true;
};
