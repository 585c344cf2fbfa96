// The colour dialog on the offscreen platform: swatches painted in the current colours, the chooser opened
// by a left-button release over a swatch and nowhere else, COLORREF kept, and the placement by the pointer.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include "dialogs/ui/CColorSetDlg.h"
#include "platform/Language.h"

namespace {

constexpr ColorRef kText = 0x00FFFF00; // cyan, as COLORREF 0x00BBGGRR
constexpr ColorRef kLine = 0x000000FF; // red

class ColorSetDlgTest : public ::testing::Test {
protected:
    // Shown, as a modal run shows it: the layout places the swatches then.
    void SetUp() override { dlg.show(); }
    void TearDown() override { g_bJapanese = 0; }

    // A left (or other) button released at a point of the dialog.
    static void release(CColorSetDlg& dlg, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(at), dlg.mapToGlobal(QPointF(at)), button, Qt::NoButton,
            Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &e);
    }
    static QPoint centreOf(const CColorSetDlg& dlg, int id) { return dlg.control(id)->geometry().center(); }
    static QColor shownAt(CColorSetDlg& dlg, QPoint at) { return dlg.grab().toImage().pixelColor(at); }

    CColorSetDlg dlg { kText, kLine, QPoint(600, 500), nullptr };
    std::vector<ColorRef> presets;
    std::optional<ColorRef> answer;
    void answerChooser()
    {
        dlg.chooseColor = [this](ColorRef preset) {
            presets.push_back(preset);
            return answer;
        };
    }
};

} // namespace

TEST_F(ColorSetDlgTest, SwatchesPaintedInTheCurrentColours)
{
    EXPECT_EQ(dlg.windowTitle(), "Color setting");
    QStringList texts;
    for (const QLabel* l : dlg.findChildren<QLabel*>())
        texts << l->text();
    EXPECT_EQ(texts, QStringList({ "Line color", "Text color" }));
    EXPECT_EQ(dlg.findChildren<QPushButton*>().size(), 1); // OK only
    EXPECT_EQ(shownAt(dlg, centreOf(dlg, CColorSetDlg::IDC_LINE_COLOR)), QColor(255, 0, 0));
    EXPECT_EQ(shownAt(dlg, centreOf(dlg, CColorSetDlg::IDC_TEXT_COLOR)), QColor(0, 255, 255));

    g_bJapanese = 1;
    CColorSetDlg ja(kText, kLine, QPoint(600, 500), nullptr);
    texts.clear();
    for (const QLabel* l : ja.findChildren<QLabel*>())
        texts << l->text();
    EXPECT_EQ(texts, QStringList({ "測定ライン用", "測定結果テキスト用" }));
}

TEST_F(ColorSetDlgTest, ReleaseOverASwatch_ChoosesItsColourAsColorref)
{
    answerChooser();
    answer = Rgb(0x12, 0x34, 0x56);
    release(dlg, centreOf(dlg, CColorSetDlg::IDC_LINE_COLOR));
    ASSERT_EQ(presets, std::vector<ColorRef>({ kLine }));
    EXPECT_EQ(dlg.lineColor(), 0x00563412u);
    EXPECT_EQ(dlg.textColor(), kText);
    EXPECT_EQ(shownAt(dlg, centreOf(dlg, CColorSetDlg::IDC_LINE_COLOR)), QColor(0x12, 0x34, 0x56));

    // The text swatch's top-left pixel is inside, its right edge is not (rectangles exclude it).
    const QRect text = dlg.control(CColorSetDlg::IDC_TEXT_COLOR)->geometry();
    answer = Rgb(1, 2, 3);
    release(dlg, text.topLeft());
    EXPECT_EQ(presets.back(), kText);
    EXPECT_EQ(dlg.textColor(), 0x00030201u);
    presets.clear();
    release(dlg, QPoint(text.left() + text.width(), text.top()));
    EXPECT_TRUE(presets.empty());
}

TEST_F(ColorSetDlgTest, ElsewhereOtherButtonOrCancelledChooser_ChangesNothing)
{
    answerChooser();
    answer = Rgb(9, 9, 9);
    // Outside both swatches: on the OK button's row, between the labels, in the corner.
    release(dlg, QPoint(1, 1));
    release(dlg, dlg.findChild<QLabel*>()->geometry().center());
    release(dlg, centreOf(dlg, CColorSetDlg::IDOK) + QPoint(0, 30));
    // The right button over a swatch.
    release(dlg, centreOf(dlg, CColorSetDlg::IDC_LINE_COLOR), Qt::RightButton);
    EXPECT_TRUE(presets.empty());

    answer.reset(); // the chooser cancelled
    release(dlg, centreOf(dlg, CColorSetDlg::IDC_LINE_COLOR));
    release(dlg, centreOf(dlg, CColorSetDlg::IDC_TEXT_COLOR));
    EXPECT_EQ(presets.size(), 2u);
    EXPECT_EQ(dlg.lineColor(), kLine);
    EXPECT_EQ(dlg.textColor(), kText);
}

TEST_F(ColorSetDlgTest, PlacedUpAndLeftOfThePointer_AndKeptOnTheScreen)
{
    EXPECT_EQ(dlg.pos(), QPoint(500, 400));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Near the bottom-right corner: the whole dialog stays on the screen.
    CColorSetDlg corner(kText, kLine, screen.bottomRight(), nullptr);
    EXPECT_TRUE(screen.contains(corner.frameGeometry())) << corner.frameGeometry().x();
    // At the top-left corner: not above or left of the screen.
    CColorSetDlg origin(kText, kLine, screen.topLeft() + QPoint(10, 10), nullptr);
    EXPECT_EQ(origin.pos(), screen.topLeft());
}
