// Code page conversion: CP932 where Shift-JIS alone falls short, '?' for what a code page cannot hold.
#include <gtest/gtest.h>

#include "platform/CodePage.h"

TEST(CodePage, Cp932)
{
    EXPECT_EQ(EncodeCp932("No.,"), "No.,");
    EXPECT_EQ(EncodeCp932("単位"), QByteArray::fromHex("925088ca"));
    // Half-width katakana take one byte; the wave dash is one of Windows' own mappings.
    EXPECT_EQ(EncodeCp932("ｰ"), QByteArray::fromHex("b0"));
    EXPECT_EQ(EncodeCp932("〜"), QByteArray::fromHex("8160"));
    // Characters without a code become '?', one each, and the rest goes on.
    EXPECT_EQ(EncodeCp932("aéb😀c"), "a?b?c");
    EXPECT_EQ(EncodeCp932(""), "");
}

TEST(CodePage, Ascii)
{
    EXPECT_EQ(EncodeAscii("No.,Type"), "No.,Type");
    EXPECT_EQ(EncodeAscii("µm 😀!"), "?m ?!");
}
