// AVX2 helpers shared by the colour kernels' vector forms: eight blue-green-red pixels in and out of
// two 128-bit lanes of twelve bytes each. x86 only; callers use them from AVX2 code.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace kernel {

// Pixels 0-3 in the low lane, 4-7 in the high lane, bytes 0-11 of each. Reads 28 bytes: four past the
// eighth pixel.
__attribute__((target("avx2"))) inline __m256i loadBgr8(const uint8_t* p)
{
    return _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Pixels laid out as loadBgr8 returns them; writes exactly 24 bytes (nothing past the eighth pixel, so
// a kernel running in place never spoils a pixel it has not read yet).
__attribute__((target("avx2"))) inline void storeBgr8(uint8_t* p, __m256i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v)); // bytes 12-15 rewritten next
    const __m128i high = _mm256_extracti128_si256(v, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 12), high);
    const int32_t last = _mm_extract_epi32(high, 2);
    std::memcpy(p + 20, &last, 4);
}

// Per lane: four pixels of 32 bits (blue, green, red, 0) back to twelve packed bytes.
__attribute__((target("avx2"))) inline __m256i packBgr8(__m256i pixels)
{
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    return _mm256_shuffle_epi8(pixels, _mm256_set_m128i(pack, pack));
}

} // namespace kernel
