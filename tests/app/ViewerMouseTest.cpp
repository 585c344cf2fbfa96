// Measuring with the real mouse events and keys of the main window: a line measured on the live picture at
// x4 agrees with one measured at fit, a polygon closed by a double click, a point dragged with the right
// button, a pan, and the shortcuts (none of them while a text field has the keys).
#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

#include "app/DialogTemplate.h"
#include "app/SkinCells.h"
#include "support/LiveWindowSupport.h"
#include "support/WindowDriver.h"
#include "imaging/ViewOverview.h"
#include "measure/Geometry.h"
#include "measure/MeasureInteraction.h"
#include "platform/Language.h"
#include "platform/simcam/SimCamera.h"

namespace {

using livetest::kPatientMs;
using livetest::pumpUntil;

void noSleep(uint32_t) {}

class ViewerMouseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_bJapanese = 0;
        installSimulatedCamera();
        CameraDevice::setSleepHook(noSleep);
        QFile f(m_Dir.filePath("NxQb740Le.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[NX-QB740LE]\nEH=640\nEV=480\nEHS=704\nEVS=528\n");
    }
    void TearDown() override
    {
        g_bJapanese = 0;
        uninstallSimulatedCamera();
        CameraDevice::setSleepHook(nullptr);
    }
    // Waits until the live picture on the screen has the view's zoom and scroll.
    static bool liveShown(CViewerDlg& dlg)
    {
        const uint64_t frames = win::framesShown(dlg);
        return pumpUntil([&] { return win::framesShown(dlg) > frames + 1 && win::shownGeometry(dlg) == dlg.liveView().viewGeometry(); },
            10000);
    }

    // Shows the window at a zoom and scroll and waits until the live picture has them.
    static bool showLive(CViewerDlg& dlg, int zoom, double baiX, double baiY)
    {
        dlg.show();
        win::setZoom(dlg, zoom);
        win::scrollTo(dlg, baiX, baiY);
        return liveShown(dlg);
    }

    QTemporaryDir m_Dir;
};

// The window point over picture point p as the picture on the screen has it.
QPoint windowPoint(CViewerDlg& dlg, MeasurePoint p)
{
    const ViewGeometry g = win::shownGeometry(dlg);
    const ViewScale s = viewScale(g);
    return { g.view.left + int(std::lround((p.x + s.offsetX) * s.sx)),
        g.view.top + int(std::lround((p.y + s.offsetY) * s.sy)) };
}

// Mouse events as the window system delivers them: the widget under the press gets the whole gesture.
class Mouse {
public:
    explicit Mouse(CViewerDlg& dlg) : m_Dlg(dlg) {}

    void press(QPointF p, Qt::MouseButton b = Qt::LeftButton)
    {
        m_Target = m_Dlg.childAt(p.toPoint()) ? m_Dlg.childAt(p.toPoint()) : &m_Dlg;
        m_Buttons |= b;
        send(QEvent::MouseButtonPress, p, b);
    }
    void doubleClick(QPoint p)
    {
        m_Buttons |= Qt::LeftButton;
        send(QEvent::MouseButtonDblClick, p, Qt::LeftButton);
    }
    void move(QPoint p) { send(QEvent::MouseMove, p, Qt::NoButton); }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton)
    {
        m_Buttons &= ~b;
        send(QEvent::MouseButtonRelease, p, b);
    }
    void drag(QPoint from, QPoint to, Qt::MouseButton b = Qt::LeftButton)
    {
        press(from, b);
        move((from + to) / 2);
        move(to);
        release(to, b);
    }
    QWidget* target() const { return m_Target; }

private:
    // A scaled screen gives fractions of a window pixel.
    void send(QEvent::Type type, QPointF client, Qt::MouseButton b)
    {
        QWidget* target = m_Target ? m_Target : &m_Dlg;
        const QPointF local = target->mapFrom(&m_Dlg, client);
        QMouseEvent e(type, local, target->mapToGlobal(local), b, m_Buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &e);
    }

    CViewerDlg& m_Dlg;
    QWidget* m_Target = nullptr;
    Qt::MouseButtons m_Buttons;
};

const MeasureItem& lastItem(CViewerDlg& dlg) { return *std::prev(dlg.session().measure().items().end()); }

QString firstValue(CViewerDlg& dlg) { return dlg.session().measure().results().texts()[0][ResultsModel::ColumnValue]; }

} // namespace

TEST_F(ViewerMouseTest, ALineMeasuredAtX4OnTheLivePictureMatchesTheOneAtFit)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    const MeasurePoint a { 100.5, 100.5 }, b { 190.5, 140.5 };
    const double truth = distance(a, b);
    const auto measure = [&](int zoom, double baiX, double baiY) {
        EXPECT_TRUE(showLive(dlg, zoom, baiX, baiY)) << zoom;
        win::click(dlg, IDC_LINE);
        Mouse mouse(dlg);
        mouse.drag(windowPoint(dlg, a), windowPoint(dlg, b));
        EXPECT_EQ(mouse.target(), win::viewSurface(dlg)); // the surface over the picture takes the mouse
        const MeasureItem& line = lastItem(dlg);
        EXPECT_EQ(line.type, -ToolLine);
        EXPECT_DOUBLE_EQ(line.result,
            distance(line.points[0], line.points[1]) * dlg.session().measure().selectedCalib().mppX);
        return distance(line.points[0], line.points[1]);
    };
    const double atFit = measure(0, 0, 0);
    const double atX4 = measure(3, -80, -80);
    EXPECT_NEAR(atFit, truth, 1.0);
    EXPECT_NEAR(atX4, truth, 1.0);
    EXPECT_NEAR(atX4, atFit, 1.0);
    EXPECT_EQ(dlg.session().measure().results().rowCount(), 2);
    EXPECT_EQ(win::tool(dlg), ToolNone);
    dlg.done(0);
}

TEST_F(ViewerMouseTest, AreaClosesOnADoubleClick_RightDragEditsAndLeftDragPans)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(showLive(dlg, 3, -50, -50));
    Mouse mouse(dlg);
    win::click(dlg, IDC_ARIA);
    const MeasurePoint corners[] = { { 60, 60 }, { 120, 60 }, { 120, 100 } };
    for (const MeasurePoint& p : corners) {
        mouse.press(windowPoint(dlg, p));
        mouse.release(windowPoint(dlg, p));
    }
    // The last corner: press, release, double click, release.
    const QPoint last = windowPoint(dlg, { 60, 100 });
    mouse.press(last);
    mouse.release(last);
    mouse.doubleClick(last);
    mouse.release(last);
    ASSERT_EQ(dlg.session().measure().items().count(), 1);
    EXPECT_EQ(lastItem(dlg).type, -ToolArea);
    EXPECT_EQ(lastItem(dlg).pointCount, 4);
    const QString before = firstValue(dlg);

    // A corner dragged with the right button: the area is counted again at the release.
    mouse.drag(windowPoint(dlg, { 120, 100 }), windowPoint(dlg, { 140, 120 }), Qt::RightButton);
    EXPECT_NEAR(lastItem(dlg).points[2].x, 140, 0.25);
    EXPECT_NE(firstValue(dlg), before);
    // Undo brings the corner back (the keys are the shortcut test's).
    dlg.session().measure().undo(&dlg.liveView().pictureInUse());
    EXPECT_EQ(firstValue(dlg), before);

    // Without a tool a left drag pans: 40 view pixels to the left are 10 picture pixels at x4.
    mouse.drag(QPoint(300, 200), QPoint(260, 200));
    EXPECT_DOUBLE_EQ(dlg.liveView().viewGeometry().baiX, -60);
    EXPECT_DOUBLE_EQ(dlg.liveView().viewGeometry().baiY, -50);
    EXPECT_EQ(win::viewSurface(dlg)->cursor().shape(), MeasureInteraction::kHandCursor);
    dlg.done(0);
}

TEST_F(ViewerMouseTest, ShortcutsChooseToolsZoomUndoAndStopTheLiveView_AndTooltipsNameThem)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    struct ToolKey {
        Qt::Key key;
        int tool;
        int button;
    };
    for (const ToolKey& k : { ToolKey { Qt::Key_L, ToolLine, IDC_LINE }, { Qt::Key_A, ToolArea, IDC_ARIA },
             { Qt::Key_C, ToolCircle, IDC_CIRCLE }, { Qt::Key_2, ToolCircle2, IDC_CIRCLE2 },
             { Qt::Key_P, ToolPerpendicular, IDC_SUI }, { Qt::Key_G, ToolAngle, IDC_ANGLE } }) {
        QTest::keyClick(&dlg, k.key);
        EXPECT_EQ(win::tool(dlg), k.tool) << k.key;
        EXPECT_TRUE(win::control(dlg, k.button)->toolTip().endsWith(QString(" (%1)").arg(QKeySequence(k.key).toString())))
            << win::control(dlg, k.button)->toolTip().toStdString();
    }
    // The edge tools: by their keys, or from the right-click menu of the tool they refine.
    for (const auto& [key, tool] : { std::pair { Qt::Key_K, ToolCaliper }, { Qt::Key_J, ToolEdgeLine },
             { Qt::Key_E, ToolEdgeCircle } }) {
        QTest::keyClick(&dlg, key);
        EXPECT_EQ(win::tool(dlg), tool) << key;
    }
    int offered = 0;
    dlg.prompts().files.runMenu = [&](QMenu& menu, QPoint) {
        offered = int(menu.actions().size());
        return int(ToolCaliper);
    };
    emit win::control(dlg, IDC_LINE)->customContextMenuRequested({});
    EXPECT_EQ(offered, 2);
    EXPECT_EQ(win::tool(dlg), ToolCaliper);
    // Escape drops the item being drawn; the window stays.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(win::tool(dlg), ToolNone);
    EXPECT_TRUE(dlg.isVisible());

    // Delete, then undo and redo with each of their keys.
    for (int i = 0; i < 2; ++i) {
        MeasureItem line;
        line.reset(ToolLine);
        line.addPoint({ 0, 0 });
        line.addPoint({ 10.0 * (i + 1), 0 });
        line.type = -ToolLine;
        dlg.session().measure().add(line);
    }
    win::selectItems(dlg, { dlg.session().measure().results().itemIdAt(0) });
    QTest::keyClick(&dlg, Qt::Key_Delete);
    EXPECT_EQ(dlg.session().measure().items().count(), 1);
    QTest::keyClick(&dlg, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(dlg.session().measure().items().count(), 2);
    QTest::keyClick(&dlg, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(dlg.session().measure().items().count(), 1);
    QTest::keyClick(&dlg, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&dlg, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(dlg.session().measure().items().count(), 1);

    // F fits, + and - step the zoom.
    QTest::keyClick(&dlg, Qt::Key_F);
    EXPECT_EQ(dlg.liveView().viewGeometry().zoomIndex, 0);
    QTest::keyClick(&dlg, Qt::Key_Plus);
    QTest::keyClick(&dlg, Qt::Key_Plus);
    EXPECT_EQ(dlg.liveView().viewGeometry().zoomIndex, 2);
    QTest::keyClick(&dlg, Qt::Key_Minus);
    EXPECT_EQ(dlg.liveView().viewGeometry().zoomIndex, 1);

    // S turns snapping on and off (the box shows it).
    auto* snap = qobject_cast<QCheckBox*>(win::control(dlg, IDC_SNAP));
    ASSERT_FALSE(snap->isChecked());
    QTest::keyClick(&dlg, Qt::Key_S);
    EXPECT_TRUE(snap->isChecked());
    QTest::keyClick(&dlg, Qt::Key_S);
    EXPECT_FALSE(snap->isChecked());

    // Space stops and starts the live view.
    ASSERT_FALSE(win::liveStopped(dlg));
    QTest::keyClick(&dlg, Qt::Key_Space);
    EXPECT_TRUE(win::liveStopped(dlg));
    QTest::keyClick(&dlg, Qt::Key_Space);
    EXPECT_FALSE(win::liveStopped(dlg));

    // Escape with nothing being drawn leaves the window open.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());
    dlg.done(0);
}

TEST_F(ViewerMouseTest, NoShortcutActsWhileATextFieldHasTheKeys)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    auto* field = new QLineEdit(&dlg);
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    MeasureItem line;
    line.reset(ToolLine);
    line.addPoint({ 0, 0 });
    line.addPoint({ 10, 0 });
    line.type = -ToolLine;
    dlg.session().measure().add(line);
    win::selectItems(dlg, { dlg.session().measure().results().itemIdAt(0) });
    field->setFocus();
    ASSERT_TRUE(pumpUntil([&] { return field->hasFocus(); }, kPatientMs));
    QTest::keyClicks(field, "lac2pg f+-");
    EXPECT_EQ(field->text(), "lac2pg f+-"); // every key went into the text
    QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(field->text(), "ac2pg f+-");
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Escape);
    const int32_t thumbnails = dlg.session().thumbnails().count();
    QTest::keyClick(field, Qt::Key_F12); // quick capture's key
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(dlg.session().thumbnails().count(), thumbnails);
    EXPECT_EQ(win::tool(dlg), ToolNone);
    EXPECT_EQ(dlg.session().measure().items().count(), 1);
    EXPECT_EQ(dlg.liveView().viewGeometry().zoomIndex, 1);
    EXPECT_FALSE(win::liveStopped(dlg));
    EXPECT_TRUE(dlg.isVisible());
    dlg.done(0);
}

TEST_F(ViewerMouseTest, JapaneseTooltipsNameTheKeysToo)
{
    g_bJapanese = 1;
    CViewerDlg dlg(nullptr, m_Dir.path());
    EXPECT_TRUE(win::control(dlg, IDC_LINE)->toolTip().endsWith(QString::fromUtf8("（L）")));
    EXPECT_TRUE(win::control(dlg, IDC_LIVE)->toolTip().contains(QString::fromUtf8("スペース")));
    EXPECT_TRUE(win::control(dlg, IDC_ZOOM)->toolTip().contains("F"));
    dlg.done(0);
}

TEST_F(ViewerMouseTest, ALargeCircleDraggedOutAtX4StaysInsideTheView)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(showLive(dlg, 3, -100, -100));
    // A small circle in the middle of the view.
    const ViewGeometry g = win::shownGeometry(dlg);
    const MeasurePoint c { -g.baiX + g.view.width() / 8.0, -g.baiY + g.view.height() / 8.0 };
    win::click(dlg, IDC_CIRCLE);
    Mouse mouse(dlg);
    for (const MeasurePoint& p : { MeasurePoint { c.x - 15, c.y }, { c.x, c.y - 15 }, { c.x + 15, c.y } }) {
        mouse.press(windowPoint(dlg, p));
        mouse.release(windowPoint(dlg, p));
    }
    // Its circumference pulled out to the view's corner: the chords of the outline pass the view's edges.
    mouse.drag(windowPoint(dlg, { c.x + 15, c.y }), QPoint(g.view.right - 1, g.view.bottom - 1), Qt::RightButton);
    ASSERT_GT(lastItem(dlg).radius1, 60);
    dlg.repaint();
    const QImage shot = dlg.grab().toImage();
    const Rect view = win::shownGeometry(dlg).view;
    int inside = 0, outside = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if ((shot.pixel(x, y) & 0xFFFFFFu) == 0x00FF00u)
                ++(view.contains(x, y) ? inside : outside);
    EXPECT_GT(inside, 0);
    EXPECT_EQ(outside, 0);
    dlg.done(0);
}

TEST_F(ViewerMouseTest, WheelZoomsAtThePointer_KeysAboutTheCentre_TheOverviewMovesTheView)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, kPatientMs));
    win::click(dlg, IDC_LIVE); // a still picture
    win::setZoom(dlg, 1);
    win::scrollTo(dlg, -100, -80);
    const auto pictureAt = [&](QPointF w) { return windowToImage(w.x(), w.y(), dlg.liveView().viewGeometry()); };
    const auto near = [](PicturePoint a, PicturePoint b) { return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1; };

    // A notch away from the user at a point of the picture: x2, that point still under the pointer.
    const Rect v = dlg.liveView().viewGeometry().view;
    const QPointF pointer(v.left + 150, v.top + 100);
    const PicturePoint under = pictureAt(pointer);
    QWheelEvent notch(pointer, dlg.mapToGlobal(pointer), {}, { 0, 120 }, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&dlg, &notch);
    EXPECT_EQ(dlg.liveView().viewGeometry().zoomIndex, 2);
    EXPECT_TRUE(near(pictureAt(pointer), under));

    // + keeps the picture point at the view's centre.
    const auto centre = [&] {
        const Rect r = dlg.liveView().viewGeometry().view;
        return QPointF((r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0);
    };
    const PicturePoint middle = pictureAt(centre());
    QTest::keyClick(&dlg, Qt::Key_Plus);
    EXPECT_EQ(dlg.liveView().viewGeometry().zoomIndex, 3);
    EXPECT_TRUE(near(pictureAt(centre()), middle));

    // A press in the overview's middle centres the view on the picture's middle.
    dlg.repaint();
    const Rect overview = ViewOverview::Placement(win::shownGeometry(dlg));
    ASSERT_FALSE(overview.isEmpty());
    // It shows the whole picture, small: the chart's dark discs and its light ground, not a flat field.
    const QImage small = dlg.grab(QRect(overview.left, overview.top, overview.width(), overview.height())).toImage();
    int darkest = 255, lightest = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            if ((small.pixel(x, y) & 0xFFFFFFu) == 0x00FF00u)
                continue; // the frame of the part in sight
            darkest = std::min(darkest, qGray(small.pixel(x, y)));
            lightest = std::max(lightest, qGray(small.pixel(x, y)));
        }
    EXPECT_GT(lightest - darkest, 60);
    Mouse mouse(dlg);
    const QPoint o((overview.left + overview.right) / 2, (overview.top + overview.bottom) / 2);
    mouse.press(o);
    mouse.release(o);
    // (to within an overview pixel, some 3.6 picture pixels here)
    EXPECT_NEAR(pictureAt(centre()).x, 320, 4);
    EXPECT_NEAR(pictureAt(centre()).y, 240, 4);
    EXPECT_EQ(dlg.session().measure().items().count(), 0); // the overview's click measured nothing
    dlg.done(0);
}

// CTest runs this once more with QT_SCALE_FACTOR=2 (ViewerMouseTestAtScale2): the screen's scale is the
// process's, set before the application starts.
TEST_F(ViewerMouseTest, AClickLandsOnThePicturePixelShownUnderIt_AndTheSkinsAreDrawnForTheScreensScale)
{
    const int ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariableIntValue("QT_SCALE_FACTOR") : 1;
    ASSERT_DOUBLE_EQ(qApp->devicePixelRatio(), ratio);
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, kPatientMs));
    win::click(dlg, IDC_LIVE); // a still picture

    // The LINE button shows its cell of the sheet drawn for the ratio, one sheet pixel per device pixel.
    const QImage button = win::control(dlg, IDC_LINE)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage sheet(ratio == 2 ? ":/Png/1033/157@2x.png" : ":/Png/1033/157.png");
    EXPECT_DOUBLE_EQ(button.devicePixelRatio(), ratio);
    EXPECT_DOUBLE_EQ(sheet.devicePixelRatio(), ratio);
    const QRect cell(0, 0, kButtonCellWidth * ratio, kButtonCellHeight * ratio);
    EXPECT_EQ(button.copy(cell), sheet.copy(cell).convertToFormat(QImage::Format_RGB32));

    // x1 shows a picture pixel per device pixel: a window pixel covers `ratio` of them, and the half pixel
    // positions the screen gives at 200 % reach the odd ones.
    const struct {
        int zoom;
        double baiX, baiY;
        QPointF at; // from the view's top-left corner, in window pixels
        MeasurePoint x1, x2; // the picture point placed at ratio 1 and 2 (fit: its view's share)
    } cases[] = {
        { 1, 0, 0, { 101, 61 }, { 101, 61 }, { 202, 122 } },
        { 1, 0, 0, { 100.5, 60.5 }, { 100.5, 60.5 }, { 201, 121 } },
        { 3, -80, -60, { 101, 61 }, { 105.25, 75.25 }, { 130.5, 90.5 } },
        { 0, 0, 0, { 100, 60 }, { 0, 0 }, { 0, 0 } },
    };
    for (const auto& c : cases) {
        win::setZoom(dlg, c.zoom);
        win::scrollTo(dlg, c.baiX, c.baiY);
        dlg.repaint();
        const ViewGeometry g = win::shownGeometry(dlg);
        ASSERT_EQ(g, dlg.liveView().viewGeometry()) << c.zoom;
        ASSERT_EQ(g.devicePixelRatio, ratio);
        win::click(dlg, IDC_LINE);
        Mouse mouse(dlg);
        mouse.press(QPointF(g.view.left, g.view.top) + c.at);
        const MeasurePoint p = dlg.session().measure().current().point(0);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        const MeasurePoint expected = c.zoom == 0
            ? MeasurePoint { c.at.x() * g.imageWidth / g.view.width(), c.at.y() * g.imageHeight / g.view.height() }
            : ratio == 2 ? c.x2 : c.x1;
        EXPECT_DOUBLE_EQ(p.x, expected.x) << c.zoom;
        EXPECT_DOUBLE_EQ(p.y, expected.y) << c.zoom;
        const QImage& shown = dlg.liveView().shownPicture().image;
        EXPECT_EQ(shown.size(), QSize(g.view.width() * ratio, g.view.height() * ratio)) << c.zoom;
        if (c.zoom == 0)
            continue; // fit samples the picture by its own rounding, within a pixel of this
        // The device pixel under the click shows that picture pixel.
        const DibImage& picture = dlg.liveView().pictureInUse();
        const uint8_t* px = picture.rowTopDown(int(p.y)) + int(p.x) * picture.bytesPerPixel();
        const QRgb onScreen = shown.pixel(int(c.at.x() * ratio), int(c.at.y() * ratio));
        EXPECT_EQ(qBlue(onScreen), px[0]) << c.zoom;
        EXPECT_EQ(qRed(onScreen), px[picture.bytesPerPixel() == 3 ? 2 : 0]) << c.zoom;
    }
    dlg.done(0);
}
