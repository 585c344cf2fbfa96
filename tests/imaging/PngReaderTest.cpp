// The PNG reader: the transforms to 8-bit RGB(A), refusal of damaged data, decodes on two threads at once,
// and the resource lookup by id and language.
#include <png.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "imaging/DibImage.h"
#include "imaging/PngReader.h"
#include "platform/Language.h"

namespace {

struct PngLayout {
    int width = 4;
    int height = 3;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> trns;  // palette alpha
    double gamma = 0.0;          // 0: no gAMA chunk
};

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// Writes a PNG with libpng from raw rows in the file's own sample layout.
std::vector<uint8_t> writePng(const PngLayout& layout, const std::vector<std::vector<uint8_t>>& rows)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(layout.width), png_uint_32(layout.height), layout.bitDepth, layout.colorType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
    if (!layout.trns.empty())
        png_set_tRNS(png, info, layout.trns.data(), int(layout.trns.size()), nullptr);
    if (layout.gamma > 0)
        png_set_gAMA(png, info, layout.gamma);
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const auto& r : rows)
        pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<std::vector<uint8_t>> randomRows(int height, size_t rowBytes, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(height), std::vector<uint8_t>(rowBytes));
    for (auto& r : rows)
        for (auto& b : r)
            b = uint8_t(rng());
    return rows;
}

const uint8_t* pixelAt(const PngImage& img, int x, int y)
{
    return img.pixels.data() + (size_t(y) * size_t(img.width) + size_t(x)) * size_t(img.channels);
}

}  // namespace

TEST(PngReader, Rgb_DecodesRowsTopFirst)
{
    PngLayout layout;
    const auto rows = randomRows(layout.height, size_t(layout.width) * 3, 1);
    const auto file = writePng(layout, rows);
    PngImage img;
    ASSERT_TRUE(ReadPng(file.data(), file.size(), img));
    EXPECT_EQ(img.width, 4);
    EXPECT_EQ(img.height, 3);
    EXPECT_EQ(img.channels, 3);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(pixelAt(img, 0, y), rows[size_t(y)].data(), 12), 0);
}

TEST(PngReader, TransformsToEightBitRgbOrRgba)
{
    // Palette with transparency: expanded to RGBA.
    PngLayout pal;
    pal.colorType = PNG_COLOR_TYPE_PALETTE;
    pal.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    pal.trns = {255, 128, 0};
    auto file = writePng(pal, {{0, 1, 2, 1}, {2, 2, 2, 2}, {0, 0, 0, 0}});
    PngImage img;
    ASSERT_TRUE(ReadPng(file.data(), file.size(), img));
    ASSERT_EQ(img.channels, 4);
    const uint8_t green[4] = {0, 255, 0, 128};
    EXPECT_EQ(std::memcmp(pixelAt(img, 1, 0), green, 4), 0);
    EXPECT_EQ(pixelAt(img, 2, 1)[3], 0);

    // 16-bit samples are stripped to their high byte.
    PngLayout deep;
    deep.bitDepth = 16;
    auto rows16 = randomRows(deep.height, size_t(deep.width) * 6, 2);
    file = writePng(deep, rows16);
    ASSERT_TRUE(ReadPng(file.data(), file.size(), img));
    ASSERT_EQ(img.channels, 3);
    EXPECT_EQ(pixelAt(img, 2, 1)[1], rows16[1][2 * 3 * 2 + 2]);  // green of (2, 1): bytes 14..15, high first

    // Grey becomes RGB with three equal samples; grey with alpha becomes RGBA.
    PngLayout grey;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    file = writePng(grey, {{0, 50, 100, 255}, {1, 2, 3, 4}, {9, 9, 9, 9}});
    ASSERT_TRUE(ReadPng(file.data(), file.size(), img));
    ASSERT_EQ(img.channels, 3);
    const uint8_t fifty[3] = {50, 50, 50};
    EXPECT_EQ(std::memcmp(pixelAt(img, 1, 0), fifty, 3), 0);

    PngLayout greyAlpha;
    greyAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    file = writePng(greyAlpha, {{7, 200, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}});
    ASSERT_TRUE(ReadPng(file.data(), file.size(), img));
    ASSERT_EQ(img.channels, 4);
    const uint8_t seven[4] = {7, 7, 7, 200};
    EXPECT_EQ(std::memcmp(pixelAt(img, 0, 0), seven, 4), 0);

    // 2-bit grey expands to the full 8-bit range.
    PngLayout low;
    low.colorType = PNG_COLOR_TYPE_GRAY;
    low.bitDepth = 2;
    file = writePng(low, {{0x1B}, {0}, {0xFF}});  // 0, 1, 2, 3
    ASSERT_TRUE(ReadPng(file.data(), file.size(), img));
    EXPECT_EQ(pixelAt(img, 1, 0)[0], 85);
    EXPECT_EQ(pixelAt(img, 3, 0)[0], 255);
}

TEST(PngReader, InterlacedEqualsPlainAndGammaIsApplied)
{
    PngLayout plain;
    plain.width = 13;
    plain.height = 11;
    const auto rows = randomRows(plain.height, size_t(plain.width) * 3, 5);
    PngLayout interlaced = plain;
    interlaced.interlaced = true;
    const auto a = writePng(plain, rows), b = writePng(interlaced, rows);
    PngImage pa, pb;
    ASSERT_TRUE(ReadPng(a.data(), a.size(), pa));
    ASSERT_TRUE(ReadPng(b.data(), b.size(), pb));
    EXPECT_EQ(pa.pixels, pb.pixels);

    // A file gamma of 1.0 is brightened for a 2.2 display; a mid grey must rise.
    PngLayout linear = plain;
    linear.gamma = 1.0;
    std::vector<std::vector<uint8_t>> mid(static_cast<size_t>(plain.height), std::vector<uint8_t>(size_t(plain.width) * 3, 64));
    const auto g = writePng(linear, mid);
    PngImage pg;
    ASSERT_TRUE(ReadPng(g.data(), g.size(), pg));
    EXPECT_GT(pg.pixels[0], 120);
    EXPECT_LT(pg.pixels[0], 150);
}

TEST(PngReader, RefusesDamagedData)
{
    PngLayout layout;
    const auto file = writePng(layout, randomRows(layout.height, size_t(layout.width) * 3, 9));
    PngImage img;
    EXPECT_FALSE(ReadPng(nullptr, 0, img));
    EXPECT_FALSE(ReadPng(file.data(), 7, img));

    std::vector<uint8_t> badSignature(file);
    badSignature[1] = 'X';
    EXPECT_FALSE(ReadPng(badSignature.data(), badSignature.size(), img));

    // A flipped bit in the header chunk's CRC (the header is critical, so libpng stops).
    std::vector<uint8_t> badCrc(file);
    badCrc[8 + 8 + 13] ^= 1;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ReadPng(badCrc.data(), badCrc.size(), img));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("libpng error: "), std::string::npos);
    EXPECT_TRUE(img.pixels.empty());

    // Every truncation fails without reading past the end.
    testing::internal::CaptureStderr();
    for (size_t cut = 8; cut + 12 < file.size(); ++cut)
        EXPECT_FALSE(ReadPng(file.data(), cut, img)) << cut;
    testing::internal::GetCapturedStderr();

    // A header that claims an enormous picture is refused before anything is allocated for it.
    std::vector<uint8_t> huge(file);
    const uint8_t side[4] = {0x00, 0x10, 0x00, 0x00};  // 1,048,576 pixels wide
    std::memcpy(&huge[16], side, 4);
    const uint32_t crc = uint32_t(crc32(crc32(0, nullptr, 0), &huge[12], 17));
    const uint8_t crcBytes[4] = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
    std::memcpy(&huge[29], crcBytes, 4);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ReadPng(huge.data(), huge.size(), img));
    testing::internal::GetCapturedStderr();
}

TEST(PngReader, TwoThreadsDecodeAtOnce)
{
    std::vector<std::vector<uint8_t>> files;
    std::vector<std::vector<std::vector<uint8_t>>> sources;
    for (int i = 0; i < 2; ++i) {
        PngLayout layout;
        layout.width = 64 + i;
        layout.height = 48;
        sources.push_back(randomRows(layout.height, size_t(layout.width) * 3, uint32_t(20 + i)));
        files.push_back(writePng(layout, sources.back()));
    }
    std::vector<uint8_t> broken(files[0].begin(), files[0].begin() + 100);
    std::atomic<int> failures{0};
    const auto work = [&](int which) {
        for (int round = 0; round < 200; ++round) {
            PngImage img;
            if (round % 10 == 5) {  // a failing decode on one thread must not disturb the other
                if (ReadPng(broken.data(), broken.size(), img))
                    ++failures;
                continue;
            }
            const auto& f = files[size_t(which)];
            if (!ReadPng(f.data(), f.size(), img) || img.width != 64 + which)
                ++failures;
            else if (std::memcmp(pixelAt(img, 0, 47), sources[size_t(which)][47].data(), size_t(img.width) * 3) != 0)
                ++failures;
        }
    };
    testing::internal::CaptureStderr();
    std::thread a(work, 0), b(work, 1);
    a.join();
    b.join();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(failures.load(), 0);
}

TEST(PngReader, LoadPngResource_ByLanguageWithEnglishFallback)
{
    // The test program carries ":/Png/1033/157.png" (red over blue), ":/Png/1041/157.png" (green) and
    // ":/Png/1033/158.png" only.
    const int saved = g_bJapanese;
    DibImage img;
    g_bJapanese = 0;
    ASSERT_TRUE(img.LoadPngResource(157));
    ASSERT_EQ(img.width(), 2);
    ASSERT_EQ(img.height(), 2);
    ASSERT_EQ(img.bitsPerPixel(), 24);
    const uint8_t red[3] = {0, 0, 255}, blue[3] = {255, 0, 0}, green[3] = {0, 255, 0};
    EXPECT_EQ(std::memcmp(img.rowTopDown(0), red, 3), 0);  // blue-green-red order, top row on top
    EXPECT_EQ(std::memcmp(img.rowTopDown(1), blue, 3), 0);

    g_bJapanese = 1;
    ASSERT_TRUE(img.LoadPngResource(157));
    EXPECT_EQ(std::memcmp(img.rowTopDown(0), green, 3), 0);
    ASSERT_TRUE(img.LoadPngResource(158));  // no Japanese picture: the English one
    EXPECT_EQ(img.width(), 3);
    EXPECT_EQ(img.LoadPngResource(999), 0);
    g_bJapanese = saved;
}
