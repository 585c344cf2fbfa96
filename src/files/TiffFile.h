// TIFF picture files that carry their scale and measurement document (see PictureTags), written the way
// ImageJ writes a calibrated picture so that ImageJ and other programs read the same scale.
//
// Written: one uncompressed strip, 8-bit grey (MinIsBlack) or 24-bit RGB. With a scale: ResolutionUnit 1
// (none), XResolution and YResolution in pixels per unit, and the ImageDescription "ImageJ=1.53t\nunit=mm\n"
// (cm, mm, or "micron" for um); without one: no resolution tags and "ImageJ=1.53t\n" alone, as ImageJ
// writes an uncalibrated picture. The resolutions are rationals of float precision, so the exact unit and
// factors also go into private tag 65001 (ASCII "unit=mm\nx=...\ny=...", 17 digits). The notes go into
// private tag 65000 (UNDEFINED bytes).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "files/PictureTags.h"

class DibImage;

// Our private tags (above 65000, the range TIFF leaves to private use without registration).
constexpr uint32_t kTiffTagMeasurements = 65000;
constexpr uint32_t kTiffTagExactScale = 65001;

// The whole TIFF file in out (replaced). False for an empty picture or one that is neither 8- nor 24-bit.
bool EncodeTiff(const DibImage& picture, const PictureTags& tags, QByteArray& out);
// EncodeTiff written whole or not at all (see AtomicFile).
bool WriteTiff(const QString& path, const DibImage& picture, const PictureTags& tags);
// Any ordinary TIFF (its first image, at most 64 Mpixel) into picture as a 24-bit image, and the tags it
// carries: our exact scale, else an ImageJ description's unit with the resolutions, else a ResolutionUnit of
// inch (converted to cm) or cm. Tags that cannot be right are dropped and named in ignored ("scale",
// "measurements"). False when the pixels cannot be decoded: picture is then empty and tags cleared. Safe on
// several threads at once; libtiff's messages are kept quiet.
bool DecodeTiff(const uint8_t* data, size_t size, DibImage& picture, PictureTags& tags, IgnoredTags& ignored);
