// ScaleGray and ScaleRgb: nearest-neighbour scaling for the fit-to-window view and the thumbnails.
// The column map is computed once per call; destination rows that repeat a source row are copied.
#include "imaging/KernelSupport.h"
#include "imaging/Kernels.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

int32_t scale(uint8_t* dst, const uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
              int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, int dstBpp, int srcBpp, int32_t dstStride,
              int32_t srcStride, int channels)
{
    if (!dst || !src || !dstRect || !srcRect || srcWidth <= 0 || srcHeight <= 0 || dstBpp <= 0 || srcBpp <= 0)
        return 1;
    channels = std::min(channels, dstBpp);
    const int32_t dw = dstRect->width(), dh = dstRect->height();
    if (dw <= 0 || dh <= 0)
        return 1;
    // Steps rounded to single precision, positions truncated: the sampling the picture has always had.
    const float rw = float(double(srcRect->width()) / dw);
    const float rh = float(double(srcRect->height()) / dh);

    // Rows are walked bottom-up in memory: row i of the rectangle is its i-th row from the bottom.
    const int32_t dstBottom = dstHeight - dstRect->bottom;
    const int32_t srcBottom = srcHeight - srcRect->bottom;

    // Destination columns inside the image, and the byte offset of each one's source pixel.
    const int32_t j0 = std::max(0, -dstRect->left);
    const int32_t j1 = std::min(dw, dstWidth - dstRect->left);
    if (j1 <= j0)
        return 1;
    std::vector<int32_t> map(size_t(j1 - j0));
    for (int32_t j = j0; j < j1; ++j) {
        const int32_t col = std::clamp(srcRect->left + int32_t(rw * float(j)), 0, srcWidth - 1);
        map[size_t(j - j0)] = col * srcBpp;
    }
    const int32_t n = j1 - j0;
    const bool grey = srcBpp < channels;  // an 8-bit source shown in colour
    // A four-byte copy may run one byte past the pixel: allowed while that byte is still in the source row.
    int32_t wide = 0;
    if (channels == 3 && dstBpp == 3 && !grey)
        while (wide < n - 1 && map[size_t(wide)] + 4 <= srcStride)
            ++wide;

    const uint8_t* lastSrcRow = nullptr;
    const uint8_t* lastDstRow = nullptr;
    for (int32_t i = 0; i < dh; ++i) {
        const int32_t dstRow = dstBottom + i;
        if (dstRow < 0 || dstRow >= dstHeight)
            continue;
        const int32_t row = std::clamp(srcBottom + int32_t(rh * float(i)), 0, srcHeight - 1);
        const uint8_t* s = src + ptrdiff_t(srcStride) * row;
        uint8_t* d = dst + ptrdiff_t(dstStride) * dstRow + ptrdiff_t(dstRect->left + j0) * dstBpp;
        if (s == lastSrcRow) {
            std::memcpy(d, lastDstRow, size_t(n) * size_t(dstBpp));
            continue;
        }
        if (channels == 1 && dstBpp == 1) {
            for (int32_t j = 0; j < n; ++j)
                d[j] = s[map[size_t(j)]];
        } else if (grey) {
            for (int32_t j = 0; j < n; ++j)
                std::memset(d + ptrdiff_t(j) * dstBpp, s[map[size_t(j)]], size_t(channels));
        } else {
            int32_t j = 0;
            for (; j < wide; ++j) {
                uint32_t px;
                std::memcpy(&px, s + map[size_t(j)], 4);
                std::memcpy(d + ptrdiff_t(j) * 3, &px, 4);  // the fourth byte is the next pixel's, rewritten next
            }
            for (; j < n; ++j)
                std::memcpy(d + ptrdiff_t(j) * dstBpp, s + map[size_t(j)], size_t(channels));
        }
        lastSrcRow = s;
        lastDstRow = d;
    }
    return 1;
}

}  // namespace

int32_t ScaleGray(uint8_t* dst, const uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
                  int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, uint16_t dstBytesPerPixel,
                  uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void*, void*)
{
    return scale(dst, src, dstRect, srcRect, dstWidth, dstHeight, srcWidth, srcHeight, dstBytesPerPixel,
                 srcBytesPerPixel, dstStride, srcStride, 1);
}

int32_t ScaleRgb(uint8_t* dst, const uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
                 int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, uint16_t dstBytesPerPixel,
                 uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void*, void*)
{
    return scale(dst, src, dstRect, srcRect, dstWidth, dstHeight, srcWidth, srcHeight, dstBytesPerPixel,
                 srcBytesPerPixel, dstStride, srcStride, 3);
}
