// The Image Setting dialog's camera fields over a video device: ranges from its controls, absent ones
// disabled, values set at once, CANCEL puts back what the device had, OK stores nothing of the device's.
#include <gtest/gtest.h>

#include "support/FakeLiveSource.h"
#include "dialogs/ImageSetModel.h"

namespace {

using Control = LiveSource::Control;

class PlainTarget : public ImageSetTarget {
public:
    ImageSetValues v;
    ImageSetValues values() const override { return v; }
    void change(const std::function<void(ImageSetValues&)>& edit) override { edit(v); }
};

// A UVC microscope: gain, exposure, red and blue balance, white balance, brightness and automatic exposure.
void makeMicroscope(FakeLiveSource& s)
{
    s.give(Control::Gain, { true, 0, 255, 1, 32 }, 40);
    s.give(Control::Exposure, { true, 3, 2047, 1, 250 }, 300);
    s.give(Control::Red, { true, 1, 1023, 1, 512 }, 600);
    s.give(Control::Blue, { true, 1, 1023, 1, 512 }, 500);
    s.give(Control::WhiteBalance, { true, 2800, 6500, 10, 4600 }, 5000);
    s.give(Control::Brightness, { true, -64, 64, 1, 0 }, -3);
    s.give(Control::AutoExposure, { true, 0, 1, 1, 1 }, 1);
}

} // namespace

TEST(ImageSetSource, VideoDevice_RealRanges_AbsentFieldsDisabled_OpeningValuesFromTheDevice)
{
    FakeLiveSource source;
    makeMicroscope(source);
    PlainTarget target;
    ImageSetModel model(target, source);

    const auto field = [&](int id) { return *model.number(id); };
    EXPECT_EQ(field(IDC_GLOBAL_GAIN).max, 255);
    EXPECT_EQ(field(IDC_SHUTTER).min, 3);
    EXPECT_EQ(field(IDC_SHUTTER).max, 2047);
    EXPECT_EQ(field(IDC_RED).max, 1023);
    EXPECT_EQ(field(IDC_CAM_WHITE_BALANCE).min, 2800);
    EXPECT_EQ(field(IDC_CAM_BRIGHTNESS).min, -64);
    for (int id : { IDC_GLOBAL_GAIN, IDC_SHUTTER, IDC_RED, IDC_BLUE, IDC_CAM_WHITE_BALANCE, IDC_CAM_BRIGHTNESS })
        EXPECT_TRUE(field(id).enabled) << id;
    for (int id : { IDC_GREEN1, IDC_GREEN2, IDC_CAM_CONTRAST })
        EXPECT_FALSE(field(id).enabled) << id;
    EXPECT_FALSE(model.hasControl(IDC_MIRROR_V));
    EXPECT_FALSE(model.hasControl(IDC_CAM_AUTO_GAIN));
    EXPECT_TRUE(model.hasControl(IDC_CAM_AUTO_EXPOSURE));
    EXPECT_TRUE(model.hasControl(IDC_GAMMA)); // not a camera field
    // Colour frames are shown as they come: no Bayer conversion, so neither its box nor its gains.
    EXPECT_FALSE(model.hasControl(IDC_BAYER_CHECK));
    for (int id : { IDC_BAYER_GAIN_R, IDC_BAYER_GAIN_G, IDC_BAYER_GAIN_B })
        EXPECT_FALSE(field(id).enabled) << id;

    // The device's own values show, not the own camera's stored ones.
    EXPECT_EQ(model.openingValue(IDC_GLOBAL_GAIN), 40);
    EXPECT_EQ(model.openingValue(IDC_SHUTTER), 300);
    EXPECT_EQ(model.openingValue(IDC_CAM_WHITE_BALANCE), 5000);
    EXPECT_EQ(model.openingValue(IDC_CAM_AUTO_EXPOSURE), 1);

    // Typed values go to the device at once, held to its range; absent fields take nothing.
    EXPECT_EQ(model.edit(IDC_GLOBAL_GAIN, "200"), 200);
    EXPECT_EQ(source.value(Control::Gain), 200);
    EXPECT_EQ(model.edit(IDC_SHUTTER, "1"), 3);
    EXPECT_EQ(source.value(Control::Exposure), 3);
    EXPECT_EQ(model.edit(IDC_CAM_WHITE_BALANCE, "9000"), 6500);
    EXPECT_FALSE(model.edit(IDC_GREEN1, "20"));
    model.setCheck(IDC_CAM_AUTO_EXPOSURE, 0);
    EXPECT_EQ(source.value(Control::AutoExposure), 0);
}

TEST(ImageSetSource, VideoDevice_CancelRestoresTheDevice_OkKeepsTheStoredGainsAlone)
{
    for (const bool ok : { false, true }) {
        FakeLiveSource source;
        makeMicroscope(source);
        PlainTarget target;
        target.v.GlovalGain = 14;
        target.v.Shutter = 536;
        ImageSetModel model(target, source);
        model.edit(IDC_GLOBAL_GAIN, "200");
        model.edit(IDC_SHUTTER, "1500");
        model.edit(IDC_CAM_BRIGHTNESS, "20");
        model.setCheck(IDC_CAM_AUTO_EXPOSURE, 0);
        if (ok) {
            model.accept("100", "100", "100");
            EXPECT_EQ(source.value(Control::Gain), 200);
            EXPECT_EQ(source.value(Control::Exposure), 1500);
        } else {
            model.cancel();
            EXPECT_EQ(source.value(Control::Gain), 40);
            EXPECT_EQ(source.value(Control::Exposure), 300);
            EXPECT_EQ(source.value(Control::Brightness), -3);
            EXPECT_EQ(source.value(Control::AutoExposure), 1);
        }
        // The own camera's stored gain and shutter are not the device's: 200 would not fit, 1500 would mean
        // another exposure to the own camera.
        EXPECT_EQ(target.v.GlovalGain, 14) << ok;
        EXPECT_EQ(target.v.Shutter, 536) << ok;
    }
}

TEST(ImageSetSource, MosaicSource_BayerBoxAndGainsOpen)
{
    FakeLiveSource source;
    source.frameFormat.pixels = LiveSource::Pixels::Mosaic;
    PlainTarget target;
    const ImageSetModel model(target, source);
    EXPECT_TRUE(model.hasControl(IDC_BAYER_CHECK));
    for (int id : { IDC_BAYER_GAIN_R, IDC_BAYER_GAIN_G, IDC_BAYER_GAIN_B })
        EXPECT_TRUE(model.number(id)->enabled) << id;
}
