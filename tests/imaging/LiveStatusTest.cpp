// The status line: its format, the frame rate over 1-second intervals, the focus meter and focus peaking.
#include <gtest/gtest.h>

#include "imaging/DibImage.h"
#include "imaging/FocusMeter.h"
#include "imaging/FocusPeaking.h"
#include "imaging/KernelSupport.h"
#include "imaging/ViewComposer.h"
#include "imaging/LiveStatus.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <utility>
#include <vector>

TEST(LiveStatus, FormatsTheStatusLine)
{
    EXPECT_EQ(FormatLiveStatus(45, 7, 12, 14.2857),
              "NX-QB740LE Version 1.510  Capture Time  45 GetImage Time   7  ShowImage Time  12  Frame per Second "
              "14.3");
    EXPECT_EQ(FormatLiveStatus(1234, 0, 0, 0.0),
              "NX-QB740LE Version 1.510  Capture Time 1234 GetImage Time   0  ShowImage Time   0  Frame per Second "
              "0.0");
}

TEST(LiveStatus, RateIsRenewedAfterMoreThanOneSecond)
{
    FrameRateMeter meter;
    // 10 frames 100 ms apart from t = 5000: at t = 6000 exactly one second has passed, not more.
    for (uint32_t t = 5000; t <= 6000; t += 100)
        meter.count(t);
    EXPECT_DOUBLE_EQ(meter.rate(), 0.0);
    meter.count(6050);  // 12 frames counted over 1050 ms
    EXPECT_NEAR(meter.rate(), 12 * 1000.0 / 1050.0, 1e-9);
    // The next interval starts empty at 6050.
    for (uint32_t t = 6150; t <= 7150; t += 200)
        meter.count(t);
    EXPECT_NEAR(meter.rate(), 6 * 1000.0 / 1100.0, 1e-9);
}

// The focus score: a sharp bar scores far above the same bar blurred, more blur scores less, and a grey
// picture scores as its colour copy does. The meter keeps the best until the view changes or a click asks.
TEST(FocusMeter, SharperScoresHigher_BestHeldUntilTheViewChanges)
{
    const auto bars = [](int blur, uint16_t bits) {
        DibImage p;
        p.Create(200, 120, bits);
        if (bits == 8)
            p.SetColorTable(0, nullptr, 0, 256);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x) {
                // Bars 20 pixels wide, their edges ramped over blur pixels.
                const int phase = x % 40, d = std::min(std::abs(phase - 10), std::abs(phase - 30));
                const int v = blur == 0 ? (phase >= 10 && phase < 30 ? 200 : 50)
                                        : (phase >= 10 && phase < 30 ? 125 + std::min(75, 75 * d / blur)
                                                                     : 125 - std::min(75, 75 * d / blur));
                uint8_t* px = p.rowTopDown(y) + x * p.bytesPerPixel();
                for (int c = 0; c < p.bytesPerPixel(); ++c)
                    px[c] = uint8_t(v);
            }
        return p;
    };
    const Rect all { 0, 0, 200, 120 };
    double previous = 1e300;
    for (const int blur : { 0, 2, 4, 8 }) {
        const double score = FocusScore(bars(blur, 24), all);
        EXPECT_LT(score, previous) << "blur " << blur;
        EXPECT_DOUBLE_EQ(FocusScore(bars(blur, 8), all), score) << "grey, blur " << blur;
        previous = score;
    }
    EXPECT_GT(FocusScore(bars(0, 24), all), 3 * FocusScore(bars(8, 24), all));
    EXPECT_EQ(FocusScore(DibImage(), all), 0.0);
    EXPECT_EQ(FocusScore(bars(0, 24), { 500, 500, 600, 600 }), 0.0); // nothing of the picture

    ViewGeometry fit;
    fit.view = { 0, 0, 400, 300 };
    fit.imageWidth = 2048;
    fit.imageHeight = 1536;
    fit.zoomIndex = 0;
    EXPECT_EQ(VisiblePicturePart(fit), (Rect { 0, 0, 2048, 1536 }));
    ViewGeometry x4 = fit;
    x4.zoomIndex = 3;
    x4.baiX = -1000;
    x4.baiY = -1500;
    EXPECT_EQ(VisiblePicturePart(x4), (Rect { 1000, 1500, 1101, 1536 }));

    FocusMeter meter;
    EXPECT_TRUE(meter.text(false).isEmpty());
    meter.add(100, fit);
    meter.add(300, fit);
    meter.add(150, fit);
    EXPECT_EQ(meter.best(), 300);
    EXPECT_EQ(meter.text(false), QString::fromUtf8("focus 150 ▮▮▮▮▮▯▯▯▯▯ best 300"));
    meter.add(120, x4); // the view moved: a new best
    EXPECT_EQ(meter.best(), 120);
    meter.reset();
    meter.add(80, x4);
    EXPECT_EQ(meter.best(), 80);
}

// Focus peaking: noise, a blurred step and a sharpening halo stay dark while a sharp step lights one pixel a
// row; the tint lands on the view pixels that show the edge's cell at fit, x1 and x4, and nowhere else; the
// vector form paints what the scalar one does.
TEST(FocusPeaking, LightsSharpEdgesOnly_TintLandsWhereTheComposerShowsThem_VectorMatchesScalar)
{
    // A picture of lightness f(x, y) plus Gaussian noise; colour pixels of that lightness, or grey ones.
    const auto picture = [](int w, int h, uint16_t bits, double noise, auto f) {
        DibImage p;
        p.Create(w, h, bits);
        p.SetColorTable(0, nullptr, 0, 256);
        std::mt19937 rng(7);
        std::normal_distribution<double> n(0.0, noise > 0 ? noise : 1.0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int v = std::clamp(int(std::lround(f(x, y) + (noise > 0 ? n(rng) : 0.0))), 10, 245);
                uint8_t* px = p.rowTopDown(y) + x * p.bytesPerPixel();
                if (bits == 8)
                    px[0] = uint8_t(v);
                else
                    px[0] = uint8_t(v - 10), px[1] = uint8_t(v), px[2] = uint8_t(v + 10); // (max + min) / 2 == v
            }
        return p;
    };
    // A step from 60 to 160 at column 80, blurred by sigma; with a sharpener's over- and undershoot beside it.
    const auto step = [](double sigma, bool halo) {
        return [=](int x, int) {
            static const double kHalo[] = { -10, -25, 25, 10 }; // columns 78 to 81
            const double v = sigma > 0 ? 60 + 50 * (1 + std::erf((x + 0.5 - 80) / (sigma * std::sqrt(2.0))))
                                       : (x >= 80 ? 160 : 60);
            return v + (halo && x >= 78 && x <= 81 ? kHalo[x - 78] : 0);
        };
    };
    const ColorRef orange = Rgb(255, 128, 0);
    const auto tint = [&](const DibImage& p, const ViewGeometry& g, QImage& plain, QImage& tinted) {
        ViewComposer().Compose(p, g, plain);
        tinted = plain.copy();
        return FocusPeaking().Tint(p, g, tinted, orange);
    };
    const auto at = [](int32_t zoom, Rect view, double baiX = 0, double baiY = 0) {
        return ViewGeometry { view, zoom, baiX, baiY, 0, 0 };
    };

    const struct {
        const char* name;
        uint16_t bits;
        double noise;
        std::function<double(int, int)> f;
        bool lights; // one pixel a row at column 79 or 80, else nothing anywhere
    } pictures[] = {
        { "noise alone", 24, 3.0, [](int, int) { return 128.0; }, false },
        { "sharp step", 24, 2.0, step(0, false), true },
        { "sharp step, grey", 8, 2.0, step(0, false), true },
        { "the same step blurred", 24, 2.0, step(2.0, false), false },
        { "sharp step sharpened", 24, 2.0, step(0, true), true },
    };
    for (const auto& c : pictures) {
        const DibImage p = picture(160, 120, c.bits, c.noise, c.f);
        QImage plain, tinted;
        tint(p, at(1, { 0, 0, 160, 120 }), plain, tinted);
        for (int y = 0; y < 120; ++y) {
            int lit = 0, misplaced = 0;
            for (int x = 0; x < 160; ++x)
                if (tinted.pixel(x, y) != plain.pixel(x, y))
                    ++lit, misplaced += x != 79 && x != 80;
            EXPECT_EQ(misplaced, 0) << c.name << ", row " << y;
            EXPECT_EQ(lit, c.lights && y >= 3 && y < 117 ? 1 : 0) << c.name << ", row " << y; // not at the border
        }
    }

    // A clean step at column 151: at grid step s the first grid point at or past it lights, and every view pixel
    // showing a picture pixel of its cell (within columns 151 to 151 + 2 s - 2) may carry the tint.
    const DibImage edge = picture(320, 240, 24, 0.0, [](int x, int) { return x >= 151 ? 170.0 : 70.0; });
    const struct {
        const char* name;
        ViewGeometry g;
        int step;
    } views[] = {
        { "fit, halved", at(0, { 5, 5, 165, 125 }), 2 },
        { "fit, a quarter", at(0, { 0, 0, 100, 75 }), 4 },
        { "x1, scrolled", at(1, { 0, 0, 200, 150 }, -60, -40), 1 },
        { "x4, scrolled", at(3, { 0, 0, 160, 120 }, -131, -100), 1 },
    };
    for (const auto& v : views) {
        QImage plain, tinted, marked;
        const auto cell = [&](int x, int) { return x >= 151 && x < 150 + 2 * v.step ? 245.0 : 10.0; };
        ViewComposer().Compose(picture(320, 240, 8, 0.0, cell), v.g, marked);
        std::vector<int32_t> rows;
        ViewComposer::MapRows(v.g, 240, rows);
        tint(edge, v.g, plain, tinted);
        for (int y = 0; y < tinted.height(); ++y) {
            int lit = 0;
            for (int x = 0; x < tinted.width(); ++x)
                if (tinted.pixel(x, y) != plain.pixel(x, y)) {
                    ++lit;
                    EXPECT_EQ(tinted.pixel(x, y), 0xFFFF8000u) << v.name;
                    EXPECT_EQ(qGray(marked.pixel(x, y)), 245) << v.name << " at " << x << ", " << y;
                }
            EXPECT_TRUE(lit > 0 || rows[size_t(y)] < 16 || rows[size_t(y)] >= 224) << v.name << ", row " << y;
        }
    }

    // The vector form against the scalar one: random colour blocks, noisy grey ones, the step, at fit, x1 and x2.
    std::mt19937 rng(11);
    const auto blocks = [](int x, int y) { return 40.0 + double((x / 23 * 131 + y / 17 * 71 + (x * y) % 3) % 170); };
    DibImage colour; // each byte on its own
    colour.Create(333, 201, 24);
    for (int y = 0; y < 201; ++y)
        for (int x = 0; x < 3 * 333; ++x)
            colour.rowTopDown(y)[x] = uint8_t(blocks(x / 3, y) + double(rng() % 41));
    const DibImage grey = picture(333, 201, 8, 3.0, blocks);
    for (const DibImage* p : { &std::as_const(colour), &grey, &edge })
        for (const ViewGeometry& g : { at(0, { 0, 0, 111, 67 }), at(0, { 0, 0, 200, 150 }), at(1, { 0, 0, 400, 300 }),
                 at(2, { 0, 0, 300, 200 }, -37, -21) }) {
            QImage plain, vector, scalar;
            const int edges = tint(*p, g, plain, vector);
            kernel::setSimdCap(kernel::SimdLevel::None);
            EXPECT_EQ(tint(*p, g, plain, scalar), edges);
            kernel::setSimdCap(kernel::SimdLevel::Best);
            EXPECT_TRUE(vector == scalar) << p->width() << " x " << p->bitsPerPixel() << " bits, zoom " << g.zoomIndex;
            EXPECT_GT(edges, 0) << p->bitsPerPixel() << " bits, view " << g.view.width();
        }
}
