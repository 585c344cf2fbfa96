#include "files/JpegColor.h"

#include <array>

namespace jpeg {
namespace {

constexpr double kScale = 72057594037927936.0;  // 2^56: every product below is an integer at this scale

// A double constant at scale 2^56: exact, because each constant is a multiple of 2^-56.
constexpr int64_t scaled(double c) { return int64_t(c * kScale); }
static_assert(double(scaled(0.114)) / kScale == 0.114 && double(scaled(0.0813)) / kScale == 0.0813);

using Table = std::array<int64_t, 256>;

constexpr Table makeTable(double c, int64_t offset)
{
    Table t{};
    for (int i = 0; i < 256; ++i)
        t[i] = int64_t(uint64_t(offset) + uint64_t(scaled(c)) * uint64_t(i));  // modular: a product may pass 2^63
    return t;
}

// Y carries the -128 in its green table, so the running sum stays within int64 in the order G, R, B.
constexpr int64_t kMinus128 = INT64_MIN;  // -128 * 2^56
constexpr Table kYg = makeTable(0.587, kMinus128);
constexpr Table kYr = makeTable(0.299, 0);
constexpr Table kYb = makeTable(0.114, 0);
constexpr Table kHalf = makeTable(0.5, 0);
constexpr Table kCbR = makeTable(-0.1687, 0);
constexpr Table kCbG = makeTable(-0.3313, 0);
constexpr Table kCrG = makeTable(-0.4187, 0);
constexpr Table kCrB = makeTable(-0.0813, 0);

// Truncation toward zero of a value scaled by 2^56.
inline int truncScaled(int64_t v) { return int(v / (int64_t(1) << 56)); }

}  // namespace

int ColorY(uint8_t r, uint8_t g, uint8_t b) { return truncScaled(kYg[g] + kYr[r] + kYb[b]); }
int ColorCb(uint8_t r, uint8_t g, uint8_t b) { return truncScaled(kHalf[b] + (kCbR[r] + kCbG[g])); }
int ColorCr(uint8_t r, uint8_t g, uint8_t b) { return truncScaled(kHalf[r] + kCrG[g] + kCrB[b]); }

void ConvertRowY(const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, int count, int16_t* out)
{
    for (int i = 0; i < count; ++i, r += step, g += step, b += step)
        out[i] = int16_t(truncScaled(kYg[*g] + kYr[*r] + kYb[*b]));
}

void ConvertRowChroma(const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, int count, int16_t* cb,
                      int16_t* cr)
{
    for (int i = 0; i < count; ++i, r += step, g += step, b += step) {
        cb[i] = int16_t(truncScaled(kHalf[*b] + (kCbR[*r] + kCbG[*g])));
        cr[i] = int16_t(truncScaled(kHalf[*r] + kCrG[*g] + kCrB[*b]));
    }
}

}  // namespace jpeg
