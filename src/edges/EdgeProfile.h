// Lightness profiles of the full-resolution picture along a search segment, averaged across a rectangle.
//
// Coordinates are the measurements' picture coordinates (PicturePoint): pixel (i, j) covers [i, i + 1) x
// [j, j + 1), so its centre is (i + 0.5, j + 0.5). The view draws picture point p at (p + scroll) * zoom, the
// pixel's top-left corner at its integer coordinates, so an edge found here is drawn where it is seen.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/ViewGeometry.h"

class DibImage;

// Bilinear lightness of a picture: (max + min) / 2 of red, green and blue, the L of the viewer's HLS processing;
// an 8-bit picture through its colour table. The picture must outlive the sampler.
class LightnessSampler {
public:
    explicit LightnessSampler(const DibImage& image);

    // The picture's area [0, width] x [0, height]; a point that is not a number is outside.
    bool inside(PicturePoint p) const;
    // Bilinear between pixel centres, the border pixels held up to the picture's edge. Only for points inside.
    double at(PicturePoint p) const;

private:
    const uint8_t* m_Bits = nullptr;
    int32_t m_Width = 0;
    int32_t m_Height = 0;
    int32_t m_Stride = 0;
    int m_Bytes = 0;
    double m_Table[256] = {};
};

struct EdgeProfile {
    PicturePoint origin;            // where sample 0 lies (the search's start)
    PicturePoint direction{1, 0};   // unit step along the search
    std::vector<double> values;     // sample i lies at origin + i * direction

    PicturePoint pointAt(double along) const { return {origin.x + along * direction.x, origin.y + along * direction.y}; }
};

// Samples from `from` towards `to` at 1 px steps (the last at or before `to`), each the mean of the samples
// across the segment at 1 px steps out to halfWidth on both sides. The profile ends before the first step
// whose cross line leaves the picture, so a search starting outside gives no samples.
EdgeProfile SampleProfile(const DibImage& image, PicturePoint from, PicturePoint to, double halfWidth);

// The part of the segment a-b whose points lie at least `margin` inside the picture; false when none does.
bool ClipToPicture(const DibImage& image, PicturePoint& a, PicturePoint& b, double margin = 0.0);
