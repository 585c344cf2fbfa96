// Developer tool: takes the README's and docs/' screenshots of the real window under a virtual display.
// It opens the viewer on the simulated camera with a calibration and the scale bar in its settings, places
// one measurement of each kind on the simulated test chart with the X pointer (xdotool presses the tool
// buttons and clicks on the live picture, as a person would), edits one, pans at x4, and grabs the screen
// along the way; in English it also keeps the steps as a sequence (interaction-NN-*.png).
//   xvfb-run -a -s "-screen 0 1600x1000x24" build/src/app/nx_screenshots <out folder> <en|ja>
// With a third argument "hidpi" it takes the window at the screen's scale alone (hidpi-fit-<n>x.png and
// hidpi-x1-<n>x.png, n the device pixel ratio), in a 1200 x 800 window:
//   xvfb-run -a -s "-screen 0 1200x800x24" build/src/app/nx_screenshots docs en hidpi
//   QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2400x1600x24" build/src/app/nx_screenshots docs en hidpi
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/DialogTemplate.h"
#include "app/ViewerDlg.h"
#include "app/WindowPrompts.h"
#include "calib/ui/CCalibDlg.h"
#include "calib/ui/CScaleDlg.h"
#include "files/ui/CThumbnailDlg.h"
#include "files/StillSave.h"
#include "imaging/ViewLayout.h"
#include "measure/MeasureResults.h"
#include "platform/Language.h"
#include "live/LiveView.h"
#include "platform/simcam/SimCamera.h"
#include "session/ViewerSession.h"

namespace {

void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

template <typename T = QWidget> T* control(const CViewerDlg& dlg, int id)
{
    return dlg.findChild<T*>(QString::number(id));
}

// Chooses an entry of one of the window's drop-down lists as a person does.
void choose(const CViewerDlg& dlg, int id, int index)
{
    auto* box = control<QComboBox>(dlg, id);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// Presses a button of the window without moving the X pointer (the calibration dialogs open beside it).
void press(const CViewerDlg& dlg, int id)
{
    control<QAbstractButton>(dlg, id)->click();
}

void shoot(const QString& path)
{
    pump(400);
    QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s\n", qPrintable(path));
}

// The X pointer, driven through the X server so the window gets what a person's mouse gives it.
class Pointer {
public:
    explicit Pointer(CViewerDlg& dlg) : m_Dlg(dlg) {}

    // Over picture point p as the picture on the screen has it.
    void moveTo(MeasurePoint p)
    {
        const ViewGeometry g = m_Dlg.liveView().shownPicture().geometry;
        const ViewScale s = viewScale(g);
        moveToClient(QPoint(g.view.left + int(std::lround((p.x + s.offsetX) * s.sx)),
                            g.view.top + int(std::lround((p.y + s.offsetY) * s.sy))));
    }
    void moveToClient(QPoint client)
    {
        // The X server counts device pixels.
        const QPointF at = QPointF(m_Dlg.mapToGlobal(client)) * m_Dlg.devicePixelRatioF();
        xdo({ "mousemove", QString::number(std::lround(at.x())), QString::number(std::lround(at.y())) });
    }
    void down(int button = 1) { xdo({ "mousedown", QString::number(button) }); }
    void up(int button = 1) { xdo({ "mouseup", QString::number(button) }); }
    void click(MeasurePoint p, int button = 1)
    {
        moveTo(p);
        xdo({ "click", QString::number(button) });
    }
    // Press, release, double click, release: X makes the double click of two quick clicks.
    void doubleClick(MeasurePoint p)
    {
        moveTo(p);
        xdo({ "click", "--repeat", "2", "--delay", "60", "1" });
    }
    void button(int id)
    {
        const QWidget* b = control(m_Dlg, id);
        moveToClient(b->geometry().center());
        xdo({ "click", "1" });
    }

private:
    static void xdo(const QStringList& args)
    {
        if (QProcess::execute("xdotool", args) < 0) {
            std::fprintf(stderr, "xdotool is needed\n");
            std::exit(3);
        }
        pump(80);
    }

    CViewerDlg& m_Dlg;
};

// One measurement of each kind on the test chart (10 picture pixels to the millimetre), placed with the
// pointer; with steps, each step is kept as a picture of the sequence.
void measure(CViewerDlg& dlg, const std::function<void(const char*)>& step)
{
    Pointer pointer(dlg);
    pointer.button(IDC_LINE); // the ruler: press at one end, release at the other
    pointer.moveTo({ 124, 150 });
    pointer.down();
    pointer.moveTo({ 600, 150 });
    step("line-rubber-band");
    pointer.moveTo({ 1124, 150 });
    pointer.up();
    step("line");

    pointer.button(IDC_ARIA); // the pentagon: its corners, the last one double-clicked
    for (const MeasurePoint& p : { MeasurePoint { 1300, 1240 }, { 1380, 930 }, { 1600, 900 }, { 1860, 1060 } })
        pointer.click(p);
    pointer.moveTo({ 1760, 1180 });
    step("area-corners");
    pointer.doubleClick({ 1700, 1250 });
    step("area");

    pointer.button(IDC_CIRCLE); // the 30 mm disc
    for (const MeasurePoint& p : { MeasurePoint { 1030, 522 }, { 1180, 372 }, { 1330, 522 } })
        pointer.click(p);
    step("circle");

    pointer.button(IDC_CIRCLE2);
    for (const MeasurePoint& p : { MeasurePoint { 1350, 400 }, { 1450, 300 }, { 1550, 400 }, { 1590, 340 },
             { 1640, 290 }, { 1690, 340 } })
        pointer.click(p);
    step("two-circles");

    pointer.button(IDC_SUI); // the base line, two perpendiculars onto it, a right click to end
    for (const MeasurePoint& p : { MeasurePoint { 124, 250 }, { 124, 780 }, { 940, 520 }, { 600, 700 } })
        pointer.click(p);
    pointer.click({ 700, 900 }, 3);
    step("perpendiculars");

    pointer.button(IDC_ANGLE); // the star's point
    for (const MeasurePoint& p : { MeasurePoint { 540, 1080 }, { 340, 1080 }, { 480, 940 } })
        pointer.click(p);
    step("angle");
}

// The disc's circumference pulled out with the right button, shown while it is held.
void editCircle(CViewerDlg& dlg, const std::function<void(const char*)>& step)
{
    Pointer pointer(dlg);
    pointer.moveTo({ 1180 + 150 * 0.7071, 522 + 150 * 0.7071 });
    pointer.down(3);
    pointer.moveTo({ 1180 + 190 * 0.7071, 522 + 190 * 0.7071 });
    step("edit-circle");
    pointer.up(3);
}

// A left drag without a tool pans the magnified picture.
void pan(CViewerDlg& dlg)
{
    Pointer pointer(dlg);
    const Rect view = dlg.liveView().shownPicture().geometry.view;
    pointer.moveToClient(QPoint(view.left + view.width() * 3 / 4, view.top + view.height() * 3 / 4));
    pointer.down();
    pointer.moveToClient(QPoint(view.left + view.width() / 2, view.top + view.height() / 2));
    pointer.moveToClient(QPoint(view.left + view.width() / 4, view.top + view.height() / 3));
    pointer.up();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString lang = QString::fromLocal8Bit(argv[2]);
    g_bJapanese = lang == "ja";
    const bool hidpi = argc > 3 && QString::fromLocal8Bit(argv[3]) == "hidpi";
    const QSize size = hidpi ? QSize(1200, 800) : QSize(1600, 1000);
    installSimulatedCamera();

    QTemporaryDir dir;
    QFile ini(dir.filePath("NxQb740Le.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write(QString("[NX-QB740LE]\nm_BayerFlg=1\nm_Bai=0\nm_AutoIrisFlg=1\nm_AutoIrisMode=1\nWindow_Left=0\nWindow_Top=0\n"
              "Window_Right=%1\nWindow_Bottom=%2\n").arg(size.width()).arg(size.height()).toUtf8());
    ini.write("m_ScaleData.Visible=1\nm_ScaleData.Type=1\n"
              "m_ScaleData.Pos.x=1900\nm_ScaleData.Pos.y=1400\nm_ScaleData.Size.cx=20\nm_ScaleData.Size.cy=10\n"
              "[CALIBRATION]\nname_0=Chart 0.1 mm\nlength.x_0=10\nlength.y_0=10\nunit_0=1\nleft_0=124\n"
              "right_0=224\ntop_0=250\nbottom_0=350\n");
    ini.close();
    CViewerDlg dlg(nullptr, dir.path(), "own");
    dlg.show();
    dlg.setGeometry(QRect(QPoint(0, 0), size));
    pump(3000); // auto exposure settles
    choose(dlg, IDC_CALIB_COMBO, 0);
    if (hidpi) {
        const int ratio = int(std::lround(dlg.devicePixelRatioF()));
        measure(dlg, [](const char*) {});
        shoot(QString("%1/hidpi-fit-%2x.png").arg(out).arg(ratio));
        choose(dlg, IDC_ZOOM, 1); // x1: a camera pixel per device pixel
        const ViewGeometry g = dlg.liveView().viewGeometry(); // towards the disc and the two circles
        dlg.session().settings().setScroll(ViewLayout::ClampScroll(-1000, g.deviceWidth(), 1, g.imageWidth),
                                           ViewLayout::ClampScroll(-250, g.deviceHeight(), 1, g.imageHeight));
        shoot(QString("%1/hidpi-x1-%2x.png").arg(out).arg(ratio));
        dlg.done(0);
        return 0;
    }
    int steps = 0;
    const auto step = [&](const char* name) {
        if (lang == "en")
            shoot(QString("%1/interaction-%2-%3.png").arg(out).arg(++steps, 2, 10, QChar('0')).arg(name));
    };
    measure(dlg, step);
    shoot(out + "/main-window-" + lang + ".png");
    shoot(out + "/measure-fit-" + lang + ".png");
    editCircle(dlg, step);

    choose(dlg, IDC_ZOOM, 3);
    dlg.session().settings().setScroll(-1330, -270); // the two discs of the two-circle distance
    shoot(out + "/measure-x4-" + lang + ".png");
    step("x4");
    pan(dlg);
    step("x4-panned");

    choose(dlg, IDC_ZOOM, 0);
    press(dlg, IDC_CALIB);
    shoot(out + "/calibration-" + lang + ".png");
    dlg.findChild<CCalibDlg*>()->close();
    press(dlg, IDC_SCALE);
    shoot(out + "/scale-bar-" + lang + ".png");
    dlg.findChild<CScaleDlg*>()->close();

    // A dozen saved pictures in the strip, and the browser over the window.
    for (int i = 0; i < 12; ++i) {
        const QString path = QString("%1/%2-%3.%4").arg(dlg.session().thumbnails().saveFolder()).arg(lang).arg(i, 2, 10, QChar('0')).arg(i % 2 ? "jpg" : "bmp");
        dlg.prompts().files.askSaveFile = [&](const SaveFileRequest&) { return SaveFileAnswer { path, i % 2 ? kSaveJpeg : kSaveBmp }; };
        press(dlg, IDC_SAVE);
        pump(300); // the ball moves on between pictures
    }
    shoot(out + "/strip-" + lang + ".png");
    dlg.prompts().runThumbnailBrowser = [&](CThumbnailDlg& browser) {
        browser.show(); // where the window puts it: over the window, on the screen
        shoot(out + "/browser-" + lang + ".png");
        browser.close();
        return 0;
    };
    press(dlg, IDC_THUMB);
    dlg.done(0);
    return 0;
}
