// Header decoding and parsing fed with arbitrary bytes, as a mail program
// may send them. Besides memory errors it checks the promises the callers
// rely on.

#include "mail/HeaderDecoding.h"
#include "mail/MailHeaders.h"

#include <cstdlib>

namespace {

void require(bool promise)
{
    if (!promise)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromLatin1(bytes);

    const QString decoded = decodeHeaderWord(text);
    if (!text.startsWith(QLatin1String("=?")))
        require(decoded == text); // only a whole encoded word is decoded

    require(base64Decode(text).size() <= text.size() * 3 / 4);
    require(qDecode(bytes).size() <= bytes.size());

    const QString address = angleAddress(text);
    require(address == address.trimmed());
    require(!address.contains(QLatin1Char('<')) && !address.contains(QLatin1Char('>')));

    // As the proxy holds them: one line per entry, without line ends.
    QStringList lines = text.split(QLatin1Char('\n'));
    MailInfo info;
    info.recipients = {QStringLiteral("kept@example.org")};
    parseHeaders(lines, info);
    require(info.recipients == QStringList{QStringLiteral("kept@example.org")});
    require(info.from == info.from.trimmed() && info.subject == info.subject.trimmed());

    const QStringList before = lines;
    const QString sender = QStringLiteral("<fuzz@anon.test>");
    rewriteFrom(lines, sender);
    require(lines.size() == before.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool fromLine = before.at(i).startsWith(QLatin1String("From:"), Qt::CaseInsensitive);
        require(fromLine ? lines.at(i) == before.at(i).left(5) + QLatin1Char(' ') + sender
                         : lines.at(i) == before.at(i));
    }
    return 0;
}
