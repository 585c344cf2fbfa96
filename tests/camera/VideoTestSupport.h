// Helpers of the video device tests: test pictures, slow reference conversions written from the formulas,
// JPEG pictures made and read back by TurboJPEG, and a comparison of a DibImage with top-down rows.
#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/DibImage.h"

namespace videotest {

inline std::vector<uint8_t> randomBytes(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes)
        b = uint8_t(random());
    return bytes;
}

// A smooth colour picture (JPEG-friendly), red-green-blue, top row first.
inline std::vector<uint8_t> smoothRgb(int width, int height)
{
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = uint8_t(x * 255 / std::max(width - 1, 1));
            p[1] = uint8_t(y * 255 / std::max(height - 1, 1));
            p[2] = uint8_t((x + y) * 127 / std::max(width + height - 2, 1));
        }
    return rgb;
}

inline uint8_t clampByte(int v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// YUYV to blue-green-red, one pixel at a time from the BT.601 video-range formula in 8-bit fixed point.
inline std::vector<uint8_t> yuyvReference(const uint8_t* frame, int width, int height, size_t pitch)
{
    std::vector<uint8_t> bgr(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* pair = frame + size_t(y) * pitch + size_t(x / 2) * 4;
            const bool hasChroma = (x | 1) < width;
            const int luma = pair[(x & 1) * 2] - 16;
            const int u = hasChroma ? pair[1] - 128 : 0, v = hasChroma ? pair[3] - 128 : 0;
            uint8_t* out = &bgr[(size_t(y) * size_t(width) + size_t(x)) * 3];
            out[0] = clampByte((298 * luma + 516 * u + 128) >> 8);
            out[1] = clampByte((298 * luma - 100 * u - 208 * v + 128) >> 8);
            out[2] = clampByte((298 * luma + 409 * v + 128) >> 8);
        }
    return bgr;
}

// optimised: Huffman tables made for the picture (TurboJPEG takes the switch from the environment).
inline std::vector<uint8_t> encodeJpeg(
    const std::vector<uint8_t>& rgb, int width, int height, int subsampling, int quality = 90, bool optimised = false)
{
    if (optimised)
        setenv("TJ_OPTIMIZE", "1", 1);
    tjhandle h = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, subsampling, quality, 0);
    std::vector<uint8_t> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(h);
    unsetenv("TJ_OPTIMIZE");
    return out;
}

// The JPEG without its header segments of that marker: 0xC4 gives a camera frame that relies on the
// standard Huffman tables, 0xDB one that uses quantisation tables it never defines.
inline std::vector<uint8_t> withoutSegments(const std::vector<uint8_t>& jpeg, uint8_t marker)
{
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    size_t at = 2;
    for (size_t length = 0; at + 4 <= jpeg.size() && jpeg[at + 1] != 0xDA; at += length) {
        length = size_t(jpeg[at + 2] << 8 | jpeg[at + 3]) + 2;
        if (jpeg[at + 1] != marker)
            out.insert(out.end(), jpeg.begin() + long(at), jpeg.begin() + long(at + length));
    }
    out.insert(out.end(), jpeg.begin() + long(at), jpeg.end());
    return out;
}

// TurboJPEG's own decoding, blue-green-red, top row first.
inline std::vector<uint8_t> decodeJpegTopDown(const std::vector<uint8_t>& jpeg, int width, int height)
{
    tjhandle h = tjInitDecompress();
    std::vector<uint8_t> bgr(size_t(width) * size_t(height) * 3);
    tjDecompress2(h, jpeg.data(), (unsigned long)jpeg.size(), bgr.data(), width, width * 3, height, TJPF_BGR, 0);
    tjDestroy(h);
    return bgr;
}

// The picture's rows, top row first, equal to rows of rowBytes each.
inline bool sameTopDown(const DibImage& image, const std::vector<uint8_t>& rows, size_t rowBytes)
{
    if (image.isEmpty() || rows.size() != rowBytes * size_t(image.height()))
        return false;
    for (int y = 0; y < image.height(); ++y)
        if (std::memcmp(image.rowTopDown(y), &rows[size_t(y) * rowBytes], rowBytes) != 0)
            return false;
    return true;
}

} // namespace videotest
