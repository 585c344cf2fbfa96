// The JPEG files as a whole: the exact bytes of a known picture, the tables against libjpeg-turbo's,
// edge replication, and decoding by libjpeg-turbo (a decoder we did not write) at every small size.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <turbojpeg.h>

#include <cstdio>

#include <jpeglib.h>

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "files/JpegEncoder.h"
#include "files/JpegReference.h"
#include "imaging/DibImage.h"
#include "imaging/KernelSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;
using PixelFn = std::function<void(int x, int y, uint8_t rgb[3])>; // y counted from the top

void makePicture(DibImage& img, int w, int h, const PixelFn& f)
{
    ASSERT_TRUE(img.Create(w, h, 24));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = img.rowTopDown(y);
        for (int x = 0; x < w; ++x) {
            uint8_t rgb[3];
            f(x, y, rgb);
            row[3 * x] = rgb[2];
            row[3 * x + 1] = rgb[1];
            row[3 * x + 2] = rgb[0];
        }
    }
}

Bytes encode(const DibImage& img, int quality = jpeg::kDefaultQuality)
{
    const uint8_t* top = img.rowTopDown(0);
    JpegEncoder encoder(JpegPlanes { top + 2, top + 1, top, 3, -ptrdiff_t(img.stride()) }, quality);
    encoder.SetParameters(img.width(), img.height());
    if (encoder.Encode() != 0)
        return {};
    int64_t n = 0;
    const auto buffer = encoder.TakeBuffer(&n);
    return Bytes(buffer.get(), buffer.get() + n);
}

struct Decoded {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // top-down
};

bool decode(const Bytes& file, Decoded& out)
{
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, subsampling = 0, colorspace = 0;
    bool ok = tjDecompressHeader3(tj, file.data(), file.size(), &w, &h, &subsampling, &colorspace) == 0;
    if (ok) {
        out.width = w;
        out.height = h;
        out.rgb.assign(size_t(w) * h * 3, 0);
        ok = tjDecompress2(tj, file.data(), file.size(), out.rgb.data(), w, w * 3, h, TJPF_RGB, 0) == 0;
    }
    tjDestroy(tj);
    return ok;
}

// Segments by marker, in file order, each with its payload (after the length); stops at SOS.
std::vector<std::pair<uint8_t, Bytes>> segments(const Bytes& file)
{
    std::vector<std::pair<uint8_t, Bytes>> out;
    size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const uint8_t marker = file[at + 1];
        const size_t length = size_t(file[at + 2]) << 8 | file[at + 3];
        out.push_back({ marker, Bytes(file.begin() + at + 4, file.begin() + at + 2 + length) });
        at += 2 + length;
        if (marker == 0xDA)
            break;
    }
    return out;
}

// Offset of the first scan byte (just after SOS).
size_t scanStart(const Bytes& file)
{
    size_t at = 2;
    while (at + 4 <= file.size()) {
        const size_t length = size_t(file[at + 2]) << 8 | file[at + 3];
        if (file[at + 1] == 0xDA)
            return at + 2 + length;
        at += 2 + length;
    }
    return file.size();
}

void natural(int x, int y, uint8_t rgb[3])
{
    // Smooth shading, a few soft edges and mild texture, like a photograph of an object on a bench.
    const double shade = 110 + 60 * std::sin(x * 0.021) * std::cos(y * 0.017) + (x > 90 && y > 60 ? 40 : 0);
    const double texture = 6 * std::sin(x * 0.9 + y * 0.4) * std::sin(y * 0.7);
    const double v[3] = { shade + texture + 20, shade + texture, shade - texture - 25 + y * 0.1 };
    for (int c = 0; c < 3; ++c)
        rgb[c] = uint8_t(std::clamp(int(v[c]), 0, 255));
}

} // namespace

TEST(JpegEncoder, MidGrey16x16_GivesTheKnown636ByteFile)
{
    DibImage img;
    makePicture(img, 16, 16, [](int, int, uint8_t rgb[3]) { rgb[0] = rgb[1] = rgb[2] = 128; });
    const Bytes file = encode(img);
    ASSERT_EQ(file.size(), 636u);
    const Bytes head = { 0xFF, 0xD8, // SOI
        0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x02, 0x01, // APP0 JFIF 1.02
        0x00, 0x48, 0x00, 0x48, 0x00, 0x00, // 72 x 72 dpi
        0xFF, 0xFE, 0x00, 0x05, 0x20, 0x20, 0x00 }; // COM "  "
    EXPECT_EQ(Bytes(file.begin(), file.begin() + head.size()), head);
    const Bytes sof = { 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10, 0x03, 0x00, 0x22, 0x00, 0x01, 0x11, 0x01,
        0x02, 0x11, 0x01 };
    const Bytes sos = { 0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x00, 0x00, 0x01, 0x11, 0x02, 0x11, 0x00, 0x3F, 0x00 };
    EXPECT_EQ(Bytes(file.begin() + 630 - 33, file.begin() + 630 - 14), sof);
    EXPECT_EQ(Bytes(file.begin() + 630 - 14, file.begin() + 630), sos);
    EXPECT_EQ(Bytes(file.begin() + 630, file.end()), (Bytes { 0x28, 0xA2, 0x8A, 0x00, 0xFF, 0xD9 }));

    // Between COM and SOF0: two DQT then the four DHT segments, in this order and with these lengths.
    const auto seg = segments(file);
    ASSERT_EQ(seg.size(), 10u);
    const uint8_t markers[] = { 0xE0, 0xFE, 0xDB, 0xDB, 0xC4, 0xC4, 0xC4, 0xC4, 0xC0, 0xDA };
    const size_t lengths[] = { 14, 3, 65, 65, 29, 29, 179, 179, 15, 10 };
    const uint8_t firsts[] = { 0x4A, 0x20, 0x00, 0x01, 0x00, 0x01, 0x10, 0x11, 0x08, 0x03 };
    for (size_t i = 0; i < seg.size(); ++i) {
        EXPECT_EQ(seg[i].first, markers[i]) << i;
        EXPECT_EQ(seg[i].second.size(), lengths[i]) << i;
        EXPECT_EQ(seg[i].second[0], firsts[i]) << i;
    }

    // Saved through the file interface: the same bytes, one file.
    QTemporaryDir dir;
    const QString name = dir.filePath("grey.jpg");
    ASSERT_TRUE(EncodeJpeg(img, name));
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray onDisk = f.readAll();
    EXPECT_EQ(Bytes(onDisk.begin(), onDisk.end()), file);

    // Other parameters land in APP0 and COM (the comment's length counts its zero byte).
    const uint8_t* top = img.rowTopDown(0);
    JpegEncoder other(JpegPlanes { top + 2, top + 1, top, 3, -ptrdiff_t(img.stride()) });
    other.SetParameters(16, 16, "camera", 2, 300, 150);
    ASSERT_EQ(other.Encode(), 0);
    int64_t n = 0;
    const auto buffer = other.TakeBuffer(&n);
    const Bytes head2(buffer.get(), buffer.get() + 31);
    EXPECT_EQ(n, 636 + 4);
    EXPECT_EQ(Bytes(head2.begin() + 13, head2.end()),
        (Bytes {
            0x02, 0x01, 0x2C, 0x00, 0x96, 0x00, 0x00, 0xFF, 0xFE, 0x00, 0x09, 'c', 'a', 'm', 'e', 'r', 'a', 0x00 }));
}

// libjpeg-turbo at quality 50 writes the Annex K tables unscaled and the standard Huffman tables: its
// DQT and DHT payloads, table by table, must equal ours.
// libjpeg-turbo scales its tables by quality as the IJG library always has: ours must be the same bytes.
TEST(JpegEncoder, Tables_EqualLibjpegTurboAtEveryQuality)
{
    DibImage img;
    makePicture(img, 64, 48, natural);
    for (int quality : { 1, 10, 25, 49, 50, 51, 75, 90, 99, 100 }) {
        const Bytes ours = encode(img, quality);

        tjhandle tj = tjInitCompress();
        unsigned char* theirs = nullptr;
        unsigned long theirSize = 0;
        ASSERT_EQ(tjCompress2(tj, img.bits(), 64, int(img.stride()), 48, TJPF_BGR, &theirs, &theirSize, TJSAMP_420,
                      quality, TJFLAG_BOTTOMUP),
            0);
        const Bytes theirFile(theirs, theirs + theirSize);
        tjFree(theirs);
        tjDestroy(tj);

        // libjpeg-turbo may put several tables in one segment: split them by their headers.
        const auto tablesOf = [](const Bytes& file) {
            std::map<std::pair<uint8_t, uint8_t>, Bytes> t; // (marker, class/id) -> table
            for (const auto& [marker, payload] : segments(file)) {
                size_t at = 0;
                while (marker == 0xDB && at + 65 <= payload.size()) {
                    t[{ marker, payload[at] }] = Bytes(payload.begin() + at + 1, payload.begin() + at + 65);
                    at += 65;
                }
                while (marker == 0xC4 && at + 17 <= payload.size()) {
                    size_t count = 0;
                    for (int i = 1; i <= 16; ++i)
                        count += payload[at + i];
                    t[{ marker, payload[at] }] = Bytes(payload.begin() + at + 1, payload.begin() + at + 17 + count);
                    at += 17 + count;
                }
            }
            return t;
        };
        const auto a = tablesOf(ours), b = tablesOf(theirFile);
        EXPECT_EQ(a.size(), 6u) << quality;
        EXPECT_EQ(a, b) << quality;
    }
}

TEST(JpegEncoder, QualityScalesTheTables_EndsClamped)
{
    const jpeg::QuantTables base = jpeg::ScaledQuantTables(50);
    const struct {
        int quality;
        std::function<bool(int entry, uint8_t luma, uint8_t chroma)> holds;
    } cases[] = {
        { 50, [](int i, uint8_t l, uint8_t c) { return l == jpeg::kLumaQuant[i] && c == jpeg::kChromaQuant[i]; } },
        { 100, [](int, uint8_t l, uint8_t c) { return l == 1 && c == 1; } },
        { 1, [](int, uint8_t l, uint8_t c) { return l == 255 && c == 255; } },
        { 0, [](int, uint8_t l, uint8_t c) { return l == 255 && c == 255; } },
        { -7, [](int, uint8_t l, uint8_t c) { return l == 255 && c == 255; } },
        { 101, [](int, uint8_t l, uint8_t c) { return l == 1 && c == 1; } },
        // Twice as fine: half the base, rounded to nearest.
        { 75,
            [&](int i, uint8_t l, uint8_t c) { return l == (base.luma[i] + 1) / 2 && c == (base.chroma[i] + 1) / 2; } },
    };
    for (const auto& c : cases) {
        const jpeg::QuantTables t = jpeg::ScaledQuantTables(c.quality);
        for (int i = 0; i < 64; ++i)
            EXPECT_TRUE(c.holds(i, t.luma[i], t.chroma[i])) << "quality " << c.quality << " entry " << i;
    }
}

// A thin coloured mark on a grey bench keeps its colour at a fine quality wherever it lies (on an odd row or
// column too, which the default's top-left sampling would lose), and finer costs bytes.
TEST(JpegEncoder, FineQualityKeepsAThinGreenLine_LargerFiles)
{
    const struct {
        bool vertical;
        int at;
    } lines[] = { { false, 20 }, { false, 21 }, { true, 31 }, { true, 63 } };
    for (const auto& line : lines) {
        DibImage img;
        makePicture(img, 64, 48, [&](int x, int y, uint8_t rgb[3]) {
            const bool on = (line.vertical ? x : y) == line.at;
            rgb[0] = rgb[2] = on ? 0 : 128;
            rgb[1] = on ? 255 : 128;
        });
        Decoded d;
        ASSERT_TRUE(decode(encode(img, 90), d));
        for (int i = 0; i < (line.vertical ? 48 : 64); ++i) {
            const int x = line.vertical ? line.at : i, y = line.vertical ? i : line.at;
            const uint8_t* p = &d.rgb[(size_t(y) * 64 + size_t(x)) * 3];
            EXPECT_GT(p[1], p[0] + 60) << (line.vertical ? "column " : "row ") << line.at << " at " << i;
            EXPECT_GT(p[1], p[2] + 60) << (line.vertical ? "column " : "row ") << line.at << " at " << i;
        }
    }

    DibImage natural64;
    makePicture(natural64, 64, 48, natural);
    size_t previous = 0;
    for (int quality : { 1, 10, 50, 75, 90, 100 }) {
        const size_t size = encode(natural64, quality).size();
        EXPECT_GT(size, previous) << quality;
        previous = size;
    }
}

TEST(JpegEncoder, Scan_EveryFFIsStuffed_NoMarkersInside)
{
    std::mt19937 rng(9);
    DibImage img;
    makePicture(img, 160, 120, [&](int, int, uint8_t rgb[3]) {
        for (int c = 0; c < 3; ++c)
            rgb[c] = uint8_t(rng());
    });
    const Bytes file = encode(img);
    const size_t start = scanStart(file);
    ASSERT_GE(file.size(), start + 2);
    int ffCount = 0;
    for (size_t i = start; i + 2 < file.size(); ++i)
        if (file[i] == 0xFF) {
            ASSERT_EQ(file[i + 1], 0x00) << "at " << i;
            ++ffCount;
        }
    EXPECT_GT(ffCount, 0); // noise makes plenty of them
    EXPECT_EQ(file[file.size() - 2], 0xFF);
    EXPECT_EQ(file[file.size() - 1], 0xD9);
}

// Positions beyond the right and bottom edges repeat the last column and row: a picture and the same
// picture with its edges repeated to whole MCUs give the same scan. 1 x 1 is one MCU, 17 x 17 two by two.
TEST(JpegEncoder, EdgeReplication_SameScanAsPaddedPicture)
{
    std::mt19937 rng(3);
    for (const auto& [w, h] : { std::pair { 1, 1 }, { 17, 17 }, { 16, 17 }, { 17, 16 }, { 33, 5 }, { 2, 31 },
             { 18, 18 }, { 5, 6 }, { 3, 2 } }) {
        std::vector<uint8_t> px(size_t(w) * h * 3);
        for (uint8_t& v : px)
            v = uint8_t(rng());
        const auto at = [&](int x, int y, uint8_t rgb[3]) {
            x = std::min(x, w - 1);
            y = std::min(y, h - 1);
            std::copy_n(&px[(size_t(y) * w + x) * 3], 3, rgb);
        };
        const int pw = (w + 15) / 16 * 16, ph = (h + 15) / 16 * 16;
        DibImage small, padded;
        makePicture(small, w, h, at);
        makePicture(padded, pw, ph, at);
        const Bytes a = encode(small), b = encode(padded);
        ASSERT_FALSE(a.empty());
        EXPECT_EQ(Bytes(a.begin() + scanStart(a), a.end()), Bytes(b.begin() + scanStart(b), b.end()))
            << w << " x " << h;
        Decoded d;
        ASSERT_TRUE(decode(a, d));
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
    }
}

TEST(JpegEncoder, EverySmallSize_DecodesToExactSize)
{
    std::vector<std::pair<int, int>> sizes;
    for (int w = 1; w <= 40; ++w)
        for (int h = 1; h <= 40; ++h)
            sizes.push_back({ w, h });
    for (auto s : { std::pair { 2047, 3 }, { 5, 1537 }, { 333, 257 }, { 1023, 769 }, { 2048, 1536 } })
        sizes.push_back(s);
    for (const auto& [w, h] : sizes) {
        DibImage img;
        makePicture(img, w, h, natural);
        Decoded d;
        ASSERT_TRUE(decode(encode(img), d)) << w << " x " << h;
        ASSERT_EQ(d.width, w);
        ASSERT_EQ(d.height, h);
    }
}

// A picture a row or a column thin is coded as whole 16 x 16 MCUs (its row or column repeated): the file
// can take more than three bytes per picture pixel, and noise must still encode.
TEST(JpegEncoder, ThinNoisyPictures_Encode)
{
    std::mt19937 rng(11);
    for (const auto& [w, h] : { std::pair { 8192, 1 }, { 1, 8192 }, { 2048, 1 }, { 1, 1536 } }) {
        DibImage img;
        makePicture(img, w, h, [&](int, int, uint8_t rgb[3]) {
            for (int c = 0; c < 3; ++c)
                rgb[c] = uint8_t(rng());
        });
        const Bytes file = encode(img);
        ASSERT_FALSE(file.empty()) << w << " x " << h;
        EXPECT_GT(file.size(), size_t(w) * h * 3) << w << " x " << h; // more than the picture itself
        Decoded d;
        ASSERT_TRUE(decode(file, d)) << w << " x " << h;
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
    }
}

// The picture's top row comes first in the file, colours land in their channels, and a photograph-like
// picture survives with at least 30 dB.
TEST(JpegEncoder, NaturalPicture_DecodesUprightWithGoodPsnr)
{
    DibImage img;
    makePicture(img, 320, 240, natural);
    Decoded d;
    ASSERT_TRUE(decode(encode(img), d));
    double squares = 0;
    for (int y = 0; y < 240; ++y) {
        const uint8_t* row = img.rowTopDown(y);
        for (int x = 0; x < 320; ++x)
            for (int c = 0; c < 3; ++c) {
                const double e = double(d.rgb[(size_t(y) * 320 + x) * 3 + c]) - row[3 * x + 2 - c];
                squares += e * e;
            }
    }
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (320.0 * 240 * 3)));
    EXPECT_GE(psnr, 30.0);

    DibImage flag;
    makePicture(flag, 48, 32, [](int, int y, uint8_t rgb[3]) {
        rgb[0] = y < 16 ? 220 : 20; // red on top, blue below
        rgb[1] = 30;
        rgb[2] = y < 16 ? 20 : 220;
    });
    ASSERT_TRUE(decode(encode(flag), d));
    const uint8_t* top = &d.rgb[(4 * 48 + 24) * 3];
    const uint8_t* bottom = &d.rgb[(28 * 48 + 24) * 3];
    EXPECT_GT(top[0], 180);
    EXPECT_LT(top[2], 60);
    EXPECT_GT(bottom[2], 180);
    EXPECT_LT(bottom[0], 60);
}

// Packed planes and the bitmap read in place are the same picture to the encoder.
TEST(JpegEncoder, PackedPlanes_SameFileAsBitmap)
{
    DibImage img;
    makePicture(img, 37, 23, natural);
    std::vector<uint8_t> r(37 * 23), g(37 * 23), b(37 * 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) {
            const uint8_t* p = img.rowTopDown(y) + 3 * x;
            b[y * 37 + x] = p[0];
            g[y * 37 + x] = p[1];
            r[y * 37 + x] = p[2];
        }
    JpegEncoder encoder(JpegPlanes { r.data(), g.data(), b.data(), 1, 37 });
    encoder.SetParameters(37, 23);
    ASSERT_EQ(encoder.Encode(), 0);
    int64_t n = 0;
    const auto buffer = encoder.TakeBuffer(&n);
    EXPECT_EQ(Bytes(buffer.get(), buffer.get() + n), encode(img));
}

TEST(JpegEncoder, Failures_ReportedAndNoFileWritten)
{
    QTemporaryDir dir;
    DibImage grey;
    ASSERT_TRUE(grey.Create(16, 16, 8));
    EXPECT_FALSE(EncodeJpeg(grey, dir.filePath("a.jpg"))); // only 24-bit pictures
    DibImage empty;
    EXPECT_FALSE(EncodeJpeg(empty, dir.filePath("b.jpg")));
    DibImage img;
    makePicture(img, 20, 20, natural);
    EXPECT_FALSE(EncodeJpeg(img, dir.filePath("missing/c.jpg"))); // folder does not exist
    EXPECT_FALSE(QFile::exists(dir.filePath("a.jpg")));
    EXPECT_FALSE(QFile::exists(dir.filePath("b.jpg")));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // Sizes the file format cannot hold, and no planes, fail the encode itself.
    JpegEncoder wide(JpegPlanes { img.bits(), img.bits(), img.bits(), 0, 0 });
    wide.SetParameters(65536, 1);
    EXPECT_EQ(wide.Encode(), -1);
    JpegEncoder none(JpegPlanes {});
    none.SetParameters(16, 16);
    EXPECT_EQ(none.Encode(), -1);
    int64_t n = 7;
    EXPECT_FALSE(none.TakeBuffer(&n));
    EXPECT_EQ(n, 0);
}

// End to end: the quantised coefficients in our file, as libjpeg reads them back without decoding, equal
// the plain reference pipeline (extended-precision colour, top-left chroma of each 2 x 2 group, edges
// repeated, direct DCT, truncating division) block for block.
TEST(JpegEncoder, FileCoefficients_EqualReferencePipeline)
{
    std::mt19937 rng(77);
    // Grey blocks of one cosine pattern each (block b: frequency b mod 64, two strengths and both signs):
    // each zig-zag position alone after the DC, so every zero run from 0 to 62 is coded, run 15 and the
    // sixteen-zero code among them.
    const auto cosines = [](int x, int y, uint8_t rgb[3]) {
        const int b = x / 8 + y / 8 * 16, u = b % 64 / 8, v = b % 8;
        const double a = (b / 64 % 2 ? -1 : 1) * (b < 128 ? 60 : 80);
        const double f = a * std::cos((2 * (y % 8) + 1) * u * M_PI / 16) * std::cos((2 * (x % 8) + 1) * v * M_PI / 16);
        rgb[0] = rgb[1] = rgb[2] = uint8_t(std::clamp(int(std::lround(128 + f)), 0, 255));
    };
    std::set<int> runs; // zero runs in front of a non-zero coefficient, over all blocks
    enum Kind { Natural, Noisy, Cosines };
    for (const auto& [w, h, kind] : { std::tuple { 45, 37, Natural }, { 64, 48, Noisy }, { 17, 33, Noisy },
             { 130, 18, Natural }, { 128, 128, Cosines } }) {
        DibImage img;
        makePicture(img, w, h, [&](int x, int y, uint8_t rgb[3]) {
            if (kind == Cosines)
                return cosines(x, y, rgb);
            natural(x, y, rgb);
            if (kind == Noisy)
                for (int c = 0; c < 3; ++c)
                    rgb[c] = uint8_t(std::clamp(int(rgb[c]) + int(rng() % 61) - 30, 0, 255));
        });
        const Bytes file = encode(img);

        jpeg_decompress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, file.data(), file.size());
        ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
        jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);

        const auto pixel = [&](int x, int y) {
            const uint8_t* p = img.rowTopDown(std::min(y, h - 1)) + 3 * std::min(x, w - 1);
            return std::array<int, 3> { p[2], p[1], p[0] };
        };
        int mismatches = 0;
        for (int mcuY = 0; mcuY < (h + 15) / 16; ++mcuY)
            for (int mcuX = 0; mcuX < (w + 15) / 16; ++mcuX)
                for (int block = 0; block < 6; ++block) {
                    int16_t samples[64];
                    for (int j = 0; j < 8; ++j)
                        for (int i = 0; i < 8; ++i) {
                            if (block < 4) {
                                const auto p = pixel(mcuX * 16 + (block % 2) * 8 + i, mcuY * 16 + (block / 2) * 8 + j);
                                samples[j * 8 + i] = int16_t(jpegtest::referenceY(p[0], p[1], p[2]));
                            } else {
                                const auto p = pixel(mcuX * 16 + 2 * i, mcuY * 16 + 2 * j);
                                samples[j * 8 + i] = int16_t(block == 4 ? jpegtest::referenceCb(p[0], p[1], p[2])
                                                                        : jpegtest::referenceCr(p[0], p[1], p[2]));
                            }
                        }
                    int16_t want[2][64];
                    jpegtest::reference().quantize(samples, want);
                    const int component = block < 4 ? 0 : block - 3;
                    const int row = block < 4 ? mcuY * 2 + block / 2 : mcuY;
                    const int col = block < 4 ? mcuX * 2 + block % 2 : mcuX;
                    JBLOCKARRAY rows = (*info.mem->access_virt_barray)(
                        reinterpret_cast<j_common_ptr>(&info), arrays[component], JDIMENSION(row), 1, FALSE);
                    const int16_t* expected = want[component == 0 ? 0 : 1];
                    for (int k = 1, run = 0; k < 64; ++k) {
                        const int position = jpeg::kZigZag[k];
                        if (expected[(position % 8) * 8 + position / 8] == 0)
                            ++run;
                        else
                            runs.insert(std::exchange(run, 0));
                    }
                    for (int k = 0; k < 64; ++k)
                        if (rows[0][col][k] != expected[(k % 8) * 8 + k / 8] && ++mismatches == 1)
                            ADD_FAILURE() << w << " x " << h << ", MCU " << mcuX << ", " << mcuY << ", block " << block
                                          << ", coefficient " << k << ": " << rows[0][col][k] << " instead of "
                                          << expected[(k % 8) * 8 + k / 8];
                }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        EXPECT_EQ(mismatches, 0) << w << " x " << h;
    }
    EXPECT_EQ(runs.size(), 63u); // every run length from 0 to 62
}

// Every vector level writes the scalar encoder's bytes, and those are the bytes the viewer has always
// written (the digests were taken from the encoder before its vector forms): photograph-like, random and
// hard-edged pictures, in colour and grey (red = green = blue), at odd sizes and three qualities.
namespace {

enum class Kind { Natural, Noise, Edges };
struct LevelCase {
    const char* name;
    int width, height;
    Kind kind;
    bool grey;
    int quality;
    const char* sha256;
};

void PrintTo(const LevelCase& c, std::ostream* out)
{
    *out << c.name;
}

class JpegLevels : public ::testing::TestWithParam<LevelCase> {
protected:
    void TearDown() override { kernel::setSimdCap(kernel::SimdLevel::Best); }
};

TEST_P(JpegLevels, EveryLevelWritesTheScalarBytes)
{
    const LevelCase& c = GetParam();
    std::mt19937 rng(uint32_t(c.width * 7 + c.height));
    DibImage img;
    makePicture(img, c.width, c.height, [&](int x, int y, uint8_t rgb[3]) {
        if (c.kind == Kind::Natural)
            natural(x, y, rgb);
        else if (c.kind == Kind::Noise)
            for (int k = 0; k < 3; ++k)
                rgb[k] = uint8_t(rng());
        else // stripes, a checkerboard and saturated colours: the largest coefficients
            for (int k = 0; k < 3; ++k)
                rgb[k] = ((x / (3 + k) + y / 5) % 2 || (x * y) % 29 == k) ? 255 : (k == 1 ? 0 : 30 * k);
        if (c.grey)
            rgb[0] = rgb[2] = rgb[1];
    });
    kernel::setSimdCap(kernel::SimdLevel::None);
    const Bytes scalar = encode(img, c.quality);
    ASSERT_FALSE(scalar.empty());
    const QByteArray digest
        = QCryptographicHash::hash(QByteArrayView(scalar.data(), qsizetype(scalar.size())), QCryptographicHash::Sha256)
              .toHex();
    EXPECT_EQ(digest.toStdString(), c.sha256);
    for (kernel::SimdLevel level :
        { kernel::SimdLevel::Ssse3, kernel::SimdLevel::Sse41, kernel::SimdLevel::Avx2, kernel::SimdLevel::Best }) {
        kernel::setSimdCap(level);
        EXPECT_TRUE(encode(img, c.quality) == scalar) << "level " << int(level);
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, JpegLevels,
    ::testing::Values(LevelCase { "natural", 333, 217, Kind::Natural, false, 50,
                          "ba465e7e0d14a19a3455ce69b4595ad1ca73193c9034b10335970f19f486e1e6" },
        LevelCase { "naturalGrey", 161, 99, Kind::Natural, true, 50,
            "80de9c421dc8de73640d14c3f348ef26a41ad139ead8230958c1788fdb1bf2de" },
        LevelCase { "noise", 203, 151, Kind::Noise, false, 50,
            "d9e32816e9a11e2630e85203da40bbc3aa4ad0f54914ddef14212ef0660921a8" },
        LevelCase { "noiseGrey", 77, 45, Kind::Noise, true, 50,
            "4a21492b1e94e523bcd5c1ac913735c6f75c9c0a2006a9f1609bc7b69ce7a6dd" },
        LevelCase { "edges", 250, 129, Kind::Edges, false, 50,
            "71c480a3c60521b32fcf3a09629cc3433d11557c0716ea7c838455144a369792" },
        LevelCase { "edgesGrey", 31, 17, Kind::Edges, true, 50,
            "97edb2d088a71ced73562e047ff006a6502c5133e66f13907cd28e0ad5eac5b4" },
        LevelCase { "naturalFine", 129, 67, Kind::Natural, false, 90,
            "9131ab12128498fa67e379ce8ff581e40d2250ce651f5907362359fd2fd4d34e" },
        LevelCase { "noiseCoarse", 95, 31, Kind::Noise, false, 10,
            "fb5499d51b3715ef33b0621d9577851e2a605dfd9a6df37510a8970a9c04e538" },
        LevelCase { "wideFrame", 1023, 767, Kind::Natural, false, 50,
            "730086f1f952a5725d7b44982b532eaa473bd8115053108d37c169229608d53a" }),
    [](const ::testing::TestParamInfo<LevelCase>& info) { return std::string(info.param.name); });

} // namespace
