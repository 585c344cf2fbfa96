// Draws a Histogram: luminance as a grey area, red, green and blue as lines over it, levels 0..255 from left
// to right, each level a column; the height follows the largest count.
#pragma once

#include <QWidget>

#include "imaging/Histogram.h"

class HistogramView : public QWidget {
    Q_OBJECT
public:
    explicit HistogramView(QWidget* parent = nullptr);

    void setHistogram(const Histogram& histogram);
    const Histogram& histogram() const { return m_Histogram; }

    QSize sizeHint() const override { return { Histogram::kLevels + 2, 130 }; }
    QSize minimumSizeHint() const override { return { Histogram::kLevels + 2, 90 }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Histogram m_Histogram;
};
