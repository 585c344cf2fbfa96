// AdjustHls: per pixel, blue-green-red to hue (0..359, 64 steps per 60 degrees), lightness and
// saturation in integers, offsets added, and back. The two divisions by per-pixel values use exact
// reciprocal tables; arithmetic after the offsets is 64-bit so no setting can overflow it.
#include "imaging/KernelSupport.h"
#include "imaging/Kernels.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include "imaging/KernelAvx2.h"
#define NX_HLS_X86 1
#endif

namespace {

// recip[d] = ceil(2^32 / d): (n * recip[d]) >> 32 == n / d for every n < 2^23 and d <= 510.
struct Reciprocals {
    uint64_t recip[511];
    Reciprocals()
    {
        recip[0] = 0;
        for (uint64_t d = 1; d < 511; ++d)
            recip[d] = ((uint64_t(1) << 32) + d - 1) / d;
    }
    int32_t div(uint32_t n, uint32_t d) const { return int32_t((n * recip[d]) >> 32); }
    // Quotient rounded toward zero for a signed numerator.
    int32_t divSigned(int32_t n, uint32_t d) const { return n < 0 ? -div(uint32_t(-n), d) : div(uint32_t(n), d); }
};

const Reciprocals& reciprocals()
{
    static const Reciprocals table;
    return table;
}

inline uint8_t clampByte(int64_t v)
{
    return uint8_t(std::clamp<int64_t>(v, 0, 255));
}

// One channel from its hue position h (remainder with the sign of the dividend, so it may be negative).
inline uint8_t channel(int64_t h, int64_t m1, int64_t m2)
{
    if (h < 0)
        return clampByte(m1);
    if (h < 60)
        return clampByte(m1 + (((m2 - m1) * h) >> 6));
    if (h < 180)
        return clampByte(m2);
    if (h < 240)
        return clampByte(m1 + (((m2 - m1) * (240 - h)) >> 6));
    return clampByte(m1);
}

inline void adjustPixel(const uint8_t* s, uint8_t* d, const HlsData& hls, const Reciprocals& rc)
{
    const int32_t b = s[0], g = s[1], r = s[2];
    const int32_t mx = std::max({r, g, b}), mn = std::min({r, g, b});
    int64_t L = (mx + mn) >> 1, S = 0, H = 0;
    if (mx != mn) {
        const int32_t delta = mx - mn;
        S = rc.div(uint32_t(delta * 255), uint32_t(L < 128 ? mx + mn : 510 - mx - mn));
        if (r == mx)
            H = rc.divSigned((g - b) * 64, uint32_t(delta));
        else if (g == mx)
            H = rc.divSigned((b - r) * 64, uint32_t(delta)) + 120;
        else
            H = rc.divSigned((r - g) * 64, uint32_t(delta)) + 240;
        if (H < 0)
            H += 360;
        else if (H >= 360)
            H -= 360;
    }
    S += hls.S;
    H += hls.H;
    L += hls.L;
    if (S <= 0) {
        d[0] = d[1] = d[2] = clampByte(L);
        return;
    }
    S = std::min<int64_t>(S, 255);
    const int64_t m2 = L < 128 ? (L * (S + 255)) >> 8 : S + L - ((S * L) >> 8);
    const int64_t m1 = 2 * L - m2;
    d[2] = channel((H + 120) % 360, m1, m2);
    d[1] = channel(H % 360, m1, m2);
    d[0] = channel((H - 120) % 360, m1, m2);
}


#if NX_HLS_X86
// Offsets reduced so that 32-bit lanes cannot overflow, without changing any result: a saturation offset
// beyond +-512 and a lightness offset beyond +-100000 saturate every pixel alike, and a hue offset only
// matters modulo 360 while the sign of every hue position stays the same.
HlsData laneSafe(const HlsData& p)
{
    HlsData q = p;
    q.S = std::clamp(p.S, -512, 512);
    q.L = std::clamp(p.L, -100000, 100000);
    if (p.H > 720)
        q.H = 360 + p.H % 360;  // every position stays >= 0
    else if (p.H < -720)
        q.H = -720 + (p.H + 720) % 360;  // every position stays < 0
    return q;
}

#pragma GCC push_options
#pragma GCC target("avx2")

// n / d rounded down, for 0 <= n, 1 <= d <= 510 and n / d <= 256 (saturation and hue both stay there).
// The single-precision quotient is correctly rounded: its error, below 2^-15, cannot carry it across an
// integer, since a quotient that is not whole lies at least 1/510 below the next one.
inline __m256i divFloor(__m256i n, __m256i d)
{
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(n), _mm256_cvtepi32_ps(d)));
}

// x % 360 with the sign of x, for |x| < 1440 (hue positions after the reduced offset stay within 1200).
inline __m256i rem360(__m256i x)
{
    __m256i a = _mm256_abs_epi32(x);
    a = _mm256_sub_epi32(a, _mm256_and_si256(_mm256_cmpgt_epi32(a, _mm256_set1_epi32(719)), _mm256_set1_epi32(720)));
    a = _mm256_sub_epi32(a, _mm256_and_si256(_mm256_cmpgt_epi32(a, _mm256_set1_epi32(359)), _mm256_set1_epi32(360)));
    return _mm256_sign_epi32(a, x);
}

inline __m256i clamp255(__m256i v)
{
    return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// m1 + (((m2 - m1) * w) >> 6) with the weight w of hue position h: 0 below 0 and from 240, h up to 60,
// 64 (all of m2) up to 180, 240 - h up to 240.
inline __m256i channelOf(__m256i h, __m256i m1, __m256i m2)
{
    const __m256i below60 = _mm256_cmpgt_epi32(_mm256_set1_epi32(60), h);
    const __m256i below180 = _mm256_cmpgt_epi32(_mm256_set1_epi32(180), h);
    const __m256i inside = _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), h),
                                               _mm256_cmpgt_epi32(_mm256_set1_epi32(240), h));
    __m256i w = _mm256_blendv_epi8(_mm256_sub_epi32(_mm256_set1_epi32(240), h), _mm256_set1_epi32(64), below180);
    w = _mm256_and_si256(_mm256_blendv_epi8(w, h, below60), inside);
    return clamp255(_mm256_add_epi32(m1, _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(m2, m1), w), 6)));
}

// Eight pixels at a time in 32-bit lanes; returns how many pixels of the row were done. Reads four bytes
// past the eighth pixel, so it stops while two more pixels follow.
int32_t rowAvx2(const uint8_t* s, uint8_t* d, int32_t width, const HlsData& p)
{
    const __m128i pickB = _mm_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1);
    const __m128i pickG = _mm_setr_epi8(1, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1);
    const __m128i pickR = _mm_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
    const __m256i mB = _mm256_set_m128i(pickB, pickB), mG = _mm256_set_m128i(pickG, pickG);
    const __m256i mR = _mm256_set_m128i(pickR, pickR);
    const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi32(1);
    const __m256i k128 = _mm256_set1_epi32(128), k255 = _mm256_set1_epi32(255), k360 = _mm256_set1_epi32(360);
    const __m256i offH = _mm256_set1_epi32(p.H), offL = _mm256_set1_epi32(p.L), offS = _mm256_set1_epi32(p.S);
    const __m256i k120 = _mm256_set1_epi32(120);
    int32_t j = 0;
    for (; j + 10 <= width; j += 8) {
        const __m256i v = kernel::loadBgr8(s + ptrdiff_t(j) * 3);
        const __m256i b = _mm256_shuffle_epi8(v, mB), g = _mm256_shuffle_epi8(v, mG), r = _mm256_shuffle_epi8(v, mR);
        const __m256i mx = _mm256_max_epi32(r, _mm256_max_epi32(g, b));
        const __m256i mn = _mm256_min_epi32(r, _mm256_min_epi32(g, b));
        const __m256i sum = _mm256_add_epi32(mx, mn), delta = _mm256_sub_epi32(mx, mn);
        __m256i L = _mm256_srli_epi32(sum, 1);
        const __m256i grey = _mm256_cmpeq_epi32(delta, zero);
        const __m256i dark = _mm256_cmpgt_epi32(k128, L);
        __m256i den = _mm256_blendv_epi8(_mm256_sub_epi32(_mm256_set1_epi32(510), sum), sum, dark);
        den = _mm256_max_epi32(den, one);  // only grey pixels have 0 here, and their results are replaced
        const __m256i safeDelta = _mm256_max_epi32(delta, one);
        __m256i S = _mm256_andnot_si256(grey, divFloor(_mm256_sub_epi32(_mm256_slli_epi32(delta, 8), delta), den));
        // Hue: which channel is the maximum, red checked first, then green.
        const __m256i isR = _mm256_cmpeq_epi32(r, mx);
        const __m256i isG = _mm256_andnot_si256(isR, _mm256_cmpeq_epi32(g, mx));
        __m256i num = _mm256_sub_epi32(r, g), base = _mm256_set1_epi32(240);
        num = _mm256_blendv_epi8(num, _mm256_sub_epi32(b, r), isG);
        base = _mm256_blendv_epi8(base, k120, isG);
        num = _mm256_blendv_epi8(num, _mm256_sub_epi32(g, b), isR);
        base = _mm256_andnot_si256(isR, base);
        num = _mm256_slli_epi32(num, 6);
        __m256i H = _mm256_add_epi32(_mm256_sign_epi32(divFloor(_mm256_abs_epi32(num), safeDelta), num), base);
        H = _mm256_add_epi32(H, _mm256_and_si256(_mm256_cmpgt_epi32(zero, H), k360));
        H = _mm256_sub_epi32(H, _mm256_and_si256(_mm256_cmpgt_epi32(H, _mm256_set1_epi32(359)), k360));
        H = _mm256_andnot_si256(grey, H);
        S = _mm256_add_epi32(S, offS);
        H = _mm256_add_epi32(H, offH);
        L = _mm256_add_epi32(L, offL);
        const __m256i coloured = _mm256_cmpgt_epi32(S, zero);
        S = _mm256_min_epi32(S, k255);
        const __m256i m2dark = _mm256_srai_epi32(_mm256_mullo_epi32(L, _mm256_add_epi32(S, k255)), 8);
        const __m256i m2light = _mm256_sub_epi32(_mm256_add_epi32(S, L), _mm256_srai_epi32(_mm256_mullo_epi32(S, L), 8));
        const __m256i m2 = _mm256_blendv_epi8(m2light, m2dark, _mm256_cmpgt_epi32(k128, L));
        const __m256i m1 = _mm256_sub_epi32(_mm256_add_epi32(L, L), m2);
        const __m256i greyL = clamp255(L);
        const __m256i outR = _mm256_blendv_epi8(greyL, channelOf(rem360(_mm256_add_epi32(H, k120)), m1, m2), coloured);
        const __m256i outG = _mm256_blendv_epi8(greyL, channelOf(rem360(H), m1, m2), coloured);
        const __m256i outB = _mm256_blendv_epi8(greyL, channelOf(rem360(_mm256_sub_epi32(H, k120)), m1, m2), coloured);
        const __m256i bgr = _mm256_or_si256(outB, _mm256_or_si256(_mm256_slli_epi32(outG, 8), _mm256_slli_epi32(outR, 16)));
        kernel::storeBgr8(d + ptrdiff_t(j) * 3, kernel::packBgr8(bgr));
    }
    return j;
}

#pragma GCC pop_options
#endif

}  // namespace

int32_t AdjustHls(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                  uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                  void* user1, void*)
{
    const HlsData* hls = kernel::paramsOf<HlsData>(user1);
    if (!hls || dstBytesPerPixel < 3 || srcBytesPerPixel < 3)
        return 1;
    const Reciprocals& rc = reciprocals();
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride,
                               srcStride);
#if NX_HLS_X86
    const bool avx2 = srcBytesPerPixel == 3 && dstBytesPerPixel == 3 && kernel::useSimd(kernel::SimdLevel::Avx2);
    const HlsData safe = laneSafe(*hls);
#endif
    for (int32_t i = 0; i < walk.height; ++i) {
        const uint8_t* s = walk.srcRow(i);
        uint8_t* d = walk.dstRow(i);
        int32_t j = 0;
#if NX_HLS_X86
        if (avx2)
            j = rowAvx2(s, d, walk.width, safe);
#endif
        s += ptrdiff_t(j) * srcBytesPerPixel;
        d += ptrdiff_t(j) * dstBytesPerPixel;
        for (; j < walk.width; ++j, s += srcBytesPerPixel, d += dstBytesPerPixel)
            adjustPixel(s, d, *hls, rc);
    }
    return 1;
}
