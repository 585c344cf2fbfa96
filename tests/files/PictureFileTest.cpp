// PNG and TIFF picture files with their tags: round trips through the writers and OpenPicture, the tags
// ImageJ reads, foreign files' resolutions, hostile tags, and writes that fail.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <tiffio.h>

#include <cmath>
#include <limits>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

#include "files/OpenPicture.h"
#include "files/PngFile.h"
#include "files/TiffFile.h"
#include "imaging/DibImage.h"
#include "support/FileSizeLimit.h"

namespace {

enum class Format { Png, Tiff };

bool write(Format f, const QString& path, const DibImage& picture, const PictureTags& tags)
{
    return f == Format::Png ? WritePng(path, picture, tags) : WriteTiff(path, picture, tags);
}

QByteArray encode(Format f, const DibImage& picture, const PictureTags& tags)
{
    QByteArray out;
    EXPECT_TRUE(f == Format::Png ? EncodePng(picture, tags, out) : EncodeTiff(picture, tags, out));
    return out;
}

bool decode(Format f, const QByteArray& bytes, DibImage& picture, PictureTags& tags, IgnoredTags& ignored)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    return f == Format::Png ? DecodePng(data, size_t(bytes.size()), picture, tags, ignored)
                            : DecodeTiff(data, size_t(bytes.size()), picture, tags, ignored);
}

// Odd width (padded rows), pixels that differ per row, column and channel; 8-bit ones on a grey ramp.
void makePicture(DibImage& img, uint16_t bits, int w = 13, int h = 7)
{
    ASSERT_TRUE(img.Create(w, h, bits));
    if (bits == 8)
        img.SetColorTable(0, nullptr, 0, 256);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * img.bytesPerPixel(); ++x)
            img.rowTopDown(y)[x] = uint8_t(29 * x + 67 * y + 3);
}

// The 24-bit picture that a 8- or 24-bit picture should open as.
bool samePixels(const DibImage& original, const DibImage& opened)
{
    if (opened.bitsPerPixel() != 24 || opened.width() != original.width() || opened.height() != original.height())
        return false;
    for (int y = 0; y < original.height(); ++y)
        for (int x = 0; x < original.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const uint8_t want = original.bitsPerPixel() == 8 ? original.rowTopDown(y)[x]
                                                                  : original.rowTopDown(y)[3 * x + c];
                if (opened.rowTopDown(y)[3 * x + c] != want)
                    return false;
            }
    return true;
}

PictureTags scaled(const char* unit, double x, double y, const QByteArray& notes = {})
{
    PictureTags t;
    t.unit = QString::fromLatin1(unit);
    t.unitsPerPixelX = x;
    t.unitsPerPixelY = y;
    t.notes = notes;
    return t;
}

// A plain TIFF as other programs write one: 8-bit grey, the resolution tags given (unit 0: none).
QByteArray foreignTiff(const QString& path, uint16_t resolutionUnit, float xres, float yres, const char* description)
{
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    EXPECT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    if (resolutionUnit)
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, resolutionUnit);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, xres);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, yres);
    if (description)
        TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description);
    const uint8_t rows[2][4] = { { 0, 80, 160, 240 }, { 1, 2, 3, 4 } };
    for (uint32_t y = 0; y < 2; ++y)
        TIFFWriteScanline(tif, const_cast<uint8_t*>(rows[y]), y, 0);
    TIFFClose(tif);
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// Every format, depth and unit: the file opens as the same pixels with the exact unit, factors and notes.
TEST(PictureFile, RoundTrip_SamePixelsExactScaleAndNotes)
{
    const QByteArray notes = QByteArray("{\"lines\":[[1.5,2,30,40]],\"name\":\"") + "\xE9\xA1\x95\xE5\xBE\xAE" + "\"}";
    const PictureTags scales[] = {
        PictureTags {},
        scaled("mm", 0.012345678901234567, 0.0123456789, notes),
        scaled("um", 0.1 / 3.0, 2.5e-3, notes), // also a pixel pHYs cannot state (4e8 per metre)
        scaled("cm", 1.0 / 7.0, 1e-4),
    };
    QTemporaryDir dir;
    for (const Format format : { Format::Png, Format::Tiff })
        for (const uint16_t bits : { uint16_t(8), uint16_t(24) })
            for (const PictureTags& tags : scales) {
                SCOPED_TRACE(testing::Message() << (format == Format::Png ? "png " : "tiff ") << bits << " bits, "
                                                << tags.unit.toStdString());
                DibImage original;
                makePicture(original, bits);
                const QString path = dir.filePath(format == Format::Png ? "p.png" : "p.tif");
                ASSERT_TRUE(write(format, path, original, tags));
                DibImage opened;
                PictureTags read;
                IgnoredTags ignored { "stale" };
                ASSERT_EQ(OpenPicture(path, opened, &read, &ignored), 1);
                EXPECT_TRUE(samePixels(original, opened));
                EXPECT_EQ(read.unit, tags.unit);
                EXPECT_EQ(read.unitsPerPixelX, tags.unitsPerPixelX);
                EXPECT_EQ(read.unitsPerPixelY, tags.unitsPerPixelY);
                EXPECT_EQ(read.notes, tags.notes);
                EXPECT_TRUE(ignored.isEmpty());
            }
}

// What ImageJ reads from our TIFF files, per unit: no unit of TIFF's own, pixels per unit, and its description.
TEST(PictureFile, Tiff_TagsAsImageJWritesThem)
{
    struct Case {
        PictureTags tags;
        const char* description;
    } const cases[] = {
        { scaled("mm", 0.004, 0.005), "ImageJ=1.53t\nunit=mm\n" },
        { scaled("um", 2.5, 4.0), "ImageJ=1.53t\nunit=micron\n" },
        { scaled("cm", 0.5, 0.25), "ImageJ=1.53t\nunit=cm\n" },
        { PictureTags {}, "ImageJ=1.53t\n" },
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        DibImage picture;
        makePicture(picture, 24);
        const QString path = dir.filePath("ij.tif");
        ASSERT_TRUE(WriteTiff(path, picture, c.tags));
        TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
        ASSERT_NE(tif, nullptr);
        char* description = nullptr;
        ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description));
        EXPECT_STREQ(description, c.description);
        float xres = 0, yres = 0;
        uint16_t unit = 0;
        const bool hasUnit = TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
        const bool hasX = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres);
        const bool hasY = TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres);
        EXPECT_EQ(hasUnit && hasX && hasY, c.tags.hasScale());
        if (c.tags.hasScale()) {
            EXPECT_EQ(unit, RESUNIT_NONE);
            EXPECT_FLOAT_EQ(xres, float(1.0 / c.tags.unitsPerPixelX));
            EXPECT_FLOAT_EQ(yres, float(1.0 / c.tags.unitsPerPixelY));
        }
        TIFFClose(tif);
    }
}

// Files from other programs: the resolutions they state become the scale (or none where they state no unit).
TEST(PictureFile, ForeignResolutions_OpenWithThatScale)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        const char* unit;
        double x, y;
    } const cases[] = {
        { "png 5000 per metre", [](const QString& p) {
             QImage i(3, 2, QImage::Format_RGB888);
             i.fill(Qt::red);
             i.setDotsPerMeterX(5000);
             i.setDotsPerMeterY(4000);
             i.save(p, "PNG");
         }, "mm", 0.2, 0.25 },
        { "png 400000 per metre", [](const QString& p) {
             QImage i(3, 2, QImage::Format_Grayscale8);
             i.fill(7);
             i.setDotsPerMeterX(400000);
             i.setDotsPerMeterY(400000);
             i.save(p, "PNG");
         }, "um", 2.5, 2.5 },
        { "tiff 254 per inch", [](const QString& p) { foreignTiff(p, RESUNIT_INCH, 254, 127, nullptr); }, "cm", 0.01, 0.02 },
        { "tiff 50 per cm", [](const QString& p) { foreignTiff(p, RESUNIT_CENTIMETER, 50, 50, nullptr); }, "cm", 0.02, 0.02 },
        { "tiff no unit", [](const QString& p) { foreignTiff(p, RESUNIT_NONE, 50, 50, nullptr); }, "", 0, 0 },
        { "tiff ImageJ micrometres, Latin-1", [](const QString& p) {
             foreignTiff(p, RESUNIT_NONE, 4, 2, "ImageJ=1.46r\nunit=\xB5m\n");
         }, "um", 0.25, 0.5 },
        { "tiff ImageJ inches", [](const QString& p) { foreignTiff(p, RESUNIT_NONE, 2, 2, "ImageJ=1.53t\nunit=inch\n"); },
            "cm", 1.27, 1.27 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath("foreign");
        QFile::remove(path);
        c.make(path);
        DibImage opened;
        PictureTags tags;
        IgnoredTags ignored;
        ASSERT_EQ(OpenPicture(path, opened, &tags, &ignored), 1);
        EXPECT_EQ(tags.unit, QString::fromLatin1(c.unit));
        EXPECT_NEAR(tags.unitsPerPixelX, c.x, c.x * 1e-6);
        EXPECT_NEAR(tags.unitsPerPixelY, c.y, c.y * 1e-6);
        EXPECT_TRUE(ignored.isEmpty());
    }
}

// Tags that cannot be right are dropped and named; the picture still opens plainly.
TEST(PictureFile, HostileTags_PictureOpensWithoutThem)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QByteArray notes("{\"lines\":[]}");
    const QByteArray tooLong(PictureTags::kMaxNotes + 1, 'n');
    QTemporaryDir dir;
    struct Case {
        const char* name;
        Format format;
        std::function<QByteArray()> bytes;
        QStringList ignored;
        bool keepsNotes;
    } const cases[] = {
        { "png NaN factor", Format::Png, [&] { DibImage p; makePicture(p, 24); return encode(Format::Png, p, scaled("mm", nan, 1, notes)); },
            { "scale" }, true },
        { "png zero factor", Format::Png, [&] { DibImage p; makePicture(p, 8); return encode(Format::Png, p, scaled("um", 0, 0, notes)); },
            { "scale" }, true },
        { "png unknown unit", Format::Png, [&] { DibImage p; makePicture(p, 24); return encode(Format::Png, p, scaled("ft", 1, 1)); },
            { "scale" }, false },
        { "png negative factor", Format::Png, [&] { DibImage p; makePicture(p, 24); return encode(Format::Png, p, scaled("mm", -1, 1)); },
            { "scale" }, false },
        { "png oversize notes", Format::Png, [&] { DibImage p; makePicture(p, 24); return encode(Format::Png, p, scaled("mm", 0.01, 0.01, tooLong)); },
            { "measurements" }, false },
        { "png cut in the notes", Format::Png, [&] {
             DibImage p;
             makePicture(p, 24);
             return encode(Format::Png, p, scaled("mm", 0.01, 0.01, notes)).chopped(20);
         }, { "measurements" }, false },
        { "tiff cut in the notes", Format::Tiff, [&] {
             DibImage p;
             makePicture(p, 24);
             const QByteArray whole = encode(Format::Tiff, p, scaled("mm", 0.01, 0.01, notes));
             return whole.left(whole.indexOf(notes) + 3);
         }, { "measurements" }, false },
        { "tiff zero resolution", Format::Tiff, [&] { return foreignTiff(dir.filePath("zero.tif"), RESUNIT_CENTIMETER, 0, 0, nullptr); },
            { "scale" }, false },
        { "tiff unknown ImageJ unit", Format::Tiff, [&] {
             return foreignTiff(dir.filePath("unit.tif"), RESUNIT_NONE, 2, 2, "ImageJ=1.53t\nunit=furlong\n");
         }, { "scale" }, false },
        { "tiff oversize notes", Format::Tiff, [&] { DibImage p; makePicture(p, 8); return encode(Format::Tiff, p, scaled("cm", 0.5, 0.5, tooLong)); },
            { "measurements" }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = c.bytes();
        DibImage picture;
        PictureTags tags;
        IgnoredTags ignored;
        ASSERT_TRUE(decode(c.format, bytes, picture, tags, ignored));
        EXPECT_EQ(picture.bitsPerPixel(), 24);
        EXPECT_EQ(ignored, c.ignored);
        EXPECT_EQ(tags.hasScale(), c.ignored != QStringList { "scale" });
        EXPECT_EQ(tags.notes, c.keepsNotes ? notes : QByteArray());
    }
    // A TIFF cut short in its pixels does not open, and the picture on screen stays.
    DibImage original, onScreen, before;
    makePicture(original, 24);
    makePicture(onScreen, 24, 5, 3);
    makePicture(before, 24, 5, 3);
    const QString path = dir.filePath("cut.tif");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray whole = encode(Format::Tiff, original, scaled("mm", 0.01, 0.01, notes));
    f.write(whole.left(whole.size() / 3));
    f.close();
    PictureTags tags = scaled("mm", 1, 1);
    EXPECT_EQ(OpenPicture(path, onScreen, &tags), 0);
    EXPECT_TRUE(samePixels(before, onScreen));
    EXPECT_FALSE(tags.hasScale());
}

// A folder that cannot be written to, or a disk that fills up, fails the write and leaves nothing behind.
TEST(PictureFile, FailedWrites_LeaveNothing)
{
    DibImage big;
    ASSERT_TRUE(big.Create(512, 512, 24));
    std::mt19937 rng(3);
    for (int64_t i = 0; i < big.byteSize(); ++i)
        big.bits()[i] = uint8_t(rng());
    for (const Format format : { Format::Png, Format::Tiff })
        for (const bool readOnly : { true, false }) {
            SCOPED_TRACE(testing::Message() << int(format) << (readOnly ? " read-only folder" : " full disk"));
            QTemporaryDir dir;
            const QString path = dir.filePath("picture");
            bool written = true;
            if (readOnly) {
                ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
                if (access(QFile::encodeName(dir.path()).constData(), W_OK) == 0)
                    continue; // the superuser writes anyway: the full disk stands for it
                written = write(format, path, big, scaled("mm", 0.01, 0.01));
                chmod(QFile::encodeName(dir.path()).constData(), 0755);
            } else {
                FileSizeLimit limit(100000);
                ASSERT_TRUE(limit.ok());
                written = write(format, path, big, scaled("mm", 0.01, 0.01));
            }
            EXPECT_FALSE(written);
            EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty());
        }
}
