// Sampling the chart into a colour mosaic once per readout, and the per-frame steps: an exposure table per
// colour site, additive noise from prepared tables at a random offset per line, and the moving ball.
#include "platform/simcam/SimMosaic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "platform/CameraProtocol.h"
#include "platform/simcam/SimChart.h"

namespace {

// Sensor response per chart channel (red, green, blue) under a warm light: white balance has work to do.
constexpr double kTint[3] = {0.84, 1.0, 0.72};
// Chart channel seen by each colour site.
constexpr int kSiteChannel[4] = {1, 2, 0, 1};
// Darkening toward the corners (fraction lost at the corner of each axis).
constexpr double kVignette = 0.10;
// The ball runs from one end of its track to the other and back in this time.
constexpr double kBallPeriodSeconds = 8.0;

constexpr int kNoiseSpan = 1 << 16;
constexpr int kNoiseLength = kNoiseSpan + camproto::kSensorWidth;
constexpr double kNoiseSigma[4] = {0.8, 1.5, 2.5, 4.0};

// Four tables of roughly normal noise, made once.
const int8_t* noiseTable(int level)
{
    static const auto tables = [] {
        std::vector<std::array<int8_t, kNoiseLength>> t(4);
        uint32_t state = 0x12345678u;
        auto uniform = [&state] {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            return (state & 0xFFFF) / 65536.0 - 0.5;
        };
        for (int level = 0; level < 4; ++level)
            for (int8_t& n : t[size_t(level)]) {
                double sum = uniform() + uniform() + uniform() + uniform();  // variance 1/3
                n = int8_t(std::clamp(std::lround(sum * std::sqrt(3.0) * kNoiseSigma[level]), -60L, 60L));
            }
        return t;
    }();
    return tables[size_t(std::clamp(level, 0, 3))].data();
}

uint32_t mix(uint64_t a, uint32_t b)
{
    uint64_t h = (a + 0x9E3779B97F4A7C15ull) ^ (uint64_t(b) * 0xBF58476D1CE4E5B9ull);
    h ^= h >> 31;
    h *= 0x94D049BB133111EBull;
    return uint32_t(h >> 32);
}

inline uint8_t clampByte(int v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Depth of field as a fraction of the chart's width on either side of the sharp band's centre, the blur
// growth beyond it (radius in pixels per width), the largest blur, and the magnification change over the
// whole focus range.
constexpr double kDepthOfField = 0.02;
constexpr double kBlurPerWidth = 30.0;
constexpr int kMaxBlur = 14;
constexpr double kFocusMagnification = 0.01;

// A box blur of an interleaved RGB picture with a radius per column, borders repeated: along rows, then
// along columns (each column with its own radius).
void blurByColumn(std::vector<uint8_t>& rgb, int width, int height, const std::vector<int>& radius)
{
    std::vector<uint8_t> tmp(rgb.size());
    std::vector<uint32_t> prefix(size_t(width + 1) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = &rgb[size_t(y) * width * 3];
        uint8_t* out = &tmp[size_t(y) * width * 3];
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                prefix[size_t(x + 1) * 3 + c] = prefix[size_t(x) * 3 + c] + in[x * 3 + c];
        for (int x = 0; x < width; ++x) {
            const int r = radius[size_t(x)], lo = x - r, hi = x + r; // repeated borders: count the edge again
            const int a = std::max(lo, 0), b = std::min(hi, width - 1);
            for (int c = 0; c < 3; ++c) {
                uint32_t sum = prefix[size_t(b + 1) * 3 + c] - prefix[size_t(a) * 3 + c];
                sum += uint32_t(a - lo) * in[c] + uint32_t(hi - b) * in[(width - 1) * 3 + c];
                out[x * 3 + c] = uint8_t((sum + uint32_t(r)) / uint32_t(2 * r + 1));
            }
        }
    }
    // Along columns: a running sum per column and channel, the window moving down one row at a time.
    std::vector<uint32_t> sum(size_t(width) * 3);
    auto row = [&](int y) { return &tmp[size_t(std::clamp(y, 0, height - 1)) * width * 3]; };
    for (int x = 0; x < width; ++x)
        for (int i = -radius[size_t(x)]; i <= radius[size_t(x)]; ++i)
            for (int c = 0; c < 3; ++c)
                sum[size_t(x) * 3 + c] += row(i)[x * 3 + c];
    for (int y = 0; y < height; ++y) {
        uint8_t* out = &rgb[size_t(y) * width * 3];
        for (int x = 0; x < width; ++x) {
            const int r = radius[size_t(x)];
            const uint8_t* enter = row(y + r + 1) + x * 3;
            const uint8_t* leave = row(y - r) + x * 3;
            for (int c = 0; c < 3; ++c) {
                uint32_t& s = sum[size_t(x) * 3 + c];
                out[x * 3 + c] = uint8_t((s + uint32_t(r)) / uint32_t(2 * r + 1));
                s += enter[c];
                s -= leave[c];
            }
        }
    }
}

}  // namespace

double SimFocus::scale() const
{
    return 1.0 + kFocusMagnification * (position - 0.5);
}

int SimFocus::blurRadius(double u) const
{
    const double beyond = std::abs(u - position) - kDepthOfField;
    return beyond <= 0 ? 0 : std::min(kMaxBlur, int(beyond * kBlurPerWidth + 0.5));
}

void SimMosaic::prepare(const SensorReadout& readout, const SimFocus& focus)
{
    if (m_Prepared && readout == m_Readout && focus == m_Focus)
        return;
    m_Readout = readout;
    m_Focus = focus;
    m_Prepared = true;
    const int width = readout.activeWidth(), height = readout.activeHeight();

    // Skipping reads row (column) pairs, so the colour pattern survives.
    m_SensorRow.resize(size_t(height));
    for (int k = 0; k < height; ++k) {
        int i = readout.mirror ? height - 1 - k : k;
        m_SensorRow[size_t(k)] = readout.y + (i / 2) * 2 * readout.rowSkip + (i & 1) -
                                 (readout.mirror && readout.mirrorShift ? 1 : 0);
    }
    m_SensorColumn.resize(size_t(width));
    for (int j = 0; j < width; ++j)
        m_SensorColumn[size_t(j)] = readout.x + (j / 2) * 2 * readout.columnSkip + (j & 1);

    const SimChart& chart = SimChart::instance();
    auto falloff = [](int pos, int size) {
        double u = (pos + 0.5 - size / 2.0) / (size / 2.0);
        return 1.0 - kVignette * u * u;
    };
    std::vector<double> columnFactor(static_cast<size_t>(width));
    for (int j = 0; j < width; ++j)
        columnFactor[size_t(j)] = falloff(m_SensorColumn[size_t(j)], chart.width());

    // Focused: the chart magnified about its centre and blurred by depth, as the lens shows it.
    const int cw = chart.width(), ch = chart.height();
    const uint8_t* seen = chart.pixel(0, 0); // RGB rows of cw pixels
    if (focus.tilted) {
        const double s = focus.scale();
        auto from = [s](int i, int size) { return int(std::floor((i + 0.5 - size / 2.0) / s + size / 2.0)); };
        m_Seen.resize(size_t(cw) * ch * 3);
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x)
                std::memcpy(&m_Seen[(size_t(y) * cw + x) * 3], chart.pixel(from(x, cw), from(y, ch)), 3);
        std::vector<int> radius(static_cast<size_t>(cw));
        for (int x = 0; x < cw; ++x)
            radius[size_t(x)] = focus.blurRadius((x + 0.5) / cw);
        blurByColumn(m_Seen, cw, ch, radius);
        seen = m_Seen.data();
    } else {
        m_Seen = {};
    }

    m_Base.resize(size_t(width) * height);
    for (int k = 0; k < height; ++k) {
        int row = m_SensorRow[size_t(k)];
        double rowFactor = falloff(row, chart.height());
        uint8_t* base = &m_Base[size_t(k) * width];
        for (int j = 0; j < width; ++j) {
            int column = m_SensorColumn[size_t(j)];
            int channel = kSiteChannel[(row & 1) * 2 + (column & 1)];
            const size_t at = size_t(std::clamp(row, 0, ch - 1)) * cw + size_t(std::clamp(column, 0, cw - 1));
            double v = seen[at * 3 + size_t(channel)] * kTint[channel] * rowFactor * columnFactor[size_t(j)];
            base[j] = uint8_t(std::lround(std::min(v, 255.0)));
        }
    }
}

template <bool Noise>
void SimMosaic::renderLine(int k, uint8_t* dst, const int16_t* lutA, const int16_t* lutB,
                           const int8_t* noise) const
{
    const int width = m_Readout.activeWidth();
    const uint8_t* src = &m_Base[size_t(k) * width];
    int j = 0;
    for (; j + 1 < width; j += 2) {
        int a = lutA[src[j]], b = lutB[src[j + 1]];
        if constexpr (Noise)
            a += noise[j], b += noise[j + 1];
        dst[j] = clampByte(a);
        dst[j + 1] = clampByte(b);
    }
    if (j < width)
        dst[j] = clampByte(lutA[src[j]] + (Noise ? noise[j] : 0));
}

void SimMosaic::drawBall(int k, uint8_t* dst, const FrameExposure& exposure, const int16_t (*lut)[256],
                         const int8_t* noise) const
{
    const double pi = std::acos(-1.0);
    const double radius = SimChart::kBallRadius;
    double phase = std::fmod(exposure.seconds, kBallPeriodSeconds) / kBallPeriodSeconds;
    double cx = SimChart::kBallLeft + (SimChart::kBallRight - SimChart::kBallLeft) * (0.5 - 0.5 * std::cos(2 * pi * phase));
    int row = m_SensorRow[size_t(k)];
    double dy = row + 0.5 - SimChart::kBallRow;
    if (std::abs(dy) > radius + 1)
        return;
    auto first = std::lower_bound(m_SensorColumn.begin(), m_SensorColumn.end(), int(cx - radius - 2));
    auto last = std::upper_bound(first, m_SensorColumn.end(), int(cx + radius + 2));
    const uint8_t* src = &m_Base[size_t(k) * m_Readout.activeWidth()];
    for (auto it = first; it != last; ++it) {
        size_t j = size_t(it - m_SensorColumn.begin());
        double cover = std::clamp(radius + 0.5 - std::hypot(*it + 0.5 - cx, dy), 0.0, 1.0);
        if (cover <= 0.0)
            continue;
        int site = (row & 1) * 2 + (*it & 1);
        int channel = kSiteChannel[site];
        double target = SimChart::kBallLevel * kTint[channel];
        int mixed = int(std::lround(src[j] + (target - src[j]) * cover));
        dst[j] = clampByte(lut[site][std::clamp(mixed, 0, 255)] + (noise ? noise[j] : 0));
    }
}

void SimMosaic::render(uint8_t* out, size_t size, bool sixteenBit, const FrameExposure& exposure)
{
    const int width = m_Readout.activeWidth(), height = m_Readout.activeHeight();
    const int lineLength = width + camproto::kLineBlanking;
    const size_t bytesPerPixel = sixteenBit ? 2 : 1;
    const size_t lineBytes = size_t(lineLength) * bytesPerPixel;
    if (!m_Prepared || width < 1 || height < 1) {
        std::memset(out, 0, size);
        return;
    }

    int16_t lut[4][256];
    for (int site = 0; site < 4; ++site)
        for (int v = 0; v < 256; ++v)
            lut[site][v] = int16_t(std::clamp(std::lround(kBlackLevel + v * exposure.siteGain[site]), 0L, 255L));
    const int8_t* noise = exposure.noiseLevel >= 0 ? noiseTable(exposure.noiseLevel) : nullptr;

    m_Line.resize(lineBytes + size_t(width));
    uint8_t* scratchPixels = m_Line.data() + lineBytes;
    size_t pos = 0;
    for (int k = 0; k < height && pos < size; ++k, pos += lineBytes) {
        const size_t avail = std::min(lineBytes, size - pos);
        const bool direct = !sixteenBit && avail == lineBytes;
        uint8_t* pixels = direct ? out + pos + camproto::kLineOffset : scratchPixels;

        const int rowPhase = m_SensorRow[size_t(k)] & 1, columnPhase = m_SensorColumn[0] & 1;
        const int16_t* lutA = lut[rowPhase * 2 + columnPhase];
        const int16_t* lutB = lut[rowPhase * 2 + (columnPhase ^ 1)];
        const int8_t* lineNoise = noise ? noise + mix(exposure.frameIndex, uint32_t(k)) % kNoiseSpan : nullptr;
        if (lineNoise)
            renderLine<true>(k, pixels, lutA, lutB, lineNoise);
        else
            renderLine<false>(k, pixels, lutA, lutB, nullptr);
        if (exposure.motion)
            drawBall(k, pixels, exposure, lut, lineNoise);

        if (direct) {
            std::memset(out + pos, 0, camproto::kLineOffset);
            std::memset(pixels + width, 0, size_t(camproto::kLineBlanking - camproto::kLineOffset));
            continue;
        }
        // A line cut by the end of the transfer, or widened to 16 bits: build it whole, copy what fits.
        std::memset(m_Line.data(), 0, lineBytes);
        for (int j = 0; j < width; ++j) {
            size_t at = (size_t(camproto::kLineOffset) + size_t(j)) * bytesPerPixel;
            if (sixteenBit) {
                uint16_t v = uint16_t(scratchPixels[j] << 2);
                m_Line[at] = uint8_t(v & 0xFF);
                m_Line[at + 1] = uint8_t(v >> 8);
            } else {
                m_Line[at] = scratchPixels[j];
            }
        }
        std::memcpy(out + pos, m_Line.data(), avail);
    }
    if (pos < size)
        std::memset(out + pos, 0, size - pos);
}
