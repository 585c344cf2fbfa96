// What the fuzz targets share: a check that aborts (so libFuzzer keeps the input that broke a property), a
// scratch folder for the loaders that only take a path, PNG chunk checksums, and the comparison of two bitmaps.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/DibImage.h"

// The message goes to stdout: targets whose decoders chatter on stderr run with it closed.
inline void fuzzCheck(bool ok, const char* property)
{
    if (!ok) {
        std::printf("fuzz property broken: %s\n", property);
        std::fflush(stdout);
        std::abort();
    }
}

// One folder per process, in memory when the machine has /dev/shm (a file per run on disk would set the
// pace), removed when the process ends normally.
inline const QString& scratchFolder()
{
    static QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/nx-fuzz-XXXXXX")
                                                       : QDir::tempPath() + QStringLiteral("/nx-fuzz-XXXXXX"));
    static const QString path = dir.path();
    fuzzCheck(dir.isValid(), "a scratch folder can be made");
    return path;
}

// The input as a file of that name in the scratch folder; its path.
inline QString scratchFile(const char* name, const uint8_t* data, size_t size)
{
    const QString path = scratchFolder() + QLatin1Char('/') + QLatin1String(name);
    QFile file(path);
    fuzzCheck(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the scratch file opens");
    fuzzCheck(
        file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size), "the scratch file is written");
    return path;
}

inline QByteArray readWhole(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline uint32_t bigEndian(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Each whole PNG chunk gets its right CRC: a mutation would otherwise almost always end at the first chunk's
// check, and the decoding behind it would never be reached.
inline void fixChunkCrcs(std::vector<uint8_t>& png)
{
    size_t at = 8; // the signature
    while (png.size() - at >= 12) { // length, type, CRC
        const uint32_t length = bigEndian(&png[at]);
        if (length > png.size() - at - 12)
            return;
        const uint32_t crc = uint32_t(crc32(0, &png[at + 4], uInt(length + 4)));
        uint8_t* out = &png[at + 8 + length];
        out[0] = uint8_t(crc >> 24);
        out[1] = uint8_t(crc >> 16);
        out[2] = uint8_t(crc >> 8);
        out[3] = uint8_t(crc);
        at += 12 + size_t(length);
    }
}

// Same size, depth, pixels and (8-bit) colour table.
inline bool samePicture(const DibImage& a, const DibImage& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.bitsPerPixel() != b.bitsPerPixel())
        return false;
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() == b.isEmpty();
    const size_t rowBytes = size_t(a.width()) * a.bytesPerPixel(); // the padding is not the picture
    for (int32_t y = 0; y < a.height(); ++y)
        if (std::memcmp(a.rowBottomUp(y), b.rowBottomUp(y), rowBytes) != 0)
            return false;
    return a.bitsPerPixel() != 8 || std::memcmp(a.colorTable(), b.colorTable(), 256 * sizeof(RgbQuad)) == 0;
}

// A decoded bitmap saved by our BMP writer decodes to the same picture.
inline void checkBmpRoundTrip(const DibImage& decoded)
{
    const QString path = scratchFolder() + QStringLiteral("/round-trip.bmp");
    fuzzCheck(decoded.SaveBmp(path) == 1, "a decoded bitmap saves");
    const QByteArray bytes = readWhole(path);
    DibImage again;
    fuzzCheck(again.LoadBmpImage(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())) == 1,
        "a saved bitmap loads");
    fuzzCheck(samePicture(decoded, again), "a saved bitmap loads as the picture that was saved");
}

// LoadDib or LoadBmpImage into an empty image (which takes the bitmap's size and depth, and must survive a
// save and load), and into an 8-bit and a 24-bit image made beforehand (which keep their own format).
template <typename Load> void fuzzBitmapLoader(Load load)
{
    DibImage fresh;
    if (load(fresh)) {
        fuzzCheck(fresh.width() > 0 && fresh.height() > 0, "a loaded bitmap has pixels");
        checkBmpRoundTrip(fresh);
    }
    for (const uint16_t bits : { uint16_t(8), uint16_t(24) }) {
        DibImage made;
        fuzzCheck(made.Create(23, 7, bits) == 1, "a small image can be made");
        load(made);
        fuzzCheck(made.width() == 23 && made.height() == 7 && made.bitsPerPixel() == bits,
            "loading into an image keeps its size and depth");
    }
}
