// DibImage: creation, the clipping of Apply, BMP writing and reading, and the bitmap decoder's refusals.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/DibImage.h"
#include "support/FileSizeLimit.h"

namespace {

void fillRandom(DibImage& img, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < img.height(); ++y) {
        uint8_t* row = img.rowBottomUp(y);
        for (int32_t x = 0; x < img.width() * img.bytesPerPixel(); ++x)
            row[x] = uint8_t(rng());
    }
}

// Copies pixel bytes exactly as a PixelKernel is documented to walk its rectangle.
int32_t copyKernel(uint8_t* dst, const uint8_t* src, const Rect* r, int32_t x, int32_t y, uint16_t dstBpp,
                   uint16_t srcBpp, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    if (user1)
        ++*static_cast<int*>(user1);
    for (int32_t i = 0; i < r->bottom - r->top; ++i) {
        const uint8_t* s = src + ptrdiff_t(srcStride) * (r->top + i) + srcBpp * r->left;
        uint8_t* d = dst + ptrdiff_t(dstStride) * (y + i) + dstBpp * x;
        std::memcpy(d, s, size_t(r->right - r->left) * srcBpp);
    }
    return 7;
}

struct KernelCall {
    Rect rect;
    int32_t x = 0, y = 0;
    int calls = 0;
};

int32_t recordKernel(uint8_t*, const uint8_t*, const Rect* r, int32_t x, int32_t y, uint16_t, uint16_t, int32_t,
                     int32_t, void* user1, void*)
{
    auto* call = static_cast<KernelCall*>(user1);
    call->rect = *r;
    call->x = x;
    call->y = y;
    ++call->calls;
    return 1;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A packed bitmap: 40-byte info header, colour table, rows bottom-up at 4-byte strides.
std::vector<uint8_t> packedDib(int32_t width, int32_t height, uint16_t bitCount, const std::vector<RgbQuad>& table,
                               const std::vector<std::vector<uint8_t>>& rowsBottomUp)
{
    BitmapInfoHeader info;
    info.width = width;
    info.height = height;
    info.planes = 1;
    info.bitCount = bitCount;
    info.clrUsed = uint32_t(table.size());
    std::vector<uint8_t> out(sizeof info);
    std::memcpy(out.data(), &info, sizeof info);
    for (const RgbQuad& q : table)
        out.insert(out.end(), {q.blue, q.green, q.red, q.reserved});
    const size_t stride = ((size_t(bitCount) * width + 31) / 32) * 4;
    for (const auto& row : rowsBottomUp) {
        std::vector<uint8_t> padded(row);
        padded.resize(stride, 0);
        out.insert(out.end(), padded.begin(), padded.end());
    }
    return out;
}

}  // namespace

TEST(DibImage, Create_RefusesBadSizesAndKeepsTheImage)
{
    DibImage img;
    ASSERT_TRUE(img.Create(10, 4, 24));
    img.bits()[0] = 42;
    EXPECT_EQ(img.Create(0, 5, 24), 0);
    EXPECT_EQ(img.Create(5, -1, 8), 0);
    EXPECT_EQ(img.Create(100000, 100000, 24), 0);  // 30 GB: a corrupt size, not a picture
    EXPECT_EQ(img.Create(0x7fffffff, 2, 24), 0);   // stride overflows 32 bits
    EXPECT_EQ(img.Create(8, 8, 16), 0);
    EXPECT_EQ(img.width(), 10);
    EXPECT_EQ(img.bits()[0], 42);
}

TEST(DibImage, Create_StrideHeaderAndTable)
{
    DibImage colour, grey, empty;
    ASSERT_TRUE(colour.Create(10, 3, 24));
    ASSERT_TRUE(grey.Create(10, 3, 8));
    EXPECT_EQ(colour.stride(), 32);
    EXPECT_EQ(grey.stride(), 12);
    EXPECT_EQ(colour.header().info.size, 108u);
    EXPECT_EQ(colour.header().info.planes, 1);
    EXPECT_EQ(colour.header().info.bitCount, 24);
    EXPECT_EQ(colour.header().info.height, 3);  // positive: bottom-up
    EXPECT_EQ(grey.colorTable()[200].red, 200);
    EXPECT_EQ(grey.colorTable()[200].blue, 200);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(empty.header().info.size, 108u);

    RgbQuad red{0, 0, 255, 0};
    grey.SetColorTable(2, &red, 5, 1);
    DibImage like;
    ASSERT_TRUE(like.CreateLike(&grey));
    EXPECT_EQ(like.colorTable()[5].red, 255);
    EXPECT_EQ(like.colorTable()[5].green, 0);
    EXPECT_EQ(like.stride(), 12);
    EXPECT_EQ(like.CreateLike(nullptr), 0);

    colour.Destroy();
    EXPECT_TRUE(colour.isEmpty());
    EXPECT_EQ(colour.width(), 0);
    colour.Destroy();  // twice is harmless
}

TEST(DibImage, CreateFromHeader_TakesSizeFormatAndFieldsFromTheHeader)
{
    DibImage img;
    EXPECT_EQ(img.CreateFromHeader(nullptr), 0);
    BitmapV4Header h;
    h.info.width = 0;
    h.info.height = 5;
    h.info.bitCount = 24;
    EXPECT_EQ(img.CreateFromHeader(&h), 0);
    h.info.width = 7;
    h.info.height = -5;  // top-down rows are not ours
    EXPECT_EQ(img.CreateFromHeader(&h), 0);
    h.info.height = 5;
    h.info.xPelsPerMeter = 3780;  // 96 dpi, kept for the file
    ASSERT_TRUE(img.CreateFromHeader(&h));
    EXPECT_EQ(img.width(), 7);
    EXPECT_EQ(img.stride(), 24);
    EXPECT_EQ(img.header().info.size, 108u);
    EXPECT_EQ(img.header().info.xPelsPerMeter, 3780);
    QTemporaryDir dir;
    ASSERT_TRUE(img.SaveBmp(dir.filePath("h.bmp")));
    const QByteArray file = readFile(dir.filePath("h.bmp"));
    int32_t xPels = 0;
    ASSERT_GE(file.size(), 14 + 28);
    std::memcpy(&xPels, file.constData() + 14 + 24, 4);
    EXPECT_EQ(xPels, 3780);
}

TEST(DibImage, Apply_KernelArgumentsForTheDocumentedCases)
{
    DibImage src, dst;
    ASSERT_TRUE(src.Create(20, 10, 24));
    ASSERT_TRUE(dst.Create(30, 10, 24));
    KernelCall call;
    // x = -5: source columns 5..19 land on destination columns 0..14.
    EXPECT_EQ(dst.Apply(recordKernel, src, nullptr, -5, 0, &call, nullptr), 1);
    EXPECT_EQ(call.rect, (Rect{5, 0, 20, 10}));
    EXPECT_EQ(call.x, 0);
    EXPECT_EQ(call.y, 0);

    // A 100 x 50 source at (0, 0) of a 100 x 80 destination: y = 30, rows 0..49, at the top of the picture.
    DibImage small, tall;
    ASSERT_TRUE(small.Create(100, 50, 8));
    ASSERT_TRUE(tall.Create(100, 80, 8));
    EXPECT_EQ(tall.Apply(recordKernel, small, nullptr, 0, 0, &call, nullptr), 1);
    EXPECT_EQ(call.rect, (Rect{0, 0, 100, 50}));
    EXPECT_EQ(call.y, 30);

    // Entirely outside, or no kernel: 0, and the kernel is never called.
    call.calls = 0;
    EXPECT_EQ(dst.Apply(recordKernel, src, nullptr, 30, 0, &call, nullptr), 0);
    EXPECT_EQ(dst.Apply(recordKernel, src, nullptr, -20, 0, &call, nullptr), 0);
    EXPECT_EQ(dst.Apply(recordKernel, src, nullptr, 0, 10, &call, nullptr), 0);
    EXPECT_EQ(dst.Apply(recordKernel, src, nullptr, 0, -10, &call, nullptr), 0);
    EXPECT_EQ(dst.Apply(nullptr, src, nullptr, 0, 0, &call, nullptr), 0);
    EXPECT_EQ(call.calls, 0);
}

// Copies through Apply at many positions and source rectangles, clipped on every side, and compares with a
// pixel-by-pixel reference of where each source pixel must land.
TEST(DibImage, Apply_ClipsOnAllSidesLikeTheReference)
{
    std::mt19937 rng(3);
    for (uint16_t bpp : {uint16_t(8), uint16_t(24)}) {
        DibImage src;
        ASSERT_TRUE(src.Create(23, 17, bpp));
        fillRandom(src, 11);
        for (int trial = 0; trial < 400; ++trial) {
            DibImage dst;
            ASSERT_TRUE(dst.Create(19 + trial % 7, 13 + trial % 5, bpp));
            fillRandom(dst, 100 + trial);
            DibImage expected;
            ASSERT_TRUE(expected.CreateLike(&dst));
            std::memcpy(expected.bits(), dst.bits(), size_t(dst.byteSize()));

            Rect r;
            r.left = int32_t(rng() % src.width());
            r.top = int32_t(rng() % src.height());
            r.right = r.left + 1 + int32_t(rng() % (src.width() - r.left));
            r.bottom = r.top + 1 + int32_t(rng() % (src.height() - r.top));
            const int32_t x = int32_t(rng() % 60) - 30, y = int32_t(rng() % 44) - 22;
            const bool whole = trial % 10 == 0;
            const Rect used = whole ? Rect{0, 0, src.width(), src.height()} : r;

            bool any = false;
            const int bytes = bpp / 8;
            for (int32_t j = 0; j < used.height(); ++j) {
                for (int32_t i = 0; i < used.width(); ++i) {
                    const int32_t dx = x + i, dy = y + j;
                    if (dx < 0 || dy < 0 || dx >= dst.width() || dy >= dst.height())
                        continue;
                    any = true;
                    std::memcpy(expected.rowTopDown(dy) + bytes * dx,
                                src.rowTopDown(used.top + j) + bytes * (used.left + i), size_t(bytes));
                }
            }
            int calls = 0;
            const int result = dst.Apply(copyKernel, src, whole ? nullptr : &r, x, y, &calls, nullptr);
            EXPECT_EQ(result, any ? 7 : 0) << "trial " << trial;
            EXPECT_EQ(calls, any ? 1 : 0);
            ASSERT_EQ(std::memcmp(dst.bits(), expected.bits(), size_t(dst.byteSize())), 0)
                << "bpp " << bpp << " trial " << trial << " rect " << r.left << "," << r.top << "," << r.right
                << "," << r.bottom << " at " << x << "," << y;
        }
    }
}

TEST(DibImage, Apply_SourceRectangleBeyondTheSourceKeepsSpansEqual)
{
    DibImage src, dst;
    ASSERT_TRUE(src.Create(8, 8, 8));
    ASSERT_TRUE(dst.Create(20, 20, 8));
    KernelCall call;
    const Rect r{-3, -2, 12, 9};
    ASSERT_EQ(dst.Apply(recordKernel, src, &r, 4, 4, &call, nullptr), 1);
    // Columns -3..-1 and 8..11 and rows -2..-1 and 8 are cut from the source and the destination alike.
    EXPECT_EQ(call.rect, (Rect{0, 0, 8, 8}));
    EXPECT_EQ(call.x, 7);
    EXPECT_EQ(call.y, 20 - (4 + 10));
}

TEST(DibImage, ApplyScaled_PassesWholeImagesWhenNoRectangles)
{
    DibImage src, dst;
    ASSERT_TRUE(src.Create(40, 30, 24));
    ASSERT_TRUE(dst.Create(10, 5, 8));
    struct Seen {
        Rect d, s;
        int32_t dw, dh, sw, sh;
        uint16_t db, sb;
    } seen{};
    const ScaleKernel k = [](uint8_t*, const uint8_t*, const Rect* d, const Rect* s, int32_t dw, int32_t dh,
                             int32_t sw, int32_t sh, uint16_t db, uint16_t sb, int32_t, int32_t, void* u1,
                             void*) -> int32_t {
        *static_cast<Seen*>(u1) = Seen{*d, *s, dw, dh, sw, sh, db, sb};
        return 5;
    };
    EXPECT_EQ(dst.ApplyScaled(k, src, nullptr, nullptr, &seen, nullptr), 5);
    EXPECT_EQ(seen.d, (Rect{0, 0, 10, 5}));
    EXPECT_EQ(seen.s, (Rect{0, 0, 40, 30}));
    EXPECT_EQ(seen.db, 1);
    EXPECT_EQ(seen.sb, 3);
    const Rect r{-5, 2, 100, 3};  // passed on unclipped
    EXPECT_EQ(dst.ApplyScaled(k, src, &r, &r, &seen, nullptr), 5);
    EXPECT_EQ(seen.s, r);
    EXPECT_EQ(dst.ApplyScaled(nullptr, src, nullptr, nullptr, &seen, nullptr), 0);
}

TEST(DibImage, FillAndBlit_TopDownAndClipped)
{
    DibImage grey, colour;
    ASSERT_TRUE(grey.Create(4, 3, 8));
    ASSERT_TRUE(colour.Create(6, 5, 24));
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x)
            grey.rowTopDown(y)[x] = uint8_t(10 * y + x);
    RgbQuad blue{200, 0, 0, 0};
    grey.SetColorTable(2, &blue, 11, 1);  // index 11 shows as blue

    const Rect fill{1, 1, 100, 2};
    colour.Fill(&fill, Rgb(1, 2, 3));
    EXPECT_EQ(colour.rowTopDown(1)[3 * 5 + 2], 1);  // red byte is last
    EXPECT_EQ(colour.rowTopDown(1)[3 * 5 + 0], 3);
    EXPECT_EQ(colour.rowTopDown(0)[3 * 5 + 0], 0);

    // An 8-bit source becomes colours of its table; placed at (3, 3) it is clipped to 3 x 2 pixels.
    ASSERT_TRUE(colour.Blit(grey, nullptr, 3, 3));
    EXPECT_EQ(colour.rowTopDown(3)[3 * 3], 0);
    EXPECT_EQ(colour.rowTopDown(4)[3 * 4 + 0], 200);  // grey (1, 1) holds index 11
    EXPECT_EQ(colour.rowTopDown(4)[3 * 4 + 1], 0);
    EXPECT_EQ(colour.rowTopDown(4)[3 * 5 + 0], 12);
    EXPECT_EQ(colour.rowTopDown(4)[3 * 5 + 2], 12);
}

TEST(DibImage, SaveBmp_EightBitLayout)
{
    QTemporaryDir dir;
    DibImage img;
    ASSERT_TRUE(img.Create(4, 2, 8));
    const QString path = dir.filePath("a.bmp");
    ASSERT_TRUE(img.SaveBmp(path));
    const QByteArray bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 1078 + 8);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    const auto u32At = [&](qsizetype at) {
        uint32_t v = 0;
        if (at + 4 <= bytes.size())
            std::memcpy(&v, bytes.constData() + at, 4);
        return v;
    };
    EXPECT_EQ(u32At(2), 1086u);   // file size
    EXPECT_EQ(u32At(10), 1078u);  // pixel offset
    EXPECT_EQ(u32At(14), 40u);    // info header size

    // A shorter picture over a longer file leaves no stale tail.
    DibImage tiny;
    ASSERT_TRUE(tiny.Create(1, 1, 24));
    ASSERT_TRUE(tiny.SaveBmp(path));
    EXPECT_EQ(readFile(path).size(), 54 + 4);
    EXPECT_EQ(tiny.SaveBmp(dir.filePath("no/such/folder.bmp")), 0);
}

// An overwrite that cannot be completed (here the file size limit stops it half-way) keeps the old file's
// bytes and leaves no temporary behind.
TEST(DibImage, SaveBmp_FailedOverwriteKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.bmp");
    DibImage small, big;
    ASSERT_TRUE(small.Create(16, 16, 24));
    fillRandom(small, 1);
    ASSERT_TRUE(small.SaveBmp(path));
    const QByteArray old = readFile(path);
    ASSERT_TRUE(big.Create(640, 480, 24)); // 921,654 bytes, far above the limit below
    fillRandom(big, 2);

    int result = -1;
    {
        FileSizeLimit limit(100000);
        ASSERT_TRUE(limit.ok());
        result = big.SaveBmp(path);
    }

    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "keep.bmp" });
    EXPECT_EQ(big.SaveBmp(path), 1); // without the limit the same call succeeds
    EXPECT_EQ(readFile(path).size(), 921654);
}

// Our files are read by Qt's own BMP reader with the same pixels, and by ours back to the same bytes.
TEST(DibImage, SaveBmp_RoundTripThroughAnIndependentReader)
{
    QTemporaryDir dir;
    for (uint16_t bpp : {uint16_t(8), uint16_t(24)}) {
        for (int32_t width : {1, 2, 3, 5, 17}) {
            DibImage img;
            ASSERT_TRUE(img.Create(width, 7, bpp));
            fillRandom(img, uint32_t(width * bpp));
            if (bpp == 8) {  // a non-grey table, so the reader must use it
                std::vector<RgbQuad> table(256);
                for (int i = 0; i < 256; ++i)
                    table[size_t(i)] = RgbQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
                img.SetColorTable(2, table.data(), 0, 256);
            }
            const QString path = dir.filePath(QString("p%1_%2.bmp").arg(bpp).arg(width));
            ASSERT_TRUE(img.SaveBmp(path));

            QImageReader reader(path);
            const QImage q = reader.read().convertToFormat(QImage::Format_RGB888);
            ASSERT_EQ(q.width(), width);
            ASSERT_EQ(q.height(), 7);
            for (int32_t y = 0; y < 7; ++y) {
                for (int32_t x = 0; x < width; ++x) {
                    const uint8_t* p = q.constScanLine(y) + 3 * x;
                    const uint8_t* s = img.rowTopDown(y);
                    uint8_t b, g, r;
                    if (bpp == 8) {
                        const RgbQuad& c = img.colorTable()[s[x]];
                        b = c.blue, g = c.green, r = c.red;
                    } else {
                        b = s[3 * x], g = s[3 * x + 1], r = s[3 * x + 2];
                    }
                    ASSERT_EQ(p[0], r) << bpp << " " << x << "," << y;
                    ASSERT_EQ(p[1], g);
                    ASSERT_EQ(p[2], b);
                }
            }

            const QByteArray file = readFile(path);
            DibImage back;
            ASSERT_TRUE(back.LoadBmpImage(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size())));
            ASSERT_EQ(back.bitsPerPixel(), bpp);
            ASSERT_EQ(std::memcmp(back.bits(), img.bits(), size_t(img.byteSize())), 0);
            if (bpp == 8) {
                EXPECT_EQ(std::memcmp(back.colorTable(), img.colorTable(), 1024), 0);
            }
        }
    }
}

TEST(DibImage, LoadDib_DecodesEveryUncompressedDepth)
{
    const std::vector<RgbQuad> two{{0, 0, 0, 0}, {10, 20, 30, 0}};
    // 1 bit, 10 pixels: 1011000001 on the bottom row, 0000000000 on the top row.
    auto oneBit = packedDib(10, 2, 1, two, {{0xB0, 0x40}, {0x00, 0x00}});
    DibImage a;
    ASSERT_TRUE(a.LoadDib(oneBit.data(), oneBit.size()));
    ASSERT_EQ(a.bitsPerPixel(), 8);
    const uint8_t bottom[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(std::memcmp(a.rowBottomUp(0), bottom, 10), 0);
    EXPECT_EQ(a.rowBottomUp(1)[0], 0);
    EXPECT_EQ(a.colorTable()[1].red, 30);

    std::vector<RgbQuad> sixteen(16);
    for (int i = 0; i < 16; ++i)
        sixteen[size_t(i)] = RgbQuad{uint8_t(i * 16), 0, 0, 0};
    auto fourBit = packedDib(3, 1, 4, sixteen, {{0x1F, 0x70}});
    DibImage b;
    ASSERT_TRUE(b.LoadDib(fourBit.data(), fourBit.size()));
    EXPECT_EQ(b.rowBottomUp(0)[0], 1);
    EXPECT_EQ(b.rowBottomUp(0)[1], 15);
    EXPECT_EQ(b.rowBottomUp(0)[2], 7);

    auto eightBit = packedDib(2, 1, 8, sixteen, {{3, 14}});  // 16 table entries named by clrUsed
    DibImage c;
    ASSERT_TRUE(c.LoadDib(eightBit.data(), eightBit.size()));
    EXPECT_EQ(c.rowBottomUp(0)[1], 14);
    EXPECT_EQ(c.colorTable()[14].blue, 224);
    EXPECT_EQ(c.colorTable()[200].blue, 0);  // entries past clrUsed are zero

    auto twentyFour = packedDib(2, 2, 24, {}, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    DibImage d;
    ASSERT_TRUE(d.LoadDib(twentyFour.data(), twentyFour.size()));
    ASSERT_EQ(d.bitsPerPixel(), 24);
    EXPECT_EQ(d.rowBottomUp(0)[5], 6);
    EXPECT_EQ(d.rowBottomUp(1)[3], 10);

    auto thirtyTwo = packedDib(2, 1, 32, {}, {{1, 2, 3, 99, 4, 5, 6, 99}});
    DibImage e;
    ASSERT_TRUE(e.LoadDib(thirtyTwo.data(), thirtyTwo.size()));
    ASSERT_EQ(e.bitsPerPixel(), 24);
    const uint8_t expected[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(std::memcmp(e.rowBottomUp(0), expected, 6), 0);

    // Into an image that exists: it keeps its size and format, the bitmap lands at its top-left corner.
    DibImage f;
    ASSERT_TRUE(f.Create(3, 3, 24));
    ASSERT_TRUE(f.LoadDib(twentyFour.data(), twentyFour.size()));
    EXPECT_EQ(f.width(), 3);
    EXPECT_EQ(f.rowTopDown(0)[0], 7);
    EXPECT_EQ(f.rowTopDown(1)[0], 1);
    EXPECT_EQ(f.rowTopDown(2)[0], 0);
}

TEST(DibImage, LoadDib_RefusesTruncatedAndLyingData)
{
    const std::vector<RgbQuad> grey(256);
    auto good = packedDib(5, 3, 8, grey, {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}});
    {
        DibImage img;
        ASSERT_TRUE(img.LoadDib(good.data(), good.size()));
    }
    // Every truncation fails cleanly (AddressSanitizer builds check that nothing is read past the end).
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> part(good.begin(), good.begin() + ptrdiff_t(cut));
        DibImage img;
        EXPECT_EQ(img.LoadDib(part.data(), part.size()), 0) << cut;
        EXPECT_TRUE(img.isEmpty());
    }
    const auto lie = [&](auto change) {
        std::vector<uint8_t> bad(good);
        BitmapInfoHeader info;
        std::memcpy(&info, bad.data(), sizeof info);
        change(info);
        std::memcpy(bad.data(), &info, sizeof info);
        DibImage img;
        return img.LoadDib(bad.data(), bad.size());
    };
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.height = 4; }), 0);
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.width = 0x40000000; }), 0);
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.width = 0x7fffffff, h.height = 0x7fffffff; }), 0);
    // Stride x height wraps 64 bits for a 32-bit picture this size: still refused, nothing read.
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.bitCount = 32, h.width = 0x60000000, h.height = 0x7fffffff; }), 0);
    {
        std::vector<uint8_t> bad(good);
        BitmapInfoHeader info;
        std::memcpy(&info, bad.data(), sizeof info);
        info.bitCount = 32, info.width = 0x60000000, info.height = 0x7fffffff, info.clrUsed = 0;
        std::memcpy(bad.data(), &info, sizeof info);
        DibImage small;
        ASSERT_TRUE(small.Create(140, 105, 24));
        EXPECT_EQ(small.LoadDib(bad.data(), bad.size()), 0);
    }
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.height = -3; }), 0);
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.clrUsed = 257; }), 0);
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.clrUsed = 0xFFFFFFFF; }), 0);
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.size = 0xFFFFFFF0; }), 0);
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.size = 12; }), 0);
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.compression = 1; }), 0);  // run-length encoded
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.bitCount = 16; }), 0);
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.bitCount = 0; }), 0);
    EXPECT_EQ(lie([](BitmapInfoHeader& h) { h.sizeImage = 0xFFFFFFFF; }), 1);  // the field is not trusted

    DibImage img;
    EXPECT_EQ(img.LoadDib(nullptr, 100), 0);
    const uint8_t notBmp[20] = {'B', 'X'};
    EXPECT_EQ(img.LoadBmpImage(notBmp, sizeof notBmp), 0);
    EXPECT_EQ(img.LoadBmpImage(reinterpret_cast<const uint8_t*>("BM"), 2), 0);
}

TEST(DibImage, LoadPictureFile_ReadsPngAndJpegAndRefusesOthers)
{
    QTemporaryDir dir;
    QImage q(5, 4, QImage::Format_RGB888);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            q.setPixel(x, y, qRgb(40 * x, 50 * y, 7));
    ASSERT_TRUE(q.save(dir.filePath("p.png")));
    ASSERT_TRUE(q.save(dir.filePath("p.jpg"), "JPEG", 100));

    DibImage png;
    ASSERT_TRUE(png.LoadPictureFile(dir.filePath("p.png")));
    ASSERT_EQ(png.width(), 5);
    ASSERT_EQ(png.bitsPerPixel(), 24);
    EXPECT_EQ(png.rowTopDown(3)[3 * 4 + 2], 160);  // red of (4, 3)
    EXPECT_EQ(png.rowTopDown(3)[3 * 4 + 1], 150);
    EXPECT_EQ(png.rowTopDown(3)[3 * 4 + 0], 7);

    // Into an 8-bit image that exists: each colour becomes its nearest grey, (160 + 150 + 7) / 3 rounded.
    DibImage grey;
    ASSERT_TRUE(grey.Create(5, 4, 8));
    ASSERT_TRUE(grey.LoadPictureFile(dir.filePath("p.png")));
    EXPECT_EQ(grey.rowTopDown(3)[4], 106);

    DibImage jpeg;
    ASSERT_TRUE(jpeg.LoadPictureFile(dir.filePath("p.jpg")));
    EXPECT_EQ(jpeg.height(), 4);

    // An 8 x 1 GIF: red, red, blue, blue, green, green, white, white.
    const uint8_t gif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x08, 0x00, 0x01, 0x00, 0xF1, 0x03, 0x00,
                           0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x21,
                           0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x08,
                           0x00, 0x01, 0x00, 0x00, 0x02, 0x05, 0x04, 0x24, 0x11, 0x33, 0x05, 0x00, 0x3B};
    QFile gifFile(dir.filePath("p.gif"));
    ASSERT_TRUE(gifFile.open(QIODevice::WriteOnly));
    gifFile.write(reinterpret_cast<const char*>(gif), sizeof gif);
    gifFile.close();
    DibImage fromGif;
    ASSERT_TRUE(fromGif.LoadPictureFile(gifFile.fileName()));
    ASSERT_EQ(fromGif.width(), 8);
    ASSERT_EQ(fromGif.height(), 1);
    const uint8_t expectedGif[24] = {0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 0, 0,
                                     0, 255, 0, 0, 255, 0, 255, 255, 255, 255, 255, 255};
    EXPECT_EQ(std::memcmp(fromGif.rowTopDown(0), expectedGif, 24), 0);

    QFile junk(dir.filePath("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture at all");
    junk.close();
    DibImage none;
    EXPECT_EQ(none.LoadPictureFile(junk.fileName()), 0);
    EXPECT_EQ(none.LoadPictureFile(dir.filePath("missing.bmp")), 0);
    EXPECT_TRUE(none.isEmpty());
}
