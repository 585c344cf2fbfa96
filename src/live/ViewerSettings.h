// The viewer's lasting settings: the values kept in NxQb740Le.ini beside the executable, named after their
// keys, with their start values, and how they are read from and written to the file.
#pragma once

#include <QString>

#include <cstdint>

#include "calib/ScaleData.h"
#include "imaging/BitmapHeader.h"
#include "imaging/Kernels.h"
#include "imaging/Rect.h"

class CalibTable;
struct CalibEntry;
class ProfileFile;

struct OverlayColors {
    ColorRef text = 0xFFFF00;
    ColorRef line = 0x00FF00;
};

struct ViewerSettings {
    int32_t type = 1;
    int32_t resize = 3;
    OverlayColors color;
    int32_t TH = 2048, TV = 1536, EH = 2048, EV = 1536, EHS = 0, EVS = 0;
    int32_t timer = 0, BufSize = 10, Clock = 0;
    int32_t Gamma = 100;
    uint8_t GlovalGain = 14, ColorGainG1 = 14, ColorGainR = 14, ColorGainB = 14, ColorGainG2 = 14;
    uint16_t Shutter = 536;
    int32_t MirrorV = 1;
    int32_t m_WB_Flg = 0, m_WB_R = 0, m_WB_G = 0, m_WB_B = 0;
    int32_t m_Bai = 1; // zoom combo selection as stored
    double m_Bai_X = 0.0, m_Bai_Y = 0.0;
    QString savedir; // empty: the "bmp" folder beside the executable
    double m_BayerR = 1.0, m_BayerG = 1.0, m_BayerB = 1.0;
    int32_t m_BayerFlg = 0, m_InterlaceFlg = 0, m_Interlace = 600, m_BinaryFlg = 0, m_Binary = 128, m_BayerMode = 0;
    int32_t m_RGBFlg = 0, m_YUVFlg = 0, m_LOGFlg = 0, m_AutoIrisFlg = 0, m_AutoIrisMode = 0;
    uint8_t m_IOWdata = 0;
    HlsData m_HLS;
    ScaleData m_ScaleData;
};

// Where the window was: its normal (not maximised) rectangle in screen pixels, and whether it was maximised.
struct WindowPlacement {
    bool maximised = false;
    Rect normal;
};

namespace SettingsFile {

constexpr const char* kSection = "NX-QB740LE";
constexpr const char* kCalibSection = "CALIBRATION";
constexpr int kZoomEntries = 6;

// "<folder>/NxQb740Le.ini" and "<folder>/bmp" for the executable's folder.
QString PathIn(const QString& folder);
QString DefaultSaveFolder(const QString& folder);

// Reads every "NX-QB740LE" key in the file's order (the current values are the defaults; m_WB_Flg, m_Bai and
// m_IOWdata have fixed defaults), then the CALIBRATION section into calib when it is given. An empty savedir
// becomes defaultSaveFolder.
void Load(const ProfileFile& file, ViewerSettings& s, CalibTable* calib, const QString& defaultSaveFolder);
// Writes the "NX-QB740LE" keys in order; the CALIBRATION section is not written here.
void Save(ProfileFile& file, const ViewerSettings& s);
// What a first start (no settings file yet) shows instead of the stored defaults: the colour picture (the own
// camera's Bayer phase is the default m_BayerMode; a video device that reports its phase overrides it), auto
// exposure by the shutter, and the whole picture fitted to the view. A file that exists keeps its values and
// the stored defaults for keys it lacks.
void FirstStart(ViewerSettings& s);

// Whether the CALIBRATION section says "CalibrationLocked=1": a prepared file whose calibrations the
// viewer only reads.
bool CalibrationLocked(const ProfileFile& file);
// Writes the CALIBRATION keys of the entry at its position, in the forms Load reads. False when a value
// was refused (a name with a line break): the profile is then not to be saved.
bool SaveCalibration(ProfileFile& file, const CalibEntry& entry);

// The placement stored in the file, with current as the default for missing keys.
WindowPlacement LoadPlacement(const ProfileFile& file, const Rect& current);
void SavePlacement(ProfileFile& file, const WindowPlacement& placement);
// A placement moved and if need be shrunk to lie on the available screen area; a rectangle without size
// gives fallback (also moved onto the screen).
Rect ClampToScreen(const Rect& window, const Rect& available, const Rect& fallback);

// "%f" and atof, independent of the process's locale; text that is no finite number reads as 0.
std::string FormatDouble(double v);
double ParseDouble(std::string_view text);

} // namespace SettingsFile
