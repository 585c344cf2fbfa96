// The main window's files: SAVE stops the live view around its dialog and puts the picture on disk and in
// the strip, with the measurement drawing when TYPE is on; DIR shows another folder; the browser and the
// strip's menu open and remove pictures.
#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QScreen>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <random>

#include <gtest/gtest.h>

#include "app/DialogTemplate.h"
#include "app/SimulatedWindowTest.h"
#include "files/FileTexts.h"
#include "files/StillSave.h"
#include "files/ThumbnailCommands.h"
#include "files/ThumbnailStore.h"
#include "files/ui/CThumbnailDlg.h"
#include "files/ui/TimeLapseDlg.h"
#include "files/VideoFile.h"
#include "measure/MeasureResults.h"
#include "platform/Language.h"
#include "platform/simcam/SimCamera.h"
#include "support/WindowDriver.h"

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
        dlg.prompts().files.askSaveFile = [&](const SaveFileRequest&) {
            stoppedDuringDialog = win::liveStopped(dlg);
            return SaveFileAnswer { path, filter };
        };
        win::click(dlg, IDC_SAVE);
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
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, 10000));
    const QString folder = dlg.session().thumbnails().saveFolder();
    const int before = dlg.session().thumbnails().count();

    EXPECT_TRUE(save(dlg, folder + "/plain.bmp"));
    EXPECT_FALSE(win::liveStopped(dlg)); // running again afterwards
    EXPECT_EQ(dlg.session().thumbnails().count(), before + 1);
    QImageReader plain(folder + "/plain.bmp");
    EXPECT_EQ(plain.size(), QSize(640, 480));

    // With TYPE on, the measurement is burnt in at x1 whatever the view's zoom; without it the file is the
    // picture alone. Saving the same name twice keeps one entry.
    MeasureItem line;
    line.reset(ToolLine);
    line.addPoint({ 100, 100 });
    line.addPoint({ 300, 100 });
    finishItem(line, CalibEntry {}, nullptr);
    dlg.session().measure().add(line);
    win::setZoom(dlg, 3);
    win::click(dlg, IDC_TYPE);
    save(dlg, folder + "/drawn.bmp");
    save(dlg, folder + "/drawn.bmp");
    EXPECT_EQ(dlg.session().thumbnails().count(), before + 2);
    const QImage drawn(folder + "/drawn.bmp");
    EXPECT_EQ(drawn.pixel(200, 100) & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(greenPixels(QImage(folder + "/plain.bmp")), 0);
    EXPECT_EQ(dlg.liveView().viewGeometry().zoomIndex, 3); // the display's zoom is untouched

    // A JPEG into another folder: the strip now shows that folder.
    QTemporaryDir other;
    save(dlg, other.filePath("x"), kSaveJpeg);
    EXPECT_TRUE(QFile::exists(other.filePath("x.jpg")));
    EXPECT_EQ(QDir(dlg.session().thumbnails().saveFolder()), QDir(other.path()));
    EXPECT_EQ(dlg.session().thumbnails().count(), 1);
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

    QString title;
    dlg.prompts().files.askFolder = [&](const QString& t, const QString&) {
        title = t;
        return pictures.path();
    };
    g_bJapanese = 1; // the program's language names the folder chooser, whatever the system's locale
    win::click(dlg, IDC_DIR);
    g_bJapanese = 0;
    EXPECT_EQ(title, FileTexts::FolderTitle(true));
    ASSERT_TRUE(pumpUntil([&] { return !dlg.session().thumbnails().scanning(); }, kPatientMs));
    ASSERT_EQ(dlg.session().thumbnails().count(), 2);

    // The browser asks for the second picture: it replaces the picture shown, at its own size, live stopped.
    // The browser (945 x 929 as designed) comes up wholly on the screen, shrunk to it (800 x 800 here).
    QRect browserAt;
    dlg.prompts().runThumbnailBrowser = [&](CThumbnailDlg& browser) {
        browserAt = browser.geometry();
        return CThumbnailDlg::kOpenBase + 1;
    };
    win::click(dlg, IDC_THUMB);
    EXPECT_TRUE(dlg.screen()->availableGeometry().contains(browserAt)) << browserAt.width() << "x" << browserAt.height();
    EXPECT_GE(browserAt.top(), 32); // room for its title bar
    EXPECT_TRUE(win::liveStopped(dlg));
    EXPECT_EQ(dlg.liveView().pictureInUse().width(), 100);
    EXPECT_EQ(dlg.liveView().pictureInUse().height(), 80);
    EXPECT_TRUE(dlg.windowTitle().startsWith("NX-QB740LE Version 1.510  -  b.jpg  Capture Time "))
        << dlg.windowTitle().toStdString(); // the caption names the file shown

    // A right click on the first thumbnail of the strip, Remove chosen in the menu.
    const QRect strip = win::control(dlg, IDC_STRIP)->geometry();
    const QPointF at(strip.left() + 8 + 10, strip.top() + 14 + 10);
    int offered = 0;
    dlg.prompts().files.runMenu = [&](QMenu& menu, QPoint) {
        offered = int(menu.actions().size());
        return 32779; // Remove
    };
    // It asks first, through the window's prompts: No keeps the picture.
    bool yes = false;
    dlg.prompts().files.confirm = [&](const QString&) { return yes; };
    QMouseEvent press(QEvent::MouseButtonPress, at, dlg.mapToGlobal(at), Qt::RightButton, Qt::RightButton, {});
    QCoreApplication::sendEvent(&dlg, &press);
    EXPECT_EQ(offered, 3);
    EXPECT_EQ(dlg.session().thumbnails().count(), 2);
    yes = true;
    QCoreApplication::sendEvent(&dlg, &press);
    EXPECT_EQ(dlg.session().thumbnails().count(), 1);
    EXPECT_EQ(QFile::exists(pictures.filePath("a.bmp")) + QFile::exists(pictures.filePath("b.jpg")), 1);
    dlg.done(0);
}

// DIR fills the strip while the pictures are decoded: every look at the strip shows the folder's first
// pictures in name order, with the progress bar along its top until the last one is in. A folder chosen
// while the last one is still being scanned replaces it: none of the old folder's pictures comes in late.
TEST_F(ViewerFilesTest, DirFillsTheStripInNameOrder_AnotherFolderMidScanLeavesNoStaleEntry)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    // One noisy frame, slow enough to decode that the strip is seen before the last one is in, under
    // every name (links to it).
    QTemporaryDir source, first, second, third;
    QImage picture(2048, 1536, QImage::Format_RGB32);
    std::mt19937 rng(5);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            row[x] = rng() | 0xFF000000u;
    }
    const QString frame = source.filePath("frame.jpg");
    ASSERT_TRUE(picture.save(frame, "JPEG", 95));
    QStringList names;
    for (int i = 0; i < 30; ++i) {
        names.push_back(QString::asprintf("p%02d.jpg", i));
        ASSERT_TRUE(QFile::link(frame, first.filePath(names.back())));
        ASSERT_TRUE(QFile::link(frame, third.filePath(names.back())));
    }
    ASSERT_TRUE(picture.scaled(64, 48).save(second.filePath("only.bmp")));
    const ThumbnailStore& store = dlg.session().thumbnails();
    const auto paths = [&] {
        QStringList out;
        for (const ThumbnailEntry* e = store.first(); e; e = e->next)
            out.push_back(QFileInfo(e->path).fileName());
        return out;
    };
    const QRect strip = win::control(dlg, IDC_STRIP)->geometry();
    const auto barPixel
        = [&] { return dlg.grab(QRect(strip.left() + 20, strip.top() + 6, 1, 1)).toImage().pixel(0, 0); };
    const QRgb background = barPixel();

    QString chosen = first.path();
    dlg.prompts().files.askFolder = [&](const QString&, const QString&) { return chosen; };
    win::click(dlg, IDC_DIR);
    EXPECT_TRUE(store.scanning());
    EXPECT_NE(barPixel(), background);
    int looks = 0, partial = 0;
    while (store.scanning() && looks < 2000) {
        QTest::qWait(2);
        const QStringList now = paths();
        ++looks;
        partial += now.size() < names.size();
        ASSERT_EQ(now, names.mid(0, now.size())) << looks;
    }
    EXPECT_EQ(paths(), names);
    EXPECT_GT(partial, 0); // the strip was seen before the last picture was in
    QTest::qWait(40);
    EXPECT_EQ(barPixel(), background);

    // A copy of that folder, and straight on to another one: the scan is cancelled with nothing handed over.
    chosen = third.path();
    win::click(dlg, IDC_DIR);
    EXPECT_TRUE(store.scanning());
    chosen = second.path();
    win::click(dlg, IDC_DIR);
    ASSERT_TRUE(pumpUntil([&] { return !store.scanning(); }, kPatientMs));
    QTest::qWait(60);
    EXPECT_EQ(paths(), QStringList { "only.bmp" });
    dlg.done(0);
}

// Quick capture by its key and its button while live: no dialog, the live view goes on while the files are
// written, two captures in one second get two names, the thumbnails come into the strip and the caption names
// the file. The PNG carries the calibration and the measurement: opened from the strip both come back, the
// calibration as an entry "from file", the measurement undoably.
TEST_F(ViewerFilesTest, QuickCaptureKeepsTheLiveViewAndItsPngBringsTheMeasurementsBack)
{
    writeSettings("QuickCaptureFormat=png\nQuickCaptureName=shot\n");
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, kPatientMs));
    MeasureSession& measure = dlg.session().measure();
    CalibEntry& stage = measure.calibration()[1];
    stage.name = "Stage";
    stage.unit = UnitMm;
    stage.mppX = stage.mppY = 0.01;
    auto* combo = qobject_cast<QComboBox*>(win::control(dlg, IDC_CALIB_COMBO));
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    MeasureItem line;
    line.reset(ToolLine);
    line.addPoint({ 100, 100 });
    line.addPoint({ 300, 100 });
    line.type = -ToolLine;
    measure.add(line);
    QStringList told;
    dlg.prompts().tellCapture = [&](const QString& text) { told << text; };
    const QString folder = dlg.session().thumbnails().saveFolder();
    const int before = dlg.session().thumbnails().count();
    const uint64_t frames = win::framesShown(dlg);

    QTest::keyClick(&dlg, Qt::Key_F12);
    win::click(dlg, IDC_QUICK);
    EXPECT_FALSE(win::liveStopped(dlg));
    ASSERT_TRUE(pumpUntil([&] { return dlg.session().thumbnails().count() == before + 2; }, kPatientMs));
    EXPECT_GT(win::framesShown(dlg), frames);
    EXPECT_TRUE(QFile::exists(folder + "/shot.png"));
    EXPECT_TRUE(QFile::exists(folder + "/shot_2.png"));
    EXPECT_TRUE(dlg.windowTitle().contains("shot_2.png")) << dlg.windowTitle().toStdString();
    EXPECT_TRUE(told.isEmpty()) << told.join(", ").toStdString();

    win::click(dlg, IDC_CLEAR);
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    dlg.prompts().runThumbnailBrowser = [&](CThumbnailDlg&) { return CThumbnailDlg::kOpenBase + before; };
    win::click(dlg, IDC_THUMB);
    ASSERT_EQ(combo->count(), CalibTable::kCount + 1);
    EXPECT_EQ(combo->currentIndex(), CalibTable::kCount);
    EXPECT_EQ(combo->currentText(), "Stage (from file)");
    ASSERT_EQ(measure.items().count(), 1);
    EXPECT_DOUBLE_EQ(measure.items().itemAt(0)->result, 2.0); // 200 pixels of 0.01 mm
    QTest::keyClick(&dlg, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(measure.items().count(), 0);
    dlg.done(0);
}

// A time-lapse from QUICK's menu: three shots 0.3 s apart while live, numbered after the start time, each
// in the strip; the dialog says when it is done.
TEST_F(ViewerFilesTest, TimeLapseTakesItsShotsAtTheirTimes)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, kPatientMs));
    const int before = dlg.session().thumbnails().count();
    dlg.prompts().files.runMenu = [](QMenu&, QPoint) { return 2; }; // Time-lapse...
    QWidget* quick = win::control(dlg, IDC_QUICK);
    emit quick->customContextMenuRequested({});
    auto* lapse = dlg.findChild<TimeLapseDlg*>();
    ASSERT_NE(lapse, nullptr);
    qobject_cast<QDoubleSpinBox*>(lapse->control(TimeLapseDlg::IDC_INTERVAL))->setValue(0.3);
    qobject_cast<QSpinBox*>(lapse->control(TimeLapseDlg::IDC_COUNT))->setValue(3);
    qobject_cast<QAbstractButton*>(lapse->control(TimeLapseDlg::IDC_START))->click();
    ASSERT_TRUE(pumpUntil([&] { return dlg.session().thumbnails().count() == before + 3; }, kPatientMs));
    const QStringList shots = QDir(dlg.session().thumbnails().saveFolder()).entryList({ "*_000?.png" });
    ASSERT_EQ(shots.size(), 3);
    EXPECT_TRUE(shots[0].endsWith("_0001.png") && shots[2].endsWith("_0003.png")) << shots.join(" ").toStdString();
    EXPECT_TRUE(pumpUntil([&] { return dlg.windowTitle().contains("done: 3 pictures"); }, kPatientMs))
        << dlg.windowTitle().toStdString();
    EXPECT_FALSE(win::liveStopped(dlg));
    dlg.done(0);
}

// REC records the live picture: the caption shows the red dot while it runs, REC again stops it and the
// video comes into the strip with its first frame; opening it goes to the system's player, the live view
// going on.
TEST_F(ViewerFilesTest, RecordingGoesIntoTheStripAndOpensInThePlayer)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, kPatientMs));
    const int before = dlg.session().thumbnails().count();
    win::click(dlg, IDC_REC);
    const uint64_t frames = win::framesShown(dlg);
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= frames + 5; }, kPatientMs));
    pumpFor(200); // a status tick
    EXPECT_TRUE(dlg.windowTitle().contains(QString::fromUtf8("\u25CF REC 00:0"))) << dlg.windowTitle().toStdString();
    win::click(dlg, IDC_REC);
    ASSERT_EQ(dlg.session().thumbnails().count(), before + 1);
    const QString video = ThumbnailCommands(dlg.session().thumbnails()).PathAt(before);
    EXPECT_TRUE(video.endsWith(".mp4"));
    DibImage first;
    EXPECT_TRUE(DecodeVideoFirstFrame(video, first));
    EXPECT_EQ(first.width(), 640);

    QString played;
    dlg.prompts().openExternally = [&](const QString& path) { played = path; };
    dlg.prompts().runThumbnailBrowser = [&](CThumbnailDlg&) { return CThumbnailDlg::kOpenBase + before; };
    win::click(dlg, IDC_THUMB);
    EXPECT_EQ(played, video);
    EXPECT_FALSE(win::liveStopped(dlg));
    dlg.done(0);
}

// The results list's menu: a measurement out of its tolerance goes into the inspection report (CSV and PDF)
// as NG; the measurements saved as a recipe come back from it, tolerance and all, after CLEAR.
TEST_F(ViewerFilesTest, ReportAndRecipeFromTheResultsMenu)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, kPatientMs));
    MeasureSession& measure = dlg.session().measure();
    MeasureItem line;
    line.reset(ToolLine);
    line.addPoint({ 100, 100 });
    line.addPoint({ 300, 100 });
    finishItem(line, measure.selectedCalib(), nullptr);
    measure.add(line);
    // A double click on the result asks for its tolerance: one far off, so the part is NG.
    dlg.prompts().askTolerance = [&](const MeasureItem&, double value, const QString&) {
        return std::optional<std::optional<Tolerance>>(Tolerance { value * 2, 0.01, 0.01 });
    };
    auto* table = qobject_cast<QTableView*>(win::control(dlg, IDC_RESULTS));
    emit table->doubleClicked(table->model()->index(0, ResultsModel::ColumnValue));
    ASSERT_TRUE(measure.items().itemAt(0)->tolerance.has_value());
    EXPECT_EQ(table->model()->columnCount(), ResultsModel::ColumnVerdict + 1);
    EXPECT_EQ(table->model()->index(0, ResultsModel::ColumnVerdict).data().toString(), "NG");
    QTemporaryDir out;
    QString asked;
    dlg.prompts().askPath = [&](const CsvSaveDialog&, bool) { return asked; };
    int choice = 0;
    dlg.prompts().files.runMenu = [&](QMenu&, QPoint) { return choice; };
    QWidget* results = win::control(dlg, IDC_RESULTS);
    const auto menu = [&](int entry, const QString& path) {
        choice = entry;
        asked = path;
        emit results->customContextMenuRequested({});
    };

    menu(1, out.filePath("report.pdf"));
    QFile csv(out.filePath("report.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readAll().contains("NG"));
    EXPECT_GT(QFileInfo(out.filePath("report.pdf")).size(), 1000);

    menu(2, out.filePath("part.recipe"));
    win::click(dlg, IDC_CLEAR);
    ASSERT_EQ(measure.items().count(), 0);
    menu(3, out.filePath("part.recipe"));
    ASSERT_EQ(measure.items().count(), 1);
    ASSERT_TRUE(measure.items().itemAt(0)->tolerance.has_value());
    EXPECT_DOUBLE_EQ(measure.items().itemAt(0)->tolerance->nominal, line.result * 2);
    dlg.done(0);
}

// A save folder in the settings that is not there is named at start, and Yes leads to the folder chooser. A
// picture whose name is no valid text is owned up to in the caption and the browser's title.
TEST_F(ViewerFilesTest, MissingSaveFolderOfferedAtStart_PicturesLeftOutAreCounted)
{
    QTemporaryDir pictures;
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 40));
    ASSERT_TRUE(picture.save(pictures.filePath("a.bmp")));
    const QByteArray latin1 = QFile::encodeName(pictures.path()) + "/caf\xe9.bmp"; // no UTF-8
    ASSERT_TRUE(QFile::copy(pictures.filePath("a.bmp"), pictures.filePath("b.bmp")));
    ASSERT_EQ(std::rename(QFile::encodeName(pictures.filePath("b.bmp")).constData(), latin1.constData()), 0);
    writeSettings("savedir=" + m_Dir.filePath("gone") + "\n");
    CViewerDlg dlg(nullptr, m_Dir.path());
    QString question;
    dlg.prompts().files.confirm = [&](const QString& q) { return !(question = q).isEmpty(); };
    dlg.prompts().files.askFolder = [&](const QString&, const QString&) { return pictures.path(); };
    dlg.show();
    ASSERT_TRUE(pumpUntil([&] { return !question.isEmpty(); }, kPatientMs));
    EXPECT_EQ(question, FileTexts::AskMissingFolder(false, m_Dir.filePath("gone")));
    EXPECT_TRUE(pumpUntil([&] { return dlg.session().thumbnails().count() == 1; }, kPatientMs));
    const QString note = FileTexts::SkippedNames(false, 1);
    EXPECT_TRUE(pumpUntil([&] { return dlg.windowTitle().endsWith(note); }, kPatientMs));
    QString browserTitle;
    dlg.prompts().runThumbnailBrowser = [&](CThumbnailDlg& browser) {
        browserTitle = browser.windowTitle();
        return 0;
    };
    win::click(dlg, IDC_THUMB);
    EXPECT_EQ(browserTitle, FileTexts::BrowserTitle(false) + note);
    dlg.done(0);
}

// Focus tools: H turns peaking on and off; Stack collects frames while the simulated focus knob turns, the
// second press fuses them behind a progress bar and the fused picture becomes the one in use, the live view
// stopped. A Cancel leaves the live view and its picture as they were; stopped, Stack only tells why not.
TEST_F(ViewerFilesTest, FocusStackBecomesTheOpenedPicture_CancelLeavesTheLiveView)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, kPatientMs));
    QTest::keyClick(&dlg, Qt::Key_H);
    EXPECT_TRUE(dlg.liveView().focusPeaking());
    QTest::keyClick(&dlg, Qt::Key_H);
    EXPECT_FALSE(dlg.liveView().focusPeaking());

    auto* stack = qobject_cast<QAbstractButton*>(win::control(dlg, IDC_STACK));
    const auto collect = [&] {
        m_Sim->setFocusSweep(1.5);
        win::click(dlg, IDC_STACK);
        // "Stop (n)": n frames kept so far.
        const auto kept = [&] { return stack->text().section('(', 1).section(')', 0, 0).toInt(); };
        EXPECT_TRUE(pumpUntil([&] { return kept() >= 3; }, kPatientMs)) << stack->text().toStdString();
        EXPECT_TRUE(pumpUntil([&] { return dlg.windowTitle().contains(QString("stack %1 frames").arg(kept())); },
            kPatientMs))
            << dlg.windowTitle().toStdString();
        win::click(dlg, IDC_STACK);
        return dlg.findChild<QProgressDialog*>();
    };
    QProgressDialog* progress = collect();
    ASSERT_NE(progress, nullptr);
    progress->cancel();
    ASSERT_TRUE(pumpUntil([&] { return stack->text() == "Stack"; }, kPatientMs));
    EXPECT_FALSE(win::liveStopped(dlg));
    EXPECT_EQ(dlg.liveView().pictureInUse().width(), 640);

    ASSERT_NE(collect(), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return stack->text() == "Stack"; }, 4 * kPatientMs));
    EXPECT_TRUE(win::liveStopped(dlg));
    EXPECT_TRUE(dlg.windowTitle().contains("focus stack of ")) << dlg.windowTitle().toStdString();
    EXPECT_EQ(dlg.liveView().pictureInUse().width(), 640);

    QString told;
    dlg.prompts().tellCapture = [&](const QString& text) { told = text; };
    win::click(dlg, IDC_STACK);
    EXPECT_TRUE(told.contains("start it first"));
    dlg.done(0);
}
