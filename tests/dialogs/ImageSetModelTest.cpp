// The Image Setting dialog's model without widgets: the rule and range of each field, the camera's registers
// it writes, what CANCEL puts back and what OK keeps (also with no camera and with failing exchanges).
#include <gtest/gtest.h>

#include <limits>

#include "camera/CameraDevice.h"
#include "camera/OwnCameraSource.h"
#include "dialogs/ImageSetModel.h"
#include "platform/simcam/SimCamera.h"
#include "dialogs/StoredGains.h"
#include "support/LiveWindowSupport.h"

namespace {

class PlainTarget : public ImageSetTarget {
public:
    ImageSetValues v;
    ImageSetValues values() const override { return v; }
    void change(const std::function<void(ImageSetValues&)>& edit) override { edit(v); }
};

class ImageSetModelTest : public livetest::SimulatedCameraTest {
protected:
    uint16_t reg(int r) const { return m_Sim->registerValue(r); }

    PlainTarget m_Target;
};

} // namespace

TEST_F(ImageSetModelTest, ProcessingFields_NumberRuleAndRange)
{
    CameraDevice camera;
    OwnCameraSource own(camera);
    m_Target.v.m_BayerR = 0.8;
    m_Target.v.Gamma = 120;
    m_Target.v.m_Binary = 90;
    ImageSetModel model(m_Target, own);

    // Red gain: 0 leaves it, 150 is 1.5, what is no number leaves it, beyond the range is held to it.
    EXPECT_FALSE(model.edit(IDC_BAYER_GAIN_R, "0"));
    EXPECT_DOUBLE_EQ(m_Target.v.m_BayerR, 0.8);
    EXPECT_EQ(model.edit(IDC_BAYER_GAIN_R, "150"), 150);
    EXPECT_DOUBLE_EQ(m_Target.v.m_BayerR, 1.5);
    for (const char* text : { "", "-", "1x", "abc" })
        EXPECT_FALSE(model.edit(IDC_BAYER_GAIN_R, text)) << text;
    EXPECT_DOUBLE_EQ(m_Target.v.m_BayerR, 1.5);
    EXPECT_EQ(model.edit(IDC_BAYER_GAIN_R, "250"), 200);
    EXPECT_DOUBLE_EQ(m_Target.v.m_BayerR, 2.0);
    EXPECT_EQ(model.edit(IDC_BAYER_GAIN_B, "-5"), 1); // never a negative gain, whatever "unsigned" makes of it
    EXPECT_DOUBLE_EQ(m_Target.v.m_BayerB, 0.01);

    // Gamma and the threshold ignore 0; contrast, sharpness and the HLS offsets take it.
    EXPECT_FALSE(model.edit(IDC_GAMMA, "0"));
    EXPECT_FALSE(model.edit(IDC_BINARY, "0"));
    EXPECT_EQ(m_Target.v.Gamma, 120);
    EXPECT_EQ(m_Target.v.m_Binary, 90);
    m_Target.v.m_HLS = { 5, 6, 7, 8, 9 };
    for (int id : { IDC_CONTRAST, IDC_SHARPNESS, IDC_HUE, IDC_BRIGHTNESS, IDC_SATURATION })
        EXPECT_EQ(model.edit(id, "0"), 0);
    EXPECT_EQ(
        m_Target.v.m_HLS.H + m_Target.v.m_HLS.L + m_Target.v.m_HLS.S + m_Target.v.m_HLS.C + m_Target.v.m_HLS.SP, 0);
    EXPECT_EQ(model.edit(IDC_HUE, "-400"), -360);
    EXPECT_EQ(model.edit(IDC_SHARPNESS, "31"), 30);
    EXPECT_EQ(m_Target.v.m_HLS.H, -360);
    EXPECT_EQ(m_Target.v.m_HLS.SP, 30);
    // The interlace value is shown only.
    EXPECT_FALSE(model.edit(IDC_INTERLACE, "700"));
    EXPECT_EQ(m_Target.v.m_Interlace, 600);

    model.setCheck(IDC_BINARY_CHECK, 1);
    model.setCheck(IDC_BAYER_CHECK, 5); // any "on" is 1
    model.setBayerMode(3);
    model.setBayerMode(4); // no such phase
    model.setAutoIrisMode(1);
    model.setAutoIrisMode(2);
    EXPECT_EQ(m_Target.v.m_BinaryFlg, 1);
    EXPECT_EQ(m_Target.v.m_BayerFlg, 1);
    EXPECT_EQ(m_Target.v.m_BayerMode, 3);
    EXPECT_EQ(m_Target.v.m_AutoIrisMode, 1);
}

TEST_F(ImageSetModelTest, CameraFields_WriteRegistersHeldToRange)
{
    CameraDevice camera;
    OwnCameraSource own(camera);
    ImageSetModel model(m_Target, own);
    camera.SetColorGain(CameraDevice::kRegGreen1Gain, 20);
    camera.SetColorGain(CameraDevice::kRegRedGain, 21);
    camera.SetShutter(500);

    // Green1 ignores 0 (no write); Red writes it.
    EXPECT_FALSE(model.edit(IDC_GREEN1, "0"));
    EXPECT_EQ(reg(CameraDevice::kRegGreen1Gain), 20);
    EXPECT_EQ(model.edit(IDC_RED, "0"), 0);
    EXPECT_EQ(reg(CameraDevice::kRegRedGain), 0);
    EXPECT_EQ(model.edit(IDC_GREEN2, "33"), 33);
    EXPECT_EQ(model.edit(IDC_BLUE, "34"), 34);
    EXPECT_EQ(reg(CameraDevice::kRegGreen2Gain), 33);
    EXPECT_EQ(reg(CameraDevice::kRegBlueGain), 34);

    // Beyond the register's width a value is held to the range, never masked: 16384 is not an exposure of 0,
    // nor a gain of 200 one of 72.
    EXPECT_EQ(model.edit(IDC_SHUTTER, "16384"), 16383);
    EXPECT_EQ(reg(CameraDevice::kRegShutter), 16383);
    EXPECT_FALSE(model.edit(IDC_SHUTTER, "0"));
    EXPECT_FALSE(model.edit(IDC_SHUTTER, "-3")); // held to 0, which the exposure ignores
    EXPECT_EQ(reg(CameraDevice::kRegShutter), 16383);
    EXPECT_EQ(model.edit(IDC_GLOBAL_GAIN, "200"), 127);
    EXPECT_EQ(reg(CameraDevice::kRegGlobalGain), 127);
    EXPECT_EQ(model.edit(IDC_GLOBAL_GAIN, "0"), 0);
    EXPECT_EQ(reg(CameraDevice::kRegGlobalGain), 0);

    // The opening values of the camera's fields are its registers.
    ImageSetModel again(m_Target, own);
    EXPECT_EQ(again.openingValue(IDC_SHUTTER), 16383);
    EXPECT_EQ(again.openingValue(IDC_RED), 0);
    EXPECT_EQ(again.openingValue(IDC_GREEN2), 33);
}

TEST_F(ImageSetModelTest, Cancel_RestoresSettingsAndRegisters)
{
    CameraDevice camera;
    OwnCameraSource own(camera);
    m_Target.v.m_HLS.H = 12;
    m_Target.v.Gamma = 140;
    m_Target.v.GlovalGain = 25;
    m_Target.v.ColorGainG1 = 11, m_Target.v.ColorGainR = 12, m_Target.v.ColorGainB = 13, m_Target.v.ColorGainG2 = 15;
    m_Target.v.Shutter = 700;
    m_Target.v.MirrorV = 0;
    const ImageSetValues before = m_Target.v;
    ImageSetModel model(m_Target, own);
    model.edit(IDC_HUE, "-90");
    model.edit(IDC_GAMMA, "60");
    model.edit(IDC_GLOBAL_GAIN, "90");
    model.edit(IDC_GREEN1, "50");
    model.edit(IDC_SHUTTER, "1200");
    model.setMirror(0, 1);
    model.setCheck(IDC_AUTO_IRIS, 1);
    EXPECT_EQ(reg(CameraDevice::kRegGlobalGain), 90);
    EXPECT_NE(reg(CameraDevice::kRegMirror) & 0x8000, 0);

    model.cancel();
    EXPECT_EQ(m_Target.v.m_HLS.H, 12);
    EXPECT_EQ(m_Target.v.Gamma, 140);
    EXPECT_EQ(m_Target.v.m_AutoIrisFlg, before.m_AutoIrisFlg);
    EXPECT_EQ(m_Target.v.MirrorV, 0);
    EXPECT_EQ(reg(CameraDevice::kRegGlobalGain), 25);
    EXPECT_EQ(reg(CameraDevice::kRegGreen1Gain), 11);
    EXPECT_EQ(reg(CameraDevice::kRegRedGain), 12);
    EXPECT_EQ(reg(CameraDevice::kRegBlueGain), 13);
    EXPECT_EQ(reg(CameraDevice::kRegGreen2Gain), 15);
    EXPECT_EQ(reg(CameraDevice::kRegShutter), 700);
    EXPECT_EQ(reg(CameraDevice::kRegMirror) & 0x8000, 0);
}

TEST_F(ImageSetModelTest, Ok_KeepsReadBacksMirrorAndGainEdits)
{
    CameraDevice camera;
    OwnCameraSource own(camera);
    m_Target.v.m_BayerR = 0.7;
    m_Target.v.m_BayerB = 0.9;
    ImageSetModel model(m_Target, own);
    model.edit(IDC_GLOBAL_GAIN, "40");
    model.edit(IDC_GREEN1, "41");
    model.edit(IDC_RED, "42");
    model.edit(IDC_BLUE, "43");
    model.edit(IDC_GREEN2, "44");
    model.edit(IDC_SHUTTER, "4500");
    model.setMirror(0, 0);
    // An emptied or non-numeric gain edit keeps its gain, as typing it would.
    model.accept("", "120", "x");
    EXPECT_DOUBLE_EQ(m_Target.v.m_BayerR, 0.7);
    EXPECT_DOUBLE_EQ(m_Target.v.m_BayerG, 1.2);
    EXPECT_DOUBLE_EQ(m_Target.v.m_BayerB, 0.9);
    EXPECT_EQ(m_Target.v.MirrorV, 0);
    EXPECT_EQ(m_Target.v.GlovalGain, 40);
    EXPECT_EQ(m_Target.v.ColorGainG1, 41);
    EXPECT_EQ(m_Target.v.ColorGainR, 42);
    EXPECT_EQ(m_Target.v.ColorGainB, 43);
    EXPECT_EQ(m_Target.v.ColorGainG2, 44);
    EXPECT_EQ(m_Target.v.Shutter, 4500);
}

// A read that fails gives no value: the stored gains and exposure stay (a 0 would start the next session
// black), with failing exchanges and with no camera at all.
TEST_F(ImageSetModelTest, Ok_FailedReadsKeepStoredValues)
{
    {
        CameraDevice camera;
        OwnCameraSource own(camera);
        storedgains::set(m_Target.v);
        ImageSetModel model(m_Target, own);
        m_Sim->setCommandsFail(true);
        // The dialog opened now would show the stored values where the registers cannot be read.
        EXPECT_EQ(ImageSetModel(m_Target, own).openingValue(IDC_SHUTTER), 3800);
        model.accept("100", "100", "100");
        storedgains::expectKept(m_Target.v);
        m_Sim->setCommandsFail(false);
    }
    uninstallSimulatedCamera();
    {
        CameraDevice none;
        OwnCameraSource ownNone(none);
        PlainTarget target;
        storedgains::set(target.v);
        ImageSetModel model(target, ownNone);
        EXPECT_EQ(model.openingValue(IDC_GLOBAL_GAIN), 33);
        model.edit(IDC_GLOBAL_GAIN, "50");
        model.accept("100", "100", "100");
        storedgains::expectKept(target.v);
    }
}

TEST_F(ImageSetModelTest, OpeningValuesAndColourImageWidth)
{
    CameraDevice camera;
    OwnCameraSource own(camera);
    m_Target.v.m_BayerR = 1.5;
    m_Target.v.m_BayerG = std::numeric_limits<double>::infinity(); // from a damaged settings file
    m_Target.v.MirrorV = 1;
    ImageSetModel model(m_Target, own);
    EXPECT_EQ(model.openingValue(IDC_BAYER_GAIN_R), 150);
    EXPECT_EQ(model.openingValue(IDC_BAYER_GAIN_G), 0);
    EXPECT_EQ(model.openingValue(IDC_MIRROR_H), 0);
    EXPECT_EQ(model.openingValue(IDC_MIRROR_V), 1);
    EXPECT_EQ(model.number(IDC_SHUTTER)->max, 0x3FFF);
    EXPECT_EQ(model.number(IDC_GREEN1)->max, 127);
}
