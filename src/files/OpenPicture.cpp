#include "files/OpenPicture.h"

#include <QImageReader>

#include <cstring>

#include "imaging/DibImage.h"

int OpenPicture(const QString& path, DibImage& picture)
{
    // Only the formats a saved picture can have, whatever else the image plugins would read.
    const QByteArray format = QImageReader(path).format();
    if (format != "bmp" && format != "jpeg" && format != "png" && format != "gif")
        return 0;
    DibImage decoded;
    if (!decoded.LoadPictureFile(path))
        return 0;
    // The picture is replaced only now, when there is something to replace it with.
    if (!picture.Create(decoded.width(), decoded.height(), 24))
        return 0;
    std::memcpy(picture.bits(), decoded.bits(), size_t(decoded.byteSize()));
    return 1;
}
