// Decoding the frames of the video device's formats into DibImage rows, straight from the device's buffer.
#include "camera/VideoDecoder.h"

#include <linux/videodev2.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>

#include "imaging/DibImage.h"
#include "imaging/KernelSupport.h"

#if defined(__x86_64__) || defined(__i386__)
#include "imaging/KernelAvx2.h"
#define NX_YUYV_AVX2 1
#endif

namespace {

using Pixels = VideoDevice::Pixels;

// Raw mosaic first (our own Bayer kernel and gains), then grey; MJPEG before YUYV because a USB camera
// usually sends its larger sizes compressed at a usable rate and uncompressed only slowly; the packed
// colour formats last.
constexpr VideoFormat kFormats[] = {
    { V4L2_PIX_FMT_SBGGR8, 1, Pixels::Mosaic, 0 },
    { V4L2_PIX_FMT_SGBRG8, 1, Pixels::Mosaic, 0 },
    { V4L2_PIX_FMT_SGRBG8, 1, Pixels::Mosaic, 0 },
    { V4L2_PIX_FMT_SRGGB8, 1, Pixels::Mosaic, 0 },
    { V4L2_PIX_FMT_GREY, 1, Pixels::Grey, 1 },
    { V4L2_PIX_FMT_MJPEG, 0, Pixels::Colour, 2 },
    { V4L2_PIX_FMT_YUYV, 2, Pixels::Colour, 3 },
    { V4L2_PIX_FMT_RGB24, 3, Pixels::Colour, 4 },
    { V4L2_PIX_FMT_BGR24, 3, Pixels::Colour, 4 },
};

inline uint8_t clampByte(int v)
{
    return uint8_t(std::clamp(v, 0, 255));
}

// End of image (0xFF 0xD9) among the last bytes: a frame cut short in transfer lacks it. Inside the
// compressed data 0xFF is always followed by 0x00 or a restart marker, so the pair cannot appear there.
bool hasEndOfImage(const uint8_t* src, size_t size)
{
    constexpr size_t kTail = 4096; // room for padding some cameras put after the picture
    const size_t from = size > kTail ? size - kTail : 0;
    for (size_t i = size; i >= from + 2; --i)
        if (src[i - 2] == 0xFF && src[i - 1] == 0xD9)
            return true;
    return false;
}

} // namespace

const VideoFormat* videoFormat(uint32_t fourcc)
{
    for (const VideoFormat& f : kFormats)
        if (f.fourcc == fourcc)
            return &f;
    return nullptr;
}

int bayerModeFor(uint32_t fourcc, int height)
{
    // The colour at the frame's top-left 2 x 2 block, row by row.
    const char* pattern = fourcc == V4L2_PIX_FMT_SBGGR8 ? "BGGR"
        : fourcc == V4L2_PIX_FMT_SGBRG8                 ? "GBRG"
        : fourcc == V4L2_PIX_FMT_SGRBG8                 ? "GRBG"
        : fourcc == V4L2_PIX_FMT_SRGGB8                 ? "RGGB"
                                                        : nullptr;
    if (!pattern || height <= 0)
        return -1;
    // Bottom-up row 0 is the frame's last row; the kernel calls red the site of row phase 1 and column
    // phase 0, and both phases alternate from those of row 0, column 0 (the mode).
    const int bottomRowParity = (height - 1) & 1;
    for (int i = 0; i < 2; ++i)
        for (int x = 0; x < 2; ++x)
            if (pattern[((bottomRowParity ^ i) << 1) | x] == 'R')
                return (1 ^ i) | (x << 1);
    return -1;
}

namespace {

// Y' 16..235 and chroma 16..240 to full-range bytes, in 8-bit fixed point:
// R = 1.164 (Y - 16) + 1.596 V', G = 1.164 (Y - 16) - 0.391 U' - 0.813 V', B = 1.164 (Y - 16) + 2.018 U'.
constexpr int kLuma = 298, kRedV = 409, kGreenU = -100, kGreenV = -208, kBlueU = 516;
constexpr int kLumaBias = -kLuma * 16 + 128; // the black level off, and the rounding of the final shift

void yuyvScalar(const uint8_t* src, uint8_t* dst, int pairs)
{
    auto pixel = [](int y, int r, int g, int b, uint8_t* d) {
        const int c = kLuma * y + kLumaBias;
        d[0] = clampByte((c + b) >> 8);
        d[1] = clampByte((c + g) >> 8);
        d[2] = clampByte((c + r) >> 8);
    };
    for (int k = 0; k < pairs; ++k, src += 4, dst += 6) {
        const int u = src[1] - 128, v = src[3] - 128;
        const int r = kRedV * v, g = kGreenU * u + kGreenV * v, b = kBlueU * u;
        pixel(src[0], r, g, b, dst);
        pixel(src[2], r, g, b, dst + 3);
    }
}

#if NX_YUYV_AVX2
// A channel's fixed-point sum to its byte value (0..255) in a 32-bit lane.
__attribute__((target("avx2"))) inline __m256i channel(__m256i sum)
{
    return _mm256_min_epi32(
        _mm256_max_epi32(_mm256_srai_epi32(sum, 8), _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// Eight pixels (four pairs, 16 bytes) at a time in 32-bit lanes: the same integers as the scalar form.
// Returns the pairs done.
__attribute__((target("avx2"))) int yuyvAvx2(const uint8_t* src, uint8_t* dst, int pairs)
{
    const __m128i lumaOrder = _mm_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i uOrder = _mm_setr_epi8(1, 1, 5, 5, 9, 9, 13, 13, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i vOrder = _mm_setr_epi8(3, 3, 7, 7, 11, 11, 15, 15, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i luma = _mm256_set1_epi32(kLuma), bias = _mm256_set1_epi32(kLumaBias);
    const __m256i half = _mm256_set1_epi32(128);
    int k = 0;
    // Each store writes exactly the eight pixels' 24 bytes: nothing past the row.
    for (; k + 4 <= pairs; k += 4, src += 16, dst += 24) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m256i y = _mm256_cvtepu8_epi32(_mm_shuffle_epi8(in, lumaOrder));
        const __m256i u = _mm256_sub_epi32(_mm256_cvtepu8_epi32(_mm_shuffle_epi8(in, uOrder)), half);
        const __m256i v = _mm256_sub_epi32(_mm256_cvtepu8_epi32(_mm_shuffle_epi8(in, vOrder)), half);
        const __m256i c = _mm256_add_epi32(_mm256_mullo_epi32(y, luma), bias);
        const __m256i b = channel(_mm256_add_epi32(c, _mm256_mullo_epi32(u, _mm256_set1_epi32(kBlueU))));
        const __m256i g = channel(_mm256_add_epi32(c,
            _mm256_add_epi32(
                _mm256_mullo_epi32(u, _mm256_set1_epi32(kGreenU)), _mm256_mullo_epi32(v, _mm256_set1_epi32(kGreenV)))));
        const __m256i r = channel(_mm256_add_epi32(c, _mm256_mullo_epi32(v, _mm256_set1_epi32(kRedV))));
        const __m256i bgr0 = _mm256_or_si256(b, _mm256_or_si256(_mm256_slli_epi32(g, 8), _mm256_slli_epi32(r, 16)));
        kernel::storeBgr8(dst, kernel::packBgr8(bgr0));
    }
    return k;
}
#endif

} // namespace

void yuyvRowToBgr(const uint8_t* src, uint8_t* dst, int width)
{
    const int pairs = width / 2;
    int done = 0;
#if NX_YUYV_AVX2
    if (kernel::useSimd(kernel::SimdLevel::Avx2))
        done = yuyvAvx2(src, dst, pairs);
#endif
    yuyvScalar(src + 4 * done, dst + 6 * done, pairs - done);
    // An odd last pixel has no chroma of its own: grey.
    if (width & 1)
        std::memset(dst + 6 * pairs, clampByte((kLuma * src[4 * pairs] + kLumaBias) >> 8), 3);
}

void rgbRowToBgr(const uint8_t* src, uint8_t* dst, int width)
{
    for (int x = 0; x < width; ++x, src += 3, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
    }
}

VideoDecoder::VideoDecoder() = default;

VideoDecoder::~VideoDecoder()
{
    if (m_Jpeg)
        tjDestroy(m_Jpeg);
}

bool VideoDecoder::Decode(uint32_t fourcc, const uint8_t* src, size_t size, uint32_t bytesPerLine, DibImage& dst)
{
    const VideoFormat* format = videoFormat(fourcc);
    if (!format || !src || dst.isEmpty())
        return false;
    if (format->bytesPerPixel == 0)
        return decodeJpeg(src, size, dst);
    const int width = dst.width(), height = dst.height();
    const size_t rowBytes = size_t(width) * size_t(format->bytesPerPixel);
    const size_t pitch = std::max<size_t>(bytesPerLine, rowBytes);
    if (dst.bytesPerPixel() != (format->pixels == Pixels::Colour ? 3 : 1)
        || size < pitch * size_t(height - 1) + rowBytes)
        return false;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = src + pitch * size_t(y);
        uint8_t* out = dst.rowTopDown(y);
        if (fourcc == V4L2_PIX_FMT_YUYV)
            yuyvRowToBgr(row, out, width);
        else if (fourcc == V4L2_PIX_FMT_RGB24)
            rgbRowToBgr(row, out, width);
        else
            std::memcpy(out, row, rowBytes);
    }
    return true;
}

bool VideoDecoder::decodeJpeg(const uint8_t* src, size_t size, DibImage& dst)
{
    if (dst.bytesPerPixel() != 3 || size < 4 || size > size_t(1) << 30 || src[0] != 0xFF || src[1] != 0xD8
        || !hasEndOfImage(src, size))
        return false;
    if (!m_Jpeg && !(m_Jpeg = tjInitDecompress()))
        return false;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    auto* data = const_cast<unsigned char*>(src); // TurboJPEG 2.x takes a non-const source it does not write
    // Bottom-up into the picture's own rows: no intermediate buffer and no flip afterwards.
    const bool ok
        = tjDecompressHeader3(m_Jpeg, data, (unsigned long)size, &width, &height, &subsampling, &colourspace) == 0
        && width == dst.width() && height == dst.height()
        && tjDecompress2(m_Jpeg, data, (unsigned long)size, dst.bits(), width, dst.stride(), height, TJPF_BGR,
               TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING)
            == 0;
    // After a failed call the decompressor keeps stale state and refuses good pictures: start a fresh one.
    if (!ok) {
        tjDestroy(m_Jpeg);
        m_Jpeg = nullptr;
    }
    return ok;
}

bool jpegFrameSize(const uint8_t* src, size_t size, int* width, int* height)
{
    if (!src || size < 4 || src[0] != 0xFF || src[1] != 0xD8)
        return false;
    size_t i = 2;
    while (i + 1 < size) {
        if (src[i] != 0xFF)
            return false;
        const uint8_t marker = src[i + 1];
        i += 2;
        if (marker == 0xFF) {
            --i; // fill byte before a marker
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no segment follows
        if (marker == 0xD9 || marker == 0xDA || i + 2 > size)
            return false; // the scan or the end before any frame header
        const size_t length = size_t(src[i]) << 8 | src[i + 1];
        // Start of frame: every 0xCn but the Huffman (C4) and arithmetic coding (CC) tables and JPG (C8).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (length < 7 || i + 7 > size)
                return false;
            *height = src[i + 3] << 8 | src[i + 4];
            *width = src[i + 5] << 8 | src[i + 6];
            return true;
        }
        if (length < 2)
            return false;
        i += length;
    }
    return false;
}
