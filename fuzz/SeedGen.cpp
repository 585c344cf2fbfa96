// Writes the seed corpora under the folder given (fuzz/corpus): small files made by our own writers (BMP,
// JPEG, PNG and TIFF with their tags, ThumbNail, profile and timing files; PNG also through Qt, as the skin
// generator makes ours), and the regression inputs of faults found in the readers. Every file keeps its name
// from run to run, so a new run only changes what changed.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <turbojpeg.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs/TimingFile.h"
#include "files/JpegEncoder.h"
#include "files/PngFile.h"
#include "files/TiffFile.h"
#include "files/ThumbnailStore.h"
#include "imaging/DibImage.h"
#include "measure/MeasureList.h"
#include "measure/MeasureResults.h"
#include "measure/PictureNotes.h"
#include "measure/Recipe.h"
#include "platform/PrivateProfile.h"

namespace {

QString g_Root;
QString g_Scratch;

void put(const char* target, const char* name, const QByteArray& bytes)
{
    QDir().mkpath(g_Root + '/' + target);
    QFile file(g_Root + '/' + target + '/' + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s/%s\n", target, name);
        std::exit(1);
    }
}

QByteArray readWhole(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A picture whose pixels differ from row to row and column to column, so a misplaced row shows.
void pattern(DibImage& image, int32_t width, int32_t height, uint16_t bits)
{
    image.Create(width, height, bits);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width * image.bytesPerPixel(); ++x)
            image.rowTopDown(y)[x] = uint8_t(37 * x + 91 * y);
}

QByteArray bmpOf(const DibImage& image)
{
    const QString path = g_Scratch + "/seed.bmp";
    image.SaveBmp(path);
    return readWhole(path);
}

void bitmaps()
{
    DibImage rgb, grey, coloured;
    pattern(rgb, 5, 3, 24); // 15 bytes a row: padded to 16
    pattern(grey, 6, 4, 8);
    pattern(coloured, 3, 2, 8);
    RgbQuad table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = RgbQuad { uint8_t(255 - i), uint8_t(i), uint8_t(i * 7), 0 };
    coloured.SetColorTable(2, table, 0, 256);
    const std::pair<const char*, const DibImage*> pictures[]
        = { { "rgb24", &rgb }, { "grey8", &grey }, { "table8", &coloured } };
    for (const auto& [name, image] : pictures) {
        const QByteArray bmp = bmpOf(*image);
        put("LoadBmpImage", name, bmp);
        put("LoadDib", name, bmp.mid(14)); // without the file header
        put("OpenPicture", (std::string(name) + ".bmp").c_str(), bmp);
        put("ReducePicture", (std::string(name) + ".bmp").c_str(), bmp);
    }
}

void pictures()
{
    DibImage rgb;
    pattern(rgb, 19, 11, 24); // two blocks across, one and a half down: edge blocks repeat their last pixels
    const QString jpeg = g_Scratch + "/seed.jpg";
    EncodeJpeg(rgb, jpeg);
    put("OpenPicture", "rgb.jpg", readWhole(jpeg));
    put("ReducePicture", "rgb.jpg", readWhole(jpeg));
    // The smallest GIF: one pixel, two colours.
    put("OpenPicture", "pixel.gif",
        QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00"
                   ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
            43));
}

void pngs()
{
    QImage rgb(7, 5, QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            rgb.setPixel(x, y, qRgb(30 * x, 50 * y, 255 - 20 * x));
    const std::pair<const char*, QImage> images[] = {
        { "rgb", rgb },
        { "rgba", rgb.convertToFormat(QImage::Format_ARGB32) },
        { "grey", rgb.convertToFormat(QImage::Format_Grayscale8) },
        { "palette", rgb.convertToFormat(QImage::Format_Indexed8) },
        { "mono", rgb.convertToFormat(QImage::Format_Mono) },
        { "rgb16", rgb.convertToFormat(QImage::Format_RGBA64) },
    };
    for (const auto& [name, image] : images) {
        const QString path = g_Scratch + "/seed.png";
        image.save(path, "PNG");
        put("ReadPng", name, readWhole(path));
        if (std::strcmp(name, "rgb") == 0)
            put("OpenPicture", "rgb.png", readWhole(path));
    }
}

// PNG and TIFF files with their tags, from our writers: each depth with and without a scale and notes, and a
// PNG whose only scale is Qt's pHYs chunk.
void taggedPictures()
{
    DibImage rgb, grey;
    pattern(rgb, 9, 5, 24);
    pattern(grey, 6, 4, 8);
    PictureTags mm;
    mm.unit = "mm";
    mm.unitsPerPixelX = 0.0123456789;
    mm.unitsPerPixelY = 0.0125;
    mm.notes = R"({"version":1,"lines":[{"x1":1.5,"y1":2,"x2":8,"y2":4}],"label":"\u9855"})";
    PictureTags um = mm;
    um.unit = "um";
    um.unitsPerPixelX = 1.0 / 3.0;
    um.unitsPerPixelY = 0.25;
    um.notes.clear();
    const std::pair<const char*, const DibImage*> images[] = { { "rgb", &rgb }, { "grey", &grey } };
    const std::pair<const char*, PictureTags> tagSets[] = { { "plain", PictureTags {} }, { "mm-notes", mm }, { "um", um } };
    for (const auto& [imageName, image] : images)
        for (const auto& [tagName, tags] : tagSets) {
            const std::string name = std::string(imageName) + '-' + tagName;
            QByteArray bytes;
            EncodePng(*image, tags, bytes);
            put("PngTags", name.c_str(), bytes);
            EncodeTiff(*image, tags, bytes);
            put("TiffTags", name.c_str(), bytes);
        }
    QImage foreign(4, 3, QImage::Format_RGB888);
    foreign.fill(Qt::darkCyan);
    foreign.setDotsPerMeterX(200000);
    foreign.setDotsPerMeterY(100000);
    const QString path = g_Scratch + "/phys.png";
    foreign.save(path, "PNG");
    put("PngTags", "qt-phys", readWhole(path));
}

// A ThumbNail file from our writer, each stored 140 x 105 bitmap (43 KB) replaced by a small one so the
// corpus stays small; the loader takes any stored size.
QByteArray thumbnailsWithSmallBitmaps(const QByteArray& saved, const QByteArray& small)
{
    constexpr int kHead = 29 + 4; // magic and version, count
    QByteArray out = saved.left(kHead);
    for (int at = kHead; at < saved.size();) {
        const int nameEnd = saved.indexOf('\0', at);
        int32_t bitmapBytes = 0;
        std::memcpy(&bitmapBytes, saved.constData() + nameEnd + 1, 4);
        out += saved.mid(at, nameEnd + 1 - at);
        const int32_t smallBytes = int32_t(small.size());
        out.append(reinterpret_cast<const char*>(&smallBytes), 4);
        out += saved.mid(nameEnd + 5, 4); // reserved
        out += small;
        at = nameEnd + 9 + bitmapBytes;
    }
    return out;
}

void thumbnails()
{
    DibImage a, b, small8, small24;
    pattern(a, 30, 20, 24);
    pattern(b, 200, 150, 24);
    pattern(small8, 4, 3, 8);
    pattern(small24, 4, 3, 24);
    ThumbnailStore store;
    store.AddScaled("/pictures/a.bmp", a);
    store.AddCopied("/pictures/b.jpg", b);
    const QString file = ThumbnailStore::FileIn(g_Scratch);
    store.Save(file);
    const QByteArray saved = readWhole(file);
    put("ThumbnailFile", "two", thumbnailsWithSmallBitmaps(saved, bmpOf(small24)));
    put("ThumbnailFile", "two-8bit", thumbnailsWithSmallBitmaps(saved, bmpOf(small8)));
    // The older magic, one character shorter, followed by the same version.
    QByteArray old = thumbnailsWithSmallBitmaps(saved, bmpOf(small24));
    old.replace(0, 24, "ZR-QT THUMBNAILFILE VER");
    put("ThumbnailFile", "old-magic", old);
    // Picture names for the folder scan: plain ones, Shift-JIS bytes, and a lone invalid byte beside the
    // file its decoded name would be (U+FFFD in UTF-8).
    static const char names[] = "a.bmp\0b.jpg\0\x93\xfa\x96\x7b.bmp\0\xff.bmp\0\xef\xbf\xbd.bmp";
    put("ScanFolder", "names", QByteArray(names, sizeof names - 1));
}

QByteArray profileText(ProfileFile& profile)
{
    return QByteArray::fromStdString(profile.text());
}

void profiles()
{
    ProfileFile settings;
    settings.setValue("NX-QB740LE", "m_BayerFlg", "1");
    settings.setValue("NX-QB740LE", "m_Gamma", "1.25");
    settings.setValue("NX-QB740LE", "m_SaveFolder", "/home/user/pictures ");
    settings.setValue("NX-QB740LE", "m_CalibName0", "\"quoted\"");
    settings.setValue("CALIB", "m_Name", "顕微鏡");
    put("ProfileFile", "settings", profileText(settings));
    // Regression inputs of faults fixed in the reader: a byte-order mark before Shift-JIS text (read alike
    // before and after a write), two marks (both dropped), lines ending in a lone CR, CR LF lines with
    // comments, spaces and quotes.
    put("ProfileFile", "bom-shift-jis", QByteArray("\xEF\xBB\xBF[Main]\r\nName=\x82\xA0\r\n"));
    put("ProfileFile", "two-marks", QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[Main]\nName=x\n"));
    put("ProfileFile", "lone-cr", QByteArray("[Main]\rA=1\rB= two \r\r[Other]\rC=\"3\"\r"));
    put("ProfileFile", "comments",
        QByteArray("; made by hand\r\n[ Main ]\r\n Key = ' value ' \r\n;k=v\r\n=empty\r\n"
                   "[main]\r\nkey=second\r\n[Broken\r\nx=y"));

    const QString path = g_Scratch + "/timing.ini";
    QFile::remove(path);
    TimingFile::Save(path, CameraTiming { 2200, 1600, 2048, 1536, 76, 32 });
    put("TimingFile", "saved", readWhole(path));
    put("TimingFile", "model-sections",
        QByteArray("[NX-QB740LE]\nTH=2200\nTV=1600\n[NX-BOYZK]\nTH=1000\nEH=-5\n[nx-gte]\nEVS=+12x\nEHS=\n"));
    put("TimingFile", "lone-cr", QByteArray("[NX-LDHNZE]\rTH=1\rTV=2\rEH=3\rEV=4\rEHS=5\rEVS=6\r"));
}

// A camera frame from TurboJPEG: optimise (per-picture Huffman tables), progressive or arithmetic coding
// on request, as the library's environment switches ask for them.
QByteArray cameraFrame(int seed, int subsampling, int quality, const char* coding = nullptr)
{
    const int width = 40, height = 24;
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = uint8_t((i % 120) * 2 + seed * 31 + ((i * 2654435761u) >> 27));
    if (coding)
        qputenv(coding, "1");
    tjhandle h = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, subsampling, quality, 0);
    const QByteArray out(reinterpret_cast<const char*>(jpeg), qsizetype(size));
    tjFree(jpeg);
    tjDestroy(h);
    if (coding)
        qunsetenv(coding);
    return out;
}

// The frame without its segments of that marker (before the first scan): DHT as UVC cameras send it, DQT
// for a frame that uses tables it never defines.
QByteArray without(const QByteArray& frame, uint8_t marker)
{
    QByteArray out = frame.left(2);
    int at = 2;
    while (at + 4 <= frame.size() && uint8_t(frame[at + 1]) != 0xDA) {
        const int length = (uint8_t(frame[at + 2]) << 8 | uint8_t(frame[at + 3])) + 2;
        if (uint8_t(frame[at + 1]) != marker)
            out += frame.mid(at, length);
        at += length;
    }
    return out + frame.mid(at);
}

// Sequences of frames, as the MJPEG target splits its input: each must decode as it would alone.
void mjpeg()
{
    const QByteArray optimised = cameraFrame(1, TJSAMP_422, 85, "TJ_OPTIMIZE");
    const QByteArray plain = cameraFrame(2, TJSAMP_422, 85), other = cameraFrame(3, TJSAMP_420, 60);
    put("Mjpeg", "mixed-tables", optimised + without(plain, 0xC4) + without(other, 0xC4) + optimised);
    put("Mjpeg", "padded", plain + QByteArray(5000, '\0') + without(other, 0xC4) + QByteArray(300, '\xFF'));
    put("Mjpeg", "missing-quantisation", other + without(plain, 0xDB));
    put("Mjpeg", "progressive", cameraFrame(4, TJSAMP_444, 90, "TJ_PROGRESSIVE") + without(plain, 0xC4));
    put("Mjpeg", "arithmetic", cameraFrame(5, TJSAMP_GRAY, 75, "TJ_ARITHMETIC") + without(other, 0xC4));
}

// Measurement documents as a saved picture carries them: one item of every kind, and an empty list.
void notesDocuments()
{
    CalibEntry calib;
    calib.name = "Data1";
    calib.unit = UnitMm;
    calib.mppX = calib.mppY = 0.0125;
    MeasureList list;
    const auto add = [&](MeasureTool tool, std::initializer_list<MeasurePoint> points) {
        MeasureItem item;
        item.reset(tool);
        for (const MeasurePoint& p : points)
            item.addPoint(p);
        finishItem(item, calib, nullptr);
        list.append(item);
    };
    add(ToolLine, { { 10, 10 }, { 400, 300 } });
    add(ToolArea, { { 100, 100 }, { 300, 120 }, { 280, 330 }, { 90, 310 } });
    add(ToolCircle, { { 500, 400 }, { 560, 460 }, { 500, 520 } });
    add(ToolCircle2, { { 700, 100 }, { 740, 140 }, { 700, 180 }, { 900, 100 }, { 950, 150 }, { 900, 200 } });
    add(ToolPerpendicular, { { 0, 600 }, { 800, 600 }, { 300, 450 } });
    add(ToolAngle, { { 1200, 300 }, { 1000, 500 }, { 1300, 600 } });
    put("NotesJson", "every-kind", EncodeNotes(calib, list));
    list.rewind();
    list.current()->tolerance = Tolerance { 2.5, 0.05, 0.05 };
    put("Recipe", "every-kind", WriteRecipe(list));
    list.clear();
    put("NotesJson", "empty", EncodeNotes(calib, list));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    g_Root = QString::fromLocal8Bit(argv[1]);
    g_Scratch = g_Root + "/.scratch";
    QDir().mkpath(g_Scratch);
    bitmaps();
    pictures();
    pngs();
    taggedPictures();
    thumbnails();
    profiles();
    mjpeg();
    notesDocuments();
    QDir(g_Scratch).removeRecursively();
    return 0;
}
