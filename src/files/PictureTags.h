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
