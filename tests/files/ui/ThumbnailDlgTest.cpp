// The browser window (size, scroll bar, double click, context menu commands), the real save dialog's setup and
// the time-lapse dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QComboBox>
#include <QFileDialog>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>

#include <vector>

#include "ui/DialogUnits.h"
#include "files/ui/CThumbnailDlg.h"
#include "files/ui/CaptureOptionsDlg.h"
#include "files/ui/FileDialogs.h"
#include "files/ui/TimeLapseDlg.h"
#include "files/FileTexts.h"
#include "files/ThumbnailStore.h"
#include "imaging/DibImage.h"

namespace {

class Browser : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(skin.Create(200, 200, 24));
        DibImage picture;
        ASSERT_TRUE(picture.Create(40, 30, 24));
        for (int i = 0; i < 30; ++i) {
            paths.push_back(dir.filePath(QString("p%1.bmp").arg(i, 2, 10, QLatin1Char('0'))));
            ASSERT_TRUE(picture.SaveBmp(paths.back()));
            ASSERT_EQ(store.AddScaled(paths.back(), picture), 1);
        }
    }

    static void click(QWidget& w, QEvent::Type type, Qt::MouseButton button, QPoint at)
    {
        QMouseEvent event(type, QPointF(at), w.mapToGlobal(QPointF(at)), button, button, Qt::NoModifier);
        QApplication::sendEvent(&w, &event);
    }

    QTemporaryDir dir;
    DibImage skin;
    ThumbnailStore store;
    std::vector<QString> paths;
};

} // namespace

TEST_F(Browser, SizeScrollBarAndDoubleClick)
{
    CThumbnailDlg dlg(store, skin, nullptr, true);
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("サムネイル"));
    EXPECT_EQ(dlg.size(), QSize(DialogUnitsToPixelsX(540), DialogUnitsToPixelsY(531)));
    dlg.show();
    dlg.resize(800, 600);
    QApplication::processEvents();
    auto* bar = dlg.findChild<QScrollBar*>("1071");
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->geometry().right(), 799);
    EXPECT_EQ(bar->height(), 600);
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), 2);
    bar->setValue(1);
    EXPECT_EQ(dlg.scrollPosition(), 1);

    // Row 0 now shows thumbnails 5 to 9: a double click on the second one asks for 1000 + 6.
    click(dlg, QEvent::MouseButtonDblClick, Qt::LeftButton, { 156 + 5, 10 + 5 });
    EXPECT_EQ(dlg.result(), 1006);

    // Too small for one cell: no cells, no scrolling, and painting is harmless.
    dlg.show(); // the double click ended it
    dlg.resize(100, 80);
    QApplication::processEvents(); // a window's resize arrives as an event
    ASSERT_EQ(dlg.size(), QSize(100, 80));
    EXPECT_FALSE(bar->isEnabled());
    dlg.setResult(0);
    click(dlg, QEvent::MouseButtonDblClick, Qt::LeftButton, { 10, 15 });
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_FALSE(dlg.grab().isNull());
}

TEST_F(Browser, ContextMenuRemoveTrashAndOpen)
{
    CThumbnailDlg dlg(store, skin);
    dlg.show();
    dlg.resize(800, 600);
    QApplication::processEvents();
    int command = FileTexts::kMenuRemove;
    QStringList shown;
    dlg.setMenuRunner([&](QMenu& menu, QPoint) {
        for (const QAction* a : menu.actions())
            shown << a->text();
        return command;
    });
    bool trashWorks = false;
    dlg.setTrashMover([&](const QString& path) { return trashWorks && QFile::remove(path); });
    bool yes = false;
    dlg.setConfirmer([&](const QString&) { return yes; });

    // Remove asks first: No keeps the file.
    click(dlg, QEvent::MouseButtonPress, Qt::RightButton, { 6 + 150 + 3, 10 + 3 }); // thumbnail 1
    EXPECT_EQ(shown, QStringList({ "Open", "Remove", "Trash box" }));
    EXPECT_TRUE(QFile::exists(paths[1]));
    EXPECT_EQ(store.count(), 30);
    yes = true;
    click(dlg, QEvent::MouseButtonPress, Qt::RightButton, { 6 + 150 + 3, 10 + 3 });
    EXPECT_FALSE(QFile::exists(paths[1]));
    EXPECT_EQ(store.count(), 29);
    EXPECT_EQ(dlg.findChild<QScrollBar*>("1071")->maximum(), 1); // (29 - 25) / 5 + 1

    command = FileTexts::kMenuTrash; // the trash fails: file and entry stay
    click(dlg, QEvent::MouseButtonPress, Qt::RightButton, { 6 + 3, 10 + 3 });
    EXPECT_TRUE(QFile::exists(paths[0]));
    EXPECT_EQ(store.count(), 29);
    trashWorks = true;
    click(dlg, QEvent::MouseButtonPress, Qt::RightButton, { 6 + 3, 10 + 3 });
    EXPECT_FALSE(QFile::exists(paths[0]));
    EXPECT_EQ(store.count(), 28);
    EXPECT_EQ(store.first()->path, paths[2]);

    command = FileTexts::kMenuOpen;
    click(dlg, QEvent::MouseButtonPress, Qt::RightButton, { 6 + 300 + 3, 10 + 3 });
    EXPECT_EQ(dlg.result(), 1002);
    // A press beside every thumbnail opens no menu.
    shown.clear();
    click(dlg, QEvent::MouseButtonPress, Qt::RightButton, { 2, 2 });
    EXPECT_TRUE(shown.isEmpty());
}

TEST(FileDialogs, SaveDialogAndMenuTexts)
{
    QTemporaryDir dir;
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const SaveFileRequest request = MakeSaveRequest(dir.path(), QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)), false);
    ConfigureSaveDialog(dialog, request);
    EXPECT_EQ(dialog.windowTitle(), "Save as");
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog.nameFilters(), request.filters);
    EXPECT_EQ(dialog.selectedNameFilter(), "Bitmap File(*.bmp)");
    EXPECT_EQ(dialog.defaultSuffix(), "bmp");
    EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    // Choosing the PNG or TIFF filter gives the proposed name that extension, and a typed bare name too.
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    const auto choose = [types](int index) { // as the person's choice in the list reaches the dialog
        types->setCurrentIndex(index);
        emit types->activated(index);
        emit types->textActivated(types->itemText(index));
    };
    choose(2);
    EXPECT_EQ(dialog.defaultSuffix(), "png");
    EXPECT_TRUE(dialog.selectedFiles().value(0).endsWith("20240305070809.png")) << dialog.selectedFiles().value(0).toStdString();
    choose(3);
    EXPECT_EQ(dialog.defaultSuffix(), "tif");

    // The quick capture options: what the controls hold; a cleared key keeps the key there was.
    CaptureOptions options;
    options.counter = 9;
    CaptureOptionsDlg capture(options, nullptr);
    static_cast<QKeySequenceEdit*>(capture.control(CaptureOptionsDlg::IDC_KEY))->clear();
    static_cast<QComboBox*>(capture.control(CaptureOptionsDlg::IDC_FORMAT))->setCurrentIndex(3);
    static_cast<QCheckBox*>(capture.control(CaptureOptionsDlg::IDC_OVERLAY))->setChecked(true);
    static_cast<QSpinBox*>(capture.control(CaptureOptionsDlg::IDC_QUALITY))->setValue(150);
    static_cast<QLineEdit*>(capture.control(CaptureOptionsDlg::IDC_NAME))->setText(" %c_%n ");
    const CaptureOptions chosen = capture.options();
    EXPECT_EQ(chosen.key, "F12");
    EXPECT_EQ(chosen.format, 4);
    EXPECT_TRUE(chosen.overlay);
    EXPECT_EQ(chosen.jpegQuality, 100);
    EXPECT_EQ(chosen.namePattern, "%c_%n");
    EXPECT_EQ(chosen.counter, 9);

    std::unique_ptr<QMenu> ja(MakeThumbnailMenu(nullptr, true));
    QStringList texts;
    for (const QAction* a : ja->actions())
        texts << a->text() + "=" + a->data().toString();
    EXPECT_EQ(texts,
        QStringList(
            { QString::fromUtf8("開く=32780"), QString::fromUtf8("削除=32779"), QString::fromUtf8("ゴミ箱=32781") }));
}

// The time-lapse dialog: never an interval below one frame (15 frames a second here), the options as its
// controls hold them, and the fields locked while a series runs, the button then stopping it.
TEST(TimeLapseDlg, OptionsMinimumIntervalAndRunning)
{
    TimeLapseOptions given;
    given.intervalSeconds = 0.01;
    given.count = 7;
    TimeLapseDlg dlg(given, 1.0 / 15, nullptr);
    const auto spin = [&dlg](int id) { return static_cast<QDoubleSpinBox*>(dlg.control(id)); };
    EXPECT_DOUBLE_EQ(dlg.options().intervalSeconds, 0.07);
    EXPECT_EQ(dlg.options().count, 7);
    EXPECT_FALSE(dlg.options().byDuration);
    EXPECT_FALSE(dlg.control(TimeLapseDlg::IDC_DURATION)->isEnabled());

    spin(TimeLapseDlg::IDC_INTERVAL)->setValue(2.5);
    static_cast<QRadioButton*>(dlg.control(TimeLapseDlg::IDC_BY_DURATION))->setChecked(true);
    spin(TimeLapseDlg::IDC_DURATION)->setValue(1.5); // minutes
    static_cast<QComboBox*>(dlg.control(TimeLapseDlg::IDC_FORMAT))->setCurrentIndex(1);
    static_cast<QCheckBox*>(dlg.control(TimeLapseDlg::IDC_OVERLAY))->setChecked(true);
    EXPECT_FALSE(dlg.control(TimeLapseDlg::IDC_COUNT)->isEnabled());

    std::vector<TimeLapseOptions> started;
    int stops = 0;
    QObject::connect(&dlg, &TimeLapseDlg::startRequested, [&started](const TimeLapseOptions& o) { started.push_back(o); });
    QObject::connect(&dlg, &TimeLapseDlg::stopRequested, [&stops] { ++stops; });
    auto* button = static_cast<QPushButton*>(dlg.control(TimeLapseDlg::IDC_START));
    button->click();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].intervalSeconds, 2.5);
    EXPECT_TRUE(started[0].byDuration);
    EXPECT_EQ(started[0].durationSeconds, 90);
    EXPECT_EQ(started[0].shots(), 37);
    EXPECT_EQ(started[0].format, 2);
    EXPECT_TRUE(started[0].overlay);

    dlg.setRunning(true);
    dlg.setStatus("time-lapse 1 of 37, next in 2.5 s");
    for (int id : { TimeLapseDlg::IDC_INTERVAL, TimeLapseDlg::IDC_BY_COUNT, TimeLapseDlg::IDC_DURATION,
             TimeLapseDlg::IDC_FORMAT, TimeLapseDlg::IDC_OVERLAY })
        EXPECT_FALSE(dlg.control(id)->isEnabled()) << id;
    EXPECT_EQ(button->text(), "Stop");
    EXPECT_EQ(static_cast<QLabel*>(dlg.control(TimeLapseDlg::IDC_STATUS))->text(), "time-lapse 1 of 37, next in 2.5 s");
    button->click();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(started.size(), 1u);
    dlg.setRunning(false);
    EXPECT_TRUE(dlg.control(TimeLapseDlg::IDC_DURATION)->isEnabled());
    EXPECT_EQ(button->text(), "Start");
}
