// The fast DCT and quantisation against the direct formula: identical quantised coefficients on millions
// of random blocks and on structured ones, on both the vector and the portable path.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "files/JpegDct.h"
#include "files/JpegReference.h"
#include "files/JpegTables.h"

namespace {

using jpegtest::reference;

// Checks one block with both tables on the dispatched path and, when asked, the portable one.
::testing::AssertionResult sameAsDirect(const jpeg::BlockTransform& t, const int16_t* block, bool portable)
{
    int16_t wanted[2][64];
    reference().quantize(block, wanted);
    for (int table = 0; table < 2; ++table) {
        const int16_t* want = wanted[table];
        int16_t got[64];
        uint64_t nonZero = t.Quantize(block, 8, table, got);
        for (int i = 0; i < 64; ++i)
            if (got[i] != want[i] || (nonZero >> i & 1) != (want[i] != 0))
                return ::testing::AssertionFailure() << "table " << table << " coefficient u " << i % 8 << " v "
                                                     << i / 8 << ": " << got[i] << " instead of " << want[i];
        if (portable) {
            nonZero = t.QuantizeGeneric(block, 8, table, got);
            for (int i = 0; i < 64; ++i)
                if (got[i] != want[i] || (nonZero >> i & 1) != (want[i] != 0))
                    return ::testing::AssertionFailure() << "portable path, table " << table << " index " << i;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(JpegDct, DirectCoefficient_IsTheFormula)
{
    const jpeg::BlockTransform t;
    std::mt19937 rng(5);
    int16_t block[64];
    for (int n = 0; n < 200; ++n) {
        for (int16_t& s : block)
            s = int16_t(int(rng() % 256) - 128);
        for (int u = 0; u < 8; ++u)
            for (int v = 0; v < 8; ++v)
                ASSERT_EQ(t.DirectCoefficient(block, 8, u, v), reference().coefficient(block, u, v));
    }
    // The block may sit inside a wider strip.
    std::vector<int16_t> strip(8 * 40);
    for (int16_t& s : strip)
        s = int16_t(int(rng() % 256) - 128);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            block[y * 8 + x] = strip[y * 40 + 16 + x];
    EXPECT_EQ(t.DirectCoefficient(strip.data() + 16, 40, 3, 5), reference().coefficient(block, 3, 5));
}

// Sanitizer builds run a tenth of the blocks: the arithmetic is the same, only slower there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kRandomBlocks = 200000;
#else
constexpr int kRandomBlocks = 2000000;
#endif

// Two million blocks of three kinds: uniform noise over the whole range (large coefficients), smooth
// blocks (gradients plus a little noise, like photographs) and sparse ones (a few non-zero samples).
TEST(JpegDct, FastQuantize_SameAsDirect_MillionsOfRandomBlocks)
{
    const jpeg::BlockTransform t;
    std::mt19937 rng(1234);
    int16_t block[64];
    for (int n = 0; n < kRandomBlocks; ++n) {
        const int kind = n % 3;
        if (kind == 0) {
            for (int i = 0; i < 64; i += 4) {
                const uint32_t bits = rng(); // four samples from one draw
                for (int k = 0; k < 4; ++k)
                    block[i + k] = int16_t(int((bits >> (8 * k)) & 255) - 128);
            }
        } else if (kind == 1) {
            const int base = int(rng() % 200) - 100, dx = int(rng() % 13) - 6, dy = int(rng() % 13) - 6;
            for (int i = 0; i < 64; ++i)
                block[i] = int16_t(std::clamp(base + dx * (i % 8) + dy * (i / 8) + int(rng() % 7) - 3, -128, 127));
        } else {
            std::fill(std::begin(block), std::end(block), int16_t(0));
            for (int k = int(rng() % 4); k >= 0; --k)
                block[rng() % 64] = int16_t(int(rng() % 256) - 128);
        }
        ASSERT_TRUE(sameAsDirect(t, block, n % 16 == 0)) << "block " << n;
    }
}

TEST(JpegDct, FastQuantize_SameAsDirect_StructuredBlocks)
{
    const jpeg::BlockTransform t;
    int16_t block[64];
    const auto fill = [&](auto f) {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                block[y * 8 + x] = int16_t(std::clamp(f(y, x), -128, 128));
    };
    // Flat blocks at every level: the DC lands a hair above a whole number and often on a quantisation step.
    for (int level = -128; level <= 128; ++level) {
        fill([&](int, int) { return level; });
        ASSERT_TRUE(sameAsDirect(t, block, true)) << "flat " << level;
    }
    // Gradients along rows, columns and both diagonals, every slope.
    for (int slope = -36; slope <= 36; ++slope)
        for (int offset = -128; offset <= 128; offset += 8) {
            fill([&](int, int x) { return offset + slope * x; });
            ASSERT_TRUE(sameAsDirect(t, block, true));
            fill([&](int y, int) { return offset + slope * y; });
            ASSERT_TRUE(sameAsDirect(t, block, true));
            fill([&](int y, int x) { return offset + slope * (x + y) / 2; });
            ASSERT_TRUE(sameAsDirect(t, block, true));
            fill([&](int y, int x) { return offset + slope * (x - y) / 2; });
            ASSERT_TRUE(sameAsDirect(t, block, true));
        }
    // Extremes and checkerboards of every cell size and amplitude.
    for (int amplitude = 1; amplitude <= 128; ++amplitude)
        for (int cell : { 1, 2, 4 }) {
            fill([&](int y, int x) { return ((x / cell + y / cell) % 2) ? amplitude : -amplitude; });
            ASSERT_TRUE(sameAsDirect(t, block, true)) << "checker " << cell << " " << amplitude;
            fill([&](int y, int x) { return ((x / cell + y / cell) % 2) ? amplitude - 1 : -128; });
            ASSERT_TRUE(sameAsDirect(t, block, true));
            fill([&](int, int x) { return (x / cell) % 2 ? amplitude : -amplitude; });
            ASSERT_TRUE(sameAsDirect(t, block, true));
            fill([&](int y, int) { return (y / cell) % 2 ? 128 : -amplitude; });
            ASSERT_TRUE(sameAsDirect(t, block, true));
        }
    // A single spike at every position, every amplitude, on zero and on a pedestal.
    for (int at = 0; at < 64; ++at)
        for (int amplitude = -128; amplitude <= 128; ++amplitude)
            for (int pedestal : { 0, -128, 100 }) {
                fill([&](int y, int x) { return y * 8 + x == at ? amplitude : pedestal; });
                ASSERT_TRUE(sameAsDirect(t, block, false)) << "spike at " << at << " of " << amplitude;
            }
    // The cosine patterns themselves, at full and half strength.
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v)
            for (double a : { 127.0, 128.0, 64.0, -100.0 }) {
                fill([&](int y, int x) {
                    return int(a * std::cos((2 * y + 1) * u * M_PI / 16) * std::cos((2 * x + 1) * v * M_PI / 16));
                });
                ASSERT_TRUE(sameAsDirect(t, block, true)) << u << " " << v << " " << a;
            }
}
