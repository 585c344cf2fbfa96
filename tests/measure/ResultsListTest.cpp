// The results list: rows follow their items through a change of calibration, DELETE and CLEAR.
#include <gtest/gtest.h>

#include "calib/CalibEntry.h"
#include "calib/CalibTable.h"
#include "imaging/DibImage.h"
#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"
#include "measure/MeasureTestSupport.h"
#include "measure/ResultsList.h"
#include "platform/Language.h"

namespace {

CalibEntry calib(int32_t unit, double mpp) { return calibration(unit, mpp, mpp); }

// One item of every kind finished in mm at 0.01 mm per pixel, with their rows:
//   0 line of 50 px, 1 area of 20 x 10 px, 2 circle of diameter 10 px, 3-5 two circles (10 and 20 px,
//   centres 50 px apart), 6 perpendicular of 30 px, 7 angle of 90 degrees.
struct Scene {
    MeasureList list{[n = 100]() mutable { return n += 7; }};
    ResultsList results;
    DibImage picture;

    Scene()
    {
        g_bJapanese = 0;
        picture.Create(200, 150, 24);
        const CalibEntry mm = calib(UnitMm, 0.01);
        add(building(ToolLine, {{0.0, 0.0}, {30.0, 40.0}}), mm);
        add(building(ToolArea, {{10.0, 10.0}, {29.0, 10.0}, {29.0, 19.0}, {10.0, 19.0}}), mm);
        add(building(ToolCircle, {{15.0, 20.0}, {10.0, 25.0}, {5.0, 20.0}}), mm);
        add(building(ToolCircle2,
                     {{15.0, 20.0}, {10.0, 25.0}, {5.0, 20.0}, {50.0, 60.0}, {40.0, 70.0}, {30.0, 60.0}}),
            mm);
        MeasureItem perp = building(ToolPerpendicular, {{0.0, 0.0}, {100.0, 0.0}, {40.0, 30.0}});
        add(makePerpendicular(perp, mm), mm);
        add(building(ToolAngle, {{10.0, 0.0}, {0.0, 0.0}, {0.0, 10.0}}), mm);
    }

    void add(MeasureItem item, const CalibEntry& c)
    {
        finishItem(item, c, &picture);
        results.AddResultRow(list.append(item));
    }

    MeasureItem& itemOf(int32_t row)
    {
        list.findById(results.rows()[size_t(row)].itemId);
        return *list.current();
    }

    std::vector<ResultCells> texts() const { return results.texts(); }
};

using Table = std::vector<ResultCells>;

}  // namespace

TEST(ResultsList, RowsOfEveryKindInTheCalibrationsUnit)
{
    Scene s;
    EXPECT_EQ(s.texts(), (Table{{"0", "Length", "0.500", "mm"},
                                {"1", "Polygon area", "0.020", "mm2"},
                                {"2", "Circle diameter", "0.100", "mm"},
                                {"3", "Circle diameter", "0.100", "mm"},
                                {"4", "Circle diameter", "0.200", "mm"},
                                {"5", "Circle distance", "0.500", "mm"},
                                {"6", "Length", "0.300", "mm"},
                                {"7", "Angle", "90.0", "degree"}}));
    // Each row names the item append returned, the two circles' rows their results 0, 1, 2.
    EXPECT_EQ(s.results.FirstRowOf(s.itemOf(4).id), 3);
    EXPECT_EQ(s.results.rows()[4].part, 1);
    EXPECT_EQ(s.results.rows()[5].part, 2);
    // A failed append (null) adds no row, rather than one for whatever item came before.
    EXPECT_EQ(s.results.AddResultRow(nullptr), -1);
    EXPECT_EQ(s.results.count(), 8);
}

TEST(ResultsList, MmToUm_RewritesEveryNonAngleRow_ScaleBarGetsTheFactors)
{
    Scene s;
    const ScaleFactors f = s.results.Recalculate(s.list, calib(UnitUm, 10.0), &s.picture);
    EXPECT_EQ(f.unit, UnitUm);
    EXPECT_EQ(f.mppX, 10.0);
    EXPECT_EQ(f.mppY, 10.0);
    EXPECT_EQ(s.texts(), (Table{{"0", "Length", "500.00", "um"},
                                {"1", "Polygon area", "20000.00", "um2"},
                                {"2", "Circle diameter", "100.00", "um"},
                                {"3", "Circle diameter", "100.00", "um"},
                                {"4", "Circle diameter", "200.00", "um"},
                                {"5", "Circle distance", "500.00", "um"},
                                {"6", "Length", "300.00", "um"},
                                {"7", "Angle", "90.0", "degree"}}));
    EXPECT_EQ(s.itemOf(0).unit, UnitUm);
}

TEST(ResultsList, UncalibratedEntry_EveryValueZero_AnglesKept)
{
    Scene s;
    s.results.Recalculate(s.list, calib(UnitMm, 0.0), &s.picture);
    for (int32_t r = 0; r < 7; ++r)
        EXPECT_EQ(s.texts()[size_t(r)][ColumnValue], "0.000") << r;
    EXPECT_EQ(s.texts()[7][ColumnValue], "90.0");
}

TEST(ResultsList, AreaThatCannotBeRecountedKeepsItsValueAndUnit)
{
    Scene s;
    // Without the picture the area cannot be counted: "0.020 mm2" must not turn into "0.02 um2".
    s.results.Recalculate(s.list, calib(UnitUm, 10.0), nullptr);
    EXPECT_EQ(s.texts()[1], (ResultCells{"1", "Polygon area", "0.020", "mm2"}));
    EXPECT_EQ(s.itemOf(1).unit, UnitMm);
    EXPECT_EQ(s.texts()[0][ColumnUnit], "um");

    // A calibration whose unit code is out of range leaves every row as it stands.
    const Table before = s.texts();
    s.results.Recalculate(s.list, calib(7, 1.0), &s.picture);
    EXPECT_EQ(s.texts(), before);
}

TEST(ResultsList, TwoCircleRowsUpdatedInPlace)
{
    Scene s;
    MeasureItem& two = s.itemOf(3);
    // An edit of the second circle: its rows change in their order, nobody else's.
    two.radius2 = 15.0;
    two.result2 = 2.0 * two.radius2 * 0.01;
    const Table before = s.texts();
    s.results.UpdateItemRows(two);
    Table expected = before;
    expected[4][ColumnValue] = "0.300";
    EXPECT_EQ(s.texts(), expected);
    // A row that belongs to another item is not rewritten from this one.
    s.results.UpdateResultRow(2, two);
    s.results.UpdateResultRow(99, two);
    EXPECT_EQ(s.texts(), expected);
}

TEST(ResultsList, DeleteWithAnyRowOfTwoCirclesRemovesItsThreeRowsAndTheItem)
{
    for (int32_t selected : {3, 4, 5}) {
        Scene s;
        const int32_t id = s.itemOf(3).id;
        s.results.OnDeleteItems(s.list, {selected});
        EXPECT_EQ(s.list.count(), 5);
        EXPECT_FALSE(s.list.findById(id));
        EXPECT_EQ(s.results.FirstRowOf(id), -1);
        EXPECT_EQ(s.texts(), (Table{{"0", "Length", "0.500", "mm"},
                                    {"1", "Polygon area", "0.020", "mm2"},
                                    {"2", "Circle diameter", "0.100", "mm"},
                                    {"3", "Length", "0.300", "mm"},
                                    {"4", "Angle", "90.0", "degree"}}))
            << "selected row " << selected;
        // Every remaining row still names an item of the list.
        for (const ResultRow& row : s.results.rows())
            EXPECT_TRUE(s.list.findById(row.itemId));
    }
}

TEST(ResultsList, DeleteMixedSelections)
{
    {
        // The last row of two circles together with the next item's row: both items go, nothing else.
        Scene s;
        s.results.OnDeleteItems(s.list, {5, 6});
        EXPECT_EQ(s.list.count(), 4);
        EXPECT_EQ(s.texts(), (Table{{"0", "Length", "0.500", "mm"},
                                    {"1", "Polygon area", "0.020", "mm2"},
                                    {"2", "Circle diameter", "0.100", "mm"},
                                    {"3", "Angle", "90.0", "degree"}}));
    }
    {
        // All rows of two circles, the first and last rows, repeats and rows that do not exist.
        Scene s;
        s.results.OnDeleteItems(s.list, {0, 3, 4, 5, 7, 7, 99, -1});
        EXPECT_EQ(s.list.count(), 3);
        EXPECT_EQ(s.texts(), (Table{{"0", "Polygon area", "0.020", "mm2"},
                                    {"1", "Circle diameter", "0.100", "mm"},
                                    {"2", "Length", "0.300", "mm"}}));
    }
    {
        // Nothing selected: the rows keep their items and are numbered again.
        Scene s;
        s.results.OnDeleteItems(s.list, {});
        EXPECT_EQ(s.results.count(), 8);
        EXPECT_EQ(s.list.count(), 6);
    }
}

TEST(ResultsList, ClearRemovesEveryItemAndRow)
{
    Scene s;
    s.results.OnClearItems(s.list);
    EXPECT_EQ(s.results.count(), 0);
    EXPECT_TRUE(s.list.isEmpty());
    EXPECT_TRUE(s.texts().empty());
    // Numbering starts again at 0.
    s.add(building(ToolLine, {{0.0, 0.0}, {3.0, 4.0}}), calib(UnitCm, 1.0));
    EXPECT_EQ(s.texts(), (Table{{"0", "Length", "5.00", "cm"}}));
}

TEST(ResultsList, RowWithoutValueTextKeepsEmptyCells)
{
    // A calibration with an unknown unit code writes no value and no unit: the cells stay empty strings.
    Scene s;
    s.results.OnClearItems(s.list);
    s.add(building(ToolLine, {{0.0, 0.0}, {3.0, 4.0}}), calib(9, 1.0));
    EXPECT_EQ(s.texts(), (Table{{"0", "Length", "", ""}}));
}

TEST(ResultsList, SelchangeCalibUsesTheEntryTheComboNames)
{
    Scene s;
    CalibTable table;
    table[3].unit = UnitUm;
    table[3].mppX = 10.0;
    table[3].mppY = 20.0;
    const ScaleFactors f = s.results.OnSelchangeCalib(s.list, table, 3, &s.picture);
    EXPECT_EQ(f.mppY, 20.0);
    EXPECT_EQ(s.texts()[0][ColumnValue], "500.00");
    EXPECT_EQ(s.texts()[1][ColumnValue], "40000.00");  // 200 px x 10 x 20
    // No selection: the first entry (cm, 0.05 per pixel).
    s.results.OnSelchangeCalib(s.list, table, -1, &s.picture);
    EXPECT_EQ(s.texts()[0], (ResultCells{"0", "Length", "2.50", "cm"}));
}
