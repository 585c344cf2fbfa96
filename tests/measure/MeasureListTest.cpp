// The list of finished measurements: copies and ids, cursor walks, removal, hit tests, the sibling walk.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "measure/Geometry.h"
#include "measure/MeasureList.h"

namespace {

MeasureItem finishedLine(MeasurePoint a, MeasurePoint b)
{
    MeasureItem item;
    item.reset(ToolLine);
    item.addPoint(a);
    item.addPoint(b);
    item.type = -ToolLine;
    return item;
}

MeasureItem finishedPerpendicular(MeasurePoint a, MeasurePoint b, MeasurePoint p)
{
    MeasureItem item;
    item.reset(ToolPerpendicular);
    item.addPoint(a);
    item.addPoint(b);
    item.addPoint(p);
    item.setPoint(3, footOfPerpendicular(p, lineThrough(a, b)));
    item.type = -ToolPerpendicular;
    return item;
}

MeasureItem finishedCircle(MeasurePoint centre, double radius)
{
    MeasureItem item;
    item.reset(ToolCircle);
    for (int i = 0; i < 3; ++i)
        item.addPoint({centre.x + radius, centre.y});
    item.center1 = centre;
    item.radius1 = radius;
    item.type = -ToolCircle;
    return item;
}

// Ids counted up from 1, so tests can name them.
MeasureList::IdSource countingIds()
{
    return [next = 0]() mutable { return ++next; };
}

}  // namespace

TEST(MeasureList, Append_DeepCopiesFields_FreshIdAndCursorOnCopy)
{
    MeasureList list(countingIds());
    EXPECT_EQ(list.current(), nullptr);
    EXPECT_EQ(list.count(), 0);

    MeasureItem source;
    source.reset(ToolCircle2);
    source.setPoint(12, {3.0, 4.0});  // capacity 32
    source.pointCount = 6;
    source.type = -ToolCircle2;
    source.unit = 1;
    source.result = 1.5;
    source.result2 = 2.5;
    source.result3 = 3.5;
    source.center1 = {1.0, 2.0};
    source.center2 = {3.0, 4.0};
    source.radius1 = 5.0;
    source.radius2 = 6.0;
    source.id = 999;
    source.index = 77;

    MeasureItem* copy = list.append(source);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(list.current(), copy);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(copy->id, 1);
    EXPECT_EQ(copy->index, 0);
    EXPECT_EQ(copy->type, -ToolCircle2);
    EXPECT_EQ(copy->pointCount, 6);
    EXPECT_EQ(copy->capacity(), 32);
    EXPECT_EQ(copy->point(12), (MeasurePoint{3.0, 4.0}));
    EXPECT_EQ(copy->unit, 1);
    EXPECT_EQ(copy->result, 1.5);
    EXPECT_EQ(copy->result2, 2.5);
    EXPECT_EQ(copy->result3, 3.5);
    EXPECT_EQ(copy->center1, (MeasurePoint{1.0, 2.0}));
    EXPECT_EQ(copy->center2, (MeasurePoint{3.0, 4.0}));
    EXPECT_EQ(copy->radius1, 5.0);
    EXPECT_EQ(copy->radius2, 6.0);

    // The copy owns its points: building on with the source leaves it alone.
    source.reset(ToolLine);
    source.addPoint({8.0, 8.0});
    EXPECT_EQ(copy->point(0), (MeasurePoint{}));
    EXPECT_EQ(copy->capacity(), 32);

    // A source without an array gives an empty one; the cursor moves to the new tail.
    MeasureItem bare;
    bare.type = -ToolLine;
    list.rewind();
    MeasureItem* second = list.append(bare);
    EXPECT_EQ(second->capacity(), 0);
    EXPECT_EQ(list.current(), second);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(&*std::prev(list.end()), second);
}

TEST(MeasureList, FreshIds_TakenIdIsDrawnAgain)
{
    // A source that repeats itself, as a zero random number would (every product 0).
    std::vector<int32_t> ids{0, 0, 0, 5, 0, 5, 6};
    size_t next = 0;
    MeasureList list([&] { return ids[next++]; });
    EXPECT_EQ(list.append(finishedLine({}, {}))->id, 0);
    EXPECT_EQ(list.append(finishedLine({}, {}))->id, 5);
    EXPECT_EQ(list.append(finishedLine({}, {}))->id, 6);

    // The real source gives distinct ids too.
    MeasureList real;
    std::set<int32_t> seen;
    for (int i = 0; i < 200; ++i)
        EXPECT_TRUE(seen.insert(real.append(finishedLine({}, {}))->id).second);
}

TEST(MeasureList, CursorWalks_RewindAdvanceRenumberItemAt)
{
    MeasureList list(countingIds());
    EXPECT_EQ(list.itemAt(0), nullptr);
    std::vector<MeasureItem*> items;
    for (int i = 0; i < 4; ++i)
        items.push_back(list.append(finishedLine({double(i), 0.0}, {})));

    list.rewind();
    EXPECT_EQ(list.current(), items[0]);
    EXPECT_EQ(list.advance(3), 1);
    EXPECT_EQ(list.current(), items[3]);
    EXPECT_EQ(list.advance(4), 0);  // runs off the end

    EXPECT_EQ(list.advance(1), 1);
    list.renumber();
    EXPECT_EQ(list.current(), items[1]);  // renumber leaves the cursor
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(items[size_t(i)]->index, i);

    EXPECT_EQ(list.itemAt(2), items[2]);
    EXPECT_EQ(list.current(), items[2]);
    EXPECT_EQ(list.itemAt(-1), items[0]);
    EXPECT_EQ(list.itemAt(4), nullptr);
}

TEST(MeasureList, Remove_CursorMovesToFollowingElsePreceding)
{
    MeasureList list(countingIds());
    std::vector<MeasureItem*> items;
    for (int i = 0; i < 4; ++i)
        items.push_back(list.append(finishedLine({}, {})));  // ids 1..4

    ASSERT_EQ(list.findById(2), 1);
    EXPECT_EQ(list.current(), items[1]);
    EXPECT_EQ(list.findById(42), 0);

    EXPECT_EQ(list.removeById(2), 1);  // middle: the cursor goes to the following item
    EXPECT_EQ(list.current(), items[2]);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.removeById(4), 1);  // tail: to the preceding one
    EXPECT_EQ(list.current(), items[2]);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.removeById(42), 0);
    EXPECT_EQ(list.count(), 2);

    list.itemAt(0);
    list.removeCurrent();  // head
    EXPECT_EQ(list.current(), items[2]);
    list.removeCurrent();  // the only item
    EXPECT_EQ(list.current(), nullptr);
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(list.isEmpty());
    list.removeCurrent();  // nothing left: harmless
    EXPECT_EQ(list.count(), 0);

    for (int i = 0; i < 3; ++i)
        list.append(finishedLine({}, {}));
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.current(), nullptr);
}

TEST(MeasureList, Items_KeepTheirAddressesWhileOthersComeAndGo)
{
    MeasureList list(countingIds());
    std::vector<MeasureItem*> items;
    for (int i = 0; i < 100; ++i)
        items.push_back(list.append(finishedLine({double(i), 0.0}, {})));
    for (int id = 2; id <= 100; id += 2)
        list.removeById(id);
    for (int i = 0; i < 100; ++i)
        list.append(finishedLine({}, {}));
    for (int i = 0; i < 100; i += 2) {
        ASSERT_EQ(list.findById(i + 1), 1);
        EXPECT_EQ(list.current(), items[size_t(i)]);
        EXPECT_EQ(items[size_t(i)]->point(0).x, double(i));
    }
}

TEST(MeasureList, HitTest_PointsAtFit_BoxEdgesAndListOrder)
{
    // 2048 x 1536 picture fitted into a 512 x 384 view: a window pixel is 4 picture pixels, t = 40.
    const ViewGeometry fit{{10, 20, 522, 404}, 0, 0.0, 0.0, 2048, 1536};
    const double t = hitTolerance(fit);
    ASSERT_EQ(t, 40.0);

    MeasureList list(countingIds());
    MeasureItem* line = list.append(finishedLine({400.0, 400.0}, {800.0, 400.0}));
    MeasureItem* overlapping = list.append(finishedLine({800.0, 400.0}, {900.0, 900.0}));

    auto hitAtWindow = [&](double wx, double wy) {
        const MeasurePoint p = windowToImage(wx, wy, fit);
        return list.hitTest(p.x, p.y, t);
    };
    MeasureList::Hit hit = hitAtWindow(110, 120);  // picture (400, 400)
    EXPECT_EQ(hit.item, line);
    EXPECT_EQ(hit.index, 0);
    EXPECT_EQ(hit.kind, 1);
    // The box takes x - t <= px < x + t: a click 40 picture pixels right of the point still hits, 40 left
    // of it does not.
    EXPECT_EQ(hitAtWindow(120, 120).item, line);    // picture x 440
    EXPECT_EQ(hitAtWindow(121, 120).item, nullptr); // 444
    EXPECT_EQ(hitAtWindow(100, 120).item, nullptr); // 360
    EXPECT_EQ(hitAtWindow(101, 120).item, line);    // 364
    // (800, 400) belongs to both lines: the first in list order wins, with its own point index.
    hit = hitAtWindow(210, 120);
    EXPECT_EQ(hit.item, line);
    EXPECT_EQ(hit.index, 1);
    hit = list.hitTest(900.0, 890.0, t);
    EXPECT_EQ(hit.item, overlapping);
    EXPECT_EQ(hit.index, 1);

    // Unfinished items and points beyond pointCount are not hit.
    MeasureItem building;
    building.reset(ToolLine);
    building.addPoint({1500.0, 1500.0});
    list.append(building);
    EXPECT_EQ(list.hitTest(1500.0, 1500.0, t).item, nullptr);
}

TEST(MeasureList, HitTest_CirclesAtZoom_CircumferenceBeforeCentre_FootNeverHit)
{
    // x4 with the picture scrolled by (-50, -30): t = 2.5 picture pixels.
    const ViewGeometry zoom{{0, 0, 800, 600}, 3, -50.0, -30.0, 2048, 1536};
    const double t = hitTolerance(zoom);
    ASSERT_EQ(t, 2.5);

    MeasureList list(countingIds());
    MeasureItem* circle = list.append(finishedCircle({100.0, 100.0}, 20.0));
    MeasureItem two = finishedCircle({300.0, 100.0}, 10.0);
    two.type = -ToolCircle2;
    two.pointCount = 6;
    two.center2 = {400.0, 100.0};
    two.radius2 = 30.0;
    MeasureItem* pair = list.append(two);

    // Window (284, 280) is picture (284/4 + 50, 280/4 + 30) = (121, 100): 21 from the centre, on the rim.
    MeasurePoint p = windowToImage(284, 280, zoom);
    ASSERT_EQ(p, (MeasurePoint{121.0, 100.0}));
    MeasureList::Hit hit = list.hitTest(p.x, p.y, t);
    EXPECT_EQ(hit.item, circle);
    EXPECT_EQ(hit.index, 0);
    EXPECT_EQ(hit.kind, 2);
    EXPECT_EQ(list.hitTest(122.4, 100.0, t).kind, 2);   // d - t = 19.9 <= 20
    EXPECT_EQ(list.hitTest(122.6, 100.0, t).item, nullptr);
    EXPECT_EQ(list.hitTest(117.4, 100.0, t).item, nullptr);  // 20 < d + t = 19.9 fails
    hit = list.hitTest(101.0, 99.0, t);
    EXPECT_EQ(hit.item, circle);
    EXPECT_EQ(hit.kind, 1);

    // The second circle of a pair answers with index 1.
    hit = list.hitTest(400.0, 131.0, t);
    EXPECT_EQ(hit.item, pair);
    EXPECT_EQ(hit.index, 1);
    EXPECT_EQ(hit.kind, 2);
    hit = list.hitTest(400.5, 100.5, t);
    EXPECT_EQ(hit.index, 1);
    EXPECT_EQ(hit.kind, 1);

    // A perpendicular is hit at A, B and P but never at its stored foot.
    MeasureItem* perp = list.append(finishedPerpendicular({0.0, 500.0}, {100.0, 500.0}, {50.0, 600.0}));
    ASSERT_EQ(perp->point(3), (MeasurePoint{50.0, 500.0}));
    EXPECT_EQ(list.hitTest(50.0, 600.0, t).index, 2);
    EXPECT_EQ(list.hitTest(50.0, 500.0, t).item, nullptr);
}

TEST(MeasureList, PerpendicularSiblings_OneResumableWalk)
{
    MeasureList list(countingIds());
    const MeasurePoint a{10.0, 10.0};
    const MeasurePoint b{100.0, 50.0};
    MeasureItem* first = list.append(finishedPerpendicular(a, b, {40.0, 80.0}));
    list.append(finishedLine(a, b));
    MeasureItem* second = list.append(finishedPerpendicular(a, b, {60.0, 10.0}));
    list.append(finishedPerpendicular(a, {100.0, 50.5}, {60.0, 10.0}));  // another base line
    MeasureItem building = finishedPerpendicular(a, b, {1.0, 1.0});
    building.type = ToolPerpendicular;
    list.append(building);                                             // not finished
    MeasureItem* third = list.append(finishedPerpendicular(a, b, {70.0, 90.0}));

    EXPECT_EQ(list.nextPerpendicularSibling(first), second);
    EXPECT_EQ(list.nextPerpendicularSibling(first), third);
    EXPECT_EQ(list.nextPerpendicularSibling(first), nullptr);
    EXPECT_EQ(list.nextPerpendicularSibling(first), second);  // the walk starts again

    // Only siblings after the given item; asking about another item starts a new walk.
    EXPECT_EQ(list.nextPerpendicularSibling(second), third);
    EXPECT_EQ(list.nextPerpendicularSibling(third), nullptr);
    EXPECT_EQ(list.nextPerpendicularSibling(first), second);

    // Removing the item the walk would resume from must not leave it pointing at freed memory.
    list.findById(second->id);
    list.removeCurrent();
    EXPECT_EQ(list.nextPerpendicularSibling(first), third);
    EXPECT_EQ(list.nextPerpendicularSibling(nullptr), nullptr);
}
