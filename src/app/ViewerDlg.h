// CViewerDlg: the main window. It owns the long-lived objects (frame and skin images, the measurement list
// and the calibration table, the settings values), places the controls of its template, draws the skinned
// look, keeps the view's zoom, scroll and layout, and loads and saves the settings file.
#pragma once

#include <QDialog>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "app/SkinCells.h"
#include "camera/CameraDevice.h"
#include "app/ViewerSettings.h"
#include "calib/CalibTable.h"
#include "files/ThumbnailStore.h"
#include "imaging/AutoExposure.h"
#include "imaging/DibImage.h"
#include "imaging/FrameProcessor.h"
#include "imaging/LiveStatus.h"
#include "imaging/ProcessorInfo.h"
#include "imaging/ViewPublisher.h"
#include "measure/MeasureItem.h"
#include "measure/MeasureList.h"

class QComboBox;
class QFrame;
class QScrollBar;
class QTableWidget;
class QTimer;
class SkinButton;

class CViewerDlg : public QDialog, public ViewerSettings {
    Q_OBJECT
public:
    static constexpr int kStatusTimerId = 1224;
    static constexpr int kStatusTimerMs = 100;
    static constexpr int kThumbnailWidth = 140;

    // settingsFolder: where NxQb740Le.ini and the "bmp" folder live; empty means the executable's folder.
    explicit CViewerDlg(QWidget* parent = nullptr, const QString& settingsFolder = QString());
    ~CViewerDlg() override;

    void LoadSettings();
    void SaveSettings();
    void RelayoutView();
    // Recreates the three frame images for a capture window of width x height.
    void CreateFrameImages(int32_t width, int32_t height);
    // The picture the view shows: the colour image in the colour modes, else the raw frame.
    const DibImage& PictureInUse() const;

    QWidget* control(int id) const;
    QString settingsPath() const { return m_SettingsPath; }
    SkinState skinState() const;
    // The question asked before closing on Japanese systems; tests replace it.
    std::function<bool(QWidget*)> confirmClose;

    // The live view: camera start and stop, the display thread and its loop.
    int StartCamera();
    void StopCamera();
    void StartDisplayThread();
    static int DisplayThreadProc(CViewerDlg* dialog);
    int RunDisplayLoop();
    // Whether a display thread exists (the live view has not been stopped by LIVE or shutdown).
    bool displayThreadRunning() const { return m_DisplayThread.joinable(); }
    // Frames the display loop has processed and shown since the window opened.
    uint64_t framesShown() const { return m_FramesShown.load(); }
    // The display pass and the user-interface thread take turns with the frame images, the processing
    // settings the pass reads, and the view's zoom, scroll and rectangle: whoever changes or reads them
    // while the display thread runs holds this lock.
    std::unique_lock<std::mutex> lockFrames() { return std::unique_lock(m_FrameMutex); }

    CameraDevice m_Camera;

    // Frame images and skins.
    ProcessorInfo m_Processor;
    DibImage m_ImgRaw;
    DibImage m_ImgWork;
    DibImage m_ImgColor;
    DibImage m_SkinButtons;
    DibImage m_SkinBackground;
    DibImage m_SkinArrows;

    std::atomic<int> m_RunState { 0 };
    std::atomic<uint32_t> m_Heartbeat { 0 };
    Rect m_ViewRect;
    int m_ZoomIndex = 1;
    int m_bLiveStopped = 0;
    int m_bSaveOverlay = 0;
    int m_bPanelShown = 1;
    int m_bStripShown = 1;
    int m_bRepaintPending = 0;

    // The save folder's thumbnails; it holds the save folder itself.
    ThumbnailStore thumbnails;
    MeasureItem currentItem;
    MeasureList measurements;
    CalibTable calibration;

    // Written by the display loop, shown as the caption by the status tick.
    void setStatusText(const QString& text);
    QString statusText() const;

public slots:
    void OnLive();
    // Buttons whose actions are still to come (SAVE, DIR, SET, THUMB, WB, the tools, DELETE, CLEAR,
    // COLOR, CALIB, CSV, Scale) are connected to nothing yet.
    void OnType();
    void OnZoomChange();
    void OnTogglePanel();
    void OnToggleStrip();
    void OnHScroll();
    void OnSelchangeCalib();

protected:
    bool OnInitDialog();
    void OnTimer();
    void OnDestroy();
    bool OnClose();
    void OnShowWindow();
    void OnSize();
    void OnEraseBkgnd(QPainter& painter);
    void OnPaint(QPainter& painter);
    void OnDrawItem(QPainter& painter, const SkinButton& button, bool pressed);
    void OnCtlColor(QWidget* control);

    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

public:
    void done(int result) override;

private:
    void createControls();
    void createTooltips();
    void setControlRect(int id, const Rect& r);
    Rect controlRect(int id) const;
    void loadSkins();
    void runDisplayPass();
    void runAutoExposure(uint32_t now);
    ProcessSettings processSettings() const;
    void launchDisplayThread();
    void joinDisplayThread();
    void showPublishedView();

    QString m_Folder;
    QString m_SettingsPath;
    std::map<int, QWidget*> m_Controls;
    QComboBox* m_Zoom = nullptr;
    QComboBox* m_CalibCombo = nullptr;
    QTableWidget* m_Results = nullptr;
    QScrollBar* m_StripScroll = nullptr;
    QFrame* m_View = nullptr;
    int m_TimerId = 0;
    bool m_FirstShow = true;
    bool m_Destroyed = false;
    mutable std::mutex m_StatusMutex;
    QString m_StatusText;

    std::mutex m_FrameMutex;
    std::thread m_DisplayThread;
    QTimer* m_ViewPoll = nullptr;
    ViewPublisher m_ViewPublisher;
    FrameProcessor m_FrameChain;
    AutoExposure m_AutoExposure;
    FrameRateMeter m_FrameRate;
    std::atomic<uint64_t> m_FramesShown{0};
};
