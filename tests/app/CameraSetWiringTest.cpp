// SET, COLOR and WB in the main window with the simulated camera: the Camera Setting dialog only while the
// live view is stopped and its values taken at the next LIVE, CANCEL after Load, the chosen overlay colour
// stored, the white-balance request waiting for colour, kept over a restart and carried out, and the frame
// images of a window without a camera.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QMouseEvent>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "app/SimulatedWindowTest.h"
#include "camera/CameraDevice.h"
#include "dialogs/ui/CCameraSetDlg.h"
#include "dialogs/ui/CColorSetDlg.h"
#include "platform/CameraProtocol.h"
#include "platform/PrivateProfile.h"
#include "platform/simcam/SimCamera.h"
#include "support/WindowDriver.h"

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
    static bool framesPass(CViewerDlg& dlg, uint64_t n)
    {
        const uint64_t target = win::framesShown(dlg) + n;
        return pumpUntil([&] { return win::framesShown(dlg) >= target; }, 10000);
    }
    static ViewerSettings settings(CViewerDlg& dlg) { return dlg.session().settings().values(); }
    static CameraDevice& camera(CViewerDlg& dlg) { return *dlg.liveView().source().ownCamera(); }

    static void clickIn(QDialog& d, int id) { d.findChild<QAbstractButton*>(QString::number(id))->click(); }
    static void setEdit(QDialog& d, int id, int value) { d.findChild<QSpinBox*>(QString::number(id))->setValue(value); }
};

} // namespace

TEST_F(CameraSetWiringTest, SetWhileStopped_OkTakesEffectAtTheNextLive)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    int opened = 0;
    dlg.prompts().runSettingDialog = [&](QDialog& d) {
        ++opened;
        EXPECT_NE(qobject_cast<CCameraSetDlg*>(&d), nullptr);
        setEdit(d, 1147, 1024);
        setEdit(d, 1148, 768);
        setEdit(d, 1149, 512);
        setEdit(d, 1150, 384);
        clickIn(d, CCameraSetDlg::IDOK);
        return d.result();
    };
    int imageSetting = 0;
    dlg.prompts().runImageSetting = [&](CImageSetDlg&) { return ++imageSetting, int(QDialog::Rejected); };
    ASSERT_TRUE(framesPass(dlg, 1));
    // Live: SET opens the Image Setting dialog instead.
    win::click(dlg, IDC_SET);
    EXPECT_EQ(imageSetting, 1);
    EXPECT_EQ(opened, 0);

    win::click(dlg, IDC_LIVE);
    ASSERT_TRUE(win::liveStopped(dlg));
    win::click(dlg, IDC_SET);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(imageSetting, 1);
    const ViewerSettings v = settings(dlg);
    EXPECT_EQ(v.EH, 1024);
    EXPECT_EQ(v.EV, 768);
    EXPECT_EQ(v.EHS, 512);
    EXPECT_EQ(v.EVS, 384);
    // Nothing happens until the camera starts again.
    EXPECT_EQ(camera(dlg).windowWidth(), 640);

    win::click(dlg, IDC_LIVE);
    EXPECT_EQ(camera(dlg).windowX(), 512);
    EXPECT_EQ(camera(dlg).windowY(), 384);
    EXPECT_EQ(camera(dlg).windowWidth(), 1024);
    EXPECT_EQ(camera(dlg).windowHeight(), 768);
    EXPECT_TRUE(framesPass(dlg, 2));
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
    win::click(dlg, IDC_LIVE);
    const ViewerSettings before = settings(dlg);
    dlg.prompts().runSettingDialog = [&](QDialog& d) {
        static_cast<CCameraSetDlg&>(d).askFile = [&](const TimingFileQuestion&) { return timing; };
        clickIn(d, CCameraSetDlg::IDC_LOAD);
        clickIn(d, CCameraSetDlg::IDCANCEL);
        return d.result();
    };
    win::click(dlg, IDC_SET);
    const ViewerSettings after = settings(dlg);
    EXPECT_EQ(after.EH, before.EH);
    EXPECT_EQ(after.EV, before.EV);
    EXPECT_EQ(after.TH, before.TH);

    // OK with nothing selected in the clock list keeps the stored clock.
    dlg.prompts().runSettingDialog = [&](QDialog& d) {
        clickIn(d, CCameraSetDlg::IDOK);
        return d.result();
    };
    win::click(dlg, IDC_SET);
    EXPECT_EQ(settings(dlg).Clock, 5);
    EXPECT_EQ(settings(dlg).EH, 640);

    // 5 asks for the half clock, which the camera has had since the window opened: the next start does
    // not set it again (which would open the camera afresh).
    EXPECT_TRUE(m_Sim->halfClock());
    m_Sim->setLogging(true);
    win::click(dlg, IDC_LIVE);
    for (const SimCamera::Request& r : m_Sim->takeLog())
        EXPECT_NE(r.block[0], camproto::kSetClock);
    EXPECT_TRUE(m_Sim->halfClock());
    EXPECT_EQ(camera(dlg).windowWidth(), 640);
}

TEST_F(CameraSetWiringTest, ColourChosenIsStoredAsColorref)
{
    writeSettings();
    CViewerDlg dlg(nullptr, m_Dir.path());
    const OverlayColors before = settings(dlg).color;
    dlg.prompts().runSettingDialog = [&](QDialog& d) {
        auto& colors = static_cast<CColorSetDlg&>(d);
        colors.show(); // as the modal run shows it: the swatches are laid out
        colors.chooseColor = [](ColorRef) { return std::optional<ColorRef>(Rgb(0x12, 0x34, 0x56)); };
        const QPoint at = colors.control(CColorSetDlg::IDC_LINE_COLOR)->geometry().center();
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(at), d.mapToGlobal(QPointF(at)), Qt::LeftButton, Qt::NoButton,
            Qt::NoModifier);
        QCoreApplication::sendEvent(&d, &e);
        clickIn(d, CColorSetDlg::IDOK);
        return d.result();
    };
    win::click(dlg, IDC_COLOR);
    EXPECT_EQ(settings(dlg).color.line, 0x00563412u);
    EXPECT_EQ(settings(dlg).color.text, before.text);
}

TEST_F(CameraSetWiringTest, WhiteBalanceWaitsForColourSurvivesARestartAndRemovesTheCast)
{
    writeSettings("m_BayerFlg=0\n");
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        ASSERT_TRUE(framesPass(dlg, 1));
        win::click(dlg, IDC_WB);
        ASSERT_TRUE(framesPass(dlg, 3));
        EXPECT_EQ(settings(dlg).m_WB_Flg, 1); // no colour frame yet
        EXPECT_EQ(settings(dlg).m_BayerR, 1.0);
        dlg.done(0);
    }
    EXPECT_EQ(GetPrivateProfileIntA("NX-QB740LE", "m_WB_Flg", 0, m_Dir.filePath("NxQb740Le.ini")), 1);
    WritePrivateProfileStringA("NX-QB740LE", "m_BayerFlg", "1", m_Dir.filePath("NxQb740Le.ini"));

    CViewerDlg dlg(nullptr, m_Dir.path());
    ASSERT_TRUE(pumpUntil([&] { return settings(dlg).m_WB_Flg == 0; }, 10000));
    const ViewerSettings v = settings(dlg);
    // The simulated light is warm: red and blue need more gain than green, but less than the 2.0 limit.
    EXPECT_GT(v.m_BayerR, 1.05);
    EXPECT_LT(v.m_BayerR, 2.0);
    EXPECT_GT(v.m_BayerB, 1.05);
    EXPECT_LT(v.m_BayerB, 2.0);
    EXPECT_EQ(v.m_BayerG, 1.0);

    ASSERT_TRUE(framesPass(dlg, 2));
    std::array<double, 3> mean {};
    dlg.liveView().withFrame([&mean](LiveFrames& f) {
        const DibImage& shown = f.picture;
        ASSERT_EQ(shown.bitsPerPixel(), 24);
        for (int y = 0; y < shown.height(); ++y) {
            const uint8_t* row = shown.bits() + size_t(y) * size_t(shown.stride());
            for (int x = 0; x < shown.width(); ++x)
                for (int c = 0; c < 3; ++c)
                    mean[size_t(c)] += row[3 * x + c];
        }
        for (double& m : mean)
            m /= double(shown.width()) * shown.height();
    });
    // Blue, green, red means of the whole frame: the cast is gone.
    EXPECT_NEAR(mean[0], mean[1], 3.0);
    EXPECT_NEAR(mean[2], mean[1], 3.0);
}

TEST_F(CameraSetWiringTest, WithoutACamera_FrameImagesOfTheStoredSizeNeverAboveTheSensor)
{
    uninstallSimulatedCamera();
    for (const auto& [keys, width, height] :
        { std::tuple { "EH=100000\nEV=100000\n", CameraDevice::kSensorWidth, CameraDevice::kSensorHeight },
            std::tuple { "EH=300\nEV=200\n", 300, 200 } }) {
        writeSettings(keys);
        CViewerDlg dlg(nullptr, m_Dir.path());
        EXPECT_EQ(dlg.liveView().pictureInUse().width(), width) << keys;
        EXPECT_EQ(dlg.liveView().pictureInUse().height(), height) << keys;
    }
}
