// The main window's files: SAVE stops the live view around its dialog and puts the picture on disk and in
// the strip, with the measurement drawing when TYPE is on; DIR shows another folder; the browser and the
// strip's menu open and remove pictures.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include "app/DialogTemplate.h"
#include "app/SimulatedWindowTest.h"
#include "app/ViewerDlg.h"
#include "files/ui/CThumbnailDlg.h"
#include "files/StillSave.h"
#include "measure/MeasureResults.h"
#include "platform/simcam/SimCamera.h"

namespace {

class ViewerFilesTest : public SimulatedWindowTest {
protected:
    void SetUp() override
    {
        SimulatedWindowTest::SetUp();
        writeSettings();
    }

    // SAVE answered with path and filter; whether the live view was stopped while the dialog was up.
    bool save(CViewerDlg& dlg, const QString& path, int filter = kSaveBmp)
    {
        bool stoppedDuringDialog = false;
        dlg.fileDialogs().askSaveFile = [&](const SaveFileRequest&) {
            stoppedDuringDialog = dlg.liveStopped() && !dlg.displayThreadRunning();
            return SaveFileAnswer { path, filter };
        };
        dlg.OnSave();
        return stoppedDuringDialog;
    }

};

int greenPixels(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFFu) == 0x00FF00u;
    return n;
}

} // namespace

TEST_F(ViewerFilesTest, SaveStopsTheLiveViewAroundTheDialogAndAddsTheThumbnail)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return dlg.framesShown() >= 2; }, 10000));
    const QString folder = dlg.thumbnails().saveFolder();
    const int before = dlg.thumbnails().count();

    EXPECT_TRUE(save(dlg, folder + "/plain.bmp"));
    EXPECT_FALSE(dlg.liveStopped()); // running again afterwards
    EXPECT_TRUE(dlg.displayThreadRunning());
    EXPECT_EQ(dlg.thumbnails().count(), before + 1);
    QImageReader plain(folder + "/plain.bmp");
    EXPECT_EQ(plain.size(), QSize(640, 480));

    // With TYPE on, the measurement is burnt in at x1 whatever the view's zoom; without it the file is the
    // picture alone. Saving the same name twice keeps one entry.
    MeasureItem line;
    line.reset(ToolLine);
    line.addPoint({ 100, 100 });
    line.addPoint({ 300, 100 });
    finishItem(line, CalibEntry {}, nullptr);
    dlg.measureSession().add(line);
    dlg.SetZoom(3);
    qobject_cast<QAbstractButton*>(dlg.control(IDC_TYPE))->click();
    save(dlg, folder + "/drawn.bmp");
    save(dlg, folder + "/drawn.bmp");
    EXPECT_EQ(dlg.thumbnails().count(), before + 2);
    const QImage drawn(folder + "/drawn.bmp");
    EXPECT_EQ(drawn.pixel(200, 100) & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(greenPixels(QImage(folder + "/plain.bmp")), 0);
    EXPECT_EQ(dlg.viewGeometry().zoomIndex, 3); // the display's zoom is untouched

    // A JPEG into another folder: the strip now shows that folder.
    QTemporaryDir other;
    save(dlg, other.filePath("x.bmp"), kSaveJpeg);
    EXPECT_TRUE(QFile::exists(other.filePath("x.jpg")));
    EXPECT_EQ(QDir(dlg.thumbnails().saveFolder()), QDir(other.path()));
    EXPECT_EQ(dlg.thumbnails().count(), 1);
    EXPECT_TRUE(QFile::exists(folder + "/ThumbNail")); // the old folder's thumbnails were written
    dlg.done(0);
}

TEST_F(ViewerFilesTest, DirBrowserAndStripMenuOpenAndRemovePictures)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    QTemporaryDir pictures;
    QImage picture(320, 200, QImage::Format_RGB32);
    picture.fill(qRgb(200, 30, 40));
    ASSERT_TRUE(picture.save(pictures.filePath("a.bmp")));
    ASSERT_TRUE(picture.scaled(100, 80).save(pictures.filePath("b.jpg")));

    dlg.fileDialogs().askFolder = [&](const QString&, const QString&) { return pictures.path(); };
    dlg.OnDir();
    ASSERT_EQ(dlg.thumbnails().count(), 2);

    // The browser asks for the second picture: it replaces the picture shown, at its own size, live stopped.
    dlg.runThumbnailBrowser = [](CThumbnailDlg&) { return CThumbnailDlg::kOpenBase + 1; };
    dlg.OnThumb();
    EXPECT_TRUE(dlg.liveStopped());
    EXPECT_EQ(dlg.PictureInUse().width(), 100);
    EXPECT_EQ(dlg.PictureInUse().height(), 80);

    // A right click on the first thumbnail of the strip, Remove chosen in the menu.
    const QRect strip = dlg.control(IDC_STRIP)->geometry();
    const QPointF at(strip.left() + 8 + 10, strip.top() + 14 + 10);
    int offered = 0;
    dlg.fileDialogs().runMenu = [&](QMenu& menu, QPoint) {
        offered = int(menu.actions().size());
        return 32779; // Remove
    };
    QMouseEvent press(QEvent::MouseButtonPress, at, dlg.mapToGlobal(at), Qt::RightButton, Qt::RightButton, {});
    QCoreApplication::sendEvent(&dlg, &press);
    EXPECT_EQ(offered, 3);
    EXPECT_EQ(dlg.thumbnails().count(), 1);
    EXPECT_EQ(QFile::exists(pictures.filePath("a.bmp")) + QFile::exists(pictures.filePath("b.jpg")), 1);
    dlg.done(0);
}
