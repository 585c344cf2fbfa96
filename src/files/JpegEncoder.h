// Our own baseline JPEG (JFIF) encoder for 24-bit pictures: fixed parameters (the standard quantisation
// tables scaled to a quality, unscaled at the default 50; 4:2:0, the standard Huffman tables, 72 dots per
// inch). At the default quality each 2 x 2 group's colour is its top-left pixel's, the bytes the viewer has
// always written; at any other quality it is the group's mean, so that a line one pixel wide keeps its
// colour wherever it lies. The whole file is built in one buffer and written with a single write.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "files/COutBitStream.h"
#include "files/JpegDct.h"
#include "files/JpegTables.h"

class DibImage;

// The picture as three planes of red, green and blue bytes, rows top-down. Any layout works: pixel x of
// row y of the red plane is at r[y * rowStep + x * pixelStep]. Packed planes have pixelStep 1 and
// rowStep = width; a bottom-up blue-green-red bitmap is read in place by pointing at its last row with a
// negative rowStep and pixelStep 3.
struct JpegPlanes {
    const uint8_t* r = nullptr;
    const uint8_t* g = nullptr;
    const uint8_t* b = nullptr;
    ptrdiff_t pixelStep = 1;
    ptrdiff_t rowStep = 0;
};

class JpegEncoder {
public:
    // quality: 1..100 (outside taken as the nearest end), see jpeg::ScaledQuantTables.
    explicit JpegEncoder(const JpegPlanes& planes, int quality = jpeg::kDefaultQuality);

    // The comment is written with its terminating zero byte; units 1 means dots per inch.
    void SetParameters(int32_t width, int32_t height, const char* comment = "  ", uint8_t units = 1,
        uint16_t xDensity = 72, uint16_t yDensity = 72);
    // 0 when the file is in the buffer, -1 when encoding failed (no memory, buffer full, bad size).
    int Encode();
    // The file's bytes after a successful Encode; the caller owns them.
    COutBitStream::Buffer TakeBuffer(int64_t* length);

private:
    void writeHeaders();
    void encodeScan();
    void fillStrip(int mcuRow);
    void codeBlock(const int16_t* coefficients, uint64_t nonZeroColumns, int component);

    JpegPlanes m_Planes;
    int32_t m_Width = 0;
    int32_t m_Height = 0;
    int m_Components = 3;
    int m_Precision = 8;
    const char* m_Comment = "  ";
    uint8_t m_Units = 1;
    uint16_t m_XDensity = 72;
    uint16_t m_YDensity = 72;
    int m_Predictor[3] = { 0, 0, 0 };
    int m_McuRows = 0;
    int m_McuCols = 0;
    jpeg::QuantTables m_Quant;
    jpeg::BlockTransform m_Transform;
    const jpeg::HuffmanCodes& m_DcLuma;
    const jpeg::HuffmanCodes& m_DcChroma;
    const jpeg::HuffmanCodes& m_AcLuma;
    const jpeg::HuffmanCodes& m_AcChroma;
    std::unique_ptr<COutBitStream> m_Stream;
    // One MCU row of samples: 16 luminance rows and 8 rows of each chrominance, padded to whole MCUs.
    std::unique_ptr<int16_t[]> m_Luma;
    std::unique_ptr<int16_t[]> m_Cb;
    std::unique_ptr<int16_t[]> m_Cr;
    // Each 2 x 2 group's chrominance from its mean colour (other qualities than the default).
    bool m_MeanChroma = false;
};

// Encodes a 24-bit picture into fileName. Returns whether the file was written; when encoding or writing
// fails, no file is left behind (an existing file of that name is kept as it was).
bool EncodeJpeg(const DibImage& picture, const QString& fileName, int quality = jpeg::kDefaultQuality);
