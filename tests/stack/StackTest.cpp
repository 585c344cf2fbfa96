// Focus stacks rendered from a scene of small blobs on a tilted plane: each frame is sharp in a band that moves
// with its focus, shifted and scaled by known amounts (blurs and warps are exact for Gaussian blobs).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "imaging/DibImage.h"
#include "imaging/FocusMeter.h"
#include "platform/simcam/SimChart.h"
#include "stack/FocusStack.h"
#include "stack/ReferenceAlign.h"
#include "stack/StackCollector.h"

namespace {

constexpr int kW = 320, kH = 240;

struct Blob {
    double x, y, r, amplitude;
};

std::vector<Blob> scene()
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> x(-20, kW + 20), y(-20, kH + 20), r(0.7, 1.6), a(-70, 70);
    std::vector<Blob> blobs(2500);
    for (Blob& b : blobs)
        b = { x(rng), y(rng), r(rng), a(rng) };
    return blobs;
}

// The scene seen through alignment t (see FrameAlignment), in focus where x / width equals focus; out of
// focus, a blob's blur grows by 8 px per unit of that difference.
DibImage render(const FrameAlignment& t, double focus, bool colour, double noise, unsigned seed)
{
    static const std::vector<Blob> blobs = scene();
    std::vector<double> level(size_t(kW) * kH, 128.0);
    const double cx = (kW - 1) / 2.0, cy = (kH - 1) / 2.0;
    for (const Blob& b : blobs) {
        const double blur = 8.0 * (b.x / kW - focus);
        const double spread = t.scale * std::sqrt(b.r * b.r + blur * blur);
        const double gain = b.amplitude * b.r * b.r / (b.r * b.r + blur * blur);
        const double qx = cx + t.scale * (b.x - cx) + t.dx, qy = cy + t.scale * (b.y - cy) + t.dy;
        const int reach = int(std::ceil(4 * spread));
        for (int y = std::max(0, int(qy) - reach); y <= std::min(kH - 1, int(qy) + reach); ++y)
            for (int x = std::max(0, int(qx) - reach); x <= std::min(kW - 1, int(qx) + reach); ++x)
                level[size_t(y) * kW + x] +=
                    gain * std::exp(-((x - qx) * (x - qx) + (y - qy) * (y - qy)) / (2 * spread * spread));
    }
    std::mt19937 rng(seed);
    std::normal_distribution<double> grain(0.0, noise);
    DibImage img;
    img.Create(kW, kH, colour ? 24 : 8);
    img.SetColorTable(0, nullptr, 0, 256);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const double v = level[size_t(y) * kW + x] + (noise > 0 ? grain(rng) : 0.0);
            uint8_t* p = img.rowTopDown(y) + x * img.bytesPerPixel();
            for (int c = 0; c < img.bytesPerPixel(); ++c)
                p[c] = uint8_t(std::clamp(std::lround(v * (1.0 - 0.15 * c)), 0L, 255L));
        }
    return img;
}

DibImage copyOf(const DibImage& image)
{
    DibImage copy;
    copy.CreateLike(&image);
    std::memcpy(copy.bits(), image.bits(), size_t(image.byteSize()));
    return copy;
}

bool sameBits(const DibImage& a, const DibImage& b)
{
    return a.width() == b.width() && a.height() == b.height() && a.bitsPerPixel() == b.bitsPerPixel()
        && std::memcmp(a.bits(), b.bits(), size_t(a.byteSize())) == 0;
}

// Five frames, the middle one the reference, focus swept across the picture.
const FrameAlignment kShifts[] = { { 3.4, -2.1, 1.012 }, { -6.3, 4.7, 0.99 }, { 0, 0, 1 }, { 1.25, 5.5, 1.006 },
    { -4.8, -7.2, 0.985 } };

std::vector<DibImage> stack(bool colour)
{
    std::vector<DibImage> frames;
    for (int i = 0; i < 5; ++i)
        frames.push_back(render(kShifts[i], 0.1 + 0.2 * i, colour, 1.5, unsigned(i + 1)));
    return frames;
}

} // namespace

TEST(FocusStack, AlignsAndFusesSharpWhereSomeFrameWasSharp)
{
    for (const bool colour : { false, true }) {
        SCOPED_TRACE(colour ? "colour" : "grey");
        const std::vector<DibImage> frames = stack(colour);
        std::vector<FrameAlignment> found;
        DibImage fused;
        int reports = 0, last = 0;
        StackProgress progress;
        progress.alignments = &found;
        progress.report = [&](int done, int total) {
            EXPECT_LE(done, total);
            EXPECT_GE(done, last);
            last = done;
            ++reports;
        };
        ASSERT_EQ(FuseFocusStack(frames, fused, progress), StackResult::Done);
        EXPECT_GT(reports, 0);
        EXPECT_EQ(fused.bitsPerPixel(), frames[0].bitsPerPixel());
        ASSERT_EQ(found.size(), frames.size());
        // The displacement error at the corners of the middle 80 % of the picture.
        for (size_t i = 0; i < frames.size(); ++i)
            for (const double cornerX : { -0.4 * kW, 0.4 * kW })
                for (const double cornerY : { -0.4 * kH, 0.4 * kH }) {
                    const FrameAlignment& want = kShifts[i];
                    const double ex = found[i].dx + found[i].scale * cornerX - want.dx - want.scale * cornerX;
                    const double ey = found[i].dy + found[i].scale * cornerY - want.dy - want.scale * cornerY;
                    EXPECT_LT(std::hypot(ex, ey), 0.2) << "frame " << i;
                }
        FrameAlignment direct;
        ASSERT_TRUE(AlignFrame(frames[2], frames[4], direct));
        EXPECT_NEAR(direct.dx, kShifts[4].dx, 0.2);
        EXPECT_NEAR(direct.dy, kShifts[4].dy, 0.2);

        // Every frame was sharp in some column band: the fused picture is nearly as sharp as the sharpest
        // frame in every region, and far sharper than the frames on average.
        for (int rx = 0; rx < 4; ++rx)
            for (int ry = 0; ry < 3; ++ry) {
                const Rect part { 32 + rx * 64, 24 + ry * 64, 32 + (rx + 1) * 64, 24 + (ry + 1) * 64 };
                double best = 0.0, mean = 0.0;
                for (const DibImage& f : frames) {
                    best = std::max(best, FocusScore(f, part));
                    mean += FocusScore(f, part) / double(frames.size());
                }
                const double score = FocusScore(fused, part);
                EXPECT_GT(score, 0.8 * best) << "region " << rx << "," << ry;
                EXPECT_GT(score, 1.5 * mean) << "region " << rx << "," << ry;
            }
    }
}

TEST(FocusStack, CancelLeavesNothingAndOneFrameComesBackAsItWas)
{
    const std::vector<DibImage> frames = stack(true);
    struct Case {
        const char* name;
        bool cancelBefore, cancelOnFirstReport;
    };
    for (const Case& c : { Case { "before", true, false }, Case { "during", false, true } }) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> cancel { c.cancelBefore };
        StackProgress progress;
        progress.cancel = &cancel;
        progress.report = [&](int, int) { cancel = cancel || c.cancelOnFirstReport; };
        DibImage out = render({}, 0.5, false, 0, 1);
        const DibImage before = copyOf(out);
        EXPECT_EQ(FuseFocusStack(frames, out, progress), StackResult::Cancelled);
        EXPECT_TRUE(sameBits(out, before));
    }

    // One frame, of an odd width (padded rows), grey with its own colour table or colour.
    for (const int bits : { 8, 24 }) {
        DibImage frame;
        frame.Create(33, 21, uint16_t(bits));
        RgbQuad table[256];
        for (int i = 0; i < 256; ++i)
            table[i] = { uint8_t(i), uint8_t(255 - i), 40, 0 };
        frame.SetColorTable(2, table, 0, 256);
        for (int64_t i = 0; i < frame.byteSize(); ++i)
            frame.bits()[i] = uint8_t(i * 37);
        std::vector<DibImage> one;
        one.push_back(copyOf(frame));
        DibImage out;
        ASSERT_EQ(FuseFocusStack(one, out, {}), StackResult::Done);
        EXPECT_TRUE(sameBits(out, frame));
        if (bits == 8) {
            EXPECT_EQ(std::memcmp(out.colorTable(), frame.colorTable(), sizeof table), 0);
        }
    }
    std::vector<DibImage> mixed;
    mixed.push_back(render({}, 0.5, false, 0, 1));
    mixed.push_back(render({}, 0.5, true, 0, 1));
    DibImage out;
    EXPECT_EQ(FuseFocusStack(mixed, out, {}), StackResult::Failed);
    EXPECT_EQ(FuseFocusStack({}, out, {}), StackResult::Failed);
    EXPECT_TRUE(out.isEmpty());

    // A frame with nothing to align by (a hand over the lens) is left out; the others are fused.
    std::vector<DibImage> bumped;
    bumped.push_back(render({}, 0.5, false, 0, 1));
    std::memset(bumped.back().bits(), 128, size_t(bumped.back().byteSize()));
    bumped.push_back(render({}, 0.3, false, 0, 1));
    bumped.push_back(render({}, 0.7, false, 0, 1));
    int leftOut = -1;
    std::vector<FrameAlignment> found;
    StackProgress told;
    told.leftOut = &leftOut;
    told.alignments = &found;
    EXPECT_EQ(FuseFocusStack(bumped, out, told), StackResult::Done);
    EXPECT_EQ(leftOut, 1);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].scale, 0.0);
}

TEST(StackCollector, KeepsOnlyFramesThatAddSharpness)
{
    using O = StackCollector::Offer;
    const FrameAlignment none;
    struct Case {
        const char* name;
        std::vector<double> focus; // < 0: a frame of another size
        std::vector<O> offers;
    };
    const Case cases[] = {
        { "same frame again", { 0.5, 0.5 }, { O::Kept, O::Duplicate } },
        { "a blurred copy", { 0.5, 2.0 }, { O::Kept, O::AddsNothing } },
        { "sharper than the first", { 2.0, 0.5 }, { O::Kept, O::Kept } },
        { "the band moves on", { 0.1, 0.5, 0.9, 0.5 }, { O::Kept, O::Kept, O::Kept, O::AddsNothing } },
        { "another size", { 0.5, -1 }, { O::Kept, O::Mismatched } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StackCollector collector;
        for (size_t i = 0; i < c.focus.size(); ++i) {
            DibImage frame = render(none, std::max(0.0, c.focus[i]), false, 0.0, 1);
            if (c.focus[i] < 0) {
                frame.Destroy();
                frame.Create(kW / 2, kH, 8);
            }
            EXPECT_EQ(collector.offer(frame), c.offers[i]) << "offer " << i;
        }
    }

    // Each frame textured in a block of its own adds sharpness there; the 65th finds the collector full.
    StackCollector collector;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> texture(60, 200);
    for (int k = 0; k <= StackCollector::kMaxFrames; ++k) {
        DibImage frame;
        frame.Create(kW, kH, 24);
        std::memset(frame.bits(), 128, size_t(frame.byteSize()));
        const int bw = kW / StackCollector::kBlocksX, bh = kH / StackCollector::kBlocksY;
        const int left = (k % StackCollector::kBlocksX) * bw, top = (k / StackCollector::kBlocksX) * bh;
        for (int y = top; y < top + bh; ++y)
            for (int x = left; x < left + bw; ++x)
                std::memset(frame.rowTopDown(y) + 3 * x, texture(rng), 3);
        EXPECT_EQ(collector.offer(frame), k < StackCollector::kMaxFrames ? O::Kept : O::Full) << "frame " << k;
    }
    EXPECT_EQ(collector.count(), StackCollector::kMaxFrames);
    EXPECT_EQ(collector.bytes(), StackCollector::kMaxFrames * collector.frames()[0].byteSize());
    EXPECT_EQ(collector.takeFrames().size(), size_t(StackCollector::kMaxFrames));
    EXPECT_EQ(collector.count(), 0);
    EXPECT_EQ(collector.bytes(), 0);
}

// The simulated camera's chart as the reference, and the same chart moved by (dx, dy) as the live picture
// (bilinear, a little grain): the shift comes back within half a pixel up to 100 pixels either way, on colour
// and on grey pictures; a picture of something else gives a weak response, too small a one none.
TEST(ReferenceAlign, RecoversTheShiftOfTheSimulatedChart)
{
    const SimChart& chart = SimChart::instance();
    const auto picture = [&](double dx, double dy, int bits, unsigned seed) {
        DibImage img;
        img.Create(chart.width(), chart.height(), uint16_t(bits));
        img.SetColorTable(0, nullptr, 0, 256);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> grain(-3, 3);
        const int bytes = img.bytesPerPixel();
        for (int y = 0; y < img.height(); ++y) {
            const double sy = y - dy, fy = sy - std::floor(sy);
            const int y0 = int(std::floor(sy));
            for (int x = 0; x < img.width(); ++x) {
                const double sx = x - dx, fx = sx - std::floor(sx);
                const int x0 = int(std::floor(sx));
                uint8_t* p = img.rowTopDown(y) + x * bytes;
                for (int c = 0; c < bytes; ++c) {
                    const int rgb = bytes == 1 ? 1 : 2 - c; // blue-green-red in the picture
                    const double v = (1 - fy) * ((1 - fx) * chart.pixel(x0, y0)[rgb] + fx * chart.pixel(x0 + 1, y0)[rgb])
                        + fy * ((1 - fx) * chart.pixel(x0, y0 + 1)[rgb] + fx * chart.pixel(x0 + 1, y0 + 1)[rgb]);
                    p[c] = uint8_t(std::clamp(std::lround(v) + grain(rng), 0L, 255L));
                }
            }
        }
        return img;
    };
    const DibImage reference = picture(0, 0, 24, 1);
    const DibImage greyReference = picture(0, 0, 8, 1);
    struct Case {
        double dx, dy;
        int bits;
    };
    for (const Case c : { Case { 0, 0, 24 }, { 37.5, -12.25, 24 }, { -100, 100, 24 }, { 100, -64.5, 24 },
             { -3.7, 71.3, 8 }, { 99.6, 99.6, 8 } }) {
        SCOPED_TRACE(testing::Message() << c.dx << ", " << c.dy);
        const std::optional<ReferenceShift> found
            = AlignReference(c.bits == 8 ? greyReference : reference, picture(c.dx, c.dy, c.bits, 2));
        ASSERT_TRUE(found);
        EXPECT_NEAR(found->shift.x, c.dx, 0.5);
        EXPECT_NEAR(found->shift.y, c.dy, 0.5);
        EXPECT_GT(found->response, 0.1);
    }
    // Something else entirely: whatever shift comes back, the peak says it is not to be trusted.
    const DibImage other = render({}, 0.5, true, 20.0, 4);
    const std::optional<ReferenceShift> unrelated = AlignReference(reference, other);
    if (unrelated) {
        EXPECT_LT(unrelated->response, 0.1);
    }
    DibImage tiny;
    tiny.Create(40, 40, 8);
    EXPECT_FALSE(AlignReference(tiny, tiny));
}
