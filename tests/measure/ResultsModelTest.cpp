// The results rows as the measuring session keeps them: every kind of item, changes of calibration (also an
// opened picture's), edits, DELETE of any selection, CLEAR, a picture's items put in, undo and redo; what a
// view sees of each change; the texts the CSV file writes; and the measurement document a picture carries.
#include <gtest/gtest.h>

#include <functional>

#include "imaging/DibImage.h"
#include "support/EdgePictures.h"
#include "measure/CsvExport.h"
#include "measure/MeasureResults.h"
#include "measure/MeasureSession.h"
#include "measure/MeasureTestSupport.h"
#include "measure/PictureNotes.h"
#include "measure/Recipe.h"
#include "platform/Language.h"

#include <QColor>
#include <cmath>

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

// The same items with the first entry of the table: 0.05 cm per pixel.
const std::vector<Texts> kAllFirst { { "Length", "2.50", "cm" }, { "Polygon area", "0.50", "cm2" },
    { "Circle diameter", "0.50", "cm" }, { "Circle diameter", "0.50", "cm" }, { "Circle diameter", "1.00", "cm" },
    { "Circle distance", "2.50", "cm" }, { "Length", "1.50", "cm" }, kAngle };
constexpr int32_t kFromFile = CalibTable::kCount;

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
        { "no selection: the first entry (cm, 0.05 per pixel)", [](Scene& s) { s.select(-1); }, kAllFirst },
        { "the picture's calibration selected",
            [](Scene& s) {
                s.session.setFileCalibration(calibration(UnitUm, 10.0, 20.0));
                s.select(kFromFile);
            },
            kAllUm },
        { "the picture's calibration replaced while selected",
            [](Scene& s) {
                s.session.setFileCalibration(calibration(UnitCm, 1.0, 1.0));
                s.select(kFromFile);
                s.session.setFileCalibration(calibration(UnitUm, 10.0, 20.0));
            },
            kAllUm },
        { "the picture's calibration gone while selected: the first entry",
            [](Scene& s) {
                s.session.setFileCalibration(calibration(UnitUm, 10.0, 20.0));
                s.select(kFromFile);
                s.session.setFileCalibration(std::nullopt);
            },
            kAllFirst },
        { "the picture's calibration asked for when there is none: the first entry",
            [](Scene& s) { s.select(kFromFile); }, kAllFirst },
        { "a picture's items replace the list, computed with the calibration selected",
            [](Scene& s) {
                s.select(EntryUm);
                s.session.replaceItems({ s.itemOfRow(0), s.itemOfRow(7) }, &s.picture);
            },
            { kAllUm[0], kAngle } },
        { "undo after a picture's items came",
            [](Scene& s) {
                s.session.replaceItems({ s.itemOfRow(1) }, &s.picture);
                s.session.undo(&s.picture);
            },
            kAll },
        { "redo of a picture's items",
            [](Scene& s) {
                s.session.replaceItems({ s.itemOfRow(1) }, &s.picture);
                s.session.undo(&s.picture);
                s.session.redo(&s.picture);
            },
            { kArea } },
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
        { "DELETE by two rows of two circles",
            [](Scene& s) {
                s.deleteRows({ 4, 5 });
            },
            { kLine, kArea, kCircle, kPerp, kAngle } },
        { "DELETE of two circles' last row and the next item's",
            [](Scene& s) {
                s.deleteRows({ 5, 6 });
            },
            { kLine, kArea, kCircle, kAngle } },
        { "DELETE of the ends, all of two circles, repeats and rows that are not there",
            [](Scene& s) {
                s.deleteRows({ 0, 3, 4, 5, 7, 7, 99, -1 });
            },
            { kArea, kCircle, kPerp } },
        { "DELETE with nothing selected", [](Scene& s) { s.deleteRows({}); }, kAll },
        { "undo after DELETE",
            [](Scene& s) {
                s.deleteRows({ 4 });
                s.session.undo(&s.picture);
            },
            kAll },
        { "undo after DELETE and another calibration",
            [](Scene& s) {
                s.deleteRows({ 0, 7 });
                s.select(EntryUm);
                s.session.undo(&s.picture);
            },
            kAllUm },
        { "redo of DELETE",
            [](Scene& s) {
                s.deleteRows({ 1 });
                s.session.undo(&s.picture);
                s.session.redo(&s.picture);
            },
            { kLine, kCircle, kCircle, kCircle2b, kCircle2d, kPerp, kAngle } },
        { "CLEAR, then the numbering starts again",
            [](Scene& s) {
                s.session.clear();
                s.add(building(ToolLine, { { 0.0, 0.0 }, { 30.0, 40.0 } }));
            },
            { kLine } },
    };
    for (const Case& c : cases) {
        Scene s;
        c.act(s);
        EXPECT_EQ(s.texts(), numbered(c.rows)) << c.name;
        // The settings remember a table entry, whatever is selected.
        EXPECT_GE(s.session.storedCalibIndex(), 0) << c.name;
        EXPECT_LT(s.session.storedCalibIndex(), CalibTable::kCount) << c.name;
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

    // The picture's calibration is used, never stored: the table and the remembered entry stay.
    s.session.setFileCalibration(calibration(UnitCm, 0.25, 0.5));
    s.select(kFromFile);
    EXPECT_EQ(s.session.calibIndex(), kFromFile);
    EXPECT_EQ(s.session.storedCalibIndex(), EntryUm);
    EXPECT_EQ(s.session.selectedCalib().position, kFromFile);
    EXPECT_EQ(s.session.scale().unit, UnitCm);
    EXPECT_EQ(s.session.scale().mppY, 0.5);
    EXPECT_EQ(s.session.calibration()[EntryUm].mppX, 10.0);
    // Nothing is recorded when nothing changes.
    const size_t steps = s.session.history().undoSteps();
    s.session.clear();
    s.session.replaceItems({}, &s.picture);
    EXPECT_EQ(s.session.history().undoSteps(), steps + 1);
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

// What a saved picture carries comes back as it was: every kind, a circle whose centre was dragged off its
// three points, the calibration's factors bit for bit; the results worked out again are those shown before.
TEST(PictureNotes, EveryKindAndTheCalibrationComeBack)
{
    Scene s;
    s.session.calibration()[EntryUm].name = "Bench";
    s.select(EntryUm);
    s.itemOfRow(2).center1 = { 17.0, 21.0 };
    s.itemOfRow(2).radius1 = 7.5;
    s.select(EntryUm);
    QStringList ignored;
    const std::optional<PictureNotes> notes
        = DecodeNotes(EncodeNotes(s.session.selectedCalib(), s.session.items()), ignored);
    ASSERT_TRUE(notes);
    EXPECT_TRUE(ignored.isEmpty()) << ignored.join(',').toStdString();
    ASSERT_TRUE(notes->calib);
    EXPECT_EQ(notes->calib->name, "Bench");
    EXPECT_EQ(notes->calib->unit, UnitUm);
    EXPECT_EQ(notes->calib->mppX, 10.0);
    EXPECT_EQ(notes->calib->mppY, 20.0);
    CalibEntry recomputed = *notes->calib;
    recomputed.recomputeFactors();
    EXPECT_EQ(recomputed.mppX, 10.0);
    EXPECT_EQ(recomputed.mppY, 20.0);

    ASSERT_EQ(notes->items.size(), size_t(s.session.items().count()));
    auto original = s.session.items().begin();
    for (const MeasureItem& item : notes->items) {
        EXPECT_EQ(item.type, original->type);
        ASSERT_EQ(item.pointCount, original->pointCount) << item.type;
        for (int32_t i = 0; i < item.pointCount; ++i) {
            EXPECT_EQ(item.point(i).x, original->point(i).x) << item.type << " point " << i;
            EXPECT_EQ(item.point(i).y, original->point(i).y) << item.type << " point " << i;
        }
        ++original;
    }

    Scene opened;
    opened.session.setFileCalibration(notes->calib);
    opened.select(kFromFile);
    opened.session.replaceItems(notes->items, &opened.picture);
    EXPECT_EQ(opened.texts(), s.texts());
    const std::vector<ResultsModel::Row> before = ResultsModel::rowsOf(s.session.items());
    const std::vector<ResultsModel::Row> after = ResultsModel::rowsOf(opened.session.items());
    ASSERT_EQ(after.size(), before.size());
    for (size_t r = 0; r < before.size(); ++r)
        EXPECT_EQ(resultRowValue(*after[r].item, after[r].part), resultRowValue(*before[r].item, before[r].part)) << r;
}

// Documents that are broken, not ours or out of bounds: nothing is taken that does not hold up, and what is
// left out is named.
TEST(PictureNotes, WhatDoesNotHoldUpIsLeftOutAndNamed)
{
    const QByteArray head = R"({"format":"nxviewer-measurements","version":1,)";
    const QByteArray calib = R"("calibration":{"name":"C","unit":"mm","unitsPerPixelX":0.5,"unitsPerPixelY":0.5})";
    const QByteArray line = R"({"kind":"length","points":[[0,0],[3,4]]})";
    const auto doc = [&](const QByteArray& calibration, const QByteArray& items) {
        return head + calibration + (calibration.isEmpty() ? "" : ",") + R"("measurements":[)" + items + "]}";
    };
    const auto lines = [&](int n) {
        QByteArray items;
        for (int i = 0; i < n; ++i)
            items += (i ? "," : "") + line;
        return items;
    };
    const struct {
        const char* name;
        QByteArray json;
        int items; // -1: nothing read
        bool calibration;
        QStringList ignored;
    } cases[] = {
        { "not JSON", "\x89PNG{\"format\":", -1, false, { "measurements" } },
        { "nothing", "", -1, false, { "measurements" } },
        { "an array", "[1,2]", -1, false, { "measurements" } },
        { "another format", R"({"format":"other","version":1,"measurements":[]})", -1, false, { "measurements" } },
        { "another version", R"({"format":"nxviewer-measurements","version":2})", -1, false, { "measurements" } },
        { "our document", doc(calib, line), 1, true, {} },
        { "no calibration", doc("", line), 1, false, {} },
        { "too many items", doc(calib, lines(notes::kMaxMeasurements + 3)), notes::kMaxMeasurements, true,
            { "3 measurements" } },
        // Qt's reader refuses the whole document.
        { "a number beyond double", doc(calib, line + R"(,{"kind":"length","points":[[1e999,0],[3,4]]})"), -1, false,
            { "measurements" } },
        { "absurd coordinates", doc(calib, R"({"kind":"angle","points":[[0,0],[2e7,4],[1,1]]})"), 0, true,
            { "1 measurement" } },
        { "wrong point counts",
            doc(calib,
                R"({"kind":"length","points":[[0,0],[3,4],[5,5]]},{"kind":"angle","points":[[0,0],[1,1]]},)"
                R"({"kind":"circle-distance","points":[[0,0],[1,1],[2,0],[5,5],[6,6]]},{"kind":"area","points":[]},)"
                R"({"kind":"perpendicular","points":[[0,0],[1,1],[2,2],[3,3]]},{"kind":"circle","points":[[0,0],[1,1],[2,0]]})"),
            1, true, { "5 measurements" } },
        { "an area of too many corners",
            doc(calib,
                R"({"kind":"area","points":[)" + QByteArray("[1,2],").repeated(notes::kMaxAreaPoints) + "[1,2]]}"),
            0, true, { "1 measurement" } },
        { "points that are no points",
            doc(calib,
                R"({"kind":"length","points":[["1","2"],[3,4]]},{"kind":"length","points":[[1],[3,4]]},)"
                R"({"kind":"length","points":"x"},{"kind":"length"},7,null)"),
            0, true, { "6 measurements" } },
        { "a kind that is none", doc(calib, R"({"kind":")" + QByteArray(100000, 'k') + R"(","points":[[0,0],[3,4]]})"),
            0, true, { "1 measurement" } },
        { "bad circles",
            doc(calib,
                R"({"kind":"circle","points":[[0,0],[1,1],[2,0]],"circles":[{"center":[1,0],"radius":-1}]},)"
                R"({"kind":"circle","points":[[0,0],[1,1],[2,0]],"circles":[]})"),
            0, true, { "2 measurements" } },
        // Points almost on a line fit a circle far beyond the bounds: it could not be written back.
        { "a circle through points almost on a line",
            doc(calib, R"({"kind":"circle","points":[[500,400],[560,460460],[500,520]]})"), 0, true,
            { "1 measurement" } },
        { "an unknown unit",
            doc(R"("calibration":{"name":"C","unit":"inch","unitsPerPixelX":1,"unitsPerPixelY":1})", line), 1, false,
            { "calibration" } },
        { "a factor of 0", doc(R"("calibration":{"name":"C","unit":"mm","unitsPerPixelX":0,"unitsPerPixelY":1})", line),
            1, false, { "calibration" } },
        { "a negative factor",
            doc(R"("calibration":{"name":"C","unit":"mm","unitsPerPixelX":1,"unitsPerPixelY":-1})", line), 1, false,
            { "calibration" } },
        { "a factor as text",
            doc(R"("calibration":{"name":"C","unit":"mm","unitsPerPixelX":"1","unitsPerPixelY":1})", ""), 0, false,
            { "calibration" } },
        { "a huge name is cut",
            doc(R"("calibration":{"name":")" + QByteArray(100000, 'n')
                    + R"(","unit":"um","unitsPerPixelX":1,"unitsPerPixelY":1})",
                ""),
            0, true, {} },
        { "measurements that are no list", head + calib + R"(,"measurements":{}})", 0, true, { "measurements" } },
    };
    for (const auto& c : cases) {
        QStringList ignored;
        const std::optional<PictureNotes> notes = DecodeNotes(c.json, ignored);
        EXPECT_EQ(ignored, c.ignored) << c.name;
        ASSERT_EQ(notes.has_value(), c.items >= 0) << c.name;
        if (!notes)
            continue;
        EXPECT_EQ(int(notes->items.size()), c.items) << c.name;
        ASSERT_EQ(notes->calib.has_value(), c.calibration) << c.name;
        if (notes->calib) {
            EXPECT_LE(notes->calib->name.size(), notes::kMaxNameLength) << c.name;
        }
    }
}

namespace {

// The item of a table row and the value its tolerance judges.
struct Judged {
    int row;     // a row of the scene's item
    double main; // its main result in mm (mm2, degrees)
};
// Line, area, circle, two circles (any of its rows: the distance is judged), perpendicular, angle.
const Judged kJudged[] = { { 0, 0.5 }, { 1, 0.02 }, { 2, 0.1 }, { 3, 0.5 }, { 5, 0.5 }, { 6, 0.3 }, { 7, 90.0 } };

std::vector<QString> verdictColumn(const MeasureSession& session)
{
    std::vector<QString> texts;
    const ResultsModel& model = session.results();
    for (int r = 0; r < model.rowCount(); ++r)
        texts.push_back(model.index(r, ResultsModel::ColumnVerdict).data().toString());
    return texts;
}

} // namespace

TEST(Tolerance, VerdictsAtAndBeyondTheLimitsOfEveryKind)
{
    // Offsets of the nominal from the result, and the limits: the limits themselves pass.
    struct Limits {
        double offset, upper, lower;
        Verdict verdict;
    };
    const Limits kLimits[] = { { 0.0, 0.0, 0.0, Verdict::Pass }, { -0.25, 0.25, 0.0, Verdict::Pass },
        { 0.25, 0.0, 0.25, Verdict::Pass }, { -0.25, 0.125, 1.0, Verdict::Fail }, { 0.25, 1.0, 0.125, Verdict::Fail } };
    for (const Judged& j : kJudged) {
        for (const Limits& l : kLimits) {
            Scene s;
            MeasureItem& item = s.itemOfRow(j.row);
            const double main = resultRowValue(item, mainResultRow(item.type));
            ASSERT_NEAR(main, j.main, 1e-12) << j.row;
            // Scaled to the value so that the small areas are judged at their size.
            const double scale = main < 1.0 ? main : 1.0;
            s.session.setTolerance(item.id, Tolerance { main + l.offset * scale, l.upper * scale, l.lower * scale });
            EXPECT_EQ(itemVerdict(item), l.verdict) << "row " << j.row << " offset " << l.offset;
        }
    }
    // A result that is not finite fails whatever the limits.
    for (double bad : { std::nan(""), HUGE_VAL, -HUGE_VAL })
        EXPECT_EQ(judge({ 0.0, 1e300, 1e300 }, bad), Verdict::Fail);
}

TEST(Tolerance, TheListShowsVerdictsOnTheMainRowInColourAndBothLanguages)
{
    Scene s;
    EXPECT_EQ(s.session.results().columnCount(), 4);
    s.session.setTolerance(s.itemOfRow(3).id, Tolerance { 0.5, 0.01, 0.01 }); // two circles: pass
    s.session.setTolerance(s.itemOfRow(7).id, Tolerance { 45.0, 1.0, 1.0 });  // angle: fails
    const ResultsModel& model = s.session.results();
    ASSERT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.headerData(ResultsModel::ColumnVerdict, Qt::Horizontal).toString(), "Verdict");
    EXPECT_EQ(verdictColumn(s.session), (std::vector<QString> { "", "", "", "", "", "OK", "", "NG" }));
    EXPECT_EQ(model.index(5, ResultsModel::ColumnValue).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 176, 0));
    EXPECT_EQ(model.index(7, ResultsModel::ColumnValue).data(Qt::ForegroundRole).value<QColor>(), QColor(230, 0, 0));
    EXPECT_FALSE(model.index(3, ResultsModel::ColumnValue).data(Qt::ForegroundRole).isValid());
    // The CSV export's rows keep their four fields.
    EXPECT_EQ(model.texts(), numbered(kAll));
    g_bJapanese = 1;
    EXPECT_EQ(verdictColumn(s.session)[5], "合格");
    EXPECT_EQ(verdictColumn(s.session)[7], "不合格");
    g_bJapanese = 0;
    s.session.setTolerance(s.itemOfRow(3).id, std::nullopt);
    s.session.setTolerance(s.itemOfRow(7).id, std::nullopt);
    EXPECT_EQ(model.columnCount(), 4);
}

TEST(Tolerance, SetIsUndoneAndRedone_InvalidIsRefused_UnitChangesKeepTheLimits)
{
    Scene s;
    const int32_t id = s.itemOfRow(0).id;
    const size_t steps = s.session.history().undoSteps();
    for (const Tolerance& bad : { Tolerance { 0.5, -0.1, 0.1 }, Tolerance { std::nan(""), 0.1, 0.1 },
             Tolerance { 0.5, 0.1, HUGE_VAL } })
        s.session.setTolerance(id, bad);
    EXPECT_EQ(s.session.history().undoSteps(), steps);
    s.session.setTolerance(id, Tolerance { 0.5, 0.01, 0.02 });
    EXPECT_EQ(s.session.history().undoSteps(), steps + 1);
    ASSERT_TRUE(s.session.undo(&s.picture));
    EXPECT_FALSE(s.itemOfRow(0).tolerance);
    ASSERT_TRUE(s.session.redo(&s.picture));
    ASSERT_TRUE(s.itemOfRow(0).tolerance);
    EXPECT_EQ(s.itemOfRow(0).tolerance->lower, 0.02);
    // 0.5 mm is 500 um: the same limits, in the new unit; an area's by the square.
    s.session.setTolerance(s.itemOfRow(1).id, Tolerance { 0.02, 0.001, 0.001 });
    s.select(EntryUm);
    EXPECT_NEAR(s.itemOfRow(0).tolerance->nominal, 500.0, 1e-9);
    EXPECT_NEAR(s.itemOfRow(0).tolerance->lower, 20.0, 1e-9);
    EXPECT_NEAR(s.itemOfRow(1).tolerance->nominal, 20000.0, 1e-6);
    EXPECT_EQ(itemVerdict(s.itemOfRow(0)), Verdict::Pass);
}

TEST(Tolerance, ThePicturesDocumentCarriesThem_ABadOneIsLeftOutAndNamed)
{
    Scene s;
    s.session.setTolerance(s.itemOfRow(5).id, Tolerance { 0.5, 0.01, 0.02 });
    QStringList ignored;
    auto notes = DecodeNotes(EncodeNotes(s.session.selectedCalib(), s.session.items()), ignored);
    ASSERT_TRUE(notes);
    EXPECT_TRUE(ignored.isEmpty());
    ASSERT_EQ(notes->items.size(), 6u);
    EXPECT_EQ(notes->items[3].tolerance, (Tolerance { 0.5, 0.01, 0.02 }));
    EXPECT_FALSE(notes->items[0].tolerance);

    QByteArray json = EncodeNotes(s.session.selectedCalib(), s.session.items());
    json.replace("\"upper\":0.01", "\"upper\":-1");
    notes = DecodeNotes(json, ignored);
    ASSERT_TRUE(notes);
    EXPECT_EQ(ignored, QStringList { "tolerance" });
    ASSERT_EQ(notes->items.size(), 6u);
    EXPECT_FALSE(notes->items[3].tolerance);
}

TEST(Recipe, RoundTripAppliedToTheNextPictureWithVerdicts)
{
    Scene s;
    s.session.setTolerance(s.itemOfRow(0).id, Tolerance { 0.5, 0.01, 0.01 });
    s.session.setTolerance(s.itemOfRow(1).id, Tolerance { 0.03, 0.001, 0.001 }); // fails
    s.session.setTolerance(s.itemOfRow(7).id, Tolerance { 90.0, 0.5, 0.5 });
    const QByteArray text = WriteRecipe(s.session.items());
    EXPECT_TRUE(text.startsWith("nxviewer-recipe 1\nlength 0 0 30 40 tol 0.5 0.01 0.01 mm\n")) << text.toStdString();
    QStringList ignored;
    const auto items = ReadRecipe(text, ignored);
    ASSERT_TRUE(items);
    EXPECT_TRUE(ignored.isEmpty());
    ASSERT_EQ(items->size(), 6u);

    // The next picture, measured in um: the part lies 3 pixels to the right; relocate finds it there.
    Scene next;
    next.session.clear();
    next.select(EntryUm);
    int relocated = 0;
    ApplyRecipe(next.session, *items, &next.picture, [&relocated](MeasureItem& item) {
        ++relocated;
        for (int32_t i = 0; i < item.pointCount; ++i)
            item.points[size_t(i)].x += 3.0;
    });
    EXPECT_EQ(relocated, 6);
    EXPECT_EQ(next.texts(), numbered(kAllUm));
    EXPECT_EQ(verdictColumn(next.session), (std::vector<QString> { "OK", "NG", "", "", "", "", "", "OK" }));
    EXPECT_NEAR(next.itemOfRow(2).center1.x, 13.0, 1e-9); // circles fitted where the points went
    ASSERT_TRUE(next.session.undo(&next.picture));
    EXPECT_TRUE(next.session.items().isEmpty());
}

TEST(Recipe, HostileOrBrokenInputIsBoundedAndNamed)
{
    const QByteArray longLine = "length 0 0 1 1" + QByteArray(recipe::kMaxLineBytes, ' ') + "\n";
    QByteArray manyItems = "nxviewer-recipe 1\n";
    for (int i = 0; i < notes::kMaxMeasurements + 2; ++i)
        manyItems += "angle 1 0 0 0 0 1\n";
    struct Case {
        const char* name;
        QByteArray text;
        std::optional<size_t> items; // none: refused
        QStringList ignored;
    };
    const Case kCases[] = {
        { "empty", "", std::nullopt, { "recipe" } },
        { "other format", "nxviewer-measurements 1\nlength 0 0 1 1\n", std::nullopt, { "recipe" } },
        { "newer version", "nxviewer-recipe 2\nlength 0 0 1 1\n", std::nullopt, { "recipe" } },
        { "header only, CR LF, comments", "nxviewer-recipe 1\r\n# none\r\n\r\n", 0, {} },
        { "tabs and CR LF", "nxviewer-recipe 1\r\nlength\t0 0  1 1 tol 1 0 0 cm\r\n", 1, {} },
        { "wrong counts, kinds, numbers",
            "nxviewer-recipe 1\nlength 0 0 1\ncircle 0 0 1 1\nsquare 0 0 1 1\nlength 0 0 nan 1\n"
            "length 0 0 1e8 1\nlength 0 0 1 1 tol 1 0 0\nlength 0 0 1 1 tol 1 -1 0 mm\n"
            "length 0 0 1 1 tol 1 0 0 deg\nangle 1 0 0 0 0 1 tol 90 1 1 mm\nlength 0x10 0 1 1\nlength 0 0 1 1\n",
            1, { "line 2", "line 3", "line 4", "line 5", "line 6", "line 7", "line 8", "line 9", "line 10", "line 11" } },
        { "line too long", "nxviewer-recipe 1\n" + longLine + "length 0 0 1 1\n", 1, { "line 2" } },
        { "too many items", manyItems, size_t(notes::kMaxMeasurements), { "2 measurements" } },
        { "too large", "nxviewer-recipe 1\n" + QByteArray(notes::kMaxDocumentBytes, '#'), std::nullopt,
            { "recipe" } },
    };
    for (const Case& c : kCases) {
        QStringList ignored;
        const auto items = ReadRecipe(c.text, ignored);
        EXPECT_EQ(items.has_value(), c.items.has_value()) << c.name;
        if (items && c.items) {
            EXPECT_EQ(items->size(), *c.items) << c.name;
        }
        EXPECT_EQ(ignored, c.ignored) << c.name << ": " << ignored.join(',').toStdString();
    }
}

namespace {

// A part with a dark bar 42.4 px wide, a dark disc of radius 41.7 and a dark corner beyond an edge rising
// 20 degrees as seen, on a light ground, moved by `shift`.
void paintPart(DibImage& picture, PicturePoint shift)
{
    const double b = 1.2, x = shift.x, y = shift.y;
    const double nx = std::cos(70.0 * M_PI / 180.0), ny = std::sin(70.0 * M_PI / 180.0);
    const auto bar = [=](double px) { return 1.0 - edgepic::phi((px - 40.3 - x) / b) + edgepic::phi((px - 82.7 - x) / b); };
    const auto disc = [=](double px, double py) { return std::hypot(px - 180.4 - x, py - 150.2 - y) - 41.7; };
    const auto slope = [=](double px, double py) { return (px - 330.0 - x) * nx + (py - 150.0 - y) * ny; };
    edgepic::paint(
        picture, 420, 300, {},
        [=](double px, double py) { return bar(px) * edgepic::phi(disc(px, py) / b) * edgepic::phi(-slope(px, py) / b); },
        [=](double px, double py) {
            return std::min({ std::abs(px - 40.3 - x), std::abs(px - 82.7 - x), std::abs(disc(px, py)),
                       std::abs(slope(px, py)) })
                < 9.0;
        });
}

} // namespace

// The edge kinds go into a picture's document and a recipe with their band widths; applied to the part moved
// a few pixels, the recipe's items find its edges again where they went, with their verdicts.
TEST(Recipe, EdgeKindsComeBackAndFindThePartWhereItMoved)
{
    Scene s;
    s.session.clear();
    paintPart(s.picture, {});
    MeasureItem caliper = building(ToolCaliper, { { 20, 150 }, { 105, 150 } });
    caliper.halfWidth = 6.0;
    s.add(caliper);
    s.add(building(ToolEdgeCircle, { { 136, 150 }, { 180, 106 }, { 224, 150 } }));
    s.add(building(ToolEdgeLine, { { 280, 170 }, { 380, 134 } }));
    s.session.setTolerance(s.itemOfRow(0).id, Tolerance { 0.424, 0.001, 0.001 });
    s.session.setTolerance(s.itemOfRow(2).id, Tolerance { 20.0, 0.2, 0.2 });
    // Width and diameter in mm at 0.01 mm a pixel, within 0.1 px (the caliper's narrower band averages less
    // noise); the angle within 0.1 degree.
    const auto measures = [](Scene& scene) {
        ASSERT_EQ(scene.session.results().rowCount(), 3);
        EXPECT_NEAR(scene.itemOfRow(0).result, 0.424, 0.001);
        EXPECT_NEAR(scene.itemOfRow(1).result, 0.834, 0.001);
        EXPECT_NEAR(scene.itemOfRow(2).result, 20.0, 0.1);
    };
    measures(s);
    const Table shown = s.texts();
    EXPECT_EQ(shown[0][ResultsModel::ColumnType], "Caliper width");
    EXPECT_EQ(shown[2][ResultsModel::ColumnUnit], "°");

    QStringList ignored;
    const auto notes = DecodeNotes(EncodeNotes(s.session.selectedCalib(), s.session.items()), ignored);
    ASSERT_TRUE(notes);
    EXPECT_TRUE(ignored.isEmpty()) << ignored.join(',').toStdString();
    ASSERT_EQ(notes->items.size(), 3u);
    EXPECT_EQ(notes->items[0].halfWidth, 6.0);
    EXPECT_EQ(notes->items[2].halfWidth, kDefaultEdgeBandHalfWidth);
    Scene opened;
    paintPart(opened.picture, {});
    opened.session.replaceItems(notes->items, &opened.picture);
    EXPECT_EQ(opened.texts(), shown);

    const QByteArray text = WriteRecipe(s.session.items());
    EXPECT_TRUE(text.contains("\ncaliper 20 150 105 150 width 6 tol 0.424 0.001 0.001 mm\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nedge-line 280 170 380 134 width 10 tol 20 0.2 0.2 deg\n")) << text.toStdString();
    const auto items = ReadRecipe(text, ignored);
    ASSERT_TRUE(items);
    EXPECT_TRUE(ignored.isEmpty());

    // Moved 16 pixels up: the edge line's band misses the edge unless it is relocated first.
    Scene next;
    next.session.clear();
    paintPart(next.picture, { 4.0, -16.0 });
    ApplyRecipe(next.session, *items, &next.picture);
    EXPECT_EQ(next.texts()[2][ResultsModel::ColumnValue], "");
    EXPECT_EQ(verdictColumn(next.session), (std::vector<QString> { "OK", "", "NG" }));
    ApplyRecipe(next.session, *items, &next.picture,
        [&next](MeasureItem& item) { RelocateEdgeItem(item, next.picture); });
    measures(next);
    EXPECT_EQ(verdictColumn(next.session), (std::vector<QString> { "OK", "", "OK" }));
    EXPECT_NEAR(next.itemOfRow(1).center1.x, 184.4, 0.1);
    EXPECT_NEAR(next.itemOfRow(1).center1.y, 134.2, 0.1);
    // The band moved across onto the edge where it went.
    const MeasureItem& line = next.itemOfRow(2);
    const double nx = std::cos(70.0 * M_PI / 180.0), ny = std::sin(70.0 * M_PI / 180.0);
    EXPECT_NEAR((line.point(0).x - 334.0) * nx + (line.point(0).y - 134.0) * ny, 0.0, 0.5);

    // A band width that cannot be, or one on a kind without a band, is refused.
    ignored.clear();
    ReadRecipe("nxviewer-recipe 1\ncaliper 0 0 9 0 width 0\nlength 0 0 1 1 width 3\n", ignored);
    EXPECT_EQ(ignored, (QStringList { "line 2", "line 3" }));
}
