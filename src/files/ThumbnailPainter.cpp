#include "files/ThumbnailPainter.h"

#include <QFileInfo>

#include <algorithm>

#include "files/ThumbnailStore.h"
#include "imaging/Dc.h"
#include "imaging/DibImage.h"
#include "platform/StringTable.h"

namespace {

constexpr ColorRef kBlack = Rgb(0, 0, 0);
constexpr ColorRef kWhite = Rgb(255, 255, 255);
constexpr ColorRef kShadow = Rgb(128, 128, 128); // the sunken edge's top and left
constexpr ColorRef kProgress = Rgb(40, 110, 220);
constexpr int kLabelFontString = 1010;

const ThumbnailEntry* entryAt(const ThumbnailStore& store, int32_t index)
{
    const ThumbnailEntry* e = index >= 0 ? store.first() : nullptr;
    for (int32_t i = 0; e && i < index; ++i)
        e = e->next;
    return e;
}

// Labels are black on white, as a fresh device context draws them.
void selectLabels(Dc& dc)
{
    dc.SelectFont(ThumbnailLabelFont());
    dc.SetTextColor(kBlack);
    dc.SetBkColor(kWhite);
    dc.SetBkMode(Dc::Background::Opaque);
}

// The thumbnail, its file name centred at nameY and its 1-based number at its top-left corner.
void drawThumbnail(Dc& dc, const ThumbnailGrid& grid, const ThumbnailEntry& e, int32_t index, Point at, bool nameInside)
{
    const int32_t w = grid.thumbWidth(), h = grid.thumbHeight();
    dc.BitBlt(at.x, at.y, w, h, e.image, 0, 0);
    const QString name = QFileInfo(e.path).fileName();
    const Size extent = dc.GetTextExtent(name);
    const int32_t nameX = at.x + std::max(0, (w - extent.cx) / 2);
    // In the strip the name's top lies at the strip's top + h (14 pixels above the thumbnail's bottom);
    // in the browser it sits inside the thumbnail's bottom.
    const int32_t nameY = nameInside ? at.y + h - extent.cy : at.y - ThumbnailGrid::kStripTop + h;
    dc.TextOut(nameX, nameY, name);
    dc.TextOut(at.x, at.y, QString::number(index + 1));
}

// BDR_SUNKENOUTER around box: shadow on the top and left, highlight on the bottom and right.
void sunkenEdge(Dc& dc, const Rect& box)
{
    dc.FillRect({ box.left, box.top, box.right - 1, box.top + 1 }, kShadow);
    dc.FillRect({ box.left, box.top, box.left + 1, box.bottom - 1 }, kShadow);
    dc.FillRect({ box.left, box.bottom - 1, box.right, box.bottom }, kWhite);
    dc.FillRect({ box.right - 1, box.top, box.right, box.bottom }, kWhite);
}

// While the folder is scanned: a bar along the strip's top, above the thumbnails, filled as far as the
// pictures are done.
void drawScanProgress(Dc& dc, const ThumbnailGrid& grid, const Rect& strip, const ThumbnailStore& store)
{
    const int32_t total = store.scanTotal();
    if (total <= 0)
        return;
    const Rect clip = grid.StripClip(strip);
    const Rect bar { clip.left, strip.top + 4, clip.right, strip.top + 9 };
    if (bar.width() <= 0)
        return;
    const int32_t filled = bar.left + int32_t(int64_t(bar.width()) * std::min(store.scanDone(), total) / total);
    dc.FillRect({ bar.left, bar.top, filled, bar.bottom }, kProgress);
    dc.FillRect({ filled, bar.top, bar.right, bar.bottom }, kShadow);
}

} // namespace

QFont ThumbnailLabelFont()
{
    QFont font(LoadString(kLabelFontString));
    font.setPointSize(11);
    return font;
}

void DrawThumbnailStrip(Dc& dc, const ThumbnailGrid& grid, const Rect& strip, int32_t scroll,
    const ThumbnailStore& store, const DibImage& skin)
{
    drawScanProgress(dc, grid, strip, store);
    const int32_t shown = grid.StripShown(strip, scroll, store.count());
    if (shown <= 0)
        return;
    const QFont oldFont = dc.CurrentFont();
    dc.SetClipRect(grid.StripClip(strip));
    selectLabels(dc);
    const ThumbnailEntry* e = entryAt(store, scroll);
    for (int32_t k = 0; k < shown && e; ++k, e = e->next) {
        const Point at = grid.StripSlot(strip, k);
        drawThumbnail(dc, grid, *e, scroll + k, at, false);
        dc.BitBlt(at.x + grid.thumbWidth(), at.y, grid.thumbWidth(), grid.thumbHeight(), skin, 0, 0);
    }
    dc.ClearClip();
    dc.SelectFont(oldFont);
}

void DrawThumbnailBrowser(
    Dc& dc, const ThumbnailGrid& grid, Size client, int32_t scroll, const ThumbnailStore& store, const DibImage& skin)
{
    const int32_t cells = grid.BrowserCells(client);
    if (cells <= 0)
        return;
    const QFont oldFont = dc.CurrentFont();
    selectLabels(dc);
    const int32_t w = grid.thumbWidth(), h = grid.thumbHeight();
    const int32_t first = grid.BrowserFirst(client, scroll);
    const ThumbnailEntry* e = entryAt(store, first);
    for (int32_t i = first; i < first + cells; ++i) {
        const Point at = grid.BrowserCell(client, scroll, i);
        sunkenEdge(dc, { at.x - 2, at.y - 2, at.x + w + 2, at.y + h + 2 });
        if (e) {
            drawThumbnail(dc, grid, *e, i, at, true);
            e = e->next;
        } else {
            dc.BitBlt(at.x, at.y, w, h, skin, 0, 0);
        }
    }
    dc.SelectFont(oldFont);
}

void TileBackground(Dc& dc, Size client, const DibImage& skin)
{
    if (skin.isEmpty())
        return;
    const int32_t across = client.cx / skin.width() + 1, down = client.cy / skin.height() + 1;
    for (int32_t j = 0; j < down; ++j)
        for (int32_t i = 0; i < across; ++i)
            dc.BitBlt(i * skin.width(), j * skin.height(), skin.width(), skin.height(), skin, 0, 0);
}
