// The calibration frame and the scale bar land on the view pixels that cover their picture positions:
// at zoom f >= 1 with whole-number scroll offsets, picture pixel p covers view pixels from (p + bai) * f.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "calib/CalibOverlay.h"
#include "imaging/Dc.h"
#include "imaging/DibImage.h"

namespace {

constexpr ColorRef kLine = 0x00FF00;
constexpr ColorRef kText = 0xFFFF00;

ColorRef pixelAt(const DibImage& img, int32_t x, int32_t y)
{
    const uint8_t* p = img.rowTopDown(y) + x * 3;
    return Rgb(p[2], p[1], p[0]);
}

ViewGeometry zoomed(int32_t zoomIndex, double baiX, double baiY)
{
    ViewGeometry g;
    g.view = { 0, 0, 160, 120 };
    g.zoomIndex = zoomIndex;
    g.baiX = baiX;
    g.baiY = baiY;
    g.imageWidth = 2048;
    g.imageHeight = 1536;
    return g;
}

// A black 160 x 120 view with draw's drawing on it.
template <typename Draw> void paint(DibImage& img, Draw draw)
{
    ASSERT_TRUE(img.Create(160, 120, 24));
    img.Fill(nullptr, 0);
    Dc dc(img);
    draw(dc);
}

// Every pixel of img is in the line colour exactly when it is in expected.
void expectInk(const DibImage& img, const std::set<std::pair<int, int>>& expected)
{
    int wrong = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((pixelAt(img, x, y) == kLine) != expected.count({ x, y }) && ++wrong < 10)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
    EXPECT_EQ(wrong, 0);
}

} // namespace

TEST(CalibOverlay, FrameSitsOnThePixelsItCoversAtX1AndX4)
{
    CalibEntry e;
    e.left = 10;
    e.top = 8;
    e.right = 30;
    e.bottom = 25;
    const struct {
        int32_t zoomIndex;
        int f;
        double baiX, baiY;
    } cases[] = { { 1, 1, -5, -3 }, { 3, 4, -2, -3 } };
    for (const auto& c : cases) {
        DibImage img;
        paint(img, [&](Dc& dc) { DrawCalibFrame(dc, e, zoomed(c.zoomIndex, c.baiX, c.baiY), kLine); });
        auto vx = [&](double x) { return int((x + c.baiX) * c.f); };
        auto vy = [&](double y) { return int((y + c.baiY) * c.f); };
        std::set<std::pair<int, int>> expected;
        for (int x = vx(e.left); x <= vx(e.right); ++x) {
            expected.insert({ x, vy(e.top) });
            expected.insert({ x, vy(e.bottom) });
        }
        for (int y = vy(e.top); y <= vy(e.bottom); ++y) {
            expected.insert({ vx(e.left), y });
            expected.insert({ vx(e.right), y });
        }
        // 5 x 5 marks at the centre and the middles of the edges.
        const double cx = 20, cy = 16.5;
        const std::pair<double, double> spots[]
            = { { cx, cy }, { cx, e.top }, { cx, e.bottom }, { e.left, cy }, { e.right, cy } };
        for (const auto& [sx, sy] : spots)
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    expected.insert({ vx(sx) + dx, vy(sy) + dy });
        SCOPED_TRACE(c.f);
        expectInk(img, expected);
    }
}

TEST(CalibOverlay, ScaleBarLinesTicksAndLabel)
{
    ScaleData s;
    s.Visible = 1;
    s.Pos = { 140, 50 };
    s.Size = { 10, 4 };
    s.mppX = 0.1; // 100 pixels
    s.mppY = 0.1; // 40 pixels
    s.unit = UnitMm;
    for (const int32_t type : { ScaleBarX, ScaleBarXY }) {
        s.Type = type;
        DibImage img;
        paint(img, [&](Dc& dc) { DrawScaleBar(dc, s, zoomed(1, 0, 0), kLine, kText); });
        std::set<std::pair<int, int>> expected;
        for (int x = 40; x <= 140; ++x)
            expected.insert({ x, 50 });
        for (int y = 45; y <= 55; ++y)
            expected.insert({ 40, y });
        if (type == ScaleBarX) {
            for (int y = 45; y <= 55; ++y)
                expected.insert({ 140, y });
        } else {
            for (int y = 10; y <= 50; ++y)
                expected.insert({ 140, y });
            for (int x = 135; x <= 145; ++x)
                expected.insert({ x, 10 });
        }
        SCOPED_TRACE(type);
        expectInk(img, expected);
        // The label "10.00mm" starts 30 left of the bar's middle, 15 below it, in shades of the text
        // colour (the glyphs' edges may be smoothed).
        int textPixels = 0, minX = 160, minY = 120;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                if (const ColorRef c = pixelAt(img, x, y); c != 0 && c != kLine) {
                    EXPECT_EQ(RedOf(c), 0);
                    EXPECT_EQ(GreenOf(c), BlueOf(c));
                    ++textPixels;
                    minX = std::min(minX, x);
                    minY = std::min(minY, y);
                }
        EXPECT_GT(textPixels, 20);
        EXPECT_GE(minX, 60);
        EXPECT_LE(minX, 64);
        EXPECT_GE(minY, 65);
    }

    // Hidden, or without a finite length (uncalibrated), nothing is drawn.
    for (const double mpp : { 0.1, 0.0 }) {
        ScaleData t = s;
        t.Visible = mpp == 0.0;
        t.mppX = mpp;
        DibImage img;
        paint(img, [&](Dc& dc) { DrawScaleBar(dc, t, zoomed(1, 0, 0), kLine, kText); });
        expectInk(img, {});
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                ASSERT_EQ(pixelAt(img, x, y), 0u);
    }
}
