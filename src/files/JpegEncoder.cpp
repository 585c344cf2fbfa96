#include "files/JpegEncoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/JpegColor.h"
#include "files/JpegTables.h"
#include "imaging/DibImage.h"
#include "platform/AtomicFile.h"

namespace {

// Marker codes (second byte after FF).
constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kApp0 = 0xE0;
constexpr uint8_t kCom = 0xFE;
constexpr uint8_t kDqt = 0xDB;
constexpr uint8_t kDht = 0xC4;
constexpr uint8_t kSof0 = 0xC0;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kEoi = 0xD9;

constexpr int kMaxDimension = 65535; // SOF0 holds 16-bit sizes
constexpr int64_t kMinBuffer = 10240;

// Column-by-column block index of each zig-zag position (the transform hands blocks over by columns),
// and for each column v and each pattern of its non-zero rows, the same coefficients as zig-zag bits.
struct ZigZagColumns {
    uint8_t index[64];
    uint64_t bits[8][256];
    constexpr ZigZagColumns()
        : index {}
        , bits {}
    {
        for (int k = 0; k < 64; ++k) {
            const int natural = jpeg::kZigZag[k];
            index[k] = uint8_t((natural % 8) * 8 + natural / 8);
            const int v = natural % 8, u = natural / 8;
            for (int pattern = 0; pattern < 256; ++pattern)
                if (pattern >> u & 1)
                    bits[v][pattern] |= uint64_t(1) << k;
        }
    }
};
constexpr ZigZagColumns kZigZagColumns;

inline int bitCount(int magnitude)
{
    return magnitude ? 32 - __builtin_clz(unsigned(magnitude)) : 0;
}

void putMarker(COutBitStream& out, uint8_t code)
{
    out.SetByte(0xFF);
    out.SetByte(code);
}

void putHuffmanTable(COutBitStream& out, int tableClass, int id, const jpeg::HuffmanTable& table)
{
    putMarker(out, kDht);
    out.SetWord(uint16_t(2 + 1 + 16 + table.symbolCount)); // length
    out.SetByte(uint8_t(tableClass << 4 | id)); // class (0 DC, 1 AC) and table id
    out.CopyByte(table.counts, 16); // codes of each length 1..16
    out.CopyByte(table.symbols, table.symbolCount);
}

void putQuantTable(COutBitStream& out, int id, const uint8_t* natural)
{
    uint8_t zigzag[64];
    for (int k = 0; k < 64; ++k)
        zigzag[k] = natural[jpeg::kZigZag[k]];
    putMarker(out, kDqt);
    out.SetWord(67); // length: 2 + 1 + 64
    out.SetByte(uint8_t(id)); // 8-bit precision, table id
    out.CopyByte(zigzag, 64);
}

} // namespace

JpegEncoder::JpegEncoder(const JpegPlanes& planes, int quality)
    : m_Planes(planes)
    , m_Quant(jpeg::ScaledQuantTables(quality))
    , m_Transform(m_Quant)
    , m_DcLuma(jpeg::DcLumaCodes())
    , m_DcChroma(jpeg::DcChromaCodes())
    , m_AcLuma(jpeg::AcLumaCodes())
    , m_AcChroma(jpeg::AcChromaCodes())
    , m_MeanChroma(std::clamp(quality, 1, 100) != jpeg::kDefaultQuality)
{
}

void JpegEncoder::SetParameters(
    int32_t width, int32_t height, const char* comment, uint8_t units, uint16_t xDensity, uint16_t yDensity)
{
    m_Width = width;
    m_Height = height;
    m_Comment = comment ? comment : "";
    m_Units = units;
    m_XDensity = xDensity;
    m_YDensity = yDensity;
    m_Components = 3;
    m_Precision = 8;
}

int JpegEncoder::Encode()
{
    if (m_Width <= 0 || m_Height <= 0 || m_Width > kMaxDimension || m_Height > kMaxDimension || !m_Planes.r
        || !m_Planes.g || !m_Planes.b)
        return -1;
    try {
        m_McuRows = (m_Height + 15) / 16;
        m_McuCols = (m_Width + 15) / 16;
        m_Predictor[0] = m_Predictor[1] = m_Predictor[2] = 0;
        // Three bytes per coded pixel: the MCUs cover the picture padded to whole 16 x 16 blocks, and a
        // picture one row high codes sixteen (counting only its own pixels, thin noise overflows).
        const int64_t codedPixels = int64_t(m_McuCols) * 16 * m_McuRows * 16;
        m_Stream = std::make_unique<COutBitStream>(std::max<int64_t>(codedPixels * 3, kMinBuffer));
        writeHeaders();
        encodeScan();
        m_Stream->Pad();
        putMarker(*m_Stream, kEoi);
        return 0;
    } catch (const EMemoryError&) {
    } catch (const EBufferError&) {
    } catch (const EIndexError&) {
    } catch (const std::bad_alloc&) {
    }
    m_Stream.reset();
    return -1;
}

COutBitStream::Buffer JpegEncoder::TakeBuffer(int64_t* length)
{
    if (!m_Stream) {
        if (length)
            *length = 0;
        return {};
    }
    return m_Stream->TakeBuffer(length);
}

void JpegEncoder::writeHeaders()
{
    COutBitStream& out = *m_Stream;
    putMarker(out, kSoi);

    putMarker(out, kApp0);
    out.SetWord(16); // length
    out.CopyByte(reinterpret_cast<const uint8_t*>("JFIF"), 5); // identifier with its zero byte
    out.SetWord(0x0102); // version 1.02
    out.SetByte(m_Units);
    out.SetWord(m_XDensity);
    out.SetWord(m_YDensity);
    out.SetByte(0); // no embedded thumbnail: width 0
    out.SetByte(0); // and height 0

    const int64_t commentBytes = int64_t(std::strlen(m_Comment)) + 1; // with the zero byte
    if (commentBytes + 2 > 0xFFFF)
        throw EIndexError { 0xFFFF, int32_t(std::min<int64_t>(commentBytes, INT32_MAX)), "Comment" };
    putMarker(out, kCom);
    out.SetWord(uint16_t(commentBytes + 2)); // length
    out.CopyByte(reinterpret_cast<const uint8_t*>(m_Comment), commentBytes);

    putQuantTable(out, 0, m_Quant.luma);
    putQuantTable(out, 1, m_Quant.chroma);
    putHuffmanTable(out, 0, 0, jpeg::kDcLuma);
    putHuffmanTable(out, 0, 1, jpeg::kDcChroma);
    putHuffmanTable(out, 1, 0, jpeg::kAcLuma);
    putHuffmanTable(out, 1, 1, jpeg::kAcChroma);

    putMarker(out, kSof0);
    out.SetWord(uint16_t(8 + 3 * m_Components)); // length: 17
    out.SetByte(uint8_t(m_Precision));
    out.SetWord(uint16_t(m_Height));
    out.SetWord(uint16_t(m_Width));
    out.SetByte(uint8_t(m_Components));
    const uint8_t components[3][3] = { { 0, 0x22, 0 }, { 1, 0x11, 1 }, { 2, 0x11, 1 } }; // id, sampling, table
    for (const auto& c : components)
        out.CopyByte(c, 3);

    putMarker(out, kSos);
    out.SetWord(uint16_t(6 + 2 * m_Components)); // length: 12
    out.SetByte(uint8_t(m_Components));
    const uint8_t tables[3][2] = { { 0, 0x00 }, { 1, 0x11 }, { 2, 0x11 } }; // id, DC and AC table
    for (const auto& t : tables)
        out.CopyByte(t, 2);
    out.SetByte(0); // Ss: first coefficient
    out.SetByte(63); // Se: last coefficient
    out.SetByte(0); // Ah, Al: no successive approximation
}

// Converts the 16 picture rows of one MCU row into the strip. Positions beyond the picture take the
// last column and row: luminance rows below the picture repeat the row above them, and a chrominance row
// below it is the last picture row's, which may be an odd row that has none of its own yet.
void JpegEncoder::fillStrip(int mcuRow)
{
    const int stripWidth = m_McuCols * 16;
    const int chromaWidth = stripWidth / 2;
    const int chromaCount = (m_Width + 1) / 2; // samples at x = 0, 2, 4, ... inside the picture
    const ptrdiff_t step = m_Planes.pixelStep;
    for (int j = 0; j < 16; ++j) {
        const int y = mcuRow * 16 + j;
        const bool below = y >= m_Height;
        const ptrdiff_t at = ptrdiff_t(std::min(y, m_Height - 1)) * m_Planes.rowStep;
        const uint8_t* r = m_Planes.r + at;
        const uint8_t* g = m_Planes.g + at;
        const uint8_t* b = m_Planes.b + at;
        int16_t* luma = m_Luma.get() + ptrdiff_t(j) * stripWidth;
        // The next row is fetched while this one is converted: rows lie backwards in a bitmap, where the
        // processor's own prefetching does not look.
        if (y + 1 < m_Height) {
            const uint8_t* next = m_Planes.b + ptrdiff_t(y + 1) * m_Planes.rowStep;
            const ptrdiff_t bytes = ptrdiff_t(m_Width) * (step < 0 ? -step : step);
            const uint8_t* lowest
                = std::min({ next, m_Planes.r + (next - m_Planes.b), m_Planes.g + (next - m_Planes.b) });
            for (ptrdiff_t k = 0; k < bytes; k += 64)
                __builtin_prefetch(lowest + k);
        }
        int16_t* cb = m_Cb.get() + ptrdiff_t(j / 2) * chromaWidth;
        int16_t* cr = m_Cr.get() + ptrdiff_t(j / 2) * chromaWidth;
        // An even row's own colour (top-left of each 2 x 2 group) comes from the same pass as its Y.
        const bool together = !below && j % 2 == 0 && !m_MeanChroma;
        if (below && j > 0) {
            std::memcpy(luma, luma - stripWidth, sizeof(int16_t) * size_t(stripWidth));
        } else {
            if (together)
                jpeg::ConvertRowYChroma(r, g, b, step, m_Width, luma, cb, cr);
            else
                jpeg::ConvertRowY(r, g, b, step, m_Width, luma);
            std::fill(luma + m_Width, luma + stripWidth, luma[m_Width - 1]);
        }
        if (j % 2 != 0)
            continue;
        if (below && j >= 2 && y - 2 >= m_Height) {
            std::memcpy(cb, cb - chromaWidth, sizeof(int16_t) * size_t(chromaWidth));
            std::memcpy(cr, cr - chromaWidth, sizeof(int16_t) * size_t(chromaWidth));
            continue;
        }
        if (m_MeanChroma) {
            // The mean of the pixel pair on this row and the next (the last row and column stand in for
            // those beyond the picture), converted as one pixel.
            const ptrdiff_t next = ptrdiff_t(std::min(y + 1, m_Height - 1)) * m_Planes.rowStep - at;
            jpeg::ConvertRowChromaMean(r, g, b, step, next, m_Width, cb, cr);
            std::fill(cb + chromaCount, cb + chromaWidth, cb[chromaCount - 1]);
            std::fill(cr + chromaCount, cr + chromaWidth, cr[chromaCount - 1]);
            continue;
        }
        if (!together)
            jpeg::ConvertRowChroma(r, g, b, 2 * step, chromaCount, cb, cr);
        if (chromaCount < chromaWidth) {
            const ptrdiff_t last = ptrdiff_t(m_Width - 1) * step;
            int16_t edgeCb = 0, edgeCr = 0;
            jpeg::ConvertRowChroma(r + last, g + last, b + last, step, 1, &edgeCb, &edgeCr);
            std::fill(cb + chromaCount, cb + chromaWidth, edgeCb);
            std::fill(cr + chromaCount, cr + chromaWidth, edgeCr);
        }
    }
}

void JpegEncoder::encodeScan()
{
    const int stripWidth = m_McuCols * 16;
    m_Luma.reset(new int16_t[size_t(stripWidth) * 16]);
    m_Cb.reset(new int16_t[size_t(stripWidth / 2) * 8]);
    m_Cr.reset(new int16_t[size_t(stripWidth / 2) * 8]);
    alignas(32) int16_t block[64];
    for (int row = 0; row < m_McuRows; ++row) {
        fillStrip(row);
        for (int col = 0; col < m_McuCols; ++col) {
            const int16_t* luma = m_Luma.get() + col * 16;
            const ptrdiff_t below = ptrdiff_t(8) * stripWidth;
            const int16_t* lumaBlocks[4] = { luma, luma + 8, luma + below, luma + below + 8 };
            for (const int16_t* src : lumaBlocks)
                codeBlock(block, m_Transform.Quantize(src, stripWidth, 0, block), 0);
            codeBlock(block, m_Transform.Quantize(m_Cb.get() + col * 8, stripWidth / 2, 1, block), 1);
            codeBlock(block, m_Transform.Quantize(m_Cr.get() + col * 8, stripWidth / 2, 1, block), 2);
        }
    }
}

// Huffman coding of one quantised block (column by column, with the mask of its non-zero coefficients)
// of component 0 (Y), 1 (Cb) or 2 (Cr).
void JpegEncoder::codeBlock(const int16_t* coefficients, uint64_t nonZeroColumns, int component)
{
    const jpeg::HuffmanCodes& dc = component == 0 ? m_DcLuma : m_DcChroma;
    const jpeg::HuffmanCodes& ac = component == 0 ? m_AcLuma : m_AcChroma;
    COutBitStream& out = *m_Stream;
    COutBitStream::Bits bits = out.TakeBits();

    const int diff = coefficients[0] - m_Predictor[component];
    m_Predictor[component] = coefficients[0];
    const int dcSize = bitCount(diff < 0 ? -diff : diff);
    if (dcSize >= jpeg::kDcEntries)
        throw EIndexError { jpeg::kDcEntries, dcSize, "CodeHuffman:DC" };
    // A negative value is sent as its size's low bits of value - 1.
    const uint32_t dcBits = uint32_t(diff < 0 ? diff - 1 : diff) & ((1u << dcSize) - 1);
    out.Put(bits, uint32_t(dc.code[dcSize]) << dcSize | dcBits, dc.length[dcSize] + dcSize);

    uint64_t nonZero = 0; // bit k: zig-zag coefficient k is not zero
    for (int v = 0; v < 8; ++v)
        nonZero |= kZigZagColumns.bits[v][(nonZeroColumns >> (8 * v)) & 255];
    nonZero &= ~uint64_t(1); // the DC is coded above
    int last = 0;
    while (nonZero) {
        const int k = __builtin_ctzll(nonZero);
        nonZero &= nonZero - 1;
        int run = k - last - 1;
        last = k;
        for (; run > 15; run -= 16)
            out.Put(bits, ac.code[jpeg::kAcSixteenZeros], ac.length[jpeg::kAcSixteenZeros]);
        const int value = coefficients[kZigZagColumns.index[k]];
        const int size = bitCount(value < 0 ? -value : value);
        const int index = run * 10 + size + (run == 15 ? 1 : 0);
        if (index >= jpeg::kAcEntries || size > 10)
            throw EIndexError { jpeg::kAcEntries, index, "CodeHuffman:AC" };
        const uint32_t low = uint32_t(value < 0 ? value - 1 : value) & ((1u << size) - 1);
        out.Put(bits, uint32_t(ac.code[index]) << size | low, ac.length[index] + size);
    }
    if (last != 63)
        out.Put(bits, ac.code[jpeg::kAcEndOfBlock], ac.length[jpeg::kAcEndOfBlock]);
    out.GiveBits(bits);
}

bool EncodeJpeg(const DibImage& picture, const QString& fileName, int quality)
{
    if (picture.isEmpty() || picture.bitsPerPixel() != 24)
        return false;
    // The bitmap is bottom-up blue-green-red: the top row is its last, read in place.
    const uint8_t* top = picture.rowTopDown(0);
    JpegPlanes planes { top + 2, top + 1, top, 3, -ptrdiff_t(picture.stride()) };
    JpegEncoder encoder(planes, quality);
    encoder.SetParameters(picture.width(), picture.height());
    if (encoder.Encode() != 0)
        return false;
    int64_t length = 0;
    const COutBitStream::Buffer bytes = encoder.TakeBuffer(&length);
    return WriteFileAtomically(fileName, bytes.get(), length);
}
