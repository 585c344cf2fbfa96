#include "files/JpegColor.h"

#include <algorithm>
#include <array>

#include "imaging/KernelSupport.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NX_JPEG_X86 1
#endif

namespace jpeg {
namespace {

constexpr double kScale = 72057594037927936.0; // 2^56: every product below is an integer at this scale

// A double constant at scale 2^56: exact, because each constant is a multiple of 2^-56.
constexpr int64_t scaled(double c)
{
    return int64_t(c * kScale);
}
static_assert(double(scaled(0.114)) / kScale == 0.114 && double(scaled(0.0813)) / kScale == 0.0813);
// What the vector forms take for grey pixels: Y's constants sum to just under 1, Cb's and Cr's to just off 0
// (above for Cb, below for Cr, so that a grey's Cb and Cr truncate to 0).
static_assert(scaled(0.587) + scaled(0.299) + scaled(0.114) == (int64_t(1) << 56) - 3);
static_assert(
    scaled(0.5) + scaled(-0.1687) + scaled(-0.3313) == 2 && scaled(0.5) + scaled(-0.4187) + scaled(-0.0813) == -1);

using Table = std::array<int64_t, 256>;

constexpr Table makeTable(double c, int64_t offset)
{
    Table t {};
    for (int i = 0; i < 256; ++i)
        t[i] = int64_t(uint64_t(offset) + uint64_t(scaled(c)) * uint64_t(i)); // modular: a product may pass 2^63
    return t;
}

// Y carries the -128 in its green table, so the running sum stays within int64 in the order G, R, B.
constexpr int64_t kMinus128 = INT64_MIN; // -128 * 2^56
constexpr Table kYg = makeTable(0.587, kMinus128);
constexpr Table kYr = makeTable(0.299, 0);
constexpr Table kYb = makeTable(0.114, 0);
constexpr Table kHalf = makeTable(0.5, 0);
constexpr Table kCbR = makeTable(-0.1687, 0);
constexpr Table kCbG = makeTable(-0.3313, 0);
constexpr Table kCrG = makeTable(-0.4187, 0);
constexpr Table kCrB = makeTable(-0.0813, 0);

// Truncation toward zero of a value scaled by 2^56.
inline int truncScaled(int64_t v)
{
    return int(v / (int64_t(1) << 56));
}

} // namespace

int ColorY(uint8_t r, uint8_t g, uint8_t b)
{
    return truncScaled(kYg[g] + kYr[r] + kYb[b]);
}
int ColorCb(uint8_t r, uint8_t g, uint8_t b)
{
    return truncScaled(kHalf[b] + (kCbR[r] + kCbG[g]));
}
int ColorCr(uint8_t r, uint8_t g, uint8_t b)
{
    return truncScaled(kHalf[r] + kCrG[g] + kCrB[b]);
}

#ifdef NX_JPEG_X86
namespace {

// The vector path works on 32-bit estimates of the exact sums at scale 2^32: each constant's top bits
// (K >> 32) times the sample, a sum that can only lie below the exact one by less than one unit per
// sample. With the exact value V known to lie in [low, low + width], its integer part at scale 2^24 is
// settled unless a multiple of 2^24 falls inside that range; then the pixel is redone exactly.
constexpr uint32_t top32(double c)
{
    return uint32_t(uint64_t(scaled(c)) >> 32);
}

// Byte shuffles that pick channel `offset` of 16 interleaved 3-byte pixels out of 48 bytes: one mask per
// 16-byte load (-128 for "take nothing").
struct ChannelMasks {
    alignas(16) int8_t part[3][16];
    constexpr ChannelMasks(int offset, int pixelBytes)
        : part {}
    {
        for (int load = 0; load < 3; ++load)
            for (int i = 0; i < 16; ++i) {
                const int at = offset + pixelBytes * i - 16 * load;
                part[load][i] = int8_t(at >= 0 && at < 16 ? at : -128);
            }
    }
};

__attribute__((target("avx2"))) inline __m128i gather(const __m128i* loads, const ChannelMasks& m)
{
    const auto mask = [&](int i) { return _mm_load_si128(reinterpret_cast<const __m128i*>(m.part[i])); };
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(loads[0], mask(0)), _mm_shuffle_epi8(loads[1], mask(1))),
        _mm_shuffle_epi8(loads[2], mask(2)));
}

// trunc(V / 2^24 - 128) for V in [low, low + width]; the lanes it cannot settle are set in `unsettled`.
__attribute__((target("avx2"))) inline __m256i settle(__m256i low, int width, int& unsettled)
{
    const __m256i whole = _mm256_srli_epi32(low, 24);
    // Open when the fraction is 0 or within width below the next step: fraction - 1, unsigned, at least
    // 2^24 - width - 1.
    const __m256i fractionLess1
        = _mm256_sub_epi32(_mm256_and_si256(low, _mm256_set1_epi32(0xFFFFFF)), _mm256_set1_epi32(1));
    const __m256i open
        = _mm256_cmpeq_epi32(_mm256_max_epu32(fractionLess1, _mm256_set1_epi32((1 << 24) - width - 1)), fractionLess1);
    unsettled = _mm256_movemask_ps(_mm256_castsi256_ps(open));
    // Strictly between whole and whole + 1: below 128 the negative value truncates up to whole - 127.
    const __m256i below = _mm256_cmpgt_epi32(_mm256_set1_epi32(128), whole);
    return _mm256_sub_epi32(_mm256_sub_epi32(whole, _mm256_set1_epi32(128)), below);
}

// Lanes whose red, green and blue are equal.
__attribute__((target("avx2"))) inline __m256i greyLanes(__m256i b, __m256i g, __m256i r)
{
    return _mm256_and_si256(_mm256_cmpeq_epi32(b, g), _mm256_cmpeq_epi32(g, r));
}

__attribute__((target("avx2"))) inline void store16(int16_t* out, __m256i a, __m256i b)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8));
}

// Cb and Cr of 8 pixels (32-bit lanes); the lanes the estimate cannot settle are set in `open`.
__attribute__((target("avx2"))) inline void chroma8(
    __m256i b, __m256i g, __m256i r, int16_t* cb, int16_t* cr, int& open)
{
    const __m256i half = _mm256_set1_epi32(1 << 23);
    const __m256i offset = _mm256_set1_epi32(int32_t(128u << 24)); // +128 keeps the sums positive
    // Subtracted terms use the rounded-up constants, so the estimate stays at or above the exact value.
    const __m256i cbR = _mm256_set1_epi32(int32_t(top32(0.1687) + 1));
    const __m256i cbG = _mm256_set1_epi32(int32_t(top32(0.3313) + 1));
    const __m256i crG = _mm256_set1_epi32(int32_t(top32(0.4187) + 1));
    const __m256i crB = _mm256_set1_epi32(int32_t(top32(0.0813) + 1));
    const __m256i lowCb = _mm256_sub_epi32(_mm256_add_epi32(offset, _mm256_mullo_epi32(b, half)),
        _mm256_add_epi32(_mm256_mullo_epi32(r, cbR), _mm256_mullo_epi32(g, cbG)));
    const __m256i lowCr = _mm256_sub_epi32(_mm256_add_epi32(offset, _mm256_mullo_epi32(r, half)),
        _mm256_add_epi32(_mm256_mullo_epi32(g, crG), _mm256_mullo_epi32(b, crB)));
    int openCb = 0, openCr = 0;
    __m256i vcb = settle(lowCb, 2 * 255, openCb);
    __m256i vcr = settle(lowCr, 2 * 255, openCr);
    open = openCb | openCr;
    if (open) {
        // Grey's Cb and Cr are 0, exactly on a step where the estimate cannot tell.
        const __m256i grey = greyLanes(b, g, r);
        vcb = _mm256_andnot_si256(grey, vcb);
        vcr = _mm256_andnot_si256(grey, vcr);
        open &= ~_mm256_movemask_ps(_mm256_castsi256_ps(grey));
    }
    const __m128i packed = _mm_packs_epi32(_mm256_castsi256_si128(vcb), _mm256_extracti128_si256(vcb, 1));
    const __m128i packedCr = _mm_packs_epi32(_mm256_castsi256_si128(vcr), _mm256_extracti128_si256(vcr, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cb), packed);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cr), packedCr);
}

// Y of blue-green-red pixels, 16 at a time, and when cb is given Cb and Cr of the even ones among them
// from the same loads; returns how many pixels were done.
__attribute__((target("avx2"))) int rowYAvx2(const uint8_t* bgr, int count, int16_t* out, int16_t* cb, int16_t* cr)
{
    const __m128i evenBytes = _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, -1, -1, -1, -1, -1, -1, -1, -1);
    static constexpr ChannelMasks blue(0, 3), green(1, 3), red(2, 3);
    const __m256i kg = _mm256_set1_epi32(int32_t(top32(0.587)));
    const __m256i kr = _mm256_set1_epi32(int32_t(top32(0.299)));
    const __m256i kb = _mm256_set1_epi32(int32_t(top32(0.114)));
    int i = 0;
    for (; i + 16 <= count; i += 16, bgr += 48) {
        const __m128i loads[3] = { _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 16)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 32)) };
        const __m128i b = gather(loads, blue), g = gather(loads, green), r = gather(loads, red);
        __m256i y[2];
        int unsettled[2];
        for (int h = 0; h < 2; ++h) {
            const __m256i b32 = _mm256_cvtepu8_epi32(h ? _mm_srli_si128(b, 8) : b);
            const __m256i g32 = _mm256_cvtepu8_epi32(h ? _mm_srli_si128(g, 8) : g);
            const __m256i r32 = _mm256_cvtepu8_epi32(h ? _mm_srli_si128(r, 8) : r);
            const __m256i low
                = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(g32, kg), _mm256_mullo_epi32(r32, kr)),
                    _mm256_mullo_epi32(b32, kb));
            y[h] = settle(low, 3 * 255, unsettled[h]);
            if (!unsettled[h])
                continue;
            // Grey sits exactly on a step (the three constants sum to 1 - 3 / 2^56), where the estimate
            // never settles: its Y is known, grey - 128 less 1 above 128.
            const __m256i grey = greyLanes(b32, g32, r32);
            const __m256i greyY = _mm256_add_epi32(
                _mm256_sub_epi32(g32, _mm256_set1_epi32(128)), _mm256_cmpgt_epi32(g32, _mm256_set1_epi32(128)));
            y[h] = _mm256_blendv_epi8(y[h], greyY, grey);
            unsettled[h] &= ~_mm256_movemask_ps(_mm256_castsi256_ps(grey));
        }
        store16(out + i, y[0], y[1]);
        for (int open = unsettled[0] | unsettled[1] << 8; open; open &= open - 1) {
            const int k = __builtin_ctz(unsigned(open));
            const uint8_t* p = bgr + 3 * k;
            out[i + k] = int16_t(ColorY(p[2], p[1], p[0]));
        }
        if (!cb)
            continue;
        int open = 0;
        chroma8(_mm256_cvtepu8_epi32(_mm_shuffle_epi8(b, evenBytes)),
            _mm256_cvtepu8_epi32(_mm_shuffle_epi8(g, evenBytes)), _mm256_cvtepu8_epi32(_mm_shuffle_epi8(r, evenBytes)),
            cb + i / 2, cr + i / 2, open);
        for (; open; open &= open - 1) {
            const int k = __builtin_ctz(unsigned(open));
            const uint8_t* p = bgr + 6 * k;
            cb[i / 2 + k] = int16_t(ColorCb(p[2], p[1], p[0]));
            cr[i / 2 + k] = int16_t(ColorCr(p[2], p[1], p[0]));
        }
    }
    return i;
}

// Cb and Cr of every other blue-green-red pixel, 8 at a time; returns how many were done.
__attribute__((target("avx2"))) int rowChromaAvx2(const uint8_t* bgr, int count, int16_t* cb, int16_t* cr)
{
    static constexpr ChannelMasks blue(0, 6), green(1, 6), red(2, 6);
    int i = 0;
    for (; i + 8 < count; i += 8, bgr += 48) { // a group's 48 bytes end before the next sample
        const __m128i loads[3] = { _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 16)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 32)) };
        int open = 0;
        chroma8(_mm256_cvtepu8_epi32(gather(loads, blue)), _mm256_cvtepu8_epi32(gather(loads, green)),
            _mm256_cvtepu8_epi32(gather(loads, red)), cb + i, cr + i, open);
        for (; open; open &= open - 1) {
            const int k = __builtin_ctz(unsigned(open));
            const uint8_t* p = bgr + 6 * k;
            cb[i + k] = int16_t(ColorCb(p[2], p[1], p[0]));
            cr[i + k] = int16_t(ColorCr(p[2], p[1], p[0]));
        }
    }
    return i;
}

// One channel's means of 8 groups of 2 x 2 pixels: neighbours added into 16 bits, then the two rows, then
// rounded.
__attribute__((target("avx2"))) inline __m256i means8(
    const ChannelMasks& channel, const __m128i* top, const __m128i* bottom)
{
    const __m128i ones = _mm_set1_epi8(1);
    const __m128i sum = _mm_add_epi16(
        _mm_maddubs_epi16(gather(top, channel), ones), _mm_maddubs_epi16(gather(bottom, channel), ones));
    return _mm256_cvtepu16_epi32(_mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(2)), 2));
}

// Cb and Cr of the means of 2 x 2 groups of blue-green-red pixels (this row and the one `next` bytes on),
// 8 groups at a time, the means rounded as (sum + 2) / 4; returns how many groups were done.
__attribute__((target("avx2"))) int rowMeanChromaAvx2(
    const uint8_t* bgr, ptrdiff_t next, int count, int16_t* cb, int16_t* cr)
{
    static constexpr ChannelMasks blue(0, 3), green(1, 3), red(2, 3);
    int i = 0;
    for (; i + 8 <= count; i += 8, bgr += 48) {
        const __m128i top[3] = { _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 16)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 32)) };
        const __m128i bottom[3] = { _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + next)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + next + 16)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + next + 32)) };
        const __m256i b = means8(blue, top, bottom), g = means8(green, top, bottom), r = means8(red, top, bottom);
        int open = 0;
        chroma8(b, g, r, cb + i, cr + i, open);
        for (; open; open &= open - 1) {
            const int k = __builtin_ctz(unsigned(open));
            alignas(32) int32_t mr[8], mg[8], mb[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(mr), r);
            _mm256_store_si256(reinterpret_cast<__m256i*>(mg), g);
            _mm256_store_si256(reinterpret_cast<__m256i*>(mb), b);
            cb[i + k] = int16_t(ColorCb(uint8_t(mr[k]), uint8_t(mg[k]), uint8_t(mb[k])));
            cr[i + k] = int16_t(ColorCr(uint8_t(mr[k]), uint8_t(mg[k]), uint8_t(mb[k])));
        }
    }
    return i;
}

bool hasAvx2()
{
    return kernel::useSimd(kernel::SimdLevel::Avx2);
}

} // namespace
#endif

void ConvertRowY(const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, int count, int16_t* out)
{
    int i = 0;
#ifdef NX_JPEG_X86
    if (step == 3 && hasAvx2() && g == b + 1 && r == b + 2) {
        i = rowYAvx2(b, count, out, nullptr, nullptr);
        r += i * step, g += i * step, b += i * step;
    }
#endif
    for (; i < count; ++i, r += step, g += step, b += step)
        out[i] = int16_t(truncScaled(kYg[*g] + kYr[*r] + kYb[*b]));
}

void ConvertRowChroma(
    const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, int count, int16_t* cb, int16_t* cr)
{
    int i = 0;
#ifdef NX_JPEG_X86
    if (step == 6 && hasAvx2() && g == b + 1 && r == b + 2) {
        i = rowChromaAvx2(b, count, cb, cr);
        r += i * step, g += i * step, b += i * step;
    }
#endif
    for (; i < count; ++i, r += step, g += step, b += step) {
        cb[i] = int16_t(truncScaled(kHalf[*b] + (kCbR[*r] + kCbG[*g])));
        cr[i] = int16_t(truncScaled(kHalf[*r] + kCrG[*g] + kCrB[*b]));
    }
}

} // namespace jpeg

namespace jpeg {

void ConvertRowYChroma(const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, int count, int16_t* y,
    int16_t* cb, int16_t* cr)
{
    int i = 0;
#ifdef NX_JPEG_X86
    if (step == 3 && hasAvx2() && g == b + 1 && r == b + 2)
        i = rowYAvx2(b, count, y, cb, cr); // a multiple of 16: the rest starts on an even pixel
#endif
    const ptrdiff_t at = ptrdiff_t(i) * step;
    ConvertRowY(r + at, g + at, b + at, step, count - i, y + i);
    ConvertRowChroma(r + at, g + at, b + at, 2 * step, (count - i + 1) / 2, cb + i / 2, cr + i / 2);
}

} // namespace jpeg

namespace jpeg {

void ConvertRowChromaMean(const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, ptrdiff_t next,
    int width, int16_t* cb, int16_t* cr)
{
    const int count = (width + 1) / 2;
    int i = 0;
#ifdef NX_JPEG_X86
    // Whole pairs only: an odd width's last group is its last pixel twice.
    if (step == 3 && hasAvx2() && g == b + 1 && r == b + 2)
        i = rowMeanChromaAvx2(b, next, width / 2, cb, cr);
#endif
    for (; i < count; ++i) {
        const ptrdiff_t x0 = ptrdiff_t(2 * i) * step;
        const ptrdiff_t x1 = ptrdiff_t(std::min(2 * i + 1, width - 1)) * step;
        const auto mean
            = [&](const uint8_t* p) { return uint8_t((p[x0] + p[x1] + p[x0 + next] + p[x1 + next] + 2) / 4); };
        const uint8_t mr = mean(r), mg = mean(g), mb = mean(b);
        cb[i] = int16_t(truncScaled(kHalf[mb] + (kCbR[mr] + kCbG[mg])));
        cr[i] = int16_t(truncScaled(kHalf[mr] + kCrG[mg] + kCrB[mb]));
    }
}

} // namespace jpeg
