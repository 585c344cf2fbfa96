// The JPEG bit writer: bit order, FF stuffing, 1-bit padding, and no write past the end of its buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "files/COutBitStream.h"

namespace {

std::vector<uint8_t> bytesOf(COutBitStream& s)
{
    const int64_t n = s.length();
    return std::vector<uint8_t>(s.data(), s.data() + n);
}

std::string whereOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EBufferError& e) {
        return e.where;
    }
    return "no error";
}

} // namespace

TEST(COutBitStream, Bits_MostSignificantFirst_StuffedAndPadded)
{
    COutBitStream s(64);
    s.SetBits(0x5, 3); // 101
    s.SetBits(0x3FF0, 0); // nothing
    s.SetBits(0xFFFF6, 5); // only the low 5 bits: 10110
    s.SetBits(0xFF, 8); // a completed FF gets a 00 after it
    s.SetBits(0x1ABC, 13); // more than 8 bits: high 5, then low 8
    s.SetBits(0x1, 2); // 01, then one padding 1-bit
    s.SetByte(0x12);
    s.SetWord(0xFFD9); // markers are not stuffed
    const std::vector<uint8_t> want = { 0xB6, 0xFF, 0x00, 0xD5, 0xE3, 0x12, 0xFF, 0xD9 };
    EXPECT_EQ(bytesOf(s), want);

    // A padded byte that turns into FF is stuffed like any other scan byte.
    COutBitStream p(64);
    p.SetBits(0x3, 2);
    p.SetByte(0xD9);
    EXPECT_EQ(bytesOf(p), (std::vector<uint8_t> { 0xFF, 0x00, 0xD9 }));

    // The buffer starts zero-filled; CopyByte pads first too.
    COutBitStream c(16);
    EXPECT_TRUE(std::all_of(c.data(), c.data() + 16, [](uint8_t b) { return b == 0; }));
    c.SetBits(0, 1);
    const uint8_t run[3] = { 1, 2, 3 };
    c.CopyByte(run, 3);
    EXPECT_EQ(bytesOf(c), (std::vector<uint8_t> { 0x7F, 1, 2, 3 }));
}

TEST(COutBitStream, FullBuffer_ThrowsWithoutWritingPastTheEnd)
{
    EXPECT_EQ(whereOf([] { COutBitStream(8).SetBits(1, 17); }), "SetBits:Max Bit Over");

    COutBitStream bytes(3);
    bytes.SetByte(1);
    EXPECT_EQ(whereOf([&] { bytes.SetWord(0x0203); }), "no error");
    EXPECT_FALSE(bytes.ok());
    EXPECT_EQ(whereOf([&] { bytes.SetByte(4); }), "SetByte");

    COutBitStream word(3);
    word.SetWord(0x0102);
    EXPECT_EQ(whereOf([&] { word.SetWord(0x0304); }), "SetWord"); // one byte left is not enough

    COutBitStream copy(4);
    const uint8_t run[4] = { 1, 2, 3, 4 };
    EXPECT_EQ(whereOf([&] { copy.CopyByte(run, 4); }), "CopyByte"); // reaching the end is refused
    EXPECT_EQ(whereOf([&] { copy.CopyByte(run, 3); }), "no error");

    // The entropy coder stops with the buffer: an FF and its 00 fit exactly, the next byte does not.
    COutBitStream bits(3);
    EXPECT_EQ(whereOf([&] {
        for (int i = 0; i < 100; ++i)
            bits.SetBits(0xFF, 8);
        bits.Pad();
    }),
        "SetBits");
    EXPECT_LE(bits.length(), 3);
    // A stuffed FF needs two bytes: with one left it is refused rather than cut.
    COutBitStream tight(2);
    tight.SetByte(0);
    tight.SetBits(0xFF, 8);
    EXPECT_EQ(whereOf([&] { tight.Pad(); }), "SetBits");

    EXPECT_THROW(COutBitStream(0), EMemoryError);
    EXPECT_THROW(COutBitStream(-5), EMemoryError);
}
