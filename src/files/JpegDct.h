// The encoder's forward DCT and quantisation of 8 x 8 blocks. The values are defined by the direct formula
//   F(u, v) = trunc(0.25 a(u) a(v) sum_y sum_x cos[u][y] cos[v][x] f(y, x)),  a(0) = 1 / 1.41421356, else 1,
// in double precision over a cosine table of angle step 0.196349540625, followed by truncating division by
// the quantisation table. Quantize gets the same numbers much faster: a separable single-precision
// transform whose error is bounded far below kGuard; wherever the result lies within kGuard of a
// quantisation step (where rounding could tip it), that coefficient is recomputed by the direct formula.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/JpegTables.h"

namespace jpeg {

class BlockTransform {
public:
    // Bound on |fast - direct| that decides when the direct formula must settle a coefficient. For samples
    // in [-128, 128] the fast transform is off by less than 0.0025: 16 single-precision roundings of sums
    // below 512 (first pass) and 2048 (second), each at most half a unit in the last place, plus the
    // rounding of the table to single precision (the vector form, which folds mirrored samples, rounds less
    // and adds some 1e-5 for the angle step being a hair off pi / 16). The tests check the identity on
    // millions of blocks.
    static constexpr float kGuard = 1.0f / 32;

    // The base quantisation tables (quality 50), or the given ones.
    BlockTransform();
    explicit BlockTransform(const QuantTables& tables);

    // cos((2n + 1) k 0.196349540625) at [k][n].
    double cosine(int k, int n) const { return m_Cos[k][n]; }

    // The direct formula for coefficient (u, v) (vertical, horizontal frequency) of the block whose rows
    // of 8 samples are stride samples apart.
    int32_t DirectCoefficient(const int16_t* block, ptrdiff_t stride, int u, int v) const;

    // The quantised coefficients of a block with table 0 (luminance) or 1 (chrominance), column by column:
    // out[v * 8 + u] = trunc(DirectCoefficient(u, v) / Q[u * 8 + v]). Returns which are not zero (bit i
    // for out[i]), for the entropy coder.
    uint64_t Quantize(const int16_t* block, ptrdiff_t stride, int table, int16_t* out) const;
    // The same on the portable path (used where AVX2 and FMA are missing; tests run both).
    uint64_t QuantizeGeneric(const int16_t* block, ptrdiff_t stride, int table, int16_t* out) const;
    static bool HasFastPath();

private:
    uint64_t settleAmbiguous(
        const int16_t* block, ptrdiff_t stride, int table, uint64_t ambiguous, int16_t* out, uint64_t nonZero) const;

    double m_Cos[8][8];
    alignas(32) float m_Scaled[8][8]; // 0.5 a(k) cos[k][n], so two passes give the 0.25 a(u) a(v)
    alignas(32) float m_Recip[2][64]; // 1 / Q, column by column
    alignas(32) float m_Margin[2][64]; // kGuard / Q plus slack for the rounding of the guard itself
    int32_t m_Quant[2][64]; // Q, column by column
    bool m_Fast;
};

} // namespace jpeg
