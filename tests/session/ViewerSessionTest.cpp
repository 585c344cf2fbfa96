// The viewer's lasting state loaded and saved together: settings, calibration, scale bar, camera choice, save
// folder and its pictures.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "imaging/DibImage.h"
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
