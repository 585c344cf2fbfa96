// Calibrated results of every tool and the number formats of rows and labels.
#include "measure/MeasureResults.h"

#include <algorithm>
#include <cmath>

#include "calib/CalibEntry.h"
#include "measure/Geometry.h"
#include "platform/StringTable.h"

namespace {

// Base points A, B, the picked point P and the stored foot F of a perpendicular item.
enum { kBaseA = 0, kBaseB = 1, kPicked = 2, kFoot = 3 };

const char* valueFormat(int32_t unit)
{
    switch (unit) {
    case UnitCm:
    case UnitUm:
        return "%.2f";
    case UnitMm:
        return "%.3f";
    default:
        return nullptr;
    }
}

double perpendicularLength(MeasureItem& item)
{
    const MeasurePoint p = item.point(kPicked);
    const MeasurePoint f = footOfPerpendicular(p, lineThrough(item.point(kBaseA), item.point(kBaseB)));
    item.setPoint(kFoot, f);
    return distance(p, f);
}

}  // namespace

void fitCircles(MeasureItem& item)
{
    circleThrough(item.point(0), item.point(1), item.point(2), item.center1, item.radius1);
    if (std::abs(item.type) == ToolCircle2)
        circleThrough(item.point(3), item.point(4), item.point(5), item.center2, item.radius2);
}

void computeResults(MeasureItem& item, const CalibEntry& calib, const DibImage*)
{
    const double mppX = calib.mppX;
    switch (item.type) {
    case -ToolLine:
        item.result = distance(item.point(0), item.point(1)) * mppX;
        break;
    case -ToolArea:
        item.result = item.result2 = polygonArea(item.points.data(), item.countedPoints()) * mppX * calib.mppY;
        break;
    case -ToolCircle:
        item.result = 2.0 * item.radius1 * mppX;
        break;
    case -ToolCircle2:
        item.result = 2.0 * item.radius1 * mppX;
        item.result2 = 2.0 * item.radius2 * mppX;
        item.result3 = distance(item.center1, item.center2) * mppX;
        break;
    case -ToolPerpendicular:
        item.result = perpendicularLength(item) * mppX;
        break;
    case -ToolAngle:
        item.result = angleAt(item.point(0), item.point(1), item.point(2));
        break;
    default:
        return;
    }
    const int32_t before = item.unit;
    item.unit = calib.unit;
    convertTolerance(item, before);
}

void convertTolerance(MeasureItem& item, int32_t from)
{
    // Micrometres per unit, by unit code.
    constexpr double kMicrometres[] = { 10000.0, 1000.0, 1.0 };
    const int32_t to = item.unit;
    if (!item.tolerance || from == to || item.type == -ToolAngle || from < UnitCm || from > UnitUm || to < UnitCm
        || to > UnitUm)
        return;
    double factor = kMicrometres[from] / kMicrometres[to];
    if (item.type == -ToolArea)
        factor *= factor;
    Tolerance& t = *item.tolerance;
    t.nominal *= factor;
    t.upper *= factor;
    t.lower *= factor;
}

int32_t mainResultRow(int32_t type) { return type == -ToolCircle2 ? 2 : 0; }

Verdict itemVerdict(const MeasureItem& item)
{
    if (!item.tolerance || resultRowName(item.type, 0) == 0)
        return Verdict::None;
    return judge(*item.tolerance, resultRowValue(item, mainResultRow(item.type)));
}

void finishItem(MeasureItem& item, const CalibEntry& calib, const DibImage* picture)
{
    item.type = -std::abs(item.type);
    if (item.type == -ToolCircle || item.type == -ToolCircle2)
        fitCircles(item);
    computeResults(item, calib, picture);
}

MeasureItem makePerpendicular(const MeasureItem& building, const CalibEntry& calib)
{
    MeasureItem item;
    item.reset(ToolPerpendicular);
    item.setPoint(kBaseA, building.point(0));
    item.setPoint(kBaseB, building.point(1));
    item.setPoint(kPicked, building.point(building.pointCount - 1));
    item.pointCount = 3;
    item.type = -ToolPerpendicular;
    computeResults(item, calib, nullptr);
    return item;
}

int32_t resultRowCount(int32_t type) { return type == -ToolCircle2 ? 3 : 1; }

int32_t resultRowName(int32_t type, int32_t row)
{
    switch (type) {
    case -ToolLine:
    case -ToolPerpendicular:
        return StrLength;
    case -ToolArea:
        return StrPolygonArea;
    case -ToolCircle:
        return StrCircleDiameter;
    case -ToolCircle2:
        return row < 2 ? StrCircleDiameter : StrCircleDistance;
    case -ToolAngle:
        return StrAngle;
    default:
        return 0;
    }
}

double resultRowValue(const MeasureItem& item, int32_t row)
{
    if (item.type == -ToolArea)
        return item.result2;
    if (item.type == -ToolCircle2)
        return row == 0 ? item.result : row == 1 ? item.result2 : item.result3;
    return item.result;
}

std::optional<ResultText> lengthText(double value, int32_t unit)
{
    const char* format = valueFormat(unit);
    // Only an absurd calibration factor overflows a result; "inf" is no measurement, so write nothing.
    if (!format || !std::isfinite(value))
        return std::nullopt;
    return ResultText{QString::asprintf(format, value), unitText(unit)};
}

std::optional<ResultText> areaText(double value, int32_t unit)
{
    auto text = lengthText(value, unit);
    if (text)
        text->unit += QLatin1Char('2');
    return text;
}

ResultText angleText(double degrees, TextUse use)
{
    return {QString::asprintf("%.1f", degrees), use == TextUse::File ? LoadString(StrDegree) : QString(u'\u00B0')};
}

std::optional<ResultText> resultRowText(const MeasureItem& item, int32_t row, int32_t unit, TextUse use)
{
    const double value = resultRowValue(item, row);
    if (item.type == -ToolAngle)
        return angleText(value, use);
    return item.type == -ToolArea ? areaText(value, unit) : lengthText(value, unit);
}

QString lengthLabel(double value, int32_t unit)
{
    const auto text = lengthText(value, unit);
    return text ? text->value + text->unit : QString();
}

QString areaLabel(double value, int32_t unit)
{
    const auto text = areaText(value, unit);
    return text ? text->value + text->unit : QString();
}

QString angleLabel(double degrees)
{
    const ResultText text = angleText(degrees);
    return text.value + text.unit;
}
