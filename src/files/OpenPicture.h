// Opening a saved picture in place of the picture on screen.
#pragma once

#include <QString>

class DibImage;

// Decodes the picture file (BMP, JPEG, PNG or GIF) and, only when that succeeded, makes picture a 24-bit
// image of the file's size holding it. 1 on success; on failure picture is left as it was.
int OpenPicture(const QString& path, DibImage& picture);
