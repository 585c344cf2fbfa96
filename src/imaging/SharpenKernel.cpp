// SharpenGray and SharpenRgb: unsharp masking against a 4 x 4 box blur (rows -2..+1, columns -2..+1).
// The box sums are separable: per row, four source rows are added once per byte into column sums, and
// each output adds four column sums. The step o + t[o - b + 255] with t[k] = (a * (k - 255)) / 10 is a
// table for any sharpness; for |a| <= 128 the vector form computes the same integers directly.
#include "imaging/KernelRows.h"
#include "imaging/Kernels.h"
#include "imaging/KernelSupport.h"

#include <algorithm>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NX_SHARPEN_X86 1
#endif

namespace {

// The step o + t[o - b + 255], t held to +-256: o + t is clamped to 0..255 afterwards, so larger steps
// change nothing.
struct Step {
    int32_t a;
    const int16_t* table;
    uint8_t apply(int o, int b) const { return uint8_t(std::clamp(o + table[o - b + 255], 0, 255)); }
};

// Output bytes [from, to) of row i (byte offsets within the row); colSum holds the sums of the four rows.
void stepScalar(
    uint8_t* d, const uint8_t* o, const uint16_t* colSum, int32_t from, int32_t to, int ch, const Step& step)
{
    for (int32_t k = from; k < to; ++k) {
        const int b = (colSum[k - 2 * ch] + colSum[k - ch] + colSum[k] + colSum[k + ch]) >> 4;
        d[k] = step.apply(o[k], b);
    }
}

#if defined(__SSE2__)
// Eight bytes at a time in 16-bit lanes; returns where the scalar form takes over.
int32_t stepSse2(
    uint8_t* d, const uint8_t* o, const uint16_t* colSum, int32_t from, int32_t to, int ch, const Step& step)
{
    if (step.a < -128 || step.a > 128) // a * (o - b) must fit 16 bits (and |INT32_MIN| is no int)
        return from;
    const __m128i a = _mm_set1_epi16(int16_t(step.a)), tenth = _mm_set1_epi16(26215), zero = _mm_setzero_si128();
    auto sums = [colSum](int32_t k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(colSum + k)); };
    int32_t k = from;
    for (; k + 8 <= to; k += 8) {
        const __m128i box
            = _mm_add_epi16(_mm_add_epi16(sums(k - 2 * ch), sums(k - ch)), _mm_add_epi16(sums(k), sums(k + ch)));
        const __m128i b = _mm_srli_epi16(box, 4);
        const __m128i ov = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(o + k)), zero);
        const __m128i x = _mm_mullo_epi16(a, _mm_sub_epi16(ov, b));
        // x / 10 rounded toward zero: (x * 26215) >> 18, plus one for negative x (exact for all 16-bit x).
        const __m128i q = _mm_sub_epi16(_mm_srai_epi16(_mm_mulhi_epi16(x, tenth), 2), _mm_srai_epi16(x, 15));
        const __m128i out = _mm_add_epi16(ov, q);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + k), _mm_packus_epi16(out, out));
    }
    return k;
}
#endif

#if NX_SHARPEN_X86
__attribute__((target("avx2"))) inline __m256i load16(const uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Column sums of bytes [0, n), sixteen at a time; returns where it stopped.
__attribute__((target("avx2"))) int32_t columnSumsAvx2(
    uint16_t* cs, const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3, int32_t n)
{
    int32_t k = 0;
    for (; k + 16 <= n; k += 16) {
        const __m256i sum = _mm256_add_epi16(
            _mm256_add_epi16(load16(r0 + k), load16(r1 + k)), _mm256_add_epi16(load16(r2 + k), load16(r3 + k)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(cs + k), sum);
    }
    return k;
}

// The step of the SSE2 form, sixteen bytes at a time.
__attribute__((target("avx2"))) int32_t stepAvx2(
    uint8_t* d, const uint8_t* o, const uint16_t* colSum, int32_t from, int32_t to, int ch, const Step& step)
{
    if (step.a < -128 || step.a > 128)
        return from;
    const __m256i a = _mm256_set1_epi16(int16_t(step.a)), tenth = _mm256_set1_epi16(26215);
    int32_t k = from;
    for (; k + 16 <= to; k += 16) {
        const uint16_t* c = colSum + k;
        const __m256i box
            = _mm256_add_epi16(_mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(c - 2 * ch)),
                                   _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c - ch))),
                _mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(c)),
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + ch))));
        const __m256i ov = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(o + k)));
        const __m256i x = _mm256_mullo_epi16(a, _mm256_sub_epi16(ov, _mm256_srli_epi16(box, 4)));
        const __m256i q
            = _mm256_sub_epi16(_mm256_srai_epi16(_mm256_mulhi_epi16(x, tenth), 2), _mm256_srai_epi16(x, 15));
        const __m256i out = _mm256_add_epi16(ov, q);
        const __m256i packed = _mm256_packus_epi16(out, out); // bytes 0-7 and 16-23 hold the result
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(d + k), _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08)));
    }
    return k;
}
#endif

int32_t sharpen(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY, uint16_t dstBpp,
    uint16_t srcBpp, int32_t dstStride, int32_t srcStride, void* user1, int ch)
{
    const int32_t* sharpness = kernel::paramsOf<int32_t>(user1);
    // Packed pixels of the kernel's own size only.
    if (!sharpness || dstBpp != ch || srcBpp != ch)
        return 1;
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride);
    if (walk.width <= 4 || walk.height <= 4)
        return 1;
    const kernel::SharpenRow row(*sharpness);
    std::vector<uint16_t> colSum(kernel::SharpenRow::scratchSize(walk.width, ch));
    for (int32_t i = 2; i < walk.height - 2; ++i)
        row.run(walk.dstRow(i), walk.srcRow(i - 2), walk.srcRow(i - 1), walk.srcRow(i), walk.srcRow(i + 1), walk.width,
            ch, colSum.data());
    return 1;
}

} // namespace

kernel::SharpenRow::SharpenRow(int32_t sharpness)
    : m_A(sharpness)
{
    for (int k = 0; k < 511; ++k)
        m_Table[k] = int16_t(std::clamp<int64_t>(int64_t(sharpness) * (k - 255) / 10, -256, 256));
}

void kernel::SharpenRow::run(uint8_t* d, const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3,
    int32_t width, int ch, uint16_t* cs) const
{
    if (width <= 4)
        return;
    // Column sums of bytes 0 .. (width - 1) * ch: the box of the last processed column reaches column width - 2.
    const int32_t sumBytes = (width - 1) * ch;
    const int32_t from = 2 * ch, to = (width - 2) * ch;
    int32_t k = 0;
#if NX_SHARPEN_X86
    const bool avx2 = kernel::useSimd(kernel::SimdLevel::Avx2);
    if (avx2)
        k = columnSumsAvx2(cs, r0, r1, r2, r3, sumBytes);
#endif
    for (; k < sumBytes; ++k)
        cs[k] = uint16_t(r0[k] + r1[k] + r2[k] + r3[k]);
    const Step step { m_A, m_Table };
    k = from;
    // The vector forms read their width of column sums past k + ch: stop while that stays in the buffer.
#if NX_SHARPEN_X86
    if (avx2)
        k = stepAvx2(d, r2, cs, k, std::min(to, sumBytes - ch), ch, step);
#endif
#if defined(__SSE2__)
    k = stepSse2(d, r2, cs, k, std::min(to, sumBytes - ch), ch, step);
#endif
    stepScalar(d, r2, cs, k, to, ch, step);
}

int32_t SharpenGray(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    return sharpen(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride, user1, 1);
}

int32_t SharpenRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    return sharpen(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride, user1, 3);
}
