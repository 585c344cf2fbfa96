// Polygon areas counted in pixels: large shapes against their analytic area, lines, clipping, failures.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "imaging/DibImage.h"
#include "measure/Geometry.h"

namespace {

DibImage& frame24()
{
    static DibImage image;
    if (image.isEmpty())
        image.Create(2048, 1536, 24);
    return image;
}

// Analytic area and perimeter of a polygon (shoelace).
double shoelace(const std::vector<MeasurePoint>& v)
{
    double twice = 0.0;
    for (size_t i = 0; i < v.size(); ++i) {
        const MeasurePoint a = v[i], b = v[(i + 1) % v.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::fabs(twice) / 2.0;
}

double perimeter(const std::vector<MeasurePoint>& v)
{
    double sum = 0.0;
    for (size_t i = 0; i < v.size(); ++i)
        sum += distance(v[i], v[(i + 1) % v.size()]);
    return sum;
}

int64_t area(const std::vector<MeasurePoint>& v, const DibImage& picture)
{
    const auto count = polygonPixelArea(v.data(), int32_t(v.size()), picture);
    EXPECT_TRUE(count.has_value());
    return count.value_or(-1);
}

}  // namespace

TEST(PolygonArea, LargeShapes_AnalyticAreaPlusAtMostTheOutline)
{
    // The outline pixels count too, so the count lies between the analytic area less the outline's share
    // and the analytic area plus it.
    const std::vector<std::vector<MeasurePoint>> shapes = {
        {{100, 100}, {1100, 100}, {1100, 700}, {100, 700}},   // rectangle 1000 x 600
        {{200, 200}, {1200, 200}, {200, 1000}},               // right triangle
        {{300.7, 150.2}, {1900.9, 400.5}, {1500.3, 1400.8}, {250.1, 1200.6}},  // fractional vertices
    };
    for (const auto& shape : shapes) {
        const double exact = shoelace(shape);
        const double outline = perimeter(shape) + 4.0;
        const double count = double(area(shape, frame24()));
        EXPECT_GE(count, exact - outline);
        EXPECT_LE(count, exact + outline);
    }
    // A 64-gon of radius 500.
    std::vector<MeasurePoint> round;
    for (int i = 0; i < 64; ++i) {
        const double a = 2.0 * 3.14159265358979323846 * i / 64.0;
        round.push_back({1024.0 + 500.0 * std::cos(a), 768.0 + 500.0 * std::sin(a)});
    }
    const double count = double(area(round, frame24()));
    EXPECT_NEAR(count, shoelace(round), perimeter(round));

    // The rectangle exactly: GDI-like filling covers columns 100..1100 and rows 100..700 with the outline.
    EXPECT_EQ(area(shapes[0], frame24()), 1001 * 601);
}

TEST(PolygonArea, TwoVertices_CountTheLine)
{
    // Horizontal from x 10 to x 110: the outline goes there and back over the same 101 pixels.
    const int64_t flat = area({{10.0, 10.0}, {110.0, 10.0}}, frame24());
    EXPECT_GE(flat, 100);
    EXPECT_LE(flat, 101);
    const int64_t diagonal = area({{0.0, 0.0}, {99.9, 99.9}}, frame24());  // truncated to (99, 99)
    EXPECT_GE(diagonal, 99);
    EXPECT_LE(diagonal, 100);
}

TEST(PolygonArea, OnlyPixelsInsideThePictureCount)
{
    // Half of a 2000 x 400 rectangle hangs off the left edge: 1000 x 400 inside, plus its outline there.
    const int64_t half = area({{-1000, 100}, {1000, 100}, {1000, 500}, {-1000, 500}}, frame24());
    EXPECT_GE(half, 1000 * 400);
    EXPECT_LE(half, 1001 * 401);
    // Entirely outside: drawn, nothing counted.
    EXPECT_EQ(area({{-500, -500}, {-100, -500}, {-100, -100}}, frame24()), 0);
    // Absurd coordinates do not wrap around into the picture.
    const int64_t huge = area({{-1e12, -1e12}, {1e12, -1e12}, {1e12, 1e12}, {-1e12, 1e12}}, frame24());
    EXPECT_EQ(huge, 2048 * 1536);
}

TEST(PolygonArea, SameCountOnEveryPictureFormat)
{
    const std::vector<MeasurePoint> shape{{10.5, 20.5}, {300.2, 40.9}, {150.0, 260.0}};
    DibImage grey;
    ASSERT_TRUE(grey.Create(400, 300, 8));
    // A picture whose table puts white at index 0 and black at 255 must not turn the count around.
    DibImage inverted;
    ASSERT_TRUE(inverted.Create(400, 300, 8));
    RgbQuad table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = RgbQuad{uint8_t(255 - i), uint8_t(255 - i), uint8_t(255 - i), 0};
    inverted.SetColorTable(2, table, 0, 256);
    DibImage colour;
    ASSERT_TRUE(colour.Create(400, 300, 24));

    const int64_t expected = area(shape, grey);
    EXPECT_GT(expected, 0);
    EXPECT_EQ(area(shape, inverted), expected);
    EXPECT_EQ(area(shape, colour), expected);
    // The picture itself is not drawn on.
    for (int32_t y = 0; y < colour.height(); ++y) {
        const uint8_t* row = colour.rowTopDown(y);
        for (int32_t x = 0; x < colour.width() * 3; ++x)
            ASSERT_EQ(row[x], 0);
    }
}

TEST(PolygonArea, CannotDraw_GivesNothing)
{
    const MeasurePoint one{10.0, 10.0};
    EXPECT_FALSE(polygonPixelArea(&one, 1, frame24()).has_value());
    EXPECT_FALSE(polygonPixelArea(&one, 0, frame24()).has_value());
    EXPECT_FALSE(polygonPixelArea(nullptr, 3, frame24()).has_value());
    const std::vector<MeasurePoint> triangle{{0, 0}, {10, 0}, {0, 10}};
    DibImage empty;
    EXPECT_FALSE(polygonPixelArea(triangle.data(), 3, empty).has_value());
}
