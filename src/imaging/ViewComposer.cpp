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

void ViewComposer::mapColumnsToFit(int32_t viewWidth, int32_t pictureWidth)
{
    // The sampling of the fitted picture as it always was: a single-precision step, positions truncated.
    const float step = float(double(pictureWidth) / viewWidth);
    for (int32_t j = 0; j < viewWidth; ++j)
        m_Columns[size_t(j)] = std::clamp(int32_t(step * float(j)), 0, pictureWidth - 1);
}

void ViewComposer::mapColumnsFrom(int32_t first, int32_t factor, int32_t viewWidth, int32_t pictureWidth)
{
    for (int32_t j = 0; j < viewWidth; ++j) {
        const int64_t column = int64_t(first) + j / factor;
        m_Columns[size_t(j)] = column >= 0 && column < pictureWidth ? int32_t(column) : -1;
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
    m_Columns.resize(size_t(w));

    const int32_t pw = shown.width(), ph = shown.height();
    const bool fit = geometry.zoomIndex <= 0;
    const int32_t f = geometry.factor();
    const int32_t top = origin(geometry.baiY);
    if (fit)
        mapColumnsToFit(w, pw);
    else
        mapColumnsFrom(origin(geometry.baiX), f, w, pw);
    // At fit the rows are sampled in stored (bottom-up) order, as the columns are, from the bottom row up.
    const float rowStep = float(double(ph) / h);
    const auto sourceRow = [&](int32_t y) -> const uint8_t* {
        if (fit)
            return shown.rowBottomUp(std::clamp(int32_t(rowStep * float(h - 1 - y)), 0, ph - 1));
        const int64_t row = int64_t(top) + y / f;
        return row >= 0 && row < ph ? shown.rowTopDown(int32_t(row)) : nullptr;
    };

    const uint8_t* previous = nullptr;
    const size_t rowBytes = size_t(w) * sizeof(uint32_t);
    for (int32_t y = 0; y < h; ++y) {
        auto* target = reinterpret_cast<uint32_t*>(view.scanLine(y));
        const uint8_t* source = sourceRow(y);
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
