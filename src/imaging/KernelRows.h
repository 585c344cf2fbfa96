// Row-level forms of the pixel kernels, for callers that run several steps over a row while it is still in
// cache (the live chain). Each object holds what its kernel builds per call (tables, reduced offsets), so it
// is made once per frame and then used for every row, from any number of threads. Internal to the imaging
// library; the PixelKernel functions in Kernels.h are built on these.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/Kernels.h"

namespace kernel {

// Hue/lightness/saturation adjustment of a row of blue-green-red pixels; source and destination may be
// the same row.
class HlsRow {
public:
    explicit HlsRow(const HlsData& params);
    void run(const uint8_t* src, uint8_t* dst, int32_t width, int srcBpp = 3, int dstBpp = 3) const;

private:
    HlsData m_Params;
    // The offsets reduced to what 16-bit lanes hold without changing any result (see HlsKernel.cpp).
    int16_t m_OffS = 0, m_OffL = 0, m_HueR = 0, m_HueG = 0, m_HueB = 0;
    bool m_Sse41 = false, m_Avx2 = false, m_Avx512 = false;
};

// Byte-to-byte tables: gamma level (100 = identity exponent), contrast, and the grey threshold.
using ByteTable = uint8_t[256];
void gammaTable(int32_t level, ByteTable& table);
void contrastTable(int32_t contrast, ByteTable& table);
void thresholdTable(int32_t threshold, ByteTable& table);
// Maps n bytes through the table; source and destination may be the same.
void mapBytes(const uint8_t* src, uint8_t* dst, int32_t n, const ByteTable& table);

// Colour binarisation: 30 R + 59 G + 11 B against the limit binarizeLimit(threshold) makes.
int32_t binarizeLimit(int32_t threshold);
void binarizeRgbRow(const uint8_t* src, uint8_t* dst, int32_t width, int32_t limit, int srcBpp = 3, int dstBpp = 3);

// Bayer conversion of one row: raw rows -2, -1, 0 and +1 around it (each pointing at the row's first
// column) into columns 2 .. width - 3 of the destination row, whose two columns at either end repeat the
// nearest converted pixel (a row of four pixels or fewer turns black). i is the row's index within the
// converted rectangle (it sets the row phase).
// Gain factor k per colour (a colour byte is (sum * k) >> 11, at most 255) and the byte for every sum.
struct BayerGains {
    static constexpr int kMaxSum = 16 * 255;
    int32_t kR, kB;
    uint8_t red[kMaxSum + 1];
    uint8_t blue[kMaxSum + 1];

    BayerGains(int32_t gainRTimes100, int32_t gainBTimes100);
    // The vector forms multiply 16-bit lanes by 2k: k must stay below 2^14 to fit.
    bool vectorFits() const { return kR < 16384 && kB < 16384; }
};

class BayerRow {
public:
    BayerRow(const BayerParams& params, int srcBpp, int dstBpp);
    void run(uint8_t* dstRow, const uint8_t* m2, const uint8_t* m1, const uint8_t* p0, const uint8_t* p1, int32_t width,
        int32_t i) const;

private:
    BayerGains m_Gains;
    int m_RowMode, m_ColPhase, m_SrcBpp, m_DstBpp;
    bool m_Avx2 = false, m_Ssse3 = false;
};

// Unsharp mask of one row from the four source rows at -2, -1, 0 and +1 around it (packed pixels of ch
// bytes, width pixels), written to columns 2 .. width - 3 of the destination row. scratch holds
// scratchSize(width, ch) column sums.
class SharpenRow {
public:
    explicit SharpenRow(int32_t sharpness);
    static size_t scratchSize(int32_t width, int ch) { return size_t(width) * size_t(ch) + 8; }
    void run(uint8_t* dst, const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3, int32_t width,
        int ch, uint16_t* scratch) const;

private:
    int32_t m_A;
    int16_t m_Table[511];
};

} // namespace kernel
