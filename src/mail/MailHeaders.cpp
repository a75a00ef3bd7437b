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

void rewriteFrom(QStringList &lines, const QString &from)
{
    const QLatin1String field("From:");
    for (QString &line : lines) {
        if (line.startsWith(field, Qt::CaseInsensitive))
            line = line.left(field.size()) + QLatin1Char(' ') + from;
    }
}
