// Shapes fitted to edge points: a circle from edges along the radii of a ring, a line from edges across a band,
// and a point snapped to the nearest strong edge. Picture coordinates as in EdgeProfile.h.
#pragma once

#include <optional>
#include <vector>

#include "edges/EdgeFinder.h"
#include "imaging/ViewGeometry.h"

class DibImage;

struct CircleFit {
    PicturePoint centre;
    double radius = 0;
    double rms = 0;                      // of the used points' distances from the circle
    std::vector<PicturePoint> used;      // edge points the circle was fitted to
    std::vector<PicturePoint> rejected;  // edge points left out as outliers
};

struct LineFit {
    PicturePoint from, to;               // where the line crosses the band's two ends
    double rms = 0;                      // of the used points' distances from the line
    std::vector<PicturePoint> used;
    std::vector<PicturePoint> rejected;
};

// The strongest edge of the given polarity (along each radius, outwards) between innerRadius and outerRadius on
// each of `radii` radii around centre, a circle fitted to them (algebraic, then geometric least squares), and
// points farther than three robust sigmas (at least 0.1 px) from it left out and the circle fitted again.
// Nothing when fewer than a quarter of the radii (at least five) keep a point, or the arguments make no ring.
std::optional<CircleFit> FitCircleByEdges(const DibImage& image, PicturePoint centre, double innerRadius,
                                          double outerRadius, int radii, double threshold, EdgePolarity polarity);

// The circle fit alone, on points found otherwise: nothing when fewer than minKept (at least 3) remain.
std::optional<CircleFit> FitCircleToPoints(const std::vector<PicturePoint>& points, size_t minKept = 5);

// The strongest edge across the band from `from` to `to` (searched from its left side to its right, looking
// along from -> to, with y down) at `samples` evenly spaced positions, and a total least-squares line through
// them with outliers left out as for the circle. Nothing when fewer than three points remain.
std::optional<LineFit> FitLineByEdges(const DibImage& image, PicturePoint from, PicturePoint to, double halfWidth,
                                      int samples, double threshold, EdgePolarity polarity);

// The strongest edge within `radius` of p along the prevailing gradient direction around p (the structure
// tensor over that radius, at most 64 px). Nothing when there is no edge of that strength there.
std::optional<PicturePoint> SnapToEdge(const DibImage& image, PicturePoint p, double radius, double threshold);
