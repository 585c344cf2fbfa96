// The test chart that the simulated camera looks at: a millimetre ruler, colour and grey patches, discs of
// known diameters, a polygon, a star and line pairs for fine detail, and the track of a moving ball.
// Drawn once per process at the sensor's full size, as red, green and blue reflectances (0..255).
#pragma once

#include <cstdint>
#include <vector>

class SimChart {
public:
    // Chart pixels per millimetre: the ruler's small ticks are this far apart.
    static constexpr int kPixelsPerMm = 10;

    // The moving ball: a white disc on a dark track; its centre row and the span of its centre's column.
    static constexpr int kBallRadius = 40;
    static constexpr int kBallRow = 1410;
    static constexpr int kBallLeft = 200;
    static constexpr int kBallRight = 1848;
    static constexpr uint8_t kBallLevel = 235;

    // Built on first use; safe to call from several threads.
    static const SimChart& instance();

    int width() const { return m_Width; }
    int height() const { return m_Height; }
    // Red, green, blue reflectances of the pixel, coordinates clamped to the chart. The rows of width() pixels
    // follow one another from pixel(0, 0).
    const uint8_t* pixel(int x, int y) const;

private:
    SimChart();
    void draw();

    int m_Width;
    int m_Height;
    std::vector<uint8_t> m_Rgb;
};
