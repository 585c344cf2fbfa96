// Edges on synthetic pictures whose edges lie at known sub-pixel places (blur 1.2 px, noise sigma 2 levels).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "edges/EdgeFinder.h"
#include "edges/ShapeFit.h"
#include "support/EdgePictures.h"

namespace {

double distanceFromLine(PicturePoint p, PicturePoint through, double angle)
{
    return (p.x - through.x) * std::cos(angle) + (p.y - through.y) * std::sin(angle);
}

} // namespace

TEST(Edges, ProfileSamplesPixelCentresAndStopsAtThePictureEdge)
{
    // Pixel (i, j) covers [i, i + 1) x [j, j + 1): its level is found at (i + 0.5, j + 0.5).
    DibImage img;
    img.Create(4, 3, 8);
    img.SetColorTable(0, nullptr, 0, 256);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            img.rowTopDown(y)[x] = uint8_t(10 * x + 100 * y);
    const EdgeProfile along = SampleProfile(img, {0.5, 1.5}, {10.5, 1.5}, 0);
    EXPECT_EQ(along.values, (std::vector<double>{100, 110, 120, 130})); // ends at x = 4.5, outside
    EXPECT_EQ(SampleProfile(img, {1.0, 0.5}, {1.0, 0.5}, 0).values, std::vector<double>{5}); // between two centres
    // Averaged across: rows 0..2 at x = 1.5; a cross line reaching past the top gives nothing.
    EXPECT_EQ(SampleProfile(img, {1.5, 1.5}, {1.5, 1.5}, 1.0).values, std::vector<double>{110});
    EXPECT_TRUE(SampleProfile(img, {1.5, 0.5}, {2.5, 0.5}, 1.0).values.empty());
}

TEST(Edges, FindsEdgesByPolarityThresholdAndPicture)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        double angle;         // of the edge's normal, dark to light
        bool colour, inverted; // 24-bit; 8-bit whose table runs from white to black
        PicturePoint from, to;
        double halfWidth, threshold;
        EdgePolarity polarity;
        int found, polarityFound;
    };
    const PicturePoint at{37.3, 40.6};
    const double tilt = 30 * M_PI / 180;
    const PicturePoint along{at.x - 25 * std::cos(tilt), at.y - 25 * std::sin(tilt)};
    const PicturePoint beyond{at.x + 25 * std::cos(tilt), at.y + 25 * std::sin(tilt)};
    const Case cases[] = {
        {"rising", 0, false, false, {10, 40}, {70, 40}, 10, 8, EdgePolarity::Rising, 1, 1},
        {"not falling", 0, false, false, {10, 40}, {70, 40}, 10, 8, EdgePolarity::Falling, 0, 0},
        {"either", 0, false, false, {10, 40}, {70, 40}, 10, 8, EdgePolarity::Either, 1, 1},
        {"reversed is falling", 0, false, false, {70, 40}, {10, 40}, 10, 8, EdgePolarity::Falling, 1, -1},
        {"single line", 0, false, false, {10, 40}, {70, 40}, 0, 8, EdgePolarity::Either, 1, 1},
        {"too weak", 0, false, false, {10, 40}, {70, 40}, 10, 60, EdgePolarity::Either, 0, 0},
        {"colour on lightness", 0, true, false, {10, 40}, {70, 40}, 10, 8, EdgePolarity::Rising, 1, 1},
        {"through the colour table", 0, false, true, {10, 40}, {70, 40}, 10, 8, EdgePolarity::Falling, 1, -1},
        {"rotated", tilt, false, false, along, beyond, 10, 8, EdgePolarity::Rising, 1, 1},
        {"leaves the picture", 0, false, false, {10, 40}, {5000, 40}, 10, 8, EdgePolarity::Rising, 1, 1},
        {"ends before the edge", 0, false, false, {-3, 40}, {70, 40}, 0, 8, EdgePolarity::Either, 0, 0},
        {"rectangle wider than the picture", 0, false, false, {10, 40}, {70, 40}, 1e300, 8, EdgePolarity::Either, 0, 0},
        {"not a number", 0, false, false, {nan, 40}, {70, nan}, nan, 8, EdgePolarity::Either, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DibImage img;
        edgepic::straightEdge(img, 80, 80, at, c.angle, {.colour = c.colour});
        if (c.inverted) {
            RgbQuad table[256];
            for (int i = 0; i < 256; ++i)
                table[i] = {uint8_t(255 - i), uint8_t(255 - i), uint8_t(255 - i), 0};
            img.SetColorTable(2, table, 0, 256);
        }
        const EdgeSearch search{c.from, c.to, c.halfWidth, c.threshold, c.polarity};
        const std::vector<Edge> edges = FindEdges(img, search);
        ASSERT_EQ(int(edges.size()), c.found);
        EXPECT_EQ(StrongestEdge(img, search).has_value(), c.found > 0);
        if (!c.found)
            continue;
        const Edge& e = edges[0];
        EXPECT_EQ(e.polarity, c.polarityFound);
        // Across a rectangle within the RMS goal, where the three-point parabola is 0.07 px off.
        EXPECT_NEAR(distanceFromLine(e.point, at, c.angle), 0.0, c.halfWidth > 0 ? 0.04 : 0.3);
        EXPECT_NEAR(std::hypot(e.point.x - c.from.x, e.point.y - c.from.y), e.along, 1e-9);
        EXPECT_NEAR(e.strength, 100 / std::sqrt(2 * M_PI * (1.2 * 1.2 + 1.25)), 4.0); // blurred by the smoothing
    }
}

TEST(Edges, EdgesComeInOrderAndTheParabolaStaysNear)
{
    // A light band from x = 20.4 to 50.8 between darker ground: rising then falling.
    DibImage img;
    edgepic::paint(
        img, 80, 40, {},
        [](double x, double) { return edgepic::phi((x - 20.4) / 1.2) - edgepic::phi((x - 50.8) / 1.2); },
        [](double, double) { return true; });
    for (const auto& find : {FindEdges, FindEdgesParabola}) {
        const std::vector<Edge> edges = find(img, {{5, 20}, {75, 20}, 10, 8, EdgePolarity::Either});
        ASSERT_EQ(edges.size(), 2u);
        EXPECT_NEAR(edges[0].point.x, 20.4, 0.25);
        EXPECT_EQ(edges[0].polarity, 1);
        EXPECT_NEAR(edges[1].point.x, 50.8, 0.25);
        EXPECT_EQ(edges[1].polarity, -1);
    }
}

TEST(Edges, FitsCirclesAndLinesAndSnaps)
{
    // A dark disc of radius 41.7 with two specks of dirt beside its rim.
    DibImage img;
    const PicturePoint centre{60.3, 58.8};
    edgepic::disc(img, 120, 120, centre, 41.7, {});
    for (int y = 56; y < 60; ++y)
        for (int x = 107; x < 110; ++x)
            img.rowTopDown(y)[x] = 70;
    for (int y = 14; y < 16; ++y)
        for (int x = 58; x < 62; ++x)
            img.rowTopDown(y)[x] = 75;

    const auto circle = FitCircleByEdges(img, {61.8, 57.5}, 30, 52, 360, 8, EdgePolarity::Rising);
    ASSERT_TRUE(circle);
    EXPECT_NEAR(circle->radius, 41.7, 0.05);
    EXPECT_NEAR(circle->centre.x, centre.x, 0.05);
    EXPECT_NEAR(circle->centre.y, centre.y, 0.05);
    EXPECT_FALSE(circle->rejected.empty());
    EXPECT_LT(circle->rms, 0.1);
    EXPECT_EQ(circle->used.size() + circle->rejected.size(), 360u);
    // Light to dark outwards only the specks (too few radii to trust); a flat ring has no edge; no ring at all.
    EXPECT_FALSE(FitCircleByEdges(img, centre, 30, 52, 360, 8, EdgePolarity::Falling));
    EXPECT_FALSE(FitCircleByEdges(img, centre, 5, 20, 360, 8, EdgePolarity::Either));
    EXPECT_FALSE(FitCircleByEdges(img, centre, 52, 30, 360, 8, EdgePolarity::Rising));
    EXPECT_FALSE(FitCircleByEdges(img, centre, 30, 52, 2, 8, EdgePolarity::Rising));

    // Snapping: from 5 px outside the rim onto it; from the middle of the flat disc, nowhere.
    const double a = 0.6;
    const auto snapped = SnapToEdge(img, {centre.x + 46.7 * std::cos(a), centre.y + 46.7 * std::sin(a)}, 8, 8);
    ASSERT_TRUE(snapped);
    EXPECT_NEAR(std::hypot(snapped->x - centre.x, snapped->y - centre.y), 41.7, 0.15);
    EXPECT_NEAR(std::atan2(snapped->y - centre.y, snapped->x - centre.x), a, 0.01);
    EXPECT_FALSE(SnapToEdge(img, centre, 8, 8));
    EXPECT_FALSE(SnapToEdge(img, {-4, 3}, 8, 8));

    // A straight edge at 20 degrees, the band along it.
    DibImage lineImg;
    const PicturePoint through{50.2, 40.7};
    const double normal = (20 + 90) * M_PI / 180;
    edgepic::straightEdge(lineImg, 100, 80, through, normal, {.contrast = 60});
    const PicturePoint d{std::cos(20 * M_PI / 180), std::sin(20 * M_PI / 180)};
    const PicturePoint from{through.x - 40 * d.x + 2, through.y - 40 * d.y}, to{through.x + 40 * d.x, through.y + 40 * d.y + 1};
    const auto line = FitLineByEdges(lineImg, from, to, 10, 20, 5, EdgePolarity::Either);
    ASSERT_TRUE(line);
    EXPECT_NEAR(distanceFromLine(line->from, through, normal), 0.0, 0.05);
    EXPECT_NEAR(distanceFromLine(line->to, through, normal), 0.0, 0.05);
    EXPECT_NEAR((line->from.x - from.x) * d.x + (line->from.y - from.y) * d.y, 0.0, 0.5);
    EXPECT_EQ(line->used.size(), 20u);
    EXPECT_FALSE(FitLineByEdges(lineImg, from, to, 10, 20, 5, EdgePolarity::Falling)); // its left side is dark
    EXPECT_FALSE(FitLineByEdges(lineImg, from, from, 10, 20, 5, EdgePolarity::Either));
}
