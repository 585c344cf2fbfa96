// Calibrated results of every tool and the number formats of rows and labels.
#include "measure/MeasureResults.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "calib/CalibEntry.h"
#include "edges/EdgeFinder.h"
#include "edges/ShapeFit.h"
#include "measure/Geometry.h"
#include "platform/Language.h"
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

constexpr double kNoResult = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegreesPerRadian = 57.295779513082320876;

// The edge line's fitted ends, after its two counted points.
enum { kFittedFrom = 2, kFittedTo = 3 };

struct EdgeText {
    int32_t id;
    const char* english;
    const char* japanese; // UTF-8
};

constexpr EdgeText kEdgeTexts[] = {
    { StrCaliperWidth, "Caliper width", "キャリパー幅" },
    { StrEdgePosition, "Edge position", "エッジ位置" },
    { StrEdgeCircleDiameter, "Edge circle diameter", "エッジ円直径" },
    { StrEdgeLineAngle, "Edge line angle", "エッジ直線角度" },
};

MeasurePoint shifted(MeasurePoint p, double dx, double dy) { return { p.x + dx, p.y + dy }; }

}  // namespace

bool edgeRing(const MeasureItem& item, double widen, double& inner, double& outer)
{
    const double r = item.radius2;
    if (!std::isfinite(r) || r <= 0.0 || !std::isfinite(item.center2.x) || !std::isfinite(item.center2.y))
        return false;
    // Three points in a row make no circle (the stand-in circleThrough gives then misses one of them).
    for (int32_t i = 0; i < 3; ++i)
        if (std::abs(distance(item.center2, item.point(i)) - r) > 1e-6 * std::max(1.0, r))
            return false;
    const double reach = widen * std::max(kEdgeRingShare * r, kEdgeRingMinimum);
    inner = std::max(0.0, r - reach);
    outer = r + reach;
    return true;
}

namespace {

std::optional<CircleFit> circleSearch(const MeasureItem& item, const DibImage& picture, double widen)
{
    double inner = 0.0, outer = 0.0;
    if (!edgeRing(item, widen, inner, outer))
        return std::nullopt;
    return FitCircleByEdges(picture, item.center2, inner, outer, kEdgeCircleRadii, kEdgeThreshold,
                            EdgePolarity::Either);
}

std::optional<LineFit> lineSearch(const MeasureItem& item, const DibImage& picture, double halfWidth)
{
    return FitLineByEdges(picture, item.point(0), item.point(1), halfWidth, kEdgeLineSamples, kEdgeThreshold,
                          EdgePolarity::Either);
}

double caliperResult(const MeasureItem& item)
{
    if (!item.edgeFound || item.edges.empty())
        return kNoResult;
    if (item.edges.size() == 1)
        return distance(item.point(0), item.edges.front());
    return distance(item.edges.front(), item.edges.back());
}

double lineAngle(MeasurePoint from, MeasurePoint to)
{
    // Counter-clockwise as seen (y points down), folded into 0 <= angle < 180: a line has no direction.
    const double a = std::atan2(from.y - to.y, to.x - from.x) * kDegreesPerRadian;
    const double folded = std::fmod(a + 360.0, 180.0);
    return folded >= 180.0 ? 0.0 : folded;
}

// The results of an edge item from what its last search found, in pixels or degrees.
double edgeResult(const MeasureItem& item)
{
    switch (item.type) {
    case -ToolCaliper:
        return caliperResult(item);
    case -ToolEdgeCircle:
        return item.edgeFound ? 2.0 * item.radius1 : kNoResult;
    case -ToolEdgeLine:
        return item.edgeFound ? lineAngle(item.point(kFittedFrom), item.point(kFittedTo)) : kNoResult;
    default:
        return kNoResult;
    }
}

}  // namespace

bool isAngleKind(int32_t type) { return type == -ToolAngle || type == -ToolEdgeLine; }

void searchEdges(MeasureItem& item, const DibImage& picture)
{
    item.edges.clear();
    item.edgeFound = false;
    switch (item.type) {
    case -ToolCaliper: {
        const EdgeSearch search { item.point(0), item.point(1), item.halfWidth, kEdgeThreshold, EdgePolarity::Either };
        for (const Edge& e : FindEdges(picture, search))
            item.edges.push_back(e.point);
        item.edgeFound = !item.edges.empty();
        break;
    }
    case -ToolEdgeCircle:
        fitCircles(item);
        if (const std::optional<CircleFit> fit = circleSearch(item, picture, 1.0)) {
            item.center1 = fit->centre;
            item.radius1 = fit->radius;
            item.edges = fit->used;
            item.edgeFound = true;
        } else {
            item.center1 = item.center2;
            item.radius1 = 0.0;
        }
        break;
    case -ToolEdgeLine:
        if (const std::optional<LineFit> fit = lineSearch(item, picture, item.halfWidth)) {
            item.setPoint(kFittedFrom, fit->from);
            item.setPoint(kFittedTo, fit->to);
            item.edges = fit->used;
            item.edgeFound = true;
        }
        break;
    default:
        break;
    }
}

void RelocateEdgeItem(MeasureItem& item, const DibImage& picture)
{
    if (item.type == -ToolEdgeCircle) {
        fitCircles(item);
        const std::optional<CircleFit> fit = circleSearch(item, picture, 2.0);
        if (!fit)
            return;
        const double dx = fit->centre.x - item.center2.x, dy = fit->centre.y - item.center2.y;
        for (int32_t i = 0; i < item.countedPoints(); ++i)
            item.setPoint(i, shifted(item.point(i), dx, dy));
        fitCircles(item);
    } else if (item.type == -ToolEdgeLine) {
        const MeasurePoint a = item.point(0), b = item.point(1);
        const double length = distance(a, b);
        const std::optional<LineFit> fit = lineSearch(item, picture, 2.0 * item.halfWidth);
        if (!fit || !(length > 0.0))
            return;
        // The fitted ends lie across the band's ends, so their midpoint is straight across from the axis's.
        const double nx = (a.y - b.y) / length, ny = (b.x - a.x) / length;
        const double across = ((fit->from.x + fit->to.x - a.x - b.x) * nx + (fit->from.y + fit->to.y - a.y - b.y) * ny) / 2.0;
        item.setPoint(0, shifted(a, across * nx, across * ny));
        item.setPoint(1, shifted(b, across * nx, across * ny));
    }
}

void fitCircles(MeasureItem& item)
{
    if (std::abs(item.type) == ToolEdgeCircle) {
        // The rough circle the ring is searched around; the fitted one is the search's.
        circleThrough(item.point(0), item.point(1), item.point(2), item.center2, item.radius2);
        return;
    }
    circleThrough(item.point(0), item.point(1), item.point(2), item.center1, item.radius1);
    if (std::abs(item.type) == ToolCircle2)
        circleThrough(item.point(3), item.point(4), item.point(5), item.center2, item.radius2);
}

void computeResults(MeasureItem& item, const CalibEntry& calib, const DibImage* picture)
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
    case -ToolCaliper:
    case -ToolEdgeCircle:
    case -ToolEdgeLine:
        if (picture)
            searchEdges(item, *picture);
        else if (item.type == -ToolEdgeCircle)
            fitCircles(item); // the ring follows its points even where there is no picture to search
        item.result = isAngleKind(item.type) ? edgeResult(item) : edgeResult(item) * mppX;
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
    if (!item.tolerance || from == to || isAngleKind(item.type) || from < UnitCm || from > UnitUm || to < UnitCm
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
    case -ToolCaliper:
        return StrCaliperWidth;
    case -ToolEdgeCircle:
        return StrEdgeCircleDiameter;
    case -ToolEdgeLine:
        return StrEdgeLineAngle;
    default:
        return 0;
    }
}

QString resultRowTitle(const MeasureItem& item, int32_t row)
{
    int32_t id = resultRowName(item.type, row);
    if (item.type == -ToolCaliper && item.edgeFound && item.edges.size() == 1)
        id = StrEdgePosition;
    for (const EdgeText& t : kEdgeTexts)
        if (t.id == id)
            return QString::fromUtf8(g_bJapanese ? t.japanese : t.english);
    return LoadString(id);
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
    if (isAngleKind(item.type))
        return std::isfinite(value) ? std::optional(angleText(value, use)) : std::nullopt;
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
