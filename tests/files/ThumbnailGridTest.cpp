// Strip and browser arithmetic at the sizes the windows have, at zero size, and the hit tests.
#include <gtest/gtest.h>

#include "files/ThumbnailGrid.h"

TEST(ThumbnailGrid, StripFitsPlacesAndScrolls)
{
    const ThumbnailGrid grid;
    const Rect strip { 20, 500, 620, 640 }; // 600 wide
    EXPECT_EQ(grid.StripFits(strip), 5); // (600 - 8) / 146 + 1
    EXPECT_EQ(grid.StripSlot(strip, 0), (Point { 28, 514 }));
    EXPECT_EQ(grid.StripSlot(strip, 2), (Point { 28 + 292, 514 }));
    EXPECT_EQ(grid.StripClip(strip), (Rect { 28, 500, 612, 640 }));

    // Four thumbnails fit: no scroll bar; five or more: range 0..count, page 5.
    EXPECT_FALSE(grid.StripScrollBar(strip, 4).shown);
    const ScrollBarState five = grid.StripScrollBar(strip, 5);
    EXPECT_TRUE(five.shown);
    EXPECT_EQ(five.max, 5);
    EXPECT_EQ(five.page, 5);
    EXPECT_EQ(five.lastPosition(), 1);
    EXPECT_EQ(grid.StripScrollBar(strip, 12).lastPosition(), 8);

    EXPECT_EQ(grid.StripShown(strip, 0, 3), 3);
    EXPECT_EQ(grid.StripShown(strip, 8, 12), 4);
    EXPECT_EQ(grid.StripShown(strip, 12, 12), 0);
    EXPECT_EQ(grid.StripShown(strip, -1, 12), 0);

    // Hits: inside a thumbnail (its first and last pixel), never in the gap or outside the strip.
    EXPECT_EQ(grid.StripHit(strip, 0, 12, { 28, 514 }), 0);
    EXPECT_EQ(grid.StripHit(strip, 3, 12, { 28 + 146 + 139, 514 + 104 }), 4);
    EXPECT_EQ(grid.StripHit(strip, 0, 12, { 28 + 140, 520 }), -1); // the gap
    EXPECT_EQ(grid.StripHit(strip, 0, 12, { 28, 514 + 105 }), -1);
    EXPECT_EQ(grid.StripHit(strip, 0, 2, { 28 + 2 * 146, 520 }), -1); // past the last thumbnail
    EXPECT_EQ(grid.StripHit(strip, 0, 12, { 28 + 4 * 146 + 10, 520 }), -1); // beyond the strip's right

    // A strip of no size: nothing fits, nothing is hit, no scroll bar.
    const Rect none { 20, 500, 20, 500 };
    EXPECT_EQ(grid.StripFits(none), 0);
    EXPECT_EQ(grid.StripShown(none, 0, 10), 0);
    EXPECT_EQ(grid.StripHit(none, 0, 10, { 20, 500 }), -1);
    EXPECT_FALSE(grid.StripScrollBar(none, 10).shown);
    EXPECT_EQ(grid.StripFits({ 0, 0, 8, 100 }), 1); // exactly the margin: the formula's one
}

TEST(ThumbnailGrid, BrowserGridScrollRangeAndHits)
{
    const ThumbnailGrid grid;
    const Size client { 800, 600 };
    EXPECT_EQ(grid.BrowserColumns(client), 5);
    EXPECT_EQ(grid.BrowserRows(client), 5);
    EXPECT_EQ(grid.BrowserCells(client), 25);
    EXPECT_EQ(grid.BrowserCell(client, 0, 0), (Point { 6, 10 }));
    EXPECT_EQ(grid.BrowserCell(client, 0, 7), (Point { 2 * 150 + 6, 115 + 10 }));
    EXPECT_EQ(grid.BrowserCell(client, 1, 7), (Point { 2 * 150 + 6, 10 })); // scrolled by one row
    EXPECT_EQ(grid.BrowserFirst(client, 2), 10);

    // 30 thumbnails in 25 cells: range 0..2; 25 or fewer: disabled.
    const ScrollBarState bar = grid.BrowserScrollBar(client, 30);
    EXPECT_TRUE(bar.shown);
    EXPECT_EQ(bar.min, 0);
    EXPECT_EQ(bar.max, 2);
    EXPECT_FALSE(grid.BrowserScrollBar(client, 25).shown);
    EXPECT_FALSE(grid.BrowserScrollBar(client, 0).shown);

    // Scroll rules: lines by 1, pages by 2, top and bottom, tracking; always within the range.
    EXPECT_EQ(ThumbnailGrid::BrowserScroll(bar, 0, ScrollAction::LineDown), 1);
    EXPECT_EQ(ThumbnailGrid::BrowserScroll(bar, 1, ScrollAction::PageDown), 2);
    EXPECT_EQ(ThumbnailGrid::BrowserScroll(bar, 0, ScrollAction::PageDown), 2);
    EXPECT_EQ(ThumbnailGrid::BrowserScroll(bar, 2, ScrollAction::PageUp), 0);
    EXPECT_EQ(ThumbnailGrid::BrowserScroll(bar, 0, ScrollAction::LineUp), 0);
    EXPECT_EQ(ThumbnailGrid::BrowserScroll(bar, 0, ScrollAction::Bottom), 2);
    EXPECT_EQ(ThumbnailGrid::BrowserScroll(bar, 2, ScrollAction::Top), 0);
    EXPECT_EQ(ThumbnailGrid::BrowserScroll(bar, 0, ScrollAction::Track, 1), 1);
    EXPECT_EQ(ThumbnailGrid::BrowserScroll(bar, 0, ScrollAction::Track, 9), 2);
    EXPECT_EQ(ThumbnailGrid::BrowserScroll({}, 3, ScrollAction::LineDown), 0);

    // Hits: the thumbnail's w x h rectangle of a shown cell with a thumbnail.
    EXPECT_EQ(grid.BrowserHit(client, 0, 30, { 6, 10 }), 0);
    EXPECT_EQ(grid.BrowserHit(client, 0, 30, { 5, 10 }), -1);
    EXPECT_EQ(grid.BrowserHit(client, 1, 30, { 156 + 139, 10 + 104 }), 6);
    EXPECT_EQ(grid.BrowserHit(client, 0, 3, { 3 * 150 + 10, 20 }), -1); // an empty cell
    EXPECT_EQ(grid.BrowserHit(client, 0, 30, { 6, 5 * 115 + 20 }), -1); // below the shown rows

    // Too small for one cell, or no size at all: no cells, no hits, no scrolling, no division by zero.
    for (const Size small : { Size { 0, 0 }, Size { 192, 600 }, Size { 800, 124 }, Size { -5, -5 } }) {
        EXPECT_EQ(grid.BrowserCells(small), 0);
        EXPECT_EQ(grid.BrowserHit(small, 0, 30, { 6, 10 }), -1);
        EXPECT_FALSE(grid.BrowserScrollBar(small, 30).shown);
    }
    EXPECT_EQ(grid.BrowserColumns({ 193, 600 }), 1);
    EXPECT_EQ(grid.BrowserRows({ 800, 125 }), 1);
}
