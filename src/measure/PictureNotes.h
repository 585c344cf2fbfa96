// The measurement document a saved PNG or TIFF picture carries: the calibration in use and the finished
// measurements, as compact JSON. Opening the picture again puts both back.
//
// The document (one line, no spaces; shown spread out):
//   {"format": "nxviewer-measurements", "version": 1,
//    "calibration": {"name": "Data1", "unit": "mm", "unitsPerPixelX": 0.05, "unitsPerPixelY": 0.05},
//    "measurements": [
//      {"kind": "length", "points": [[x, y], [x, y]], "results": [r], "unit": "mm"},
//      {"kind": "circle", "points": [[x, y], [x, y], [x, y]],
//       "circles": [{"center": [x, y], "radius": r}], "results": [diameter], "unit": "mm"},
//      ...]}
// - kind and its points (picture pixels, x to the right, y down): "length" 2, "area" 1 to 10,000 polygon
//   corners, "circle" 3, "circle-distance" 6 (three on each circle), "perpendicular" 3 (the two ends of the
//   base line, then the picked point; the foot is not written), "angle" 3 (the vertex is the middle one),
//   "caliper" 2 (the search segment across the edges), "edge-circle" 3 (on the rough circle the ring of the
//   search lies around), "edge-line" 2 (the band's axis along the edge).
// - "halfWidth" ("caliper", "edge-line"): how far the band reaches either side of its axis, in picture
//   pixels, above 0 and at most 1000; without it 10. What the edge tools found is not written: reading
//   searches the picture again.
// - "circles" (circle kinds only): each circle as shown, which may differ from the one through its three
//   points once its centre or outline was dragged; a document without it fits the circles to the points.
// - "results": the values the results list shows, in "unit" (areas in unit squared, angles in degrees with
//   the unit "deg"): a length, an area, a diameter, two diameters and the centres' distance, a length, an
//   angle; the caliper's width (or with a single edge its distance from the segment's start), the edge
//   circle's diameter, the edge line's angle (degrees, "deg"); null where an edge tool found nothing. They are written for other programs: reading works every result out again from the points.
// - unit: "cm", "mm" or "um"; unitsPerPixelX/Y: the calibration's factors (finite, above 0).
// - "tolerance" (optional, on an inspected item): {"nominal": n, "upper": u, "lower": l}, the limits of the
//   item's main result (the first result; the distance for "circle-distance") in its "unit":
//   nominal - lower <= result <= nominal + upper; finite, upper and lower 0 or more. One that does not hold
//   up is left out (named "tolerance") and the item kept without it.
// Members come in alphabetical order (Qt writes them so); readers must not rely on any order.
// Reading is strict about what it takes and lenient about the rest: members it does not know are passed
// over, and an item or a calibration that does not hold up is left out and named.
#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>
#include <vector>

#include "calib/CalibEntry.h"
#include "measure/MeasureItem.h"

class MeasureList;

struct PictureNotes {
    // The picture's calibration, as the entry "from file" (position CalibTable::kCount); none when the
    // document has none or it did not hold up.
    std::optional<CalibEntry> calib;
    // Finished items (negated tool, counted points, circles set) ready to be appended; their results are
    // not filled in: the session works them out with the calibration selected.
    std::vector<MeasureItem> items;
};

namespace notes {
inline constexpr int kMaxMeasurements = 10000;
inline constexpr int kMaxAreaPoints = 10000;
inline constexpr int kMaxNameLength = 64;
// Coordinates, radii and factors beyond this are no measurement of a picture.
inline constexpr double kMaxMagnitude = 1e7;
// A document above this is not read at all (a full list of six-point items is far smaller).
inline constexpr qsizetype kMaxDocumentBytes = 16 * 1024 * 1024;
inline constexpr double kMaxEdgeBandHalfWidth = 1000.0;
} // namespace notes

// A band's half width as read from a file: above 0 and at most notes::kMaxEdgeBandHalfWidth; nothing otherwise.
std::optional<double> EdgeBandHalfWidth(double halfWidth);

// The kind names shared by the picture's document and the recipe file: "length", "area", ... for a finished
// type; null for a type without one.
const char* MeasureKindName(int32_t finishedType);
// A finished item of a kind from its points (picture pixels): the negated tool, the points counted and the
// circles fitted through them. Nothing for an unknown kind, a count of points the kind does not take, or a
// point that is not finite or beyond notes::kMaxMagnitude.
std::optional<MeasureItem> MeasureItemOfKind(const QString& kind, const std::vector<MeasurePoint>& points);

// The entry "from file" for a picture's scale: unit "cm", "mm" or "um", factors finite and above 0 (and
// sane); nothing otherwise. Its frame and lengths give the factors back exactly when recomputed.
std::optional<CalibEntry> CalibFromScale(const QString& name, const QString& unit, double mppX, double mppY);

// The document for the calibration in use and the finished items of the list.
QByteArray EncodeNotes(const CalibEntry& calib, const MeasureList& items);

// Reads a document. What it leaves out is named in ignored with short words the window can show
// ("calibration", "3 measurements"); not JSON, or not our document, gives nothing and "measurements".
std::optional<PictureNotes> DecodeNotes(const QByteArray& json, QStringList& ignored);
