#include "files/JpegDct.h"

#include <algorithm>
#include <cmath>

#include "files/JpegTables.h"
#include "imaging/KernelSupport.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define NX_JPEG_X86 1
#endif

namespace jpeg {
namespace {

constexpr double kAngleStep = 0.196349540625; // the step our files were always made with, not quite pi / 16
constexpr double kAlpha0 = 1.0 / 1.41421356;

double alpha(int k)
{
    return k == 0 ? kAlpha0 : 1.0;
}

// The quotient trunc(|value| / Q) unless values within the guard could give another one, that is
// unless a non-zero multiple of Q lies within the guard of |value| (0 is no boundary: everything
// in (-Q, Q) quantises to 0). Works on |value| / Q and the guard / Q.
inline bool settledQuotient(float value, float recip, float margin, float& t)
{
    const float q = std::fabs(value) * recip;
    const float low = std::floor(std::max(q - margin, 0.0f));
    t = std::floor(q + margin);
    return low == t;
}

#ifdef NX_JPEG_X86
// One pass of the transform over eight vectors of samples n = 0..7, by the cosines' symmetries: frequency k
// of n and of 7 - n share a cosine up to the sign (-1)^k, so even frequencies need the sums of mirrored
// samples and odd ones their differences, and the even half folds once more. Half the products of the
// plain sum; the angle step is a hair off pi / 16, which moves the result by some 1e-5 at most, far inside
// the guard.
#define K(f, n) _mm256_broadcast_ss(&k[f][n])
__attribute__((target("avx2,fma"))) inline void transform8(const __m256* in, const float (*k)[8], __m256* out)
{
    __m256 s[4], d[4];
    for (int n = 0; n < 4; ++n) {
        s[n] = _mm256_add_ps(in[n], in[7 - n]);
        d[n] = _mm256_sub_ps(in[n], in[7 - n]);
    }
    const __m256 a0 = _mm256_add_ps(s[0], s[3]), a1 = _mm256_add_ps(s[1], s[2]);
    const __m256 b0 = _mm256_sub_ps(s[0], s[3]), b1 = _mm256_sub_ps(s[1], s[2]);
    out[0] = _mm256_fmadd_ps(K(0, 0), a0, _mm256_mul_ps(K(0, 1), a1));
    out[4] = _mm256_fmadd_ps(K(4, 0), a0, _mm256_mul_ps(K(4, 1), a1));
    out[2] = _mm256_fmadd_ps(K(2, 0), b0, _mm256_mul_ps(K(2, 1), b1));
    out[6] = _mm256_fmadd_ps(K(6, 0), b0, _mm256_mul_ps(K(6, 1), b1));
    for (int f = 1; f < 8; f += 2)
        out[f] = _mm256_fmadd_ps(K(f, 0), d[0],
            _mm256_fmadd_ps(K(f, 1), d[1], _mm256_fmadd_ps(K(f, 2), d[2], _mm256_mul_ps(K(f, 3), d[3]))));
}
#undef K

// Returns the coefficients the guard could not settle; nonZero gets the non-zero ones.
__attribute__((target("avx2,fma"))) uint64_t quantizeAvx2(const int16_t* block, ptrdiff_t stride,
    const float (*scaled)[8], const float* recip, const float* margin, int16_t* out, uint64_t& nonZero)
{
    __m256 rows[8];
    for (int y = 0; y < 8; ++y)
        rows[y] = _mm256_cvtepi32_ps(
            _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + y * stride))));
    // Vertical pass: p[u] holds frequency u of every column x.
    __m256 p[8];
    transform8(rows, scaled, p);
    // Transpose so that c[x] holds column x over the frequencies u.
    const __m256 t0 = _mm256_unpacklo_ps(p[0], p[1]), t1 = _mm256_unpackhi_ps(p[0], p[1]);
    const __m256 t2 = _mm256_unpacklo_ps(p[2], p[3]), t3 = _mm256_unpackhi_ps(p[2], p[3]);
    const __m256 t4 = _mm256_unpacklo_ps(p[4], p[5]), t5 = _mm256_unpackhi_ps(p[4], p[5]);
    const __m256 t6 = _mm256_unpacklo_ps(p[6], p[7]), t7 = _mm256_unpackhi_ps(p[6], p[7]);
    const __m256 s0 = _mm256_shuffle_ps(t0, t2, 0x44), s1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 s2 = _mm256_shuffle_ps(t1, t3, 0x44), s3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 s4 = _mm256_shuffle_ps(t4, t6, 0x44), s5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 s6 = _mm256_shuffle_ps(t5, t7, 0x44), s7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    __m256 c[8];
    c[0] = _mm256_permute2f128_ps(s0, s4, 0x20);
    c[1] = _mm256_permute2f128_ps(s1, s5, 0x20);
    c[2] = _mm256_permute2f128_ps(s2, s6, 0x20);
    c[3] = _mm256_permute2f128_ps(s3, s7, 0x20);
    c[4] = _mm256_permute2f128_ps(s0, s4, 0x31);
    c[5] = _mm256_permute2f128_ps(s1, s5, 0x31);
    c[6] = _mm256_permute2f128_ps(s2, s6, 0x31);
    c[7] = _mm256_permute2f128_ps(s3, s7, 0x31);

    // Horizontal pass, guard and quantisation, one horizontal frequency v (all u) at a time.
    const __m256 signBit = _mm256_set1_ps(-0.0f);
    const __m256 zero = _mm256_setzero_ps();
    uint64_t ambiguous = 0;
    __m256i quotients[8];
    __m256 sums[8];
    transform8(c, scaled, sums);
    // The quotient truncated, unless a non-zero multiple of Q lies within the guard: then the nearest
    // whole quotient is not 0 and closer than the margin (the settledQuotient test, fewer steps).
    for (int v = 0; v < 8; ++v) {
        const __m256 q = _mm256_mul_ps(sums[v], _mm256_load_ps(recip + 8 * v));
        const __m256 nearest = _mm256_round_ps(q, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        const __m256 distance = _mm256_andnot_ps(signBit, _mm256_sub_ps(q, nearest));
        const __m256 open = _mm256_and_ps(_mm256_cmp_ps(distance, _mm256_load_ps(margin + 8 * v), _CMP_LT_OQ),
            _mm256_cmp_ps(nearest, zero, _CMP_NEQ_OQ));
        ambiguous |= uint64_t(_mm256_movemask_ps(open)) << (8 * v);
        quotients[v] = _mm256_cvttps_epi32(q);
    }
    __m256i packed[4];
    for (int v = 0; v < 8; v += 2) {
        packed[v / 2] = _mm256_permute4x64_epi64(_mm256_packs_epi32(quotients[v], quotients[v + 1]), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * v), packed[v / 2]);
    }
    // Bytes saturate but stay non-zero: one bit per coefficient, columns in order.
    const __m256i zeroBytes = _mm256_setzero_si256();
    const __m256i low4 = _mm256_permute4x64_epi64(_mm256_packs_epi16(packed[0], packed[1]), 0xD8);
    const __m256i high4 = _mm256_permute4x64_epi64(_mm256_packs_epi16(packed[2], packed[3]), 0xD8);
    const uint32_t zeroLow = uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low4, zeroBytes)));
    const uint32_t zeroHigh = uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high4, zeroBytes)));
    nonZero = ~(uint64_t(zeroHigh) << 32 | zeroLow);
    return ambiguous;
}
#endif

} // namespace

BlockTransform::BlockTransform()
    : BlockTransform(ScaledQuantTables(kDefaultQuality))
{
}

BlockTransform::BlockTransform(const QuantTables& quant)
{
    for (int k = 0; k < 8; ++k)
        for (int n = 0; n < 8; ++n) {
            m_Cos[k][n] = std::cos((2 * n + 1) * k * kAngleStep);
            m_Scaled[k][n] = float(0.5 * alpha(k) * m_Cos[k][n]);
        }
    const uint8_t* tables[2] = { quant.luma, quant.chroma };
    for (int t = 0; t < 2; ++t)
        for (int u = 0; u < 8; ++u)
            for (int v = 0; v < 8; ++v) {
                const int q = tables[t][u * 8 + v];
                const int i = v * 8 + u;
                m_Quant[t][i] = q;
                m_Recip[t][i] = 1.0f / float(q);
                // The guard's own product |value| / Q is off by at most 2048 / Q * 2^-23: slack covers it.
                m_Margin[t][i] = (kGuard + 0.001f) / float(q);
            }
    m_Fast = HasFastPath() && kernel::useSimd(kernel::SimdLevel::Avx2); // tests lower the cap to compare
}

bool BlockTransform::HasFastPath()
{
#ifdef NX_JPEG_X86
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

int32_t BlockTransform::DirectCoefficient(const int16_t* block, ptrdiff_t stride, int u, int v) const
{
    double sum = 0.0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            sum += m_Cos[u][y] * m_Cos[v][x] * block[y * stride + x];
    return int32_t(0.25 * alpha(u) * alpha(v) * sum);
}

uint64_t BlockTransform::settleAmbiguous(
    const int16_t* block, ptrdiff_t stride, int table, uint64_t ambiguous, int16_t* out, uint64_t nonZero) const
{
    while (ambiguous) {
        const int i = __builtin_ctzll(ambiguous);
        ambiguous &= ambiguous - 1;
        out[i] = int16_t(DirectCoefficient(block, stride, i % 8, i / 8) / m_Quant[table][i]);
        nonZero = (nonZero & ~(uint64_t(1) << i)) | (uint64_t(out[i] != 0) << i);
    }
    return nonZero;
}

uint64_t BlockTransform::Quantize(const int16_t* block, ptrdiff_t stride, int table, int16_t* out) const
{
#ifdef NX_JPEG_X86
    if (m_Fast) {
        uint64_t nonZero = 0;
        const uint64_t ambiguous = quantizeAvx2(block, stride, m_Scaled, m_Recip[table], m_Margin[table], out, nonZero);
        return ambiguous ? settleAmbiguous(block, stride, table, ambiguous, out, nonZero) : nonZero;
    }
#endif
    return QuantizeGeneric(block, stride, table, out);
}

uint64_t BlockTransform::QuantizeGeneric(const int16_t* block, ptrdiff_t stride, int table, int16_t* out) const
{
    float p[8][8]; // [u][x]
    for (int u = 0; u < 8; ++u)
        for (int x = 0; x < 8; ++x) {
            float acc = 0.0f;
            for (int y = 0; y < 8; ++y)
                acc += m_Scaled[u][y] * float(block[y * stride + x]);
            p[u][x] = acc;
        }
    uint64_t ambiguous = 0, nonZero = 0;
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            float acc = 0.0f;
            for (int x = 0; x < 8; ++x)
                acc += m_Scaled[v][x] * p[u][x];
            const int i = v * 8 + u;
            float t = 0.0f;
            if (!settledQuotient(acc, m_Recip[table][i], m_Margin[table][i], t))
                ambiguous |= uint64_t(1) << i;
            out[i] = int16_t(acc < 0.0f ? -t : t);
            nonZero |= uint64_t(out[i] != 0) << i;
        }
    return ambiguous ? settleAmbiguous(block, stride, table, ambiguous, out, nonZero) : nonZero;
}

} // namespace jpeg
