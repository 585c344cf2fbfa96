#include "files/TiffFile.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/DibImage.h"
#include "platform/AtomicFile.h"

namespace {

constexpr uint64_t kMaxPixels = uint64_t(64) << 20;
constexpr char kImageJ[] = "ImageJ=1.53t\n";

// The file in memory: the bytes read from, or the growing buffer written to; libtiff seeks in both.
struct Memory {
    const uint8_t* data = nullptr;
    std::vector<uint8_t>* out = nullptr;
    uint64_t size = 0;
    uint64_t at = 0;
};

tmsize_t onRead(thandle_t h, void* buffer, tmsize_t length)
{
    auto* m = static_cast<Memory*>(h);
    const uint8_t* base = m->out ? m->out->data() : m->data;
    if (length < 0 || m->at >= m->size)
        return 0;
    const uint64_t n = std::min<uint64_t>(uint64_t(length), m->size - m->at);
    std::memcpy(buffer, base + m->at, size_t(n));
    m->at += n;
    return tmsize_t(n);
}

tmsize_t onWrite(thandle_t h, void* buffer, tmsize_t length)
{
    auto* m = static_cast<Memory*>(h);
    if (!m->out || length < 0)
        return 0;
    const uint64_t end = m->at + uint64_t(length);
    try {
        if (end > m->out->size())
            m->out->resize(size_t(end));
    } catch (const std::bad_alloc&) {
        return 0; // libtiff fails the write
    }
    std::memcpy(m->out->data() + m->at, buffer, size_t(length));
    m->at = end;
    m->size = std::max(m->size, end);
    return length;
}

toff_t onSeek(thandle_t h, toff_t offset, int whence)
{
    auto* m = static_cast<Memory*>(h);
    const uint64_t from = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->size : 0;
    m->at = from + offset;
    return m->at;
}

int onClose(thandle_t)
{
    return 0;
}

toff_t onSize(thandle_t h)
{
    return static_cast<Memory*>(h)->size;
}

// Reading maps the bytes as they are, so libtiff checks every offset against the real size.
int onMap(thandle_t h, void** base, toff_t* size)
{
    auto* m = static_cast<Memory*>(h);
    if (m->out)
        return 0;
    *base = const_cast<uint8_t*>(m->data);
    *size = m->size;
    return 1;
}

void onUnmap(thandle_t, void*, toff_t) {}

// What libtiff dropped of our tags while reading the directory (a tag whose data lies past the end, ...).
struct Complaints {
    bool notesDropped = false;
};

// Hostile files are everyday input: libtiff's complaints are swallowed per handle (answered as handled,
// so the process-wide handlers stay silent too), and only looked at for the names of our tags.
int quiet(TIFF*, void* user, const char*, const char* format, va_list args)
{
    if (auto* complaints = static_cast<Complaints*>(user)) {
        char message[512];
        std::vsnprintf(message, sizeof message, format, args);
        if (std::strstr(message, "NxviewerMeasurements"))
            complaints->notesDropped = true;
    }
    return 1;
}

const TIFFFieldInfo kPrivateFields[] = {
    { ttag_t(kTiffTagMeasurements), TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_UNDEFINED, FIELD_CUSTOM, 1, 1,
        const_cast<char*>("NxviewerMeasurements") },
    { ttag_t(kTiffTagExactScale), -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("NxviewerScale") },
};

TIFFExtendProc g_ParentExtender = nullptr;

void extendTags(TIFF* tif)
{
    TIFFMergeFieldInfo(tif, kPrivateFields, int(std::size(kPrivateFields)));
    if (g_ParentExtender)
        g_ParentExtender(tif);
}

// A handle on the memory, our private tags known to it (the extender is installed once, on first use).
TIFF* open(Memory& memory, const char* mode, Complaints* complaints = nullptr)
{
    static const bool extended = [] {
        g_ParentExtender = TIFFSetTagExtender(extendTags);
        return true;
    }();
    (void)extended;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, complaints);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, complaints);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(1) << 30);
    TIFF* tif = TIFFClientOpenExt(
        "memory", mode, &memory, onRead, onWrite, onSeek, onClose, onSize, onMap, onUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

uint8_t greyOf(const RgbQuad& c)
{
    return uint8_t((77 * c.red + 150 * c.green + 29 * c.blue + 128) >> 8);
}

// ImageJ's name of a unit, and ours of ImageJ's (inch is turned into cm by the caller).
const char* imageJUnit(const QString& unit)
{
    return unit == QLatin1String("um") ? "micron" : unit == QLatin1String("mm") ? "mm" : "cm";
}

QString unitOfImageJ(const QByteArray& name)
{
    if (name == "mm" || name == "cm" || name == "inch")
        return QString::fromLatin1(name);
    if (name == "micron" || name == "um" || name == "\xC2\xB5m" || name == "\xB5m" || name == "\\u00B5m")
        return QStringLiteral("um");
    return {};
}

bool encode(TIFF* tif, const DibImage& picture, const PictureTags& tags)
{
    const bool grey = picture.bitsPerPixel() == 8;
    const uint32_t width = uint32_t(picture.width()), height = uint32_t(picture.height());
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height)
        && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, grey ? 1 : 3)
        && TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB)
        && TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG)
        && TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    QByteArray description(kImageJ);
    if (tags.hasScale()) {
        // Pixels per unit with no unit of TIFF's own: ImageJ takes the unit from the description, and a
        // centimetre ResolutionUnit beside it would make it read the scale ten times wrong.
        description += QByteArray("unit=") + imageJUnit(tags.unit) + '\n';
        const QByteArray exact = picture_tags::ExactScaleText(tags);
        ok = ok && TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE)
            && TIFFSetField(tif, TIFFTAG_XRESOLUTION, 1.0 / tags.unitsPerPixelX)
            && TIFFSetField(tif, TIFFTAG_YRESOLUTION, 1.0 / tags.unitsPerPixelY)
            && TIFFSetField(tif, ttag_t(kTiffTagExactScale), exact.constData());
    }
    ok = ok && TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description.constData());
    if (!tags.notes.isEmpty())
        ok = ok
            && TIFFSetField(tif, ttag_t(kTiffTagMeasurements), uint32_t(tags.notes.size()), tags.notes.constData());
    std::vector<uint8_t> row;
    try {
        row.resize(size_t(width) * (grey ? 1 : 3));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint32_t y = 0; ok && y < height; ++y) {
        const uint8_t* s = picture.rowTopDown(int32_t(y));
        if (grey) {
            for (uint32_t x = 0; x < width; ++x)
                row[x] = greyOf(picture.colorTable()[s[x]]);
        } else {
            for (uint32_t x = 0; x < width; ++x, s += 3) {
                row[3 * x] = s[2];
                row[3 * x + 1] = s[1];
                row[3 * x + 2] = s[0];
            }
        }
        ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
    }
    return ok && TIFFWriteDirectory(tif);
}

// The scale: ours exactly, else the description's ImageJ unit with the resolutions, else a ResolutionUnit
// of inch or cm.
void readScale(TIFF* tif, PictureTags& tags, IgnoredTags& ignored)
{
    const char* exact = nullptr;
    if (TIFFGetField(tif, ttag_t(kTiffTagExactScale), &exact) && exact) {
        picture_tags::ReadExactScale(QByteArray(exact, qsizetype(strnlen(exact, 200))), tags, ignored);
        if (tags.hasScale())
            return;
    }
    float xres = 0.0F, yres = 0.0F;
    const bool resolutions
        = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres);
    QString unit;
    bool unitGiven = false;
    const char* description = nullptr;
    if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description) && description
        && std::strncmp(description, "ImageJ=", 7) == 0) {
        for (const QByteArray& line : QByteArray(description, qsizetype(strnlen(description, 65536))).split('\n')) {
            if (line.startsWith("unit=")) {
                const QByteArray name = line.mid(5).trimmed();
                unit = unitOfImageJ(name);
                unitGiven = name != "pixel" && !name.isEmpty();
            }
        }
    }
    uint16_t resolutionUnit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &resolutionUnit);
    if (!unitGiven) {
        if (resolutionUnit == RESUNIT_INCH && resolutions && TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &resolutionUnit))
            unit = QStringLiteral("inch");
        else if (resolutionUnit == RESUNIT_CENTIMETER && resolutions)
            unit = QStringLiteral("cm");
        else
            return; // no unit (or only a default one): no scale
    }
    if (!resolutions) {
        if (unitGiven)
            picture_tags::Ignore(ignored, QStringLiteral("scale"));
        return;
    }
    if (unit.isEmpty()) {
        picture_tags::Ignore(ignored, QStringLiteral("scale")); // a unit we do not know
        return;
    }
    double x = 1.0 / double(xres), y = 1.0 / double(yres);
    if (unit == QLatin1String("inch")) {
        unit = QStringLiteral("cm");
        x *= 2.54;
        y *= 2.54;
    }
    picture_tags::SetScale(tags, unit, x, y, ignored);
}

} // namespace

bool EncodeTiff(const DibImage& picture, const PictureTags& tags, QByteArray& out)
{
    out.clear();
    if (picture.isEmpty() || (picture.bitsPerPixel() != 8 && picture.bitsPerPixel() != 24))
        return false;
    std::vector<uint8_t> bytes;
    Memory memory;
    memory.out = &bytes;
    TIFF* tif = open(memory, "w");
    if (!tif)
        return false;
    const bool ok = encode(tif, picture, tags);
    TIFFClose(tif); // flushes nothing more: the directory is already written
    if (ok)
        out = QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    return ok;
}

bool WriteTiff(const QString& path, const DibImage& picture, const PictureTags& tags)
{
    QByteArray bytes;
    return EncodeTiff(picture, tags, bytes) && WriteFileAtomically(path, bytes.constData(), bytes.size());
}

bool DecodeTiff(const uint8_t* data, size_t size, DibImage& picture, PictureTags& tags, IgnoredTags& ignored)
{
    tags = PictureTags {};
    picture.Destroy();
    if (!data || size < 8)
        return false;
    Memory memory;
    memory.data = data;
    memory.size = size;
    Complaints complaints;
    TIFF* tif = open(memory, "rm", &complaints);
    if (!tif)
        return false;
    uint32_t width = 0, height = 0;
    char message[1024] = {};
    bool ok = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) && TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height)
        && width > 0 && height > 0 && uint64_t(width) * height <= kMaxPixels && TIFFRGBAImageOK(tif, message)
        && picture.Create(int32_t(width), int32_t(height), 24);
    std::vector<uint32_t> raster;
    if (ok) {
        try {
            raster.resize(size_t(width) * height);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    // Bottom row first, as the picture lies in memory.
    ok = ok && TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_BOTLEFT, 1) == 1;
    if (ok) {
        for (uint32_t y = 0; y < height; ++y) {
            const uint32_t* s = raster.data() + size_t(width) * y;
            uint8_t* d = picture.rowBottomUp(int32_t(y));
            for (uint32_t x = 0; x < width; ++x, d += 3) {
                d[0] = uint8_t(TIFFGetB(s[x]));
                d[1] = uint8_t(TIFFGetG(s[x]));
                d[2] = uint8_t(TIFFGetR(s[x]));
            }
        }
        readScale(tif, tags, ignored);
        uint32_t count = 0;
        const void* notes = nullptr;
        if (TIFFGetField(tif, ttag_t(kTiffTagMeasurements), &count, &notes) && notes && count > 0)
            picture_tags::SetNotes(tags, QByteArray(static_cast<const char*>(notes), qsizetype(count)), ignored);
        else if (complaints.notesDropped)
            picture_tags::Ignore(ignored, QStringLiteral("measurements"));
    } else {
        picture.Destroy();
    }
    TIFFClose(tif);
    return ok;
}
