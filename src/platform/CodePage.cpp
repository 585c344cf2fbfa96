// Code page conversion through the C library's iconv.
#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr char kUnknown = '?';

// Bytes in the UTF-8 character that starts with lead.
int utf8Length(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

}  // namespace

QByteArray EncodeAscii(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // The low half of a pair: its high half has already given the '?'. A low half alone is a
        // character of its own and gives one too.
        if (c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())
            continue;
        out.append(c.unicode() < 0x80 ? char(c.unicode()) : kUnknown);
    }
    return out;
}

QByteArray EncodeCp932(const QString& text)
{
    // glibc's plain SHIFT_JIS lacks characters that Windows writes (the wave dash, NEC extensions).
    const iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == iconv_t(-1))
        return EncodeAscii(text);
    QByteArray in = text.toUtf8();
    // CP932 never takes more bytes for a character than UTF-8 does; the rest is slack.
    QByteArray out(2 * in.size() + 8, '\0');
    char* src = in.data();
    size_t srcLeft = size_t(in.size());
    char* dst = out.data();
    size_t dstLeft = size_t(out.size());
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (errno == E2BIG || dstLeft == 0)
            break;  // cannot happen with the room given above; keep what was converted
        // No code for this character (or a broken sequence): write '?' and step over it.
        *dst++ = kUnknown;
        --dstLeft;
        const size_t skip = std::min(size_t(utf8Length(static_cast<unsigned char>(*src))), srcLeft);
        src += skip;
        srcLeft -= skip;
    }
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    iconv_close(cd);
    out.truncate(int(dst - out.data()));
    return out;
}
