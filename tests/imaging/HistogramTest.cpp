// The live histogram: counts against a slow reference on random pictures of both depths and several steps,
// known pictures against counts worked out by hand, the sampling step, and the hand-over between threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "imaging/Histogram.h"
#include "imaging/HistogramFeed.h"
#include "KernelTestSupport.h"

namespace {

// Visits every pixel top-down and keeps those on the step grid counted from the bottom row, as the kernel's
// documentation says: a different walk over the same definition.
Histogram reference(const DibImage& img, int32_t step)
{
    Histogram h;
    for (int32_t top = 0; top < img.height(); ++top) {
        const int32_t y = img.height() - 1 - top;
        if (y % step != 0)
            continue;
        for (int32_t x = 0; x < img.width(); x += 1) {
            if (x % step != 0)
                continue;
            const uint8_t* p = img.rowBottomUp(y) + ptrdiff_t(x) * img.bytesPerPixel();
            const uint8_t r = img.bitsPerPixel() == 8 ? p[0] : p[2];
            const uint8_t g = img.bitsPerPixel() == 8 ? p[0] : p[1];
            const uint8_t b = p[0];
            ++h.counts[Histogram::Red][r];
            ++h.counts[Histogram::Green][g];
            ++h.counts[Histogram::Blue][b];
            ++h.counts[Histogram::Luma][img.bitsPerPixel() == 8 ? p[0] : Luminance(r, g, b)];
            ++h.pixels;
        }
    }
    return h;
}

void fill(DibImage& img, uint8_t b, uint8_t g, uint8_t r, int32_t fromRow, int32_t toRow)
{
    for (int32_t y = fromRow; y < toRow; ++y)
        for (int32_t x = 0; x < img.width(); ++x) {
            uint8_t* p = img.rowBottomUp(y) + ptrdiff_t(x) * img.bytesPerPixel();
            p[0] = b;
            if (img.bitsPerPixel() == 24)
                p[1] = g, p[2] = r;
        }
}

} // namespace

TEST(Histogram, MatchesReference_RandomPictures_BothDepths_SeveralSteps)
{
    // Odd sizes (padding in the rows, a last sampled column and row short of the edge) and steps that do and
    // do not divide them.
    const int32_t sizes[][2] = { { 1, 1 }, { 13, 7 }, { 64, 48 }, { 101, 67 } };
    for (const auto& size : sizes)
        for (uint16_t bpp : { uint16_t(8), uint16_t(24) })
            for (int32_t step : { 1, 2, 3, 7 }) {
                DibImage img;
                kerneltest::makeRandom(img, size[0], size[1], bpp, uint32_t(size[0] * 31 + bpp + step));
                Histogram h;
                MeasureHistogram(img, step, h);
                const Histogram want = reference(img, step);
                SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << " bpp " << bpp << " step " << step);
                EXPECT_EQ(h.pixels, want.pixels);
                EXPECT_EQ(h.counts, want.counts);
            }
}

TEST(Histogram, KnownPictures_CountsWorkedOutByHand)
{
    // 10 x 6 colour picture all (r 200, g 100, b 50): luminance (77*200 + 150*100 + 29*50 + 128) >> 8
    // = (15400 + 15000 + 1450 + 128) >> 8 = 31978 >> 8 = 124.
    DibImage one;
    one.Create(10, 6, 24);
    fill(one, 50, 100, 200, 0, 6);
    Histogram h;
    MeasureHistogram(one, 1, h);
    EXPECT_EQ(h.pixels, 60u);
    EXPECT_EQ(h.counts[Histogram::Red][200], 60u);
    EXPECT_EQ(h.counts[Histogram::Green][100], 60u);
    EXPECT_EQ(h.counts[Histogram::Blue][50], 60u);
    EXPECT_EQ(h.counts[Histogram::Luma][124], 60u);
    EXPECT_DOUBLE_EQ(h.share(Histogram::Red, 200), 1.0);
    EXPECT_DOUBLE_EQ(h.share(Histogram::Luma, 0), 0.0);

    // 9 x 8 grey picture, bottom half 0, top half 255: 36 of 72 at each end in every channel. With step 3,
    // 3 columns (0, 3, 6) of rows 0, 3 (bottom half) and 6 (top half): 6 at 0 and 3 at 255.
    DibImage half;
    half.Create(9, 8, 8);
    fill(half, 0, 0, 0, 0, 4);
    fill(half, 255, 0, 0, 4, 8);
    MeasureHistogram(half, 1, h);
    EXPECT_EQ(h.pixels, 72u);
    for (int c = 0; c < Histogram::kChannels; ++c) {
        EXPECT_EQ(h.counts[size_t(c)][0], 36u);
        EXPECT_EQ(h.counts[size_t(c)][255], 36u);
        EXPECT_DOUBLE_EQ(h.share(Histogram::Channel(c), 255), 0.5);
    }
    MeasureHistogram(half, 3, h);
    EXPECT_EQ(h.pixels, 9u);
    EXPECT_EQ(h.counts[Histogram::Luma][0], 6u);
    EXPECT_EQ(h.counts[Histogram::Luma][255], 3u);

    // Nothing to count: an empty picture, and a depth the kernel does not read; a step below 1 counts as 1.
    DibImage empty;
    MeasureHistogram(empty, 1, h);
    EXPECT_EQ(h.pixels, 0u);
    EXPECT_EQ(h.share(Histogram::Red, 0), 0.0);
    DibImage deep;
    deep.Create(4, 4, 32);
    MeasureHistogram(deep, 1, h);
    EXPECT_EQ(h.pixels, 0u);
    MeasureHistogram(one, 0, h);
    EXPECT_EQ(h.pixels, 60u);
}

TEST(Histogram, Luminance_EndsAndPrimaries)
{
    EXPECT_EQ(Luminance(0, 0, 0), 0);
    EXPECT_EQ(Luminance(255, 255, 255), 255);
    EXPECT_EQ(Luminance(255, 0, 0), 77); // (19635 + 128) >> 8
    EXPECT_EQ(Luminance(0, 255, 0), 149); // (38250 + 128) >> 8
    EXPECT_EQ(Luminance(0, 0, 255), 29); // (7395 + 128) >> 8
}

TEST(Histogram, Step_OddAndWithinBudget)
{
    EXPECT_EQ(HistogramStep(256, 256), 1); // exactly the budget
    EXPECT_EQ(HistogramStep(257, 256), 3);
    EXPECT_EQ(HistogramStep(2048, 1536), 7); // 293 x 220 = 64460 pixels; step 5 would count 125952
    for (const auto& [w, h] : { std::pair { 640, 480 }, { 2048, 1536 }, { 100000, 3 }, { 1, 1 } }) {
        const int32_t s = HistogramStep(w, h);
        EXPECT_EQ(s % 2, 1);
        EXPECT_LE(int64_t((w + s - 1) / s) * ((h + s - 1) / s), kHistogramSampleBudget);
    }
}

// The watcher sees each published histogram once, whole: a grey picture whose level changes per pass, so a
// copy that mixed two passes would hold counts at two levels.
TEST(HistogramFeed, NewerOnly_WholeCopiesAcrossThreads)
{
    HistogramFeed feed;
    EXPECT_FALSE(feed.wanted());
    feed.setWanted(true);
    EXPECT_TRUE(feed.wanted());
    uint64_t seen = 0;
    Histogram h;
    EXPECT_FALSE(feed.takeNewer(seen, h));

    std::atomic<bool> done { false };
    std::thread display([&] {
        DibImage img;
        img.Create(64, 64, 8);
        for (int pass = 0; pass < 2000; ++pass) {
            fill(img, uint8_t(pass), 0, 0, 0, 64);
            feed.measure(img);
        }
        done = true;
    });
    int taken = 0, torn = 0;
    uint64_t last = 0;
    for (;;) {
        const bool finished = done.load();
        if (!feed.takeNewer(seen, h)) {
            if (finished)
                break;
            continue;
        }
        EXPECT_GT(seen, last);
        last = seen;
        ++taken;
        int levels = 0;
        for (uint32_t c : h.counts[Histogram::Luma])
            levels += c != 0;
        torn += levels != 1 || h.pixels != 64u * 64u;
    }
    display.join();
    EXPECT_GT(taken, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(seen, 2000u);
    EXPECT_FALSE(feed.takeNewer(seen, h));
}
