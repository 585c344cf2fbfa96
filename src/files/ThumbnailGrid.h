// Where thumbnails go in the main window's one-row strip and in the browser's grid, which one a mouse
// position is over, and the scroll bars both need. Plain arithmetic, shared by the painting and the mouse code.
#pragma once

#include <cstdint>

#include "imaging/Rect.h"

// A scroll bar's state as the windows set it: shown (or enabled), range min..max and page size.
struct ScrollBarState {
    bool shown = false;
    int32_t min = 0;
    int32_t max = 0;
    int32_t page = 0;
    // The highest position the thumb can take: max - page + 1 with a page, max without (never below min).
    int32_t lastPosition() const;
};

// Browser scroll bar requests.
enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, Top, Bottom, Track };

class ThumbnailGrid {
public:
    static constexpr int32_t kStripMargin = 8; // left margin of the strip, and its clip on both sides
    static constexpr int32_t kStripTop = 14; // thumbnails' top below the strip's top
    static constexpr int32_t kStripGap = 6; // between two thumbnails of the strip
    static constexpr int32_t kBrowserLeft = 6;
    static constexpr int32_t kBrowserTop = 10;

    explicit ThumbnailGrid(int32_t thumbWidth = 140, int32_t thumbHeight = 105);

    int32_t thumbWidth() const { return m_W; }
    int32_t thumbHeight() const { return m_H; }

    // --- Strip: one row inside the rectangle strip (client coordinates), starting at the scroll position.
    // How many thumbnails fit: (width - 8) / (w + 6) + 1; none in a strip narrower than its margin.
    int32_t StripFits(const Rect& strip) const;
    // Top-left corner of the k-th visible thumbnail.
    Point StripSlot(const Rect& strip, int32_t k) const;
    // How many thumbnails are drawn from position scroll on, of count.
    int32_t StripShown(const Rect& strip, int32_t scroll, int32_t count) const;
    // The strip narrowed by the margin on the left and the right; drawing is clipped to it.
    Rect StripClip(const Rect& strip) const;
    // Index of the thumbnail under p, or -1.
    int32_t StripHit(const Rect& strip, int32_t scroll, int32_t count, Point p) const;
    // Shown while some thumbnails do not fit: range 0..count with the fitting number as page.
    ScrollBarState StripScrollBar(const Rect& strip, int32_t count) const;

    // --- Browser: a grid over the client area, scrolled by whole rows.
    int32_t BrowserColumns(Size client) const;
    int32_t BrowserRows(Size client) const;
    // Cells shown at once (columns x rows; 0 when not even one cell fits).
    int32_t BrowserCells(Size client) const { return BrowserColumns(client) * BrowserRows(client); }
    // First cell shown at the scroll position (in rows).
    int32_t BrowserFirst(Size client, int32_t scroll) const { return scroll * BrowserColumns(client); }
    // Top-left corner of cell i's thumbnail (i among the cells shown).
    Point BrowserCell(Size client, int32_t scroll, int32_t i) const;
    // Index of the shown thumbnail (i < count) whose w x h rectangle holds p, or -1.
    int32_t BrowserHit(Size client, int32_t scroll, int32_t count, Point p) const;
    // Enabled only when there are more thumbnails than cells: range 0..(count - cells) / columns + 1.
    ScrollBarState BrowserScrollBar(Size client, int32_t count) const;
    // The position after a scroll request (Track takes trackPosition), held within the bar's range.
    static int32_t BrowserScroll(
        const ScrollBarState& bar, int32_t position, ScrollAction action, int32_t trackPosition = 0);

private:
    int32_t m_W;
    int32_t m_H;
};
