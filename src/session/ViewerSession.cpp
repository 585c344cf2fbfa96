// Loading and saving the viewer's lasting state.
#include "session/ViewerSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <optional>

#include "measure/PictureNotes.h"
#include "platform/PrivateProfile.h"

namespace {

// The settings key naming the camera: "own", a video device's path, or empty for the automatic choice.
constexpr const char* kCameraSourceKey = "CameraSource";
// The key giving a video device's frame size ("1280x720"; empty: the largest up to the sensor's size).
constexpr const char* kCameraSizeKey = "CameraSize";
// The calibration selected when the viewer last ended (0..9).
constexpr const char* kCalibIndexKey = "CalibIndex";
constexpr const char* kSaveDirKey = "savedir";

ProfileFile readFile(const QString& path)
{
    ProfileFile file;
    file.load(path);
    return file;
}

// The bytes of key's value as the file holds them when its line is Shift-JIS (the profile reads such a line
// decoded to UTF-8, and would write it back so); nullopt for a UTF-8 line or none whose value reads as decoded.
std::optional<std::string> shiftJisValue(const QString& path, const char* key, const std::string& decoded)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > ProfileFile::kMaxFileBytes)
        return std::nullopt;
    for (const QByteArray& raw : f.readAll().replace('\r', '\n').split('\n')) {
        const qsizetype eq = raw.indexOf('='); // never a Shift-JIS trail byte (0x40 and up)
        if (eq < 0 || raw.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0
            || ProfileTextToUtf8(raw.toStdString()) == raw.toStdString())
            continue;
        QByteArray value = raw.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.mid(1, value.size() - 2);
        if (ProfileTextToUtf8(value.toStdString()) == decoded)
            return value.toStdString();
    }
    return std::nullopt;
}

} // namespace

ViewerSession::ViewerSession(const QString& folder)
    : ViewerSession(FileLocations::Beside(folder))
{
}

ViewerSession::ViewerSession(const FileLocations& files)
    : m_Files(files)
{
    // The scale bar starts near the bottom right corner of the capture window.
    m_Settings.change([](ViewerSettings& s) { s.m_ScaleData.Pos = { s.EH - 50, s.EV - 50 }; });
}

void ViewerSession::load()
{
    const QString saveFolder = m_Files.defaultSaveFolder;
    QDir().mkpath(saveFolder);
    QDir().mkpath(QFileInfo(m_Files.settingsPath).path());
    // Only a file that is not there at all is a first start: one that cannot be read keeps the stored defaults.
    const QString source = m_Files.readPath();
    const bool firstStart = !QFileInfo::exists(source);
    const ProfileFile file = readFile(source);
    ViewerSettings values = m_Settings.values();
    SettingsFile::Load(file, values, &m_Measure.calibration(), saveFolder);
    if (firstStart)
        SettingsFile::FirstStart(values);
    m_Measure.calibration().recomputeFactors();
    m_Settings.replace(values);
    m_Measure.scale() = values.m_ScaleData;
    const int calibIndex = file.intValue(SettingsFile::kSection, kCalibIndexKey, 0);
    m_Measure.selectCalibration(calibIndex >= 0 && calibIndex < CalibTable::kCount ? calibIndex : 0, nullptr);
    m_CameraSource = file.value(SettingsFile::kSection, kCameraSourceKey).value_or(std::string());
    m_CameraSize = file.value(SettingsFile::kSection, kCameraSizeKey).value_or(std::string());
    m_Capture = CaptureOptions::Load(file);
    m_TimeLapse = TimeLapseOptions::Load(file);
    m_Overlay = OverlayOptions::Load(file);
    m_LoadedSaveFolder = values.savedir;
    m_Thumbnails.Clear();
    m_Thumbnails.setSaveFolder(values.savedir);
    // A folder the settings name that is not there is neither read nor made: the window tells the user.
    const bool named = !file.value(SettingsFile::kSection, kSaveDirKey).value_or(std::string()).empty();
    m_MissingSaveFolder.clear();
    if (named && !QFileInfo(values.savedir).isDir()) {
        m_MissingSaveFolder = values.savedir;
        return;
    }
    m_Thumbnails.Load(ThumbnailStore::FileIn(values.savedir));
    m_Thumbnails.ScanFolder(values.savedir);
}

bool ViewerSession::saveCalibration(int position)
{
    if (position < 0 || position >= CalibTable::kCount)
        return false;
    ProfileFile file;
    // A file that is there but cannot be read must not be replaced by one holding the calibration alone.
    const QString source = m_Files.readPath();
    if (!file.load(source) && QFileInfo::exists(source))
        return false;
    if (SettingsFile::CalibrationLocked(file))
        return true;
    return SettingsFile::SaveCalibration(file, m_Measure.calibration()[position]) && file.save(m_Files.settingsPath);
}

PictureTags ViewerSession::pictureTags()
{
    const CalibEntry& c = m_Measure.selectedCalib();
    PictureTags tags;
    const auto usable = [](double f) { return std::isfinite(f) && f > 0.0; };
    if (!unitText(c.unit).isEmpty() && usable(c.mppX) && usable(c.mppY)) {
        tags.unit = unitText(c.unit);
        tags.unitsPerPixelX = c.mppX;
        tags.unitsPerPixelY = c.mppY;
    }
    tags.notes = EncodeNotes(c, m_Measure.items());
    return tags;
}

IgnoredTags ViewerSession::adoptPictureTags(const PictureTags& tags, IgnoredTags ignored, const DibImage* picture)
{
    std::optional<PictureNotes> notes;
    if (!tags.notes.isEmpty())
        notes = DecodeNotes(tags.notes, ignored);
    std::optional<CalibEntry> calib = notes ? notes->calib : std::nullopt;
    if (!calib && tags.hasScale())
        calib = CalibFromScale(QString(), tags.unit, tags.unitsPerPixelX, tags.unitsPerPixelY);
    m_Measure.setFileCalibration(calib);
    if (calib)
        m_Measure.selectCalibration(CalibTable::kCount, picture);
    if (notes)
        m_Measure.replaceItems(notes->items, picture);
    return ignored;
}

WindowPlacement ViewerSession::placement(const Rect& current) const
{
    return SettingsFile::LoadPlacement(readFile(m_Files.readPath()), current);
}

bool ViewerSession::save(int32_t zoomIndex, const WindowPlacement& placement)
{
    m_Settings.change([&](ViewerSettings& s) {
        s.m_Bai = zoomIndex;
        s.savedir = m_Thumbnails.saveFolder();
        s.m_ScaleData = m_Measure.scale();
    });
    // Until the user's own file exists, the seed's keys and calibrations are carried into it.
    const QString source = m_Files.readPath();
    ProfileFile file = readFile(source);
    // The folder is written back only when the user chose another one: a Shift-JIS name from a Windows
    // settings file is read decoded, and the folder copied with it may still bear the Shift-JIS bytes.
    const bool folderKept = m_Thumbnails.saveFolder() == m_LoadedSaveFolder;
    const std::optional<std::string> storedFolder = file.value(SettingsFile::kSection, kSaveDirKey);
    SettingsFile::Save(file, m_Settings.values());
    if (folderKept && storedFolder)
        file.setValue(SettingsFile::kSection, kSaveDirKey,
            shiftJisValue(source, kSaveDirKey, *storedFolder).value_or(*storedFolder));
    file.setValue(SettingsFile::kSection, kCalibIndexKey, std::to_string(m_Measure.storedCalibIndex()));
    SettingsFile::SavePlacement(file, placement);
    m_Capture.save(file);
    m_TimeLapse.save(file);
    m_Overlay.save(file);
    const bool settingsSaved = file.save(m_Files.settingsPath);
    // An empty store removes the file: nothing to write, nothing lost.
    const bool thumbnailsSaved
        = m_Thumbnails.Save(ThumbnailStore::FileIn(m_Thumbnails.saveFolder())) != 0 || m_Thumbnails.count() == 0;
    return settingsSaved && thumbnailsSaved;
}
