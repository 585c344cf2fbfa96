// MeasureBalance: the mean of the raw samples on the green, blue and red sites of the colour mosaic, as
// gains (times 100) that bring the blue and red means to the green one.
#include "imaging/KernelSupport.h"
#include "imaging/Kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Sums of the samples in even and odd columns of a row of n one-byte pixels.
void rowSums(const uint8_t* p, int32_t n, uint64_t& even, uint64_t& odd)
{
    int32_t j = 0;
#if defined(__SSE2__)
    const __m128i low = _mm_set1_epi16(0x00FF), zero = _mm_setzero_si128();
    __m128i e = zero, o = zero;
    for (; j + 16 <= n; j += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
        e = _mm_add_epi64(e, _mm_sad_epu8(_mm_and_si128(v, low), zero));
        o = _mm_add_epi64(o, _mm_sad_epu8(_mm_srli_epi16(v, 8), zero));
    }
    even += uint64_t(_mm_cvtsi128_si64(e)) + uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(e, e)));
    odd += uint64_t(_mm_cvtsi128_si64(o)) + uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(o, o)));
#endif
    for (; j + 1 < n; j += 2) {
        even += p[j];
        odd += p[j + 1];
    }
    if (j < n)
        even += p[j];
}

}  // namespace

int32_t MeasureBalance(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                       uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                       void* user1, void*)
{
    BalanceStats* stats = user1 ? *static_cast<BalanceStats**>(user1) : nullptr;
    if (!stats || dstBytesPerPixel != 1)
        return 1;
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride,
                               srcStride);
    // Phases as in the Bayer conversion, the column phase restarting from the mode on every row.
    const int rowMode = stats->mode & 1, colMode = (stats->mode >> 1) & 1;
    uint64_t sum[3] = {}, count[3] = {};  // green, blue, red sites
    const uint64_t evenCount = uint64_t(walk.width + 1) / 2, oddCount = uint64_t(walk.width) / 2;
    for (int32_t i = 0; i < walk.height; ++i) {
        uint64_t even = 0, odd = 0;
        rowSums(walk.dstRow(i), walk.width, even, odd);
        // Row phase 0: green then blue sites; row phase 1: red then green (for column phase 0 then 1).
        const int rp = rowMode ^ (i & 1);
        const int site0 = rp ? 2 : 0, site1 = rp ? 0 : 1;
        const int siteEven = colMode ? site1 : site0, siteOdd = colMode ? site0 : site1;
        sum[siteEven] += even;
        count[siteEven] += evenCount;
        sum[siteOdd] += odd;
        count[siteOdd] += oddCount;
    }
    const double g = double(sum[0]) / double(count[0]), b = double(sum[1]) / double(count[1]),
                 r = double(sum[2]) / double(count[2]);
    const double s = b + r + g;
    const double f = 1 / ((s / g) * 0.3333333333333333);
    // A black frame or a missing site gives no ratio (not a number): the gains stay neutral.
    stats->gainBlue = kernel::truncSaturated(f * (s / b) * 0.3333333333333333 * 100, 100);
    stats->gainGreen = 100;
    stats->gainRed = kernel::truncSaturated(f * (s / r) * 0.3333333333333333 * 100, 100);
    return 1;
}
