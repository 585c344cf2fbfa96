// Writing and reading the measurement document of a saved picture.
#include "measure/PictureNotes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <array>
#include <cmath>

#include "calib/CalibTable.h"
#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"

namespace {

constexpr const char* kFormat = "nxviewer-measurements";
constexpr int kVersion = 1;

struct Kind {
    const char* name;
    int32_t tool;
    int32_t minPoints;
    int32_t maxPoints;
    int circles;
    bool banded; // has a half width across its axis
};

constexpr std::array<Kind, 9> kKinds { {
    { "length", ToolLine, 2, 2, 0, false },
    // The mouse closes a polygon at whatever count the double click finds.
    { "area", ToolArea, 1, notes::kMaxAreaPoints, 0, false },
    { "circle", ToolCircle, 3, 3, 1, false },
    { "circle-distance", ToolCircle2, 6, 6, 2, false },
    { "perpendicular", ToolPerpendicular, 3, 3, 0, false },
    { "angle", ToolAngle, 3, 3, 0, false },
    // Edge tools: their circles and edges are found in the picture again, so only the points are kept.
    { "caliper", ToolCaliper, 2, 2, 0, true },
    { "edge-circle", ToolEdgeCircle, 3, 3, 0, false },
    { "edge-line", ToolEdgeLine, 2, 2, 0, true },
} };

const Kind* kindOfTool(int32_t finishedType)
{
    for (const Kind& k : kKinds)
        if (-k.tool == finishedType)
            return &k;
    return nullptr;
}

const Kind* kindNamed(const QString& name)
{
    for (const Kind& k : kKinds)
        if (name == QLatin1String(k.name))
            return &k;
    return nullptr;
}

// JSON has no infinity: a result that is not finite is written as null.
QJsonValue number(double v)
{
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

QJsonArray pointJson(MeasurePoint p)
{
    return { number(p.x), number(p.y) };
}

bool sane(double v)
{
    return std::isfinite(v) && std::abs(v) <= notes::kMaxMagnitude;
}

std::optional<MeasurePoint> pointFrom(const QJsonValue& v)
{
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != 2 || !a[0].isDouble() || !a[1].isDouble())
        return std::nullopt;
    const MeasurePoint p { a[0].toDouble(), a[1].toDouble() };
    if (!sane(p.x) || !sane(p.y))
        return std::nullopt;
    return p;
}

std::optional<int32_t> unitNamed(const QJsonValue& v)
{
    for (int32_t unit : { UnitCm, UnitMm, UnitUm })
        if (v.isString() && v.toString() == unitText(unit))
            return unit;
    return std::nullopt;
}

// At most kMaxNameLength characters, never half of a surrogate pair.
QString cutName(const QString& name)
{
    if (name.size() <= notes::kMaxNameLength)
        return name;
    qsizetype n = notes::kMaxNameLength;
    if (name.at(n - 1).isHighSurrogate())
        --n;
    return name.left(n);
}

std::optional<CalibEntry> calibFrom(const QJsonValue& v)
{
    const QJsonObject o = v.toObject();
    const QJsonValue name = o.value(QLatin1String("name"));
    const QJsonValue x = o.value(QLatin1String("unitsPerPixelX"));
    const QJsonValue y = o.value(QLatin1String("unitsPerPixelY"));
    const QJsonValue unit = o.value(QLatin1String("unit"));
    if (!v.isObject() || !(name.isString() || name.isUndefined()) || !unit.isString() || !x.isDouble()
        || !y.isDouble())
        return std::nullopt;
    return CalibFromScale(name.toString(), unit.toString(), x.toDouble(), y.toDouble());
}

bool circlesFrom(const QJsonValue& v, int count, MeasureItem& item)
{
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != count)
        return false;
    for (int i = 0; i < count; ++i) {
        const QJsonObject c = a[i].toObject();
        const std::optional<MeasurePoint> centre = pointFrom(c.value(QLatin1String("center")));
        const QJsonValue r = c.value(QLatin1String("radius"));
        if (!centre || !r.isDouble() || !sane(r.toDouble()) || r.toDouble() < 0.0)
            return false;
        (i == 0 ? item.center1 : item.center2) = *centre;
        (i == 0 ? item.radius1 : item.radius2) = r.toDouble();
    }
    return true;
}

std::optional<Tolerance> toleranceFrom(const QJsonValue& v)
{
    const QJsonObject o = v.toObject();
    const QJsonValue n = o.value(QLatin1String("nominal"));
    const QJsonValue u = o.value(QLatin1String("upper"));
    const QJsonValue l = o.value(QLatin1String("lower"));
    if (!v.isObject() || !n.isDouble() || !u.isDouble() || !l.isDouble())
        return std::nullopt;
    const Tolerance t { n.toDouble(), u.toDouble(), l.toDouble() };
    return t.valid() ? std::optional(t) : std::nullopt;
}

std::optional<MeasureItem> itemFrom(const QJsonValue& v, int32_t defaultUnit, bool& toleranceLeft)
{
    const QJsonObject o = v.toObject();
    const QJsonValue pointsValue = o.value(QLatin1String("points"));
    const QJsonArray points = pointsValue.toArray();
    // Counted before reading them, so a huge array costs no more than the kind allows.
    if (!v.isObject() || !pointsValue.isArray() || points.size() > notes::kMaxAreaPoints)
        return std::nullopt;
    std::vector<MeasurePoint> read;
    read.reserve(size_t(points.size()));
    for (const QJsonValue& pv : points) {
        const std::optional<MeasurePoint> p = pointFrom(pv);
        if (!p)
            return std::nullopt;
        read.push_back(*p);
    }
    std::optional<MeasureItem> item = MeasureItemOfKind(o.value(QLatin1String("kind")).toString(), read);
    if (!item)
        return std::nullopt;
    item->unit = unitNamed(o.value(QLatin1String("unit"))).value_or(defaultUnit);
    const int circleCount = kindOfTool(item->type)->circles;
    const QJsonValue circles = o.value(QLatin1String("circles"));
    if (circleCount > 0 && !circles.isUndefined() && !circlesFrom(circles, circleCount, *item))
        return std::nullopt;
    // Points almost on a line fit a circle far beyond any picture: no circle the document could hold.
    if (!sane(item->center1.x) || !sane(item->center1.y) || !sane(item->radius1) || !sane(item->center2.x)
        || !sane(item->center2.y) || !sane(item->radius2))
        return std::nullopt;
    const QJsonValue halfWidth = o.value(QLatin1String("halfWidth"));
    if (kindOfTool(item->type)->banded && !halfWidth.isUndefined()) {
        const std::optional<double> w = EdgeBandHalfWidth(halfWidth.toDouble(-1.0));
        if (!w)
            return std::nullopt;
        item->halfWidth = *w;
    }
    const QJsonValue tolerance = o.value(QLatin1String("tolerance"));
    if (!tolerance.isUndefined()) {
        item->tolerance = toleranceFrom(tolerance);
        toleranceLeft = toleranceLeft || !item->tolerance;
    }
    return item;
}

} // namespace

std::optional<double> EdgeBandHalfWidth(double halfWidth)
{
    if (!(halfWidth > 0.0) || halfWidth > notes::kMaxEdgeBandHalfWidth)
        return std::nullopt;
    return halfWidth;
}

const char* MeasureKindName(int32_t finishedType)
{
    const Kind* kind = kindOfTool(finishedType);
    return kind ? kind->name : nullptr;
}

std::optional<MeasureItem> MeasureItemOfKind(const QString& kindName, const std::vector<MeasurePoint>& points)
{
    const Kind* kind = kindNamed(kindName);
    if (!kind || qsizetype(points.size()) < kind->minPoints || qsizetype(points.size()) > kind->maxPoints)
        return std::nullopt;
    MeasureItem item;
    item.reset(kind->tool);
    for (const MeasurePoint& p : points)
        if (!sane(p.x) || !sane(p.y) || !item.addPoint(p))
            return std::nullopt;
    item.type = -kind->tool;
    if (kind->circles > 0)
        fitCircles(item);
    return item;
}

QByteArray EncodeNotes(const CalibEntry& calib, const MeasureList& items)
{
    QJsonArray measurements;
    for (const MeasureItem& item : items) {
        const Kind* kind = kindOfTool(item.type);
        if (!kind)
            continue;
        QJsonArray points;
        for (int32_t i = 0; i < item.countedPoints(); ++i)
            points.append(pointJson(item.point(i)));
        QJsonArray results;
        for (int32_t row = 0; row < resultRowCount(item.type); ++row)
            results.append(number(resultRowValue(item, row)));
        QJsonObject m { { "kind", QLatin1String(kind->name) }, { "points", points }, { "results", results },
            { "unit", isAngleKind(item.type) ? QStringLiteral("deg") : unitText(item.unit) } };
        if (kind->banded)
            m.insert(QLatin1String("halfWidth"), number(item.halfWidth));
        if (kind->circles > 0) {
            QJsonArray circles;
            for (int i = 0; i < kind->circles; ++i)
                circles.append(QJsonObject { { "center", pointJson(i == 0 ? item.center1 : item.center2) },
                    { "radius", number(i == 0 ? item.radius1 : item.radius2) } });
            m.insert(QLatin1String("circles"), circles);
        }
        if (item.tolerance)
            m.insert(QLatin1String("tolerance"),
                QJsonObject { { "lower", number(item.tolerance->lower) }, { "nominal", number(item.tolerance->nominal) },
                    { "upper", number(item.tolerance->upper) } });
        measurements.append(m);
    }
    const QJsonObject calibration { { "name", calib.name }, { "unit", unitText(calib.unit) },
        { "unitsPerPixelX", number(calib.mppX) }, { "unitsPerPixelY", number(calib.mppY) } };
    const QJsonObject root { { "format", QLatin1String(kFormat) }, { "version", kVersion },
        { "calibration", calibration }, { "measurements", measurements } };
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<PictureNotes> DecodeNotes(const QByteArray& json, QStringList& ignored)
{
    const auto notOurs = [&ignored]() -> std::optional<PictureNotes> {
        ignored << QStringLiteral("measurements");
        return std::nullopt;
    };
    if (json.size() > notes::kMaxDocumentBytes)
        return notOurs();
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    const QJsonObject root = doc.object();
    const QJsonValue version = root.value(QLatin1String("version"));
    if (error.error != QJsonParseError::NoError || !doc.isObject()
        || root.value(QLatin1String("format")).toString() != QLatin1String(kFormat) || !version.isDouble()
        || version.toDouble() != kVersion)
        return notOurs();

    PictureNotes notes;
    const QJsonValue calibration = root.value(QLatin1String("calibration"));
    if (!calibration.isUndefined()) {
        notes.calib = calibFrom(calibration);
        if (!notes.calib)
            ignored << QStringLiteral("calibration");
    }
    const QJsonValue list = root.value(QLatin1String("measurements"));
    if (list.isUndefined())
        return notes;
    if (!list.isArray()) {
        ignored << QStringLiteral("measurements");
        return notes;
    }
    const QJsonArray measurements = list.toArray();
    const int32_t defaultUnit = notes.calib ? notes.calib->unit : UnitCm;
    qsizetype left = 0;
    bool toleranceLeft = false;
    for (qsizetype i = 0; i < measurements.size(); ++i) {
        std::optional<MeasureItem> item;
        if (i < notes::kMaxMeasurements)
            item = itemFrom(measurements[i], defaultUnit, toleranceLeft);
        if (item)
            notes.items.push_back(std::move(*item));
        else
            ++left;
    }
    if (toleranceLeft)
        ignored << QStringLiteral("tolerance");
    if (left > 0)
        ignored << (left == 1 ? QStringLiteral("1 measurement") : QStringLiteral("%1 measurements").arg(left));
    return notes;
}

std::optional<CalibEntry> CalibFromScale(const QString& name, const QString& unit, double mppX, double mppY)
{
    const std::optional<int32_t> code = unitNamed(QJsonValue(unit));
    if (!code || !(mppX > 0.0) || !(mppY > 0.0) || !sane(mppX) || !sane(mppY))
        return std::nullopt;
    CalibEntry e;
    e.position = CalibTable::kCount;
    e.name = cutName(name);
    e.unit = *code;
    // A frame of a power-of-two extent gives the factors back bit for bit when they are worked out again.
    constexpr double kFrame = 1024.0;
    e.left = e.top = 0.0;
    e.right = e.bottom = kFrame;
    e.lengthX = mppX * kFrame;
    e.lengthY = mppY * kFrame;
    e.mppX = mppX;
    e.mppY = mppY;
    return e;
}
