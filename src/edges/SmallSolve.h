// Small dense linear systems for the least-squares fits.
#pragma once

#include <array>
#include <cmath>
#include <utility>

// Solves the N x N system in m (its last column the right-hand side) by elimination with partial pivoting;
// false when it is singular.
template <int N>
bool SolveSmall(std::array<std::array<double, N + 1>, N> m, std::array<double, N>& x)
{
    for (int col = 0; col < N; ++col) {
        int pivot = col;
        for (int r = col + 1; r < N; ++r)
            if (std::abs(m[r][col]) > std::abs(m[pivot][col]))
                pivot = r;
        if (!(std::abs(m[pivot][col]) > 1e-300))
            return false;
        std::swap(m[col], m[pivot]);
        for (int r = col + 1; r < N; ++r) {
            const double f = m[r][col] / m[col][col];
            for (int k = col; k <= N; ++k)
                m[r][k] -= f * m[col][k];
        }
    }
    for (int r = N - 1; r >= 0; --r) {
        double s = m[r][N];
        for (int k = r + 1; k < N; ++k)
            s -= m[r][k] * x[k];
        x[r] = s / m[r][r];
    }
    return true;
}
