// Composes the view picture of the live view from the picture shown, for a view geometry: zoom index 0 fits
// the whole picture to the view, 1 copies it 1:1, 2..7 magnify by 2, 4, 8, 16, 32 and 64 from the scroll
// offset. The result is a top-down 32-bit image the user-interface thread paints as it is, without a copy or
// a conversion.
#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

#include "imaging/ViewGeometry.h"

class DibImage;

class ViewComposer {
public:
    // Makes view the size of geometry.view in device pixels (its device pixel ratio the geometry's) in
    // QImage::Format_RGB32 (keeping its memory when the size is
    // unchanged) and fills it from shown, 8-bit through its colour table or 24-bit. At a magnification f each
    // picture pixel covers exactly f x f view pixels, the first one at ((x + baiX) f, (y + baiY) f), and the
    // view's edge cuts the last ones; whatever no picture pixel covers is black. The geometry's picture size
    // plays no part (shown is the picture). Returns false when there is nothing to show.
    bool Compose(const DibImage& shown, const ViewGeometry& geometry, QImage& view);

    // The mapping Compose fills by, for whatever is laid over its result pixel for pixel: the picture column
    // of each view column and the picture row (counted top-down) of each view row, -1 where there is none;
    // columns and rows of device pixels.
    static void MapColumns(const ViewGeometry& geometry, int32_t pictureWidth, std::vector<int32_t>& columns);
    static void MapRows(const ViewGeometry& geometry, int32_t pictureHeight, std::vector<int32_t>& rows);

private:
    void convertRow(const uint8_t* source, uint32_t* target) const;

    std::vector<int32_t> m_Columns; // the picture column of each view column, -1 where there is none
    std::vector<int32_t> m_Rows;    // the picture row of each view row, -1 where there is none
    int32_t m_Bytes = 1;            // bytes per picture pixel
    uint32_t m_Palette[256] = {};   // an 8-bit picture's colours as 0xffRRGGBB
};
