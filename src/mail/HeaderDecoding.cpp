#include "mail/HeaderDecoding.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

QString decodeHeaderWord(const QString &text)
{
    static const QRegularExpression encodedWord(QRegularExpression::anchoredPattern(
        QStringLiteral("=\\?([^?]+)\\?([QBqb])\\?([^?]+)\\?=")));
    const QRegularExpressionMatch match = encodedWord.match(text);
    if (!match.hasMatch())
        return text;

    const QString charset = match.captured(1);
    const QString payload = match.captured(3);
    const QByteArray bytes = match.captured(2).compare(QLatin1String("b"), Qt::CaseInsensitive) == 0
                                 ? base64Decode(payload)
                                 : qDecode(payload.toLatin1());

    // A charset nobody here knows: showing the word as it came is better
    // than guessing at the bytes.
    QStringDecoder decoder(charset.toLatin1().constData());
    if (!decoder.isValid())
        return text;
    return decoder.decode(bytes);
}

QByteArray base64Decode(const QString &text)
{
    const QByteArray input = text.toLatin1();
    QByteArray out;
    out.reserve(input.size() * 3 / 4 + 2);
    quint32 bits = 0;
    int count = 0;
    for (char c : input) {
        const int value = base64Value(c);
        if (value < 0)
            continue;
        bits = (bits << 6) | quint32(value);
        if (++count == 4) {
            out.append(char(bits >> 16));
            out.append(char(bits >> 8));
            out.append(char(bits));
            bits = 0;
            count = 0;
        }
    }
    // Two leftover values carry one byte, three carry two; one carries none.
    if (count == 2) {
        out.append(char(bits >> 4));
    } else if (count == 3) {
        out.append(char(bits >> 10));
        out.append(char(bits >> 2));
    }
    return out;
}

QByteArray qDecode(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    const int end = text.indexOf('\0') < 0 ? int(text.size()) : int(text.indexOf('\0'));
    for (int i = 0; i < end; ++i) {
        const char c = text.at(i);
        if (c == '=') {
            // Both bytes of the escape are consumed even when invalid, which
            // is what makes a soft line break "=\r\n" disappear.
            const int high = i + 1 < end ? hexValue(text.at(i + 1)) : -1;
            const int low = i + 2 < end ? hexValue(text.at(i + 2)) : -1;
            if (high >= 0 && low >= 0)
                out.append(char(high * 16 + low));
            i += 2;
        } else if (c == '_') {
            out.append(' ');
        } else if ((c >= 0x20 && c <= 0x7e) || c == '\t') {
            out.append(c);
        }
    }
    return out;
}
