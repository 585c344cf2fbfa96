#include "files/OpenPicture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cstring>

#include "files/PngFile.h"
#include "files/ThumbnailReader.h"
#include "files/TiffFile.h"
#include "imaging/DibImage.h"

namespace {

// Larger files are no picture of ours (a 64 Mpixel TIFF is 192 MB).
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

// Our own decoders for the formats that carry tags; decoded holds the picture on success.
int decodeTagged(const QString& path, DibImage& decoded, PictureTags& tags, IgnoredTags& ignored, bool& tagged)
{
    tagged = false;
    QFile file(path);
    // Only regular files are read whole: a pipe in a picture's place would never end.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.peek(8);
    const bool png = head.startsWith("\x89PNG\r\n\x1a\n");
    const bool tiff = head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4))
        || head.startsWith(QByteArray("II+\0", 4)) || head.startsWith(QByteArray("MM\0+", 4));
    if (!png && !tiff)
        return 0;
    tagged = true;
    if (file.size() > kMaxFileBytes)
        return 0;
    const QByteArray bytes = file.readAll();
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    return png ? DecodePng(data, size_t(bytes.size()), decoded, tags, ignored)
               : DecodeTiff(data, size_t(bytes.size()), decoded, tags, ignored);
}

} // namespace

int OpenPicture(const QString& path, DibImage& picture, PictureTags* tags, IgnoredTags* ignored)
{
    PictureTags found;
    IgnoredTags refused;
    DibImage decoded;
    bool tagged = false;
    int ok = decodeTagged(path, decoded, found, refused, tagged);
    if (!tagged) {
        // Only the other formats a saved picture can have, whatever else the image plugins would read.
        const QByteArray format = QImageReader(path).format();
        // A JPEG straight into the bitmap with libjpeg-turbo, the same pixels the plugin gives in a
        // fraction of its time; what it refuses goes the plugin's way.
        ok = (format == "jpeg" && DecodeJpegFile(path, decoded))
            || ((format == "bmp" || format == "jpeg" || format == "gif") && decoded.LoadPictureFile(path));
    }
    if (tags)
        *tags = ok ? found : PictureTags {};
    if (ignored)
        *ignored = ok ? refused : IgnoredTags {};
    if (!ok)
        return 0;
    // The picture is replaced only now, when there is something to replace it with.
    if (!picture.Create(decoded.width(), decoded.height(), 24)) {
        if (tags)
            *tags = PictureTags {};
        return 0;
    }
    std::memcpy(picture.bits(), decoded.bits(), size_t(decoded.byteSize()));
    return 1;
}
