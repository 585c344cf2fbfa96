// DibImage: the one bitmap type of the viewer. Pixels live bottom-up in an aligned buffer of the image's
// own (8-bit with a 256-entry colour table, or 24-bit blue-green-red), so the kernels can walk raw rows and
// the buffer can be written to a BMP file as it stands. Drawing with pens, text and blits goes through Dc.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/BitmapHeader.h"
#include "imaging/Rect.h"

// A pixel operation over a clipped rectangle (see Apply). Rows are bottom-up.
//   dst, src, srcRect (left, top, right, bottom in source columns and bottom-up source rows),
//   dstX, dstY (bottom-up row of the rectangle's first row), dstBytesPerPixel, srcBytesPerPixel,
//   dstStride, srcStride, user1 (by convention the address of a pointer to the parameter block), user2.
using PixelKernel = int32_t (*)(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                                uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                                int32_t srcStride, void* user1, void* user2);

// A scaling operation; rectangles unclipped and unflipped (the whole image when the caller gave none).
using ScaleKernel = int32_t (*)(uint8_t* dst, const uint8_t* src, const Rect* dstRect, const Rect* srcRect,
                                int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight,
                                uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                                int32_t srcStride, void* user1, void* user2);

class DibImage {
public:
    // Largest pixel array we agree to hold; anything above is a corrupt header, not a picture.
    static constexpr int64_t kMaxBytes = int64_t(1) << 30;

    DibImage();
    ~DibImage();
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;
    // Moving hands over the pixels; the image moved from is left empty.
    DibImage(DibImage&& other) noexcept;
    DibImage& operator=(DibImage&& other) noexcept;

    int Create(int32_t width, int32_t height, uint16_t bitsPerPixel);
    int CreateFromHeader(const BitmapV4Header* header);
    int CreateLike(const DibImage* other);
    void Destroy();

    // mode 0: grey ramp; mode 2: entries [first, first + count) from table; other modes do nothing.
    int SetColorTable(int mode, const RgbQuad* table, int first, int count);

    // Top-down coordinates; nullptr means the whole image. Both clip to the images.
    int Fill(const Rect* rect, ColorRef color);
    int Blit(const DibImage& src, const Rect* srcRect, int32_t x, int32_t y);

    // Runs kernel over srcRect (top-down, whole source when null) placed at (x, y) top-down in this image,
    // after clipping against both images. Returns 0 when nothing remains, else the kernel's result.
    int Apply(PixelKernel kernel, const DibImage& src, const Rect* srcRect, int32_t x, int32_t y, void* user1,
              void* user2);
    int ApplyScaled(ScaleKernel kernel, const DibImage& src, const Rect* srcRect, const Rect* dstRect, void* user1,
                    void* user2);

    // Writes the picture as a BMP file, replacing fileName whole (see AtomicFile). 0 when it was not
    // written: an existing file of that name then stays as it was.
    int SaveBmp(const QString& fileName) const;
    // A packed bitmap (info header, colour table, pixels) of size bytes. Data that runs past size, or a
    // format we do not decode, is refused.
    int LoadDib(const uint8_t* data, size_t size);
    // A whole BMP file image in memory.
    int LoadBmpImage(const uint8_t* data, size_t size);
    // BMP, JPEG, PNG or GIF; creates a 24-bit image of the picture's size when this image is empty.
    int LoadPictureFile(const QString& fileName);
    // A PNG among the program's resources (":/<type>/<language>/<id>.png"), in the current language or English.
    int LoadPngResource(int id, const char* type = "Png");

    bool isEmpty() const { return !m_Bits; }
    uint8_t* bits() { return m_Bits.get(); }
    const uint8_t* bits() const { return m_Bits.get(); }
    int32_t width() const { return m_Width; }
    int32_t height() const { return m_Height; }
    int32_t stride() const { return m_Stride; }
    uint16_t bitsPerPixel() const { return m_BitsPerPixel; }
    uint16_t bytesPerPixel() const { return uint16_t(m_BitsPerPixel / 8); }
    const BitmapV4Header& header() const { return m_Header; }
    const RgbQuad* colorTable() const { return m_ColorTable; }
    int64_t byteSize() const { return int64_t(m_Stride) * m_Height; }

    // Row y counted bottom-up (0 = bottom row) and top-down (0 = top row).
    uint8_t* rowBottomUp(int32_t y) { return m_Bits.get() + ptrdiff_t(m_Stride) * y; }
    const uint8_t* rowBottomUp(int32_t y) const { return m_Bits.get() + ptrdiff_t(m_Stride) * y; }
    uint8_t* rowTopDown(int32_t y) { return rowBottomUp(m_Height - 1 - y); }
    const uint8_t* rowTopDown(int32_t y) const { return rowBottomUp(m_Height - 1 - y); }

    // The table index nearest to a colour (8-bit images), as a palette device would pick it.
    uint8_t nearestIndex(uint8_t r, uint8_t g, uint8_t b) const;

    static int32_t strideFor(int32_t width, int bitsPerPixel);

private:
    struct FreeAligned {
        void operator()(uint8_t* p) const;
    };
    int allocate();
    void tableChanged();
    // Stores top-down rows of red-green-blue(-alpha) pixels at the top-left corner of this image.
    void storeTopDownRgb(const uint8_t* rows, ptrdiff_t rowBytes, int channels, int32_t width, int32_t height);

    friend class Dc;
    void reverseRows();

    BitmapV4Header m_Header;
    std::unique_ptr<uint8_t, FreeAligned> m_Bits;
    int32_t m_Width = 0;
    int32_t m_Height = 0;
    int32_t m_Stride = 0;
    uint16_t m_BitsPerPixel = 0;
    RgbQuad m_ColorTable[256] = {};
    bool m_GreyRamp = false;  // the table is the plain grey ramp (fast nearest-colour path)
};
