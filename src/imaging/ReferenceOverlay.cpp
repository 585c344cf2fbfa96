#include "imaging/ReferenceOverlay.h"

#include <QPainter>

#include "imaging/DibImage.h"

void ReferenceOverlay::setPicture(const DibImage& picture)
{
    m_Plain = QImage(picture.width(), picture.height(), QImage::Format_RGB32);
    m_Magenta = QImage(picture.width(), picture.height(), QImage::Format_RGB32);
    m_View = QImage();
    const int bytes = picture.bytesPerPixel();
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* p = picture.rowTopDown(y);
        auto* plain = reinterpret_cast<QRgb*>(m_Plain.scanLine(y));
        auto* tint = reinterpret_cast<QRgb*>(m_Magenta.scanLine(y));
        for (int x = 0; x < picture.width(); ++x, p += bytes) {
            const int b = p[0], g = bytes >= 3 ? p[1] : p[0], r = bytes >= 3 ? p[2] : p[0];
            plain[x] = qRgb(r, g, b);
            const int light = (r * 77 + g * 150 + b * 29) >> 8;
            tint[x] = qRgb(light, 0, light);
        }
    }
}

void ReferenceOverlay::paint(QPainter& painter, const ViewGeometry& g, const Look& look)
{
    if (isEmpty() || g.view.isEmpty())
        return;
    const ViewScale s = viewScale(g);
    const bool sameView = g == m_Geometry && look.shiftX == m_Look.shiftX && look.shiftY == m_Look.shiftY
        && look.difference == m_Look.difference;
    if (m_View.isNull() || !sameView) {
        // At device pixels, as the live picture under it; the painter below still counts window pixels.
        m_View = QImage(g.deviceWidth(), g.deviceHeight(), QImage::Format_ARGB32_Premultiplied);
        m_View.setDevicePixelRatio(g.devicePixelRatio);
        m_View.fill(Qt::transparent);
        QPainter p(&m_View);
        p.scale(s.sx, s.sy);
        p.translate(s.offsetX + look.shiftX, s.offsetY + look.shiftY);
        p.drawImage(0, 0, look.difference ? m_Magenta : m_Plain);
        ++m_Draws;
    }
    m_Geometry = g;
    m_Look = look;
    const QPoint at(g.view.left, g.view.top);
    painter.save();
    if (look.difference) {
        // The picture's part of the view keeps its green alone; the reference adds red and blue.
        const Point from = imageToView({ 0.0, 0.0 }, s);
        const Point to = imageToView({ double(g.imageWidth), double(g.imageHeight) }, s);
        const QRect picture = QRect(QPoint(from.x, from.y), QPoint(to.x - 1, to.y - 1))
                                  .intersected(QRect(0, 0, g.view.width(), g.view.height()))
                                  .translated(at);
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        painter.fillRect(picture, QColor(0, 255, 0));
        painter.setCompositionMode(QPainter::CompositionMode_Plus);
    } else {
        painter.setOpacity(look.opacity);
    }
    painter.drawImage(at, m_View);
    painter.restore();
}
