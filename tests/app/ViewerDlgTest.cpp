// The main window on the offscreen platform: what start-up puts in the controls in English and Japanese,
// the settings it hands to the session, its placement, closing, the corner buttons, the layout and the skinned look.
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "app/DialogTemplate.h"
#include "app/SkinButton.h"
#include "app/SkinCells.h"
#include "live/LiveView.h"
#include "measure/MeasureItem.h"
#include "platform/Language.h"
#include "platform/PrivateProfile.h"
#include "platform/simcam/SimCamera.h"
#include "support/LiveWindowSupport.h"
#include "support/WindowDriver.h"

namespace {

class ViewerDlgTest : public ::testing::Test {
protected:
    void TearDown() override { g_bJapanese = 0; }

    QStringList comboTexts(const CViewerDlg& dlg, int id)
    {
        auto* combo = qobject_cast<QComboBox*>(win::control(dlg, id));
        QStringList texts;
        for (int i = 0; combo && i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    }

    QStringList headers(const CViewerDlg& dlg)
    {
        auto* list = qobject_cast<QTableView*>(win::control(dlg, IDC_RESULTS));
        QStringList texts;
        for (int c = 0; list && c < list->model()->columnCount(); ++c)
            texts << list->model()->headerData(c, Qt::Horizontal).toString();
        return texts;
    }

    QTemporaryDir m_Dir;
};

QColor pixelOf(const DibImage& image, int x, int y)
{
    const uint8_t* p = image.rowTopDown(y) + 3 * x;
    return QColor(p[2], p[1], p[0]);
}

} // namespace

TEST_F(ViewerDlgTest, StartUp_English)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    EXPECT_EQ(dlg.windowTitle(), "NX-QB740LE Version 1.510  -  NX-QB740LE");
    EXPECT_EQ(comboTexts(dlg, IDC_ZOOM), QStringList({ "full-screen", "x1", "x2", "x4", "x8", "x16" }));
    EXPECT_EQ(qobject_cast<QComboBox*>(win::control(dlg, IDC_ZOOM))->currentIndex(), 0); // a first start fits
    EXPECT_EQ(headers(dlg), QStringList({ "No.", "Type", "Result", "Unit" }));
    auto* list = qobject_cast<QTableView*>(win::control(dlg, IDC_RESULTS));
    EXPECT_EQ(list->columnWidth(0), 31);
    EXPECT_EQ(list->columnWidth(3), 40);
    const QStringList calib = comboTexts(dlg, IDC_CALIB_COMBO);
    ASSERT_EQ(calib.size(), 10);
    EXPECT_EQ(calib.front(), "Data1");
    EXPECT_EQ(calib.back(), "Data10");
    EXPECT_EQ(qobject_cast<QComboBox*>(win::control(dlg, IDC_CALIB_COMBO))->currentIndex(), 0);
    EXPECT_EQ(qobject_cast<QGroupBox*>(win::control(dlg, IDC_GROUP_LOAD))->title(), "Load image");
    // On English systems only the controls with a key have tooltips, naming the key.
    EXPECT_TRUE(win::control(dlg, IDC_SAVE)->toolTip().isEmpty());
    EXPECT_TRUE(win::control(dlg, IDC_LINE)->toolTip().endsWith("(L)"));
    EXPECT_TRUE(QDir(m_Dir.filePath("bmp")).exists());
    EXPECT_EQ(dlg.session().settings().values().savedir, m_Dir.filePath("bmp"));
    // Every control of the template exists, and the frame images are made from EH x EV.
    for (const ControlTemplate& t : MainDialogControls())
        EXPECT_NE(win::control(dlg, t.id), nullptr) << t.id;
    const LiveView& live = dlg.liveView();
    EXPECT_EQ(live.pictureInUse().width(), 2048);
    EXPECT_EQ(live.pictureInUse().bitsPerPixel(), 24); // a first start converts the mosaic to colour
    dlg.session().settings().change([](ViewerSettings& s) { s.m_BayerFlg = 0; });
    EXPECT_EQ(live.pictureInUse().bitsPerPixel(), 8);
    EXPECT_EQ(live.pictureInUse().width(), 2048);
    EXPECT_FALSE(dlg.windowIcon().isNull());
}

TEST_F(ViewerDlgTest, StartUp_Japanese)
{
    g_bJapanese = 1;
    CViewerDlg dlg(nullptr, m_Dir.path());
    EXPECT_EQ(comboTexts(dlg, IDC_ZOOM).front(), QString::fromUtf8("全画面表示"));
    EXPECT_EQ(headers(dlg),
        QStringList({ "No.", QString::fromUtf8("計測内容"), QString::fromUtf8("測定値"), QString::fromUtf8("単位") }));
    EXPECT_EQ(comboTexts(dlg, IDC_CALIB_COMBO).front(), QString::fromUtf8("校正値1"));
    EXPECT_EQ(qobject_cast<QLabel*>(win::control(dlg, IDC_CALIB_LABEL))->text(), QString::fromUtf8("校正値"));
    EXPECT_EQ(win::control(dlg, IDC_TYPE)->toolTip(), QString::fromUtf8("画像保存の際計測ラインを表示した状態で保存します"));
    EXPECT_EQ(win::control(dlg, IDC_RESULTS)->toolTip(), QString::fromUtf8("計測結果を表示します"));
    EXPECT_EQ(win::control(dlg, IDC_SCALE)->toolTip(), QString::fromUtf8("スケールの設定をします"));
    // The Japanese button sheet: same layout, other captions; the buttons show it.
    DibImage japanese;
    ASSERT_TRUE(japanese.LoadPngResource(157));
    g_bJapanese = 0;
    DibImage english;
    ASSERT_TRUE(english.LoadPngResource(157));
    ASSERT_EQ(english.width(), japanese.width());
    ASSERT_EQ(english.height(), japanese.height());
    EXPECT_NE(std::memcmp(english.bits(), japanese.bits(), size_t(english.byteSize())), 0);
    dlg.show();
    const Rect cell = ButtonCell(IDC_LIVE, SkinState {}, true).source;
    const QImage live = win::control(dlg, IDC_LIVE)->grab().toImage();
    int same = 0;
    for (int y = 0; y < 40; ++y)
        same += live.pixelColor(25, y) == pixelOf(japanese, cell.left + 25, cell.top + y);
    EXPECT_EQ(same, 40);
}

TEST_F(ViewerDlgTest, StatusTick_SetsHeartbeatAndCaption)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    EXPECT_EQ(dlg.liveView().lastHeartbeat(), 0u);
    // Wait for the real timer rather than faking its id.
    EXPECT_TRUE(livetest::pumpUntil([&] { return dlg.liveView().lastHeartbeat() != 0; }, livetest::kPatientMs));
    EXPECT_EQ(dlg.windowTitle(),
        "NX-QB740LE Version 1.510  -  NX-QB740LE  Capture Time 0 GetImage Time 0  ShowImage Time 0  "
        "Frame per Second 0.0");
}

TEST_F(ViewerDlgTest, Settings_RoundTripThroughTheFile)
{
    // The session keeps the file (tests/session); the window gives it the zoom box's choice and reads it back.
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        dlg.session().settings().change([](ViewerSettings& s) { s.Gamma = 180; });
        win::setZoom(dlg, 3);
        dlg.done(0);
    }
    CViewerDlg again(nullptr, m_Dir.path());
    EXPECT_EQ(again.session().settings().values().Gamma, 180);
    EXPECT_EQ(qobject_cast<QComboBox*>(win::control(again, IDC_ZOOM))->currentIndex(), 3);
}

TEST_F(ViewerDlgTest, SettingsThatCannotBeWrittenAtTheEnd_AreTold)
{
    for (const bool folderGone : { false, true }) {
        QTemporaryDir dir;
        CViewerDlg dlg(nullptr, dir.path());
        QStringList told;
        dlg.prompts().files.tell = [&](const QString& text) { told << text; };
        if (folderGone) {
            ASSERT_TRUE(dir.remove());
        }
        dlg.done(0);
        EXPECT_EQ(told, folderGone ? QStringList { "The settings could not be saved." } : QStringList {});
    }
}

TEST_F(ViewerDlgTest, Placement_RestoredOnFirstShowAndMaximised)
{
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        dlg.show();
        dlg.setGeometry(20, 30, 700, 720);
        dlg.showMaximized();
        QCoreApplication::processEvents();
        dlg.done(0);
    }
    ProfileFile file;
    ASSERT_TRUE(file.load(m_Dir.filePath("NxQb740Le.ini")));
    EXPECT_EQ(file.value("NX-QB740LE", "Window_Max").value_or(""), "1");
    EXPECT_EQ(file.value("NX-QB740LE", "Window_Left").value_or(""), "20");
    EXPECT_EQ(file.value("NX-QB740LE", "Window_Right").value_or(""), "720");
    EXPECT_EQ(file.value("NX-QB740LE", "Window_Bottom").value_or(""), "750");

    CViewerDlg again(nullptr, m_Dir.path());
    again.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(again.isMaximized());
    EXPECT_EQ(again.normalGeometry(), QRect(20, 30, 700, 720));
}

TEST_F(ViewerDlgTest, Placement_FromALargerScreenComesBackVisible)
{
    WritePrivateProfileStringA("NX-QB740LE", "Window_Left", "5000", m_Dir.filePath("NxQb740Le.ini"));
    WritePrivateProfileStringA("NX-QB740LE", "Window_Right", "5600", m_Dir.filePath("NxQb740Le.ini"));
    WritePrivateProfileStringA("NX-QB740LE", "Window_Top", "3000", m_Dir.filePath("NxQb740Le.ini"));
    WritePrivateProfileStringA("NX-QB740LE", "Window_Bottom", "3400", m_Dir.filePath("NxQb740Le.ini"));
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    QCoreApplication::processEvents();
    const QRect screen = dlg.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(dlg.geometry())) << dlg.geometry().x() << "," << dlg.geometry().y();
    // 600 x 400 as stored, grown to the smallest size the window takes.
    EXPECT_EQ(dlg.geometry().size(), QSize(600, 400).expandedTo(dlg.minimumSize()));
    EXPECT_GT(dlg.minimumSize().height(), 400);
}

TEST_F(ViewerDlgTest, KeysNeverClose_ClosingAsksWhenMeasurementsWouldBeLost)
{
    struct Case {
        const char* name;
        bool japanese;
        bool measured; // a measurement exists
        bool exported; // and went into a CSV file
        bool asked;
    };
    const Case cases[] = {
        { "English, nothing measured", false, false, false, false },
        { "English, measurements not exported", false, true, false, true },
        { "English, measurements exported", false, true, true, false },
        { "Japanese, always", true, false, false, true },
    };
    for (const Case& c : cases) {
        g_bJapanese = c.japanese;
        CViewerDlg dlg(nullptr, m_Dir.path());
        QStringList questions;
        bool answer = false;
        dlg.prompts().confirmClose = [&](const QString&, const QString& question) {
            questions << question;
            return answer;
        };
        if (c.measured) {
            MeasureItem line;
            line.reset(ToolLine);
            line.addPoint({ 0, 0 });
            line.addPoint({ 10, 0 });
            line.type = -ToolLine;
            dlg.session().measure().add(line);
        }
        if (c.exported) {
            dlg.prompts().askCsvPath = [&](const CsvSaveDialog&) { return m_Dir.filePath("out.csv"); };
            win::click(dlg, IDC_CSV);
        }
        dlg.show();
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg)) << c.name;
        // Neither Enter nor Escape closes the window, whatever has the keys.
        for (int key : { Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter }) {
            QTest::keyClick(&dlg, Qt::Key(key));
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(&dlg, &press);
        }
        EXPECT_TRUE(dlg.isVisible()) << c.name;
        EXPECT_TRUE(questions.isEmpty()) << c.name;

        EXPECT_EQ(dlg.close(), !c.asked) << c.name; // "No" keeps the window
        ASSERT_EQ(questions.size(), c.asked ? 1 : 0) << c.name;
        if (c.asked) {
            EXPECT_EQ(questions[0], c.japanese ? QString::fromUtf8("終了しますか？")
                                               : "Quit? The measurements have not been exported.")
                << c.name;
            answer = true;
            EXPECT_TRUE(dlg.close()) << c.name;
        }
        EXPECT_FALSE(dlg.isVisible()) << c.name;
    }
}

TEST_F(ViewerDlgTest, CornerButtons_HideTheControlGroupsAndWidenTheView)
{
    QFile settings(m_Dir.filePath("NxQb740Le.ini"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly) && settings.write("[NX-QB740LE]\nm_Bai=1\n") > 0);
    settings.close();
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    QCoreApplication::processEvents();
    const int viewWidth = dlg.liveView().viewGeometry().view.width();
    qobject_cast<QAbstractButton*>(win::control(dlg, IDC_PANEL_TOGGLE))->click();
    EXPECT_FALSE(win::control(dlg, IDC_RESULTS)->isVisible());
    EXPECT_FALSE(win::control(dlg, IDC_LIVE)->isVisible());
    EXPECT_FALSE(win::control(dlg, IDC_CALIB_LABEL)->isVisible());
    EXPECT_TRUE(win::control(dlg, IDC_PANEL_TOGGLE)->isVisible());
    // 2048 wide at x1: the view takes the whole width but the small reserve.
    EXPECT_EQ(dlg.liveView().viewGeometry().view.width(), dlg.width() - 24);
    EXPECT_GT(dlg.liveView().viewGeometry().view.width(), viewWidth);

    qobject_cast<QAbstractButton*>(win::control(dlg, IDC_STRIP_TOGGLE))->click();
    EXPECT_FALSE(win::control(dlg, IDC_STRIP)->isVisible());
    EXPECT_FALSE(win::control(dlg, IDC_STRIP_SCROLL)->isVisible());
    EXPECT_EQ(dlg.liveView().viewGeometry().view.height(), dlg.height() - 20);
    qobject_cast<QAbstractButton*>(win::control(dlg, IDC_PANEL_TOGGLE))->click();
    EXPECT_TRUE(win::control(dlg, IDC_RESULTS)->isVisible());
}

TEST_F(ViewerDlgTest, Resize_KeepsRightMarginsAndCornerButton)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    dlg.QDialog::resize(1200, 900); // plain resize is also the "resize" setting
    QCoreApplication::processEvents();
    const auto rightMargin = [&](int id) {
        const QRect g = win::control(dlg, id)->geometry();
        return dlg.width() - (g.x() + g.width());
    };
    EXPECT_EQ(rightMargin(IDC_PANEL_TOGGLE), 0);
    EXPECT_EQ(rightMargin(IDC_GROUP_LOAD), 11);
    EXPECT_EQ(rightMargin(IDC_DIR), 20);
    EXPECT_EQ(rightMargin(IDC_CALIB_COMBO), 22);
    EXPECT_EQ(rightMargin(IDC_SAVE), 82);
    EXPECT_EQ(rightMargin(IDC_LIVE), 143);
    EXPECT_EQ(rightMargin(IDC_RESULTS), 12);
    const QRect corner = win::control(dlg, IDC_STRIP_TOGGLE)->geometry();
    EXPECT_EQ(corner.y() + corner.height(), 900);
    const QRect strip = win::control(dlg, IDC_STRIP)->geometry();
    EXPECT_EQ(strip.y() + strip.height(), 900 - 12);
    EXPECT_EQ(strip.width(), 1200 - 228);
    // The strip's scroll bar moves by one thumbnail a line and by the thumbnails that fit in the strip a page.
    const auto* scroll = qobject_cast<QScrollBar*>(win::control(dlg, IDC_STRIP_SCROLL));
    EXPECT_EQ(scroll->singleStep(), 1);
    EXPECT_EQ(scroll->pageStep(), (1200 - 228 - 8) / (140 + 6));
    // The results list grows with the window; the window stops where it would lose its heading and a row, as
    // tall as it was before the overlay row came into the panel (it fits a 768-pixel screen).
    EXPECT_EQ(win::control(dlg, IDC_RESULTS)->geometry().bottom() + 1, 900 - 12);
    dlg.QDialog::resize(800, 560);
    QCoreApplication::processEvents();
    EXPECT_GE(win::control(dlg, IDC_RESULTS)->height(), 52);
    EXPECT_EQ(dlg.minimumHeight(), 720);
}

TEST_F(ViewerDlgTest, ZoomChange_RelaysOutAndClampsTheScroll)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    QCoreApplication::processEvents();
    // From fit to x2 about the view's centre: the picture's middle stays in the middle.
    win::setZoom(dlg, 2);
    const ViewGeometry g = dlg.liveView().viewGeometry();
    EXPECT_EQ(g.zoomIndex, 2);
    const PicturePoint middle = windowToImage((g.view.left + g.view.right) / 2.0, (g.view.top + g.view.bottom) / 2.0, g);
    EXPECT_NEAR(middle.x, 1024, 1);
    EXPECT_NEAR(middle.y, 768, 1);
    // A scroll beyond the picture stops at its far edge.
    win::scrollTo(dlg, -5000, 0);
    EXPECT_DOUBLE_EQ(dlg.liveView().viewGeometry().baiX, dlg.liveView().viewGeometry().view.width() / 2 - 2048);
    // The F key fits the picture.
    QTest::keyClick(&dlg, Qt::Key_F);
    EXPECT_EQ(dlg.liveView().viewGeometry().zoomIndex, 0);
    // Fit keeps the 4:3 picture's aspect (the view's size includes its offset from the corner).
    const Rect view = dlg.liveView().viewGeometry().view;
    const int w = view.width() - view.left, h = view.height() - view.top;
    EXPECT_NEAR(double(w) / h, 4.0 / 3.0, 0.01);
}

TEST_F(ViewerDlgTest, TypeButton_TogglesItsCell)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    DibImage sheet;
    ASSERT_TRUE(sheet.LoadPngResource(157));
    // The cell of the overlay-saving state lies 150 pixels into the sheet; the plain one elsewhere.
    SkinState on;
    on.saveOverlay = true;
    ASSERT_EQ(ButtonCell(IDC_TYPE, on, true).source.left, 150);
    const int offLeft = ButtonCell(IDC_TYPE, SkinState {}, true).source.left;
    const Rect cell = ButtonCell(IDC_TYPE, on, true).source;
    const auto shows = [&](int left) {
        const QImage shot = win::control(dlg, IDC_TYPE)->grab().toImage();
        return shot.pixelColor(25, 20) == pixelOf(sheet, left + 25, cell.top + 20);
    };
    EXPECT_TRUE(shows(offLeft));
    win::click(dlg, IDC_TYPE);
    EXPECT_TRUE(shows(150));
    win::click(dlg, IDC_TYPE);
    EXPECT_TRUE(shows(offLeft));
}

TEST_F(ViewerDlgTest, SkinnedButton_CopiesItsCellWithDots)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    QCoreApplication::processEvents();
    auto* aria = static_cast<SkinButton*>(win::control(dlg, IDC_ARIA));
    auto* line = static_cast<SkinButton*>(win::control(dlg, IDC_LINE));
    // Untouched: the button shows its cell pixel for pixel (away from the dot).
    DibImage sheet;
    ASSERT_TRUE(sheet.LoadPngResource(157));
    QImage shot = aria->grab().toImage();
    EXPECT_EQ(shot.pixelColor(25, 20), pixelOf(sheet, 50 + 25, 20));
    EXPECT_EQ(shot.pixelColor(6, 46), pixelOf(sheet, 50 + 6, 46));

    // The area tool active: ARIA carries the green dot, LINE none.
    dlg.session().measure().current().reset(2);
    shot = aria->grab().toImage();
    EXPECT_EQ(shot.pixelColor(6, 46), QColor(0, 255, 0));
    EXPECT_EQ(line->grab().toImage().pixelColor(6, 46), pixelOf(sheet, 6, 46));

    // Held down: the red dot (the green one of the active tool is drawn over it).
    dlg.session().measure().current().reset(0);
    line->setDown(true);
    EXPECT_EQ(line->grab().toImage().pixelColor(6, 46), QColor(255, 0, 0));
    line->setDown(false);

    // Disabled: the cell 200 pixels to the right.
    line->setEnabled(false);
    EXPECT_EQ(line->grab().toImage().pixelColor(25, 20), pixelOf(sheet, 200 + 25, 20));
}

TEST_F(ViewerDlgTest, AbsurdSettingsAndTinyWindow_NeitherCrashNorLeaveThePicture)
{
    // Every number the window itself lays out or scrolls with, at the ends of the int range.
    const QString path = m_Dir.filePath("NxQb740Le.ini");
    for (const char* key : { "m_Bai", "m_Bai_X", "m_Bai_Y", "Window_Left", "Window_Top", "Window_Max" })
        WritePrivateProfileStringA("NX-QB740LE", key, "-2147483648", path);
    for (const char* key : { "Window_Right", "Window_Bottom" })
        WritePrivateProfileStringA("NX-QB740LE", key, "2147483647", path);
    WritePrivateProfileStringA("NX-QB740LE", "m_Bai_X", "-1e308", path);
    WritePrivateProfileStringA("NX-QB740LE", "m_Bai_Y", "1e308", path);

    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    QCoreApplication::processEvents();
    auto* zoom = qobject_cast<QComboBox*>(win::control(dlg, IDC_ZOOM));
    EXPECT_EQ(zoom->currentIndex(), 1);
    EXPECT_TRUE(dlg.screen()->availableGeometry().contains(dlg.normalGeometry()));
    for (const QSize size : { QSize(1, 1), QSize(30, 20), QSize(240, 180), QSize(700, 500) }) {
        dlg.setWindowState(Qt::WindowNoState);
        dlg.QDialog::resize(size);
        QCoreApplication::processEvents();
        for (int z = 0; z < zoom->count(); ++z) {
            win::setZoom(dlg, z);
            for (int toggle = 0; toggle < 2; ++toggle) {
                qobject_cast<QAbstractButton*>(win::control(dlg, IDC_PANEL_TOGGLE))->click();
                qobject_cast<QAbstractButton*>(win::control(dlg, IDC_STRIP_TOGGLE))->click();
                const ViewGeometry g = dlg.liveView().viewGeometry();
                EXPECT_GE(g.view.width(), 0);
                EXPECT_GE(g.view.height(), 0);
                EXPECT_LE(g.baiX, 0.0);
                EXPECT_GE(g.baiX, -g.imageWidth);
                EXPECT_LE(g.baiY, 0.0);
                EXPECT_GE(g.baiY, -g.imageHeight);
                dlg.grab(); // paints the background, the view and every button at this size
            }
        }
    }
    dlg.done(0);
}

TEST_F(ViewerDlgTest, EveryKeyAtTheEndsOfTheRange_StartsShowsAndSaves)
{
    // All keys the window writes, each set to the smallest int, the largest, or bytes that are no number.
    ProfileFile defaults;
    SettingsFile::Save(defaults, ViewerSettings {});
    SettingsFile::SavePlacement(defaults, {});
    std::vector<std::string> keys;
    std::istringstream lines(defaults.text());
    for (std::string line; std::getline(lines, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos)
            keys.push_back(line.substr(0, eq));
    ASSERT_EQ(keys.size(), 62u);
    const char* const values[] = { "-2147483648", "2147483647", "\x01\xff junk", "1e999" };
    installSimulatedCamera(); // so that the live view runs with these values too
    for (const char* value : values) {
        ProfileFile file;
        // The capture window's start goes to the camera unchanged; its bounds are the camera's to check.
        for (const std::string& key : keys)
            if (key != "savedir" && key != "EHS" && key != "EVS")
                file.setValue("NX-QB740LE", key, value);
        ASSERT_TRUE(file.save(m_Dir.filePath("NxQb740Le.ini")));
        CViewerDlg dlg(nullptr, m_Dir.path());
        dlg.show();
        // Let the live view run a few passes with these values.
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(20);
        }
        dlg.grab();
        dlg.done(0);
    }
    uninstallSimulatedCamera();
}

TEST_F(ViewerDlgTest, PreparedCalibration_ReadAtStartAndLeftAsItWas)
{
    const QString path = m_Dir.filePath("NxQb740Le.ini");
    const QByteArray prepared
        = "; calibrations of the lab\n[CALIBRATION]\nname_0=Stage 1mm\nlength.x_0=1.0\nright_0=500\n";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(prepared);
    f.close();
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        EXPECT_EQ(qobject_cast<QComboBox*>(win::control(dlg, IDC_CALIB_COMBO))->itemText(0), "Stage 1mm");
        EXPECT_DOUBLE_EQ(dlg.session().measure().calibration()[0].mppX, 1.0 / 500);
        dlg.session().measure().calibration()[0].name = "changed in the window";
        dlg.done(0);
    }
    // The window's own section is added; the calibrations stay exactly as prepared.
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    EXPECT_TRUE(after.startsWith(prepared)) << after.left(200).constData();
    EXPECT_TRUE(after.contains("\n[NX-QB740LE]\n"));
}
