// The on-disk and in-memory records of device-independent bitmaps, laid out byte for byte as in
// BMP files (little-endian, no padding).
#pragma once

#include <cstdint>

// A colour as 0x00BBGGRR: red in the lowest byte.
using ColorRef = uint32_t;

constexpr ColorRef Rgb(uint8_t r, uint8_t g, uint8_t b) { return ColorRef(r) | (ColorRef(g) << 8) | (ColorRef(b) << 16); }
constexpr uint8_t RedOf(ColorRef c) { return uint8_t(c); }
constexpr uint8_t GreenOf(ColorRef c) { return uint8_t(c >> 8); }
constexpr uint8_t BlueOf(ColorRef c) { return uint8_t(c >> 16); }

#pragma pack(push, 1)
// One colour-table entry: blue, green, red, reserved.
struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
};

// BITMAPFILEHEADER: 14 bytes in front of a BMP file's info header.
struct BitmapFileHeader {
    uint16_t type = 0;  // "BM"
    uint32_t size = 0;
    uint16_t reserved1 = 0;
    uint16_t reserved2 = 0;
    uint32_t offBits = 0;  // where the pixel array starts
};

// BITMAPINFOHEADER: the 40-byte header used in files and packed bitmaps.
struct BitmapInfoHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;  // positive: rows bottom-up
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // 0 = BI_RGB
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};

// BITMAPV4HEADER: 108 bytes; its first 40 bytes are a BitmapInfoHeader.
struct BitmapV4Header {
    BitmapInfoHeader info{108};
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
    uint32_t alphaMask = 0;
    uint32_t csType = 0;
    int32_t endpoints[9] = {};  // CIEXYZTRIPLE
    uint32_t gammaRed = 0;
    uint32_t gammaGreen = 0;
    uint32_t gammaBlue = 0;
};
#pragma pack(pop)

static_assert(sizeof(RgbQuad) == 4);
static_assert(sizeof(BitmapFileHeader) == 14);
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(sizeof(BitmapV4Header) == 108);

constexpr uint32_t kBiRgb = 0;        // uncompressed
constexpr uint32_t kBiBitfields = 3;  // uncompressed with colour masks
