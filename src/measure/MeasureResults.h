// Results of measurements in calibrated units, and the texts that rows and overlay labels show them with.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

#include "measure/MeasureItem.h"

class DibImage;
struct CalibEntry;

// String ids of the texts that name results.
enum MeasureStringId : int32_t {
    StrLength = 1000,
    StrPolygonArea = 1001,
    StrCircleDiameter = 1002,
    StrCircleDistance = 1003,
    StrAngle = 1004,
    StrDegree = 1005,
    // Texts of the edge tools, kept with the results (resultRowTitle) rather than in the program's string table.
    StrCaliperWidth = 1100,
    StrEdgePosition = 1101,
    StrEdgeCircleDiameter = 1102,
    StrEdgeLineAngle = 1103,
};

// How the edge tools search: 4 levels a pixel of gradient, either polarity; the ring of an edge circle
// reaches a quarter of its rough radius (at least 5 pixels) either side of it; so many radii and samples.
inline constexpr double kEdgeThreshold = 4.0;
inline constexpr double kEdgeRingShare = 0.25;
inline constexpr double kEdgeRingMinimum = 5.0;
inline constexpr int kEdgeCircleRadii = 360;
inline constexpr int kEdgeLineSamples = 40;

// Results in degrees that no calibration changes: the angle and the edge line's angle.
bool isAngleKind(int32_t type);

// The radii of the ring an edge circle searches, widen times as wide as usual, around its rough circle (center2,
// radius2); false when its points make no circle.
bool edgeRing(const MeasureItem& item, double widen, double& inner, double& outer);

// Searches the picture again for the edges of an edge item (caliper, edge circle, edge line) from its points,
// and stores what it found (MeasureItem::edges, edgeFound, the fitted circle or line). Other kinds are left.
void searchEdges(MeasureItem& item, const DibImage& picture);

// Moves an edge item's points to where its part lies on this picture, within a few pixels of where they were
// (the recipe's relocate hook): an edge circle's ring is centred on a circle found with a ring twice as wide,
// an edge line's band is moved across onto the line found in a band twice as wide. A caliper's segment runs
// across the edges and finds them wherever they moved along it, so it stays. Other kinds are left.
void RelocateEdgeItem(MeasureItem& item, const DibImage& picture);

// The circles of a circle or two-circle item from its points: circle 1 through points 0-2, circle 2
// through points 3-5.
void fitCircles(MeasureItem& item);

// Recomputes the results of a finished item from its points, centres and radii with the calibration's
// factors, and takes the calibration's unit: lengths, diameters and distances scale by mppX, areas by
// mppX x mppY, angles not at all. A perpendicular item's foot is recomputed and stored as point 3. An
// area is the polygon's geometric area from its vertices. Edge items search the picture again (searchEdges)
// when one is given, else keep what their last search found; without an edge, circle or line they have no
// result (NaN): a caliper gives the width between its first and last edge, or with one edge its distance from
// the segment's start; an edge circle its diameter; an edge line its angle to the picture's x axis in degrees,
// 0 to 180 counter-clockwise as seen. A tolerance follows a change of unit (convertTolerance).
void computeResults(MeasureItem& item, const CalibEntry& calib, const DibImage* picture);

// Finishes the item being built with the active tool: the negated tool code, the circles fitted, the
// results computed.
void finishItem(MeasureItem& item, const CalibEntry& calib, const DibImage* picture);

// The finished perpendicular from the latest point of the item being built onto the base line through its
// first two points.
MeasureItem makePerpendicular(const MeasureItem& building, const CalibEntry& calib);

// The row whose value a tolerance judges: the first row (length, area, diameter, length, angle) except for
// two circles, whose distance (row 2) is the measurement; the diameters only place the circles.
int32_t mainResultRow(int32_t type);
// The verdict of an item's main result against its tolerance; None without a tolerance or results.
Verdict itemVerdict(const MeasureItem& item);
// The tolerance of an item measured in unit `from`, rewritten for its unit now (cm, mm, um; areas by the
// square of the factor; angles as they are), so limits keep their meaning when the calibration changes.
void convertTolerance(MeasureItem& item, int32_t from);

// Rows in the results list for a finished type: three for two circles, else one.
int32_t resultRowCount(int32_t type);
// The string id naming row r of a finished type; 0 for a type without rows.
int32_t resultRowName(int32_t type, int32_t row);
// The text naming row r of an item in the language in use: the string table's for the first six kinds; a
// caliper with a single edge shows its position, else its width.
QString resultRowTitle(const MeasureItem& item, int32_t row);
// The value that row r of an item shows.
double resultRowValue(const MeasureItem& item, int32_t row);

struct ResultText {
    QString value;
    QString unit;
};

// Value and unit texts: "%.2f" cm, "%.3f" mm, "%.2f" um; nothing for a unit code outside 0..2 or a value
// that is not finite.
std::optional<ResultText> lengthText(double value, int32_t unit);
// The same numbers with "cm2", "mm2", "um2".
std::optional<ResultText> areaText(double value, int32_t unit);
// Where a text goes: the screen shows an angle's unit as the degree sign; the CSV file keeps the string
// table's text (StrDegree) that it has always written, so files read by other programs do not change.
enum class TextUse { Screen, File };
// "%.1f" and the degree text.
ResultText angleText(double degrees, TextUse use = TextUse::Screen);
// The texts of row r of an item, written with unit (angles ignore it).
std::optional<ResultText> resultRowText(const MeasureItem& item, int32_t row, int32_t unit,
                                        TextUse use = TextUse::Screen);

// Overlay labels ("%.2fcm", "%.3fmm2", "%.1f°"); empty for a unit outside 0..2.
QString lengthLabel(double value, int32_t unit);
QString areaLabel(double value, int32_t unit);
QString angleLabel(double degrees);
