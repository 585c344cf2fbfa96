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

} // namespace

void ViewComposer::MapColumns(const ViewGeometry& geometry, int32_t pictureWidth, std::vector<int32_t>& columns)
{
    const int32_t w = std::max(geometry.view.width(), 0);
    columns.resize(size_t(w));
    if (pictureWidth <= 0) {
        std::fill(columns.begin(), columns.end(), -1);
        return;
    }
    if (geometry.zoomIndex <= 0) {
        // The sampling of the fitted picture as it always was: a single-precision step, positions truncated.
        const float step = float(double(pictureWidth) / w);
        for (int32_t j = 0; j < w; ++j)
            columns[size_t(j)] = std::clamp(int32_t(step * float(j)), 0, pictureWidth - 1);
        return;
    }
    const int32_t first = origin(geometry.baiX), f = geometry.factor();
    for (int32_t j = 0; j < w; ++j) {
        const int64_t column = int64_t(first) + j / f;
        columns[size_t(j)] = column >= 0 && column < pictureWidth ? int32_t(column) : -1;
    }
}

void ViewComposer::MapRows(const ViewGeometry& geometry, int32_t pictureHeight, std::vector<int32_t>& rows)
{
    const int32_t h = std::max(geometry.view.height(), 0);
    rows.resize(size_t(h));
    if (pictureHeight <= 0) {
        std::fill(rows.begin(), rows.end(), -1);
        return;
    }
    if (geometry.zoomIndex <= 0) {
        // At fit the rows are sampled in stored (bottom-up) order, as the columns are, from the bottom row up.
        const float step = float(double(pictureHeight) / h);
        for (int32_t y = 0; y < h; ++y)
            rows[size_t(y)] = pictureHeight - 1 - std::clamp(int32_t(step * float(h - 1 - y)), 0, pictureHeight - 1);
        return;
    }
    const int32_t top = origin(geometry.baiY), f = geometry.factor();
    for (int32_t y = 0; y < h; ++y) {
        const int64_t row = int64_t(top) + y / f;
        rows[size_t(y)] = row >= 0 && row < pictureHeight ? int32_t(row) : -1;
    }
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
    const int32_t w = geometry.view.width(), h = geometry.view.height();
    if (shown.isEmpty() || w <= 0 || h <= 0 || (shown.bitsPerPixel() != 8 && shown.bitsPerPixel() != 24))
        return false;
    if (view.width() != w || view.height() != h || view.format() != QImage::Format_RGB32) {
        view = QImage(w, h, QImage::Format_RGB32);
        if (view.isNull())
            return false;
    }
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
