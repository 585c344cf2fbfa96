// Byte-to-byte tone kernels: gamma and contrast (a 256-entry table built per call, then mapped row by
// row) and binarisation.
#include "imaging/KernelRows.h"
#include "imaging/Kernels.h"
#include "imaging/KernelSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include "imaging/KernelAvx2.h"
#define NX_TONE_X86 1
#endif

namespace {

using Table = kernel::ByteTable;

#if NX_TONE_X86
// 64 bytes at a time: two 128-entry byte permutes, the index's top bit choosing between them. Returns
// where it stopped.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int32_t mapBytesVbmi(
    const uint8_t* s, uint8_t* d, int32_t n, const Table& table)
{
    const __m512i t0 = _mm512_loadu_si512(table), t1 = _mm512_loadu_si512(table + 64);
    const __m512i t2 = _mm512_loadu_si512(table + 128), t3 = _mm512_loadu_si512(table + 192);
    int32_t k = 0;
    for (; k + 64 <= n; k += 64) {
        const __m512i x = _mm512_loadu_si512(s + k);
        const __m512i low = _mm512_permutex2var_epi8(t0, x, t1), high = _mm512_permutex2var_epi8(t2, x, t3);
        _mm512_storeu_si512(d + k, _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high));
    }
    return k;
}
#endif

// Maps the first `channels` bytes of every pixel through the table, source to destination.
void mapRows(const kernel::RowWalk& walk, const Table& table, int channels, int srcBpp, int dstBpp)
{
    if (srcBpp < channels || dstBpp < channels)
        return;
    for (int32_t i = 0; i < walk.height; ++i) {
        const uint8_t* s = walk.srcRow(i);
        uint8_t* d = walk.dstRow(i);
        if (srcBpp == channels && dstBpp == channels) {
            kernel::mapBytes(s, d, walk.width * channels, table);
        } else {
            for (int32_t j = 0; j < walk.width; ++j)
                for (int c = 0; c < channels; ++c)
                    d[ptrdiff_t(j) * dstBpp + c] = table[s[ptrdiff_t(j) * srcBpp + c]];
        }
    }
}

} // namespace

namespace kernel {

void mapBytes(const uint8_t* s, uint8_t* d, int32_t n, const ByteTable& table)
{
    int32_t k = 0;
#if NX_TONE_X86
    const bool vbmi = useSimd(SimdLevel::Avx512Vbmi);
    if (vbmi)
        k = mapBytesVbmi(s, d, n, table);
#endif
    // Four at a time, every answer read before the first store: the loads of one group need not wait for
    // the stores of the one before (source and destination may be the same row).
    for (; k + 4 <= n; k += 4) {
        const uint8_t a = table[s[k]], b = table[s[k + 1]], c = table[s[k + 2]], e = table[s[k + 3]];
        d[k] = a;
        d[k + 1] = b;
        d[k + 2] = c;
        d[k + 3] = e;
    }
    for (; k < n; ++k)
        d[k] = table[s[k]];
}

// The gamma curve of level v (100 = identity exponent, yet the table still maps 0 to 1 and 255 to 254):
// for each input the output is found by searching the log scale, as the picture has always been made.
void gammaTable(int32_t level, Table& table)
{
    double e = level > 100 ? 1.0 + (level - 100) * 0.1 : level * 0.01;
    e = std::clamp(e, 0.001, 99.999);
    double logs[256];
    for (int j = 1; j < 256; ++j)
        logs[j] = std::log10(double(j));
    const double lt = logs[255];
    for (int i = 0; i < 256; ++i) {
        const double m = lt + e * ((i == 0 ? -HUGE_VAL : logs[i]) - lt);
        if (m < 0) {
            table[i] = 1;
            continue;
        }
        int o = 2;
        bool found = false;
        for (int j = 3; j <= 255; ++j) {
            if (logs[j - 2] <= m && m <= logs[j]) {
                found = true;
                break;
            }
            ++o;
        }
        table[i] = uint8_t(found ? o : 255);
    }
}

void contrastTable(int32_t c, Table& table)
{
    if (c >= 128) {
        std::memset(table, 0, sizeof(Table));
        return;
    }
    // In double: a very negative setting must not overflow the span.
    const double step = 256.0 / ((128.0 - c) * 2.0);
    for (int i = 0; i < 256; ++i)
        table[i] = i < c ? 0 : i > 255 - int64_t(c) ? 255 : uint8_t(int32_t(step * (i - double(c))));
}

void thresholdTable(int32_t threshold, Table& table)
{
    for (int i = 0; i < 256; ++i)
        table[i] = i > threshold ? 255 : 0;
}

int32_t binarizeLimit(int32_t threshold)
{
    // 30 R + 59 G + 11 B lies in 0..25500: a limit outside that range decides every pixel alike.
    return int32_t(std::clamp<int64_t>(int64_t(threshold) * 100, -1, 25500));
}

} // namespace kernel

namespace {

// Applies the table built from the kernel's integer parameter.
template <void (*Build)(int32_t, kernel::ByteTable&), int Channels>
int32_t tableKernel(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY, uint16_t dstBpp,
    uint16_t srcBpp, int32_t dstStride, int32_t srcStride, void* user1)
{
    const int32_t* param = kernel::paramsOf<int32_t>(user1);
    if (!param)
        return 1;
    Table table;
    Build(*param, table);
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride);
    mapRows(walk, table, Channels, srcBpp, dstBpp);
    return 1;
}

#if NX_TONE_X86
// Binarises eight pixels at a time: each pixel spread to 32 bits, 11 B + 59 G and 30 R by one
// multiply-add of bytes, the two halves summed by a second. Returns how many pixels of the row were done
// (it stops while two more pixels follow, as loadBgr8 reads past the eighth).
__attribute__((target("avx2"))) int32_t binarizeRowAvx2(const uint8_t* s, uint8_t* d, int32_t width, int32_t limit)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i spread2 = _mm256_set_m128i(spread, spread);
    const __m256i weights = _mm256_set1_epi32(11 | (59 << 8) | (30 << 16)); // blue, green, red, 0
    const __m256i ones = _mm256_set1_epi16(1), limits = _mm256_set1_epi32(limit);
    int32_t j = 0;
    for (; j + 10 <= width; j += 8) {
        const __m256i px = _mm256_shuffle_epi8(kernel::loadBgr8(s + ptrdiff_t(j) * 3), spread2);
        const __m256i sum = _mm256_madd_epi16(_mm256_maddubs_epi16(px, weights), ones);
        kernel::storeBgr8(d + ptrdiff_t(j) * 3, kernel::packBgr8(_mm256_cmpgt_epi32(sum, limits)));
    }
    return j;
}
#endif

} // namespace

int32_t GammaGray(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    return tableKernel<kernel::gammaTable, 1>(
        dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride, user1);
}

int32_t GammaRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    return tableKernel<kernel::gammaTable, 3>(
        dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride, user1);
}

int32_t ContrastGray(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    return tableKernel<kernel::contrastTable, 1>(
        dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride, user1);
}

int32_t ContrastRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    return tableKernel<kernel::contrastTable, 3>(
        dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride, user1);
}

int32_t BinarizeGray(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    return tableKernel<kernel::thresholdTable, 1>(
        dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride, user1);
}

int32_t BinarizeRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    const int32_t* param = kernel::paramsOf<int32_t>(user1);
    if (!param || srcBytesPerPixel < 3 || dstBytesPerPixel < 3)
        return 1;
    const int32_t limit = kernel::binarizeLimit(*param);
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride);
    for (int32_t i = 0; i < walk.height; ++i)
        kernel::binarizeRgbRow(walk.srcRow(i), walk.dstRow(i), walk.width, limit, srcBytesPerPixel, dstBytesPerPixel);
    return 1;
}

void kernel::binarizeRgbRow(const uint8_t* s, uint8_t* d, int32_t width, int32_t limit, int srcBpp, int dstBpp)
{
    int32_t j = 0;
#if NX_TONE_X86
    const bool avx2 = useSimd(SimdLevel::Avx2);
    if (srcBpp == 3 && dstBpp == 3 && avx2)
        j = binarizeRowAvx2(s, d, width, limit);
#endif
    s += ptrdiff_t(j) * srcBpp;
    d += ptrdiff_t(j) * dstBpp;
    for (; j < width; ++j, s += srcBpp, d += dstBpp) {
        const uint8_t v = 30 * s[2] + 59 * s[1] + 11 * s[0] > limit ? 255 : 0;
        d[0] = d[1] = d[2] = v;
    }
}
