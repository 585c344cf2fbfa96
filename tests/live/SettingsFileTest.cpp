// The settings file: defaults, key order and forms, narrowing, doubles, the CALIBRATION section and the
// window placement.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>

#include "live/ViewerSettings.h"
#include "calib/CalibTable.h"
#include "imaging/DibImage.h"
#include "platform/Language.h"
#include "platform/PrivateProfile.h"

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// The keys of a section in file order.
std::vector<std::string> keysOf(const std::string& text, const std::string& section)
{
    std::vector<std::string> keys;
    bool inside = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        if (!line.empty() && line[0] == '[')
            inside = line == "[" + section + "]";
        else if (inside && line.find('=') != std::string::npos)
            keys.push_back(line.substr(0, line.find('=')));
        start = end + 1;
    }
    return keys;
}

} // namespace

TEST(SettingsFile, NoFile_KeepsConstructorValues)
{
    ProfileFile empty;
    ViewerSettings s;
    CalibTable calib;
    SettingsFile::Load(empty, s, &calib, "/x/bmp");
    const ViewerSettings d;
    EXPECT_EQ(s.EH, 2048);
    EXPECT_EQ(s.Shutter, 536);
    EXPECT_EQ(s.GlovalGain, 14);
    EXPECT_EQ(s.color.text, 0xFFFF00u);
    EXPECT_EQ(s.m_Bai, 1);
    EXPECT_EQ(s.m_Interlace, 600);
    EXPECT_EQ(s.m_ScaleData.Pos.x, 1998);
    EXPECT_EQ(s.m_ScaleData.Pos.y, 1486);
    EXPECT_EQ(s.savedir, "/x/bmp");
    EXPECT_EQ(calib[0].name, "Data1");
    EXPECT_EQ(calib[9].name, "Data10");
    EXPECT_DOUBLE_EQ(calib[3].right, 200.0);
}

TEST(SettingsFile, Save_WholeSectionInOrderAndNoCalibration)
{
    ProfileFile file;
    ViewerSettings s;
    SettingsFile::Save(file, s);
    SettingsFile::SavePlacement(file, { false, { 10, 20, 110, 220 } });
    const std::string text = file.text();
    const std::vector<std::string> expected = { "type", "resize", "color.text", "color.line", "TH", "TV", "EH", "EV",
        "EHS", "EVS", "timer", "BufSize", "Clock", "Gamma", "GlovalGain", "ColorGainG1", "ColorGainR", "ColorGainB",
        "ColorGainG2", "Shutter", "MirrorV", "m_WB_R", "m_WB_G", "m_WB_B", "m_WB_Flg", "m_Bai", "m_Bai_X", "m_Bai_Y",
        "savedir", "m_BayerR", "m_BayerG", "m_BayerB", "m_BayerFlg", "m_InterlaceFlg", "m_Interlace", "m_BinaryFlg",
        "m_Binary", "m_BayerMode", "m_RGBFlg", "m_YUVFlg", "m_LOGFlg", "m_AutoIrisFlg", "m_AutoIrisMode", "m_IOWdata",
        "m_HLS.H", "m_HLS.L", "m_HLS.S", "m_HLS.C", "m_HLS.SP", "m_ScaleData.Visible", "m_ScaleData.Type",
        "m_ScaleData.Pos.x", "m_ScaleData.Pos.y", "m_ScaleData.Size.cx", "m_ScaleData.Size.cy", "m_ScaleData.Scale.x",
        "m_ScaleData.Scalexy", "Window_Max", "Window_Left", "Window_Right", "Window_Top", "Window_Bottom" };
    EXPECT_EQ(keysOf(text, "NX-QB740LE"), expected);
    EXPECT_EQ(text.find("[CALIBRATION]"), std::string::npos);
    EXPECT_NE(text.find("\nm_Bai_X=0.000000\n"), std::string::npos); // doubles with six decimals
    EXPECT_NE(text.find("\ncolor.text=16776960\n"), std::string::npos);
    EXPECT_NE(text.find("\nm_BayerR=1.000000\n"), std::string::npos);
}

TEST(SettingsFile, Load_NarrowsGainsAndReadsEveryForm)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("NxQb740Le.ini");
    writeFile(path,
        "[NX-QB740LE]\nGlovalGain=300\nShutter=70000\nm_IOWdata=257\nGamma=150\nm_Bai=3\n"
        "m_Bai_X=-12.500000\nm_BayerG=abc\nsavedir=/pictures/today\nm_HLS.SP=4\n"
        "m_ScaleData.Scalexy=2.25\ncolor.line=255\n");
    ProfileFile file;
    ASSERT_TRUE(file.load(path));
    ViewerSettings s;
    SettingsFile::Load(file, s, nullptr, "/x/bmp");
    EXPECT_EQ(s.GlovalGain, 44); // 300 & 0xFF
    EXPECT_EQ(s.Shutter, 70000 & 0xFFFF);
    EXPECT_EQ(s.m_IOWdata, 1);
    EXPECT_EQ(s.Gamma, 150);
    EXPECT_EQ(s.m_Bai, 3);
    EXPECT_DOUBLE_EQ(s.m_Bai_X, -12.5);
    EXPECT_DOUBLE_EQ(s.m_BayerG, 1.0); // atof gives 0 for text that is no number: no gain, so the default
    EXPECT_EQ(s.savedir, "/pictures/today");
    EXPECT_EQ(s.m_HLS.SP, 4);
    EXPECT_DOUBLE_EQ(s.m_ScaleData.Scalexy, 2.25);
    EXPECT_EQ(s.color.line, 255u);
}

TEST(SettingsFile, Load_UnsafeValuesFallBackPerKeyAndAreSavedSane)
{
    // Each value alone in the file; what it reads as (a number that is no picture reads as its default,
    // the value a missing key gives) and what the next save writes.
    const struct {
        const char* key;
        const char* text;
        double read;
    } cases[] = {
        { "m_Bai", "9", 1 }, // no such combo entry
        { "m_Bai", "5", 5 },
        { "m_BayerR", "nan", 1.0 },
        { "m_BayerG", "-inf", 1.0 },
        { "m_BayerB", "inf", 1.0 },
        { "m_BayerB", "1e999", 1.0 },
        { "m_BayerR", "0", 1.0 },
        { "m_BayerR", "0.009", 1.0 },
        { "m_BayerR", "2.000001", 1.0 },
        { "m_BayerR", "0.010000", 0.01 },
        { "m_BayerG", "1.234567", 1.234567 }, // kept exactly, not rounded to the dialog's percent
        { "m_BayerB", "2.000000", 2.0 },
        { "Gamma", "0", 100 },
        { "Gamma", "201", 100 },
        { "Gamma", "200", 200 },
        { "m_Binary", "0", 128 },
        { "m_Binary", "256", 128 },
        { "m_Binary", "1", 1 },
        { "m_Interlace", "-1", 600 },
        { "m_HLS.C", "-128", 0 },
        { "m_HLS.C", "-127", -127 },
        { "m_HLS.SP", "31", 0 },
        { "m_HLS.SP", "30", 30 },
        { "m_HLS.H", "361", 0 },
        { "m_HLS.H", "-360", -360 },
        { "m_HLS.L", "256", 0 },
        { "m_HLS.S", "-256", 0 },
        { "m_HLS.S", "255", 255 },
        { "m_Bai_Y", "nan", 0.0 },
        // Scroll offsets far beyond any picture would not fit a pixel position: held to 0 or the widest picture.
        { "m_Bai_X", "-1e300", -double(DibImage::kMaxBytes) },
        { "m_Bai_Y", "5000000000", 0.0 },
        { "m_Bai_X", "-12.5", -12.5 },
        { "m_ScaleData.Scalexy", "inf", 10.0 },
    };
    for (const auto& c : cases) {
        ProfileFile file;
        file.setValue("NX-QB740LE", c.key, c.text);
        ViewerSettings s;
        SettingsFile::Load(file, s, nullptr, "/x/bmp");
        ProfileFile saved;
        SettingsFile::Save(saved, s);
        const std::string written = saved.value("NX-QB740LE", c.key).value_or("");
        EXPECT_DOUBLE_EQ(SettingsFile::ParseDouble(written), c.read) << c.key << "=" << c.text;
    }
    // Another key's bad value leaves the good ones beside it as they are.
    ProfileFile file;
    file.setValue("NX-QB740LE", "m_BayerR", "nan");
    file.setValue("NX-QB740LE", "m_BayerG", "0.5");
    file.setValue("NX-QB740LE", "m_HLS.C", "500");
    file.setValue("NX-QB740LE", "m_HLS.L", "-20");
    ViewerSettings s;
    SettingsFile::Load(file, s, nullptr, "/x/bmp");
    EXPECT_DOUBLE_EQ(s.m_BayerR, 1.0);
    EXPECT_DOUBLE_EQ(s.m_BayerG, 0.5);
    EXPECT_EQ(s.m_HLS.C, 0);
    EXPECT_EQ(s.m_HLS.L, -20);
}

TEST(SettingsFile, Load_PreparedCalibrationSection)
{
    ProfileFile file;
    file.setValue("CALIBRATION", "name_0", "Stage micrometer");
    file.setValue("CALIBRATION", "length.x_0", "1.5");
    file.setValue("CALIBRATION", "unit_0", "1");
    file.setValue("CALIBRATION", "right_0", "400");
    file.setValue("CALIBRATION", "mpp.y_9", "0.25");
    file.setValue("CALIBRATION", "top_9", "100");
    CalibTable calib;
    ViewerSettings s;
    g_bJapanese = 1;
    SettingsFile::Load(file, s, &calib, "/x/bmp");
    g_bJapanese = 0;
    EXPECT_EQ(calib[0].name, "Stage micrometer");
    EXPECT_DOUBLE_EQ(calib[0].lengthX, 1.5);
    EXPECT_DOUBLE_EQ(calib[0].lengthY, 10.0);
    EXPECT_EQ(calib[0].unit, 1);
    EXPECT_DOUBLE_EQ(calib[0].right, 400.0);
    EXPECT_EQ(calib[1].name, QString::fromUtf8("校正値2")); // the default name in the current language
    EXPECT_DOUBLE_EQ(calib[9].mppY, 0.25);
    EXPECT_DOUBLE_EQ(calib[9].mppX, 0.0);
    EXPECT_DOUBLE_EQ(calib[9].top, 100.0);
    // The factors are recomputed from lengths and frame afterwards: 1.5 / 400 and 10 / 200.
    calib.recomputeFactors();
    EXPECT_DOUBLE_EQ(calib[0].mppX, 1.5 / 400);
    EXPECT_DOUBLE_EQ(calib[9].mppY, 10.0 / 100);
}

TEST(SettingsFile, Doubles_IgnoreTheProcessLocale)
{
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    // Where a decimal-comma locale is installed, the process runs in it; the file keeps its points.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(SettingsFile::FormatDouble(1.0), "1.000000");
    EXPECT_EQ(SettingsFile::FormatDouble(-254.0), "-254.000000");
    EXPECT_DOUBLE_EQ(SettingsFile::ParseDouble("  2.5xyz"), 2.5);
    EXPECT_DOUBLE_EQ(SettingsFile::ParseDouble("+7"), 7.0);
    std::setlocale(LC_NUMERIC, old.c_str());
}

TEST(SettingsFile, Placement_RoundTripAndMaximised)
{
    ProfileFile file;
    const Rect current { 0, 0, 978, 712 };
    EXPECT_EQ(SettingsFile::LoadPlacement(file, current).normal, current); // no keys: where it is
    EXPECT_FALSE(SettingsFile::LoadPlacement(file, current).maximised);
    SettingsFile::SavePlacement(file, { true, { 30, 40, 1030, 800 } });
    const WindowPlacement p = SettingsFile::LoadPlacement(file, current);
    EXPECT_TRUE(p.maximised);
    EXPECT_EQ(p.normal, (Rect { 30, 40, 1030, 800 }));
    EXPECT_EQ(file.value("NX-QB740LE", "Window_Max").value_or(""), "1");
}

TEST(SettingsFile, Placement_ClampedOntoTheScreen)
{
    const Rect screen { 0, 0, 1280, 800 };
    const Rect fallback { 100, 100, 1078, 812 };
    // Saved on a larger screen, far to the right and below: moved back and shrunk to fit.
    EXPECT_EQ(
        SettingsFile::ClampToScreen({ 2500, 1400, 3500, 2100 }, screen, fallback), (Rect { 280, 100, 1280, 800 }));
    EXPECT_EQ(SettingsFile::ClampToScreen({ -500, -40, 3000, 900 }, screen, fallback), screen);
    // Already visible: unchanged.
    EXPECT_EQ(SettingsFile::ClampToScreen({ 50, 60, 700, 500 }, screen, fallback), (Rect { 50, 60, 700, 500 }));
    // A rectangle without size (right left of left): the current one instead, made visible.
    EXPECT_EQ(SettingsFile::ClampToScreen({ 500, 500, 100, 100 }, screen, fallback), (Rect { 100, 88, 1078, 800 }));
}

TEST(SettingsFile, Placement_AbsurdNumbersStillComeBackOnTheScreen)
{
    const Rect screen { 0, 0, 1280, 800 };
    const Rect fallback { 100, 100, 1078, 812 };
    constexpr int32_t lo = INT32_MIN, hi = INT32_MAX;
    EXPECT_EQ(SettingsFile::ClampToScreen({ lo, lo, hi, hi }, screen, fallback), screen);
    EXPECT_EQ(
        SettingsFile::ClampToScreen({ hi - 10, hi - 10, hi, hi }, screen, fallback), (Rect { 1270, 790, 1280, 800 }));
    EXPECT_EQ(SettingsFile::ClampToScreen({ lo, lo, lo + 10, lo + 10 }, screen, fallback), (Rect { 0, 0, 10, 10 }));
}
