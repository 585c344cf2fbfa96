// The results rows as the measuring session keeps them: every kind of item, changes of calibration, edits,
// DELETE of any selection, CLEAR, undo and redo; what a view sees of each change; and the texts the CSV file
// writes.
#include <gtest/gtest.h>

#include <functional>

#include "imaging/DibImage.h"
#include "measure/CsvExport.h"
#include "measure/MeasureResults.h"
#include "measure/MeasureSession.h"
#include "measure/MeasureTestSupport.h"
#include "platform/Language.h"

namespace {

using Cells = ResultsModel::Cells;
using Table = std::vector<Cells>;
// Type, value and unit of a row; the number is its place in the table.
using Texts = std::array<QString, 3>;

Table numbered(const std::vector<Texts>& rows)
{
    Table table;
    for (const Texts& r : rows)
        table.push_back({ QString::number(table.size()), r[0], r[1], r[2] });
    return table;
}

// Entries of the table the scenes select.
enum : int32_t { EntryMm = 1, EntryUm = 2, EntryUncalibrated = 3, EntryUnknownUnit = 4 };

// One item of every kind finished in mm at 0.01 mm per pixel, giving the rows:
//   0 line of 50 px, 1 area of 20 x 10 px, 2 circle of diameter 10 px, 3-5 two circles (10 and 20 px,
//   centres 50 px apart), 6 perpendicular of 30 px, 7 angle of 90 degrees.
struct Scene {
    MeasureSession session { [n = 100]() mutable { return n += 7; } };
    DibImage picture;

    Scene()
    {
        g_bJapanese = 0;
        picture.Create(200, 150, 24);
        session.calibration()[EntryMm] = calibration(UnitMm, 0.01, 0.01);
        session.calibration()[EntryUm] = calibration(UnitUm, 10.0, 20.0);
        session.calibration()[EntryUncalibrated] = calibration(UnitMm, 0.0, 0.0);
        session.calibration()[EntryUnknownUnit] = calibration(7, 1.0, 1.0);
        select(EntryMm);
        add(building(ToolLine, { { 0.0, 0.0 }, { 30.0, 40.0 } }));
        add(building(ToolArea, { { 10.0, 10.0 }, { 30.0, 10.0 }, { 30.0, 20.0 }, { 10.0, 20.0 } }));
        add(building(ToolCircle, { { 15.0, 20.0 }, { 10.0, 25.0 }, { 5.0, 20.0 } }));
        add(building(ToolCircle2,
            { { 15.0, 20.0 }, { 10.0, 25.0 }, { 5.0, 20.0 }, { 50.0, 60.0 }, { 40.0, 70.0 }, { 30.0, 60.0 } }));
        session.add(makePerpendicular(building(ToolPerpendicular, { { 0.0, 0.0 }, { 100.0, 0.0 }, { 40.0, 30.0 } }),
            session.selectedCalib()));
        add(building(ToolAngle, { { 10.0, 0.0 }, { 0.0, 0.0 }, { 0.0, 10.0 } }));
    }

    void select(int32_t index) { session.selectCalibration(index, &picture); }
    void add(MeasureItem item)
    {
        finishItem(item, session.selectedCalib(), &picture);
        session.add(item);
    }
    void deleteRows(const std::vector<int>& rows) { session.deleteItems(session.results().itemsOfRows(rows)); }
    MeasureItem& itemOfRow(int row)
    {
        session.items().findById(session.results().itemIdAt(row));
        return *session.items().current();
    }
    Table texts() const { return session.results().texts(); }
};

const Texts kLine { "Length", "0.500", "mm" };
const Texts kArea { "Polygon area", "0.020", "mm2" };
const Texts kCircle { "Circle diameter", "0.100", "mm" };
const Texts kCircle2b { "Circle diameter", "0.200", "mm" };
const Texts kCircle2d { "Circle distance", "0.500", "mm" };
const Texts kPerp { "Length", "0.300", "mm" };
const Texts kAngle { "Angle", "90.0", "°" };
const std::vector<Texts> kAll { kLine, kArea, kCircle, kCircle, kCircle2b, kCircle2d, kPerp, kAngle };
// The same items at 10 um per pixel across, 20 down.
const std::vector<Texts> kAllUm { { "Length", "500.00", "um" }, { "Polygon area", "40000.00", "um2" },
    { "Circle diameter", "100.00", "um" }, { "Circle diameter", "100.00", "um" }, { "Circle diameter", "200.00", "um" },
    { "Circle distance", "500.00", "um" }, { "Length", "300.00", "um" }, kAngle };

struct Case {
    const char* name;
    std::function<void(Scene&)> act;
    std::vector<Texts> rows;
};

} // namespace

TEST(ResultsModel, RowsFollowTheItems)
{
    const auto untouched = [](Scene&) {};
    const Case cases[] = {
        { "every kind in the calibration's unit", untouched, kAll },
        { "mm to um: every row but the angle's", [](Scene& s) { s.select(EntryUm); }, kAllUm },
        { "uncalibrated: every value 0, the angle kept", [](Scene& s) { s.select(EntryUncalibrated); },
            { { "Length", "0.000", "mm" }, { "Polygon area", "0.000", "mm2" }, { "Circle diameter", "0.000", "mm" },
                { "Circle diameter", "0.000", "mm" }, { "Circle diameter", "0.000", "mm" },
                { "Circle distance", "0.000", "mm" }, { "Length", "0.000", "mm" }, kAngle } },
        // The area comes from its vertices: "0.020 mm2" must not stay, nor turn into "0.02 um2".
        { "without a picture the area follows too", [](Scene& s) { s.session.selectCalibration(EntryUm, nullptr); },
            kAllUm },
        // A number must not stand beside a unit it was not computed in.
        { "a unit code the program cannot name shows no value", [](Scene& s) { s.select(EntryUnknownUnit); },
            { { "Length", "", "" }, { "Polygon area", "", "" }, { "Circle diameter", "", "" },
                { "Circle diameter", "", "" }, { "Circle diameter", "", "" }, { "Circle distance", "", "" },
                { "Length", "", "" }, kAngle } },
        { "no selection: the first entry (cm, 0.05 per pixel)", [](Scene& s) { s.select(-1); },
            { { "Length", "2.50", "cm" }, { "Polygon area", "0.50", "cm2" }, { "Circle diameter", "0.50", "cm" },
                { "Circle diameter", "0.50", "cm" }, { "Circle diameter", "1.00", "cm" },
                { "Circle distance", "2.50", "cm" }, { "Length", "1.50", "cm" }, kAngle } },
        { "an edit of the second circle changes its row alone",
            [](Scene& s) {
                MeasureItem& two = s.itemOfRow(4);
                two.radius2 = 15.0;
                two.result2 = 2.0 * two.radius2 * 0.01;
                s.session.itemsChanged();
            },
            { kLine, kArea, kCircle, kCircle, { "Circle diameter", "0.300", "mm" }, kCircle2d, kPerp, kAngle } },
        { "an item of a type without results adds no row", [](Scene& s) { s.session.add(MeasureItem {}); }, kAll },
        { "DELETE by the last row of two circles", [](Scene& s) { s.deleteRows({ 5 }); },
            { kLine, kArea, kCircle, kPerp, kAngle } },
        { "DELETE by two rows of two circles", [](Scene& s) { s.deleteRows({ 4, 5 }); },
            { kLine, kArea, kCircle, kPerp, kAngle } },
        { "DELETE of two circles' last row and the next item's", [](Scene& s) { s.deleteRows({ 5, 6 }); },
            { kLine, kArea, kCircle, kAngle } },
        { "DELETE of the ends, all of two circles, repeats and rows that are not there",
            [](Scene& s) { s.deleteRows({ 0, 3, 4, 5, 7, 7, 99, -1 }); }, { kArea, kCircle, kPerp } },
        { "DELETE with nothing selected", [](Scene& s) { s.deleteRows({}); }, kAll },
        { "undo after DELETE", [](Scene& s) { s.deleteRows({ 4 }); s.session.undo(&s.picture); }, kAll },
        { "undo after DELETE and another calibration",
            [](Scene& s) { s.deleteRows({ 0, 7 }); s.select(EntryUm); s.session.undo(&s.picture); }, kAllUm },
        { "redo of DELETE",
            [](Scene& s) { s.deleteRows({ 1 }); s.session.undo(&s.picture); s.session.redo(&s.picture); },
            { kLine, kCircle, kCircle, kCircle2b, kCircle2d, kPerp, kAngle } },
        { "CLEAR, then the numbering starts again",
            [](Scene& s) { s.session.clear(); s.add(building(ToolLine, { { 0.0, 0.0 }, { 30.0, 40.0 } })); },
            { kLine } },
    };
    for (const Case& c : cases) {
        Scene s;
        c.act(s);
        EXPECT_EQ(s.texts(), numbered(c.rows)) << c.name;
        // Every row names an item of the list, and each item's rows stand together.
        for (int r = 0; r < s.session.results().rowCount(); ++r)
            EXPECT_TRUE(s.session.items().findById(s.session.results().itemIdAt(r))) << c.name << " row " << r;
    }
}

TEST(ResultsModel, RowsMapToTheirItems_TheScaleBarTakesTheCalibration)
{
    Scene s;
    const ResultsModel& m = s.session.results();
    const int32_t two = m.itemIdAt(3);
    EXPECT_EQ(m.itemIdAt(5), two);
    EXPECT_EQ(m.itemIdAt(8), 0);
    EXPECT_EQ(m.itemsOfRows({ 6, 5, 4, 3, 6 }), (std::vector<int32_t> { m.itemIdAt(6), two }));
    EXPECT_EQ(m.rowsOfItems({ two, m.itemIdAt(0) }), (std::vector<int> { 0, 3, 4, 5 }));
    EXPECT_EQ(m.headerData(ResultsModel::ColumnNo, Qt::Horizontal).toString(), "No.");
    EXPECT_EQ(m.headerData(ResultsModel::ColumnUnit, Qt::Horizontal).toString(), "Unit");
    EXPECT_EQ(m.index(7, ResultsModel::ColumnType).data().toString(), "Angle");

    s.select(EntryUm);
    EXPECT_EQ(s.session.scale().unit, UnitUm);
    EXPECT_EQ(s.session.scale().mppX, 10.0);
    EXPECT_EQ(s.session.scale().mppY, 20.0);
    EXPECT_EQ(s.session.calibIndex(), EntryUm);
}

// A view keeps its selection through edits and appends: only DELETE, CLEAR and undo start it afresh.
TEST(ResultsModel, ViewsHearEditsAsChangedValuesAndAppendsAsNewRows)
{
    Scene s;
    ResultsModel& m = s.session.results();
    int changed = 0, inserted = 0, resets = 0;
    QObject::connect(&m, &QAbstractItemModel::dataChanged, [&] { ++changed; });
    QObject::connect(&m, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
        inserted += last - first + 1;
    });
    QObject::connect(&m, &QAbstractItemModel::modelReset, [&] { ++resets; });
    const QPersistentModelIndex selected = m.index(4, 0);

    s.itemOfRow(0).result = 1.0;
    s.session.itemsChanged();
    s.select(EntryUm);
    s.add(building(ToolCircle2,
        { { 15.0, 20.0 }, { 10.0, 25.0 }, { 5.0, 20.0 }, { 50.0, 60.0 }, { 40.0, 70.0 }, { 30.0, 60.0 } }));
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(inserted, 3);
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(selected.row(), 4);

    s.deleteRows({ 0 });
    s.session.undo(&s.picture);
    s.session.clear();
    EXPECT_EQ(resets, 3);
    EXPECT_EQ(m.rowCount(), 0);
}

TEST(ResultsModel, TheListShowsTheDegreeSign_TheCsvKeepsTheBytesItAlwaysWrote)
{
    const struct {
        int japanese;
        QByteArray angleLine; // the angle's row in the CSV file
    } cases[] = {
        { 0, "7,Angle,90.0,degree\r\n" },
        { 1, "7," + QByteArray::fromHex("8a709378") + ",90.0,\xb0\r\n" }, // 角度 and the half-width sign in CP932
    };
    for (const auto& c : cases) {
        Scene s;
        g_bJapanese = c.japanese;
        const ResultsModel& model = s.session.results();
        EXPECT_EQ(model.data(model.index(7, ResultsModel::ColumnUnit)).toString(), QString::fromUtf8("°"));
        EXPECT_EQ(model.texts()[7][ResultsModel::ColumnUnit], QString::fromUtf8("°"));
        EXPECT_TRUE(CsvExport::Format(model.texts(TextUse::File), c.japanese != 0).endsWith(c.angleLine))
            << c.japanese;
        g_bJapanese = 0;
    }
}
