// Auto exposure of the live picture: five sample areas of the raw frame give a correction factor, the
// time between passes tempers it, and the global gain or the shutter moves by it.
#pragma once

#include <array>
#include <cstdint>

#include "imaging/Rect.h"

class DibImage;

class AutoExposure {
public:
    struct Decision {
        double factor = 1.0;
        bool adjust = false;
    };

    // The five sample rectangles (top-down) of a width x height frame: upper left, lower left, centre,
    // upper right, lower right.
    static std::array<Rect, 5> SampleRects(int32_t width, int32_t height);
    // The mean level of each sample: of an 8-bit frame its bytes, of a 24-bit (colour) frame its lightness.
    static std::array<int32_t, 5> SampleMeans(DibImage& raw);
    // Bright samples lower the factor, dark ones raise it; 100..160 is the target band.
    static double FactorFromMeans(const std::array<int32_t, 5>& means);

    // Applies the frame-interval rules at time nowMs (a millisecond tick) and remembers this pass.
    Decision Decide(double factor, uint32_t nowMs);

    // The new global gain for factor f (kept to 4..63 as the sensor's useful range, as the rules say).
    static int32_t NextGain(int32_t gain, double factor);
    // The new shutter for factor f: at least 1, at most the sensor's longest exposure (16383).
    static int32_t NextShutter(int32_t shutter, double factor);

private:
    bool m_HavePrevious = false;
    uint32_t m_PreviousMs = 0;
};
