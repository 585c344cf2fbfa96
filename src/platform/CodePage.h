// 8-bit text for files that other programs read in the user's code page: CP932 (Shift-JIS with the
// Windows extensions) for the Japanese user interface, plain ASCII for the English one.
#pragma once

#include <QByteArray>
#include <QString>

// text in CP932; a character CP932 has no code for becomes '?'. Without a CP932 converter on the system
// the text is written as EncodeAscii writes it.
QByteArray EncodeCp932(const QString& text);

// text in ASCII; every other character becomes '?'.
QByteArray EncodeAscii(const QString& text);
