// CViewerDlg: the main window. It owns the long-lived objects (frame and skin images, the measurement list
// and the calibration table, the settings values), places the controls of its template, draws the skinned
// look, keeps the view's zoom, scroll and layout, and loads and saves the settings file. Its state is its own:
// others reach it through the accessors below.
#pragma once

#include <QDialog>
#include <QRegion>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "app/SkinCells.h"
#include "camera/CameraDevice.h"
#include "camera/LiveSource.h"
#include "app/LiveSettings.h"
#include "calib/CalibDialogOwner.h"
#include "files/FileDialogs.h"
#include "files/ThumbnailGrid.h"
#include "files/ThumbnailStore.h"
#include "imaging/AutoExposure.h"
#include "imaging/DibImage.h"
#include "imaging/FrameProcessor.h"
#include "imaging/HistogramFeed.h"
#include "imaging/LiveStatus.h"
#include "imaging/ProcessorInfo.h"
#include "imaging/ViewComposer.h"
#include "imaging/ViewPublisher.h"
#include "measure/MeasureInteraction.h"
#include "measure/MeasureLayer.h"
#include "measure/MeasureSession.h"
#include "measure/ResultsTable.h"
#include "measure/CsvExport.h"

class CThumbnailDlg;
class Dc;
class CImageSetDlg;
class QComboBox;
class QFrame;
class QScrollBar;
class QTableView;
class QTimer;
class SkinButton;

class CViewerDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kStatusTimerId = 1224;
    static constexpr int kStatusTimerMs = 100;
    static constexpr int kThumbnailWidth = 140;
    static constexpr int kThumbnailHeight = 105;

    // settingsFolder: where NxQb740Le.ini and the "bmp" folder live; empty means the executable's folder.
    // cameraOption: the command line's choice of camera ("own", "/dev/videoN"; empty: the settings decide).
    explicit CViewerDlg(QWidget* parent = nullptr, const QString& settingsFolder = QString(),
        const QString& cameraOption = QString());
    ~CViewerDlg() override;

    void LoadSettings();
    // Writes the settings file and the save folder's ThumbNail file; false when either could not be written.
    bool SaveSettings();
    void RelayoutView();
    // Recreates the three frame images for a capture window of width x height (the raw one of
    // bitsPerPixel: 8, or 24 for a source that delivers colour).
    void CreateFrameImages(int32_t width, int32_t height, uint16_t bitsPerPixel = 8);
    // The picture the view shows: the colour image in the colour modes, else the raw frame. While the live
    // view runs, its pixels are the display thread's: read them under lockFrames().
    const DibImage& PictureInUse() const;
    const DibImage& rawImage() const { return m_ImgRaw; }

    // The settings and the view's zoom, scroll and rectangle; change them only through this owner.
    LiveSettings& settings() { return m_Settings; }
    const LiveSettings& settings() const { return m_Settings; }
    // Selects a zoom index as the zoom combo box does.
    void SetZoom(int zoomIndex);
    // Scrolls a magnified picture: the offsets are truncated to whole pixels and kept within the picture.
    void ScrollTo(double baiX, double baiY);
    // The geometry the view is to have now (the layout's rectangle, zoom and scroll, the picture in use).
    ViewGeometry viewGeometry() const;
    // The picture on the screen with the geometry it was composed with: what is drawn over the view and every
    // mouse mapping use that geometry. User-interface thread only.
    const ViewPicture& shownPicture() const;
    ViewGeometry shownGeometry() const { return shownPicture().geometry; }

    // The own camera's device: only while the source is the own camera (source().ownCamera()).
    CameraDevice& camera() { return *m_Source->ownCamera(); }
    ThumbnailStore& thumbnails() { return m_Thumbnails; }
    // The measurements: items, calibration, scale bar and results rows.
    MeasureSession& measureSession() { return m_Measure; }
    const DibImage& skinButtons() const { return m_SkinButtons; }
    const DibImage& skinArrows() const { return m_SkinArrows; }
    const DibImage& skinBackground() const { return m_SkinBackground; }

    QWidget* control(int id) const;
    QString settingsPath() const { return m_SettingsPath; }
    SkinState skinState() const;
    int runState() const { return m_RunState.load(); }
    uint32_t heartbeat() const { return m_Heartbeat.load(); }
    bool liveStopped() const { return m_bLiveStopped != 0; }
    bool repaintPending() const { return m_bRepaintPending != 0; }
    void setRepaintPending() { m_bRepaintPending = 1; }
    bool saveOverlay() const { return m_bSaveOverlay != 0; }
    bool panelShown() const { return m_bPanelShown != 0; }
    bool stripShown() const { return m_bStripShown != 0; }
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
    // The frame images: the display pass holds this lock while it fills them and composes from them (never
    // across camera register I/O); whoever else creates, reads or changes them while the display thread runs
    // holds it too.
    std::unique_lock<std::mutex> lockFrames() { return std::unique_lock(m_FrameMutex); }
    // The longest time the user-interface thread has waited for the frame lock, in microseconds.
    int64_t longestFrameLockWaitUs() const { return m_LongestUiLockWaitUs; }
    // The gain or shutter auto exposure last set on the camera (-1 before it set any): the display thread
    // leaves them here for the user-interface thread.
    int32_t autoExposureGain() const { return m_AutoGain.load(); }
    int32_t autoExposureShutter() const { return m_AutoShutter.load(); }

    // Written by the display loop, shown as the caption by the status tick.
    void setStatusText(const QString& text);
    QString statusText() const;

    // --- Pictures on disk: SAVE, DIR, the thumbnail strip and browser.
    void OnSave();
    void OnDir();
    void OnThumb();
    void OpenPicture(int index);
    void UpdateStripScrollBar();
    void InvalidateStrip(bool erase);
    // Menu 146's commands on the thumbnail last right-clicked in the strip.
    void OnStripCommand(int command);
    // The file and folder choosers, messages and the thumbnail menu; tests answer them.
    FileDialogs& fileDialogs() { return m_FileDialogs; }
    // Runs the thumbnail browser modally and gives its result; tests answer it.
    std::function<int(CThumbnailDlg&)> runThumbnailBrowser;

    // --- Measurements: the results list, DELETE, CLEAR and CSV.
    void OnDelete();
    void OnClear();
    void OnCsv();
    // Selects the rows of these items in the results list, as a person does before DELETE.
    void SelectResultItems(const std::vector<int32_t>& itemIds);
    // The CSV button's save dialog; tests answer it.
    std::function<QString(const CsvSaveDialog&)> askCsvPath;

    // --- Calibration and the scale bar.
    void OnCalib();
    void OnScale();
    void OnCalibClosed(int result);
    CalibDialogOwner& calibDialogs() { return m_CalibDialogs; }

    // --- Camera Setting, overlay colours and white balance: SET while the live view is stopped opens the
    // Camera Setting dialog, COLOR the colour dialog, WB asks the display loop for one white-balance
    // measurement (a second press withdraws it).
    void OnColor();
    void OnWB();
    // Runs the Camera Setting and colour dialogs modally and gives their result; tests answer them.
    std::function<int(QDialog&)> runSettingDialog = [](QDialog& dialog) { return dialog.exec(); };

    // --- Measuring with the mouse and the keys: the tools, dragging points, the pan, the strip's clicks and
    // wheel, undo and redo, the shortcuts.
    void SelectTool(int32_t tool);
    void OnUndo();
    void OnRedo();
    const MeasureInteraction& interaction() const { return m_Interaction; }
    // The transparent child over the picture that takes the mouse there and owns the cursor over it.
    QWidget* viewSurface() const;

public slots:
    void OnLive();
    // The tool buttons are connected to nothing yet.
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
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    void done(int result) override;

private:
    void createControls();
    void createTooltips();
    void setControlRect(int id, const Rect& r);
    Rect controlRect(int id) const;
    void loadSkins();
    bool runDisplayPass();
    void runAutoExposure(double factor, int32_t mode, uint32_t now);
    void launchDisplayThread();
    void joinDisplayThread();
    bool isLive() const;
    void showPublishedView();
    bool framesStalled() const;
    bool composeHere(bool waitForFrames);
    // The picture in use, to replace its pixels (UI thread, under lockFrames() while the display thread runs).
    DibImage& pictureInUse();
    // The view's rectangle, zoom and scroll as they are now, over picture.
    ViewGeometry geometryOver(const DibImage& picture) const;
    void updateView(const Rect& previous);
    void updateViewArea();
    ResultsTable resultsTable() const { return ResultsTable(*m_Results); }
    Rect stripRect() const;
    int stripHit(QPoint p) const;
    void PaintStrip(QPainter& painter);
    // What is drawn over the picture, in view coordinates of geometry: the finished items with the scale bar,
    // and the item being drawn (with the calibration frame) running to the pointer (none in a saved copy).
    void drawFinished(Dc& dc, const ViewGeometry& geometry, const OverlayColors& colors);
    void drawInProgress(Dc& dc, const ViewGeometry& geometry, const OverlayColors& colors,
                        std::optional<Point> pointer);
    void paintOverlay(QPainter& painter);
    void drawOverlayForSave(DibImage& copy);

    LiveSettings m_Settings;

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
    int m_bLiveStopped = 0;
    int m_bSaveOverlay = 0;
    int m_bPanelShown = 1;
    int m_bStripShown = 1;
    int m_bRepaintPending = 0;

    // The save folder's thumbnails; it holds the save folder itself.
    ThumbnailStore m_Thumbnails;
    // Its scale bar is the one shown (the settings keep the stored copy, written back when they are saved).
    MeasureSession m_Measure;
    // Declared after the calibration table and the scale bar it points into, so its dialogs close before
    // they go.
    CalibDialogOwner m_CalibDialogs { this };
    FileDialogs m_FileDialogs { this };
    ThumbnailGrid m_Grid { kThumbnailWidth, kThumbnailHeight };
    int m_StripContext = -1; // the thumbnail last right-clicked in the strip
    MeasureLayer m_MeasureLayer;
    QRegion m_PaintRegion; // what the paint under way renews
    QRegion m_EraseRegion; // and where of it the background shows

    QString m_Folder;
    QString m_SettingsPath;
    std::map<int, QWidget*> m_Controls;
    QComboBox* m_Zoom = nullptr;
    QComboBox* m_CalibCombo = nullptr;
    QTableView* m_Results = nullptr;
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
    ViewComposer m_DisplayComposer; // the display thread's
    const DibImage* m_LastShown = nullptr; // the frame image the last display pass showed (under the frame lock)
    FrameProcessor m_FrameChain;
    AutoExposure m_AutoExposure;
    FrameRateMeter m_FrameRate;
    std::atomic<uint64_t> m_FramesShown { 0 };
    std::atomic<int32_t> m_AutoGain { -1 };
    std::atomic<int32_t> m_AutoShutter { -1 };

    // The user-interface thread's own view picture: a still picture, or the live one when frames stall.
    ViewComposer m_UiComposer;
    ViewPicture m_UiPicture;
    bool m_UiPictureShown = false; // m_UiPicture is newer than the published one
    int64_t m_LongestUiLockWaitUs = 0;

    // --- SET: the Image Setting dialog while the live view runs (with the live histogram it shows), the
    // Camera Setting dialog while it is stopped.
public:
    void OnSet();
    // Opens the Image Setting dialog modally; the live view keeps running underneath.
    void OpenImageSettings();
    // The Image Setting dialog while it is open, else null.
    CImageSetDlg* imageSetDialog() const { return m_pImageSetDlg; }
    // Measured by the display pass while someone wants it.
    HistogramFeed& histogramFeed() { return m_HistogramFeed; }

private:
    void OpenCameraSettings();
    // After OK: the colour image for RGB or YUV data, then the view's layout for its size.
    void recreateColorImage();
    CImageSetDlg* m_pImageSetDlg = nullptr;
    HistogramFeed m_HistogramFeed;

    // Measuring with the mouse and the keys.
    void createInteraction();
    void createShortcuts();
    InteractionContext interactionContext();
    void forwardMouse(const QMouseEvent& event, QPoint client, QWidget* cursorOwner);
    void applyEffects(const InteractionEffects& fx, QWidget* cursorOwner, QPoint globalPointer = {});
    MeasureInteraction m_Interaction { m_Measure };
    int m_WheelRest = 0; // wheel turns short of a notch, kept for the next turn

    // --- The camera source: the camera the live view takes its frames from (the own camera or a video
    // device), chosen at start, named in the caption; when it vanishes the live view stops with a message.
public:
    LiveSource& source() { return *m_Source; }
    // What the frames of the current capture are (user-interface thread, or under lockFrames()).
    const LiveSource::FrameFormat& sourceFormat() const { return m_SourceFormat; }
    // Tells that the camera was lost (a message box on the user-interface thread); tests replace it.
    std::function<void(const QString&)> tellCameraLost;
    // Turns of the display loop since the window opened: a loop that naps makes at most one per millisecond.
    uint64_t displayLoopTurns() const { return m_DisplayLoopTurns.load(); }
    // The caption: text, followed by the source's name unless the source is the own camera (which text names).
    QString captionFor(const QString& text) const;

private:
    void openSource();
    // Display thread: the next frame, when one waits, through a display pass; false when there was none.
    bool showNextFrame();
    // Display thread: asks the user-interface thread (once) to stop the live view for a lost camera.
    void reportSourceLost();
    // User-interface thread: handles a loss the display thread reported; false when there was none.
    bool takeSourceLoss();
    void onSourceLost(uint32_t start);
    // The chain's settings for the source's frames: no Bayer step for grey or colour ones.
    void adaptToSource(ProcessSettings& process) const;
    int32_t nextExposure(LiveSource::Control control, double factor);
    QString m_CameraOption;
    std::unique_ptr<LiveSource> m_Source;
    LiveSource::FrameFormat m_SourceFormat; // written under lockFrames() by StartCamera
    std::atomic<uint32_t> m_CameraStarts { 0 }; // a loss reported for an earlier start is old news
    std::atomic<bool> m_LossReported { false };
    std::atomic<uint32_t> m_LostInStart { 0 }; // 1 + the start whose camera was lost; 0: none to handle
    std::atomic<uint64_t> m_DisplayLoopTurns { 0 };
};
