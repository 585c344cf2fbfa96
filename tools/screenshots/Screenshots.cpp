// Developer tool: takes the README's and docs/' screenshots of the real window under a virtual display.
// It opens the viewer on the simulated camera with a calibration and the scale bar in its settings, places
// one measurement of each kind on the simulated test chart through the window's own model calls, and grabs
// the screen in the scenes named on the command line.
//   xvfb-run -a -s "-screen 0 1600x1000x24" build/tools/nx_screenshots <out folder> <en|ja>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

#include "app/ViewerDlg.h"
#include "files/CThumbnailDlg.h"
#include "files/StillSave.h"
#include "measure/MeasureResults.h"
#include "platform/Language.h"
#include "platform/simcam/SimCamera.h"

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

void shoot(const QString& path)
{
    pump(400);
    QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s\n", qPrintable(path));
}

// One measurement of each kind on the test chart (10 picture pixels to the millimetre).
void measure(CViewerDlg& dlg)
{
    const CalibEntry& calib = dlg.calibration()[0];
    const auto add = [&](MeasureTool tool, std::initializer_list<MeasurePoint> points) {
        MeasureItem item;
        item.reset(tool);
        for (const MeasurePoint& p : points)
            item.addPoint(p);
        finishItem(item, calib, &dlg.PictureInUse());
        dlg.AddMeasurement(item);
    };
    add(ToolLine, { { 124, 150 }, { 1124, 150 } });                                             // the ruler
    add(ToolArea, { { 1300, 1240 }, { 1380, 930 }, { 1600, 900 }, { 1860, 1060 }, { 1700, 1250 } }); // pentagon
    add(ToolCircle, { { 1030, 522 }, { 1180, 372 }, { 1330, 522 } });                           // 30 mm disc
    add(ToolCircle2, { { 1350, 400 }, { 1450, 300 }, { 1550, 400 }, { 1590, 340 }, { 1640, 290 }, { 1690, 340 } });
    add(ToolPerpendicular, { { 124, 250 }, { 124, 780 }, { 940, 520 } });
    add(ToolAngle, { { 540, 1080 }, { 340, 1080 }, { 480, 940 } });                             // star
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
    installSimulatedCamera();

    QTemporaryDir dir;
    QFile ini(dir.filePath("NxQb740Le.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write("[NX-QB740LE]\nm_BayerFlg=1\nm_Bai=0\nm_AutoIrisFlg=1\nm_AutoIrisMode=1\nWindow_Left=0\nWindow_Top=0\n"
              "Window_Right=1600\nWindow_Bottom=1000\nm_ScaleData.Visible=1\nm_ScaleData.Type=1\n"
              "m_ScaleData.Pos.x=1900\nm_ScaleData.Pos.y=1400\nm_ScaleData.Size.cx=20\nm_ScaleData.Size.cy=10\n"
              "[CALIBRATION]\nname_0=Chart 0.1 mm\nlength.x_0=10\nlength.y_0=10\nunit_0=1\nleft_0=124\n"
              "right_0=224\ntop_0=250\nbottom_0=350\n");
    ini.close();
    CViewerDlg dlg(nullptr, dir.path());
    dlg.show();
    dlg.setGeometry(0, 0, 1600, 1000);
    pump(3000); // auto exposure settles
    dlg.OnSelchangeCalib();
    measure(dlg);
    shoot(out + "/measure-fit-" + lang + ".png");

    dlg.SetZoom(3);
    dlg.ScrollTo(-1330, -270); // the two discs of the two-circle distance
    shoot(out + "/measure-x4-" + lang + ".png");

    dlg.SetZoom(0);
    dlg.OnCalib();
    shoot(out + "/calibration-" + lang + ".png");
    dlg.calibDialogs().closeDialogs();
    dlg.OnScale();
    shoot(out + "/scale-bar-" + lang + ".png");
    dlg.calibDialogs().closeDialogs();

    // A dozen saved pictures in the strip, and the browser over the window.
    for (int i = 0; i < 12; ++i) {
        const QString path = QString("%1/%2-%3.%4").arg(dlg.thumbnails().saveFolder()).arg(lang).arg(i, 2, 10, QChar('0')).arg(i % 2 ? "jpg" : "bmp");
        dlg.fileDialogs().askSaveFile = [&](const SaveFileRequest&) { return SaveFileAnswer { path, i % 2 ? kSaveJpeg : kSaveBmp }; };
        dlg.OnSave();
        pump(300); // the ball moves on between pictures
    }
    shoot(out + "/strip-" + lang + ".png");
    CThumbnailDlg browser(dlg.thumbnails(), dlg.skinBackground(), &dlg, g_bJapanese != 0);
    browser.show();
    browser.move(200, 100);
    shoot(out + "/browser-" + lang + ".png");
    browser.close();
    dlg.done(0);
    return 0;
}
