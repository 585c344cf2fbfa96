// The Image Setting dialog over the running live view: its changes show in the picture while it is open,
// CANCEL in all three ways puts everything back, OK keeps it, auto exposure moves its gain control, and its
// histogram follows the picture.
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

#include "dialogs/ui/CImageSetDlg.h"
#include "dialogs/ui/HistogramView.h"
#include "platform/simcam/SimCamera.h"
#include "dialogs/StoredGains.h"
#include "support/LiveWindowSupport.h"
#include "support/OwnCameraOnly.h"
#include "support/WindowDriver.h"

namespace {

class ImageSetDialogTest : public livetest::SimulatedCameraTest {
protected:
    // Presses SET and runs act while the modal dialog is open (inside its own event loop); the dialog is
    // cancelled afterwards if act left it open. Returns whether the dialog opened.
    static bool whileOpen(CViewerDlg& dlg, const std::function<void(CImageSetDlg&)>& act)
    {
        bool opened = false;
        dlg.prompts().runImageSetting = [&](CImageSetDlg& d) {
            opened = true;
            QTimer::singleShot(0, &d, [&] {
                act(d);
                if (d.isVisible())
                    d.reject();
            });
            return d.exec();
        };
        win::click(dlg, IDC_SET);
        return opened;
    }
    static ViewerSettings settings(CViewerDlg& dlg) { return dlg.session().settings().values(); }

    QTemporaryDir m_Dir;
};

QSpinBox* spinOf(CImageSetDlg& d, int id)
{
    return d.findChild<QSpinBox*>(QString::number(id));
}
QCheckBox* checkOf(CImageSetDlg& d, int id)
{
    return d.findChild<QCheckBox*>(QString::number(id));
}

bool onlyBlackAndWhite(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            for (int v : { qRed(p), qGreen(p), qBlue(p) })
                if (v != 0 && v != 255)
                    return false;
        }
    return true;
}

} // namespace

// CANCEL by its button, by Escape and by the close box: hue, gamma and the global gain (setting and register)
// come back, and so does every other change.
TEST_F(ImageSetDialogTest, Cancel_ButtonEscapeCloseBox_RestoreSettingsAndRegisters)
{
    ASSERT_TRUE(livetest::writeSettings(m_Dir.path(), "Gamma=130\nGlovalGain=20\nShutter=900\n"));
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(livetest::pumpUntil([&] { return win::framesShown(dlg) >= 1; }, 10000));
    const ViewerSettings before = settings(dlg);
    ASSERT_EQ(m_Sim->registerValue(CameraDevice::kRegGlobalGain), 20);

    enum Way { Button, Escape, CloseBox };
    for (Way way : { Button, Escape, CloseBox }) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(whileOpen(dlg, [&](CImageSetDlg& d) {
            spinOf(d, IDC_HUE)->setValue(-45);
            spinOf(d, IDC_GAMMA)->setValue(70);
            spinOf(d, IDC_GLOBAL_GAIN)->setValue(55);
            d.findChild<QSlider*>(QString::number(IDC_SHUTTER_SLIDER))->setValue(300); // acts as typing 300
            checkOf(d, IDC_BINARY_CHECK)->setChecked(true);
            checkOf(d, IDC_MIRROR_V)->setChecked(false);
            const ViewerSettings open = settings(dlg);
            EXPECT_EQ(open.m_HLS.H, -45);
            EXPECT_EQ(open.Gamma, 70);
            EXPECT_EQ(open.m_BinaryFlg, 1);
            EXPECT_EQ(spinOf(d, IDC_SHUTTER)->value(), 300);
            EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegGlobalGain), 55);
            EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegShutter), 300);
            EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegMirror) & 0x8000, 0);
            if (way == Button) {
                static_cast<QPushButton*>(d.control(IDC_IS_CANCEL))->click();
            } else if (way == Escape) {
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(d.focusWidget() ? d.focusWidget() : &d, &escape);
            } else {
                d.close();
            }
            EXPECT_FALSE(d.isVisible());
        }));
        const ViewerSettings after = settings(dlg);
        EXPECT_EQ(after.m_HLS.H, before.m_HLS.H);
        EXPECT_EQ(after.Gamma, 130);
        EXPECT_EQ(after.m_BinaryFlg, before.m_BinaryFlg);
        EXPECT_EQ(after.GlovalGain, 20);
        EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegGlobalGain), 20);
        EXPECT_EQ(m_Sim->registerValue(CameraDevice::kRegShutter), 900);
        EXPECT_NE(m_Sim->registerValue(CameraDevice::kRegMirror) & 0x8000, 0); // MirrorV is 1 by default
    }
    dlg.done(0);
}

// OK keeps the camera's read-backs, except where the read failed: with failing exchanges and with no camera
// the stored gains and exposure stay.
TEST_F(ImageSetDialogTest, Ok_KeepsReadBacks_FailedReadsKeepStoredGains)
{
    ASSERT_TRUE(livetest::writeSettings(m_Dir.path(), storedgains::kSettingsLines));
    {
        CViewerDlg dlg(nullptr, m_Dir.path());
        dlg.show();
        ASSERT_TRUE(livetest::pumpUntil([&] { return win::framesShown(dlg) >= 1; }, 10000));
        ASSERT_TRUE(whileOpen(dlg, [&](CImageSetDlg& d) {
            spinOf(d, IDC_RED)->setValue(60);
            m_Sim->setCommandsFail(true);
            d.accept();
        }));
        storedgains::expectKept(settings(dlg));
        m_Sim->setCommandsFail(false);

        ASSERT_TRUE(whileOpen(dlg, [&](CImageSetDlg& d) {
            spinOf(d, IDC_RED)->setValue(61);
            d.accept();
        }));
        EXPECT_EQ(settings(dlg).ColorGainR, 61);
        dlg.done(0);
    }
    uninstallSimulatedCamera();
    ASSERT_TRUE(livetest::writeSettings(m_Dir.path(), storedgains::kSettingsLines));
    CViewerDlg none(nullptr, m_Dir.path());
    none.show();
    ASSERT_TRUE(whileOpen(none, [&](CImageSetDlg& d) {
        EXPECT_EQ(spinOf(d, IDC_GLOBAL_GAIN)->value(), 33); // the stored value where no register answers
        d.accept();
    }));
    storedgains::expectKept(settings(none));
    none.done(0);
}

// WB pressed while the colour conversion is off waits, and the caption says so; the dialog that turns the
// conversion on shows the gains the measurement then sets, and its OK keeps them instead of the old ones.
TEST_F(ImageSetDialogTest, WhiteBalanceLandingWhileOpen_OkKeepsItsGains)
{
    ASSERT_TRUE(livetest::writeSettings(m_Dir.path(), "m_BayerFlg=0\nm_BayerR=1.0\nm_BayerG=1.0\nm_BayerB=1.0\n"));
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(livetest::pumpUntil([&] { return win::framesShown(dlg) >= 1; }, 10000));
    win::click(dlg, IDC_WB);
    ASSERT_TRUE(livetest::pumpUntil([&] { return dlg.windowTitle().contains("White balance waits"); }, 10000));
    double measuredR = 0;
    ASSERT_TRUE(whileOpen(dlg, [&](CImageSetDlg& d) {
        checkOf(d, IDC_BAYER_CHECK)->setChecked(true);
        ASSERT_TRUE(livetest::pumpUntil([&] { return settings(dlg).m_WB_Flg == 0; }, livetest::kPatientMs));
        measuredR = settings(dlg).m_BayerR;
        ASSERT_TRUE(livetest::pumpUntil(
            [&] { return std::abs(spinOf(d, IDC_BAYER_GAIN_R)->value() - measuredR * 100) < 1; }, 10000));
        d.accept();
    }));
    EXPECT_GT(std::abs(measuredR - 1.0), 0.02); // the simulated camera's picture has a colour cast
    EXPECT_NEAR(settings(dlg).m_BayerR, measuredR, 0.01); // as the field shows it, in whole percent
    EXPECT_FALSE(dlg.windowTitle().contains("White balance waits"));
    dlg.done(0);
}

// Auto exposure on, in gain mode, over a dark picture: the global gain control follows the gain it sets on
// the camera, slider included.
TEST_F(ImageSetDialogTest, AutoExposureInGainMode_MovesGlobalGainControl)
{
    ASSERT_TRUE(livetest::writeSettings(m_Dir.path(), "GlovalGain=10\n"));
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(livetest::pumpUntil([&] { return win::framesShown(dlg) >= 1; }, 10000));
    ASSERT_TRUE(whileOpen(dlg, [&](CImageSetDlg& d) {
        QSpinBox* gain = spinOf(d, IDC_GLOBAL_GAIN);
        EXPECT_EQ(gain->value(), 10);
        spinOf(d, IDC_SHUTTER)->setValue(40); // a short exposure: a dark picture asks for more gain
        d.findChild<QAbstractButton*>(QString::number(IDC_IRIS_GAIN))->click();
        checkOf(d, IDC_AUTO_IRIS)->setChecked(true);
        EXPECT_EQ(settings(dlg).m_AutoIrisFlg, 1);
        EXPECT_TRUE(livetest::pumpUntil(
            [&] {
                const int reg = m_Sim->registerValue(CameraDevice::kRegGlobalGain);
                return reg > 10 && gain->value() == reg && dlg.liveView().autoExposureGain() == reg;
            },
            15000))
            << "spin " << gain->value() << " register " << m_Sim->registerValue(CameraDevice::kRegGlobalGain);
        EXPECT_EQ(d.findChild<QSlider*>(QString::number(IDC_GLOBAL_GAIN_SLIDER))->value(), gain->value());
        checkOf(d, IDC_AUTO_IRIS)->setChecked(false);
        // A pass that began before auto exposure went off may still set the gain: OK after it is through.
        const uint64_t seen = win::framesShown(dlg);
        EXPECT_TRUE(livetest::pumpUntil([&] { return win::framesShown(dlg) >= seen + 2; }, 15000));
        d.accept();
    }));
    EXPECT_EQ(settings(dlg).GlovalGain, m_Sim->registerValue(CameraDevice::kRegGlobalGain));
    dlg.done(0);
}

// While the dialog is open the picture goes on changing, and the histogram with it; binarisation turned on
// leaves only 0 and 255 in the picture shown and in the histogram.
TEST_F(ImageSetDialogTest, WhileOpen_PictureMovesHistogramFollows_BinarisationShowsOnlyEnds)
{
    ASSERT_TRUE(livetest::writeSettings(m_Dir.path(), "m_BayerFlg=1\n"));
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(livetest::pumpUntil([&] { return win::framesShown(dlg) >= 1; }, 10000));
    LiveView& live = dlg.liveView();
    ASSERT_TRUE(whileOpen(dlg, [&](CImageSetDlg& d) {
        EXPECT_TRUE(live.histogramFeed().wanted());
        const uint64_t frames = win::framesShown(dlg);
        const QImage first = live.shownPicture().image;
        EXPECT_TRUE(livetest::pumpUntil(
            [&] { return win::framesShown(dlg) >= frames + 5 && live.shownPicture().image != first; }, 10000));
        EXPECT_TRUE(livetest::pumpUntil([&] { return d.histogramView()->histogram().pixels > 0; }, livetest::kPatientMs));

        checkOf(d, IDC_BINARY_CHECK)->setChecked(true);
        const uint64_t changed = win::framesShown(dlg);
        // A pass that began before the change may still publish; the one after it shows the change.
        ASSERT_TRUE(livetest::pumpUntil([&] { return win::framesShown(dlg) >= changed + 3; }, 10000));
        const qint64 key = live.shownPicture().image.cacheKey();
        ASSERT_TRUE(livetest::pumpUntil([&] { return live.shownPicture().image.cacheKey() != key; }, 10000));
        EXPECT_TRUE(onlyBlackAndWhite(live.shownPicture().image));
        const auto endsOnly = [&] {
            const Histogram& h = d.histogramView()->histogram();
            uint64_t ends = 0;
            for (int c = 0; c < Histogram::kChannels; ++c)
                ends += h.counts[size_t(c)][0] + h.counts[size_t(c)][255];
            return h.pixels > 0 && ends == uint64_t(h.pixels) * Histogram::kChannels;
        };
        EXPECT_TRUE(livetest::pumpUntil(endsOnly, livetest::kPatientMs));
        d.accept();
    }));
    EXPECT_FALSE(live.histogramFeed().wanted());
    EXPECT_EQ(settings(dlg).m_BinaryFlg, 1);
    dlg.done(0);
}

// OK with RGB data from a 1920-pixel-wide window makes the colour image, the picture shown, 640 wide.
TEST_F(ImageSetDialogTest, Ok_RgbData_ColourImageAThirdOfTheRawWidth)
{
    ASSERT_TRUE(livetest::writeSettings(m_Dir.path(), "m_RGBFlg=1\nEH=1920\nEHS=0\n"));
    CViewerDlg dlg(nullptr, m_Dir.path());
    dlg.show();
    ASSERT_TRUE(livetest::pumpUntil([&] { return win::framesShown(dlg) >= 1; }, 10000));
    ASSERT_EQ(dlg.liveView().format().width, 1920);
    ASSERT_TRUE(whileOpen(dlg, [](CImageSetDlg& d) { d.accept(); }));
    EXPECT_EQ(dlg.liveView().pictureInUse().width(), 640);
    EXPECT_EQ(dlg.liveView().pictureInUse().height(), 480);
    EXPECT_EQ(dlg.liveView().viewGeometry().imageWidth, 640);
    dlg.done(0);
}

// A binarised picture is all in levels 0 and 255: both end columns of the plot stand at full height, the
// levels between stay empty.
TEST(HistogramView, TwoLevelPicture_ShowsTwoFullBars)
{
    DibImage picture;
    ASSERT_TRUE(picture.Create(64, 32, 8));
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 64; ++x)
            picture.rowBottomUp(y)[x] = x < 32 ? 0 : 255;
    Histogram histogram;
    MeasureHistogram(picture, 1, histogram);
    HistogramView view;
    view.resize(2 * Histogram::kLevels + 2, 130); // two pixels a level, inside a one-pixel border
    view.setHistogram(histogram);
    QImage image(view.size(), QImage::Format_RGB32);
    view.render(&image);
    for (int percent : { 5, 50, 95 }) {
        const int y = 1 + 128 * percent / 100;
        EXPECT_GT(qGray(image.pixel(1, y)), 80) << "level 0 at " << percent << "%";
        EXPECT_GT(qGray(image.pixel(2 * 255 + 2, y)), 80) << "level 255 at " << percent << "%";
        EXPECT_LT(qGray(image.pixel(2 * 100 + 1, y)), 40) << "level 100 at " << percent << "%";
    }
}
