// Edges along a search segment or across a rectangle: maxima of the lightness gradient above a strength, with
// a polarity, located to a fraction of a pixel. Works on the full-resolution picture (see EdgeProfile.h for the
// coordinates), never on the view.
#pragma once

#include <optional>
#include <vector>

#include "edges/EdgeProfile.h"
#include "imaging/ViewGeometry.h"

class DibImage;

// Along the search: Rising is dark to light, Falling light to dark.
enum class EdgePolarity { Rising, Falling, Either };

struct EdgeSearch {
    PicturePoint from, to;
    double halfWidth = 0;       // the rectangle's half width across the segment; 0 is a single line
    double threshold = 8;       // levels per pixel of gradient
    EdgePolarity polarity = EdgePolarity::Either;
};

struct Edge {
    double along;         // distance from the search's start, in pixels
    PicturePoint point;   // where the edge crosses the segment's axis
    double strength;      // gradient at the edge, levels per pixel (of the smoothed profile)
    int polarity;         // +1 rising (dark to light along the search), -1 falling
};

// Every edge along the search, in order from its start.
std::vector<Edge> FindEdges(const DibImage& image, const EdgeSearch& search);
// The strongest of them (the one with the largest gradient sample).
std::optional<Edge> StrongestEdge(const DibImage& image, const EdgeSearch& search);
// The same search located by the plain three-point parabola on the central-difference gradient, for comparison.
std::vector<Edge> FindEdgesParabola(const DibImage& image, const EdgeSearch& search);

// On a profile already sampled (the shape fits sample their own).
std::vector<Edge> FindEdgesInProfile(const EdgeProfile& profile, double threshold, EdgePolarity polarity);
