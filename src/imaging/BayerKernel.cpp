// BayerToRgb: the sensor's 2 x 2 colour mosaic to blue-green-red with red and blue gains.
//
// Each colour is a 9-3-3-1 weighted sum of its four nearest samples of that colour. Written with two
// vertical combinations of rows, X = 3 * row(0) + row(-2) and Y = 3 * row(-1) + row(+1), every weighted sum
// is one of S(Z) = 3 Z(c) + Z(c - 2) or T(Z) = 3 Z(c - 1) + Z(c + 1):
//   row phase 0: red from Y, blue from X;  row phase 1: red from X, blue from Y;
//   column phase 0: red S, blue T;         column phase 1: red T, blue S;
//   green: row(0)(c) + row(-1)(c - 1) on green sites, row(0)(c - 1) + row(-1)(c) on red and blue sites.
// The vector forms see a row as pairs of columns (phase 0, then phase 1) in 16-bit lanes: the low byte is
// the pair's first sample, the high byte its second. Red sums then use only first samples and blue sums
// only second ones, with R = 3 a + b over first samples and B = 3 a + b over second samples of pair k:
//   red:   first 3 R(k) + R(k - 1), second 3 R(k) + R(k + 1)
//   blue:  first 3 B(k - 1) + B(k), second 3 B(k) + B(k - 1)
//   green: first gA(k) + gB'(k - 1), second gA(k) + gB'(k)   (gA: first samples, gB': second samples)
// The scalar, SSSE3 and AVX2 forms compute exactly these integers, so every processor shows the same picture.
#include "imaging/KernelRows.h"
#include "imaging/Kernels.h"
#include "imaging/KernelSupport.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NX_BAYER_X86 1
#endif

namespace {

using Gains = kernel::BayerGains;

// The rows around processed row r: m2 = r - 2, m1 = r - 1 (below), p0 = r, p1 = r + 1 (above), each
// pointing at the row's first processed column.
struct Rows {
    const uint8_t* m2;
    const uint8_t* m1;
    const uint8_t* p0;
    const uint8_t* p1;
};

// The rows each colour's sums come from. Red comes from X on row phase 1, from Y on row phase 0; blue from
// the other. A is the weight-3 row of a combination, B the weight-1 row; green pairs the two nearest rows.
struct SiteRows {
    const uint8_t* redA;
    const uint8_t* redB;
    const uint8_t* blueA;
    const uint8_t* blueB;
    const uint8_t* greenA;
    const uint8_t* greenB;
};

SiteRows sitesFor(const Rows& rows, int rowPhase)
{
    return rowPhase ? SiteRows { rows.p0, rows.m2, rows.m1, rows.p1, rows.m1, rows.p0 }
                    : SiteRows { rows.m1, rows.p1, rows.p0, rows.m2, rows.p0, rows.m1 };
}

// Scalar form, any pixel sizes: pixels [from, to) of the row; phases are those of pixel 0.
void rowScalar(uint8_t* out, const Rows& rows, int32_t from, int32_t to, int rowPhase, int colPhase, const Gains& g,
    int srcBpp, int dstBpp)
{
    const auto [redA, redB, blueA, blueB, greenA, greenB] = sitesFor(rows, rowPhase);
    const ptrdiff_t s = srcBpp;
    auto comb = [s](const uint8_t* a, const uint8_t* b, int32_t c) { return 3 * a[c * s] + b[c * s]; };
    auto sumS = [&](const uint8_t* a, const uint8_t* b, int32_t c) { return 3 * comb(a, b, c) + comb(a, b, c - 2); };
    auto sumT
        = [&](const uint8_t* a, const uint8_t* b, int32_t c) { return 3 * comb(a, b, c - 1) + comb(a, b, c + 1); };
    for (int32_t c = from; c < to; ++c) {
        const int cp = colPhase ^ (c & 1);
        const int red = cp ? sumT(redA, redB, c) : sumS(redA, redB, c);
        const int blue = cp ? sumS(blueA, blueB, c) : sumT(blueA, blueB, c);
        const int green
            = (rowPhase ^ cp) ? rows.p0[(c - 1) * s] + rows.m1[c * s] : rows.p0[c * s] + rows.m1[(c - 1) * s];
        uint8_t* d = out + ptrdiff_t(c) * dstBpp;
        d[0] = g.blue[blue];
        d[1] = uint8_t(green >> 1);
        d[2] = g.red[red];
    }
}

#if NX_BAYER_X86

// Byte shuffles that interleave blue, green and red planes of 16 pixels into 48 bytes of blue-green-red:
// output block k (16 bytes) is the OR of the blue, green and red planes shuffled by rows 3k, 3k+1, 3k+2.
alignas(16) const int8_t kInterleave[9][16] = {
    { 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5 },
    { -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1 },
    { -1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1 },
    { -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1 },
    { 5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10 },
    { -1, 5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1 },
    { -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1 },
    { -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1 },
    { 10, -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15 },
};

__attribute__((target("ssse3"))) inline __m128i interleaveMask(int k)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kInterleave[k]));
}

// Blue, green and red planes of 16 pixels to 48 bytes of blue-green-red.
__attribute__((target("ssse3"))) inline void storeBgr16(uint8_t* d, __m128i b, __m128i g, __m128i r)
{
    for (int k = 0; k < 3; ++k) {
        const __m128i out = _mm_or_si128(
            _mm_or_si128(_mm_shuffle_epi8(b, interleaveMask(3 * k)), _mm_shuffle_epi8(g, interleaveMask(3 * k + 1))),
            _mm_shuffle_epi8(r, interleaveMask(3 * k + 2)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16 * k), out);
    }
}

// Low bytes (first samples) and high bytes (second samples) of 8 pairs, as 16-bit lanes.
__attribute__((target("ssse3"))) inline __m128i firstOf8(const uint8_t* p)
{
    return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi16(0x00FF));
}
__attribute__((target("ssse3"))) inline __m128i secondOf8(const uint8_t* p)
{
    return _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), 8);
}
__attribute__((target("ssse3"))) inline __m128i comb3(__m128i a, __m128i b)
{
    return _mm_add_epi16(_mm_add_epi16(a, _mm_add_epi16(a, a)), b);
}
__attribute__((target("ssse3"))) inline __m128i pairBytes(__m128i firstValues, __m128i secondValues)
{
    return _mm_or_si128(firstValues, _mm_slli_epi16(secondValues, 8));
}
// (sum << 4) * 2k >> 16 == (sum * k) >> 11 exactly; then saturated to 255.
__attribute__((target("ssse3"))) inline __m128i gain(__m128i sum, __m128i k2)
{
    return _mm_min_epi16(_mm_mulhi_epu16(_mm_slli_epi16(sum, 4), k2), _mm_set1_epi16(255));
}

// SSSE3 form: 16 pixels (8 pairs) at a time. Pixels from the first phase-0 column on are done; returns
// where it stopped.
__attribute__((target("ssse3"))) int32_t rowSsse3(
    uint8_t* out, const Rows& rows, int32_t n, int rowPhase, int colPhase, const Gains& g, int32_t& from)
{
    from = colPhase; // the first pair starts at a column of phase 0
    const __m128i kR2 = _mm_set1_epi16(int16_t(2 * g.kR)), kB2 = _mm_set1_epi16(int16_t(2 * g.kB));
    const auto [redA, redB, blueA, blueB, greenA, greenB] = sitesFor(rows, rowPhase);
    int32_t c = from;
    for (; c + 16 <= n; c += 16) {
        const __m128i rPrev = comb3(firstOf8(redA + c - 2), firstOf8(redB + c - 2));
        const __m128i rHere = comb3(firstOf8(redA + c), firstOf8(redB + c));
        const __m128i rNext = comb3(firstOf8(redA + c + 2), firstOf8(redB + c + 2));
        const __m128i bPrev = comb3(secondOf8(blueA + c - 2), secondOf8(blueB + c - 2));
        const __m128i bHere = comb3(secondOf8(blueA + c), secondOf8(blueB + c));
        const __m128i red = pairBytes(gain(comb3(rHere, rPrev), kR2), gain(comb3(rHere, rNext), kR2));
        const __m128i blue = pairBytes(gain(comb3(bPrev, bHere), kB2), gain(comb3(bHere, bPrev), kB2));
        const __m128i gHere = firstOf8(greenA + c);
        const __m128i green = pairBytes(_mm_srli_epi16(_mm_add_epi16(gHere, secondOf8(greenB + c - 2)), 1),
            _mm_srli_epi16(_mm_add_epi16(gHere, secondOf8(greenB + c)), 1));
        storeBgr16(out + ptrdiff_t(c) * 3, blue, green, red);
    }
    return c;
}

// Low bytes (first samples) and high bytes (second samples) of 16 pairs, as 16-bit lanes.
__attribute__((target("avx2"))) inline __m256i firstOf(const uint8_t* p)
{
    return _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), _mm256_set1_epi16(0x00FF));
}
__attribute__((target("avx2"))) inline __m256i secondOf(const uint8_t* p)
{
    return _mm256_srli_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), 8);
}
// Lanes of two byte values: the first in the low byte, the second in the high byte.
__attribute__((target("avx2"))) inline __m256i pairBytes(__m256i firstValues, __m256i secondValues)
{
    return _mm256_or_si256(firstValues, _mm256_slli_epi16(secondValues, 8));
}
// 3 a + b.
__attribute__((target("avx2"))) inline __m256i comb3(__m256i a, __m256i b)
{
    return _mm256_add_epi16(_mm256_add_epi16(a, _mm256_add_epi16(a, a)), b);
}

// (sum << 4) * 2k >> 16 == (sum * k) >> 11 exactly; then saturated to 255.
__attribute__((target("avx2"))) inline __m256i gain(__m256i sum, __m256i k2)
{
    return _mm256_min_epi16(_mm256_mulhi_epu16(_mm256_slli_epi16(sum, 4), k2), _mm256_set1_epi16(255));
}

// AVX2 form: 32 pixels (16 pairs) at a time, as the SSSE3 form.
__attribute__((target("avx2"))) int32_t rowAvx2(
    uint8_t* out, const Rows& rows, int32_t n, int rowPhase, int colPhase, const Gains& g, int32_t& from)
{
    from = colPhase; // the first pair starts at a column of phase 0
    const __m256i kR2 = _mm256_set1_epi16(int16_t(2 * g.kR)), kB2 = _mm256_set1_epi16(int16_t(2 * g.kB));
    const auto [redA, redB, blueA, blueB, greenA, greenB] = sitesFor(rows, rowPhase);
    __m256i masks[9]; // the interleaving shuffles, one copy per 128-bit lane
    for (int k = 0; k < 9; ++k)
        masks[k] = _mm256_broadcastsi128_si256(interleaveMask(k));
    int32_t c = from;
    for (; c + 32 <= n; c += 32) {
        const __m256i rPrev = comb3(firstOf(redA + c - 2), firstOf(redB + c - 2));
        const __m256i rHere = comb3(firstOf(redA + c), firstOf(redB + c));
        const __m256i rNext = comb3(firstOf(redA + c + 2), firstOf(redB + c + 2));
        const __m256i bPrev = comb3(secondOf(blueA + c - 2), secondOf(blueB + c - 2));
        const __m256i bHere = comb3(secondOf(blueA + c), secondOf(blueB + c));
        const __m256i red = pairBytes(gain(comb3(rHere, rPrev), kR2), gain(comb3(rHere, rNext), kR2));
        const __m256i blue = pairBytes(gain(comb3(bPrev, bHere), kB2), gain(comb3(bHere, bPrev), kB2));
        const __m256i gHere = firstOf(greenA + c);
        const __m256i green = pairBytes(_mm256_srli_epi16(_mm256_add_epi16(gHere, secondOf(greenB + c - 2)), 1),
            _mm256_srli_epi16(_mm256_add_epi16(gHere, secondOf(greenB + c)), 1));
        uint8_t* d = out + ptrdiff_t(c) * 3;
        // Each 128-bit lane holds 16 pixels: the low lanes make the first 48 bytes, the high lanes the next.
        for (int k = 0; k < 3; ++k) {
            const __m256i o = _mm256_or_si256(
                _mm256_or_si256(_mm256_shuffle_epi8(blue, masks[3 * k]), _mm256_shuffle_epi8(green, masks[3 * k + 1])),
                _mm256_shuffle_epi8(red, masks[3 * k + 2]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16 * k), _mm256_castsi256_si128(o));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 48 + 16 * k), _mm256_extracti128_si256(o, 1));
        }
    }
    return c;
}

#endif

} // namespace

namespace {

// The colour bytes of a row's pixels set to black (bytes past the third of a pixel are left alone).
void blackRow(uint8_t* row, int32_t width, int dstBpp)
{
    for (int32_t c = 0; c < width; ++c)
        std::fill_n(row + ptrdiff_t(c) * dstBpp, 3, uint8_t(0));
}

// Gain factor k: a colour byte is (sum * k) >> 11, 255 when that exceeds 255. Negative gains give black;
// above 2^19 every non-zero sum saturates anyway, so k is held there to keep the product in 32 bits.
int32_t gainFactor(int32_t gainTimes100)
{
    const double k = std::trunc(gainTimes100 * 1.28);
    return k <= 0 ? 0 : k >= 524288.0 ? 524288 : int32_t(k);
}

} // namespace

kernel::BayerGains::BayerGains(int32_t r, int32_t b)
    : kR(gainFactor(r))
    , kB(gainFactor(b))
{
    for (int s = 0; s <= kMaxSum; ++s) {
        red[s] = uint8_t(std::min(255, (s * kR) >> 11));
        blue[s] = uint8_t(std::min(255, (s * kB) >> 11));
    }
}

kernel::BayerRow::BayerRow(const BayerParams& params, int srcBpp, int dstBpp)
    : m_Gains(params.gainR, params.gainB)
    ,
    // Mode bit 0: row phase, bit 1: column phase of the first processed pixel. The column phase restarts
    // from the mode on every row: the sensor's pattern is fixed per position, whatever the width.
    m_RowMode(params.mode & 1)
    , m_ColPhase((params.mode >> 1) & 1)
    , m_SrcBpp(srcBpp)
    , m_DstBpp(dstBpp)
{
#if NX_BAYER_X86
    const bool vector = srcBpp == 1 && dstBpp == 3 && m_Gains.vectorFits();
    m_Avx2 = vector && useSimd(SimdLevel::Avx2);
    m_Ssse3 = vector && useSimd(SimdLevel::Ssse3);
#endif
}

void kernel::BayerRow::run(uint8_t* dstRow, const uint8_t* m2, const uint8_t* m1, const uint8_t* p0, const uint8_t* p1,
    int32_t width, int32_t i) const
{
    // Columns 2 .. width - 3 are converted; the two columns on either side repeat the nearest converted
    // pixel, so no column keeps a value from an earlier frame.
    const int32_t n = width - 4;
    if (n <= 0) {
        blackRow(dstRow, width, m_DstBpp);
        return;
    }
    const ptrdiff_t firstCol = 2 * ptrdiff_t(m_SrcBpp);
    const Rows rows { m2 + firstCol, m1 + firstCol, p0 + firstCol, p1 + firstCol };
    uint8_t* out = dstRow + 2 * ptrdiff_t(m_DstBpp);
    const int rowPhase = m_RowMode ^ ((i - 2) & 1);
    int32_t done = 0;
#if NX_BAYER_X86
    if (m_Avx2 || m_Ssse3) {
        int32_t from = 0;
        done = m_Avx2 ? rowAvx2(out, rows, n, rowPhase, m_ColPhase, m_Gains, from)
                      : rowSsse3(out, rows, n, rowPhase, m_ColPhase, m_Gains, from);
        rowScalar(out, rows, 0, from, rowPhase, m_ColPhase, m_Gains, m_SrcBpp, m_DstBpp);
    }
#endif
    rowScalar(out, rows, done, n, rowPhase, m_ColPhase, m_Gains, m_SrcBpp, m_DstBpp);
    const uint8_t* first = out;
    const uint8_t* last = out + ptrdiff_t(n - 1) * m_DstBpp;
    for (int32_t c : { 0, 1 })
        std::copy_n(first, 3, dstRow + ptrdiff_t(c) * m_DstBpp);
    for (int32_t c : { width - 2, width - 1 })
        std::copy_n(last, 3, dstRow + ptrdiff_t(c) * m_DstBpp);
}

int32_t BayerToRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    const BayerParams* params = kernel::paramsOf<BayerParams>(user1);
    // Three output bytes per pixel: a narrower destination would be overrun.
    if (!params || dstBytesPerPixel < 3 || srcBytesPerPixel < 1)
        return 1;
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride);
    const kernel::BayerRow row(*params, srcBytesPerPixel, dstBytesPerPixel);
    // Rows 2 .. height - 3 are converted; the two rows at either end repeat the nearest converted row. A
    // rectangle of four pixels or fewer across has nothing to convert and turns black.
    for (int32_t i = 0; i < walk.height; ++i) {
        if (walk.height <= 4) {
            blackRow(walk.dstRow(i), walk.width, dstBytesPerPixel);
            continue;
        }
        const int32_t r = std::clamp(i, 2, walk.height - 3);
        row.run(walk.dstRow(i), walk.srcRow(r - 2), walk.srcRow(r - 1), walk.srcRow(r), walk.srcRow(r + 1),
            walk.width, r);
    }
    return 1;
}
