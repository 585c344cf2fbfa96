// Opening a saved picture in place of the picture on screen.
#pragma once

#include <QString>

#include "files/PictureTags.h"

class DibImage;

// Decodes the picture file (BMP, JPEG, PNG, GIF or TIFF, by its content) and, only when that succeeded,
// makes picture a 24-bit image of the file's size holding it. PNG and TIFF files also give their tags (the
// others none), and what of them was refused. 1 on success; on failure picture is left as it was, and tags
// cleared.
int OpenPicture(const QString& path, DibImage& picture, PictureTags* tags = nullptr, IgnoredTags* ignored = nullptr);
