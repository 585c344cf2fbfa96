// The level histogram of a picture: red, green, blue and luminance counts over a sampled grid of pixels,
// the live view's clipping and exposure guide.
#pragma once

#include <array>
#include <cstdint>

#include "imaging/DibImage.h"

struct Histogram {
    enum Channel { Red, Green, Blue, Luma, kChannels };
    static constexpr int kLevels = 256;

    std::array<std::array<uint32_t, kLevels>, kChannels> counts {};
    uint32_t pixels = 0; // pixels counted (each counts once in every channel)

    // The share (0..1) of the counted pixels at level in channel c.
    double share(Channel c, int level) const
    {
        return pixels ? double(counts[size_t(c)][size_t(level)]) / double(pixels) : 0.0;
    }
};

// The luminance the histogram counts: ITU-R BT.601 weights in 8-bit fixed point, rounded.
inline uint8_t Luminance(uint8_t r, uint8_t g, uint8_t b)
{
    return uint8_t((77u * r + 150u * g + 29u * b + 128u) >> 8);
}

// The sampling step for a picture: the smallest odd step (odd, so that a raw colour mosaic is sampled on all
// four of its sites) that keeps the counted pixels within kHistogramSampleBudget.
constexpr int32_t kHistogramSampleBudget = 65536;
int32_t HistogramStep(int32_t width, int32_t height);

// Counts the pixels of every step-th column of every step-th row of image (step < 1 counts as 1) into out,
// replacing what it held. 24-bit pictures are blue, green, red; 8-bit pictures are grey levels, counted the
// same in all four channels. Other depths and empty pictures count nothing.
void MeasureHistogram(const DibImage& image, int32_t step, Histogram& out);
