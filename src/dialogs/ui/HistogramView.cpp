#include "dialogs/ui/HistogramView.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

HistogramView::HistogramView(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void HistogramView::setHistogram(const Histogram& histogram)
{
    m_Histogram = histogram;
    update();
}

void HistogramView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRectF plot = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.fillRect(rect(), QColor(24, 24, 24));
    p.setPen(QColor(70, 70, 70));
    for (int q = 1; q < 4; ++q) { // quarter lines of the level axis
        const double x = plot.left() + plot.width() * q / 4.0;
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    p.drawRect(QRectF(rect()).adjusted(0, 0, -1, -1));

    uint32_t top = 1;
    for (const auto& channel : m_Histogram.counts)
        top = std::max(top, *std::max_element(channel.begin() + 1, channel.end() - 1));
    // Levels to x at the middle of each level's column; counts to y, cut at the top.
    const auto point = [&](int level, uint32_t count) {
        const double x = plot.left() + (level + 0.5) * plot.width() / Histogram::kLevels;
        const double h = std::min(1.0, double(count) / top) * plot.height();
        return QPointF(x, plot.bottom() - h);
    };
    const auto curve = [&](Histogram::Channel c) {
        QPainterPath path(point(0, m_Histogram.counts[c][0]));
        for (int level = 1; level < Histogram::kLevels; ++level)
            path.lineTo(point(level, m_Histogram.counts[c][size_t(level)]));
        return path;
    };
    if (m_Histogram.pixels == 0)
        return;
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath luma = curve(Histogram::Luma);
    luma.lineTo(point(Histogram::kLevels - 1, 0));
    luma.lineTo(point(0, 0));
    p.fillPath(luma, QColor(200, 200, 200, 110));
    // Lines drawn additively: where the three agree they read as white.
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    const QColor colours[] = { QColor(230, 40, 40), QColor(40, 210, 40), QColor(60, 90, 255) };
    for (int c = Histogram::Red; c <= Histogram::Blue; ++c) {
        p.setPen(QPen(colours[c], 1.2));
        p.drawPath(curve(Histogram::Channel(c)));
    }
}
