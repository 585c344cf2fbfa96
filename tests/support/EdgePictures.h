// Synthetic pictures with edges at known places, for the edge tests and the accuracy benchmark. Each pixel is
// the blurred edge averaged over the pixel's area (5 x 5 points), plus seeded Gaussian noise, rounded to 8 bits;
// grey (8-bit with the grey ramp) or colour (24-bit, the level as lightness with a hue).
#pragma once

#include <algorithm>
#include <cmath>
#include <random>

#include "imaging/DibImage.h"
#include "imaging/ViewGeometry.h"

namespace edgepic {

inline double phi(double z) { return 0.5 * std::erfc(-z * M_SQRT1_2); }

struct Look {
    double dark = 78, contrast = 100, blur = 1.2, noise = 2.0;
    unsigned seed = 1;
    bool colour = false;
};

// The level at (x, y) is dark + contrast * edge(x, y); `rim` tells where a pixel is near enough to the edge for
// its area to matter (elsewhere its centre is enough).
template <class EdgeFn, class RimFn>
void paint(DibImage& img, int w, int h, const Look& look, EdgeFn edge, RimFn rim)
{
    constexpr int kSub = 5;
    img.Create(w, h, look.colour ? 24 : 8);
    if (!look.colour)
        img.SetColorTable(0, nullptr, 0, 256);
    std::mt19937 rng(look.seed);
    std::normal_distribution<double> noise(0.0, look.noise > 0 ? look.noise : 1.0);
    auto level = [&](double v) {
        const double n = look.noise > 0 ? noise(rng) : 0.0;
        return uint8_t(std::clamp(std::lround(look.dark + look.contrast * v + n), 0L, 255L));
    };
    for (int y = 0; y < h; ++y) {
        uint8_t* row = img.rowTopDown(y);
        for (int x = 0; x < w; ++x) {
            double v = 0.0;
            if (rim(x + 0.5, y + 0.5)) {
                for (int sy = 0; sy < kSub; ++sy)
                    for (int sx = 0; sx < kSub; ++sx)
                        v += edge(x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub);
                v /= kSub * kSub;
            } else {
                v = edge(x + 0.5, y + 0.5);
            }
            if (!look.colour) {
                row[x] = level(v);
                continue;
            }
            // Red at the level + 20, green at the level, blue at the level - 20: (max + min) / 2 is the level.
            const uint8_t l = level(v);
            row[3 * x + 2] = uint8_t(std::min(l + 20, 255));
            row[3 * x + 1] = l;
            row[3 * x] = uint8_t(std::max(l - 20, 0));
        }
    }
}

// A straight edge through c, dark on the side its normal (at `angle`) points away from.
inline void straightEdge(DibImage& img, int w, int h, PicturePoint c, double angle, const Look& look)
{
    const double nx = std::cos(angle), ny = std::sin(angle);
    auto dist = [=](double x, double y) { return (x - c.x) * nx + (y - c.y) * ny; };
    paint(
        img, w, h, look, [=](double x, double y) { return phi(dist(x, y) / look.blur); },
        [=](double x, double y) { return std::abs(dist(x, y)) < 6 * look.blur + 1.5; });
}

// A dark disc on a light ground, its rim blurred across it.
inline void disc(DibImage& img, int w, int h, PicturePoint c, double radius, const Look& look)
{
    auto rho = [=](double x, double y) { return std::hypot(x - c.x, y - c.y) - radius; };
    paint(
        img, w, h, look, [=](double x, double y) { return phi(rho(x, y) / look.blur); },
        [=](double x, double y) { return std::abs(rho(x, y)) < 6 * look.blur + 1.5; });
}

// A light upright bar from x = left to x = right on a dark ground, both sides blurred.
inline void bar(DibImage& img, int w, int h, double left, double right, const Look& look)
{
    paint(
        img, w, h, look, [=](double x, double) { return phi((x - left) / look.blur) - phi((x - right) / look.blur); },
        [=](double x, double) { return std::min(std::abs(x - left), std::abs(x - right)) < 6 * look.blur + 1.5; });
}

} // namespace edgepic
