// The measurements over the live picture: drawn with the geometry of the picture they lie on, at every zoom
// and odd scroll offset, also after frames stall and the view is panned; the results list following the
// calibration; DELETE on the list.
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>

#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "app/DialogTemplate.h"
#include "app/SimulatedWindowTest.h"
#include "calib/ui/CCalibDlg.h"
#include "support/WindowDriver.h"
#include "imaging/ViewOverview.h"
#include "measure/MeasureResults.h"
#include "platform/PrivateProfile.h"
#include "platform/simcam/SimCamera.h"

namespace {

class ViewerOverlayTest : public SimulatedWindowTest {
protected:
    void SetUp() override
    {
        SimulatedWindowTest::SetUp();
        writeSettings();
    }
};

MeasureItem finishedLine(MeasurePoint a, MeasurePoint b)
{
    MeasureItem item;
    item.reset(ToolLine);
    item.addPoint(a);
    item.addPoint(b);
    CalibEntry calib;
    finishItem(item, calib, nullptr);
    return item;
}

// The picture pixels under every pixel of the line colour (pure green, which the grey picture never has).
struct LinePixels {
    int count = 0;
    int outside = 0; // pixels whose picture pixel is not on the measured line
};

LinePixels linePixels(CViewerDlg& dlg, int row, int firstColumn, int lastColumn)
{
    const ViewGeometry g = win::shownGeometry(dlg);
    const QImage shot = dlg.grab(QRect(g.view.left, g.view.top, g.view.width(), g.view.height())).toImage();
    // The overview in the corner of a magnified view frames its visible part in the line colour too.
    const Rect overview = ViewOverview::Placement(g);
    LinePixels r;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            if ((shot.pixel(x, y) & 0xFFFFFFu) != 0x00FF00u
                || overview.contains(g.view.left + x, g.view.top + y))
                continue;
            ++r.count;
            const PicturePoint p = windowToImage(g.view.left + x + 0.5, g.view.top + y + 0.5, g);
            const int px = int(std::floor(p.x)), py = int(std::floor(p.y));
            r.outside += py != row || px < firstColumn || px > lastColumn;
        }
    return r;
}

} // namespace

TEST_F(ViewerOverlayTest, LiveOverlayLiesOnItsPicturePixels_AlsoAfterAStallAndAPan)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    // A horizontal line along picture row 60 from column 110 to 130.
    ASSERT_NE(dlg.session().measure().add(finishedLine({ 110.5, 60.5 }, { 130.5, 60.5 })), nullptr);
    for (const int zoom : { 3, 5 }) { // x4 and x16
        win::setZoom(dlg, zoom);
        win::scrollTo(dlg, -105, -57);
        ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) > 2 && win::shownGeometry(dlg) == dlg.liveView().viewGeometry(); }, 10000));
        const LinePixels on = linePixels(dlg, 60, 110, 130);
        EXPECT_GT(on.count, 0) << "zoom " << zoom;
        EXPECT_EQ(on.outside, 0) << "zoom " << zoom;
    }

    // Frames stall; a pan shows from the last frame, and the overlay moves with the picture shown.
    m_Sim->setCommandsFail(true);
    ASSERT_TRUE(livetest::pumpUntilFramesStop(dlg.liveView(), 500, 20000));
    win::scrollTo(dlg, -103, -55);
    ASSERT_TRUE(pumpUntil([&] { return win::shownGeometry(dlg) == dlg.liveView().viewGeometry(); }, kPatientMs));
    const LinePixels after = linePixels(dlg, 60, 110, 130);
    EXPECT_GT(after.count, 0);
    EXPECT_EQ(after.outside, 0);
    m_Sim->setCommandsFail(false);
    dlg.done(0);
}

TEST_F(ViewerOverlayTest, ResultsFollowTheCalibrationAndDeleteRemovesTheSelectedItems)
{
    QFile f(m_Dir.filePath("NxQb740Le.ini"));
    ASSERT_TRUE(f.open(QIODevice::Append));
    // The second calibration: 1 mm over 100 pixels.
    f.write("[CALIBRATION]\nname_1=Stage\nlength.x_1=1.0\nlength.y_1=1.0\nunit_1=1\nleft_1=0\nright_1=100\n"
            "top_1=0\nbottom_1=100\n");
    f.close();
    CViewerDlg dlg(nullptr, m_Dir.path());
    MeasureSession& session = dlg.session().measure();
    const ResultsModel& results = session.results();
    const auto cell = [&](int row, int column) { return results.index(row, column).data().toString(); };
    session.add(finishedLine({ 0, 0 }, { 200, 0 }));
    session.add(finishedLine({ 0, 0 }, { 0, 50 }));
    ASSERT_EQ(results.rowCount(), 2);
    auto* combo = qobject_cast<QComboBox*>(win::control(dlg, IDC_CALIB_COMBO));
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(session.calibIndex(), 1);
    EXPECT_EQ(cell(0, ResultsModel::ColumnValue), "2.000");
    EXPECT_EQ(cell(0, ResultsModel::ColumnUnit), "mm");
    EXPECT_EQ(session.scale().unit, 1); // the scale bar speaks the same unit
    // Every result and unit shows whole in its column.
    auto* table = qobject_cast<QTableView*>(win::control(dlg, IDC_RESULTS));
    for (int r = 0; r < results.rowCount(); ++r)
        for (const int c : { int(ResultsModel::ColumnValue), int(ResultsModel::ColumnUnit) })
            EXPECT_LT(table->fontMetrics().horizontalAdvance(cell(r, c)), table->columnWidth(c));
    EXPECT_DOUBLE_EQ(session.scale().mppX, 0.01);

    // The selection is of items: it survives an edit of their values, and DELETE takes what it names.
    win::selectItems(dlg, { results.itemIdAt(0) });
    session.items().begin()->result = 3.0;
    session.itemsChanged();
    win::click(dlg, IDC_DELETE);
    ASSERT_EQ(results.rowCount(), 1);
    EXPECT_EQ(session.items().count(), 1);
    EXPECT_EQ(cell(0, ResultsModel::ColumnValue), "0.500");
    win::click(dlg, IDC_CLEAR);
    EXPECT_EQ(results.rowCount(), 0);
    EXPECT_EQ(session.items().count(), 0);
}

TEST_F(ViewerOverlayTest, CalibrationFrameShowsWhileItsDialogIsOpen)
{
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    win::click(dlg, IDC_LIVE); // a still picture: the view is composed by the window itself
    const ViewGeometry g = dlg.liveView().viewGeometry();
    const auto green = [&] {
        const QImage shot = dlg.grab(QRect(g.view.left, g.view.top, g.view.width(), g.view.height())).toImage();
        int n = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                n += (shot.pixel(x, y) & 0xFFFFFFu) == 0x00FF00u;
        return n;
    };
    EXPECT_EQ(green(), 0);
    win::click(dlg, IDC_CALIB);
    ASSERT_EQ(dlg.findChildren<CCalibDlg*>().size(), 1);
    win::click(dlg, IDC_CALIB); // a second CALIB does nothing
    EXPECT_EQ(dlg.findChildren<CCalibDlg*>().size(), 1);
    // The default frame (0, 0)-(200, 200) at x1: its outline, and its marks.
    EXPECT_GE(green(), 4 * 199);
    dlg.findChild<CCalibDlg*>()->reject();
    QCoreApplication::processEvents();
    EXPECT_EQ(green(), 0);

    // OK keeps the entry in the settings file at once, not only for this run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the closed dialog is gone
    win::click(dlg, IDC_CALIB);
    CCalibDlg* calib = dlg.findChild<CCalibDlg*>();
    static_cast<QLineEdit*>(calib->control(CCalibDlg::IDC_NAME))->setText("Kept");
    calib->OnOK();
    QCoreApplication::processEvents();
    ProfileFile file;
    ASSERT_TRUE(file.load(dlg.session().settingsPath()));
    EXPECT_EQ(file.value(SettingsFile::kCalibSection, "name_0"), "Kept");
}

// R and T switch the reticle and the grid (drawn in the line colour over the picture); O asks for the reference
// picture when there is none and shows it: as a difference, a black reference leaves the live picture's green
// alone and a white one fills red and blue. The arrows nudge it while it is shown; the settings keep it all.
TEST_F(ViewerOverlayTest, KeysSwitchTheGuidesAndTheReferenceShowsAndNudges)
{
    QTemporaryDir pictures;
    QImage black(640, 480, QImage::Format_RGB32), white(640, 480, QImage::Format_RGB32);
    black.fill(Qt::black);
    white.fill(Qt::white);
    ASSERT_TRUE(black.save(pictures.filePath("black.png")) && white.save(pictures.filePath("white.png")));
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(pumpUntil([&] { return win::framesShown(dlg) >= 2; }, kPatientMs));
    const auto view = [&] {
        QCoreApplication::processEvents();
        const ViewGeometry g = win::shownGeometry(dlg);
        return dlg.grab(QRect(g.view.left, g.view.top, g.view.width() / 2, g.view.height() / 2)).toImage();
    };
    const auto count = [&](const QImage& shot, auto&& test) {
        int n = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                n += test(shot.pixel(x, y));
        return n;
    };
    const auto green = [](QRgb p) { return (p & 0xFFFFFFu) == 0x00FF00u; };
    const OverlayOptions& o = dlg.session().overlayOptions();
    EXPECT_EQ(count(view(), green), 0);
    QTest::keyClick(&dlg, Qt::Key_R);
    EXPECT_TRUE(o.reticle);
    EXPECT_GT(count(view(), green), 0);
    QTest::keyClick(&dlg, Qt::Key_R);
    QTest::keyClick(&dlg, Qt::Key_T);
    EXPECT_TRUE(!o.reticle && o.grid);
    EXPECT_GT(count(view(), green), 0);
    // Ctrl+drag in the view puts the reticle's centre under the pointer, in picture pixels.
    QWidget* surface = win::control(dlg, IDC_VIEW);
    QTest::mousePress(surface, Qt::LeftButton, Qt::ControlModifier, QPoint(40, 30));
    QTest::mouseMove(surface, QPoint(52, 37));
    QTest::mouseRelease(surface, Qt::LeftButton, Qt::ControlModifier, QPoint(52, 37));
    const QPoint client = surface->mapTo(&dlg, QPoint(52, 37));
    const PicturePoint centre = windowToImage(client.x(), client.y(), win::shownGeometry(dlg));
    EXPECT_DOUBLE_EQ(o.centreX, centre.x);
    EXPECT_DOUBLE_EQ(o.centreY, centre.y);
    QTest::keyClick(&dlg, Qt::Key_T);
    EXPECT_EQ(count(view(), green), 0);

    QString asked = pictures.filePath("black.png");
    dlg.prompts().askPath = [&](const CsvSaveDialog&, bool save) { return save ? QString() : asked; };
    dlg.session().overlayOptions().difference = true;
    QTest::keyClick(&dlg, Qt::Key_O);
    ASSERT_TRUE(o.reference);
    EXPECT_EQ(o.referencePath, asked);
    const auto redOrBlue = [](QRgb p) { return qRed(p) != 0 || qBlue(p) != 0; };
    const auto magenta = [](QRgb p) { return qRed(p) == 255 && qBlue(p) == 255; };
    QImage shot = view();
    EXPECT_EQ(count(shot, redOrBlue), 0);
    EXPECT_GT(count(shot, [](QRgb p) { return qGreen(p) > 0; }), shot.width() * shot.height() / 2);
    // Another picture through the box's menu; a white one adds full red and blue to the live green.
    asked = pictures.filePath("white.png");
    const auto choose = [&](int box, const char* entry) {
        dlg.prompts().files.runMenu = [entry](QMenu& menu, QPoint) {
            for (const QAction* a : menu.actions())
                if (a->text().startsWith(entry))
                    return a->data().toInt();
            return 0;
        };
        emit win::control(dlg, box)->customContextMenuRequested({});
    };
    choose(IDC_REFERENCE, "Choose picture");
    EXPECT_EQ(o.referencePath, asked);
    shot = view();
    EXPECT_GT(count(shot, magenta), shot.width() * shot.height() / 2);
    QTest::keyClick(&dlg, Qt::Key_O);
    EXPECT_FALSE(o.reference);
    QTest::keyClick(&dlg, Qt::Key_O);
    ASSERT_TRUE(o.reference);

    QTest::keyClick(&dlg, Qt::Key_Right);
    QTest::keyClick(&dlg, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(o.shiftX, 1.0);
    EXPECT_EQ(o.shiftY, 10.0);
    EXPECT_TRUE(dlg.windowTitle().contains("reference shift 1.0, 10.0 px")) << dlg.windowTitle().toStdString();
    // Lengths go over into pixels and back: the first calibration has 0.05 cm a pixel, so 1 mm is 2 pixels.
    choose(IDC_GRID, "In pixels");
    EXPECT_EQ(o.unit, kPixelUnit);
    EXPECT_DOUBLE_EQ(o.gridSpacing, 2.0);
    choose(IDC_GRID, "In pixels");
    EXPECT_EQ(o.unit, UnitCm);
    EXPECT_DOUBLE_EQ(o.gridSpacing, 0.1);
    dlg.done(0);
    ProfileFile file;
    ASSERT_TRUE(file.load(m_Dir.filePath("NxQb740Le.ini")));
    EXPECT_EQ(file.value("OVERLAY", "Reference").value_or(""), "1");
    EXPECT_EQ(file.value("OVERLAY", "ShiftY").value_or(""), "10");
}
