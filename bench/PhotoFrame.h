// A photograph-like 2048 x 1536 colour frame (smooth shading, a soft-edged disc, fine texture and a little
// sensor noise): what the encoders get from a camera, made once per program.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>

#include "imaging/DibImage.h"

namespace bench {

inline const DibImage& PhotoFrame()
{
    constexpr int kWidth = 2048;
    constexpr int kHeight = 1536;
    static DibImage img;
    if (img.isEmpty()) {
        img.Create(kWidth, kHeight, 24);
        std::mt19937 rng(42);
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* row = img.rowTopDown(y);
            for (int x = 0; x < kWidth; ++x) {
                const double dx = x - 1100.0, dy = y - 700.0;
                const double disc = std::sqrt(dx * dx + dy * dy) < 380 ? 45 : 0;
                const double shade = 100 + 50 * std::sin(x * 0.0031) * std::cos(y * 0.0043) + disc;
                const double texture = 8 * std::sin(x * 0.21 + y * 0.05) * std::sin(y * 0.17 - x * 0.02);
                const int noise = int(rng() % 5) - 2;
                row[3 * x] = uint8_t(std::clamp(int(shade - texture * 0.5 - 20 + noise), 0, 255));
                row[3 * x + 1] = uint8_t(std::clamp(int(shade + texture + noise), 0, 255));
                row[3 * x + 2] = uint8_t(std::clamp(int(shade + texture + 25 + noise), 0, 255));
            }
        }
    }
    return img;
}

} // namespace bench
