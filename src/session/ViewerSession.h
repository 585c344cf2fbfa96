// ViewerSession: the viewer's lasting state in one place, loaded and saved together: the settings file
// (NxQb740Le.ini) with its calibration section, the camera choice and the window placement, and the save
// folder's ThumbNail file, with the objects they fill: the live settings, the measuring document (calibration
// table, scale bar) and the thumbnail store.
#pragma once

#include <QString>

#include <string>

#include "files/CaptureOptions.h"
#include "files/PictureTags.h"
#include "files/TimeLapse.h"
#include "files/ThumbnailStore.h"
#include "live/LiveSettings.h"
#include "measure/MeasureSession.h"
#include "measure/Reticle.h"
#include "session/FileLocations.h"

class ViewerSession {
public:
    // folder: where NxQb740Le.ini and the "bmp" folder live.
    explicit ViewerSession(const QString& folder);
    explicit ViewerSession(const FileLocations& files);
    ViewerSession(const ViewerSession&) = delete;
    ViewerSession& operator=(const ViewerSession&) = delete;

    const FileLocations& files() const { return m_Files; }
    QString settingsPath() const { return m_Files.settingsPath; }
    LiveSettings& settings() { return m_Settings; }
    MeasureSession& measure() { return m_Measure; }
    ThumbnailStore& thumbnails() { return m_Thumbnails; }
    // Quick capture's options and counter, and the JPEG quality SAVE shares.
    CaptureOptions& captureOptions() { return m_Capture; }
    // The time-lapse dialog's values.
    TimeLapseOptions& timeLapseOptions() { return m_TimeLapse; }
    // The reticle, grid and reference overlay.
    OverlayOptions& overlayOptions() { return m_Overlay; }
    const OverlayOptions& overlayOptions() const { return m_Overlay; }

    // Reads the settings file (a missing one gives the defaults with the first start's values, see
    // SettingsFile::FirstStart): the settings, the calibration table with its factors, the scale bar, the
    // camera choice, and the save folder (made when absent) with its pictures. The settings file's folder is
    // made too, so that the first save has somewhere to go.
    void load();
    // The save folder the settings name when it is not there (a Shift-JIS name is read decoded, and a folder
    // copied bearing its Shift-JIS bytes is not found by it), else empty; the strip is then empty.
    const QString& missingSaveFolder() const { return m_MissingSaveFolder; }
    // The settings' camera: "own", a video device's path or empty (automatic); the frame size asked of a
    // video device ("1280x720", or empty).
    const std::string& cameraSource() const { return m_CameraSource; }
    const std::string& cameraSize() const { return m_CameraSize; }
    // The window's placement as stored, current where the file has none.
    WindowPlacement placement(const Rect& current) const;

    // What a PNG or TIFF saved now carries: the selected calibration's scale, and it with the measurements.
    PictureTags pictureTags();
    // A picture was opened with these tags (none for BMP and JPEG): its calibration becomes the entry "from
    // file", selected, beside the ten stored ones (a picture without one drops an earlier file's entry), and
    // its measurements replace the list, undoably. Returns what was ignored, for the person: the reader's
    // findings and the document's.
    IgnoredTags adoptPictureTags(const PictureTags& tags, IgnoredTags ignored, const DibImage* picture);

    // Writes calibration entry position into the settings file's CALIBRATION section at once, the rest of
    // the file kept. A file that sets CalibrationLocked=1 there is left untouched (true: nothing to do);
    // false when the file could not be read or written.
    bool saveCalibration(int position);

    // Writes the settings (with the zoom index, the selected calibration and the window's placement) and the save folder's ThumbNail
    // file; false when either could not be written. The savedir key keeps the file's value unless the save
    // folder was changed.
    bool save(int32_t zoomIndex, const WindowPlacement& placement);

private:
    FileLocations m_Files;
    LiveSettings m_Settings;
    MeasureSession m_Measure;
    ThumbnailStore m_Thumbnails;
    CaptureOptions m_Capture;
    TimeLapseOptions m_TimeLapse;
    OverlayOptions m_Overlay;
    std::string m_CameraSource;
    std::string m_CameraSize;
    QString m_LoadedSaveFolder; // as read at start: written back only when changed since
    QString m_MissingSaveFolder;
};
