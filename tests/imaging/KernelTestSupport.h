// Test helpers for the kernels: random pictures, parameter-block arguments and pixel access.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "imaging/DibImage.h"

namespace kerneltest {

// Fills every byte of the pixel array (padding included) with noise.
inline void fillRandom(DibImage& img, uint32_t seed)
{
    std::mt19937 rng(seed);
    uint8_t* p = img.bits();
    for (int64_t i = 0; i < img.byteSize(); ++i)
        p[i] = uint8_t(rng());
}

inline DibImage* makeRandom(DibImage& img, int32_t w, int32_t h, uint16_t bpp, uint32_t seed)
{
    img.Create(w, h, bpp);
    fillRandom(img, seed);
    return &img;
}

// The kernels' user1 convention: the address of a pointer to the parameter block.
template <class T>
struct Arg {
    T value;
    T* ptr = &value;
    explicit Arg(T v) : value(v) {}
    void* user() { return &ptr; }
};

// Pixel byte c of (x, y), y counted bottom-up.
inline uint8_t& at(DibImage& img, int32_t x, int32_t y, int c = 0)
{
    return img.rowBottomUp(y)[x * img.bytesPerPixel() + c];
}
inline uint8_t at(const DibImage& img, int32_t x, int32_t y, int c = 0)
{
    return img.rowBottomUp(y)[x * img.bytesPerPixel() + c];
}

// Whether two images hold the same pixels (padding ignored); reports the first difference.
inline ::testing::AssertionResult samePixels(const DibImage& a, const DibImage& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.bitsPerPixel() != b.bitsPerPixel())
        return ::testing::AssertionFailure() << "different formats";
    const int32_t n = a.width() * a.bytesPerPixel();
    for (int32_t y = 0; y < a.height(); ++y)
        for (int32_t k = 0; k < n; ++k)
            if (a.rowBottomUp(y)[k] != b.rowBottomUp(y)[k])
                return ::testing::AssertionFailure()
                       << "row " << y << " (bottom-up) column " << k / a.bytesPerPixel() << " byte "
                       << k % a.bytesPerPixel() << ": " << int(a.rowBottomUp(y)[k]) << " vs "
                       << int(b.rowBottomUp(y)[k]);
    return ::testing::AssertionSuccess();
}

inline void copyPixels(DibImage& dst, const DibImage& src)
{
    dst.CreateLike(&src);
    std::copy(src.bits(), src.bits() + src.byteSize(), dst.bits());
}

}  // namespace kerneltest
