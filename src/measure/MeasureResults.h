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
};

// The circles of a circle or two-circle item from its points: circle 1 through points 0-2, circle 2
// through points 3-5.
void fitCircles(MeasureItem& item);

// Recomputes the results of a finished item from its points, centres and radii with the calibration's
// factors, and takes the calibration's unit: lengths, diameters and distances scale by mppX, areas by
// mppX x mppY, angles not at all. A perpendicular item's foot is recomputed and stored as point 3. An
// area is the polygon's geometric area from its vertices; the picture is not needed for any result. A
// tolerance follows a change of unit (convertTolerance).
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
