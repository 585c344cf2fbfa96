// The viewer's lasting state loaded and saved together: settings, calibration, scale bar, camera choice, save
// folder and its pictures.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "calib/CalibEntry.h"
#include "files/OpenPicture.h"
#include "files/StillSave.h"
#include "imaging/DibImage.h"
#include "measure/MeasureResults.h"
#include "session/FileLocations.h"
#include "session/ViewerSession.h"

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(ViewerSession, LoadFillsEveryPart_SaveWritesThemBack)
{
    QTemporaryDir dir;
    const QString pictures = dir.filePath("pictures");
    QDir().mkpath(pictures);
    DibImage picture;
    ASSERT_TRUE(picture.Create(8, 8, 24));
    ASSERT_TRUE(picture.SaveBmp(pictures + "/a.bmp"));
    writeFile(dir.filePath("NxQb740Le.ini"),
        "[NX-QB740LE]\nGamma=140\nm_Bai=3\nsavedir=" + pictures.toUtf8() + "\nCameraSource=/dev/video2\n"
        "CameraSize=1280x720\nm_ScaleData.Visible=1\n[CALIBRATION]\nname_0=Stage\nlength.x_0=1.5\nright_0=300\n");

    ViewerSession session(dir.path());
    session.load();
    EXPECT_EQ(session.settings().values().Gamma, 140);
    EXPECT_EQ(session.settings().values().m_Bai, 3);
    EXPECT_EQ(session.cameraSource(), "/dev/video2");
    EXPECT_EQ(session.cameraSize(), "1280x720");
    EXPECT_EQ(session.measure().calibration().selected(0).name, "Stage");
    EXPECT_DOUBLE_EQ(session.measure().calibration().selected(0).mppX, 1.5 / 300); // factors recomputed
    EXPECT_EQ(session.thumbnails().saveFolder(), pictures);
    EXPECT_EQ(session.thumbnails().count(), 1); // the folder's picture was found
    EXPECT_TRUE(QDir(dir.filePath("bmp")).exists());

    session.measure().scale().Visible = 1;
    session.measure().scale().Size = { 77, 12 };
    WindowPlacement placement;
    placement.normal = { 10, 20, 810, 620 };
    ASSERT_TRUE(session.save(4, placement));

    ViewerSession again(dir.path());
    again.load();
    EXPECT_EQ(again.settings().values().m_Bai, 4);
    EXPECT_EQ(again.measure().scale().Size.cx, 77);
    EXPECT_EQ(again.measure().scale().Visible, 1);
    EXPECT_EQ(again.placement({}).normal, placement.normal);
    EXPECT_EQ(again.thumbnails().count(), 1);
    EXPECT_TRUE(QFile::exists(pictures + "/ThumbNail"));
    EXPECT_EQ(again.cameraSource(), "/dev/video2"); // keys the viewer does not write are kept
}

// A save folder the settings name that is not there is reported, neither read nor made. A Windows file's
// Shift-JIS name reads decoded ("日本"): the folder of that name is used when it is there, and when only a folder
// bearing the Shift-JIS bytes is (copied as it was), the name is reported. Either way the stored bytes are
// written back unchanged unless another folder was chosen.
TEST(ViewerSession, MissingSaveFolder_NamedAtStart_KeptInTheFileUnlessChanged)
{
    const QByteArray shiftJis = "\x93\xfa\x96\x7b";
    const struct {
        const char* name;
        QByteArray savedir; // after the temporary folder and a slash
        QByteArray folder; // made there with a picture; empty: none
        bool missing;
        bool choose; // another folder is chosen before saving
    } cases[] = {
        { "there", "pictures", "pictures", false, false },
        { "gone", "gone", "", true, false },
        { "Shift-JIS, folder decoded", shiftJis, "\xe6\x97\xa5\xe6\x9c\xac", false, false },
        { "Shift-JIS, folder in its bytes", shiftJis, shiftJis, true, false },
        { "gone, then another chosen", "gone", "", true, true },
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path()) + '/';
        DibImage picture;
        ASSERT_TRUE(picture.Create(8, 8, 24));
        for (const QByteArray& folder : { QByteArray("pictures"), c.folder }) {
            if (folder.isEmpty() || QFile::exists(QFile::decodeName(root + folder)))
                continue;
            ASSERT_EQ(::mkdir((root + folder).constData(), 0700), 0);
            ASSERT_TRUE(picture.SaveBmp(QFile::decodeName(root + folder) + "/a.bmp") || folder == shiftJis);
        }
        const QByteArray line = "savedir=" + root + c.savedir + '\n';
        writeFile(dir.filePath("NxQb740Le.ini"), "[NX-QB740LE]\nGamma=140\n" + line);

        ViewerSession session(dir.path());
        session.load();
        const QString decoded = session.thumbnails().saveFolder();
        EXPECT_EQ(session.missingSaveFolder(), c.missing ? decoded : QString()) << c.name;
        EXPECT_EQ(session.thumbnails().count(), c.missing ? 0 : 1) << c.name;
        EXPECT_TRUE(c.missing != QFileInfo(decoded).isDir()) << c.name; // nothing made
        if (c.choose) {
            session.thumbnails().setSaveFolder(dir.filePath("pictures"));
            session.thumbnails().ScanFolder(dir.filePath("pictures"));
        }
        ASSERT_TRUE(session.save(1, {})) << c.name;
        QFile file(dir.filePath("NxQb740Le.ini"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        const QByteArray chosen = "savedir=" + root + "pictures\n";
        EXPECT_TRUE(saved.contains(c.choose ? chosen : line)) << c.name << "\n" << saved.toStdString();
    }
}

TEST(ViewerSession, OnlyAFirstStartGetsTheColourPictureAutoExposureAndTheFit)
{
    struct Case {
        const char* name;
        const char* file; // nullptr: no settings file
        int bayer, bayerMode, autoIris, autoIrisMode, zoom;
    };
    const Case cases[] = {
        { "no file", nullptr, 1, 0, 1, 1, 0 },
        { "file lacking the keys", "[NX-QB740LE]\nGamma=120\n", 0, 0, 0, 0, 1 },
        { "file's own values", "[NX-QB740LE]\nm_BayerFlg=0\nm_BayerMode=2\nm_AutoIrisFlg=0\nm_Bai=3\n", 0, 2, 0, 0, 3 },
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        if (c.file)
            writeFile(dir.filePath("NxQb740Le.ini"), c.file);
        ViewerSession session(dir.path());
        session.load();
        const ViewerSettings& v = session.settings().values();
        EXPECT_EQ(v.m_BayerFlg, c.bayer) << c.name;
        EXPECT_EQ(v.m_BayerMode, c.bayerMode) << c.name;
        EXPECT_EQ(v.m_AutoIrisFlg, c.autoIris) << c.name;
        EXPECT_EQ(v.m_AutoIrisMode, c.autoIrisMode) << c.name;
        EXPECT_EQ(v.m_Bai, c.zoom) << c.name;
    }
}

// A calibration confirmed with OK is written at once and comes back with the selection at the next start;
// a prepared file that locks its calibrations is never touched by it.
TEST(ViewerSession, CalibrationSurvivesARestartUnlessTheFileLocksIt)
{
    const struct {
        QByteArray file;
        bool kept;
    } cases[] = {
        { "; by hand\n[NX-QB740LE]\nCameraSource=own\n[CALIBRATION]\nname_0=Stage\n", true },
        { "[CALIBRATION]\r\nCalibrationLocked=1\r\nname_0=Stage\r\n", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.constData());
        QTemporaryDir dir;
        const QString ini = dir.filePath("NxQb740Le.ini");
        writeFile(ini, c.file);
        ViewerSession session(dir.path());
        session.load();
        CalibEntry& e = session.measure().calibration()[3];
        e.name = " Scale bar 5 mm";
        e.lengthX = 5.0;
        e.unit = UnitMm;
        e.right = 500.0;
        e.recomputeFactors();
        ASSERT_TRUE(session.saveCalibration(3));
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll() == c.file, !c.kept);
        session.measure().selectCalibration(3, nullptr);
        ASSERT_TRUE(session.save(1, WindowPlacement {}));

        ViewerSession again(dir.path());
        again.load();
        EXPECT_EQ(again.measure().calibIndex(), 3);
        const CalibEntry& back = again.measure().calibration()[3];
        EXPECT_EQ(back.name, c.kept ? " Scale bar 5 mm" : "Data4");
        EXPECT_EQ(back.unit, c.kept ? UnitMm : UnitCm);
        EXPECT_EQ(back.mppX, c.kept ? 0.01 : 0.05);
        EXPECT_EQ(again.measure().calibration()[0].name, "Stage"); // the rest of the file as it was
        EXPECT_EQ(again.cameraSource(), c.kept ? "own" : "");
    }
}

// A picture saved with the calibration and measurements in use and opened again: PNG and TIFF bring back the
// same calibration (as the entry "from file", the ten stored ones untouched) and the same measurements,
// undoably; BMP and JPEG carry neither, and opening one leaves the list and drops an earlier file's entry.
TEST(ViewerSession, PicturesCarryTheirCalibrationAndMeasurements)
{
    QTemporaryDir dir;
    ViewerSession saved(dir.path());
    saved.load();
    CalibEntry& stage = saved.measure().calibration()[2];
    stage.name = "Stage 0.5";
    stage.unit = UnitUm;
    stage.mppX = 0.37;
    stage.mppY = 0.41;
    saved.measure().selectCalibration(2, nullptr);
    const std::vector<std::vector<MeasurePoint>> shapes { { { 10, 20 }, { 110, 20 } },
        { { 5, 5 }, { 60, 5 }, { 60, 40 }, { 5, 40 } }, { { 30, 30 }, { 50, 10 }, { 70, 30 } } };
    const MeasureTool tools[] = { ToolLine, ToolArea, ToolAngle };
    for (size_t i = 0; i < shapes.size(); ++i) {
        MeasureItem item;
        item.reset(tools[i]);
        for (const MeasurePoint& p : shapes[i])
            item.addPoint(p);
        finishItem(item, stage, nullptr);
        saved.measure().add(item);
    }
    DibImage picture;
    ASSERT_TRUE(picture.Create(120, 90, 24));
    const SaveOptions options { saved.pictureTags(), 50 };

    const struct {
        const char* name;
        int format;
        bool carries;
    } cases[] = { { "a.png", kSavePng, true }, { "a.tif", kSaveTiff, true }, { "a.bmp", kSaveBmp, false },
        { "a.jpg", kSaveJpeg, false } };
    ViewerSession opened(dir.path());
    opened.load();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        ASSERT_EQ(SavePicture(path, picture, c.format, {}, options), 1);
        MeasureSession& m = opened.measure();
        m.clear();
        DibImage back;
        PictureTags tags;
        IgnoredTags ignored;
        ASSERT_EQ(OpenPicture(path, back, &tags, &ignored), 1);
        EXPECT_TRUE(opened.adoptPictureTags(tags, ignored, &back).isEmpty());
        if (!c.carries) {
            EXPECT_FALSE(m.fileCalibration().has_value());
            EXPECT_EQ(m.items().count(), 0);
            continue;
        }
        ASSERT_TRUE(m.fileCalibration().has_value());
        EXPECT_EQ(m.calibIndex(), CalibTable::kCount);
        EXPECT_EQ(m.selectedCalib().name, "Stage 0.5");
        EXPECT_EQ(m.selectedCalib().unit, UnitUm);
        EXPECT_EQ(m.selectedCalib().mppX, 0.37);
        EXPECT_EQ(m.selectedCalib().mppY, 0.41);
        EXPECT_EQ(m.calibration()[2].name, opened.measure().calibration()[2].name); // stored entries untouched
        ASSERT_EQ(m.items().count(), 3);
        for (int32_t i = 0; i < 3; ++i) {
            const MeasureItem* got = m.items().itemAt(i);
            const MeasureItem* want = saved.measure().items().itemAt(i);
            EXPECT_EQ(got->type, want->type);
            ASSERT_EQ(got->pointCount, want->pointCount);
            for (int32_t p = 0; p < got->pointCount; ++p)
                EXPECT_EQ(got->point(p).x, want->point(p).x);
            EXPECT_DOUBLE_EQ(got->result, want->result);
        }
        EXPECT_TRUE(m.undo(&back)); // the list as it was before the picture came
        EXPECT_EQ(m.items().count(), 0);
    }
}

// A program in a folder it may write keeps its files there; one installed read-only keeps them in the user's
// folders, a prepared settings file beside it read until the user's own exists, and never written.
TEST(ViewerSession, FileLocationsFollowWhetherTheProgramsFolderIsWritable)
{
    const struct {
        const char* name;
        bool readOnly;
        bool prepared; // a settings file beside the program
    } cases[] = { { "writable", false, false }, { "writable, prepared", false, true }, { "read-only", true, false },
        { "read-only, prepared", true, true } };
    const QByteArray realHome = qgetenv("HOME");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        const QString program = home.filePath("opt/bin");
        QDir().mkpath(program);
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath("cfg").toUtf8());
        QDir().mkpath(home.filePath("cfg"));
        // The pictures folder as the user named it, not the default ~/Pictures.
        writeFile(home.filePath("cfg/user-dirs.dirs"), "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
        const QString beside = program + "/NxQb740Le.ini";
        if (c.prepared)
            writeFile(beside, "[NX-QB740LE]\nGamma=150\n[CALIBRATION]\nname_0=Stage\n");
        if (c.readOnly) {
            ASSERT_EQ(chmod(program.toUtf8().constData(), 0555), 0);
        }

        const FileLocations files = FileLocations::ForProgram(program);
        const QString settings = c.readOnly ? home.filePath("cfg/nxviewer/NxQb740Le.ini") : beside;
        const QString pictures = c.readOnly ? home.filePath("Bilder/nxviewer") : program + "/bmp";
        EXPECT_EQ(files.settingsPath, settings);
        EXPECT_EQ(files.defaultSaveFolder, pictures);
        {
            ViewerSession session(files);
            session.load();
            EXPECT_TRUE(QFileInfo(pictures).isDir()); // made at start
            EXPECT_EQ(session.thumbnails().saveFolder(), pictures);
            EXPECT_EQ(session.settings().values().Gamma, c.prepared ? 150 : ViewerSettings().Gamma);
            if (c.prepared) {
                EXPECT_EQ(session.measure().calibration()[0].name, "Stage");
            }
            session.settings().change([](ViewerSettings& s) { s.Gamma = 170; });
            ASSERT_TRUE(session.save(1, WindowPlacement {}));
        }
        // The next start reads what was saved, not the prepared file again.
        ViewerSession again(FileLocations::ForProgram(program));
        again.load();
        EXPECT_EQ(again.settings().values().Gamma, 170);
        if (c.prepared) { // carried into the user's file
            EXPECT_EQ(again.measure().calibration()[0].name, "Stage");
        }
        if (c.readOnly) {
            EXPECT_EQ(QFileInfo::exists(beside), c.prepared);
            EXPECT_FALSE(QFileInfo::exists(program + "/bmp"));
        }
        chmod(program.toUtf8().constData(), 0755);
    }
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("HOME", realHome);
}
