// The main window's state and the handlers behind its controls, shared by the ViewerDlg*.cpp files: the
// controls of the template, the skins, the layout flags, the strip, and the objects the window forwards to.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QPointF>
#include <QRegion>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/SkinCells.h"
#include "app/ViewerDlg.h"
#include "app/WindowPrompts.h"
#include "calib/ui/CalibDialogOwner.h"
#include "files/QuickCapture.h"
#include "files/TimeLapse.h"
#include "files/VideoRecorder.h"
#include "files/StripMouse.h"
#include "files/ThumbnailGrid.h"
#include "imaging/DibImage.h"
#include "imaging/FocusMeter.h"
#include "imaging/ReferenceOverlay.h"
#include "live/LiveView.h"
#include "measure/MeasureInteraction.h"
#include "measure/MeasureLayer.h"
#include "measure/Reticle.h"
#include "session/ViewerSession.h"
#include "stack/FocusStackJob.h"
#include "stack/StackCollector.h"

class CImageSetDlg;
class Dc;
class QCheckBox;
class QPushButton;
class QComboBox;
class QFrame;
class QMouseEvent;
class QPainter;
class QScrollBar;
class QTableView;
class QTimer;
class SkinButton;
class TimeLapseDlg;
class ResultsTable;
class QShortcut;

// Keys typed into a text field are the field's: no shortcut acts on them.
bool textFieldHasFocus();

struct CViewerDlg::Private {
    Private(CViewerDlg* window, const QString& folder, const QString& cameraOption);

    // --- Controls, start, status tick, closing, settings and skins (ViewerDlg.cpp).
    void createControls();
    void createTooltips();
    QWidget* control(int id) const;
    void setControlRect(int id, const Rect& r);
    Rect controlRect(int id) const;
    void OnInitDialog();
    void loadSettings();
    void loadSkins(); // for the device pixel ratio of the screen the window is on
    bool saveSettings();
    void OnTimer();
    void OnDestroy();
    bool OnClose();
    void OnShowWindow();
    SkinState skinState() const;
    void OnDrawItem(QPainter& painter, const SkinButton& button, bool pressed);
    void OnCtlColor(QWidget* control);
    void paint(QPaintEvent* event);
    void OnEraseBkgnd(QPainter& painter);
    void OnType();

    // --- The live view and its camera (ViewerDlgLive.cpp).
    void openSource();
    void startCamera();
    void startViewPoll();
    void OnLive();
    bool takeSourceLoss();
    // Once per start: the live view says every frame was refused for a second.
    void tellRefusedFrames();
    QString captionFor(const QString& text);

    // --- The view picture: zoom, scroll, painting (ViewerDlgView.cpp) and layout (ViewerDlgLayout.cpp).
    const DibImage& pictureInUse() const { return m_Live.pictureInUse(); }
    ViewGeometry shownGeometry() const { return m_Live.shownPicture().geometry; }
    // A zoom chosen by index: the picture point under anchor stays put (none: the view's centre).
    void SetZoom(int zoomIndex, std::optional<QPointF> anchor = std::nullopt);
    // The zoom list's choice, about the view's centre (or anchor).
    void zoomChosen(std::optional<QPointF> anchor = std::nullopt);
    void ScrollTo(double baiX, double baiY);
    void updateView(const Rect& previous);
    void updateViewArea();
    void showPublishedView();
    void OnPaint(QPainter& painter);
    void OnSize();
    void RelayoutView();
    void OnZoomChange();
    void OnTogglePanel();
    void OnToggleStrip();

    // --- Measurements: results, DELETE, CLEAR, CSV, calibration and the overlay (ViewerDlgMeasure.cpp).
    ResultsTable resultsTable() const;
    void OnSelchangeCalib();
    // The calibration list as the document has it: the stored entries and the one from an opened file.
    void syncCalibCombo();
    void OnDelete();
    void OnClear();
    void OnCsv();
    void OnCalib();
    void OnScale();
    void OnCalibClosed(int result, int position);
    void drawFinished(Dc& dc, const ViewGeometry& geometry, const OverlayColors& colors);
    void drawInProgress(Dc& dc, const ViewGeometry& geometry, const OverlayColors& colors, std::optional<Point> pointer);
    void paintOverlay(QPainter& painter);
    void paintOverview(QPainter& painter, const ViewGeometry& g, ColorRef line);
    void drawOverlayForSave(DibImage& copy);

    // --- Tolerances, the inspection report and recipes (ViewerDlgReport.cpp).
    void createInspection();
    void OnResultsMenu();
    // The picture in use with the measurement drawing at x1, for the report.
    QImage pictureWithDrawing();
    void OnReport();
    void OnSaveRecipe();
    void OnApplyRecipe();

    // --- The mouse and the keys (ViewerDlgMouse.cpp).
    void createInteraction();
    void createShortcuts();
    void SelectTool(int32_t tool);
    // A right click on LINE or CIRCLE: the edge tools that refine it.
    void OnEdgeToolMenu(int button);
    void OnUndo();
    void OnRedo();
    InteractionContext interactionContext();
    void forwardMouse(const QMouseEvent& event, QPoint client, QWidget* cursorOwner);
    void wheel(QWheelEvent* event);
    bool overviewMouse(const QMouseEvent& event, QPoint client, QWidget* cursorOwner);
    StripState stripState() const;
    void applyEffects(const InteractionEffects& fx, QWidget* cursorOwner);
    void applyStrip(const StripEffects& fx, QWidget* cursorOwner, QPoint globalPointer = {});

    // --- Pictures on disk and the strip (ViewerDlgFiles.cpp).
    void OnSave();
    void OnDir();
    // At start: a save folder in the settings that is not there is named, and another one offered.
    void offerSaveFolder();
    void OnThumb();
    // A dialog centred over the window, shrunk to the screen and moved onto it.
    void placeOnScreen(QWidget& dialog) const;
    void OpenPicture(int index);
    void UpdateStripScrollBar();
    void InvalidateStrip();
    // While the store scans the folder: its new entries brought into the strip every few milliseconds.
    void followScan();
    QTimer* m_ScanPoll = nullptr;
    void OnStripCommand(int command);
    Rect stripRect() const;
    int stripHit(QPoint p) const;
    void PaintStrip(QPainter& painter);

    // --- Quick capture (ViewerDlgCapture.cpp).
    void createQuickCapture();
    void quickOptionsChanged();
    // Takes the picture and queues it as options say (the counter counts on); path gets the file's name.
    QuickCapture::Outcome captureNow(CaptureOptions& options, QString* path = nullptr);
    void OnQuick();
    void OnQuickMenu();
    void OnQuickOptions();
    // Adds the thumbnails of the pictures written since, and tells of those that were not.
    void collectCaptures();
    // Waits for the pictures still being written, then collects them.
    void finishCaptures();
    void showCaptureNote(const QString& note);
    // The caption's note naming the last capture, for a few seconds; empty after.
    QString captureNote() const;

    // --- Time-lapse (ViewerDlgTimeLapse.cpp).
    int64_t clockMs() const;
    void OnTimeLapse();
    void startTimeLapse(const TimeLapseOptions& options);
    void stopTimeLapse();
    // Takes the shot that is due (or tries again shortly), and sets the timer for the next one.
    void timeLapseTick();
    // The caption's note while a time-lapse runs and a little after it ended.
    QString timeLapseNote() const;

    // --- Recording (ViewerDlgRecord.cpp).
    void createRecording();
    bool recording() const;
    void OnRecord();
    void OnRecordMenu();
    // Hands the recorder the newest frame, when there is one it has not had.
    void feedRecorder();
    // At the status tick: a recording whose file could not be written is stopped and told.
    void checkRecording();
    void stopRecording();
    // The caption's note while recording: the red dot, the time, the size.
    QString recordNote() const;

    // --- Focus peaking and focus stacking (ViewerDlgStack.cpp).
    void createFocusTools();
    void applyPeaking();
    void OnStack();
    // Offers the collector the newest frame while a stack is collected.
    void feedStack();
    void updateStackButton();
    // Ends the collecting and fuses what was kept behind a progress bar.
    void fuseStack();
    void showStackResult(bool cancelled);
    // The caption's note while frames are collected: how many, and the memory they hold.
    QString stackNote() const;

    // --- The reticle, the grid and the reference picture (ViewerDlgOverlay.cpp).
    void createOverlayTools();
    void overlayToggled();
    bool loadReference(const QString& path, bool tell);
    bool chooseReference();
    void alignReference();
    void nudgeReference(int dx, int dy);
    // The caption's note while the reference is shown: its shift.
    QString referenceNote() const;
    void OnOverlayMenu(int id);
    void runOverlayCommand(int command);
    void askOpacity();
    // Ctrl+drag in the view sets the reticle's centre; true when the event was that.
    bool reticleMouse(const QMouseEvent& event, QPoint client, QWidget* cursorOwner);
    OverlayScale guideScale();
    void drawGuides(Dc& dc, const ViewGeometry& geometry, const OverlayColors& colors);
    // The reference over the live picture, under the measurements.
    void paintReference(QPainter& painter, const ViewGeometry& g);

    // --- SET, COLOR and WB (ViewerDlgSettings.cpp).
    void OnSet();
    void OpenImageSettings();
    void OpenCameraSettings();
    void OnColor();
    void OnWB();
    // The caption's note while a white-balance request waits for the colour conversion.
    QString whiteBalanceNote() const;

    CViewerDlg* q;
    ViewerSession m_Session;
    LiveSettings& m_Settings = m_Session.settings();
    MeasureSession& m_Measure = m_Session.measure();
    ThumbnailStore& m_Thumbnails = m_Session.thumbnails();
    LiveView m_Live { m_Settings };
    WindowPrompts m_Prompts;
    QString m_CameraOption;

    QPixmap m_SkinButtons; // at the screen's device pixel ratio (LoadSkinSheet)
    QPixmap m_SkinTile;
    QPixmap m_SkinArrows;
    DibImage m_SkinBackground; // the tile at 1x, for the strip and the browser
    int m_bLiveStopped = 0;
    QString m_ShownFile; // the saved picture's file name while one is shown, for the caption
    FocusMeter m_Focus;  // the live picture's sharpness with its best since the view last changed
    int m_bSaveOverlay = 0;
    int m_bPanelShown = 1;
    int m_bStripShown = 1;
    int m_bRepaintPending = 0;

    // Declared after the session whose calibration table and scale bar it points into, so its dialogs close
    // before they go.
    CalibDialogOwner m_CalibDialogs;
    ThumbnailGrid m_Grid { kThumbnailWidth, kThumbnailHeight };
    int m_StripContext = -1; // the thumbnail last right-clicked in the strip
    MeasureLayer m_MeasureLayer;
    MeasureInteraction m_Interaction { m_Measure };
    StripMouse m_StripMouse;
    int m_WheelRest = 0;   // wheel turns short of a notch, kept for the next turn
    QImage m_Overview;     // the whole picture, small, for the corner of a magnified view
    QElapsedTimer m_OverviewAge;
    bool m_OverviewDrag = false;
    QRegion m_PaintRegion; // what the paint under way renews
    QRegion m_EraseRegion; // and where of it the background shows

    std::unique_ptr<QuickCapture> m_Capture;
    TimeLapse m_TimeLapse;
    TimeLapseDlg* m_TimeLapseDlg = nullptr;
    QTimer* m_LapseTimer = nullptr;
    QElapsedTimer m_Clock; // the time-lapse's clock
    uint64_t m_LapseFrame = 0; // the frame of the last shot
    int64_t m_LapseDoneAt = -1;
    std::unique_ptr<VideoRecorder> m_Recorder; // while recording
    QString m_RecordPath;
    uint64_t m_RecordedFrame = 0; // the number of the last frame handed to the recorder
    uint64_t m_RecordSkipped = 0; // frames that came and went between two looks
    StackCollector m_Stack;
    bool m_Stacking = false;
    uint64_t m_StackFrame = 0; // the number of the last frame offered to the collector
    std::unique_ptr<FocusStackJob> m_StackJob; // while fusing
    QShortcut* m_QuickKey = nullptr;
    QString m_CaptureNote;
    QElapsedTimer m_CaptureNoteAge;

    QCheckBox* m_ReticleCheck = nullptr;
    QCheckBox* m_GridCheck = nullptr;
    QCheckBox* m_ReferenceCheck = nullptr;
    std::vector<QShortcut*> m_NudgeKeys; // the arrows, enabled while the reference is shown
    bool m_CentreDrag = false;
    DibImage m_Reference; // the reference picture as opened (aligned against the live picture)
    ReferenceOverlay m_ReferenceOverlay;

    std::map<int, QWidget*> m_Controls;
    QComboBox* m_Zoom = nullptr;
    QCheckBox* m_SnapCheck = nullptr; // snapping the tools' points to edges
    QCheckBox* m_PeakingCheck = nullptr;
    QPushButton* m_StackButton = nullptr;
    QComboBox* m_CalibCombo = nullptr;
    QTableView* m_Results = nullptr;
    QScrollBar* m_StripScroll = nullptr;
    QFrame* m_View = nullptr;
    QTimer* m_ViewPoll = nullptr;
    int m_TimerId = 0;
    bool m_FirstShow = true;
    bool m_Destroyed = false;
};
