#include "imaging/AutoExposure.h"

#include "imaging/DibImage.h"
#include "imaging/Kernels.h"

#include <algorithm>

std::array<Rect, 5> AutoExposure::SampleRects(int32_t width, int32_t height)
{
    const auto at = [](double fraction, int32_t size) { return int32_t(fraction * size); };
    const auto rect = [&](double l, double t, double r, double b) {
        return Rect{at(l, width), at(t, height), at(r, width), at(b, height)};
    };
    return {rect(0.1, 0.1, 0.2, 0.2), rect(0.1, 0.8, 0.2, 0.9), rect(0.45, 0.45, 0.55, 0.55),
            rect(0.8, 0.1, 0.9, 0.2), rect(0.8, 0.8, 0.9, 0.9)};
}

namespace {

// The mean lightness (0.299 red + 0.587 green + 0.114 blue, in 256ths) of a colour frame's rectangle.
int32_t meanLightness(const DibImage& frame, const Rect& r)
{
    const int32_t left = std::max(r.left, 0), right = std::min(r.right, frame.width());
    const int32_t top = std::max(r.top, 0), bottom = std::min(r.bottom, frame.height());
    if (left >= right || top >= bottom)
        return 0;
    uint64_t sum = 0;
    for (int32_t y = top; y < bottom; ++y) {
        const uint8_t* p = frame.rowTopDown(y) + ptrdiff_t(left) * 3;
        for (int32_t x = left; x < right; ++x, p += 3)
            sum += 29u * p[0] + 150u * p[1] + 77u * p[2];
    }
    return int32_t(sum / (uint64_t(right - left) * uint64_t(bottom - top) * 256));
}

} // namespace

std::array<int32_t, 5> AutoExposure::SampleMeans(DibImage& raw)
{
    std::array<int32_t, 5> means{};
    const auto rects = SampleRects(raw.width(), raw.height());
    for (size_t i = 0; i < rects.size(); ++i)
        means[i] = raw.bitsPerPixel() == 24
            ? meanLightness(raw, rects[i])
            : raw.Apply(MeanLevel, raw, &rects[i], rects[i].left, rects[i].top, nullptr, nullptr);
    return means;
}

double AutoExposure::FactorFromMeans(const std::array<int32_t, 5>& means)
{
    double f = 1.0;
    for (int32_t m : means) {
        if (m > 200)
            f -= 0.15;
        else if (m > 160)
            f -= 0.10;
        else if (m < 50)
            f += 0.10;
        else if (m < 100)
            f += 0.05;
    }
    return f;
}

AutoExposure::Decision AutoExposure::Decide(double factor, uint32_t nowMs)
{
    Decision d{factor, factor <= 0.6 || factor >= 1.2};
    const uint32_t elapsed = m_HavePrevious ? nowMs - m_PreviousMs : 0;
    if (elapsed > 200) {
        // Slow frames: a long exposure is likely, so step it down gently whatever the samples say.
        d = {0.95, true};
    } else if (elapsed > 150 && d.factor >= 1.2) {
        d = {1.05, true};
    }
    if (elapsed > 160 && elapsed < 210 && d.factor >= 1.0)
        d.adjust = false;
    m_HavePrevious = true;
    m_PreviousMs = nowMs;
    return d;
}

int32_t AutoExposure::NextGain(int32_t gain, double factor)
{
    int32_t n = int32_t(gain * factor) & 0xFF;
    if (factor > 1.0 && n <= 4)
        n = 4;
    else if (n >= 63)
        n = 63;
    return n;
}

int32_t AutoExposure::NextShutter(int32_t shutter, double factor)
{
    // The shutter register holds 14 bits: a longer exposure is held at the longest one the sensor has,
    // rather than wrapped round to a very short one.
    constexpr int32_t kLongestShutter = 0x3FFF;
    const int64_t n = int64_t(shutter * factor);
    return n < 1 ? 1 : (n > kLongestShutter ? kLongestShutter : int32_t(n));
}
