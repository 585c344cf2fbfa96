// The kept overlay layer: drawn again exactly when what it shows changes (an item's point, the list, the
// view's geometry or a colour), and transparent wherever nothing was drawn.
#include <gtest/gtest.h>

#include "imaging/Dc.h"
#include "measure/MeasureLayer.h"
#include "measure/MeasureList.h"
#include "MeasureTestSupport.h"

TEST(MeasureLayer, DrawnAgainOnlyWhenWhatItShowsChanges)
{
    MeasureList list;
    MeasureItem line = building(ToolLine, { { 10, 10 }, { 30, 10 } });
    line.type = -ToolLine;
    list.append(line);
    ViewGeometry g;
    g.view = { 5, 5, 105, 85 };
    g.imageWidth = 200;
    g.imageHeight = 150;
    MeasureLayer layer;
    const auto key = [&] { return MeasureLayer::Key { g, 0x00FF00, 0xFFFF00, Digest().add(list).value() }; };
    const auto draw = [](Dc& dc) {
        dc.SelectPen(1, 0x00FF00);
        dc.MoveTo(10, 10);
        dc.LineTo(30, 10);
    };

    const QImage& first = layer.Update(key(), draw);
    EXPECT_EQ(first.size(), QSize(100, 80));
    EXPECT_EQ(qAlpha(first.pixel(50, 50)), 0); // nothing drawn there: the picture shows through
    EXPECT_EQ(first.pixel(20, 10), qRgb(0, 255, 0));
    layer.Update(key(), draw);
    EXPECT_EQ(layer.draws(), 1);

    list.begin()->points[1].x = 31; // an edit drag moved a point
    layer.Update(key(), draw);
    EXPECT_EQ(layer.draws(), 2);
    g.baiX = -1; // a pan
    layer.Update(key(), draw);
    EXPECT_EQ(layer.draws(), 3);
    list.append(line); // another item
    layer.Update(key(), draw);
    EXPECT_EQ(layer.draws(), 4);
    layer.Update(MeasureLayer::Key { g, 0x0000FF, 0xFFFF00, Digest().add(list).value() }, draw); // a colour
    EXPECT_EQ(layer.draws(), 5);
}
