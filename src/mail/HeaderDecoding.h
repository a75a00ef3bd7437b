#pragma once

#include <QByteArray>
#include <QString>

// Display decoding of a subject that is exactly one RFC 2047 encoded word
// ("=?charset?B|Q?text?="). Anything else, and any word whose charset is
// unknown, is returned unchanged.
QString decodeHeaderWord(const QString &text);

// Lenient base64: characters outside the alphabet (padding and white space
// included) are skipped, a missing padding is tolerated.
QByteArray base64Decode(const QString &text);

// The Q encoding of encoded words, up to the first NUL byte. Invalid escapes
// and non-printable bytes vanish.
QByteArray qDecode(const QByteArray &text);
