// The kernel chain of the live picture: white balance on request, Bayer conversion with colour gains,
// hue/lightness/saturation, gamma, contrast, sharpening and binarisation, as the settings select.
#pragma once

#include <cstdint>

#include "imaging/DibImage.h"
#include "imaging/Kernels.h"

struct ProcessSettings {
    int32_t bayerFlg = 0;
    int32_t bayerMode = 0;
    double bayerR = 1.0;  // colour gains, 0.0..2.0
    double bayerG = 1.0;
    double bayerB = 1.0;
    HlsData hls;
    int32_t gamma = 100;  // 100 = off
    int32_t binaryFlg = 0;
    int32_t binary = 128;
    int32_t rgbFlg = 0;
    int32_t yuvFlg = 0;
};

class FrameProcessor {
public:
    struct Gains {
        double r = 1.0, g = 1.0, b = 1.0;
    };

    // The colour gains that balance the raw frame's red and blue sites against its green ones, each kept
    // within 0..2.
    static Gains MeasureWhiteBalance(DibImage& raw, int32_t bayerMode);

    // Runs the chain on raw (and color, the Bayer target) and returns the image to show: color when
    // Bayer, RGB or YUV is on, else raw.
    DibImage& Process(DibImage& raw, DibImage& color, const ProcessSettings& s);

private:
    DibImage m_Copy;  // the sharpening source, kept between frames to spare an allocation per frame
};
