#include "imaging/PixelConverter.h"

#include <cstring>

#include "imaging/DibImage.h"

PixelConverter::PixelConverter(int srcBitsPerPixel, const RgbQuad* srcTable, const DibImage& dst)
    : m_Dst(dst), m_SrcBytes(srcBitsPerPixel / 8), m_DstBytes(dst.bytesPerPixel())
{
    if (m_SrcBytes == 1 && m_DstBytes == 1) {
        m_Identity = std::memcmp(srcTable, dst.colorTable(), 256 * sizeof(RgbQuad)) == 0;
        if (!m_Identity) {
            for (int i = 0; i < 256; ++i)
                m_IndexMap[i] = dst.nearestIndex(srcTable[i].red, srcTable[i].green, srcTable[i].blue);
        }
    } else if (m_SrcBytes == 1) {
        for (int i = 0; i < 256; ++i) {
            m_Bgr[i][0] = srcTable[i].blue;
            m_Bgr[i][1] = srcTable[i].green;
            m_Bgr[i][2] = srcTable[i].red;
        }
    } else {
        m_Identity = m_DstBytes == 3;
    }
}

inline void PixelConverter::pixel(const uint8_t* s, uint8_t* d) const
{
    if (m_SrcBytes == 1) {
        if (m_DstBytes == 1) {
            *d = m_IndexMap[*s];
        } else {
            d[0] = m_Bgr[*s][0];
            d[1] = m_Bgr[*s][1];
            d[2] = m_Bgr[*s][2];
        }
    } else if (m_DstBytes == 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    } else {
        *d = m_Dst.nearestIndex(s[2], s[1], s[0]);
    }
}

void PixelConverter::run(const uint8_t* src, uint8_t* dst, int n) const
{
    if (m_Identity) {
        std::memmove(dst, src, size_t(n) * m_SrcBytes);
        return;
    }
    for (int i = 0; i < n; ++i)
        pixel(src + i * m_SrcBytes, dst + i * m_DstBytes);
}

void PixelConverter::runMapped(const uint8_t* src, const int32_t* colMap, uint8_t* dst, int n) const
{
    if (m_Identity && m_SrcBytes == 1) {
        for (int i = 0; i < n; ++i)
            dst[i] = src[colMap[i]];
        return;
    }
    for (int i = 0; i < n; ++i)
        pixel(src + colMap[i] * m_SrcBytes, dst + i * m_DstBytes);
}
