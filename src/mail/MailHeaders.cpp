#include "mail/MailHeaders.h"

#include <QRegularExpression>

QString angleAddress(const QString &text)
{
    static const QRegularExpression bracketed(QStringLiteral("<([^<>]+)>"));
    const QRegularExpressionMatch match = bracketed.match(text);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

namespace {

bool startsWithField(const QString &line, QLatin1String name)
{
    return line.startsWith(name, Qt::CaseInsensitive);
}

} // namespace

void parseHeaders(const QStringList &lines, MailInfo &info)
{
    const QLatin1String messageId("Message-ID:"), from("From:"), subject("Subject:"),
        inReplyTo("In-Reply-To:"), references("References:");
    // Folded continuation lines are not joined: only a field's first line
    // counts, which is all the confirmation dialog shows.
    for (const QString &line : lines) {
        if (startsWithField(line, messageId))
            info.messageId = angleAddress(line);
        else if (startsWithField(line, from))
            info.from = line.mid(from.size()).trimmed();
        else if (startsWithField(line, subject))
            info.subject = line.mid(subject.size()).trimmed();
        else if (startsWithField(line, inReplyTo))
            info.inReplyTo = angleAddress(line);
        else if (startsWithField(line, references) && info.inReplyTo.isEmpty())
            info.inReplyTo = angleAddress(line);
    }
}

namespace {

// "From", optional blanks, ":" (RFC 5322 still reads blanks before the
// colon), in any letter case.
bool isFromField(const QString &line)
{
    if (!line.startsWith(QLatin1String("From"), Qt::CaseInsensitive))
        return false;
    qsizetype at = 4;
    while (at < line.size() &&
           (line.at(at) == QLatin1Char(' ') || line.at(at) == QLatin1Char('\t')))
        ++at;
    return at < line.size() && line.at(at) == QLatin1Char(':');
}

// A folded field goes on in lines that begin with a blank.
bool isContinuation(const QString &line)
{
    return line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t'));
}

} // namespace

void rewriteFrom(QStringList &lines, const QString &from)
{
    for (qsizetype i = 0; i < lines.size() && !lines.at(i).isEmpty(); ++i) {
        if (!isFromField(lines.at(i)))
            continue;
        lines[i] = lines.at(i).left(4) + QLatin1String(": ") + from;
        // The whole field is replaced: its continuation lines may hold the
        // address itself.
        while (i + 1 < lines.size() && isContinuation(lines.at(i + 1)))
            lines.removeAt(i + 1);
    }
}
