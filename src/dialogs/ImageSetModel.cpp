#include "dialogs/ImageSetModel.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "camera/CameraDevice.h"

namespace {

// The colour gains are shown and typed as percentages.
int32_t percent(double gain)
{
    const double p = gain * 100.0;
    return std::isfinite(p) ? int32_t(std::clamp(p, -1e6, 1e6)) : 0;
}

constexpr int kGreen1 = CameraDevice::kRegGreen1Gain;

// The camera's four colour gains and the settings that keep them, in the order CANCEL writes them back.
struct ColourGain {
    int reg;
    uint8_t ImageSetValues::*stored;
};
constexpr ColourGain kColourGains[] = {
    { CameraDevice::kRegGreen1Gain, &ImageSetValues::ColorGainG1 },
    { CameraDevice::kRegBlueGain, &ImageSetValues::ColorGainB },
    { CameraDevice::kRegRedGain, &ImageSetValues::ColorGainR },
    { CameraDevice::kRegGreen2Gain, &ImageSetValues::ColorGainG2 },
};

} // namespace

ImageSetModel::ImageSetModel(ImageSetTarget& target, CameraDevice& camera)
    : m_Target(target)
    , m_Camera(camera)
    , m_Snapshot(target.values())
    , m_MirrorV(m_Snapshot.MirrorV)
{
    uint8_t green1Min = 0, green1Max = 127;
    m_Camera.GetColorGainMin(kGreen1, &green1Min);
    m_Camera.GetColorGainMax(kGreen1, &green1Max);
    m_Numbers = {
        { IDC_INTERLACE, IDC_INTERLACE_SPIN, 0, 0, 2000, false, false },
        { IDC_BINARY, IDC_BINARY_SPIN, 0, 0, 255, true },
        { IDC_BAYER_GAIN_R, IDC_BAYER_GAIN_R_SPIN, 0, 1, 200, true },
        { IDC_BAYER_GAIN_G, IDC_BAYER_GAIN_G_SPIN, 0, 1, 200, true },
        { IDC_BAYER_GAIN_B, IDC_BAYER_GAIN_B_SPIN, 0, 1, 200, true },
        { IDC_CONTRAST, IDC_CONTRAST_SPIN, 0, -127, 127, false },
        { IDC_SHARPNESS, IDC_SHARPNESS_SPIN, 0, 0, 30, false },
        { IDC_HUE, IDC_HUE_SPIN, 0, -360, 360, false },
        { IDC_BRIGHTNESS, IDC_BRIGHTNESS_SPIN, 0, -255, 255, false },
        { IDC_SATURATION, IDC_SATURATION_SPIN, 0, -255, 255, false },
        { IDC_GAMMA, IDC_GAMMA_SPIN, 0, 1, 200, true },
        { IDC_GLOBAL_GAIN, IDC_GLOBAL_GAIN_SPIN, IDC_GLOBAL_GAIN_SLIDER, m_Camera.GetGlobalGainMin(),
            m_Camera.GetGlobalGainMax(), false },
        { IDC_GREEN1, IDC_GREEN1_SPIN, IDC_GREEN1_SLIDER, green1Min, green1Max, true },
        { IDC_RED, IDC_RED_SPIN, IDC_RED_SLIDER, 0, 127, false },
        { IDC_BLUE, IDC_BLUE_SPIN, IDC_BLUE_SLIDER, 0, 127, false },
        { IDC_GREEN2, IDC_GREEN2_SPIN, IDC_GREEN2_SLIDER, 0, 127, true },
        { IDC_SHUTTER, IDC_SHUTTER_SPIN, IDC_SHUTTER_SLIDER, m_Camera.GetShutterMin(), m_Camera.GetShutterMax(), true },
    };
}

const ImageSetNumber* ImageSetModel::number(int edit) const
{
    const auto it = std::find_if(m_Numbers.begin(), m_Numbers.end(), [edit](const auto& n) { return n.edit == edit; });
    return it == m_Numbers.end() ? nullptr : &*it;
}

int32_t ImageSetModel::cameraValue(int id, int32_t stored) const
{
    uint8_t gain = 0;
    uint16_t shutter = 0;
    switch (id) {
    case IDC_GLOBAL_GAIN:
        return m_Camera.GetGlobalGain(&gain) ? gain : stored;
    case IDC_GREEN1:
        return m_Camera.GetColorGain(CameraDevice::kRegGreen1Gain, &gain) ? gain : stored;
    case IDC_RED:
        return m_Camera.GetColorGain(CameraDevice::kRegRedGain, &gain) ? gain : stored;
    case IDC_BLUE:
        return m_Camera.GetColorGain(CameraDevice::kRegBlueGain, &gain) ? gain : stored;
    case IDC_GREEN2:
        return m_Camera.GetColorGain(CameraDevice::kRegGreen2Gain, &gain) ? gain : stored;
    case IDC_SHUTTER:
        return m_Camera.GetShutter(&shutter) ? shutter : stored;
    }
    return stored;
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
        return cameraValue(id, v.GlovalGain);
    case IDC_GREEN1:
        return cameraValue(id, v.ColorGainG1);
    case IDC_RED:
        return cameraValue(id, v.ColorGainR);
    case IDC_BLUE:
        return cameraValue(id, v.ColorGainB);
    case IDC_GREEN2:
        return cameraValue(id, v.ColorGainG2);
    case IDC_SHUTTER:
        return cameraValue(id, v.Shutter);
    }
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
    // The camera's registers are written at once; the settings keep them only on OK.
    case IDC_GLOBAL_GAIN:
        m_Camera.SetGlobalGain(uint8_t(value));
        break;
    case IDC_GREEN1:
        m_Camera.SetColorGain(CameraDevice::kRegGreen1Gain, uint8_t(value));
        break;
    case IDC_RED:
        m_Camera.SetColorGain(CameraDevice::kRegRedGain, uint8_t(value));
        break;
    case IDC_BLUE:
        m_Camera.SetColorGain(CameraDevice::kRegBlueGain, uint8_t(value));
        break;
    case IDC_GREEN2:
        m_Camera.SetColorGain(CameraDevice::kRegGreen2Gain, uint8_t(value));
        break;
    case IDC_SHUTTER:
        m_Camera.SetShutter(uint16_t(value));
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
    }
}

void ImageSetModel::setMirror(int horizontal, int vertical)
{
    m_MirrorV = vertical ? 1 : 0;
    m_Camera.SetMirrorH(horizontal ? 1 : 0);
    m_Camera.SetMirror(m_MirrorV);
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
    // A read that failed (no camera, a failed exchange) keeps the stored value: storing its 0 would start
    // the next session with a black picture.
    uint8_t global = 0;
    uint8_t colour[std::size(kColourGains)] = {};
    bool hasColour[std::size(kColourGains)] = {};
    uint16_t shutter = 0;
    const bool hasGlobal = m_Camera.GetGlobalGain(&global);
    for (size_t i = 0; i < std::size(kColourGains); ++i)
        hasColour[i] = m_Camera.GetColorGain(kColourGains[i].reg, &colour[i]);
    const bool hasShutter = m_Camera.GetShutter(&shutter);
    m_Target.change([&](ImageSetValues& s) {
        if (hasGlobal)
            s.GlovalGain = global;
        for (size_t i = 0; i < std::size(kColourGains); ++i)
            if (hasColour[i])
                s.*kColourGains[i].stored = colour[i];
        if (hasShutter)
            s.Shutter = shutter;
    });
}

void ImageSetModel::cancel()
{
    const ImageSetValues& v = m_Snapshot;
    m_Target.change([&v](ImageSetValues& s) { s = v; });
    m_Camera.SetMirror(v.MirrorV);
    m_Camera.SetGlobalGain(v.GlovalGain);
    for (const ColourGain& gain : kColourGains)
        m_Camera.SetColorGain(gain.reg, v.*gain.stored);
    m_Camera.SetShutter(v.Shutter);
}

int32_t ImageSetModel::ColorImageWidth(int32_t rawWidth, int32_t rgbFlg, int32_t yuvFlg)
{
    return rgbFlg ? rawWidth / 3 : yuvFlg ? rawWidth / 2 : rawWidth;
}
