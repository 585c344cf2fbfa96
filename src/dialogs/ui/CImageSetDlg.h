// CImageSetDlg: the Image Setting dialog (resource 153). Every change is applied at once through its model,
// so the live picture shows it on the next frame; OK keeps the result, CANCEL (the button, Escape or the
// close box) puts back what was there at opening, the camera's controls included. The camera's fields follow
// the live source's controls: those it lacks are disabled. While open it follows auto exposure in its gain and
// exposure controls and shows the live picture's histogram.
#pragma once

#include <QDialog>

#include <functional>
#include <map>

#include "dialogs/ImageSetModel.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QSlider;
class QSpinBox;
class QTimer;
class HistogramFeed;
class HistogramView;

class CImageSetDlg : public QDialog {
    Q_OBJECT
public:
    // How often the dialog looks at auto exposure's values and the histogram.
    static constexpr int kPollMs = 100;

    // Takes the snapshot that CANCEL restores.
    CImageSetDlg(ImageSetTarget& target, LiveSource& source, QWidget* parent = nullptr);
    ~CImageSetDlg() override;

    // The gain and exposure auto exposure last set (-1 before any): read on the user-interface thread.
    void setAutoExposureSources(std::function<int32_t()> gain, std::function<int32_t()> shutter);
    // The live picture's histogram; asked for while the dialog is open.
    void setHistogramFeed(HistogramFeed* feed);

    QWidget* control(int id) const;
    QWidget* deviceControls() const { return m_DeviceControls; }
    QSpinBox* spin(int editId) const;
    HistogramView* histogramView() const { return m_Histogram; }
    ImageSetModel& model() { return m_Model; }
    bool initialised() const { return m_Initialised; }

    // OK or CANCEL happens here, whichever way the dialog ends.
    void done(int result) override;

private:
    void OnInitDialog();
    void OnOK();
    void OnCancel();
    void OnNumber(int editId);
    void OnSlider(int editId, int position);
    void OnMirror();
    void OnPoll();

    QGroupBox* group(const char* english, const char* japanese);
    QSpinBox* addSpin(QGridLayout* grid, int row, int column, const char* english, const char* japanese, int editId);
    QCheckBox* addCheck(const char* english, const char* japanese, int id);
    QButtonGroup* addRadios(QGridLayout* grid, int row, const std::vector<std::pair<QString, int>>& radios);
    QWidget* buildProcessing();
    QWidget* buildCamera();
    QWidget* buildDeviceControls();
    QWidget* buildHistogram();
    void showAutoExposure(int editId, int32_t value);
    void follow(int editId, int32_t value);

    ImageSetModel m_Model;
    bool m_Initialised = false;
    bool m_Ended = false;
    std::map<int, QSpinBox*> m_Spins;
    std::map<int, QSlider*> m_Sliders;
    QButtonGroup* m_BayerModes = nullptr;
    QButtonGroup* m_IrisModes = nullptr;
    QCheckBox* m_MirrorH = nullptr;
    QCheckBox* m_MirrorV = nullptr;
    QWidget* m_DeviceControls = nullptr; // a video device's own controls: hidden when the source has none

    QTimer* m_Poll = nullptr;
    std::function<int32_t()> m_AutoGain;
    std::function<int32_t()> m_AutoShutter;
    int32_t m_SeenGain = -1;
    int32_t m_SeenShutter = -1;
    std::array<int32_t, 3> m_SeenColourGains {}; // the colour gains the fields last showed
    HistogramFeed* m_Feed = nullptr;
    uint64_t m_SeenHistogram = 0;
    HistogramView* m_Histogram = nullptr;
    QLabel* m_Shares[4][2] {}; // channel x (share at 0, share at 255)
};
