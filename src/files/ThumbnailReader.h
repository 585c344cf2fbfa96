// Thumbnails straight from picture files, without decoding whole pictures: a 24-bit BMP gives only the
// rows the thumbnail samples, a JPEG is decoded at reduced scale (libjpeg-turbo's scaled inverse DCT).
// The sampling is the nearest-neighbour reduction of the whole picture (ScaleRgb), so a BMP's thumbnail is
// the very same; a JPEG's pixels are reduced-scale decodes of the same places (local means of the full
// decode, within a few levels of it on photographs).
#pragma once

#include <QString>

class DibImage;

// Makes thumbnail a width x height 24-bit picture of the file reduced. False (thumbnail unchanged) when the
// file is not a BMP of 24 bits without compression nor a JPEG libjpeg-turbo reads, or cannot be read: the
// caller decodes it whole instead.
bool ReducePictureFile(const QString& path, int width, int height, DibImage& thumbnail);

// Decodes a JPEG file into picture (24 bits, the file's size) with libjpeg-turbo, as the image plugins
// decode it (accurate DCT, smooth up-sampling). False, picture unchanged, when that fails.
bool DecodeJpegFile(const QString& path, DibImage& picture);
