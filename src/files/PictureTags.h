// What a PNG or TIFF picture file carries beside its pixels: the scale (units per picture pixel, X and Y
// apart, as other programs read it too) and the measurement document, which only this program reads.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct PictureTags {
    // Larger documents are refused when read.
    static constexpr qsizetype kMaxNotes = 32 * 1024 * 1024;

    // "cm", "mm" or "um"; empty when the picture has no scale.
    QString unit;
    // Units per picture pixel: finite and above zero whenever unit is set.
    double unitsPerPixelX = 0.0;
    double unitsPerPixelY = 0.0;
    // The measurement document (JSON, see the README), empty for none.
    QByteArray notes;

    bool hasScale() const { return !unit.isEmpty(); }
};

// What reading a file's tags refused, each named for the person ("resolution", "measurements", ...).
using IgnoredTags = QStringList;

// What the PNG and TIFF files share about their tags.
namespace picture_tags {

// Metres per unit ("cm", "mm", "um"); 0 for any other unit.
double MetresPerUnit(const QString& unit);
// Sets the scale when the unit is known and both factors are finite and give a pixel between a picometre
// and a kilometre; otherwise leaves tags as they were and names "scale" in ignored.
void SetScale(PictureTags& tags, const QString& unit, double unitsPerPixelX, double unitsPerPixelY,
    IgnoredTags& ignored);
// Sets the notes when they fit PictureTags::kMaxNotes; otherwise names "measurements" in ignored.
void SetNotes(PictureTags& tags, const QByteArray& notes, IgnoredTags& ignored);
// Names a tag in ignored once.
void Ignore(IgnoredTags& ignored, const QString& name);

// The exact scale as text, "unit=mm\nx=<17 digits>\ny=<17 digits>", and reading it back (SetScale's
// checks; a text that is not of this form is named "scale").
QByteArray ExactScaleText(const PictureTags& tags);
void ReadExactScale(const QByteArray& text, PictureTags& tags, IgnoredTags& ignored);

} // namespace picture_tags
