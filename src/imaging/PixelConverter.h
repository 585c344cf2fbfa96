// Converts runs of pixels from one bitmap format to another: 8-bit through its colour table, or 24-bit
// blue-green-red, into an 8-bit or 24-bit DibImage. An 8-bit target receives the nearest table entry.
#pragma once

#include <cstdint>

#include "imaging/BitmapHeader.h"

class DibImage;

class PixelConverter {
public:
    // srcBitsPerPixel is 8 (with srcTable) or 24.
    PixelConverter(int srcBitsPerPixel, const RgbQuad* srcTable, const DibImage& dst);

    // n pixels from src to dst.
    void run(const uint8_t* src, uint8_t* dst, int n) const;
    // n pixels to dst taken from src at the columns in colMap (nearest-neighbour stretching).
    void runMapped(const uint8_t* src, const int32_t* colMap, uint8_t* dst, int n) const;

private:
    void pixel(const uint8_t* s, uint8_t* d) const;

    const DibImage& m_Dst;
    int m_SrcBytes;
    int m_DstBytes;
    bool m_Identity = false;  // same format and table: plain byte copy
    uint8_t m_IndexMap[256] = {};  // 8 -> 8
    uint8_t m_Bgr[256][3] = {};    // 8 -> 24
};
