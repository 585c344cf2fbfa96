#include "files/ThumbnailGrid.h"

#include <algorithm>

int32_t ScrollBarState::lastPosition() const
{
    return std::max(min, page > 0 ? max - page + 1 : max);
}

ThumbnailGrid::ThumbnailGrid(int32_t thumbWidth, int32_t thumbHeight)
    : m_W(std::max(thumbWidth, 1))
    , m_H(std::max(thumbHeight, 1))
{
}

int32_t ThumbnailGrid::StripFits(const Rect& strip) const
{
    if (strip.width() < kStripMargin)
        return 0;
    return (strip.width() - kStripMargin) / (m_W + kStripGap) + 1;
}

Point ThumbnailGrid::StripSlot(const Rect& strip, int32_t k) const
{
    return { strip.left + kStripMargin + k * (m_W + kStripGap), strip.top + kStripTop };
}

int32_t ThumbnailGrid::StripShown(const Rect& strip, int32_t scroll, int32_t count) const
{
    if (scroll < 0)
        return 0;
    return std::clamp(count - scroll, 0, StripFits(strip));
}

Rect ThumbnailGrid::StripClip(const Rect& strip) const
{
    return { strip.left + kStripMargin, strip.top, strip.right - kStripMargin, strip.bottom };
}

int32_t ThumbnailGrid::StripHit(const Rect& strip, int32_t scroll, int32_t count, Point p) const
{
    if (!strip.contains(p.x, p.y))
        return -1;
    const int32_t shown = StripShown(strip, scroll, count);
    for (int32_t k = 0; k < shown; ++k) {
        const Point at = StripSlot(strip, k);
        if (Rect { at.x, at.y, at.x + m_W, at.y + m_H }.contains(p.x, p.y))
            return scroll + k;
    }
    return -1;
}

ScrollBarState ThumbnailGrid::StripScrollBar(const Rect& strip, int32_t count) const
{
    const int32_t n = StripFits(strip);
    if (n > 0 && n < count + 1)
        return { true, 0, count, n };
    return {};
}

int32_t ThumbnailGrid::BrowserColumns(Size client) const
{
    return std::max(0, (client.cx - 47) / (m_W + 6));
}

int32_t ThumbnailGrid::BrowserRows(Size client) const
{
    return std::max(0, (client.cy - 10) / (m_H + 10));
}

Point ThumbnailGrid::BrowserCell(Size client, int32_t scroll, int32_t i) const
{
    const int32_t c = BrowserColumns(client);
    if (c == 0)
        return {};
    return { (i % c) * (m_W + 10) + kBrowserLeft, (i / c - scroll) * (m_H + 10) + kBrowserTop };
}

int32_t ThumbnailGrid::BrowserHit(Size client, int32_t scroll, int32_t count, Point p) const
{
    const int32_t first = BrowserFirst(client, scroll);
    const int32_t end = std::min(first + BrowserCells(client), count);
    for (int32_t i = std::max(first, 0); i < end; ++i) {
        const Point at = BrowserCell(client, scroll, i);
        if (Rect { at.x, at.y, at.x + m_W, at.y + m_H }.contains(p.x, p.y))
            return i;
    }
    return -1;
}

ScrollBarState ThumbnailGrid::BrowserScrollBar(Size client, int32_t count) const
{
    const int32_t cells = BrowserCells(client);
    if (cells <= 0 || count - cells <= 0)
        return {};
    return { true, 0, (count - cells) / BrowserColumns(client) + 1, 0 };
}

int32_t ThumbnailGrid::BrowserScroll(
    const ScrollBarState& bar, int32_t position, ScrollAction action, int32_t trackPosition)
{
    int32_t to = position;
    switch (action) {
    case ScrollAction::LineUp:
        to = position - 1;
        break;
    case ScrollAction::LineDown:
        to = position + 1;
        break;
    case ScrollAction::PageUp:
        to = position - 2;
        break;
    case ScrollAction::PageDown:
        to = position + 2;
        break;
    case ScrollAction::Top:
        to = bar.min;
        break;
    case ScrollAction::Bottom:
        to = bar.lastPosition();
        break;
    case ScrollAction::Track:
        to = trackPosition;
        break;
    }
    return bar.shown ? std::clamp(to, bar.min, bar.lastPosition()) : 0;
}
