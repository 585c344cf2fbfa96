// Decoding the frames of the video device's formats into DibImage rows, straight from the device's buffer.
#include "camera/VideoDecoder.h"

#include <linux/videodev2.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

// What a walk through a JPEG's markers finds. The decompressor is kept from frame to frame, and libjpeg
// keeps the Huffman and quantisation tables of earlier frames (abbreviated streams may rely on them); a
// frame must decode as it would alone, so the walk tells whether it uses a table it never defines.
struct JpegWalk {
    size_t end = 0; // just past the end-of-image marker; 0: none (cut short in transfer, or broken)
    bool ownTables = true; // every quantisation table and every Huffman table past the standard two it uses
};

// Inside the compressed data 0xFF is followed by 0x00 (a stuffed byte), a restart marker or more 0xFF:
// the position of the next other marker, or size.
size_t afterScan(const uint8_t* p, size_t i, size_t size)
{
    while (i < size) {
        const auto* ff = static_cast<const uint8_t*>(std::memchr(p + i, 0xFF, size - i));
        if (!ff || ff + 1 >= p + size)
            return size;
        i = size_t(ff - p);
        const uint8_t next = ff[1];
        if (next != 0x00 && next != 0xFF && (next < 0xD0 || next > 0xD7))
            return i;
        i += next == 0xFF ? 1 : 2;
    }
    return size;
}

JpegWalk walkJpeg(const uint8_t* p, size_t size)
{
    bool quant[4] = {}, huffman[2][4] = {}, arithmetic = false;
    std::vector<uint8_t> frameQuant; // the table of each component of the frame header
    JpegWalk walk;
    size_t i = 2; // after the start of image
    while (i + 1 < size) {
        if (p[i] != 0xFF)
            return {}; // bytes between segments: the decoder refuses them too
        while (i + 1 < size && p[i + 1] == 0xFF)
            ++i;
        if (i + 1 >= size)
            break;
        const uint8_t marker = p[i + 1];
        i += 2;
        if (marker == 0xD9) {
            walk.end = i;
            return walk;
        }
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue;
        if (marker == 0xD8 || marker == 0x00 || i + 2 > size)
            return {};
        const size_t next = i + std::max<size_t>(size_t(p[i]) << 8 | p[i + 1], 2);
        if (next > size)
            return {};
        const uint8_t* s = p + i + 2;
        const size_t n = next - i - 2;
        if (marker == 0xDB) {
            for (size_t k = 0; k < n; k += 1 + ((s[k] >> 4) ? 128 : 64))
                if ((s[k] & 15) < 4)
                    quant[s[k] & 15] = true;
        } else if (marker == 0xC4) {
            for (size_t k = 0; k + 17 <= n;) {
                size_t count = 0;
                for (int b = 1; b <= 16; ++b)
                    count += s[k + b];
                if ((s[k] >> 4) < 2 && (s[k] & 15) < 4)
                    huffman[s[k] >> 4][s[k] & 15] = true;
                k += 17 + count;
            }
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC8 && marker != 0xCC) {
            arithmetic = marker >= 0xC9;
            for (size_t k = 6; n >= 6 && k < std::min(n, 6 + 3 * size_t(s[5])); k += 3)
                frameQuant.push_back(k + 2 < n ? s[k + 2] : 0xFF);
        } else if (marker == 0xDA) {
            // Every component's quantisation table is latched by the time its first scan starts; be
            // strict and ask for all of them at every scan (a fresh decoder decides the rare rest).
            for (uint8_t t : frameQuant)
                walk.ownTables &= t < 4 && quant[t];
            // A fresh decoder has the standard Huffman tables in slots 0 and 1; we load them before
            // every frame, so only the other slots must come from the frame itself.
            for (size_t k = 2; !arithmetic && n >= 1 && k < std::min(n, 1 + 2 * size_t(s[0])); k += 2)
                for (int kind = 0; kind < 2; ++kind) {
                    const int slot = kind ? s[k] & 15 : s[k] >> 4;
                    walk.ownTables &= slot < 2 || (slot < 4 && huffman[kind][slot]);
                }
            i = afterScan(p, next, size);
            continue;
        }
        i = next;
    }
    return {}; // ran out before the end of the image
}

// Start of image, the standard Huffman tables (luminance and chrominance, DC and AC), end of image: read
// as a tables-only stream, it puts them into slots 0 and 1 as a fresh decoder has them.
const std::vector<uint8_t>& standardTables()
{
    static const std::vector<uint8_t> stream = [] {
        const uint8_t dcCounts[2][16] = { { 0, 1, 5, 1, 1, 1, 1, 1, 1 }, { 0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1 } };
        const uint8_t acCounts[2][16] = { { 0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d },
            { 0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77 } };
        const std::vector<uint8_t> acSymbols[2] = {
            { 0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22,
                0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24,
                0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29,
                0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a,
                0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a,
                0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a,
                0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8,
                0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6,
                0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3,
                0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9,
                0xfa },
            { 0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13,
                0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15,
                0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27,
                0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49,
                0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69,
                0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88,
                0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6,
                0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4,
                0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2,
                0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9,
                0xfa },
        };
        std::vector<uint8_t> out { 0xFF, 0xD8, 0xFF, 0xC4, 0, 0 }; // the length is filled in below
        out.reserve(440);
        for (uint8_t slot = 0; slot < 2; ++slot) {
            out.push_back(slot); // DC
            out.insert(out.end(), dcCounts[slot], dcCounts[slot] + 16);
            for (uint8_t v = 0; v < 12; ++v)
                out.push_back(v);
            out.push_back(uint8_t(0x10 | slot)); // AC
            out.insert(out.end(), acCounts[slot], acCounts[slot] + 16);
            out.insert(out.end(), acSymbols[slot].begin(), acSymbols[slot].end());
        }
        const size_t length = out.size() - 4;
        out[4] = uint8_t(length >> 8);
        out[5] = uint8_t(length);
        out.push_back(0xFF);
        out.push_back(0xD9);
        return out;
    }();
    return stream;
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
    if (dst.bytesPerPixel() != 3 || size < 4 || size > size_t(1) << 30 || src[0] != 0xFF || src[1] != 0xD8)
        return false;
    // A frame cut short in transfer has no end of image; anything after it is the camera's padding.
    const JpegWalk walk = walkJpeg(src, size);
    if (!walk.end)
        return false;
    size = walk.end;
    // A frame that leans on a table it does not define gets a fresh decompressor (which refuses it, as
    // it would alone); the usual camera frame only lacks the standard Huffman tables, loaded here.
    if (m_Jpeg && !walk.ownTables) {
        tjDestroy(m_Jpeg);
        m_Jpeg = nullptr;
    }
    if (!m_Jpeg && !(m_Jpeg = tjInitDecompress()))
        return false;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    auto* tables = const_cast<unsigned char*>(standardTables().data());
    auto* data = const_cast<unsigned char*>(src); // TurboJPEG 2.x takes a non-const source it does not write
    // Bottom-up into the picture's own rows: no intermediate buffer and no flip afterwards.
    const bool ok = tjDecompressHeader3(m_Jpeg, tables, (unsigned long)standardTables().size(), &width, &height,
                        &subsampling, &colourspace)
            == 0
        && tjDecompressHeader3(m_Jpeg, data, (unsigned long)size, &width, &height, &subsampling, &colourspace) == 0
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
