// Slow, plainly written references for the JPEG encoder's tests: the direct DCT with truncating
// quantisation, and the colour conversion in extended precision.
#pragma once

#include <cmath>
#include <cstdint>

#include "files/JpegTables.h"

namespace jpegtest {

// The direct formula, evaluated for all 64 coefficients side by side (so that it vectorises across
// coefficients) but with each coefficient's products and sums rounded exactly as written:
//   trunc(0.25 a(u) a(v) sum over y, then x, of (cos[u][y] cos[v][x]) f(y, x)).
class DirectReference {
public:
    DirectReference()
    {
        double c[8][8];
        for (int k = 0; k < 8; ++k)
            for (int n = 0; n < 8; ++n)
                c[k][n] = std::cos((2 * n + 1) * k * 0.196349540625);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                for (int u = 0; u < 8; ++u)
                    for (int v = 0; v < 8; ++v)
                        m_Products[y * 8 + x][u * 8 + v] = c[u][y] * c[v][x];
        for (int u = 0; u < 8; ++u)
            for (int v = 0; v < 8; ++v)
                m_Scale[u * 8 + v] = 0.25 * (u == 0 ? 1.0 / 1.41421356 : 1.0) * (v == 0 ? 1.0 / 1.41421356 : 1.0);
    }

    // Quantised coefficients column by column, as the transform hands them over, for both tables.
    void quantize(const int16_t* block, int16_t (*out)[64]) const
    {
        double sum[64] = {};
        for (int p = 0; p < 64; ++p) {
            const double f = block[p];
            for (int i = 0; i < 64; ++i)
                sum[i] += m_Products[p][i] * f;
        }
        for (int table = 0; table < 2; ++table) {
            const uint8_t* q = table == 0 ? jpeg::kLumaQuant : jpeg::kChromaQuant;
            for (int u = 0; u < 8; ++u)
                for (int v = 0; v < 8; ++v) {
                    const int i = u * 8 + v;
                    out[table][v * 8 + u] = int16_t(int32_t(m_Scale[i] * sum[i]) / q[i]);
                }
        }
    }

    int32_t coefficient(const int16_t* block, int u, int v) const
    {
        double sum = 0.0;
        for (int p = 0; p < 64; ++p)
            sum += m_Products[p][u * 8 + v] * block[p];
        return int32_t(m_Scale[u * 8 + v] * sum);
    }

private:
    double m_Products[64][64];
    double m_Scale[64];
};

inline const DirectReference& reference()
{
    static const DirectReference r;
    return r;
}

inline int referenceY(int r, int g, int b)
{
    return int((long double)0.587 * g + (long double)0.299 * r + (long double)0.114 * b - 128);
}
inline int referenceCb(int r, int g, int b)
{
    return int((long double)0.5 * b - ((long double)0.1687 * r + (long double)0.3313 * g));
}
inline int referenceCr(int r, int g, int b)
{
    return int((long double)0.5 * r - (long double)0.4187 * g - (long double)0.0813 * b);
}

} // namespace jpegtest
