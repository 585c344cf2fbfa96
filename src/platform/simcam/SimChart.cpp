// Drawing of the test chart. Edges of round shapes are anti-aliased (coverage by distance), so that the
// mosaic looks like an optical picture rather than a drawing.
#include "platform/simcam/SimChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/CameraProtocol.h"

namespace {

struct Rgb {
    uint8_t r, g, b;
};

constexpr Rgb kBackground{128, 128, 128};
constexpr Rgb kWhite{235, 235, 235};
constexpr Rgb kBlack{18, 18, 18};
constexpr Rgb kTrack{50, 50, 50};

// A colour checker: chromatic rows, then a grey ramp from white to black.
constexpr Rgb kPatches[4][6] = {
    {{115, 82, 68}, {194, 150, 130}, {98, 122, 157}, {87, 108, 67}, {133, 128, 177}, {103, 189, 170}},
    {{214, 126, 44}, {80, 91, 166}, {193, 90, 99}, {94, 60, 108}, {157, 188, 64}, {224, 163, 46}},
    {{56, 61, 150}, {70, 148, 73}, {175, 54, 60}, {231, 199, 31}, {187, 86, 149}, {8, 133, 161}},
    {{243, 243, 242}, {200, 200, 200}, {160, 160, 160}, {122, 122, 121}, {85, 85, 85}, {52, 52, 52}},
};

// Digits 0-9 in a 5 x 7 cell, one byte per row, bit 4 the leftmost column.
constexpr uint8_t kDigits[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};

struct Point {
    double x, y;
};

class Canvas {
public:
    Canvas(std::vector<uint8_t>& rgb, int width, int height) : m_Rgb(rgb), m_Width(width), m_Height(height) {}

    // Fills [x0, x1) x [y0, y1), clipped.
    void fillRect(int x0, int y0, int x1, int y1, Rgb c)
    {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, m_Width);
        y1 = std::min(y1, m_Height);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                blend(x, y, c, 1.0);
    }

    // Mixes c into the pixel by coverage 0..1.
    void blend(int x, int y, Rgb c, double coverage)
    {
        if (x < 0 || y < 0 || x >= m_Width || y >= m_Height || coverage <= 0.0)
            return;
        coverage = std::min(coverage, 1.0);
        uint8_t* p = &m_Rgb[(size_t(y) * m_Width + x) * 3];
        p[0] = uint8_t(std::lround(p[0] + (c.r - p[0]) * coverage));
        p[1] = uint8_t(std::lround(p[1] + (c.g - p[1]) * coverage));
        p[2] = uint8_t(std::lround(p[2] + (c.b - p[2]) * coverage));
    }

    // A ring between two radii (inner 0: a disc), edges anti-aliased.
    void ring(double cx, double cy, double outer, double inner, Rgb c)
    {
        for (int y = int(cy - outer - 2); y <= int(cy + outer + 2); ++y) {
            for (int x = int(cx - outer - 2); x <= int(cx + outer + 2); ++x) {
                double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
                double cover = std::clamp(outer + 0.5 - d, 0.0, 1.0);
                if (inner > 0.0)
                    cover -= std::clamp(inner + 0.5 - d, 0.0, 1.0);
                blend(x, y, c, cover);
            }
        }
    }

    // A star of alternating black and white wedges; the wedges narrow toward the centre, so detail gets
    // finer than any lens or demosaic can resolve.
    void star(double cx, double cy, double radius, int wedges)
    {
        const double pi = std::acos(-1.0);
        for (int y = int(cy - radius - 2); y <= int(cy + radius + 2); ++y) {
            for (int x = int(cx - radius - 2); x <= int(cx + radius + 2); ++x) {
                double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
                double d = std::hypot(dx, dy);
                double inside = std::clamp(radius + 0.5 - d, 0.0, 1.0);
                if (inside <= 0.0)
                    continue;
                double u = (std::atan2(dy, dx) + pi) * wedges / pi;  // half-periods
                double frac = u - std::floor(u);
                double edge = std::min(frac, 1.0 - frac) * pi * d / wedges;  // pixels to the nearest edge
                bool black = (int64_t(std::floor(u)) & 1) == 0;
                double cover = std::clamp(0.5 + edge, 0.0, 1.0);
                blend(x, y, black ? kBlack : kWhite, inside * (black ? cover : 1.0));
                if (!black)
                    blend(x, y, kBlack, inside * (1.0 - cover));
            }
        }
    }

    // A filled polygon, 4 x 4 samples per pixel.
    void polygon(const Point* v, int n, Rgb c)
    {
        double minX = v[0].x, maxX = v[0].x, minY = v[0].y, maxY = v[0].y;
        for (int i = 1; i < n; ++i) {
            minX = std::min(minX, v[i].x), maxX = std::max(maxX, v[i].x);
            minY = std::min(minY, v[i].y), maxY = std::max(maxY, v[i].y);
        }
        for (int y = int(minY); y <= int(maxY); ++y) {
            for (int x = int(minX); x <= int(maxX); ++x) {
                int hits = 0;
                for (int s = 0; s < 16; ++s)
                    hits += contains(v, n, x + (s % 4 + 0.5) / 4, y + (s / 4 + 0.5) / 4);
                blend(x, y, c, hits / 16.0);
            }
        }
    }

    // A decimal number, its cells scale pixels square, centred on column cx.
    void number(int value, int cx, int top, int scale, Rgb c)
    {
        char text[12];
        int len = std::snprintf(text, sizeof text, "%d", value);
        int cell = 6 * scale;
        int left = cx - (len * cell - scale) / 2;
        for (int i = 0; i < len; ++i) {
            const uint8_t* glyph = kDigits[text[i] - '0'];
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (glyph[row] & (0x10 >> col))
                        fillRect(left + i * cell + col * scale, top + row * scale,
                                 left + i * cell + (col + 1) * scale, top + (row + 1) * scale, c);
        }
    }

private:
    static bool contains(const Point* v, int n, double x, double y)
    {
        bool in = false;
        for (int i = 0, j = n - 1; i < n; j = i++) {
            if ((v[i].y > y) != (v[j].y > y) && x < (v[j].x - v[i].x) * (y - v[i].y) / (v[j].y - v[i].y) + v[i].x)
                in = !in;
        }
        return in;
    }

    std::vector<uint8_t>& m_Rgb;
    int m_Width;
    int m_Height;
};

}  // namespace

const SimChart& SimChart::instance()
{
    static const SimChart chart;
    return chart;
}

SimChart::SimChart()
    : m_Width(camproto::kSensorWidth), m_Height(camproto::kSensorHeight), m_Rgb(size_t(m_Width) * m_Height * 3)
{
    draw();
}

const uint8_t* SimChart::pixel(int x, int y) const
{
    x = std::clamp(x, 0, m_Width - 1);
    y = std::clamp(y, 0, m_Height - 1);
    return &m_Rgb[(size_t(y) * m_Width + x) * 3];
}

void SimChart::draw()
{
    Canvas canvas(m_Rgb, m_Width, m_Height);
    canvas.fillRect(0, 0, m_Width, m_Height, kBackground);

    // Ruler: 180 mm, a tick per millimetre, longer ticks at 5 mm, numbered ones every centimetre.
    const int rulerLeft = 124, rulerTop = 50;
    canvas.fillRect(rulerLeft - 24, rulerTop, rulerLeft + 1824, rulerTop + 140, kWhite);
    for (int mm = 0; mm <= 180; ++mm) {
        int x = rulerLeft + mm * kPixelsPerMm;
        int len = mm % 10 == 0 ? 70 : mm % 5 == 0 ? 50 : 30;
        canvas.fillRect(x, rulerTop, x + 2, rulerTop + len, kBlack);
        if (mm % 10 == 0)
            canvas.number(mm / 10, x + 1, rulerTop + 80, 4, kBlack);
    }

    // Colour checker.
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 6; ++col) {
            int x = 124 + col * 136, y = 250 + row * 136;
            canvas.fillRect(x, y, x + 120, y + 120, kPatches[row][col]);
        }

    // Discs of 30, 20, 10, 5, 2 and 1 mm diameter and a ring of 15 mm outer diameter on a white card.
    canvas.fillRect(1000, 250, 1934, 794, kWhite);
    canvas.ring(1180, 522, 150, 0, kBlack);
    canvas.ring(1450, 400, 100, 0, kBlack);
    canvas.ring(1640, 340, 50, 0, kBlack);
    canvas.ring(1800, 340, 25, 0, kBlack);
    canvas.ring(1450, 640, 10, 0, kBlack);
    canvas.ring(1520, 640, 5, 0, kBlack);
    canvas.ring(1720, 620, 75, 65, kBlack);

    // Fine detail: a star and line pairs with periods of 2 to 12 pixels, vertical above, horizontal below.
    canvas.ring(340, 1080, 215, 0, kWhite);
    canvas.star(340, 1080, 200, 36);
    canvas.fillRect(620, 880, 1160, 1280, kWhite);
    int x = 640;
    for (int period = 2; period <= 12; period += 2) {
        for (int bar = 0; bar < 5; ++bar) {
            int left = x + bar * period;
            canvas.fillRect(left, 900, left + period / 2, 1060, kBlack);
        }
        for (int bar = 0; bar < 5; ++bar)
            canvas.fillRect(x, 1100 + bar * period, x + 5 * period, 1100 + bar * period + period / 2, kBlack);
        x += 5 * period + 24;
    }

    // A polygon to measure the area of.
    canvas.fillRect(1220, 880, 1934, 1280, kWhite);
    const Point pentagon[] = {{1300, 1240}, {1380, 930}, {1600, 900}, {1860, 1060}, {1700, 1250}};
    canvas.polygon(pentagon, 5, Rgb{40, 60, 140});

    // The track the ball runs on (the ball itself is drawn per frame).
    canvas.fillRect(124, kBallRow - 60, 1924, kBallRow + 60, kTrack);
}
