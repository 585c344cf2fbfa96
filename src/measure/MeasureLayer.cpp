#include "measure/MeasureLayer.h"

#include <QPainter>

#include "imaging/Dc.h"
#include "measure/MeasureList.h"

Digest& Digest::add(const MeasureList& list)
{
    for (const MeasureItem& item : list) {
        add(item.id).add(item.type).add(item.pointCount).add(item.unit);
        add(item.result).add(item.result2).add(item.result3);
        add(item.center1).add(item.center2).add(item.radius1).add(item.radius2);
        // A tolerance changes the colours an item is drawn in.
        add(int32_t(item.tolerance.has_value()));
        if (item.tolerance)
            add(item.tolerance->nominal).add(item.tolerance->upper).add(item.tolerance->lower);
        for (const MeasurePoint& p : item.points)
            add(p);
    }
    return add(list.count());
}

const QImage& MeasureLayer::Update(const Key& key, const std::function<void(Dc&)>& draw)
{
    if (m_Valid && key == m_Key)
        return m_Layer;
    // At device pixels, so lines and text are as sharp as the picture under them; drawn in window pixels.
    const QSize size(key.geometry.deviceWidth(), key.geometry.deviceHeight());
    if (m_Layer.size() != size)
        m_Layer = QImage(size, QImage::Format_ARGB32_Premultiplied);
    m_Layer.setDevicePixelRatio(key.geometry.devicePixelRatio);
    m_Layer.fill(Qt::transparent);
    if (!m_Layer.isNull()) {
        QPainter painter(&m_Layer);
        Dc dc(painter);
        draw(dc);
    }
    m_Key = key;
    m_Valid = true;
    ++m_Draws;
    return m_Layer;
}
