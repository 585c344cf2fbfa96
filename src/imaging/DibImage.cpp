#include "imaging/DibImage.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/PixelConverter.h"
#include "imaging/PngReader.h"
#include "platform/AtomicFile.h"
#include "platform/Language.h"

namespace {

constexpr uint16_t kBmMagic = 0x4D42;  // "BM", little-endian
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kColorTableBytes = 256 * 4;

template <typename T>
T readLe(const uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);  // the headers are little-endian, as is every machine we build for
    return v;
}

Rect wholeOf(const DibImage& img) { return {0, 0, img.width(), img.height()}; }

// Clips a top-down rectangle against a w x h surface.
Rect clipTo(Rect r, int32_t w, int32_t h)
{
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, w);
    r.bottom = std::min(r.bottom, h);
    return r;
}

}  // namespace

void DibImage::FreeAligned::operator()(uint8_t* p) const { std::free(p); }

DibImage::DibImage() = default;

DibImage::~DibImage() { Destroy(); }

DibImage::DibImage(DibImage&& other) noexcept
{
    *this = std::move(other);
}

DibImage& DibImage::operator=(DibImage&& other) noexcept
{
    if (this == &other)
        return *this;
    m_Header = other.m_Header;
    m_Bits = std::move(other.m_Bits);
    m_Width = other.m_Width;
    m_Height = other.m_Height;
    m_Stride = other.m_Stride;
    m_BitsPerPixel = other.m_BitsPerPixel;
    std::copy(std::begin(other.m_ColorTable), std::end(other.m_ColorTable), std::begin(m_ColorTable));
    m_GreyRamp = other.m_GreyRamp;
    other.Destroy();
    return *this;
}

int32_t DibImage::strideFor(int32_t width, int bitsPerPixel)
{
    return int32_t(((int64_t(width) * (bitsPerPixel / 8)) + 3) & ~int64_t(3));
}

int DibImage::Create(int32_t width, int32_t height, uint16_t bitsPerPixel)
{
    if (width <= 0 || height <= 0 || (bitsPerPixel != 8 && bitsPerPixel != 24))
        return 0;
    if (int64_t(strideFor(width, bitsPerPixel)) * height > kMaxBytes || int64_t(width) * 3 > kMaxBytes)
        return 0;
    Destroy();
    m_Header.info.width = width;
    m_Header.info.height = height;
    m_Header.info.planes = 1;
    m_Header.info.bitCount = bitsPerPixel;
    m_Header.info.compression = kBiRgb;
    m_Width = width;
    m_Height = height;
    m_BitsPerPixel = bitsPerPixel;
    m_Stride = strideFor(width, bitsPerPixel);
    return allocate();
}

int DibImage::CreateFromHeader(const BitmapV4Header* header)
{
    if (!header || header->info.width <= 0 || header->info.height <= 0)
        return 0;
    const BitmapV4Header copy = *header;
    if (!Create(copy.info.width, copy.info.height, copy.info.bitCount))
        return 0;
    m_Header = copy;
    m_Header.info.size = sizeof(BitmapV4Header);
    return 1;
}

int DibImage::CreateLike(const DibImage* other)
{
    if (!other || other == this || other->isEmpty())
        return 0;
    if (!Create(other->m_Width, other->m_Height, other->m_BitsPerPixel))
        return 0;
    m_Header = other->m_Header;
    if (m_BitsPerPixel == 8)
        SetColorTable(2, other->m_ColorTable, 0, 256);
    return 1;
}

int DibImage::allocate()
{
    // Rounded up to whole cache lines so vector kernels may read a full register at a row's end.
    const size_t bytes = (size_t(m_Stride) * size_t(m_Height) + 63) & ~size_t(63);
    auto* p = static_cast<uint8_t*>(std::aligned_alloc(64, bytes + 64));
    if (!p) {
        Destroy();
        return 0;
    }
    std::memset(p, 0, bytes + 64);
    m_Bits.reset(p);
    if (m_BitsPerPixel == 8)
        SetColorTable(0, nullptr, 0, 256);
    return 1;
}

void DibImage::Destroy()
{
    m_Bits.reset();
    m_Width = m_Height = m_Stride = 0;
    m_BitsPerPixel = 0;
    m_Header = BitmapV4Header{};
    std::fill(std::begin(m_ColorTable), std::end(m_ColorTable), RgbQuad{});
    m_GreyRamp = false;
}

int DibImage::SetColorTable(int mode, const RgbQuad* table, int first, int count)
{
    if (mode == 0) {
        for (int i = 0; i < 256; ++i)
            m_ColorTable[i] = RgbQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
    } else if (mode == 2 && table) {
        const int begin = std::clamp(first, 0, 256);
        const int end = std::clamp(first + std::max(count, 0), begin, 256);
        std::copy(table, table + (end - begin), m_ColorTable + begin);
    }
    tableChanged();
    return 1;
}

void DibImage::tableChanged()
{
    m_GreyRamp = true;
    for (int i = 0; i < 256 && m_GreyRamp; ++i) {
        const RgbQuad& q = m_ColorTable[i];
        m_GreyRamp = q.red == i && q.green == i && q.blue == i;
    }
}

uint8_t DibImage::nearestIndex(uint8_t r, uint8_t g, uint8_t b) const
{
    if (m_GreyRamp)
        return uint8_t((2 * (r + g + b) + 3) / 6);  // the grey nearest to (r, g, b) is their rounded mean
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < 256 && bestDistance > 0; ++i) {
        const RgbQuad& q = m_ColorTable[i];
        const int dr = q.red - r, dg = q.green - g, db = q.blue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return uint8_t(best);
}

int DibImage::Fill(const Rect* rect, ColorRef color)
{
    if (isEmpty())
        return 0;
    const Rect r = clipTo(rect ? *rect : wholeOf(*this), m_Width, m_Height);
    if (r.isEmpty())
        return 1;
    const uint8_t bgr[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
    const uint8_t index = m_BitsPerPixel == 8 ? nearestIndex(bgr[2], bgr[1], bgr[0]) : 0;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* row = rowTopDown(y);
        if (m_BitsPerPixel == 8) {
            std::memset(row + r.left, index, size_t(r.width()));
        } else {
            for (int32_t x = r.left; x < r.right; ++x)
                std::memcpy(row + 3 * x, bgr, 3);
        }
    }
    return 1;
}

int DibImage::Blit(const DibImage& src, const Rect* srcRect, int32_t x, int32_t y)
{
    if (isEmpty() || src.isEmpty())
        return 0;
    const Rect s = srcRect ? *srcRect : wholeOf(src);
    // Clip the destination span, move the source by what was cut, then clip the source the same way.
    Rect d{x, y, x + s.width(), y + s.height()};
    const Rect dc = clipTo(d, m_Width, m_Height);
    Rect sc{s.left + (dc.left - d.left), s.top + (dc.top - d.top), 0, 0};
    sc.right = sc.left + dc.width();
    sc.bottom = sc.top + dc.height();
    const Rect sc2 = clipTo(sc, src.m_Width, src.m_Height);
    const int32_t w = sc2.width(), h = sc2.height();
    if (w <= 0 || h <= 0)
        return 1;
    const int32_t dx = dc.left + (sc2.left - sc.left), dy = dc.top + (sc2.top - sc.top);
    const PixelConverter convert(src.m_BitsPerPixel, src.m_ColorTable, *this);
    const int sb = src.bytesPerPixel(), db = bytesPerPixel();
    // Walk bottom-to-top when copying within one image downwards, so rows are read before they are overwritten.
    const bool backwards = &src == this && dy > sc2.top;
    for (int32_t i = 0; i < h; ++i) {
        const int32_t row = backwards ? h - 1 - i : i;
        convert.run(src.rowTopDown(sc2.top + row) + sb * sc2.left, rowTopDown(dy + row) + db * dx, w);
    }
    return 1;
}

int DibImage::Apply(PixelKernel kernel, const DibImage& src, const Rect* srcRect, int32_t x, int32_t y, void* user1,
                    void* user2)
{
    if (!kernel || isEmpty() || src.isEmpty())
        return 0;
    const Rect r = srcRect ? *srcRect : wholeOf(src);
    Rect d{x, y, x + r.width(), y + r.height()};
    if (d.right <= 0 || d.bottom <= 0 || d.left >= m_Width || d.top >= m_Height)
        return 0;
    d = clipTo(d, m_Width, m_Height);
    Rect s{r.left + (d.left - x), r.top + (d.top - y), 0, 0};
    s.right = s.left + d.width();
    s.bottom = s.top + d.height();
    if (s.right <= 0 || s.bottom <= 0 || s.left >= src.m_Width || s.top >= src.m_Height)
        return 0;
    // Whatever the source clip cuts is cut from the destination span too, so both stay the same size.
    const int32_t cutLeft = std::max(0, -s.left), cutTop = std::max(0, -s.top);
    const int32_t cutRight = std::max(0, s.right - src.m_Width), cutBottom = std::max(0, s.bottom - src.m_Height);
    s = {s.left + cutLeft, s.top + cutTop, s.right - cutRight, s.bottom - cutBottom};
    d = {d.left + cutLeft, d.top + cutTop, d.right - cutRight, d.bottom - cutBottom};
    if (s.isEmpty())
        return 0;
    const Rect kernelRect{s.left, src.m_Height - s.bottom, s.right, src.m_Height - s.top};
    return kernel(bits(), src.bits(), &kernelRect, d.left, m_Height - d.bottom, bytesPerPixel(), src.bytesPerPixel(),
                  m_Stride, src.m_Stride, user1, user2);
}

int DibImage::ApplyScaled(ScaleKernel kernel, const DibImage& src, const Rect* srcRect, const Rect* dstRect,
                          void* user1, void* user2)
{
    if (!kernel || isEmpty() || src.isEmpty())
        return 0;
    const Rect s = srcRect ? *srcRect : wholeOf(src);
    const Rect d = dstRect ? *dstRect : wholeOf(*this);
    return kernel(bits(), src.bits(), &d, &s, m_Width, m_Height, src.m_Width, src.m_Height, bytesPerPixel(),
                  src.bytesPerPixel(), m_Stride, src.m_Stride, user1, user2);
}

int DibImage::SaveBmp(const QString& fileName) const
{
    if (isEmpty())
        return 0;
    const bool indexed = m_BitsPerPixel <= 8;
    const uint32_t offset = kFileHeaderBytes + kInfoHeaderBytes + (indexed ? kColorTableBytes : 0);
    BitmapFileHeader file;
    file.type = kBmMagic;
    file.size = uint32_t(offset + uint64_t(byteSize()));
    file.offBits = offset;
    BitmapInfoHeader info = m_Header.info;
    info.size = kInfoHeaderBytes;

    QByteArray head;
    head.append(reinterpret_cast<const char*>(&file), sizeof file);
    head.append(reinterpret_cast<const char*>(&info), sizeof info);
    if (indexed)
        head.append(reinterpret_cast<const char*>(m_ColorTable), kColorTableBytes);

    AtomicFile out(fileName);
    out.write(head);
    out.write(bits(), byteSize());
    return out.commit() ? 1 : 0;
}

int DibImage::LoadDib(const uint8_t* data, size_t size)
{
    if (!data || size < kInfoHeaderBytes)
        return 0;
    BitmapInfoHeader info;
    std::memcpy(&info, data, sizeof info);
    const int bitCount = info.bitCount;
    // Only uncompressed bitmaps with a Windows info header (or a later, longer one) are ours to decode.
    if (info.size < kInfoHeaderBytes || info.size > size || info.compression != kBiRgb || info.width <= 0 ||
        info.height <= 0 || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32))
        return 0;
    if (info.sizeImage == 0) {
        const int64_t rowBytes = (int64_t(bitCount) * info.width + 31) / 8 & ~int64_t(3);
        info.sizeImage = rowBytes > int64_t(UINT32_MAX) / info.height ? UINT32_MAX : uint32_t(rowBytes * info.height);
    }

    const uint32_t colors = info.clrUsed != 0 ? info.clrUsed : (bitCount <= 8 ? 1u << bitCount : 0u);
    if (colors > 256)
        return 0;
    RgbQuad table[256] = {};
    const size_t tableAt = info.size;
    const size_t pixelsAt = tableAt + size_t(colors) * 4;
    const int64_t srcStride = ((int64_t(bitCount) * info.width + 31) / 32) * 4;
    // Rows are counted against the bytes there are by division, so no product of two header fields can wrap.
    if (pixelsAt > size || info.height > int64_t(size - pixelsAt) / srcStride || info.height > kMaxBytes / srcStride)
        return 0;
    std::memcpy(table, data + tableAt, size_t(colors) * 4);

    if (isEmpty()) {
        BitmapV4Header header;
        std::memcpy(&header.info, &info, sizeof info);
        header.info.size = sizeof(BitmapV4Header);
        header.info.bitCount = bitCount <= 8 ? 8 : 24;
        header.info.sizeImage = 0;
        header.info.clrUsed = 0;
        if (!CreateFromHeader(&header))
            return 0;
    }
    if (colors > 0 && m_BitsPerPixel == 8)
        SetColorTable(2, table, 0, 256);

    // Expand each source row into 8-bit indices or 24-bit pixels, then convert into this image's format.
    const bool indexed = bitCount <= 8;
    const PixelConverter convert(indexed ? 8 : 24, table, *this);
    const int32_t w = std::min(info.width, m_Width);
    std::vector<uint8_t> row(size_t(w) * 3);
    for (int32_t t = 0; t < std::min(info.height, m_Height); ++t) {
        const uint8_t* s = data + pixelsAt + srcStride * (info.height - 1 - t);
        for (int32_t x = 0; x < w; ++x) {
            switch (bitCount) {
            case 1: row[x] = (s[x >> 3] >> (7 - (x & 7))) & 1; break;
            case 4: row[x] = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15; break;
            case 8: row[x] = s[x]; break;
            case 24: std::memcpy(&row[3 * x], s + 3 * x, 3); break;
            case 32: std::memcpy(&row[3 * x], s + 4 * x, 3); break;
            }
        }
        convert.run(row.data(), rowTopDown(t), w);
    }
    return 1;
}

int DibImage::LoadBmpImage(const uint8_t* data, size_t size)
{
    if (!data || size < kFileHeaderBytes || readLe<uint16_t>(data) != kBmMagic)
        return 0;
    return LoadDib(data + kFileHeaderBytes, size - kFileHeaderBytes);
}

void DibImage::storeTopDownRgb(const uint8_t* rows, ptrdiff_t rowBytes, int channels, int32_t width, int32_t height)
{
    const int32_t w = std::min(width, m_Width);
    const int32_t h = std::min(height, m_Height);
    for (int32_t t = 0; t < h; ++t) {
        const uint8_t* s = rows + rowBytes * t;
        uint8_t* d = rowTopDown(t);
        if (m_BitsPerPixel == 24) {
            for (int32_t x = 0; x < w; ++x, s += channels, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
        } else {
            for (int32_t x = 0; x < w; ++x, s += channels)
                d[x] = nearestIndex(s[0], s[1], s[2]);
        }
    }
}

int DibImage::LoadPictureFile(const QString& fileName)
{
    QImageReader reader(fileName);
    reader.setAutoTransform(false);  // the picture as stored, not as its orientation tag would turn it
    QImage picture = reader.read();
    if (picture.isNull())
        return 0;
    if (isEmpty() && !Create(picture.width(), picture.height(), 24))
        return 0;
    if (m_BitsPerPixel == 24) {
        // Qt converts straight into our byte order; then rows are only copied, bottom-up.
        picture = picture.convertToFormat(QImage::Format_BGR888);
        if (picture.isNull())
            return 0;
        const int32_t w = std::min(picture.width(), m_Width), h = std::min(picture.height(), m_Height);
        for (int32_t t = 0; t < h; ++t)
            std::memcpy(rowTopDown(t), picture.constScanLine(t), size_t(w) * 3);
        return 1;
    }
    picture = picture.convertToFormat(QImage::Format_RGB888);
    if (picture.isNull())
        return 0;
    storeTopDownRgb(picture.constBits(), picture.bytesPerLine(), 3, picture.width(), picture.height());
    return 1;
}

int DibImage::LoadPngResource(int id, const char* type)
{
    const auto pathFor = [&](int language) { return QString(":/%1/%2/%3.png").arg(type).arg(language).arg(id); };
    QFile file(pathFor(g_bJapanese ? 1041 : 1033));
    if (!file.exists())
        file.setFileName(pathFor(1033));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    PngImage png;
    if (!ReadPng(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), png))
        return 0;
    if (png.channels < 3 || !Create(png.width, png.height, 24))
        return 0;
    storeTopDownRgb(png.pixels.data(), ptrdiff_t(png.width) * png.channels, png.channels, png.width, png.height);
    return 1;
}

void DibImage::reverseRows()
{
    std::vector<uint8_t> tmp(static_cast<size_t>(m_Stride));
    for (int32_t top = 0, bottom = m_Height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = rowBottomUp(top);
        uint8_t* b = rowBottomUp(bottom);
        std::memcpy(tmp.data(), a, tmp.size());
        std::memcpy(a, b, tmp.size());
        std::memcpy(b, tmp.data(), tmp.size());
    }
}
