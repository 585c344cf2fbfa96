// Reading and writing the settings file: keys, forms and order as the file has always had them.
#include "live/ViewerSettings.h"

#include <QDir>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "calib/CalibTable.h"
#include "imaging/DibImage.h"
#include "platform/PrivateProfile.h"
#include "platform/StringTable.h"

namespace SettingsFile {

namespace {

constexpr size_t kDoubleBuffer = 64; // doubles are read as at most 63 characters
constexpr size_t kPathBuffer = 260; // savedir
constexpr size_t kNameBuffer = 256; // calibration names

// Reads the keys of one section with the current values as defaults.
class Reader {
public:
    Reader(const ProfileFile& file, const char* section)
        : m_File(file)
        , m_Section(section)
    {
    }
    void Int(const char* key, int32_t& v) const { v = m_File.intValue(m_Section, key, v); }
    void UInt(const char* key, uint32_t& v) const { v = uint32_t(m_File.intValue(m_Section, key, int(v))); }
    // Narrow members keep the low bits of the value, as a cast of the int would.
    template <typename T> void Narrow(const char* key, T& v) const { v = T(m_File.intValue(m_Section, key, int(v))); }
    void Double(const char* key, double& v) const
    {
        v = ParseDouble(m_File.stringValue(m_Section, key, FormatDouble(v), kDoubleBuffer));
    }
    QString String(const char* key, const QString& defaultValue, size_t buffer) const
    {
        return QString::fromStdString(m_File.stringValue(m_Section, key, defaultValue.toStdString(), buffer));
    }
    void Path(const char* key, QString& v) const { v = String(key, v, kPathBuffer); }
    void Name(const char* key, QString& v) const { v = String(key, v, kNameBuffer); }

private:
    const ProfileFile& m_File;
    const char* m_Section;
};

class Writer {
public:
    explicit Writer(ProfileFile& file, const char* section = kSection)
        : m_File(file)
        , m_Section(section)
    {
    }
    // Every integer form is written with "%d" of its value as an int.
    void Int(const char* key, int64_t v) { set(key, std::to_string(int32_t(v))); }
    void UInt(const char* key, int64_t v) { Int(key, v); }
    void Narrow(const char* key, int64_t v) { Int(key, v); }
    void Double(const char* key, double v) { set(key, FormatDouble(v)); }
    void Path(const char* key, const QString& v) { set(key, v.toStdString()); }
    void Name(const char* key, const QString& v) { set(key, v.toStdString()); }
    // False once any value was refused.
    bool ok() const { return m_Ok; }

private:
    void set(const char* key, const std::string& v) { m_Ok = m_File.setValue(m_Section, key, v) && m_Ok; }

    ProfileFile& m_File;
    const char* m_Section;
    bool m_Ok = true;
};

// Every "NX-QB740LE" key in the file's order, with its form, for a Reader (loading) or a Writer (saving).
template <typename Keys, typename Settings> void MainKeys(Keys& k, Settings& s)
{
    k.Int("type", s.type);
    k.Int("resize", s.resize);
    k.UInt("color.text", s.color.text);
    k.UInt("color.line", s.color.line);
    k.Int("TH", s.TH);
    k.Int("TV", s.TV);
    k.Int("EH", s.EH);
    k.Int("EV", s.EV);
    k.Int("EHS", s.EHS);
    k.Int("EVS", s.EVS);
    k.Int("timer", s.timer);
    k.Int("BufSize", s.BufSize);
    k.Int("Clock", s.Clock);
    k.Int("Gamma", s.Gamma);
    k.Narrow("GlovalGain", s.GlovalGain);
    k.Narrow("ColorGainG1", s.ColorGainG1);
    k.Narrow("ColorGainR", s.ColorGainR);
    k.Narrow("ColorGainB", s.ColorGainB);
    k.Narrow("ColorGainG2", s.ColorGainG2);
    k.Narrow("Shutter", s.Shutter);
    k.Int("MirrorV", s.MirrorV);
    k.Int("m_WB_R", s.m_WB_R);
    k.Int("m_WB_G", s.m_WB_G);
    k.Int("m_WB_B", s.m_WB_B);
    k.Int("m_WB_Flg", s.m_WB_Flg);
    k.Int("m_Bai", s.m_Bai);
    k.Double("m_Bai_X", s.m_Bai_X);
    k.Double("m_Bai_Y", s.m_Bai_Y);
    k.Path("savedir", s.savedir);
    k.Double("m_BayerR", s.m_BayerR);
    k.Double("m_BayerG", s.m_BayerG);
    k.Double("m_BayerB", s.m_BayerB);
    k.Int("m_BayerFlg", s.m_BayerFlg);
    k.Int("m_InterlaceFlg", s.m_InterlaceFlg);
    k.Int("m_Interlace", s.m_Interlace);
    k.Int("m_BinaryFlg", s.m_BinaryFlg);
    k.Int("m_Binary", s.m_Binary);
    k.Int("m_BayerMode", s.m_BayerMode);
    k.Int("m_RGBFlg", s.m_RGBFlg);
    k.Int("m_YUVFlg", s.m_YUVFlg);
    k.Int("m_LOGFlg", s.m_LOGFlg);
    k.Int("m_AutoIrisFlg", s.m_AutoIrisFlg);
    k.Int("m_AutoIrisMode", s.m_AutoIrisMode);
    k.Narrow("m_IOWdata", s.m_IOWdata);
    k.Int("m_HLS.H", s.m_HLS.H);
    k.Int("m_HLS.L", s.m_HLS.L);
    k.Int("m_HLS.S", s.m_HLS.S);
    k.Int("m_HLS.C", s.m_HLS.C);
    k.Int("m_HLS.SP", s.m_HLS.SP);
    k.Int("m_ScaleData.Visible", s.m_ScaleData.Visible);
    k.Int("m_ScaleData.Type", s.m_ScaleData.Type);
    k.Int("m_ScaleData.Pos.x", s.m_ScaleData.Pos.x);
    k.Int("m_ScaleData.Pos.y", s.m_ScaleData.Pos.y);
    k.Int("m_ScaleData.Size.cx", s.m_ScaleData.Size.cx);
    k.Int("m_ScaleData.Size.cy", s.m_ScaleData.Size.cy);
    k.Double("m_ScaleData.Scale.x", s.m_ScaleData.Scale.x);
    k.Double("m_ScaleData.Scalexy", s.m_ScaleData.Scalexy);
}

std::string keyOf(const char* name, int i)
{
    return std::string(name) + "_" + std::to_string(i);
}

// The CALIBRATION keys of entry i in the file's order, for a Reader or a Writer.
template <typename Keys, typename Entry> void CalibKeys(Keys& k, Entry& e, int i)
{
    k.Name(keyOf("name", i).c_str(), e.name);
    k.Double(keyOf("length.x", i).c_str(), e.lengthX);
    k.Double(keyOf("length.y", i).c_str(), e.lengthY);
    k.Int(keyOf("unit", i).c_str(), e.unit);
    k.Double(keyOf("mpp.x", i).c_str(), e.mppX);
    k.Double(keyOf("mpp.y", i).c_str(), e.mppY);
    k.Double(keyOf("left", i).c_str(), e.left);
    k.Double(keyOf("top", i).c_str(), e.top);
    k.Double(keyOf("right", i).c_str(), e.right);
    k.Double(keyOf("bottom", i).c_str(), e.bottom);
}

} // namespace

std::string FormatDouble(double v)
{
    char buf[400]; // "%f" of the largest double has 309 digits before the point
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.000000");
}

double ParseDouble(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i < text.size() && text[i] == '+')
        ++i;
    double v = 0.0;
    const auto r = std::from_chars(text.data() + i, text.data() + text.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v))
        return 0.0;
    return v;
}

QString PathIn(const QString& folder)
{
    return QDir(folder).filePath("NxQb740Le.ini");
}
QString DefaultSaveFolder(const QString& folder)
{
    return QDir(folder).filePath("bmp");
}

void Load(const ProfileFile& file, ViewerSettings& s, CalibTable* calib, const QString& defaultSaveFolder)
{
    // These keys have fixed defaults rather than the current values.
    s.m_WB_Flg = 0;
    s.m_Bai = 1;
    s.m_IOWdata = 0;
    s.savedir.clear();
    const Reader r(file, kSection);
    MainKeys(r, s);
    // The combo has six entries: anything else would leave it without a selection and the zoom undefined.
    if (s.m_Bai < 0 || s.m_Bai >= kZoomEntries)
        s.m_Bai = 1;
    // The view may be drawn before the first layout clamps the scroll to the picture: the offsets are held to
    // 0 or negative and never past the widest picture there can be, so they always convert to pixel positions.
    s.m_Bai_X = std::clamp(s.m_Bai_X, -double(DibImage::kMaxBytes), 0.0);
    s.m_Bai_Y = std::clamp(s.m_Bai_Y, -double(DibImage::kMaxBytes), 0.0);
    if (s.savedir.isEmpty())
        s.savedir = defaultSaveFolder;

    if (calib) {
        const Reader c(file, kCalibSection);
        const QString base = LoadString(1006);
        for (int i = 0; i < CalibTable::kCount; ++i) {
            CalibEntry& e = (*calib)[i];
            // Every key of this section has a fixed default: the values below.
            e.name = base + QString::number(i + 1);
            e.lengthX = 10.0;
            e.lengthY = 10.0;
            e.unit = 0;
            e.mppX = 0.0;
            e.mppY = 0.0;
            e.left = 0.0;
            e.top = 0.0;
            e.right = 200.0;
            e.bottom = 200.0;
            CalibKeys(c, e, i);
        }
    }
}

void Save(ProfileFile& file, const ViewerSettings& s)
{
    Writer w(file);
    MainKeys(w, s);
}

void FirstStart(ViewerSettings& s)
{
    s.m_BayerFlg = 1;
    s.m_AutoIrisFlg = 1;
    s.m_AutoIrisMode = 1; // the shutter first: raising the gain would add noise
    s.m_Bai = 0;
}

bool CalibrationLocked(const ProfileFile& file)
{
    return file.intValue(kCalibSection, "CalibrationLocked", 0) != 0;
}

bool SaveCalibration(ProfileFile& file, const CalibEntry& entry)
{
    Writer w(file, kCalibSection);
    CalibKeys(w, entry, entry.position);
    return w.ok();
}

WindowPlacement LoadPlacement(const ProfileFile& file, const Rect& current)
{
    WindowPlacement p;
    p.normal.left = file.intValue(kSection, "Window_Left", current.left);
    p.normal.right = file.intValue(kSection, "Window_Right", current.right);
    p.normal.top = file.intValue(kSection, "Window_Top", current.top);
    p.normal.bottom = file.intValue(kSection, "Window_Bottom", current.bottom);
    p.maximised = file.intValue(kSection, "Window_Max", 0) != 0;
    return p;
}

void SavePlacement(ProfileFile& file, const WindowPlacement& placement)
{
    Writer w(file);
    w.Int("Window_Max", placement.maximised ? 1 : 0);
    w.Int("Window_Left", placement.normal.left);
    w.Int("Window_Right", placement.normal.right);
    w.Int("Window_Top", placement.normal.top);
    w.Int("Window_Bottom", placement.normal.bottom);
}

Rect ClampToScreen(const Rect& window, const Rect& available, const Rect& fallback)
{
    Rect r = window.isEmpty() ? fallback : window;
    if (available.isEmpty())
        return r;
    // The file's numbers may span the whole int range: sizes are taken in 64 bits, where nothing overflows.
    const int64_t w = std::min<int64_t>(int64_t(r.right) - r.left, available.width());
    const int64_t h = std::min<int64_t>(int64_t(r.bottom) - r.top, available.height());
    const auto left = int32_t(std::clamp<int64_t>(r.left, available.left, available.right - w));
    const auto top = int32_t(std::clamp<int64_t>(r.top, available.top, available.bottom - h));
    return { left, top, int32_t(left + w), int32_t(top + h) };
}

} // namespace SettingsFile
