// PNG picture files that carry their scale and measurement document (see PictureTags).
//
// Written: the pixels (8-bit grey through the colour table, or 24-bit RGB), fast rather than small (zlib
// level 1, run-length matches, the Sub filter); with a scale a pHYs chunk in pixels per metre, which other
// programs read, and a tEXt chunk "nxviewer.scale" ("unit=mm\nx=<units per pixel>\ny=<units per pixel>", 17
// digits) that gives the unit and factors back exactly; with notes a compressed iTXt chunk
// "nxviewer.measurements" after the pixels, so a file cut short there still opens.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "files/PictureTags.h"

class DibImage;

// The whole PNG file in out (replaced). False for an empty picture, one that is neither 8- nor 24-bit, or
// notes holding a zero byte (a PNG text cannot carry it, and cutting the document short would lose it).
bool EncodePng(const DibImage& picture, const PictureTags& tags, QByteArray& out);
// EncodePng written whole or not at all (see AtomicFile).
bool WritePng(const QString& path, const DibImage& picture, const PictureTags& tags);
// Any PNG (palette, grey, alpha, 16-bit, interlaced; at most 64 Mpixel) into picture as a 24-bit image, and
// the tags it carries. Tags that cannot be right are dropped and named in ignored ("scale", "measurements")
// while the picture still decodes. False when the pixels cannot be decoded: picture is then empty and tags
// cleared.
bool DecodePng(const uint8_t* data, size_t size, DibImage& picture, PictureTags& tags, IgnoredTags& ignored);
