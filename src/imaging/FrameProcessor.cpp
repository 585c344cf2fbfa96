#include "imaging/FrameProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Runs a kernel with a single integer parameter over the whole image, in place.
void applyInPlace(DibImage& img, PixelKernel kernel, int32_t value)
{
    int32_t* p = &value;
    img.Apply(kernel, img, nullptr, 0, 0, &p, nullptr);
}

// A colour gain times 100, truncated. The gains come from the settings file: whatever it holds, the
// conversion to an integer stays defined (the kernel itself saturates out-of-range gains).
int32_t gainPercent(double gain)
{
    if (!std::isfinite(gain))
        return 100;
    return int32_t(std::clamp(gain * 100.0, -1.0e6, 1.0e6));
}

}  // namespace

FrameProcessor::Gains FrameProcessor::MeasureWhiteBalance(DibImage& raw, int32_t bayerMode)
{
    BalanceStats stats;
    stats.mode = bayerMode;
    BalanceStats* p = &stats;
    raw.Apply(MeasureBalance, raw, nullptr, 0, 0, &p, nullptr);
    const auto clampGain = [](double v) { return std::clamp(v, 0.0, 2.0); };
    return {clampGain(stats.gainRed * 0.01), 1.0, clampGain(stats.gainBlue * 0.01)};
}

DibImage& FrameProcessor::Process(DibImage& raw, DibImage& color, const ProcessSettings& s)
{
    if (s.bayerFlg) {
        BayerParams params{s.bayerMode, gainPercent(s.bayerR), gainPercent(s.bayerG), gainPercent(s.bayerB)};
        BayerParams* p = &params;
        color.Apply(BayerToRgb, raw, nullptr, 0, 0, &p, nullptr);
        if (s.hls.H != 0 || s.hls.L != 0 || s.hls.S != 0) {
            HlsData hls = s.hls;
            HlsData* h = &hls;
            color.Apply(AdjustHls, color, nullptr, 0, 0, &h, nullptr);
        }
    }
    DibImage& work = s.bayerFlg ? color : raw;
    const bool rgb = work.bitsPerPixel() == 24;
    if (s.gamma != 100)
        applyInPlace(work, rgb ? GammaRgb : GammaGray, s.gamma);
    if (s.hls.C != 0)
        applyInPlace(work, rgb ? ContrastRgb : ContrastGray, s.hls.C);
    const bool copyFits = m_Copy.width() == work.width() && m_Copy.height() == work.height() &&
                          m_Copy.bitsPerPixel() == work.bitsPerPixel();
    if (s.hls.SP != 0 && (copyFits || m_Copy.CreateLike(&work))) {
        std::memcpy(m_Copy.bits(), work.bits(), size_t(work.byteSize()));
        int32_t value = s.hls.SP;
        int32_t* p = &value;
        work.Apply(rgb ? SharpenRgb : SharpenGray, m_Copy, nullptr, 0, 0, &p, nullptr);
    }
    if (s.binaryFlg)
        applyInPlace(work, rgb ? BinarizeRgb : BinarizeGray, s.binary);
    return (s.bayerFlg || s.rgbFlg || s.yuvFlg) ? color : raw;
}
