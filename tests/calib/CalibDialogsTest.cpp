// The calibration and scale dialogs on the offscreen platform, opened through their owner as the main
// window opens them: one of each at a time, placed near the pointer, the live texts, OK, Cancel, Escape,
// the closed notice after the dialog has gone, and closing with the owner.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QWidget>

#include <gtest/gtest.h>

#include "calib/ui/CalibDialogOwner.h"
#include "calib/ui/CCalibDlg.h"
#include "calib/ui/CScaleDlg.h"
#include "ui/CursorPlacement.h"
#include "calib/ScaleBar.h"
#include "platform/Language.h"

namespace {

class CalibDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_bJapanese = 0;
        table.setDefaults();
        for (const CalibEntry& e : table)
            combo->addItem(e.name);
        combo->setCurrentIndex(2);
        QObject::connect(&owner, &CalibDialogOwner::calibClosed, [this](int r, int position) {
            closedResults.push_back(r);
            closedPositions.push_back(position);
            closedWhileOpen = owner.calibOpen();
        });
        QObject::connect(&owner, &CalibDialogOwner::scaleChanged, [this] { ++scaleChanges; });
    }
    void TearDown() override { g_bJapanese = 0; }

    CCalibDlg* openCalib()
    {
        EXPECT_TRUE(owner.OnCalib(table, combo->currentIndex(), combo, QPoint(600, 400)));
        return owner.calibDialog();
    }
    QString resultText() const
    {
        return static_cast<QLineEdit*>(owner.calibDialog()->control(CCalibDlg::IDC_RESULT))->text();
    }
    QLineEdit* edit(int id) const { return static_cast<QLineEdit*>(owner.calibDialog()->control(id)); }
    static void settle() { QCoreApplication::processEvents(); }

    QWidget window;
    QComboBox* combo = new QComboBox(&window);
    CalibTable table;
    ScaleData scale;
    std::vector<int> closedResults;
    std::vector<int> closedPositions; // the entry each closed dialog edited
    bool closedWhileOpen = true;
    int scaleChanges = 0;
    CalibDialogOwner owner { &window };
};

} // namespace

TEST_F(CalibDialogs, OpensOnceOnTheSelectedEntryWithItsValues)
{
    CCalibDlg* dlg = openCalib();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->entry(), &table[2]);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), "Calibration value");
    EXPECT_EQ(edit(CCalibDlg::IDC_NAME)->text(), "Data3");
    EXPECT_EQ(resultText(), "X = 0.050000, Y = 0.050000 [cm/pix]");
    auto* unit = static_cast<QComboBox*>(dlg->control(CCalibDlg::IDC_UNIT));
    EXPECT_EQ(unit->count(), 3);
    EXPECT_EQ(unit->currentText(), "cm");

    // A second CALIB does nothing, also after the selection changed.
    combo->setCurrentIndex(5);
    EXPECT_FALSE(owner.OnCalib(table, combo->currentIndex(), combo, QPoint(0, 0)));
    EXPECT_EQ(owner.calibDialog(), dlg);
    EXPECT_EQ(dlg->entry(), &table[2]);

    // Typing refreshes the text; typing something that is no number leaves it as it was.
    unit->setCurrentIndex(UnitMm);
    edit(CCalibDlg::IDC_LENGTH_X)->setText("20");
    EXPECT_EQ(resultText(), "X = 0.100000, Y = 0.050000 [mm/pix]");
    edit(CCalibDlg::IDC_LENGTH_X)->setText("2x");
    EXPECT_EQ(resultText(), "X = 0.100000, Y = 0.050000 [mm/pix]");
}

TEST_F(CalibDialogs, JapaneseTitleAndTexts)
{
    g_bJapanese = 1;
    CCalibDlg* dlg = openCalib();
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("校正値"));
    EXPECT_EQ(static_cast<QPushButton*>(dlg->control(CCalibDlg::IDCANCEL))->text(), QString::fromUtf8("キャンセル"));
    ASSERT_TRUE(owner.OnScale(scale, 2048, 1536, QPoint(600, 400)));
    auto* position = static_cast<QComboBox*>(owner.scaleDialog()->control(CScaleDlg::IDC_POSITION));
    EXPECT_EQ(position->itemText(4), QString::fromUtf8("中央"));
    EXPECT_EQ(owner.scaleDialog()->windowTitle(), QString::fromUtf8("スケール表示設定"));
}

TEST_F(CalibDialogs, FrameDragsFollowInTheResultText)
{
    // No dialog, no frame drag.
    EXPECT_FALSE(owner.BeginFrameDrag(table[2], 200, 100));
    openCalib();
    // The right edge 15 to the right: the frame is 30 wider, the text follows at once.
    ASSERT_EQ(owner.BeginFrameDrag(table[2], 200, 100), Qt::SizeHorCursor);
    EXPECT_TRUE(owner.DragFrame(215, 100).edgeMoved);
    EXPECT_EQ(resultText(), "X = 0.043478, Y = 0.050000 [cm/pix]");
    owner.EndFrameDrag();
    EXPECT_EQ(table[2].dragMode, 0);
    // Moving the frame keeps the text.
    ASSERT_EQ(owner.BeginFrameDrag(table[2], 100, 100), Qt::SizeAllCursor);
    owner.DragFrame(160, 40);
    owner.EndFrameDrag();
    EXPECT_EQ(table[2].left, 45.0);
    EXPECT_EQ(resultText(), "X = 0.043478, Y = 0.050000 [cm/pix]");
    // An opened picture's calibration, after the table, keeps its frame.
    CalibEntry fromFile = table[2];
    fromFile.position = CalibTable::kCount;
    EXPECT_FALSE(owner.BeginFrameDrag(fromFile, 100, 100));
}

TEST_F(CalibDialogs, CancelKeepsTheFrameButNotTheFactors)
{
    openCalib();
    edit(CCalibDlg::IDC_LENGTH_X)->setText("30");
    owner.BeginFrameDrag(table[2], 200, 100);
    owner.DragFrame(250, 100);
    owner.EndFrameDrag();
    owner.calibDialog()->OnCancel();
    EXPECT_FALSE(owner.calibOpen());
    EXPECT_TRUE(closedResults.empty()); // the notice comes from the event loop
    settle();
    EXPECT_EQ(closedResults, std::vector<int> { CCalibDlg::kClosedCancel });
    EXPECT_FALSE(closedWhileOpen);
    EXPECT_EQ(table[2].right - table[2].left, 300.0);
    EXPECT_EQ(table[2].lengthX, 10.0);
    EXPECT_DOUBLE_EQ(table[2].mppX, 0.05);
    // A later OK takes its factors from that frame.
    openCalib();
    owner.calibDialog()->OnOK();
    EXPECT_DOUBLE_EQ(table[2].mppX, 10.0 / 300.0);
    EXPECT_DOUBLE_EQ(table[2].mppY, 0.05);
}

TEST_F(CalibDialogs, EscapeAndTheCloseBoxCountAsCancel)
{
    openCalib();
    edit(CCalibDlg::IDC_NAME)->setText("Not kept");
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(owner.calibDialog(), &escape);
    EXPECT_FALSE(owner.calibOpen());
    openCalib();
    owner.calibDialog()->close();
    EXPECT_FALSE(owner.calibOpen());
    settle();
    EXPECT_EQ(closedResults, (std::vector<int> { CCalibDlg::kClosedCancel, CCalibDlg::kClosedCancel }));
    EXPECT_EQ(table[2].name, "Data3");
}

TEST_F(CalibDialogs, RenameReplacesTheComboLineInPlace)
{
    openCalib();
    int selectionSignals = 0;
    QObject::connect(combo, &QComboBox::currentIndexChanged, [&] { ++selectionSignals; });
    combo->blockSignals(false);
    edit(CCalibDlg::IDC_NAME)->setText("Objective 10x");
    // The selection moved while the dialog was open: the edited entry's line is still the one replaced.
    combo->setCurrentIndex(7);
    selectionSignals = 0;
    owner.calibDialog()->OnOK();
    EXPECT_EQ(combo->count(), 10);
    EXPECT_EQ(combo->itemText(2), "Objective 10x");
    EXPECT_EQ(combo->itemText(1), "Data2");
    EXPECT_EQ(combo->itemText(3), "Data4");
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(selectionSignals, 0); // the recalculation follows the closed notice instead
    EXPECT_EQ(table[2].name, "Objective 10x");
    settle();
    EXPECT_EQ(closedResults, std::vector<int> { CCalibDlg::kClosedOk });
    EXPECT_EQ(closedPositions, std::vector<int> { 2 }); // the entry to keep, not the selection of the moment
}

TEST_F(CalibDialogs, OkWithLengthThatIsNoNumberStaysOpen)
{
    openCalib();
    QStringList messages;
    owner.calibDialog()->showMessage = [&](QWidget*, const QString& text) { messages << text; };
    edit(CCalibDlg::IDC_NAME)->setText("Renamed");
    edit(CCalibDlg::IDC_LENGTH_Y)->setText("abc");
    owner.calibDialog()->OnOK();
    EXPECT_EQ(messages, QStringList { "Please enter a number." });
    EXPECT_TRUE(owner.calibOpen());
    EXPECT_TRUE(owner.calibDialog()->isVisible());
    EXPECT_EQ(table[2].name, "Data3");
    EXPECT_EQ(table[2].lengthY, 10.0);
    EXPECT_EQ(combo->itemText(2), "Data3");
    settle();
    EXPECT_TRUE(closedResults.empty());
}

TEST_F(CalibDialogs, DialogsArePlacedUpLeftOfThePointerOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    openCalib();
    EXPECT_EQ(owner.calibDialog()->pos(), QPoint(300, 250));
    // Near the screen's top-left corner it stays on the screen.
    ASSERT_TRUE(owner.OnScale(scale, 2048, 1536, QPoint(10, 10)));
    EXPECT_EQ(owner.scaleDialog()->pos(), screen.topLeft());

    EXPECT_EQ(dialogPositionAtCursor({ 1000, 700 }, { 200, 100 }, { 0, 0, 1024, 768 }), (Point { 700, 550 }));
    EXPECT_EQ(dialogPositionAtCursor({ 2000, 2000 }, { 200, 100 }, { 0, 0, 1024, 768 }), (Point { 824, 668 }));
    EXPECT_EQ(dialogPositionAtCursor({ 5, 5 }, { 2000, 100 }, { 0, 0, 1024, 768 }), (Point { 0, 0 }));
}

TEST_F(CalibDialogs, ScaleControlsActAtOnceAndCancelRestores)
{
    scale.Visible = 1;
    ASSERT_TRUE(owner.OnScale(scale, 2048, 1536, QPoint(600, 400)));
    EXPECT_FALSE(owner.OnScale(scale, 2048, 1536, QPoint(600, 400)));
    CScaleDlg* dlg = owner.scaleDialog();
    auto* show = static_cast<QCheckBox*>(dlg->control(CScaleDlg::IDC_SHOW));
    auto* type = static_cast<QComboBox*>(dlg->control(CScaleDlg::IDC_TYPE));
    auto* position = static_cast<QComboBox*>(dlg->control(CScaleDlg::IDC_POSITION));
    auto* sizeX = static_cast<QSpinBox*>(dlg->control(CScaleDlg::IDC_SIZE_X));
    EXPECT_TRUE(show->isChecked());
    EXPECT_EQ(type->currentIndex(), 0);
    EXPECT_EQ(position->currentIndex(), -1);
    EXPECT_EQ(sizeX->value(), 10);

    show->click();
    EXPECT_EQ(scale.Visible, 0);
    type->setCurrentIndex(1);
    emit type->activated(1);
    EXPECT_EQ(scale.Type, ScaleBarXY);
    sizeX->setValue(20);
    position->setCurrentIndex(PlaceUpperLeft);
    emit position->activated(PlaceUpperLeft);
    EXPECT_EQ(scale.Pos, (Point { 450, 250 }));
    EXPECT_EQ(scale.Size.cx, 20);
    EXPECT_EQ(scaleChanges, 3);

    // A calibration change while the dialog is open, then Cancel: the dialog's edits go, the factors stay.
    scale.unit = UnitUm;
    scale.mppX = 0.5;
    dlg->OnCancel();
    EXPECT_FALSE(owner.scaleOpen());
    EXPECT_EQ(scaleChanges, 4);
    EXPECT_EQ(scale.Visible, 1);
    EXPECT_EQ(scale.Type, ScaleBarX);
    EXPECT_EQ(scale.Pos, (Point { 1998, 1486 }));
    EXPECT_EQ(scale.Size.cx, 10);
    EXPECT_EQ(scale.unit, UnitUm);
    EXPECT_EQ(scale.mppX, 0.5);

    // OK keeps the changes and reads the sizes.
    ASSERT_TRUE(owner.OnScale(scale, 2048, 1536, QPoint(600, 400)));
    dlg = owner.scaleDialog();
    static_cast<QSpinBox*>(dlg->control(CScaleDlg::IDC_SIZE_Y))->setValue(3);
    static_cast<QCheckBox*>(dlg->control(CScaleDlg::IDC_SHOW))->click();
    dlg->OnOK();
    EXPECT_FALSE(owner.scaleOpen());
    EXPECT_EQ(scale.Visible, 0);
    EXPECT_EQ(scale.Size.cy, 3);
}

TEST(CalibDialogOwner, ClosesBothDialogsBeforeWhatTheyEditIsGone)
{
    QWidget window;
    QPointer<CCalibDlg> calib;
    QPointer<CScaleDlg> scaleDlg;
    {
        auto table = std::make_unique<CalibTable>();
        auto scale = std::make_unique<ScaleData>();
        auto owner = std::make_unique<CalibDialogOwner>(&window);
        ASSERT_TRUE(owner->OnCalib(*table, 0, nullptr, QPoint(500, 500)));
        ASSERT_TRUE(owner->OnScale(*scale, 2048, 1536, QPoint(500, 500)));
        calib = owner->calibDialog();
        scaleDlg = owner->scaleDialog();
        ASSERT_TRUE(owner->BeginFrameDrag((*table)[0], 100, 100));
        owner.reset();
        EXPECT_TRUE(calib.isNull());
        EXPECT_TRUE(scaleDlg.isNull());
        EXPECT_EQ((*table)[0].dragMode, 0);
    }
    QCoreApplication::processEvents(); // nothing is left to run against the freed table
}
