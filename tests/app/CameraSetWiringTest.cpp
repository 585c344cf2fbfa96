// SET, COLOR and WB in the main window with the simulated camera: the Camera Setting dialog only while the
// live view is stopped and its values taken at the next LIVE, CANCEL after Load, the overlay colours kept as
// COLORREF, the white-balance request's life (withdrawn, waiting, kept over a restart, carried out), and the
// frame images sized from the window the camera took.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QThread>

#include <QTimer>

#include <gtest/gtest.h>

#include "app/DialogTemplate.h"
#include "app/SimulatedWindowTest.h"
#include "app/ViewerDlg.h"
#include "dialogs/ui/CCameraSetDlg.h"
#include "dialogs/ui/CImageSetDlg.h"
#include "dialogs/ui/CColorSetDlg.h"
#include "platform/CameraProtocol.h"
#include "platform/PrivateProfile.h"
#include "platform/simcam/SimCamera.h"

namespace {

class CameraSetWiringTest : public SimulatedWindowTest {
protected:
    void SetUp() override
    {
        SimulatedWindowTest::SetUp();
        m_Sim->setPaced(false);
        m_Sim->setNoise(false);
        m_Sim->setMotion(false);
    }

    // Lets n more frames through the display loop.
    bool framesPass(CViewerDlg& dlg, uint64_t n)
    {
        const uint64_t target = dlg.framesShown() + n;
        return pumpUntil([&] { return dlg.framesShown() >= target; }, 10000);
    }

    static void click(CViewerDlg& dlg, int id) { static_cast<QAbstractButton*>(dlg.control(id))->click(); }
    static void clickIn(QDialog& d, int id)
    {
        static_cast<QAbstractButton*>(d.findChild<QWidget*>(QString::number(id)))->click();
    }
    static void setEdit(QDialog& d, int id, int value) { d.findChild<QSpinBox*>(QString::number(id))->setValue(value); }
};

} // namespace

TEST_F(CameraSetWiringTest, SetWhileStopped_OkTakesEffectAtTheNextLive)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    int opened = 0;
    dlg.runSettingDialog = [&](QDialog& d) {
        ++opened;
        EXPECT_NE(qobject_cast<CCameraSetDlg*>(&d), nullptr);
        setEdit(d, 1147, 1024);
        setEdit(d, 1148, 768);
        setEdit(d, 1149, 512);
        setEdit(d, 1150, 384);
        clickIn(d, CCameraSetDlg::IDOK);
        return d.result();
    };
    ASSERT_TRUE(framesPass(dlg, 1));
    // Live: SET opens the Image Setting dialog instead (closed here as soon as it is up).
    bool imageSetting = false;
    QTimer::singleShot(0, &dlg, [&] {
        if (CImageSetDlg* d = dlg.imageSetDialog()) {
            imageSetting = true;
            d->reject();
        }
    });
    click(dlg, IDC_SET);
    EXPECT_TRUE(imageSetting);
    EXPECT_EQ(opened, 0);

    click(dlg, IDC_LIVE);
    ASSERT_TRUE(dlg.liveStopped());
    click(dlg, IDC_SET);
    EXPECT_EQ(opened, 1);
    const ViewerSettings v = dlg.settings().values();
    EXPECT_EQ(v.EH, 1024);
    EXPECT_EQ(v.EV, 768);
    EXPECT_EQ(v.EHS, 512);
    EXPECT_EQ(v.EVS, 384);
    // Nothing happens until the camera starts again.
    EXPECT_EQ(dlg.camera().windowWidth(), 640);
    EXPECT_EQ(dlg.rawImage().width(), 640);

    click(dlg, IDC_LIVE);
    EXPECT_EQ(dlg.camera().windowX(), 512);
    EXPECT_EQ(dlg.camera().windowY(), 384);
    EXPECT_EQ(dlg.camera().windowWidth(), 1024);
    EXPECT_EQ(dlg.camera().windowHeight(), 768);
    EXPECT_TRUE(framesPass(dlg, 2));
    const auto lock = dlg.lockFrames();
    EXPECT_EQ(dlg.rawImage().width(), 1024);
    EXPECT_EQ(dlg.rawImage().height(), 768);
}

TEST_F(CameraSetWiringTest, CancelAfterLoadAndOkWithAnUnlistedClock)
{
    writeSettings("Clock=5\n");
    const QString timing = m_Dir.filePath("timing.ini");
    QFile f(timing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[NX-GTE]\nEH=320\nEV=240\nTH=1000\n");
    f.close();

    CViewerDlg dlg(nullptr, m_Dir.path());
    click(dlg, IDC_LIVE);
    const ViewerSettings before = dlg.settings().values();
    dlg.runSettingDialog = [&](QDialog& d) {
        static_cast<CCameraSetDlg&>(d).askFile = [&](const TimingFileQuestion&) { return timing; };
        clickIn(d, CCameraSetDlg::IDC_LOAD);
        clickIn(d, CCameraSetDlg::IDCANCEL);
        return d.result();
    };
    click(dlg, IDC_SET);
    const ViewerSettings after = dlg.settings().values();
    EXPECT_EQ(after.EH, before.EH);
    EXPECT_EQ(after.EV, before.EV);
    EXPECT_EQ(after.TH, before.TH);

    // OK with nothing selected in the clock list keeps the stored clock.
    dlg.runSettingDialog = [&](QDialog& d) {
        clickIn(d, CCameraSetDlg::IDOK);
        return d.result();
    };
    click(dlg, IDC_SET);
    EXPECT_EQ(dlg.settings().values().Clock, 5);
    EXPECT_EQ(dlg.settings().values().EH, 640);

    // 5 asks for the half clock, which the camera has had since the window opened: the next start does
    // not set it again (which would open the camera afresh).
    EXPECT_TRUE(m_Sim->halfClock());
    m_Sim->setLogging(true);
    click(dlg, IDC_LIVE);
    for (const SimCamera::Request& r : m_Sim->takeLog())
        EXPECT_NE(r.block[0], camproto::kSetClock);
    EXPECT_TRUE(m_Sim->halfClock());
    EXPECT_EQ(dlg.camera().windowWidth(), 640);
}

TEST_F(CameraSetWiringTest, ColorChosenIsKeptAsColorref_CancelledChooserChangesNothing)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    const OverlayColors before = dlg.settings().values().color;
    std::optional<ColorRef> answer = Rgb(0x12, 0x34, 0x56);
    dlg.runSettingDialog = [&](QDialog& d) {
        auto& colors = static_cast<CColorSetDlg&>(d);
        colors.show(); // as the modal run shows it: the swatches are laid out
        colors.chooseColor = [&](ColorRef) { return answer; };
        const QPoint at = colors.control(CColorSetDlg::IDC_LINE_COLOR)->geometry().center();
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(at), d.mapToGlobal(QPointF(at)), Qt::LeftButton, Qt::NoButton,
            Qt::NoModifier);
        QCoreApplication::sendEvent(&d, &e);
        clickIn(d, CColorSetDlg::IDOK);
        return d.result();
    };
    answer.reset();
    click(dlg, IDC_COLOR);
    EXPECT_EQ(dlg.settings().values().color.line, before.line);
    answer = Rgb(0x12, 0x34, 0x56);
    click(dlg, IDC_COLOR);
    EXPECT_EQ(dlg.settings().values().color.line, 0x00563412u);
    EXPECT_EQ(dlg.settings().values().color.text, before.text);
}

TEST_F(CameraSetWiringTest, WhiteBalancePressedTwiceBeforeAFrame_LeavesTheGains)
{
    writeSettings("m_BayerFlg=1\n");
    CViewerDlg dlg(nullptr, m_Dir.path());
    click(dlg, IDC_LIVE); // no frame is processed until LIVE again
    click(dlg, IDC_WB);
    EXPECT_EQ(dlg.settings().values().m_WB_Flg, 1);
    click(dlg, IDC_WB);
    click(dlg, IDC_LIVE);
    ASSERT_TRUE(framesPass(dlg, 3));
    const ViewerSettings v = dlg.settings().values();
    EXPECT_EQ(v.m_WB_Flg, 0);
    EXPECT_EQ(v.m_BayerR, 1.0);
    EXPECT_EQ(v.m_BayerG, 1.0);
    EXPECT_EQ(v.m_BayerB, 1.0);
}

TEST_F(CameraSetWiringTest, WhiteBalanceWaitsForColourSurvivesARestartAndRemovesTheCast)
{
    writeSettings("m_BayerFlg=0\n");
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        ASSERT_TRUE(framesPass(dlg, 1));
        click(dlg, IDC_WB);
        ASSERT_TRUE(framesPass(dlg, 3));
        EXPECT_EQ(dlg.settings().values().m_WB_Flg, 1); // no colour frame yet
        EXPECT_EQ(dlg.settings().values().m_BayerR, 1.0);
        dlg.done(0);
    }
    EXPECT_EQ(GetPrivateProfileIntA("NX-QB740LE", "m_WB_Flg", 0, m_Dir.filePath("NxQb740Le.ini")), 1);
    WritePrivateProfileStringA("NX-QB740LE", "m_BayerFlg", "1", m_Dir.filePath("NxQb740Le.ini"));

    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return dlg.settings().values().m_WB_Flg == 0; }, 10000));
    const ViewerSettings v = dlg.settings().values();
    // The simulated light is warm: red and blue need more gain than green, but less than the 2.0 limit.
    EXPECT_GT(v.m_BayerR, 1.05);
    EXPECT_LT(v.m_BayerR, 2.0);
    EXPECT_GT(v.m_BayerB, 1.05);
    EXPECT_LT(v.m_BayerB, 2.0);
    EXPECT_EQ(v.m_BayerG, 1.0);

    ASSERT_TRUE(framesPass(dlg, 2));
    double sum[3] = {};
    {
        const auto lock = dlg.lockFrames();
        const DibImage& shown = dlg.PictureInUse();
        ASSERT_EQ(shown.bitsPerPixel(), 24);
        for (int y = 0; y < shown.height(); ++y) {
            const uint8_t* row = shown.bits() + size_t(y) * size_t(shown.stride());
            for (int x = 0; x < shown.width(); ++x)
                for (int c = 0; c < 3; ++c)
                    sum[c] += row[3 * x + c];
        }
        for (double& s : sum)
            s /= double(shown.width()) * shown.height();
    }
    // Blue, green, red means of the whole frame: the cast is gone.
    EXPECT_NEAR(sum[0], sum[1], 3.0);
    EXPECT_NEAR(sum[2], sum[1], 3.0);
}

TEST_F(CameraSetWiringTest, RedSitesAtAboutAQuarterOfGreen_GainHeldAtTwo)
{
    // Red gain register 4 (x0.5) against 14 (x1.75) on the others, under the warm light: the red sites
    // average about a quarter of the green ones.
    writeSettings("m_BayerFlg=1\nColorGainR=4\nm_WB_Flg=1\n");
    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return dlg.settings().values().m_WB_Flg == 0; }, 10000));
    EXPECT_EQ(dlg.settings().values().m_BayerR, 2.0);
    EXPECT_LT(dlg.settings().values().m_BayerB, 2.0);
}

TEST_F(CameraSetWiringTest, FrameImagesNeverAboveTheSensor)
{
    // With a camera: it refuses the absurd window and keeps the whole sensor; the frames follow it.
    writeSettings("EH=100000\nEV=100000\n");
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        EXPECT_EQ(dlg.settings().values().EH, 100000);
        EXPECT_EQ(dlg.rawImage().width(), dlg.camera().windowWidth());
        EXPECT_EQ(dlg.rawImage().height(), dlg.camera().windowHeight());
        EXPECT_LE(dlg.rawImage().width(), CameraDevice::kSensorWidth);
        EXPECT_TRUE(framesPass(dlg, 1));
    }
    // Without one: the stored size, but never above the sensor's.
    uninstallSimulatedCamera();
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        EXPECT_EQ(dlg.rawImage().width(), CameraDevice::kSensorWidth);
        EXPECT_EQ(dlg.rawImage().height(), CameraDevice::kSensorHeight);
    }
    writeSettings("EH=300\nEV=200\n");
    CViewerDlg dlg(nullptr, m_Dir.path());
    EXPECT_EQ(dlg.rawImage().width(), 300);
    EXPECT_EQ(dlg.rawImage().height(), 200);
}
