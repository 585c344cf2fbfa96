// Recipes: the measurements of one picture, with their tolerances, kept to be made again on the next
// picture of the same part.
//
// The file is UTF-8 text, lines ended by LF (a CR before it is allowed):
//   nxviewer-recipe 1
//   # anything after a '#' at the start of a line is a comment; blank lines are passed over
//   length 120 80 620 80 tol 2.5 0.05 0.05 mm
//   circle-distance 10 10 20 0 30 10 110 10 120 0 130 10
//   angle 10 0 0 0 0 10 tol 90 0.5 0.5 deg
//   caliper 100 200 300 200 width 10 tol 4.2 0.01 0.01 mm
// - The first line names the format and its version (1); a reader refuses a file without it or of a
//   version it does not know.
// - Every other line is one item: its kind ("length", "area", "circle", "circle-distance",
//   "perpendicular", "angle", "caliper", "edge-circle", "edge-line", as in the picture's measurement
//   document), then x y of each point in picture pixels (x to the right, y down; as many as the kind takes: 2,
//   1 to 10,000, 3, 6, 3, 3, 2, 3, 2), then for "caliper" and "edge-line" optionally "width" and the band's
//   half width in pixels (above 0, at most 1000; 10 without it), then optionally "tol", the nominal value, the upper and the lower deviation (both 0 or more) and the unit
//   they are in: "cm", "mm", "um" (an area's limits are in that unit squared) or "deg" for an angle and an
//   edge line. The
//   limits judge the item's main result: the first result, the distance for "circle-distance".
// - Tokens are separated by spaces or tabs; numbers are decimal with a point ("1e-3" allowed), finite and
//   within 1e7 in magnitude.
// - Circles are fitted to their points when the recipe is applied.
// Reading is bounded: a file above 16 MiB, a line above 1 MiB, or more than 10,000 items is not taken
// whole: the file is refused, the line or the items beyond are left out and named.
#pragma once

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

#include "measure/MeasureItem.h"

class DibImage;
class MeasureList;
class MeasureSession;

namespace recipe {
inline constexpr int kVersion = 1;
inline constexpr qsizetype kMaxLineBytes = 1024 * 1024;
} // namespace recipe

// The recipe of the finished items of the list, with their tolerances.
QByteArray WriteRecipe(const MeasureList& items);

// Reads a recipe: finished items with their points, circles fitted, and their tolerances in item.unit (an
// angle's unit left as it is). Lines that do not hold up are left out and named in ignored ("line 7");
// nothing for a file that is not a recipe of a known version (named "recipe").
std::optional<std::vector<MeasureItem>> ReadRecipe(const QByteArray& text, QStringList& ignored);

// The items of a recipe become the session's list (undoable as replaceItems): each is first passed to
// relocate (which may move its points to where the part lies on this picture, as RelocateEdgeItem in
// MeasureResults.h does for the edge tools; none leaves them), its
// circles are fitted to the points then, and results and verdicts are computed with the calibration
// selected, tolerances rewritten for its unit.
void ApplyRecipe(MeasureSession& session, const std::vector<MeasureItem>& items, const DibImage* picture,
    const std::function<void(MeasureItem&)>& relocate = {});
