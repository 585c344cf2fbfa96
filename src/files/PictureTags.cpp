#include "files/PictureTags.h"

#include <cmath>
#include <cstdio>

namespace picture_tags {

double MetresPerUnit(const QString& unit)
{
    if (unit == QLatin1String("cm"))
        return 1e-2;
    if (unit == QLatin1String("mm"))
        return 1e-3;
    if (unit == QLatin1String("um"))
        return 1e-6;
    return 0.0;
}

void Ignore(IgnoredTags& ignored, const QString& name)
{
    if (!ignored.contains(name))
        ignored.append(name);
}

void SetScale(PictureTags& tags, const QString& unit, double unitsPerPixelX, double unitsPerPixelY,
    IgnoredTags& ignored)
{
    const double metres = MetresPerUnit(unit);
    // A pixel outside a picometre to a kilometre is no microscope's, whatever the file says.
    const auto plausible = [metres](double v) { return std::isfinite(v) && v * metres >= 1e-12 && v * metres <= 1e3; };
    if (metres == 0.0 || !plausible(unitsPerPixelX) || !plausible(unitsPerPixelY)) {
        Ignore(ignored, QStringLiteral("scale"));
        return;
    }
    tags.unit = unit;
    tags.unitsPerPixelX = unitsPerPixelX;
    tags.unitsPerPixelY = unitsPerPixelY;
}

void SetNotes(PictureTags& tags, const QByteArray& notes, IgnoredTags& ignored)
{
    if (notes.size() > PictureTags::kMaxNotes)
        Ignore(ignored, QStringLiteral("measurements"));
    else
        tags.notes = notes;
}

QByteArray ExactScaleText(const PictureTags& tags)
{
    char factors[80];
    std::snprintf(factors, sizeof factors, "\nx=%.17g\ny=%.17g", tags.unitsPerPixelX, tags.unitsPerPixelY);
    return "unit=" + tags.unit.toLatin1() + factors;
}

void ReadExactScale(const QByteArray& text, PictureTags& tags, IgnoredTags& ignored)
{
    const QList<QByteArray> lines = text.split('\n');
    bool okX = false, okY = false;
    double x = 0.0, y = 0.0;
    if (lines.size() == 3 && lines[0].startsWith("unit=") && lines[1].startsWith("x=") && lines[2].startsWith("y=")) {
        x = lines[1].mid(2).toDouble(&okX);
        y = lines[2].mid(2).toDouble(&okY);
    }
    if (!okX || !okY) {
        Ignore(ignored, QStringLiteral("scale"));
        return;
    }
    SetScale(tags, QString::fromLatin1(lines[0].mid(5)), x, y, ignored);
}

} // namespace picture_tags
