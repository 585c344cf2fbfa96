// CViewerDlg: the main window. It owns the long-lived objects (frame and skin images, the measurement list
// and the calibration table, the settings values), places the controls of its template, draws the skinned
// look, keeps the view's zoom, scroll and layout, and loads and saves the settings file. Its state is its own:
// others reach it through the accessors below.
#pragma once

#include <QDialog>
#include <QRegion>

#include <functional>
#include <map>

#include "app/SkinCells.h"
#include "live/LiveSettings.h"
#include "live/LiveView.h"
#include "calib/ui/CalibDialogOwner.h"
#include "files/ui/FileDialogs.h"
#include "files/ThumbnailGrid.h"
#include "files/ThumbnailStore.h"
#include "imaging/DibImage.h"
#include "measure/MeasureInteraction.h"
#include "measure/MeasureLayer.h"
#include "measure/MeasureSession.h"
#include "measure/ui/ResultsTable.h"
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
    // The live pipeline: camera, frame images, display thread, the pictures shown.
    LiveView& liveView() { return m_Live; }
    // The picture the view shows (see LiveView::pictureInUse).
    const DibImage& PictureInUse() const { return m_Live.pictureInUse(); }

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

    ThumbnailStore& thumbnails() { return m_Thumbnails; }
    // The measurements: items, calibration, scale bar and results rows.
    MeasureSession& measureSession() { return m_Measure; }
    const DibImage& skinButtons() const { return m_SkinButtons; }
    const DibImage& skinArrows() const { return m_SkinArrows; }
    const DibImage& skinBackground() const { return m_SkinBackground; }

    QWidget* control(int id) const;
    QString settingsPath() const { return m_SettingsPath; }
    SkinState skinState() const;
    bool liveStopped() const { return m_bLiveStopped != 0; }
    bool repaintPending() const { return m_bRepaintPending != 0; }
    void setRepaintPending() { m_bRepaintPending = 1; }
    bool saveOverlay() const { return m_bSaveOverlay != 0; }
    bool panelShown() const { return m_bPanelShown != 0; }
    bool stripShown() const { return m_bStripShown != 0; }
    // The question asked before closing on Japanese systems; tests replace it.
    std::function<bool(QWidget*)> confirmClose;


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
    void showPublishedView();
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

    LiveView m_Live { m_Settings };
    // Skins.
    DibImage m_SkinButtons;
    DibImage m_SkinBackground;
    DibImage m_SkinArrows;

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
    QTimer* m_ViewPoll = nullptr;

    // --- SET: the Image Setting dialog while the live view runs (with the live histogram it shows), the
    // Camera Setting dialog while it is stopped.
public:
    void OnSet();
    // Opens the Image Setting dialog modally; the live view keeps running underneath.
    void OpenImageSettings();
    // The Image Setting dialog while it is open, else null.
    CImageSetDlg* imageSetDialog() const { return m_pImageSetDlg; }

private:
    void OpenCameraSettings();
    CImageSetDlg* m_pImageSetDlg = nullptr;

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
    // Tells that the camera was lost (a message box on the user-interface thread); tests replace it.
    std::function<void(const QString&)> tellCameraLost;
    // The caption: text, followed by the source's name unless the source is the own camera (which text names).
    QString captionFor(const QString& text);

private:
    void openSource();
    // Starts the camera under the wait cursor: opening one afresh takes a while.
    void startCamera();
    void startViewPoll();
    // Handles a camera the live view lost: stops it and tells; false when there was none.
    bool takeSourceLoss();
    QString m_CameraOption;
};
