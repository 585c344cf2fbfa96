// The row-by-row, banded chain against the kernels run one after another over the whole picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "imaging/FrameProcessor.h"
#include "imaging/KernelSupport.h"
#include "imaging/KernelTestSupport.h"

using namespace kerneltest;

namespace {

void applyInt(DibImage& img, const DibImage& src, PixelKernel k, int32_t value)
{
    Arg<int32_t> arg(value);
    img.Apply(k, src, nullptr, 0, 0, arg.user(), nullptr);
}

// The chain as the display loop has always run it: each kernel over the whole picture, sharpening from a
// fresh copy.
void wholeChain(DibImage& raw, DibImage& color, const ProcessSettings& s)
{
    if (s.bayerFlg) {
        Arg<BayerParams> bayer(
            BayerParams { s.bayerMode, int32_t(s.bayerR * 100), int32_t(s.bayerG * 100), int32_t(s.bayerB * 100) });
        color.Apply(BayerToRgb, raw, nullptr, 0, 0, bayer.user(), nullptr);
        if (s.hls.H != 0 || s.hls.L != 0 || s.hls.S != 0) {
            Arg<HlsData> hls(s.hls);
            color.Apply(AdjustHls, color, nullptr, 0, 0, hls.user(), nullptr);
        }
    }
    DibImage& work = s.bayerFlg ? color : raw;
    const bool rgb = work.bitsPerPixel() == 24;
    if (s.gamma != 100)
        applyInt(work, work, rgb ? GammaRgb : GammaGray, s.gamma);
    if (s.hls.C != 0)
        applyInt(work, work, rgb ? ContrastRgb : ContrastGray, s.hls.C);
    if (s.hls.SP != 0) {
        DibImage copy;
        copyPixels(copy, work);
        applyInt(work, copy, rgb ? SharpenRgb : SharpenGray, s.hls.SP);
    }
    if (s.binaryFlg)
        applyInt(work, work, rgb ? BinarizeRgb : BinarizeGray, s.binary);
}

ProcessSettings randomSettings(std::mt19937& rng)
{
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto sometimes = [&](int value, int otherwise) { return pick(0, 2) ? value : otherwise; };
    ProcessSettings s;
    s.bayerFlg = pick(0, 3) != 0;
    s.bayerMode = pick(0, 3);
    s.bayerR = pick(0, 200) / 100.0;
    s.bayerB = pick(0, 200) / 100.0;
    s.hls = { sometimes(pick(-400, 400), 0), sometimes(pick(-300, 300), 0), sometimes(pick(-300, 300), 0),
        sometimes(pick(-130, 130), 0), sometimes(pick(-60, 60), 0) };
    s.gamma = sometimes(pick(1, 300), 100);
    s.binaryFlg = pick(0, 2) == 0;
    s.binary = pick(-5, 260);
    return s;
}

} // namespace

TEST(FrameChain, RandomFramesAndSettings_MatchTheWholePictureChain_AtOneToEightBands)
{
    std::mt19937 rng(2024);
    FrameProcessor processors[8] = { FrameProcessor(1), FrameProcessor(2), FrameProcessor(3), FrameProcessor(4),
        FrameProcessor(5), FrameProcessor(6), FrameProcessor(7), FrameProcessor(8) };
    for (int round = 0; round < 60; ++round) {
        const int32_t w = std::uniform_int_distribution<int32_t>(1, 70)(rng);
        const int32_t h = std::uniform_int_distribution<int32_t>(1, 40)(rng);
        const ProcessSettings s = randomSettings(rng);
        DibImage raw, color, wantRaw, wantColor;
        makeRandom(raw, w, h, 8, rng());
        makeRandom(color, w, h, 24, rng()); // the colour image holds the last frame's picture
        copyPixels(wantRaw, raw);
        copyPixels(wantColor, color);
        wholeChain(wantRaw, wantColor, s);
        for (FrameProcessor& processor : processors) {
            DibImage gotRaw, gotColor;
            copyPixels(gotRaw, raw);
            copyPixels(gotColor, color);
            processor.Process(gotRaw, gotColor, s);
            ASSERT_TRUE(samePixels(gotRaw, wantRaw)) << "round " << round << " bands " << processor.Bands();
            ASSERT_TRUE(samePixels(gotColor, wantColor)) << "round " << round << " bands " << processor.Bands();
        }
    }
}

TEST(FrameChain, EveryVectorLevel_GivesTheSamePicture)
{
    std::mt19937 rng(7);
    ProcessSettings s;
    s.bayerFlg = 1;
    s.bayerR = 1.3;
    s.bayerB = 0.8;
    s.hls = { 25, -10, 40, 20, 12 };
    s.gamma = 140;
    s.binaryFlg = 1;
    s.binary = 90;
    DibImage raw, color, wantRaw, wantColor;
    makeRandom(raw, 203, 37, 8, 1);
    makeRandom(color, 203, 37, 24, 2);
    copyPixels(wantRaw, raw);
    copyPixels(wantColor, color);
    kernel::setSimdCap(kernel::SimdLevel::None);
    wholeChain(wantRaw, wantColor, s);
    for (kernel::SimdLevel level :
        { kernel::SimdLevel::None, kernel::SimdLevel::Ssse3, kernel::SimdLevel::Sse41, kernel::SimdLevel::Avx2,
            kernel::SimdLevel::Best }) {
        kernel::setSimdCap(level);
        FrameProcessor processor(3);
        DibImage gotRaw, gotColor;
        copyPixels(gotRaw, raw);
        copyPixels(gotColor, color);
        processor.Process(gotRaw, gotColor, s);
        EXPECT_TRUE(samePixels(gotColor, wantColor)) << "level " << int(level);
    }
    kernel::setSimdCap(kernel::SimdLevel::Best);
}

TEST(FrameChain, SizesTheRowPassDoesNotTake_StillRunTheChain)
{
    // A colour image narrower than the raw frame (the RGB and YUV modes): the kernels clip as they always did.
    DibImage raw, color, wantRaw, wantColor;
    makeRandom(raw, 60, 20, 8, 3);
    makeRandom(color, 20, 20, 24, 4);
    copyPixels(wantRaw, raw);
    copyPixels(wantColor, color);
    ProcessSettings s;
    s.bayerFlg = 1;
    s.hls.SP = 9;
    s.gamma = 80;
    wholeChain(wantRaw, wantColor, s);
    FrameProcessor processor(2);
    processor.Process(raw, color, s);
    EXPECT_TRUE(samePixels(color, wantColor));
    EXPECT_TRUE(samePixels(raw, wantRaw));
}

TEST(FrameChain, BayerFrame_FollowsTheInterior_AfterASettingChange)
{
    // Two frames with different settings: the second picture, two-pixel frame included, is what the second
    // settings make whatever the colour image held, and without sharpening each frame pixel is the interior
    // pixel nearest to it.
    struct Case {
        const char* name;
        int32_t gamma1, gamma2, lightness2, sharpness, binary;
    };
    const Case cases[] = {
        { "gamma up", 60, 250, 0, 0, -1 },
        { "gamma down, brighter", 250, 40, 80, 0, -1 },
        { "brighter then binarised", 100, 100, 120, 0, 100 },
        { "sharpened", 100, 180, 30, 15, -1 },
    };
    DibImage raw;
    makeRandom(raw, 41, 23, 8, 5);
    for (const Case& c : cases)
        for (int bands : { 1, 3 }) {
            ProcessSettings first, second;
            first.bayerFlg = second.bayerFlg = 1;
            first.gamma = c.gamma1;
            second.gamma = c.gamma2;
            second.hls.L = c.lightness2;
            second.hls.SP = c.sharpness;
            second.binaryFlg = c.binary >= 0;
            second.binary = c.binary;
            FrameProcessor processor(bands);
            DibImage got, fresh;
            makeRandom(got, 41, 23, 24, 6);
            processor.Process(raw, got, first);
            processor.Process(raw, got, second);
            makeRandom(fresh, 41, 23, 24, 7);
            processor.Process(raw, fresh, second);
            ASSERT_TRUE(samePixels(got, fresh)) << c.name << ", bands " << bands;
            if (c.sharpness != 0)
                continue;
            for (int32_t y = 0; y < 23; ++y)
                for (int32_t x = 0; x < 41; ++x)
                    for (int k = 0; k < 3; ++k)
                        ASSERT_EQ(at(got, x, y, k), at(got, std::clamp(x, 2, 38), std::clamp(y, 2, 20), k))
                            << c.name << ", bands " << bands << " at " << x << "," << y;
        }
}
