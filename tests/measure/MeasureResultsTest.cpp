// Calibrated results of every tool, and the texts of rows and labels.
#include <gtest/gtest.h>

#include <cmath>

#include "calib/CalibEntry.h"
#include "measure/MeasureResults.h"
#include "measure/MeasureTestSupport.h"
#include "platform/Language.h"

namespace {

// 0.1 units per pixel in X and 0.2 in Y: anything scaled by Y where it should not be shows at once.
CalibEntry anisotropic(int32_t unit = UnitMm)
{
    return calibration(unit, 0.1, 0.2);
}

}  // namespace

TEST(MeasureResults, LineCircleAndTwoCircles_ScaleByMppXAlone)
{
    const CalibEntry calib = anisotropic();

    MeasureItem line = building(ToolLine, {{0.0, 0.0}, {30.0, 40.0}});
    finishItem(line, calib, nullptr);
    EXPECT_EQ(line.type, -ToolLine);
    EXPECT_DOUBLE_EQ(line.result, 5.0);
    EXPECT_EQ(line.unit, UnitMm);

    // Circle with centre (10, 20) and radius 5.
    MeasureItem circle = building(ToolCircle, {{15.0, 20.0}, {10.0, 25.0}, {5.0, 20.0}});
    finishItem(circle, calib, nullptr);
    EXPECT_EQ(circle.type, -ToolCircle);
    EXPECT_NEAR(circle.center1.x, 10.0, 1e-12);
    EXPECT_NEAR(circle.center1.y, 20.0, 1e-12);
    EXPECT_NEAR(circle.radius1, 5.0, 1e-12);
    EXPECT_NEAR(circle.result, 1.0, 1e-12);

    // Second circle: centre (40, 60), radius 10; the centres are 50 pixels apart.
    MeasureItem two = building(ToolCircle2, {{15.0, 20.0}, {10.0, 25.0}, {5.0, 20.0},
                                             {50.0, 60.0}, {40.0, 70.0}, {30.0, 60.0}});
    finishItem(two, calib, nullptr);
    EXPECT_EQ(two.type, -ToolCircle2);
    EXPECT_NEAR(two.center2.x, 40.0, 1e-12);
    EXPECT_NEAR(two.center2.y, 60.0, 1e-12);
    EXPECT_NEAR(two.result, 1.0, 1e-12);
    EXPECT_NEAR(two.result2, 2.0, 1e-12);
    EXPECT_NEAR(two.result3, 5.0, 1e-12);

    // Recalculating with another calibration uses the stored centres and radii (which a drag may have
    // moved away from the defining points), not a new fit.
    two.center2 = {40.0, 20.0};
    two.radius2 = 7.5;
    CalibEntry um = anisotropic(UnitUm);
    um.mppX = 2.0;
    computeResults(two, um, nullptr);
    EXPECT_NEAR(two.result, 20.0, 1e-12);
    EXPECT_NEAR(two.result2, 30.0, 1e-12);
    EXPECT_NEAR(two.result3, 60.0, 1e-12);
    EXPECT_EQ(two.unit, UnitUm);

    // Collinear points give the fallback circle around the origin.
    MeasureItem flat = building(ToolCircle, {{3.0, 4.0}, {6.0, 8.0}, {9.0, 12.0}});
    finishItem(flat, calib, nullptr);
    EXPECT_EQ(flat.center1, (MeasurePoint{0.0, 0.0}));
    EXPECT_DOUBLE_EQ(flat.result, 1.0);
}

TEST(MeasureResults, Perpendicular_FootStoredAndLengthOnEachBaseLine)
{
    const CalibEntry calib = anisotropic();
    // The base line y = -2x + 10 through A(0, 10), B(5, 0); P at the origin; foot (4, 2); |PF| = sqrt(20).
    MeasureItem series = building(ToolPerpendicular, {{0.0, 10.0}, {5.0, 0.0}, {0.0, 0.0}});
    MeasureItem perp = makePerpendicular(series, calib);
    EXPECT_EQ(perp.type, -ToolPerpendicular);
    EXPECT_EQ(perp.pointCount, 3);
    EXPECT_EQ(perp.point(2), (MeasurePoint{0.0, 0.0}));
    EXPECT_NEAR(perp.point(3).x, 4.0, 1e-12);
    EXPECT_NEAR(perp.point(3).y, 2.0, 1e-12);
    EXPECT_NEAR(perp.result, std::sqrt(20.0) * 0.1, 1e-12);
    EXPECT_EQ(perp.unit, UnitMm);
    EXPECT_EQ(series.type, ToolPerpendicular);  // the series goes on

    // The next click of the series measures from the latest point; vertical and horizontal base lines.
    series.addPoint({20.0, 7.0});
    series.setPoint(0, {5.0, 0.0});
    series.setPoint(1, {5.0, 10.0});
    perp = makePerpendicular(series, calib);
    EXPECT_EQ(perp.point(3), (MeasurePoint{5.0, 7.0}));
    EXPECT_DOUBLE_EQ(perp.result, 1.5);
    series.setPoint(0, {0.0, 3.0});
    series.setPoint(1, {10.0, 3.0});
    series.setPoint(3, {4.0, 11.0});
    perp = makePerpendicular(series, calib);
    EXPECT_EQ(perp.point(3), (MeasurePoint{4.0, 3.0}));
    EXPECT_DOUBLE_EQ(perp.result, 0.8);

    // Moving P and recalculating moves the stored foot with it.
    perp.setPoint(2, {8.0, -1.0});
    computeResults(perp, calib, nullptr);
    EXPECT_EQ(perp.point(3), (MeasurePoint{8.0, 3.0}));
    EXPECT_DOUBLE_EQ(perp.result, 0.4);
}

TEST(MeasureResults, Area_IsTheEnclosedAreaTimesMppXTimesMppY)
{
    const CalibEntry calib = anisotropic(UnitCm);

    // 100 x 50 pixels, no picture needed: 0.1 x 0.2 cm2 each.
    MeasureItem area = building(ToolArea, {{100.0, 50.0}, {200.0, 50.0}, {200.0, 100.0}, {100.0, 100.0}});
    finishItem(area, calib, nullptr);
    EXPECT_EQ(area.type, -ToolArea);
    EXPECT_NEAR(area.result, 100 * 50 * 0.02, 1e-9);
    EXPECT_EQ(area.result2, area.result);
    EXPECT_EQ(area.unit, UnitCm);

    // A new calibration gives the area in its unit and factors.
    computeResults(area, calibration(UnitUm, 2.0, 0.5), nullptr);
    EXPECT_NEAR(area.result2, 100 * 50 * 1.0, 1e-9);
    EXPECT_EQ(area.unit, UnitUm);

    // Fewer than three vertices enclose nothing.
    MeasureItem dot = building(ToolArea, {{10.0, 10.0}});
    finishItem(dot, calib, nullptr);
    EXPECT_EQ(dot.result, 0.0);
    EXPECT_EQ(dot.unit, UnitCm);
}

TEST(MeasureResults, UncalibratedGivesZero_AnglesUnaffected)
{
    CalibEntry zero;
    zero.mppX = zero.mppY = 0.0;
    MeasureItem line = building(ToolLine, {{0.0, 0.0}, {30.0, 40.0}});
    finishItem(line, zero, nullptr);
    EXPECT_EQ(line.result, 0.0);
    MeasureItem area = building(ToolArea, {{1.0, 1.0}, {30.0, 1.0}, {30.0, 30.0}});
    finishItem(area, zero, nullptr);
    EXPECT_EQ(area.result, 0.0);
    MeasureItem two = building(ToolCircle2, {{15.0, 20.0}, {10.0, 25.0}, {5.0, 20.0},
                                             {50.0, 60.0}, {40.0, 70.0}, {30.0, 60.0}});
    finishItem(two, zero, nullptr);
    EXPECT_EQ(two.result + two.result2 + two.result3, 0.0);

    // Right angle at (10, 10); the coinciding-arm case gives 0, not NaN, all the way to its text.
    MeasureItem angle = building(ToolAngle, {{20.0, 10.0}, {10.0, 10.0}, {10.0, 0.0}});
    finishItem(angle, zero, nullptr);
    EXPECT_NEAR(angle.result, 90.0, 1e-6);
    MeasureItem degenerate = building(ToolAngle, {{10.0, 10.0}, {10.0, 10.0}, {10.0, 0.0}});
    finishItem(degenerate, anisotropic(), nullptr);
    EXPECT_EQ(degenerate.result, 0.0);
    EXPECT_EQ(resultRowText(degenerate, 0, UnitMm)->value, "0.0");
}

TEST(MeasureResults, RowAndLabelTexts_ByUnitCode)
{
    const int saved = g_bJapanese;
    g_bJapanese = 0;

    auto text = lengthText(12.3456, UnitCm);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->value, "12.35");
    EXPECT_EQ(text->unit, "cm");
    text = lengthText(12.3456, UnitMm);
    EXPECT_EQ(text->value, "12.346");
    EXPECT_EQ(text->unit, "mm");
    text = lengthText(0.0, UnitUm);
    EXPECT_EQ(text->value, "0.00");
    EXPECT_EQ(text->unit, "um");
    text = areaText(1.5, UnitMm);
    EXPECT_EQ(text->value, "1.500");
    EXPECT_EQ(text->unit, "mm2");
    EXPECT_FALSE(lengthText(1.0, 3));
    EXPECT_FALSE(areaText(1.0, -1));

    // A calibration factor near the top of the double range overflows an area: no "inf" in the row or label.
    CalibEntry absurd;
    absurd.mppX = absurd.mppY = 1e200;
    absurd.unit = UnitMm;
    MeasureItem area;
    area.type = -ToolArea;
    area.result = area.result2 = 1e5 * absurd.mppX * absurd.mppY;
    EXPECT_FALSE(resultRowText(area, 0, absurd.unit));
    EXPECT_TRUE(areaLabel(area.result2, absurd.unit).isEmpty());
    EXPECT_TRUE(lengthLabel(std::nan(""), UnitCm).isEmpty());

    EXPECT_EQ(lengthLabel(2.0, UnitCm), "2.00cm");
    EXPECT_EQ(lengthLabel(2.0, UnitMm), "2.000mm");
    EXPECT_EQ(lengthLabel(2.0, UnitUm), "2.00um");
    EXPECT_EQ(areaLabel(2.0, UnitCm), "2.00cm2");
    EXPECT_EQ(areaLabel(2.0, UnitMm), "2.000mm2");
    EXPECT_EQ(areaLabel(2.0, UnitUm), "2.00um2");
    EXPECT_TRUE(lengthLabel(2.0, 5).isEmpty());
    EXPECT_TRUE(areaLabel(2.0, 5).isEmpty());
    // The screen shows the degree sign in both languages; the file keeps the string table's unit.
    EXPECT_EQ(angleLabel(44.96), QString::fromUtf8("45.0°"));
    EXPECT_EQ(angleText(44.94).value, "44.9");
    EXPECT_EQ(angleText(1.0, TextUse::File).unit, "degree");
    g_bJapanese = 1;
    EXPECT_EQ(angleLabel(90.0), QString::fromUtf8("90.0°"));
    EXPECT_EQ(angleText(1.0, TextUse::File).unit, QString::fromUtf8("ｰ"));
    g_bJapanese = saved;
}

TEST(MeasureResults, Rows_NamesValuesAndTextsPerType)
{
    MeasureItem two;
    two.type = -ToolCircle2;
    two.result = 1.0;
    two.result2 = 2.0;
    two.result3 = 3.0;
    EXPECT_EQ(resultRowCount(-ToolCircle2), 3);
    EXPECT_EQ(resultRowName(-ToolCircle2, 0), 1002);
    EXPECT_EQ(resultRowName(-ToolCircle2, 1), 1002);
    EXPECT_EQ(resultRowName(-ToolCircle2, 2), 1003);
    EXPECT_EQ(resultRowText(two, 1, UnitMm)->value, "2.000");
    EXPECT_EQ(resultRowText(two, 2, UnitCm)->value, "3.00");

    EXPECT_EQ(resultRowCount(-ToolLine), 1);
    EXPECT_EQ(resultRowName(-ToolLine, 0), 1000);
    EXPECT_EQ(resultRowName(-ToolArea, 0), 1001);
    EXPECT_EQ(resultRowName(-ToolCircle, 0), 1002);
    EXPECT_EQ(resultRowName(-ToolPerpendicular, 0), 1000);
    EXPECT_EQ(resultRowName(-ToolAngle, 0), 1004);
    EXPECT_EQ(resultRowName(ToolLine, 0), 0);

    MeasureItem area;
    area.type = -ToolArea;
    area.result = area.result2 = 4.0;
    EXPECT_EQ(resultRowText(area, 0, UnitUm)->unit, "um2");
    EXPECT_FALSE(resultRowText(area, 0, 7));
    // Angle rows ignore the unit code, even one outside 0..2.
    MeasureItem angle;
    angle.type = -ToolAngle;
    angle.result = 33.33;
    EXPECT_EQ(resultRowText(angle, 0, 9)->value, "33.3");
}
