// The JPEG encoder's output: a zero-filled byte buffer of fixed size that takes bits (most significant
// first, with a 00 stuffed after every FF byte of entropy-coded data) and whole bytes, words and byte runs
// (after completing the current byte with 1-bits). Nothing is ever written past the end of the buffer:
// a full buffer throws EBufferError.
#pragma once

#include <cstdint>
#include <memory>

#include "files/JpegErrors.h"

// Frees what COutBitStream::AllocateZeroed handed out (it remembers how).
struct OutBufferFree {
    size_t size = 0;
    void operator()(uint8_t* p) const;
};

class COutBitStream {
public:
    using FreeBuffer = OutBufferFree;
    using Buffer = std::unique_ptr<uint8_t, FreeBuffer>;
    // size bytes of zeros, or an empty buffer.
    static Buffer AllocateZeroed(size_t size);

    // Throws EMemoryError(size, "COutBitStream") when size <= 0 or the memory is not there.
    explicit COutBitStream(int64_t size);

    // The low n bits of value, most significant first (n <= 16; n = 0 writes nothing).
    void SetBits(uint32_t value, int n);
    void SetByte(uint8_t b);
    void SetWord(uint16_t w);
    void CopyByte(const uint8_t* bytes, int64_t n);
    // Completes the current byte with 1-bits.
    void Pad();

    // The entropy coder's path: up to 32 bits at once, no range check on n.
    inline void PutBits(uint32_t bits, int n);

    // The pending bits as the entropy coder keeps them through a block, in registers rather than in the
    // stream: taken with TakeBits, added to with Put, handed back with GiveBits.
    struct Bits {
        uint64_t acc;
        int pending;
    };
    Bits TakeBits() const { return { m_Acc, m_Pending }; }
    void GiveBits(Bits bits)
    {
        m_Acc = bits.acc;
        m_Pending = bits.pending;
    }
    // Up to 32 bits onto bits (fewer than 32 pending); the oldest 32 go into the buffer once there are.
    inline void Put(Bits& bits, uint32_t value, int n);

    // Bytes completed so far (pending bits of a partial byte are not counted).
    int64_t length();
    bool ok() const { return m_Ok; }
    const uint8_t* data() const { return m_Start.get(); }
    // Hands the buffer to the caller; the stream is empty afterwards.
    Buffer TakeBuffer(int64_t* length);

private:
    void flushWord();
    // flushWord on bits held outside the stream.
    void flushWord(Bits& bits);
    void putStuffedByte(uint8_t b, const char* where);
    void drainWholeBytes();

    Buffer m_Start;
    uint8_t* m_Cursor = nullptr;
    uint8_t* m_End = nullptr;
    bool m_Ok = true;
    // Bits not yet in the buffer: the low m_Pending bits of m_Acc (fewer than 32 between calls).
    uint64_t m_Acc = 0;
    int m_Pending = 0;
};

inline void COutBitStream::PutBits(uint32_t bits, int n)
{
    m_Acc = (m_Acc << n) | bits;
    m_Pending += n;
    if (m_Pending >= 32)
        flushWord();
}

inline void COutBitStream::Put(Bits& bits, uint32_t value, int n)
{
    bits.acc = (bits.acc << n) | value;
    bits.pending += n;
    if (bits.pending >= 32)
        flushWord(bits);
}
