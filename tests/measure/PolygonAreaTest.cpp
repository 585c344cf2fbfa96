// Polygon areas from their vertices: the enclosed geometric area, whatever the outline's size or shape.
#include <gtest/gtest.h>

#include <vector>

#include "measure/Geometry.h"

TEST(PolygonArea, EnclosedAreaOfTheClickedVertices)
{
    struct Case {
        const char* name;
        std::vector<MeasurePoint> vertices;
        double area;
    };
    const Case cases[] = {
        { "100 x 100 square", { { 100, 100 }, { 200, 100 }, { 200, 200 }, { 100, 200 } }, 10000.0 },
        { "same square, turning the other way", { { 100, 100 }, { 100, 200 }, { 200, 200 }, { 200, 100 } }, 10000.0 },
        { "thin 119 x 23 rectangle", { { 500, 40 }, { 619, 40 }, { 619, 63 }, { 500, 63 } }, 2737.0 },
        { "right triangle", { { 200, 200 }, { 1200, 200 }, { 200, 1000 } }, 400000.0 },
        { "fractional vertices", { { 10.5, 20.25 }, { 30.5, 20.25 }, { 10.5, 60.75 } }, 405.0 },
        // An L: a 30 x 30 square less its 20 x 20 upper right corner.
        { "concave", { { 0, 0 }, { 30, 0 }, { 30, 10 }, { 10, 10 }, { 10, 30 }, { 0, 30 } }, 500.0 },
        { "beyond the picture", { { -1000, 100 }, { 1000, 100 }, { 1000, 500 }, { -1000, 500 } }, 800000.0 },
        { "far from the origin", { { 1e7, 1e7 }, { 1e7 + 0.5, 1e7 }, { 1e7 + 0.5, 1e7 + 0.5 } }, 0.125 },
        // Two triangles meeting at (5, 5).
        { "self-touching", { { 0, 0 }, { 10, 0 }, { 5, 5 }, { 10, 10 }, { 0, 10 }, { 5, 5 } }, 50.0 },
        { "a corner clicked twice", { { 0, 0 }, { 40, 0 }, { 40, 0 }, { 40, 25 }, { 0, 25 } }, 1000.0 },
        { "all on one line", { { 10, 10 }, { 60, 35 }, { 110, 60 } }, 0.0 },
        { "two vertices", { { 10, 10 }, { 110, 10 } }, 0.0 },
        { "one vertex", { { 10, 10 } }, 0.0 },
        { "none", {}, 0.0 },
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(polygonArea(c.vertices.data(), int32_t(c.vertices.size())), c.area) << c.name;
    EXPECT_EQ(polygonArea(nullptr, 3), 0.0);
}
