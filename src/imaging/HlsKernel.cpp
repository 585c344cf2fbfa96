// AdjustHls: per pixel, blue-green-red to hue (0..359, 64 steps per 60 degrees), lightness and
// saturation in integers, offsets added, and back.
//
// The scalar form is the reference: the two divisions by per-pixel values use exact reciprocal tables and
// the arithmetic after the offsets is 64-bit, so no setting can overflow it. The vector forms work in
// 16-bit lanes; they reduce the offsets first, to values that give the same result for every pixel yet
// keep every intermediate within 16 bits:
//  - saturation offset held to +-512: beyond that every pixel is grey (or fully saturated) either way;
//  - lightness offset held to +-256, so the adjusted lightness L stays within -256..511 (L << 6 fits): a
//    coloured pixel at lightness 256 or above has m1 and m2 both at 256 or above (every channel 255), at
//    -1 or below both at 0 or below (every channel 0), and a grey pixel is the clamped lightness;
//  - the hue offset folded into each channel's position offset K: a position x = H + K below 0 gives m1
//    like a remainder that is negative or 0, and from 0 on only x mod 360 matters, so K >= 0 is taken mod
//    360 and K <= -360 (every position negative) becomes -360.
#include "imaging/KernelRows.h"
#include "imaging/KernelSupport.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
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
    const int32_t mx = std::max({ r, g, b }), mn = std::min({ r, g, b });
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

// A channel's hue position offset (hue offset plus the channel's shift), reduced as the file comment says.
int16_t positionOffset(int64_t k)
{
    if (k >= 0)
        return int16_t(k % 360);
    return int16_t(std::max<int64_t>(k, -360));
}

#if NX_HLS_X86

struct HlsConstants {
    int16_t offS, offL, hueR, hueG, hueB;
};

// The AVX2 and SSE4.1 forms.
#define NX_HLS_WIDTH 256
#include "imaging/HlsLanes.inc"
#define NX_HLS_WIDTH 128
#include "imaging/HlsLanes.inc"

// The AVX-512 form: the same integers as the AVX2 form, 32 pixels at a time, with byte permutes for the
// blue-green-red layout and mask registers for the choices.
#define NX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized" // GCC 12's AVX-512 headers start from undefined vectors
#endif

struct Permutes512 {
    alignas(64) uint8_t planes[3][64]; // pixel k's channel c to 16-bit lane k, from bytes 0-63 and 32-95
    alignas(64) uint8_t out[2][64]; // bytes 0-63 and 64-95 of 96 from blue, green (64 bytes) and red
    Permutes512()
    {
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 32; ++k) {
                const int p = 3 * k + c;
                planes[c][2 * k] = uint8_t(p < 64 ? p : 64 + p - 32);
                planes[c][2 * k + 1] = 0;
            }
        for (int p = 0; p < 96; ++p) {
            const int k = p / 3, c = p % 3;
            out[p / 64][p % 64] = uint8_t(c == 0 ? k : c == 1 ? 32 + k : 64 + k);
        }
    }
};

// As the narrower forms' divFloor, 32 lanes; 0 / 0 gives 0 here too.
NX_AVX512 inline __m512i divFloor32(__m512i n, __m512i d)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i low = _mm512_cvttps_epi32(_mm512_div_ps(
        _mm512_cvtepi32_ps(_mm512_unpacklo_epi16(n, zero)), _mm512_cvtepi32_ps(_mm512_unpacklo_epi16(d, zero))));
    const __m512i high = _mm512_cvttps_epi32(_mm512_div_ps(
        _mm512_cvtepi32_ps(_mm512_unpackhi_epi16(n, zero)), _mm512_cvtepi32_ps(_mm512_unpackhi_epi16(d, zero))));
    return _mm512_packus_epi32(low, high);
}

NX_AVX512 inline __m512i channel32(__m512i H, __m512i k, __m512i m1, __m512i span)
{
    __m512i y = _mm512_add_epi16(H, k);
    y = _mm512_min_epu16(y, _mm512_sub_epi16(y, _mm512_set1_epi16(360)));
    __m512i w = _mm512_min_epu16(y, _mm512_subs_epu16(_mm512_set1_epi16(240), y));
    const __mmask32 top = _mm512_cmplt_epu16_mask(_mm512_sub_epi16(y, _mm512_set1_epi16(60)), _mm512_set1_epi16(120));
    w = _mm512_mask_mov_epi16(w, top, _mm512_set1_epi16(64));
    return _mm512_add_epi16(m1, _mm512_srai_epi16(_mm512_mullo_epi16(span, w), 6));
}

NX_AVX512 inline __m256i bytesOf(__m512i v)
{
    return _mm512_cvtusepi16_epi8(_mm512_max_epi16(v, _mm512_setzero_si512()));
}

// Thirty-two pixels: reads and writes exactly 96 bytes.
NX_AVX512 inline void pixels32(const uint8_t* s, uint8_t* d, const HlsConstants& c, const Permutes512& pm)
{
    const __m512i lowBytes = _mm512_loadu_si512(s), highBytes = _mm512_loadu_si512(s + 32);
    const __mmask64 even = 0x5555555555555555ull;
    auto plane = [&](int ch) NX_AVX512 {
        return _mm512_maskz_permutex2var_epi8(even, lowBytes, _mm512_load_si512(pm.planes[ch]), highBytes);
    };
    const __m512i b = plane(0), g = plane(1), r = plane(2);
    const __m512i zero = _mm512_setzero_si512();
    const __m512i mx = _mm512_max_epi16(r, _mm512_max_epi16(g, b));
    const __m512i mn = _mm512_min_epi16(r, _mm512_min_epi16(g, b));
    const __m512i sum = _mm512_add_epi16(mx, mn), delta = _mm512_sub_epi16(mx, mn);
    const __m512i den = _mm512_min_epi16(_mm512_sub_epi16(_mm512_set1_epi16(510), sum), sum);
    __m512i S = divFloor32(_mm512_sub_epi16(_mm512_slli_epi16(delta, 8), delta), den);
    const __mmask32 isR = _mm512_cmpeq_epi16_mask(r, mx);
    const __mmask32 isG = _mm512_cmpeq_epi16_mask(g, mx);
    __m512i num = _mm512_mask_blend_epi16(isG, _mm512_sub_epi16(r, g), _mm512_sub_epi16(b, r));
    num = _mm512_mask_blend_epi16(isR, num, _mm512_sub_epi16(g, b));
    __m512i base = _mm512_mask_blend_epi16(isG, _mm512_set1_epi16(240), _mm512_set1_epi16(120));
    base = _mm512_maskz_mov_epi16(~isR, base);
    __m512i q = divFloor32(_mm512_slli_epi16(_mm512_abs_epi16(num), 6), delta);
    q = _mm512_mask_sub_epi16(q, _mm512_cmplt_epi16_mask(num, zero), zero, q);
    __m512i H = _mm512_add_epi16(q, base);
    H = _mm512_mask_add_epi16(H, _mm512_cmplt_epi16_mask(H, zero), H, _mm512_set1_epi16(360));

    S = _mm512_add_epi16(S, _mm512_set1_epi16(c.offS));
    const __mmask32 coloured = _mm512_cmpgt_epi16_mask(S, zero);
    S = _mm512_min_epi16(S, _mm512_set1_epi16(255));
    const __m512i L = _mm512_add_epi16(_mm512_srli_epi16(sum, 1), _mm512_set1_epi16(c.offL));
    const __m512i L6 = _mm512_slli_epi16(L, 6), S4 = _mm512_slli_epi16(S, 2);
    const __m512i aboveDark = _mm512_mulhi_epi16(L6, _mm512_sub_epi16(S4, _mm512_set1_epi16(4)));
    const __m512i aboveLight = _mm512_sub_epi16(S, _mm512_mulhi_epi16(L6, S4));
    const __m512i above = _mm512_maskz_mov_epi16(coloured,
        _mm512_mask_blend_epi16(_mm512_cmplt_epi16_mask(L, _mm512_set1_epi16(128)), aboveLight, aboveDark));
    const __m512i m1 = _mm512_sub_epi16(L, above);
    const __m512i span = _mm512_add_epi16(above, above);

    const __m256i outR = bytesOf(channel32(H, _mm512_set1_epi16(c.hueR), m1, span));
    const __m256i outG = bytesOf(channel32(H, _mm512_set1_epi16(c.hueG), m1, span));
    const __m256i outB = bytesOf(channel32(H, _mm512_set1_epi16(c.hueB), m1, span));
    const __m512i bg = _mm512_inserti64x4(_mm512_zextsi256_si512(outB), outG, 1);
    const __m512i rr = _mm512_zextsi256_si512(outR);
    _mm512_storeu_si512(d, _mm512_permutex2var_epi8(bg, _mm512_load_si512(pm.out[0]), rr));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 64),
        _mm512_castsi512_si256(_mm512_permutex2var_epi8(bg, _mm512_load_si512(pm.out[1]), rr)));
}

// The whole row, the last pixels through a small buffer.
NX_AVX512 void rowAvx512(const uint8_t* s, uint8_t* d, int32_t width, const HlsConstants& c)
{
    static const Permutes512 pm;
    int32_t j = 0;
    for (; j + 32 <= width; j += 32)
        pixels32(s + ptrdiff_t(j) * 3, d + ptrdiff_t(j) * 3, c, pm);
    if (j < width) {
        const size_t bytes = size_t(width - j) * 3;
        alignas(64) uint8_t tail[96] = {};
        std::memcpy(tail, s + ptrdiff_t(j) * 3, bytes);
        pixels32(tail, tail, c, pm);
        std::memcpy(d + ptrdiff_t(j) * 3, tail, bytes);
    }
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif

} // namespace

namespace kernel {

HlsRow::HlsRow(const HlsData& params)
    : m_Params(params)
{
    m_OffS = int16_t(std::clamp(params.S, -512, 512));
    m_OffL = int16_t(std::clamp(params.L, -256, 256));
    m_HueR = positionOffset(int64_t(params.H) + 120);
    m_HueG = positionOffset(int64_t(params.H));
    m_HueB = positionOffset(int64_t(params.H) - 120);
    m_Sse41 = useSimd(SimdLevel::Sse41);
    m_Avx2 = useSimd(SimdLevel::Avx2);
    m_Avx512 = useSimd(SimdLevel::Avx512Vbmi);
    reciprocals();
}

void HlsRow::run(const uint8_t* s, uint8_t* d, int32_t width, int srcBpp, int dstBpp) const
{
#if NX_HLS_X86
    if ((m_Avx512 || m_Avx2 || m_Sse41) && srcBpp == 3 && dstBpp == 3) {
        const HlsConstants c { m_OffS, m_OffL, m_HueR, m_HueG, m_HueB };
        if (m_Avx512)
            rowAvx512(s, d, width, c);
        else if (m_Avx2)
            avx2::row(s, d, width, c);
        else
            sse41::row(s, d, width, c);
        return;
    }
#endif
    const Reciprocals& rc = reciprocals();
    for (int32_t j = 0; j < width; ++j, s += srcBpp, d += dstBpp)
        adjustPixel(s, d, m_Params, rc);
}

} // namespace kernel

int32_t AdjustHls(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void*)
{
    const HlsData* hls = kernel::paramsOf<HlsData>(user1);
    if (!hls || dstBytesPerPixel < 3 || srcBytesPerPixel < 3)
        return 1;
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride);
    const kernel::HlsRow row(*hls);
    for (int32_t i = 0; i < walk.height; ++i)
        row.run(walk.srcRow(i), walk.dstRow(i), walk.width, srcBytesPerPixel, dstBytesPerPixel);
    return 1;
}
