// The kernel chain of the live picture: white balance on request, Bayer conversion with colour gains,
// hue/lightness/saturation, gamma, contrast, sharpening and binarisation, as the settings select.
//
// The steps run row by row in one pass over the picture, each row going through every step while it is in
// cache, and the rows are split into bands that run on a small pool of threads the processor owns. The
// result is the same, byte for byte, as running the kernels one after another over the whole picture.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/BandPool.h"
#include "imaging/DibImage.h"
#include "imaging/Kernels.h"

struct ProcessSettings {
    int32_t bayerFlg = 0;
    int32_t bayerMode = 0;
    double bayerR = 1.0; // colour gains, 0.0..2.0
    double bayerG = 1.0;
    double bayerB = 1.0;
    HlsData hls;
    int32_t gamma = 100; // 100 = off
    int32_t binaryFlg = 0;
    int32_t binary = 128;
    int32_t rgbFlg = 0;
    int32_t yuvFlg = 0;
};

// The width of the colour image for a raw frame: a third of it for RGB data, a half for YUV data.
inline int32_t ColorImageWidth(int32_t rawWidth, int32_t rgbFlg, int32_t yuvFlg)
{
    return rgbFlg ? rawWidth / 3 : yuvFlg ? rawWidth / 2 : rawWidth;
}

class FrameProcessor {
public:
    struct Gains {
        double r = 1.0, g = 1.0, b = 1.0;
    };

    // bands: how many row bands (and threads) a frame is split into; 0 = one per processor core.
    explicit FrameProcessor(int bands = 0);
    ~FrameProcessor();

    // The colour gains that balance the raw frame's red and blue sites against its green ones, each kept
    // within 0..2.
    static Gains MeasureWhiteBalance(DibImage& raw, int32_t bayerMode);

    // Runs the chain on raw (and color, the Bayer target) and returns the image to show: color when
    // Bayer, RGB or YUV is on, else raw.
    DibImage& Process(DibImage& raw, DibImage& color, const ProcessSettings& s);

    // 1 .. 64 bands; 0 = one per processor core. Takes effect from the next frame.
    void SetBands(int bands);
    int Bands() const { return m_Bands; }

private:
    struct Band;
    struct Chain;

    void RunChain(const Chain& chain);
    // The kernels one after another over the whole picture: for picture formats the row pass does not take.
    void ProcessWhole(DibImage& raw, DibImage& color, const ProcessSettings& s);

    int m_Bands = 1;
    std::unique_ptr<BandPool> m_Pool; // made on the first frame that has more than one band
    std::vector<Band> m_BandScratch; // per band: row ring, saved edge rows and column sums
    DibImage m_Copy; // the sharpening source of ProcessWhole
};
