// The thumbnail store: the list and its cursor, the ThumbNail file (layout, round trip, both magics),
// the folder scan, and malformed files that must load without reading out of bounds.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include "files/JpegEncoder.h"
#include "files/OpenPicture.h"
#include "files/PngFile.h"
#include "files/ThumbnailReader.h"
#include "files/ThumbnailScan.h"
#include "files/ThumbnailStore.h"
#include "files/TiffFile.h"
#include "support/FileSizeLimit.h"

namespace {

using Bytes = QByteArray;

// Pixel (x, y) of a test picture encodes its position, so any sampling can be checked exactly.
void makePicture(DibImage& img, int w, int h, int seed = 0)
{
    ASSERT_TRUE(img.Create(w, h, 24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = img.rowTopDown(y) + 3 * x;
            p[0] = uint8_t(x + seed);
            p[1] = uint8_t(y);
            p[2] = uint8_t((x >> 8) * 16 + (y >> 8) + seed);
        }
}

void writeFile(const QString& path, const Bytes& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

Bytes readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : Bytes();
}

std::vector<QString> pathsOf(const ThumbnailStore& store)
{
    std::vector<QString> out;
    for (const ThumbnailEntry* e = store.first(); e; e = e->next)
        out.push_back(e->path);
    return out;
}

void appendInt32(Bytes& out, int32_t v)
{
    out.append(reinterpret_cast<const char*>(&v), 4);
}

// A small BMP file image: w x h, 24 bits, every pixel (b, g, r) = (x, y, tag).
Bytes smallBmp(int w, int h, uint8_t tag)
{
    const int stride = (w * 3 + 3) & ~3;
    Bytes b;
    b.append("BM", 2);
    appendInt32(b, 54 + stride * h);
    appendInt32(b, 0);
    appendInt32(b, 54);
    appendInt32(b, 40);
    appendInt32(b, w);
    appendInt32(b, h);
    b.append("\x01\x00\x18\x00", 4); // planes 1, 24 bits
    for (int i = 0; i < 6; ++i)
        appendInt32(b, 0);
    for (int row = 0; row < h; ++row) {
        for (int x = 0; x < w; ++x) {
            b.append(char(x));
            b.append(char(h - 1 - row));
            b.append(char(tag));
        }
        b.append(Bytes(stride - 3 * w, '\0'));
    }
    return b;
}

struct Record {
    Record(const Bytes& n, const Bytes& b)
        : name(n)
        , bitmap(b)
    {
    }
    Bytes name;
    Bytes bitmap;
    std::optional<int32_t> size; // the stated size, when it is not the bitmap's true one
};

Bytes thumbnailFile(const std::vector<Record>& records, int32_t count, const char* magic = "VIZMAR THUMBNAILFILE VER")
{
    Bytes b(magic);
    b.append("1000", 4);
    b.append('\0');
    appendInt32(b, count);
    for (const Record& r : records) {
        b.append(r.name);
        b.append('\0');
        appendInt32(b, r.size.value_or(int32_t(r.bitmap.size())));
        appendInt32(b, 0);
        b.append(r.bitmap);
    }
    return b;
}

class ThumbnailTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString at(const QString& name) const { return ThumbnailStore::PathIn(dir.path(), name); }
    // A real picture file in the folder.
    void picture(const QString& name, int w = 64, int h = 48)
    {
        DibImage img;
        makePicture(img, w, h, int(qHash(name) & 63));
        if (name.endsWith(QLatin1String(".jpg")))
            ASSERT_TRUE(EncodeJpeg(img, at(name)));
        else
            ASSERT_TRUE(img.SaveBmp(at(name)));
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(ThumbnailTest, AddScaledReducesWholePicture_AddCopiedTakesCorner)
{
    ThumbnailStore store;
    DibImage big, small;
    makePicture(big, 280, 210);
    makePicture(small, 50, 40, 9);
    ASSERT_EQ(store.AddScaled("a.bmp", big), 1);
    ASSERT_EQ(store.AddCopied("b.bmp", big), 1);
    ASSERT_EQ(store.AddCopied("c.bmp", small), 1);
    EXPECT_EQ(store.AddScaled("d.bmp", DibImage()), 0); // no picture, no entry
    EXPECT_EQ(store.AddCopied("d.bmp", DibImage()), 0);
    ASSERT_EQ(store.count(), 3);
    EXPECT_EQ(store.current()->path, "c.bmp");

    const ThumbnailEntry* scaled = store.first();
    const ThumbnailEntry* copied = scaled->next;
    const ThumbnailEntry* partial = copied->next;
    for (const ThumbnailEntry* e : { scaled, copied, partial }) {
        EXPECT_EQ(e->image.width(), 140);
        EXPECT_EQ(e->image.height(), 105);
        EXPECT_EQ(e->image.bitsPerPixel(), 24);
    }
    for (int y = 0; y < 105; ++y)
        for (int x = 0; x < 140; ++x) {
            // Halving exactly, rows counted from the bottom as in the bitmap: thumbnail pixel (x, row i) is
            // picture pixel (2x, row 2i).
            ASSERT_EQ(std::memcmp(scaled->image.rowBottomUp(y) + 3 * x, big.rowBottomUp(2 * y) + 6 * x, 3), 0);
            ASSERT_EQ(std::memcmp(copied->image.rowTopDown(y) + 3 * x, big.rowTopDown(y) + 3 * x, 3), 0);
            const uint8_t* p = partial->image.rowTopDown(y) + 3 * x;
            if (x < 50 && y < 40)
                ASSERT_EQ(std::memcmp(p, small.rowTopDown(y) + 3 * x, 3), 0);
            else
                ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 0); // beyond a small picture: black
        }
}

TEST_F(ThumbnailTest, SeekToAndRemoveCurrent_CursorMovesToNextElsePrevious)
{
    ThumbnailStore store;
    DibImage img;
    makePicture(img, 10, 10);
    for (const char* name : { "a", "b", "c" })
        store.AddCopied(name, img);
    EXPECT_EQ(store.SeekTo(3), 0);
    EXPECT_EQ(store.SeekTo(-1), 0);
    EXPECT_EQ(store.current()->path, "c");
    ASSERT_EQ(store.SeekTo(1), 1);
    EXPECT_EQ(store.current()->path, "b");
    store.RemoveCurrent(); // the next one takes the cursor
    EXPECT_EQ(store.current()->path, "c");
    EXPECT_EQ(pathsOf(store), (std::vector<QString> { "a", "c" }));
    store.RemoveCurrent(); // no next: the previous one
    EXPECT_EQ(store.current()->path, "a");
    EXPECT_EQ(store.count(), 1);
    store.RemoveCurrent();
    EXPECT_EQ(store.current(), nullptr);
    EXPECT_EQ(store.first(), nullptr);
    EXPECT_EQ(store.count(), 0);
    store.RemoveCurrent(); // nothing to remove
    EXPECT_EQ(store.SeekTo(0), 0);
    store.AddCopied("d", img); // an emptied store starts again at count 1
    EXPECT_EQ(store.count(), 1);
    store.Clear();
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(store.current(), nullptr);
}

TEST_F(ThumbnailTest, SaveThenLoad_SameThumbnailsSameOrder_ExactLayout)
{
    picture("x.jpg");
    picture("long name.bmp");
    ThumbnailStore store;
    ASSERT_EQ(store.AddFile(at("x.jpg")), 1);
    ASSERT_EQ(store.AddFile(at("long name.bmp")), 1);
    const QString file = ThumbnailStore::FileIn(dir.path());
    ASSERT_EQ(store.Save(file), 1);

    const Bytes bytes = readFile(file);
    ASSERT_EQ(bytes.size(), 29 + 4 + (5 + 1 + 8 + 44154) + (13 + 1 + 8 + 44154));
    EXPECT_EQ(bytes.left(29), Bytes("VIZMAR THUMBNAILFILE VER1000", 29));
    int32_t v;
    std::memcpy(&v, bytes.constData() + 29, 4);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(bytes.mid(33, 6), Bytes("x.jpg", 6));
    const char* entry = bytes.constData() + 39;
    const int32_t header[] = { 44154, 0 };
    EXPECT_EQ(std::memcmp(entry, header, 8), 0);
    BitmapFileHeader fh;
    BitmapInfoHeader ih;
    std::memcpy(&fh, entry + 8, 14);
    std::memcpy(&ih, entry + 22, 40);
    EXPECT_EQ(+fh.type, 0x4D42);
    EXPECT_EQ(+fh.size, 44154u);
    EXPECT_EQ(+fh.offBits, 54u);
    EXPECT_EQ(+ih.size, 40u);
    EXPECT_EQ(+ih.width, 140);
    EXPECT_EQ(+ih.height, 105);
    EXPECT_EQ(+ih.planes, 1);
    EXPECT_EQ(+ih.bitCount, 24);
    EXPECT_EQ(ih.compression | ih.sizeImage | uint32_t(ih.xPelsPerMeter) | uint32_t(ih.yPelsPerMeter) | ih.clrUsed
            | ih.clrImportant,
        0u);
    // The stored bitmap is a BMP file that a reader we did not write accepts.
    QImageReader reader(QString("%1/embedded.bmp").arg(dir.path()));
    writeFile(dir.filePath("embedded.bmp"), bytes.mid(39 + 8, 44154));
    EXPECT_EQ(reader.read().size(), QSize(140, 105));

    ThumbnailStore loaded;
    ASSERT_EQ(loaded.Load(file), 1);
    ASSERT_EQ(pathsOf(loaded), pathsOf(store));
    for (const ThumbnailEntry *a = store.first(), *b = loaded.first(); a; a = a->next, b = b->next)
        EXPECT_EQ(std::memcmp(a->image.bits(), b->image.bits(), size_t(a->image.byteSize())), 0)
            << a->path.toStdString();
    EXPECT_EQ(loaded.current(), loaded.first()->next);

    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
        (QStringList { "ThumbNail", "embedded.bmp", "long name.bmp", "x.jpg" }));
}

TEST_F(ThumbnailTest, Load_OlderMagicAccepted_OtherMagicsAndVersionsRefused)
{
    picture("a.bmp");
    const QString file = ThumbnailStore::FileIn(dir.path());
    const std::vector<Record> one = { { "a.bmp", smallBmp(3, 2, 7) } };
    writeFile(file, thumbnailFile(one, 1, "ZR-QT THUMBNAILFILE VER"));
    ThumbnailStore store;
    ASSERT_EQ(store.Load(file), 1);
    ASSERT_EQ(store.count(), 1);
    EXPECT_EQ(store.first()->path, at("a.bmp"));
    const uint8_t* p = store.first()->image.rowTopDown(1) + 3 * 2; // pixel (2, 1) of the small bitmap
    EXPECT_TRUE(p[0] == 2 && p[1] == 1 && p[2] == 7);
    ASSERT_EQ(store.Save(file), 1);
    EXPECT_TRUE(readFile(file).startsWith("VIZMAR THUMBNAILFILE VER1000"));

    Bytes wrongVersion = thumbnailFile(one, 1);
    wrongVersion.replace(24, 4, "1001");
    Bytes wrongMagic = thumbnailFile(one, 1);
    wrongMagic[3] = 'X';
    for (const Bytes& bad : { wrongVersion, wrongMagic, Bytes("VIZMAR THUMBNAILFILE VER"), Bytes() }) {
        writeFile(file, bad);
        ThumbnailStore s;
        EXPECT_EQ(s.Load(file), 0);
        EXPECT_EQ(s.count(), 0);
    }
    QFile::remove(file);
    ThumbnailStore missing;
    EXPECT_EQ(missing.Load(file), 0);
}

TEST_F(ThumbnailTest, Save_EmptyStoreDeletesTheFile_LoadDropsDeletedPictures)
{
    picture("a.bmp");
    picture("b.jpg");
    const QString file = ThumbnailStore::FileIn(dir.path());
    ThumbnailStore store;
    ASSERT_EQ(store.ScanFolder(dir.path()), 1);
    ASSERT_EQ(store.Save(file), 1);

    ASSERT_TRUE(QFile::remove(at("a.bmp"))); // deleted by other means
    ThumbnailStore loaded;
    ASSERT_EQ(loaded.Load(file), 1);
    EXPECT_EQ(pathsOf(loaded), std::vector<QString> { at("b.jpg") });

    ThumbnailStore empty;
    EXPECT_EQ(empty.Save(file), 0);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(ThumbnailTest, ScanFolder_ExactExtensionsInNameOrder_ClearsWhenNoPicture)
{
    for (const char* name : { "b.jpg", "a.bmp", "C.JPG", "d.jpeg", "e.BMP", "f.Jpg" })
        picture(name);
    DibImage tagged;
    makePicture(tagged, 30, 20);
    for (const char* name : { "g.png", "h.tif", "i.tiff", "J.PNG", "k.TIF" })
        ASSERT_TRUE(QString(name).contains("png", Qt::CaseInsensitive) ? WritePng(at(name), tagged, {})
                                                                       : WriteTiff(at(name), tagged, {}));
    writeFile(at("broken.jpg"), Bytes("not a picture at all"));
    writeFile(at("notes.txt"), Bytes("text"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.jpg"));
    ThumbnailStore store;
    store.ScanFolder(dir.path());
    EXPECT_EQ(pathsOf(store), (std::vector<QString> { at("a.bmp"), at("b.jpg"), at("g.png"), at("h.tif"), at("i.tiff") }))
        << "broken.jpg: no entry";

    picture("0.bmp");
    store.ScanFolder(dir.path() + "/"); // only the new picture, however the folder is written
    EXPECT_EQ(pathsOf(store),
        (std::vector<QString> { at("a.bmp"), at("b.jpg"), at("g.png"), at("h.tif"), at("i.tiff"), at("0.bmp") }));

    QTemporaryDir other;
    DibImage img;
    makePicture(img, 20, 20);
    ASSERT_TRUE(img.SaveBmp(other.filePath("A.JPG")));
    store.ScanFolder(other.path()); // its only picture has an upper-case extension
    EXPECT_EQ(store.count(), 0);
    store.ScanFolder(dir.path());
    EXPECT_EQ(store.count(), 6);
    store.ScanFolder(dir.filePath("no such folder"));
    EXPECT_EQ(store.count(), 0);
}

// The scan decodes on several threads: its entries are those that adding the pictures one by one in name
// order gives, thumbnail for thumbnail; a second scan adds nothing.
TEST_F(ThumbnailTest, ScanFolder_ManyPictures_SameAsAddingOneByOneInNameOrder)
{
    QStringList names;
    for (int i = 0; i < 24; ++i) {
        names.push_back(QString::asprintf("%c%02d.%s", 'a' + (i * 7) % 24, i, i % 3 ? "jpg" : "bmp"));
        picture(names.back(), 1 + (i * 37) % 300, 1 + (i * 53) % 200);
    }
    std::sort(names.begin(), names.end());
    ThumbnailStore scanned, added;
    ASSERT_EQ(scanned.ScanFolder(dir.path()), 1);
    ASSERT_EQ(scanned.count(), 24);
    for (const QString& name : names)
        ASSERT_EQ(added.AddFile(at(name)), 1);
    ASSERT_EQ(pathsOf(scanned), pathsOf(added));
    for (const ThumbnailEntry *a = scanned.first(), *b = added.first(); a; a = a->next, b = b->next)
        ASSERT_EQ(std::memcmp(a->image.bits(), b->image.bits(), size_t(a->image.byteSize())), 0)
            << a->path.toStdString();
    EXPECT_EQ(scanned.current()->path, at(names.back())); // the last one added holds the cursor
    scanned.ScanFolder(dir.path());
    EXPECT_EQ(scanned.count(), 24);
}

// Picture names whose bytes are no UTF-8 (Shift-JIS or Latin-1 names from another system) cannot be opened by
// their decoded names: the scan leaves them out and counts them, and an entry never stands for another file
// (a lone invalid byte decodes to the name of a real file "U+FFFD.bmp"). Nor does a ThumbNail record load
// under such a name. Each file's one pixel carries its own tag, so the thumbnail shows whose file it is.
TEST_F(ThumbnailTest, ScanFolder_NamesThatAreNotText_LeftOutAndCounted)
{
    const Bytes replacement = "\xef\xbf\xbd.bmp"; // U+FFFD in UTF-8
    const struct {
        std::vector<Bytes> names; // made in this order, tags 1, 2, ...
        std::vector<Bytes> shown; // in the strip's order
        int skipped;
    } cases[] = {
        { { "\x93\xfa\x96\x7b.bmp" }, {}, 1 },
        { { replacement, "\xff.bmp" }, { replacement }, 1 },
        { { "\xff.bmp", replacement, "caf\xe9.jpg" }, { replacement }, 2 },
        { { "\xe6\x97\xa5\xe6\x9c\xac.bmp", "a.bmp", "\x93\xfa.txt" }, { "a.bmp", "\xe6\x97\xa5\xe6\x9c\xac.bmp" }, 0 },
    };
    for (const auto& c : cases) {
        QTemporaryDir folder;
        const Bytes root = QFile::encodeName(folder.path()) + '/';
        for (size_t i = 0; i < c.names.size(); ++i) {
            const Bytes bmp = smallBmp(1, 1, uint8_t(i + 1));
            FILE* f = std::fopen((root + c.names[i]).constData(), "wb");
            ASSERT_TRUE(f);
            ASSERT_EQ(std::fwrite(bmp.constData(), 1, size_t(bmp.size()), f), size_t(bmp.size()));
            std::fclose(f);
        }
        ThumbnailStore store;
        store.ScanFolder(folder.path());
        EXPECT_EQ(store.skippedNames(), c.skipped) << c.names[0].toHex().toStdString();
        std::vector<Bytes> shown;
        for (const ThumbnailEntry* e = store.first(); e; e = e->next) {
            const Bytes name = QFile::encodeName(e->path).mid(root.size());
            shown.push_back(name);
            const auto made = std::find(c.names.begin(), c.names.end(), name);
            ASSERT_NE(made, c.names.end());
            EXPECT_EQ(e->image.rowTopDown(0)[2], uint8_t(made - c.names.begin() + 1)) << name.toHex().toStdString();
        }
        EXPECT_EQ(shown, c.shown) << c.names[0].toHex().toStdString();
    }

    writeFile(at(QString::fromUtf8(replacement)), smallBmp(1, 1, 1));
    const Bytes file = thumbnailFile({ { "\xff.bmp", smallBmp(1, 1, 2) }, { replacement, smallBmp(1, 1, 3) } }, 2);
    ThumbnailStore loaded;
    ASSERT_EQ(loaded.LoadBytes(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()), dir.path(),
                  [](const QString&) { return true; }),
        1);
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_EQ(loaded.first()->image.rowTopDown(0)[2], 3);
}

// Names that leave the folder are skipped, whatever exists there; the entries after them still load.
TEST_F(ThumbnailTest, Load_SkipsNamesThatAreNotPlainFileNames)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("save/sub"));
    const QString save = dir.filePath("save");
    writeFile(dir.filePath("outside.bmp"), Bytes("x"));
    writeFile(save + "/sub/inner.bmp", Bytes("x"));
    writeFile(save + "/ok.bmp", Bytes("x"));
    const Bytes bmp = smallBmp(2, 2, 1);
    const std::vector<Record> records
        = { { "../outside.bmp", bmp }, { "sub/inner.bmp", bmp }, { dir.filePath("outside.bmp").toUtf8(), bmp },
              { "sub\\inner.bmp", bmp }, { ".", bmp }, { "..", bmp }, { "", bmp }, { "ok.bmp", bmp } };
    writeFile(ThumbnailStore::FileIn(save), thumbnailFile(records, int32_t(records.size())));
    ThumbnailStore store;
    ASSERT_EQ(store.Load(ThumbnailStore::FileIn(save)), 1);
    EXPECT_EQ(pathsOf(store), std::vector<QString> { save + "/ok.bmp" });
}

// The loader over bytes in memory: entries name pictures in the folder given, are kept as the check says
// (no file is looked at) and decode as from a file; bytes that are no ThumbNail file add nothing.
TEST_F(ThumbnailTest, LoadBytes_KeepsTheEntriesTheCheckAccepts)
{
    const Bytes file = thumbnailFile(
        { { "a.bmp", smallBmp(3, 2, 7) }, { "b.jpg", smallBmp(2, 2, 9) }, { "c.bmp", smallBmp(1, 1, 1) } }, 3);
    std::vector<QString> asked;
    const auto check = [&](const QString& path) {
        asked.push_back(path);
        return !path.endsWith(QLatin1String("b.jpg"));
    };
    ThumbnailStore store;
    ASSERT_EQ(
        store.LoadBytes(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()), "/nowhere", check), 1);
    EXPECT_EQ(asked, (std::vector<QString> { "/nowhere/a.bmp", "/nowhere/b.jpg", "/nowhere/c.bmp" }));
    EXPECT_EQ(pathsOf(store), (std::vector<QString> { "/nowhere/a.bmp", "/nowhere/c.bmp" }));
    const uint8_t* p = store.first()->image.rowTopDown(1) + 3 * 2; // stored pixel (2, 1): (2, 1, tag 7)
    EXPECT_EQ(p[0], 2);
    EXPECT_EQ(p[1], 1);
    EXPECT_EQ(p[2], 7);

    const Bytes other = thumbnailFile({ { "a.bmp", smallBmp(3, 2, 7) } }, 1, "VIZMAR THUMBNAILFILE VEX");
    ThumbnailStore none;
    EXPECT_EQ(
        none.LoadBytes(reinterpret_cast<const uint8_t*>(other.constData()), size_t(other.size()), "/nowhere", check),
        0);
    EXPECT_EQ(none.count(), 0);
}

// Every cut of a small valid file, and files whose counts and sizes lie: loading stops at the end of the
// data, never reads past it (the AddressSanitizer build checks), and makes only whole, sane entries.
TEST_F(ThumbnailTest, Load_MalformedFiles_StopAtTheEndOfTheData)
{
    for (const char* name : { "a.bmp", "b.bmp", "c.bmp" })
        writeFile(at(name), Bytes("picture"));
    const std::vector<Record> records
        = { { "a.bmp", smallBmp(3, 2, 1) }, { "b.bmp", smallBmp(5, 3, 2) }, { "c.bmp", smallBmp(1, 1, 3) } };
    const Bytes whole = thumbnailFile(records, 3);
    const QString file = ThumbnailStore::FileIn(dir.path());
    // Where each record ends: a cut before that end loses the record and everything after it.
    std::vector<qsizetype> ends;
    qsizetype end = 33;
    for (const Record& r : records)
        ends.push_back(end += r.name.size() + 1 + 8 + r.bitmap.size());
    for (qsizetype cut = 0; cut <= whole.size(); ++cut) {
        writeFile(file, whole.left(cut));
        ThumbnailStore store;
        const int result = store.Load(file);
        EXPECT_EQ(result, cut >= 33 ? 1 : 0) << cut;
        const int whole_records = int(std::count_if(ends.begin(), ends.end(), [&](qsizetype e) { return e <= cut; }));
        ASSERT_EQ(store.count(), whole_records) << "cut at " << cut;
    }

    const auto loadCount = [&](const Bytes& bytes) {
        writeFile(file, bytes);
        ThumbnailStore store;
        store.Load(file);
        for (const ThumbnailEntry* e = store.first(); e; e = e->next)
            EXPECT_TRUE(e->path == at("a.bmp") || e->path == at("b.bmp") || e->path == at("c.bmp"));
        return store.count();
    };
    EXPECT_EQ(loadCount(thumbnailFile(records, 1000)), 3); // more entries promised than stored
    EXPECT_EQ(loadCount(thumbnailFile(records, INT32_MAX)), 3);
    EXPECT_EQ(loadCount(thumbnailFile(records, -1)), 0);
    EXPECT_EQ(loadCount(thumbnailFile(records, 2)), 2); // fewer promised: the rest is ignored
    for (int32_t size : { -1000, INT32_MIN, INT32_MAX, 0x7FFFFFF0, 1 << 20 }) {
        std::vector<Record> lying = records;
        lying[1].size = size; // runs past the end or is negative: reading stops there
        EXPECT_EQ(loadCount(thumbnailFile(lying, 3)), 1) << size;
    }
    for (int32_t size : { 0, 10, 53, 54 }) {
        std::vector<Record> shortSize = records;
        shortSize[0].size = size; // too short for its bitmap: no entry, and what follows is garbage
        EXPECT_LE(loadCount(thumbnailFile(shortSize, 3)), 2) << size;
    }
    // Bitmaps that claim more than they hold, or absurd sides.
    std::vector<Record> forged = records;
    Bytes& bmp = forged[0].bitmap;
    const int32_t huge = 1 << 30;
    bmp.replace(18, 4, reinterpret_cast<const char*>(&huge), 4);
    forged[1].bitmap.truncate(60);
    forged[2].bitmap[0] = 'X';
    EXPECT_EQ(loadCount(thumbnailFile(forged, 3)), 0);
    // Sides whose row size times height passes 2^63: the bitmap decoder's own length check would wrap
    // and let it read rows far outside the data, so such sides are refused before decoding.
    Record wrapping = records[0];
    const int32_t sides[2] = { 0x60000000, 0x7FFFFFFF };
    wrapping.bitmap.replace(18, 8, reinterpret_cast<const char*>(sides), 8);
    wrapping.bitmap[28] = 32; // bits per pixel
    EXPECT_EQ(loadCount(thumbnailFile({ wrapping, records[1] }, 2)), 1);
    // A name without its zero byte at the end of the data.
    Bytes unterminated = thumbnailFile({ records[0] }, 2);
    unterminated.append("b.bmp");
    EXPECT_EQ(loadCount(unterminated), 1);
}

// A pipe in place of the thumbnail file or of a picture would block its reader for ever: only regular
// files are read.
TEST_F(ThumbnailTest, PipesAreNeitherLoadedNorScanned)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("ThumbNail")).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("pipe.jpg")).constData(), 0600), 0);
    picture("a.bmp");
    ThumbnailStore store;
    EXPECT_EQ(store.Load(at("ThumbNail")), 0);
    store.ScanFolder(dir.path());
    EXPECT_EQ(pathsOf(store), std::vector<QString> { at("a.bmp") });
}

// Random damage to a valid file (bytes flipped, int32 fields overwritten, the end cut off) must load
// without any out-of-bounds access and give only whole entries: 140 x 105 thumbnails of pictures that
// exist in the folder, no more than were stored, the count matching the list.
TEST_F(ThumbnailTest, Load_RandomlyDamagedFiles_OnlySaneEntries)
{
    const QStringList names = { "a.bmp", "b.jpg", "c.bmp" };
    for (const QString& name : names)
        writeFile(at(name), Bytes("picture"));
    // The large bitmap last, so that the headers of all three lie in the first 200 bytes.
    const std::vector<Record> records
        = { { "a.bmp", smallBmp(3, 2, 1) }, { "c.bmp", smallBmp(1, 1, 3) }, { "b.jpg", smallBmp(150, 110, 2) } };
    const Bytes valid = thumbnailFile(records, 3);
    const QString file = ThumbnailStore::FileIn(dir.path());
    const int32_t nasty[] = { 0, -1, 1, 54, 140, 105, 0x7FFFFFFF, INT32_MIN, 0x10000, 44154, 1 << 30 };

    std::mt19937 rng(2024);
    for (int round = 0; round < 2000; ++round) {
        Bytes bytes = valid;
        const int damage = 1 + int(rng() % 6);
        for (int k = 0; k < damage; ++k) {
            // Headers and names are where a reader goes wrong: most damage lands in the first bytes of a record.
            const qsizetype span = rng() % 2 ? 200 : bytes.size();
            const qsizetype at = qsizetype(rng() % uint32_t(std::min(span, bytes.size())));
            if (rng() % 3 == 0 && at + 4 <= bytes.size()) {
                const int32_t v = nasty[rng() % std::size(nasty)];
                bytes.replace(at, 4, reinterpret_cast<const char*>(&v), 4);
            } else {
                bytes[at] = char(bytes[at] ^ char(1 + rng() % 255));
            }
        }
        if (rng() % 4 == 0)
            bytes.truncate(qsizetype(rng() % uint32_t(bytes.size() + 1)));
        writeFile(file, bytes);

        ThumbnailStore store;
        const int result = store.Load(file);
        ASSERT_TRUE(result == 0 || result == 1);
        int listed = 0;
        for (const ThumbnailEntry* e = store.first(); e; e = e->next, ++listed) {
            ASSERT_EQ(e->image.width(), 140) << "round " << round;
            ASSERT_EQ(e->image.height(), 105);
            ASSERT_EQ(e->image.bitsPerPixel(), 24);
            const QString name = e->path.mid(at(QString()).size());
            ASSERT_EQ(e->path, at(name)) << "round " << round;
            ASSERT_TRUE(names.contains(name)) << qPrintable(e->path);
        }
        ASSERT_EQ(listed, store.count());
        ASSERT_LE(listed, 3) << "round " << round; // damage may rename an entry, never add one
        ASSERT_EQ(store.current() != nullptr, listed > 0);
    }
}

// A write that fails half-way (the file size limit stands in for a full disk) leaves the old ThumbNail
// file and an old picture as they were, writes no new picture, and leaves no temporary file behind.
TEST_F(ThumbnailTest, FailedWrites_KeepOldFiles_LeaveNoTemporaries)
{
    picture("a.bmp");
    picture("b.bmp");
    picture("c.jpg");
    ThumbnailStore store;
    ASSERT_EQ(store.AddFile(at("a.bmp")), 1);
    const QString file = ThumbnailStore::FileIn(dir.path());
    ASSERT_EQ(store.Save(file), 1);
    const Bytes oldThumbnails = readFile(file), oldPicture = readFile(at("c.jpg"));
    ASSERT_EQ(store.AddFile(at("b.bmp")), 1); // the new file would be twice as long
    DibImage big;
    ASSERT_TRUE(big.Create(1024, 512, 24));
    std::mt19937 rng(5);
    for (int64_t i = 0; i < big.byteSize(); ++i)
        big.bits()[i] = uint8_t(rng()); // noise: a file far above the limit
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);

    int saveResult = -1;
    bool newPicture = true, overPicture = true;
    {
        FileSizeLimit limit(60000);
        ASSERT_TRUE(limit.ok());
        saveResult = store.Save(file);
        newPicture = EncodeJpeg(big, at("new.jpg"));
        overPicture = EncodeJpeg(big, at("c.jpg"));
    }

    EXPECT_EQ(saveResult, 0);
    EXPECT_FALSE(newPicture);
    EXPECT_FALSE(overPicture);
    EXPECT_EQ(readFile(file), oldThumbnails);
    EXPECT_EQ(readFile(at("c.jpg")), oldPicture);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), before);
    // Without the limit the same calls succeed.
    EXPECT_EQ(store.Save(file), 1);
    EXPECT_TRUE(EncodeJpeg(big, at("new.jpg")));
}

// The background scan hands entries over in list order however the threads finish: the first picture is held
// back until every other one is done, and nothing comes before it. Destroying a scan mid-way stops it
// without waiting for the pictures not started.
TEST(ThumbnailScan, HandsOverInListOrder_CancelStopsEarly)
{
    std::vector<QString> paths;
    for (int i = 0; i < 12; ++i)
        paths.push_back(QString::number(i));
    std::atomic<int> made { 0 };
    std::atomic<bool> release { false };
    const auto make = [&](const QString& path) {
        if (path == "0")
            while (!release)
                std::this_thread::yield();
        ++made;
        auto entry = std::make_unique<ThumbnailEntry>();
        entry->path = path;
        return path == "5" ? nullptr : std::move(entry); // a picture that cannot be decoded
    };
    ThumbnailScan scan(paths, make, 3);
    while (made < 11)
        std::this_thread::yield();
    EXPECT_TRUE(scan.TakeReady().empty());
    EXPECT_EQ(scan.done(), 11u);
    EXPECT_FALSE(scan.finished());
    release = true;
    scan.Wait();
    std::vector<QString> got;
    for (auto& e : scan.TakeReady())
        got.push_back(e->path);
    paths.erase(paths.begin() + 5);
    EXPECT_EQ(got, paths);
    EXPECT_TRUE(scan.finished());

    std::atomic<int> started { 0 };
    {
        std::vector<QString> many(1000, QStringLiteral("x"));
        ThumbnailScan cancelled(
            many,
            [&](const QString&) {
                ++started;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                return std::unique_ptr<ThumbnailEntry>();
            },
            2);
    }
    EXPECT_LT(started.load(), 100);
}

// Thumbnails straight from the files: a BMP's (bottom-up or top-down) are those of the whole picture decoded,
// byte for byte; a JPEG's come from its reduced-scale decode and stay within a few levels of the whole
// decode's on a photograph-like picture. A JPEG opened whole gives the image plugin's pixels exactly. Sizes
// odd and even, smaller than the thumbnail too.
TEST_F(ThumbnailTest, ThumbnailsFromFiles_BmpExact_JpegCloseToWholeDecode)
{
    const auto photo = [](DibImage& img, int w, int h) {
        ASSERT_TRUE(img.Create(w, h, 24));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    img.rowTopDown(y)[3 * x + c] = uint8_t(
                        110 + 60 * std::sin(x * 0.011 + c) * std::cos(y * 0.013) + 6 * std::sin(x * 0.3 + y * 0.2));
    };
    int worst = 0;
    for (const auto& [w, h, jpeg, topDown] :
        { std::tuple { 2048, 1536, false, false }, { 333, 97, false, true }, { 60, 40, false, false },
            { 2048, 1536, true, false }, { 1001, 757, true, false }, { 90, 50, true, false } }) {
        DibImage img;
        photo(img, w, h);
        const QString path = at(QString::asprintf("p%dx%d.%s", w, h, jpeg ? "jpg" : "bmp"));
        ASSERT_TRUE(jpeg ? EncodeJpeg(img, path) : img.SaveBmp(path));
        if (topDown) { // the same rows stored top-down, under a negative height
            Bytes bytes = readFile(path);
            const int stride = (w * 3 + 3) & ~3;
            Bytes flipped = bytes.left(54);
            for (int row = h - 1; row >= 0; --row)
                flipped.append(bytes.mid(54 + row * stride, stride));
            const int32_t negative = -h;
            std::memcpy(flipped.data() + 22, &negative, 4);
            writeFile(path, flipped);
        }
        DibImage whole, expected, fast;
        ASSERT_TRUE(OpenPicture(path, whole));
        ASSERT_TRUE(ThumbnailStore::Reduce(whole, expected));
        ASSERT_TRUE(ReducePictureFile(path, 140, 105, fast)) << w << " x " << h;
        ASSERT_EQ(fast.width(), 140);
        ASSERT_EQ(fast.height(), 105);
        int largest = 0;
        for (int32_t i = 0; i < expected.byteSize(); ++i)
            largest = std::max(largest, std::abs(int(expected.bits()[i]) - int(fast.bits()[i])));
        if (jpeg) {
            worst = std::max(worst, largest);
            QImage plugin(path);
            ASSERT_EQ(plugin.width(), w);
            plugin = plugin.convertToFormat(QImage::Format_BGR888);
            for (int y = 0; y < h; ++y)
                ASSERT_EQ(std::memcmp(plugin.constScanLine(y), whole.rowTopDown(y), size_t(w) * 3), 0) << y;
        } else {
            EXPECT_EQ(largest, 0) << w << " x " << h;
        }
    }
    EXPECT_LE(worst, 12);
    EXPECT_GT(worst, 0); // the reduced decode is used
    // Neither kind: the caller decodes the file whole.
    DibImage untouched;
    writeFile(at("n.png"), Bytes("\x89PNG\r\n\x1a\n", 8));
    EXPECT_FALSE(ReducePictureFile(at("n.png"), 140, 105, untouched));
    EXPECT_TRUE(untouched.isEmpty());
}
