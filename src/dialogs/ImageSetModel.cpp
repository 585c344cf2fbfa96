#include "dialogs/ImageSetModel.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

using Control = LiveSource::Control;

// The colour gains are shown and typed as percentages.
int32_t percent(double gain)
{
    const double p = gain * 100.0;
    return std::isfinite(p) ? int32_t(std::clamp(p, -1e6, 1e6)) : 0;
}

// The camera's fields and check boxes and the source's control behind each.
struct CameraField {
    int id;
    Control control;
};
constexpr CameraField kCameraFields[] = {
    { IDC_GLOBAL_GAIN, Control::Gain },
    { IDC_GREEN1, Control::Green1 },
    { IDC_RED, Control::Red },
    { IDC_BLUE, Control::Blue },
    { IDC_GREEN2, Control::Green2 },
    { IDC_SHUTTER, Control::Exposure },
    { IDC_MIRROR_V, Control::Mirror },
    { IDC_CAM_WHITE_BALANCE, Control::WhiteBalance },
    { IDC_CAM_BRIGHTNESS, Control::Brightness },
    { IDC_CAM_CONTRAST, Control::Contrast },
    { IDC_CAM_AUTO_EXPOSURE, Control::AutoExposure },
    { IDC_CAM_AUTO_WHITE_BALANCE, Control::AutoWhiteBalance },
    { IDC_CAM_AUTO_GAIN, Control::AutoGain },
};

std::optional<Control> controlOf(int id)
{
    for (const CameraField& f : kCameraFields)
        if (f.id == id)
            return f.control;
    return std::nullopt;
}

// The settings that keep the camera's gains and exposure, in the order CANCEL writes them back.
struct StoredGain {
    Control control;
    uint8_t ImageSetValues::*stored;
};
constexpr StoredGain kStoredGains[] = {
    { Control::Gain, &ImageSetValues::GlovalGain },
    { Control::Green1, &ImageSetValues::ColorGainG1 },
    { Control::Blue, &ImageSetValues::ColorGainB },
    { Control::Red, &ImageSetValues::ColorGainR },
    { Control::Green2, &ImageSetValues::ColorGainG2 },
};

} // namespace

ImageSetModel::ImageSetModel(ImageSetTarget& target, LiveSource& source)
    : m_Target(target)
    , m_Source(source)
    , m_Snapshot(target.values())
    , m_MirrorV(m_Snapshot.MirrorV)
{
    // A device that keeps its own values is read once: they show at opening and CANCEL puts them back.
    if (!m_Source.keepsControlsInSettings())
        for (int c = 0; c < int(Control::Count); ++c) {
            int32_t value = 0;
            if (m_Source.getControl(Control(c), &value))
                m_Opening[c] = value;
        }
    const auto camera = [this](int edit, int spin, int slider, Control c, bool nonZero) {
        const LiveSource::ControlRange r = m_Source.range(c);
        return ImageSetNumber { edit, spin, slider, r.present ? r.min : 0, r.present ? r.max : 0, nonZero, r.present };
    };
    const auto ranged = [](int edit, int spin, SettingRange r, bool enabled = true) {
        return ImageSetNumber { edit, spin, 0, r.min, r.max, r.nonZero, enabled };
    };
    const bool mosaic = hasMosaic();
    m_Numbers = {
        ranged(IDC_INTERLACE, IDC_INTERLACE_SPIN, SettingRanges::kInterlace, false),
        ranged(IDC_BINARY, IDC_BINARY_SPIN, SettingRanges::kBinary),
        ranged(IDC_BAYER_GAIN_R, IDC_BAYER_GAIN_R_SPIN, SettingRanges::kColourGainPercent, mosaic),
        ranged(IDC_BAYER_GAIN_G, IDC_BAYER_GAIN_G_SPIN, SettingRanges::kColourGainPercent, mosaic),
        ranged(IDC_BAYER_GAIN_B, IDC_BAYER_GAIN_B_SPIN, SettingRanges::kColourGainPercent, mosaic),
        ranged(IDC_CONTRAST, IDC_CONTRAST_SPIN, SettingRanges::kContrast),
        ranged(IDC_SHARPNESS, IDC_SHARPNESS_SPIN, SettingRanges::kSharpness),
        ranged(IDC_HUE, IDC_HUE_SPIN, SettingRanges::kHue),
        ranged(IDC_BRIGHTNESS, IDC_BRIGHTNESS_SPIN, SettingRanges::kBrightness),
        ranged(IDC_SATURATION, IDC_SATURATION_SPIN, SettingRanges::kSaturation),
        ranged(IDC_GAMMA, IDC_GAMMA_SPIN, SettingRanges::kGamma),
        camera(IDC_GLOBAL_GAIN, IDC_GLOBAL_GAIN_SPIN, IDC_GLOBAL_GAIN_SLIDER, Control::Gain, false),
        camera(IDC_GREEN1, IDC_GREEN1_SPIN, IDC_GREEN1_SLIDER, Control::Green1, true),
        camera(IDC_RED, IDC_RED_SPIN, IDC_RED_SLIDER, Control::Red, false),
        camera(IDC_BLUE, IDC_BLUE_SPIN, IDC_BLUE_SLIDER, Control::Blue, false),
        camera(IDC_GREEN2, IDC_GREEN2_SPIN, IDC_GREEN2_SLIDER, Control::Green2, true),
        camera(IDC_SHUTTER, IDC_SHUTTER_SPIN, IDC_SHUTTER_SLIDER, Control::Exposure, true),
        camera(IDC_CAM_WHITE_BALANCE, IDC_CAM_WHITE_BALANCE_SPIN, 0, Control::WhiteBalance, false),
        camera(IDC_CAM_BRIGHTNESS, IDC_CAM_BRIGHTNESS_SPIN, 0, Control::Brightness, false),
        camera(IDC_CAM_CONTRAST, IDC_CAM_CONTRAST_SPIN, 0, Control::Contrast, false),
    };
}

const ImageSetNumber* ImageSetModel::number(int edit) const
{
    const auto it = std::find_if(m_Numbers.begin(), m_Numbers.end(), [edit](const auto& n) { return n.edit == edit; });
    return it == m_Numbers.end() ? nullptr : &*it;
}

bool ImageSetModel::hasMosaic() const
{
    return m_Source.format().pixels == LiveSource::Pixels::Mosaic;
}

bool ImageSetModel::hasControl(int id) const
{
    if (id == IDC_BAYER_CHECK)
        return hasMosaic();
    const std::optional<Control> c = controlOf(id);
    return !c || m_Source.range(*c).present;
}

int32_t ImageSetModel::cameraValue(Control c, int32_t stored) const
{
    if (!m_Source.keepsControlsInSettings()) {
        const std::optional<int32_t>& opening = m_Opening[size_t(c)];
        return opening ? *opening : m_Source.range(c).def;
    }
    int32_t value = 0;
    return m_Source.getControl(c, &value) ? value : stored;
}

int32_t ImageSetModel::openingValue(int id) const
{
    const ImageSetValues& v = m_Snapshot;
    switch (id) {
    case IDC_INTERLACE_CHECK:
        return v.m_InterlaceFlg;
    case IDC_INTERLACE:
        return v.m_Interlace;
    case IDC_BINARY_CHECK:
        return v.m_BinaryFlg;
    case IDC_BINARY:
        return v.m_Binary;
    case IDC_BAYER_GAIN_R:
        return percent(v.m_BayerR);
    case IDC_BAYER_GAIN_G:
        return percent(v.m_BayerG);
    case IDC_BAYER_GAIN_B:
        return percent(v.m_BayerB);
    case IDC_BAYER_CHECK:
        return v.m_BayerFlg;
    case IDC_AUTO_IRIS:
        return v.m_AutoIrisFlg;
    case IDC_CONTRAST:
        return v.m_HLS.C;
    case IDC_SHARPNESS:
        return v.m_HLS.SP;
    case IDC_HUE:
        return v.m_HLS.H;
    case IDC_BRIGHTNESS:
        return v.m_HLS.L;
    case IDC_SATURATION:
        return v.m_HLS.S;
    case IDC_MIRROR_H:
        return 0;
    case IDC_MIRROR_V:
        return v.MirrorV;
    case IDC_GAMMA:
        return v.Gamma;
    case IDC_GLOBAL_GAIN:
        return cameraValue(Control::Gain, v.GlovalGain);
    case IDC_GREEN1:
        return cameraValue(Control::Green1, v.ColorGainG1);
    case IDC_RED:
        return cameraValue(Control::Red, v.ColorGainR);
    case IDC_BLUE:
        return cameraValue(Control::Blue, v.ColorGainB);
    case IDC_GREEN2:
        return cameraValue(Control::Green2, v.ColorGainG2);
    case IDC_SHUTTER:
        return cameraValue(Control::Exposure, v.Shutter);
    }
    if (const std::optional<Control> c = controlOf(id))
        return cameraValue(*c, 0);
    return 0;
}

std::optional<int32_t> ImageSetModel::edit(int id, const QString& text)
{
    const ImageSetNumber* field = number(id);
    if (!field || !field->enabled)
        return std::nullopt;
    bool isNumber = false;
    const int32_t typed = text.trimmed().toInt(&isNumber);
    if (!isNumber || (field->nonZero && typed == 0))
        return std::nullopt;
    // Held to the range, so that a register never gets a masked value (16384 is no exposure of 0).
    const int32_t value = std::clamp(typed, field->min, field->max);
    if (field->nonZero && value == 0)
        return std::nullopt;
    applyNumber(id, value);
    return value;
}

void ImageSetModel::applyNumber(int id, int32_t value)
{
    const auto set = [this](auto edit) { m_Target.change(edit); };
    switch (id) {
    case IDC_BINARY:
        set([value](ImageSetValues& s) { s.m_Binary = value; });
        break;
    case IDC_BAYER_GAIN_R:
        set([value](ImageSetValues& s) { s.m_BayerR = value * 0.01; });
        break;
    case IDC_BAYER_GAIN_G:
        set([value](ImageSetValues& s) { s.m_BayerG = value * 0.01; });
        break;
    case IDC_BAYER_GAIN_B:
        set([value](ImageSetValues& s) { s.m_BayerB = value * 0.01; });
        break;
    case IDC_CONTRAST:
        set([value](ImageSetValues& s) { s.m_HLS.C = value; });
        break;
    case IDC_SHARPNESS:
        set([value](ImageSetValues& s) { s.m_HLS.SP = value; });
        break;
    case IDC_HUE:
        set([value](ImageSetValues& s) { s.m_HLS.H = value; });
        break;
    case IDC_BRIGHTNESS:
        set([value](ImageSetValues& s) { s.m_HLS.L = value; });
        break;
    case IDC_SATURATION:
        set([value](ImageSetValues& s) { s.m_HLS.S = value; });
        break;
    case IDC_GAMMA:
        set([value](ImageSetValues& s) { s.Gamma = value; });
        break;
    default:
        // The camera's controls are set at once; the settings keep them only on OK.
        if (const std::optional<Control> c = controlOf(id))
            m_Source.setControl(*c, value);
        break;
    }
}

void ImageSetModel::setCheck(int id, int on)
{
    on = on ? 1 : 0;
    switch (id) {
    case IDC_INTERLACE_CHECK:
        m_Target.change([on](ImageSetValues& s) { s.m_InterlaceFlg = on; });
        break;
    case IDC_BINARY_CHECK:
        m_Target.change([on](ImageSetValues& s) { s.m_BinaryFlg = on; });
        break;
    case IDC_BAYER_CHECK:
        m_Target.change([on](ImageSetValues& s) { s.m_BayerFlg = on; });
        break;
    case IDC_AUTO_IRIS:
        m_Target.change([on](ImageSetValues& s) { s.m_AutoIrisFlg = on; });
        break;
    case IDC_CAM_AUTO_EXPOSURE:
    case IDC_CAM_AUTO_WHITE_BALANCE:
    case IDC_CAM_AUTO_GAIN:
        m_Source.setControl(*controlOf(id), on);
        break;
    }
}

void ImageSetModel::setMirror(int horizontal, int vertical)
{
    (void)horizontal; // the sensor reads columns in one direction only
    m_MirrorV = vertical ? 1 : 0;
    m_Source.setControl(Control::Mirror, m_MirrorV);
}

void ImageSetModel::setBayerMode(int mode)
{
    if (mode >= 0 && mode <= 3)
        m_Target.change([mode](ImageSetValues& s) { s.m_BayerMode = mode; });
}

void ImageSetModel::setAutoIrisMode(int mode)
{
    if (mode == 0 || mode == 1)
        m_Target.change([mode](ImageSetValues& s) { s.m_AutoIrisMode = mode; });
}

void ImageSetModel::accept(const QString& gainR, const QString& gainG, const QString& gainB)
{
    m_Target.change([this](ImageSetValues& s) { s.MirrorV = m_MirrorV; });
    edit(IDC_BAYER_GAIN_R, gainR);
    edit(IDC_BAYER_GAIN_G, gainG);
    edit(IDC_BAYER_GAIN_B, gainB);
    if (!m_Source.keepsControlsInSettings())
        return;
    // A read that failed (no camera, a failed exchange) keeps the stored value: storing its 0 would start
    // the next session with a black picture.
    int32_t gains[std::size(kStoredGains)] = {};
    bool hasGain[std::size(kStoredGains)] = {};
    int32_t shutter = 0;
    for (size_t i = 0; i < std::size(kStoredGains); ++i)
        hasGain[i] = m_Source.getControl(kStoredGains[i].control, &gains[i]);
    const bool hasShutter = m_Source.getControl(Control::Exposure, &shutter);
    m_Target.change([&](ImageSetValues& s) {
        for (size_t i = 0; i < std::size(kStoredGains); ++i)
            if (hasGain[i])
                s.*kStoredGains[i].stored = uint8_t(gains[i]);
        if (hasShutter)
            s.Shutter = uint16_t(shutter);
    });
}

void ImageSetModel::cancel()
{
    const ImageSetValues& v = m_Snapshot;
    m_Target.change([&v](ImageSetValues& s) { s = v; });
    if (!m_Source.keepsControlsInSettings()) {
        for (int c = 0; c < int(Control::Count); ++c)
            if (m_Opening[c])
                m_Source.setControl(Control(c), *m_Opening[c]);
        return;
    }
    m_Source.setControl(Control::Mirror, v.MirrorV);
    for (const StoredGain& gain : kStoredGains)
        m_Source.setControl(gain.control, v.*gain.stored);
    m_Source.setControl(Control::Exposure, v.Shutter);
}

std::array<int32_t, 3> ImageSetModel::colourGains() const
{
    const ImageSetValues v = m_Target.values();
    return { percent(v.m_BayerR), percent(v.m_BayerG), percent(v.m_BayerB) };
}
