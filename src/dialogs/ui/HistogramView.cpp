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

    // The height follows the largest count, the end levels included: a picture of only black and white
    // (binarised) is all in levels 0 and 255.
    uint32_t top = 1;
    for (const auto& channel : m_Histogram.counts)
        top = std::max(top, *std::max_element(channel.begin(), channel.end()));
    // Each level is a column of the plot, as wide as a level; counts to y.
    const auto x = [&](int level) { return plot.left() + level * plot.width() / Histogram::kLevels; };
    const auto y = [&](uint32_t count) { return plot.bottom() - double(count) / top * plot.height(); };
    const auto curve = [&](Histogram::Channel c) {
        const auto& counts = m_Histogram.counts[c];
        QPainterPath path(QPointF(x(0), y(counts[0])));
        for (int level = 0; level < Histogram::kLevels; ++level) {
            if (level > 0)
                path.lineTo(x(level), y(counts[size_t(level)]));
            path.lineTo(x(level + 1), y(counts[size_t(level)]));
        }
        return path;
    };
    if (m_Histogram.pixels == 0)
        return;
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath luma = curve(Histogram::Luma);
    luma.lineTo(x(Histogram::kLevels), plot.bottom());
    luma.lineTo(x(0), plot.bottom());
    p.fillPath(luma, QColor(200, 200, 200, 110));
    // Lines drawn additively: where the three agree they read as white.
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    const QColor colours[] = { QColor(230, 40, 40), QColor(40, 210, 40), QColor(60, 90, 255) };
    for (int c = Histogram::Red; c <= Histogram::Blue; ++c) {
        p.setPen(QPen(colours[c], 1.2));
        p.drawPath(curve(Histogram::Channel(c)));
    }
}
