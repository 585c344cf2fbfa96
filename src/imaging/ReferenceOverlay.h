// A reference picture laid over the view picture as the picture itself lies there (same zoom and scroll),
// shifted by a whole or fractional number of picture pixels: with an opacity, or as a difference where the
// view picture keeps its green alone and the reference adds its lightness in red and blue (magenta), so that
// agreement adds up to grey and a shifted or missing feature shows in colour. The reference scaled onto the
// view is kept until the view or the shift changes, so a live frame costs one or two blends.
#pragma once

#include <QImage>

#include <cstdint>

#include "imaging/ViewGeometry.h"

class DibImage;
class QPainter;

class ReferenceOverlay {
public:
    // The picture (8-bit or 24-bit) becomes the reference.
    void setPicture(const DibImage& picture);
    bool isEmpty() const { return m_Plain.isNull(); }

    struct Look {
        double shiftX = 0.0; // picture pixels the reference is moved right and down
        double shiftY = 0.0;
        bool difference = false;
        double opacity = 0.5; // 0..1, when not a difference
        friend bool operator==(const Look&, const Look&) = default;
    };
    // Over the view picture painted at g.view's top-left corner.
    void paint(QPainter& painter, const ViewGeometry& g, const Look& look);
    // How often the reference was scaled onto the view (for tests and benchmarks).
    int64_t draws() const { return m_Draws; }

private:
    QImage m_Plain;
    QImage m_Magenta;
    QImage m_View;
    ViewGeometry m_Geometry;
    Look m_Look;
    int64_t m_Draws = 0;
};
