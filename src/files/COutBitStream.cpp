#include "files/COutBitStream.h"

#include <cstdlib>
#include <cstring>

#if defined(__unix__)
#include <sys/mman.h>
#endif

namespace {
// Buffers from this size on come straight from the system as untouched zero pages: a frame's buffer is
// mostly never written, and clearing it would cost more than encoding.
constexpr size_t kMappedFrom = size_t(1) << 20;
} // namespace

COutBitStream::Buffer COutBitStream::AllocateZeroed(size_t size)
{
#if defined(__unix__)
    if (size >= kMappedFrom) {
        void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return p == MAP_FAILED ? Buffer() : Buffer(static_cast<uint8_t*>(p), FreeBuffer { size });
    }
#endif
    return Buffer(static_cast<uint8_t*>(std::calloc(size, 1)), FreeBuffer { 0 });
}

void OutBufferFree::operator()(uint8_t* p) const
{
#if defined(__unix__)
    if (size >= kMappedFrom) {
        munmap(p, size);
        return;
    }
#endif
    std::free(p);
}

COutBitStream::COutBitStream(int64_t size)
{
    if (size <= 0 || uint64_t(size) > SIZE_MAX)
        throw EMemoryError { size, "COutBitStream" };
    m_Start = AllocateZeroed(size_t(size));
    if (!m_Start)
        throw EMemoryError { size, "COutBitStream" };
    m_Cursor = m_Start.get();
    m_End = m_Cursor + size;
}

void COutBitStream::SetBits(uint32_t value, int n)
{
    if (n > 16 || n < 0)
        throw EBufferError { "SetBits:Max Bit Over" };
    if (n == 0)
        return;
    PutBits(value & ((1u << n) - 1), n);
}

// One completed byte of entropy-coded data, with its stuffed 00 after an FF.
void COutBitStream::putStuffedByte(uint8_t b, const char* where)
{
    const ptrdiff_t need = b == 0xFF ? 2 : 1;
    if (m_End - m_Cursor < need) {
        m_Ok = false;
        throw EBufferError { where };
    }
    *m_Cursor++ = b;
    if (b == 0xFF)
        *m_Cursor++ = 0x00;
    if (m_Cursor == m_End)
        m_Ok = false;
}

// Moves the oldest 32 pending bits into the buffer.
void COutBitStream::flushWord()
{
    m_Pending -= 32;
    const uint32_t word = uint32_t(m_Acc >> m_Pending);
    // Fast path: room for the worst case and no FF byte in the word.
    const uint32_t inverted = ~word;
    const bool hasFF = ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
    if (!hasFF && m_End - m_Cursor > 8) {
        m_Cursor[0] = uint8_t(word >> 24);
        m_Cursor[1] = uint8_t(word >> 16);
        m_Cursor[2] = uint8_t(word >> 8);
        m_Cursor[3] = uint8_t(word);
        m_Cursor += 4;
        return;
    }
    for (int shift = 24; shift >= 0; shift -= 8)
        putStuffedByte(uint8_t(word >> shift), "SetBits");
}

void COutBitStream::flushWord(Bits& bits)
{
    m_Acc = bits.acc;
    m_Pending = bits.pending;
    flushWord();
    bits.pending = m_Pending;
}

void COutBitStream::drainWholeBytes()
{
    while (m_Pending >= 8) {
        m_Pending -= 8;
        putStuffedByte(uint8_t(m_Acc >> m_Pending), "SetBits");
    }
}

void COutBitStream::Pad()
{
    drainWholeBytes();
    if (m_Pending > 0) {
        const int fill = 8 - m_Pending;
        putStuffedByte(uint8_t((m_Acc << fill) | ((1u << fill) - 1)), "SetBits");
        m_Pending = 0;
    }
}

void COutBitStream::SetByte(uint8_t b)
{
    Pad();
    if (!m_Ok)
        throw EBufferError { "SetByte" };
    *m_Cursor++ = b;
    if (m_Cursor == m_End)
        m_Ok = false;
}

void COutBitStream::SetWord(uint16_t w)
{
    Pad();
    if (!m_Ok || m_End - m_Cursor < 2)
        throw EBufferError { "SetWord" };
    *m_Cursor++ = uint8_t(w >> 8);
    *m_Cursor++ = uint8_t(w);
    if (m_Cursor == m_End)
        m_Ok = false;
}

void COutBitStream::CopyByte(const uint8_t* bytes, int64_t n)
{
    Pad();
    if (n < 0 || n >= m_End - m_Cursor)
        throw EBufferError { "CopyByte" };
    if (n > 0)
        std::memcpy(m_Cursor, bytes, size_t(n));
    m_Cursor += n;
}

int64_t COutBitStream::length()
{
    drainWholeBytes();
    return m_Start ? m_Cursor - m_Start.get() : 0;
}

COutBitStream::Buffer COutBitStream::TakeBuffer(int64_t* length)
{
    if (length)
        *length = this->length();
    m_Cursor = m_End = nullptr;
    m_Ok = false;
    return std::move(m_Start);
}
