#include "support/SmtpMessage.h"

namespace SmtpMessage {

namespace {
constexpr int LineLength = 76;
} // namespace

QString base64Encode(const QByteArray &data, bool lineBreaks)
{
    const QByteArray plain = data.toBase64();
    if (!lineBreaks)
        return QString::fromLatin1(plain);
    QString text;
    text.reserve(plain.size() + plain.size() / LineLength * 2);
    for (qsizetype start = 0; start < plain.size(); start += LineLength) {
        if (start > 0)
            text += QLatin1String("\r\n");
        text += QLatin1String(plain.mid(start, LineLength));
    }
    return text;
}

QString toWireForm(const QString &text)
{
    QString wire = text;
    // Normalising to LF first keeps the CR LF of the base64 lines single.
    wire.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    wire.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    // A replace does not see overlapping matches: two lone-dot lines in a
    // row share their CR LF, so repeat until none is left.
    const QLatin1String lone("\r\n.\r\n");
    while (wire.contains(lone))
        wire.replace(lone, QLatin1String("\r\n..\r\n"));
    return wire;
}

QString compose(const QString &from, const QString &to, const QString &subject, const QString &body,
                bool copyToSender)
{
    QString text;
    if (!from.isEmpty())
        text += QStringLiteral("From: <%1>\n").arg(from);
    text += QStringLiteral("To: <%1>\n").arg(to);
    if (!from.isEmpty() && copyToSender)
        text += QStringLiteral("Cc: <%1>\n").arg(from);
    text += QStringLiteral("Subject: ") + subject + QLatin1Char('\n');
    text += QStringLiteral("Content-Type: text/plain;\n"
                           "  charset=\"utf-8\"\n"
                           "Content-Transfer-Encoding: base64\n"
                           "\n");
    text += base64Encode(body.toUtf8(), true);
    return toWireForm(text);
}

} // namespace SmtpMessage
