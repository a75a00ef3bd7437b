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

// "From", spaces or tabs, ":" in any letter case: a From field's first line.
bool startsFromField(const QString &line)
{
    if (!line.startsWith(QLatin1String("From"), Qt::CaseInsensitive))
        return false;
    qsizetype at = 4;
    while (at < line.size() &&
           (line.at(at) == QLatin1Char(' ') || line.at(at) == QLatin1Char('\t')))
        ++at;
    return at < line.size() && line.at(at) == QLatin1Char(':');
}

bool continues(const QString &line)
{
    return line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t'));
}

// The lines without the header's From fields (continuations included), and
// the first lines of those fields.
QStringList withoutFromFields(const QStringList &lines, QStringList *fields)
{
    QStringList rest;
    bool inHeader = true;
    bool inFrom = false;
    for (const QString &line : lines) {
        inHeader = inHeader && !line.isEmpty();
        if (inHeader && (startsFromField(line) || (inFrom && continues(line)))) {
            if (!inFrom || !continues(line))
                fields->append(line);
            inFrom = true;
            continue;
        }
        inFrom = false;
        rest.append(line);
    }
    return rest;
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

    // Every From field of the header becomes one line naming the sender;
    // nothing else changes.
    const QStringList before = lines;
    const QString sender = QStringLiteral("<fuzz@anon.test>");
    rewriteFrom(lines, sender);
    QStringList fieldsBefore, fieldsAfter;
    require(withoutFromFields(lines, &fieldsAfter) == withoutFromFields(before, &fieldsBefore));
    require(fieldsAfter.size() == fieldsBefore.size());
    for (qsizetype i = 0; i < fieldsAfter.size(); ++i)
        require(fieldsAfter.at(i) == fieldsBefore.at(i).left(4) + QLatin1String(": ") + sender);
    return 0;
}
