// Composes the view-sized picture of the live view from the picture shown, at a zoom index: 0 fits the
// whole picture to the view, 1 copies it 1:1, 2..7 magnify by 2, 4, 8, 16, 32 and 64, each from the scroll
// offset. The display thread composes; the user-interface thread only paints the result.
#pragma once

#include <cstdint>

class DibImage;

// The magnification of zoom index z (1 for z <= 1).
int32_t ZoomFactor(int32_t zoomIndex);

// Makes view a viewWidth x viewHeight image like shown (8- or 24-bit) and fills it. scrollX and scrollY are
// the scroll offsets in picture pixels (0 or negative). Returns 0 when there is nothing to show.
int ComposeView(const DibImage& shown, int32_t zoomIndex, double scrollX, double scrollY, int32_t viewWidth,
                int32_t viewHeight, DibImage& view);
