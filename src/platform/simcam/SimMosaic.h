// The simulated sensor's picture: the chart sampled through a 2 x 2 colour filter for one readout (window,
// skipping, mirror), prepared once per readout, then turned into frames by cheap per-frame steps
// (exposure tables, noise, the moving ball).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// What the sensor's registers say about the picture it reads out.
struct SensorReadout {
    int x = 0, y = 0;               // window origin in sensor pixels
    int width = 2048, height = 1536;
    int rowSkip = 1, columnSkip = 1;  // read one row (column) pair of every rowSkip (columnSkip) pairs
    bool mirror = false;              // rows read bottom to top
    bool mirrorShift = false;         // mirrored readout starts one row lower (keeps the colour phase)

    int activeWidth() const { return width / columnSkip; }
    int activeHeight() const { return height / rowSkip; }
    bool operator==(const SensorReadout&) const = default;
};

// Colour filter sites by (row phase, column phase) of the physical pixel: green-1 (0,0), blue (0,1),
// red (1,0), green-2 (1,1).
enum SensorSite { kSiteGreen1 = 0, kSiteBlue = 1, kSiteRed = 2, kSiteGreen2 = 3 };

// The lens in front of the chart. Unfocused (the default), the chart stands square to the lens and is sharp
// everywhere. Focused at a position, the chart is tilted about its vertical centre line: one band of columns
// is sharp, and the blur grows with the distance from it, as with a thin depth of field. The magnification
// changes a little with focus, as with a real lens.
struct SimFocus {
    bool tilted = false;
    double position = 0.5; // the sharp band's centre as a fraction of the chart's width (0..1)

    // The magnification at this focus, and the blur radius (chart pixels) of a column at fraction u of the width.
    double scale() const;
    int blurRadius(double u) const;
    bool operator==(const SimFocus&) const = default;
};

struct FrameExposure {
    double siteGain[4] = {1, 1, 1, 1};  // signal per unit of reflectance, per site
    int noiseLevel = 0;                  // 0..3, grows with the analog gain; -1 = no noise
    bool motion = true;                  // draw the moving ball
    uint64_t frameIndex = 0;             // seeds the noise
    double seconds = 0;                  // scene time: where the ball is
};

class SimMosaic {
public:
    // Dark level the sensor adds to every pixel.
    static constexpr int kBlackLevel = 4;

    // Rebuilds the base samples when the readout or the focus differs from the one prepared.
    void prepare(const SensorReadout& readout, const SimFocus& focus = {});
    const SensorReadout& readout() const { return m_Readout; }

    // Sensor row and column that output line k and column j come from (the row can be -1: a border row).
    int sensorRow(int k) const { return m_SensorRow[size_t(k)]; }
    int sensorColumn(int j) const { return m_SensorColumn[size_t(j)]; }

    // One frame in the camera's layout: lines of activeWidth + kLineBlanking pixels with the window at
    // kLineOffset, size bytes in all (lines that do not fit are cut; bytes after the last line are zero).
    // sixteenBit: two bytes per pixel, 10-bit values, low byte first.
    void render(uint8_t* out, size_t size, bool sixteenBit, const FrameExposure& exposure);

private:
    template <bool Noise>
    void renderLine(int k, uint8_t* dst, const int16_t* lutA, const int16_t* lutB, const int8_t* noise) const;
    void drawBall(int k, uint8_t* dst, const FrameExposure& exposure, const int16_t (*lut)[256],
                  const int8_t* noise) const;

    SensorReadout m_Readout{};
    SimFocus m_Focus{};
    bool m_Prepared = false;
    std::vector<uint8_t> m_Base;         // activeHeight x activeWidth reflectance samples, tint applied
    std::vector<int> m_SensorRow;        // per output line
    std::vector<int> m_SensorColumn;     // per output column
    std::vector<uint8_t> m_Line;         // scratch for lines that are cut or widened to 16 bits
    std::vector<uint8_t> m_Seen;         // the chart as the lens shows it when focused (RGB, chart size)
};
