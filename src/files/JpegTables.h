// The fixed tables of our baseline JPEG files: the example quantisation and Huffman tables of the JPEG
// standard (ITU-T T.81, Annex K) and the zig-zag order.
#pragma once

#include <cstdint>

namespace jpeg {

// Quantisation tables in natural (row-major) order, the base of every quality (used as they are at
// quality 50). Table K.1: luminance.
// clang-format off
inline constexpr uint8_t kLumaQuant[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,
    12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,
    14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,
    24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101,
    72, 92, 95, 98, 112, 100, 103, 99,
};
// clang-format on

// Table K.2: chrominance.
// clang-format off
inline constexpr uint8_t kChromaQuant[64] = {
    17, 18, 24, 47, 99, 99, 99, 99,
    18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99,
    47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99,
};
// clang-format on

// The quality of our files, 1 (smallest) to 100 (finest); 50 writes the base tables.
constexpr int kDefaultQuality = 50;

// The two tables of a quality, in natural order.
struct QuantTables {
    uint8_t luma[64];
    uint8_t chroma[64];
};
// The base tables scaled as the IJG library scales them: by 5000 / quality below 50, else by
// 200 - 2 x quality percent, each entry rounded and kept within 1..255. A quality outside 1..100 is taken
// as the nearest end.
QuantTables ScaledQuantTables(int quality);

// kZigZag[k] is the natural index of the k-th coefficient in zig-zag order.
// clang-format off
inline constexpr uint8_t kZigZag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};
// clang-format on

// A Huffman table as stored in a DHT segment: codes per length 1..16, then the symbols.
struct HuffmanTable {
    uint8_t counts[16];
    const uint8_t* symbols;
    int symbolCount;
};
extern const HuffmanTable kDcLuma;
extern const HuffmanTable kDcChroma;
extern const HuffmanTable kAcLuma;
extern const HuffmanTable kAcChroma;

// Code and length per coder index. DC: indexed by size category (12 entries). AC: indexed by
// run * 10 + size, plus 1 for run 15 (162 entries); 0 is end-of-block, 151 the run of sixteen zeros.
constexpr int kDcEntries = 12;
constexpr int kAcEntries = 162;
constexpr int kAcEndOfBlock = 0;
constexpr int kAcSixteenZeros = 151;

struct HuffmanCodes {
    uint16_t code[kAcEntries];
    uint8_t length[kAcEntries];
};

// The coder index of an AC symbol (run << 4 | size), or -1 when the symbol has none.
int AcIndexOf(uint8_t symbol);

// The code tables of the four standard tables, built once.
const HuffmanCodes& DcLumaCodes();
const HuffmanCodes& DcChromaCodes();
const HuffmanCodes& AcLumaCodes();
const HuffmanCodes& AcChromaCodes();

} // namespace jpeg
