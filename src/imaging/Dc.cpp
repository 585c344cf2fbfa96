#include "imaging/Dc.h"

#include <QFontMetrics>
#include <QPolygon>

#include <algorithm>
#include <vector>

#include "imaging/DibImage.h"
#include "imaging/PixelConverter.h"

namespace {

// The source coordinate that the nearest-neighbour stretch picks for target offset i of n (centre sampling:
// an exact magnification by f repeats every source pixel f times).
int32_t nearestSource(int32_t i, int32_t n, int32_t sourceSpan)
{
    return int32_t((int64_t(2 * i + 1) * sourceSpan) / (int64_t(2) * n));
}

// Qt draws an aliased ellipse in a QRect over width + 1 pixels; GDI's box excludes its right and bottom edge.
QRect innerBox(const Rect& box) { return QRect(box.left, box.top, box.width() - 1, box.height() - 1); }

}  // namespace

Dc::Dc(DibImage& target) : m_Image(&target) {}

Dc::Dc(QPainter& painter) : m_External(&painter)
{
    m_External->save();
    m_Font = m_External->font();
    applyState();
}

Dc::~Dc()
{
    if (m_External) {
        m_External->restore();
        return;
    }
    if (m_Own.isActive())
        m_Own.end();
    if (m_RowsTopDown)
        m_Image->reverseRows();
}

QPainter& Dc::painter()
{
    if (m_External)
        return *m_External;
    if (!m_Own.isActive() && !m_Image->isEmpty()) {
        // QImage cannot address bottom-up rows, so the rows are put top-down until this Dc ends.
        if (!m_RowsTopDown) {
            m_Image->reverseRows();
            m_RowsTopDown = true;
        }
        const QImage::Format format = m_Image->bitsPerPixel() == 8 ? QImage::Format_Grayscale8 : QImage::Format_BGR888;
        m_View = QImage(m_Image->bits(), m_Image->width(), m_Image->height(), m_Image->stride(), format);
        m_Own.begin(&m_View);
        applyState();
    }
    return m_Own;
}

uint8_t* Dc::targetRow(int32_t y)
{
    return m_RowsTopDown ? m_Image->bits() + ptrdiff_t(m_Image->stride()) * y : m_Image->rowTopDown(y);
}

QColor Dc::toColor(ColorRef color) const
{
    // On an 8-bit image the painter writes grey levels; grey i is table index i, so paint the index the
    // colour maps to.
    if (m_Image && m_Image->bitsPerPixel() == 8) {
        const int index = m_Image->nearestIndex(RedOf(color), GreenOf(color), BlueOf(color));
        return QColor(index, index, index);
    }
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

QPen Dc::makePen() const
{
    if (!m_Pen)
        return QPen(Qt::NoPen);
    const int width = m_Pen->first;
    QPen pen(toColor(m_Pen->second), width <= 1 ? 1 : width);
    pen.setCapStyle(width <= 1 ? Qt::FlatCap : Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void Dc::applyState()
{
    QPainter* p = m_External ? m_External : (m_Own.isActive() ? &m_Own : nullptr);
    if (!p)
        return;
    p->setRenderHint(QPainter::Antialiasing, false);
    p->setRenderHint(QPainter::TextAntialiasing, false);
    p->setPen(makePen());
    p->setBrush(m_Brush ? QBrush(toColor(*m_Brush)) : QBrush(Qt::NoBrush));
    p->setFont(m_Font);
    if (m_Clip)
        p->setClipRegion(*m_Clip);
    else
        p->setClipping(false);
}

void Dc::SelectPen(int width, ColorRef color)
{
    m_Pen = std::make_pair(width, color);
    applyState();
}

void Dc::SelectNullPen()
{
    m_Pen.reset();
    applyState();
}

void Dc::SelectBrush(ColorRef color)
{
    m_Brush = color;
    applyState();
}

void Dc::SelectNullBrush()
{
    m_Brush.reset();
    applyState();
}

void Dc::SelectFont(const QFont& font)
{
    m_Font = font;
    applyState();
}

void Dc::SetTextColor(ColorRef color) { m_TextColor = color; }
void Dc::SetBkMode(Background mode) { m_BkMode = mode; }
void Dc::SetBkColor(ColorRef color) { m_BkColor = color; }

void Dc::MoveTo(int32_t x, int32_t y) { m_Position = {x, y}; }

void Dc::LineTo(int32_t x, int32_t y)
{
    if (m_Pen)
        painter().drawLine(m_Position.x, m_Position.y, x, y);
    m_Position = {x, y};
}

void Dc::Polygon(const Point* points, int count)
{
    if (!points || count < 2)
        return;
    QPolygon polygon(count);
    for (int i = 0; i < count; ++i)
        polygon.setPoint(i, points[i].x, points[i].y);
    painter().drawPolygon(polygon, Qt::OddEvenFill);
}

void Dc::Ellipse(const Rect& box)
{
    if (box.width() > 0 && box.height() > 0)
        painter().drawEllipse(innerBox(box));
}

void Dc::Arc(const Rect& box)
{
    if (box.width() > 0 && box.height() > 0 && m_Pen)
        painter().drawArc(innerBox(box), 0, 360 * 16);
}

void Dc::FillRect(const Rect& rect, ColorRef color)
{
    if (m_Image && !m_Clip) {
        // Without a clip region the pixels are written directly (the rows may be either way up just now).
        const Rect r{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, m_Image->width()),
                     std::min(rect.bottom, m_Image->height())};
        if (r.isEmpty())
            return;
        const uint8_t bgr[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
        const int bytes = m_Image->bytesPerPixel();
        const uint8_t index = bytes == 1 ? m_Image->nearestIndex(bgr[2], bgr[1], bgr[0]) : 0;
        for (int32_t y = r.top; y < r.bottom; ++y) {
            uint8_t* row = targetRow(y) + bytes * r.left;
            for (int32_t x = 0; x < r.width(); ++x) {
                if (bytes == 1)
                    row[x] = index;
                else
                    std::copy(bgr, bgr + 3, row + 3 * x);
            }
        }
        return;
    }
    painter().fillRect(QRect(rect.left, rect.top, rect.width(), rect.height()), toColor(color));
}

void Dc::TextOut(int32_t x, int32_t y, const QString& text)
{
    QPainter& p = painter();
    const QFontMetrics metrics(m_Font);
    if (m_BkMode == Background::Opaque)
        p.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), toColor(m_BkColor));
    p.setPen(toColor(m_TextColor));
    p.drawText(x, y + metrics.ascent(), text);
    p.setPen(makePen());
}

Size Dc::GetTextExtent(const QString& text) const
{
    const QFontMetrics metrics(m_Font);
    return {metrics.horizontalAdvance(text), metrics.height()};
}

void Dc::SetClipEllipse(const Rect& box)
{
    m_Clip = QRegion(QRect(box.left, box.top, box.width(), box.height()), QRegion::Ellipse);
    applyState();
}

void Dc::SetClipRect(const Rect& rect)
{
    m_Clip = QRegion(QRect(rect.left, rect.top, rect.width(), rect.height()));
    applyState();
}

void Dc::ClearClip()
{
    m_Clip.reset();
    applyState();
}

void Dc::BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, const DibImage& src, int32_t sx, int32_t sy)
{
    copyRows(x, y, w, h, src, sx, sy, w, h);
}

void Dc::StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, const DibImage& src, int32_t sx, int32_t sy,
                    int32_t sw, int32_t sh)
{
    copyRows(x, y, w, h, src, sx, sy, sw, sh);
}

void Dc::copyRows(int32_t x, int32_t y, int32_t w, int32_t h, const DibImage& src, int32_t sx, int32_t sy,
                  int32_t sw, int32_t sh)
{
    if (src.isEmpty() || w <= 0 || h <= 0 || sw <= 0 || sh <= 0 || (m_Image && m_Image->isEmpty()))
        return;
    // Target columns and rows whose source pixel lies outside the source are left alone.
    std::vector<int32_t> columns;
    int32_t firstColumn = -1;
    for (int32_t i = 0; i < w; ++i) {
        const int32_t s = sx + nearestSource(i, w, sw);
        if (s < 0 || s >= src.width() || (m_Image && (x + i < 0 || x + i >= m_Image->width()))) {
            if (firstColumn >= 0)
                break;
            continue;
        }
        if (firstColumn < 0)
            firstColumn = i;
        columns.push_back(s);
    }
    if (columns.empty())
        return;
    const int32_t n = int32_t(columns.size());

    if (m_Image && !m_Clip) {
        const PixelConverter convert(src.bitsPerPixel(), src.colorTable(), *m_Image);
        const int bytes = m_Image->bytesPerPixel();
        for (int32_t j = 0; j < h; ++j) {
            const int32_t ty = y + j, syj = sy + nearestSource(j, h, sh);
            if (ty < 0 || ty >= m_Image->height() || syj < 0 || syj >= src.height())
                continue;
            convert.runMapped(src.rowTopDown(syj), columns.data(), targetRow(ty) + bytes * (x + firstColumn), n);
        }
        return;
    }

    // Onto a painter: gather the stretched block top-down, then draw it unscaled.
    const bool indexed = src.bitsPerPixel() == 8;
    QImage block(n, h, indexed ? QImage::Format_Indexed8 : QImage::Format_BGR888);
    if (block.isNull())
        return;
    if (indexed) {
        QList<QRgb> table(256);
        for (int i = 0; i < 256; ++i)
            table[i] = qRgb(src.colorTable()[i].red, src.colorTable()[i].green, src.colorTable()[i].blue);
        block.setColorTable(table);
    }
    const int bytes = src.bytesPerPixel();
    int32_t firstRow = -1, rows = 0;
    for (int32_t j = 0; j < h; ++j) {
        const int32_t syj = sy + nearestSource(j, h, sh);
        if (syj < 0 || syj >= src.height())
            continue;
        if (firstRow < 0)
            firstRow = j;
        const uint8_t* s = src.rowTopDown(syj);
        uint8_t* d = block.scanLine(firstRow + rows);
        for (int32_t i = 0; i < n; ++i)
            std::copy(s + bytes * columns[size_t(i)], s + bytes * (columns[size_t(i)] + 1), d + bytes * i);
        ++rows;
    }
    if (rows > 0)
        painter().drawImage(QPoint(x + firstColumn, y + firstRow), block, QRect(0, 0, n, rows));
}
