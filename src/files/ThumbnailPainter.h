// Drawing the thumbnails: the main window's strip, and the browser's cells and tiled background. Over a
// Dc, so the same code draws into a widget's painter and, in tests, into a bitmap.
#pragma once

#include <QFont>

#include "files/ThumbnailGrid.h"

class Dc;
class DibImage;
class ThumbnailStore;

// The labels' font: 11 points of the face that string 1010 names.
QFont ThumbnailLabelFont();

// The strip's thumbnails from position scroll on, each with its file name and 1-based number, and a block
// of the skin after each (the gap to the next), clipped to the strip narrowed by its margins. While the
// store scans its folder, a progress bar runs along the strip's top.
void DrawThumbnailStrip(Dc& dc, const ThumbnailGrid& grid, const Rect& strip, int32_t scroll,
    const ThumbnailStore& store, const DibImage& skin);

// The browser's shown cells: a sunken edge around each, the thumbnail with its name and number, or a
// block of the skin where the cell has no thumbnail.
void DrawThumbnailBrowser(
    Dc& dc, const ThumbnailGrid& grid, Size client, int32_t scroll, const ThumbnailStore& store, const DibImage& skin);
// The skin tiled over the client area from its top-left corner.
void TileBackground(Dc& dc, Size client, const DibImage& skin);
