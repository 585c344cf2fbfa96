// MeanLevel and CountZero: statistics of the first byte of each pixel over a rectangle, read through the
// destination pointer (the image is its own source).
#include "imaging/KernelSupport.h"
#include "imaging/Kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

uint64_t rowSum(const uint8_t* p, int32_t n, int bpp)
{
    uint64_t sum = 0;
    int32_t j = 0;
#if defined(__SSE2__)
    if (bpp == 1) {
        __m128i acc = _mm_setzero_si128();
        const __m128i zero = _mm_setzero_si128();
        for (; j + 16 <= n; j += 16)
            acc = _mm_add_epi64(acc, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j)), zero));
        sum = uint64_t(_mm_cvtsi128_si64(acc)) + uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc)));
    }
#endif
    for (; j < n; ++j)
        sum += p[ptrdiff_t(j) * bpp];
    return sum;
}

int32_t rowZeros(const uint8_t* p, int32_t n, int bpp)
{
    int32_t count = 0;
    int32_t j = 0;
#if defined(__SSE2__)
    if (bpp == 1) {
        const __m128i zero = _mm_setzero_si128();
        for (; j + 16 <= n; j += 16) {
            const __m128i eq = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j)), zero);
            count += __builtin_popcount(unsigned(_mm_movemask_epi8(eq)));
        }
    }
#endif
    for (; j < n; ++j)
        count += p[ptrdiff_t(j) * bpp] == 0;
    return count;
}

}  // namespace

int32_t MeanLevel(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                  uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                  void*, void*)
{
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride,
                               srcStride);
    const uint64_t count = uint64_t(walk.width) * uint64_t(walk.height);
    if (count == 0)
        return 0;
    uint64_t sum = 0;
    for (int32_t i = 0; i < walk.height; ++i)
        sum += rowSum(walk.dstRow(i), walk.width, dstBytesPerPixel);
    return int32_t(sum / count);
}

int32_t CountZero(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                  uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                  void*, void*)
{
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride,
                               srcStride);
    int32_t count = 0;
    for (int32_t i = 0; i < walk.height; ++i)
        count += rowZeros(walk.dstRow(i), walk.width, dstBytesPerPixel);
    return count;
}
