#include "imaging/ViewComposer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/DibImage.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000u;

uint32_t rgb32(uint8_t r, uint8_t g, uint8_t b) { return kBlack | uint32_t(r) << 16 | uint32_t(g) << 8 | b; }

// The picture column or row at the view's top-left corner; offsets from a settings file are kept finite.
int32_t origin(double scroll)
{
    return std::isfinite(scroll) ? -int32_t(std::clamp(scroll, -1.0e9, 1.0e9)) : 0;
}

// The picture position each view position shows along one axis, -1 for none. The sampling of the fitted
// picture as it always was: a single-precision step, positions truncated, rows counted from the bottom up
// (the stored order).
void mapAxis(const ViewGeometry& g, int32_t viewLength, int32_t pictureLength, double scroll, bool fromBottom,
    std::vector<int32_t>& out)
{
    const int32_t n = std::max(viewLength, 0);
    out.assign(size_t(n), -1);
    if (pictureLength <= 0)
        return;
    if (g.zoomIndex <= 0) {
        const float step = float(double(pictureLength) / n);
        for (int32_t i = 0; i < n; ++i) {
            const int32_t p = std::clamp(int32_t(step * float(fromBottom ? n - 1 - i : i)), 0, pictureLength - 1);
            out[size_t(i)] = fromBottom ? pictureLength - 1 - p : p;
        }
        return;
    }
    const int32_t first = origin(scroll), f = g.factor();
    for (int32_t i = 0; i < n; ++i) {
        const int64_t p = int64_t(first) + i / f;
        out[size_t(i)] = p >= 0 && p < pictureLength ? int32_t(p) : -1;
    }
}

} // namespace

void ViewComposer::MapColumns(const ViewGeometry& geometry, int32_t pictureWidth, std::vector<int32_t>& columns)
{
    mapAxis(geometry, geometry.deviceWidth(), pictureWidth, geometry.baiX, false, columns);
}

void ViewComposer::MapRows(const ViewGeometry& geometry, int32_t pictureHeight, std::vector<int32_t>& rows)
{
    mapAxis(geometry, geometry.deviceHeight(), pictureHeight, geometry.baiY, true, rows);
}

void ViewComposer::convertRow(const uint8_t* source, uint32_t* target) const
{
    const size_t n = m_Columns.size();
    const int32_t* columns = m_Columns.data();
    if (m_Bytes == 1) {
        for (size_t j = 0; j < n; ++j)
            target[j] = columns[j] >= 0 ? m_Palette[source[columns[j]]] : kBlack;
        return;
    }
    for (size_t j = 0; j < n; ++j) {
        if (columns[j] < 0) {
            target[j] = kBlack;
            continue;
        }
        const uint8_t* p = source + ptrdiff_t(columns[j]) * 3; // blue, green, red
        target[j] = rgb32(p[2], p[1], p[0]);
    }
}

bool ViewComposer::Compose(const DibImage& shown, const ViewGeometry& geometry, QImage& view)
{
    const int32_t w = geometry.deviceWidth(), h = geometry.deviceHeight();
    if (shown.isEmpty() || w <= 0 || h <= 0 || (shown.bitsPerPixel() != 8 && shown.bitsPerPixel() != 24))
        return false;
    if (view.width() != w || view.height() != h || view.format() != QImage::Format_RGB32) {
        view = QImage(w, h, QImage::Format_RGB32);
        if (view.isNull())
            return false;
    }
    view.setDevicePixelRatio(geometry.devicePixelRatio); // painted 1:1 onto the device pixels
    m_Bytes = shown.bytesPerPixel();
    if (m_Bytes == 1) {
        for (int i = 0; i < 256; ++i) {
            const RgbQuad& q = shown.colorTable()[i];
            m_Palette[i] = rgb32(q.red, q.green, q.blue);
        }
    }
    MapColumns(geometry, shown.width(), m_Columns);
    MapRows(geometry, shown.height(), m_Rows);

    const uint8_t* previous = nullptr;
    const size_t rowBytes = size_t(w) * sizeof(uint32_t);
    for (int32_t y = 0; y < h; ++y) {
        auto* target = reinterpret_cast<uint32_t*>(view.scanLine(y));
        const uint8_t* source = m_Rows[size_t(y)] >= 0 ? shown.rowTopDown(m_Rows[size_t(y)]) : nullptr;
        if (!source)
            std::fill_n(target, w, kBlack);
        else if (y > 0 && source == previous)
            std::memcpy(target, view.constScanLine(y - 1), rowBytes); // a magnified or repeated row
        else
            convertRow(source, target);
        previous = source;
    }
    return true;
}
