// How sharp the picture is: a focus score of the part a view shows, and the best score since the view last
// changed (a peak hold for turning the focus knob: the best is the aim).
#pragma once

#include <QString>

#include "imaging/Rect.h"
#include "imaging/ViewGeometry.h"

class DibImage;

// The part of the picture the view shows, in picture pixels, within the picture (all of it at fit).
Rect VisiblePicturePart(const ViewGeometry& g);

// Tenengrad: the mean squared Sobel gradient of the lightness ((max + min) / 2 of a colour pixel, the grey
// level of a grey one) over part, on a grid of about 32k samples so that a frame costs under half a
// millisecond. 0 for an empty part or picture.
double FocusScore(const DibImage& picture, const Rect& part);

class FocusMeter {
public:
    // A frame's score, shown with geometry: a view that moved or zoomed starts the best afresh.
    void add(double score, const ViewGeometry& geometry);
    // A click asks for a fresh best.
    void reset() { m_Best = 0.0; }
    double score() const { return m_Score; }
    double best() const { return m_Best; }
    // "focus 1234 ▮▮▮▮▮▯▯▯▯▯ best 2468": the score, a bar of its share of the best, the best; empty before a score.
    QString text(bool japanese) const;

private:
    double m_Score = 0.0;
    double m_Best = 0.0;
    bool m_Seen = false;
    ViewGeometry m_Geometry;
};
