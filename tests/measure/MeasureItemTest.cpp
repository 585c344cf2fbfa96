// The point array of a measurement: reset by a tool, growth, refusals.
#include <gtest/gtest.h>

#include "measure/MeasureItem.h"

TEST(MeasureItem, Reset_ToolGetsTenZeroedPoints_NoneGetsNoArray)
{
    MeasureItem item;
    item.reset(ToolLine);
    item.addPoint({1.5, 2.5});
    item.result = item.result2 = item.result3 = 3.0;
    item.center1 = item.center2 = {4.0, 4.0};
    item.radius1 = item.radius2 = 5.0;

    item.reset(ToolCircle);
    EXPECT_EQ(item.type, ToolCircle);
    EXPECT_EQ(item.pointCount, 0);
    ASSERT_EQ(item.capacity(), 10);
    for (const MeasurePoint& p : item.points)
        EXPECT_EQ(p, (MeasurePoint{0.0, 0.0}));
    EXPECT_EQ(item.result, 0.0);
    EXPECT_EQ(item.result2, 0.0);
    EXPECT_EQ(item.result3, 0.0);
    EXPECT_EQ(item.center1, (MeasurePoint{}));
    EXPECT_EQ(item.center2, (MeasurePoint{}));
    EXPECT_EQ(item.radius1, 0.0);
    EXPECT_EQ(item.radius2, 0.0);

    item.reset(ToolNone);
    EXPECT_EQ(item.type, ToolNone);
    EXPECT_EQ(item.capacity(), 0);
}

TEST(MeasureItem, SetPoint_GrowsToIndexPlusTwiceCapacity_KeepsOldPoints)
{
    MeasureItem item;
    item.reset(ToolArea);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(item.addPoint({double(i), double(-i)}), 1);
    EXPECT_EQ(item.capacity(), 10);

    ASSERT_EQ(item.addPoint({0.25, 0.75}), 1);  // position 10: 10 + 2 x 10
    EXPECT_EQ(item.capacity(), 30);
    EXPECT_EQ(item.pointCount, 11);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(item.points[size_t(i)], (MeasurePoint{double(i), double(-i)}));
    EXPECT_EQ(item.points[10], (MeasurePoint{0.25, 0.75}));
    EXPECT_EQ(item.points[11], (MeasurePoint{}));  // new room is zeroed

    ASSERT_EQ(item.setPoint(45, {9.0, 9.0}), 1);  // 45 + 2 x 30
    EXPECT_EQ(item.capacity(), 105);
    EXPECT_EQ(item.point(45), (MeasurePoint{9.0, 9.0}));
    EXPECT_EQ(item.pointCount, 11);  // a store at a position does not count
}

TEST(MeasureItem, SetPoint_RefusesNegativePositionAndAbsentArray)
{
    MeasureItem item;
    item.reset(ToolLine);
    EXPECT_EQ(item.setPoint(-1, {1.0, 1.0}), 0);
    EXPECT_EQ(item.capacity(), 10);

    // No tool chosen: no array, so nothing is stored, even at a position that would "grow" it.
    MeasureItem idle;
    EXPECT_EQ(idle.setPoint(0, {1.0, 1.0}), 0);
    EXPECT_EQ(idle.addPoint({1.0, 1.0}), 0);
    EXPECT_EQ(idle.pointCount, 0);
    idle.reset(ToolNone);
    EXPECT_EQ(idle.setPoint(3, {1.0, 1.0}), 0);
    EXPECT_EQ(idle.capacity(), 0);
    // Reading beyond the array is harmless.
    EXPECT_EQ(idle.point(5), (MeasurePoint{}));
}
