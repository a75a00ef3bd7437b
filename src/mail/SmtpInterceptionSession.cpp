#include "mail/SmtpInterceptionSession.h"

#include "mail/MailHeaders.h"

#include <cstring>
#include <utility>

namespace {

// No sane header line comes near this; beyond it the collection ends so that
// a line without end cannot grow without bound.
constexpr qsizetype maxHeldLine = 64 * 1024;
// The query starts at the 101st held line at the latest.
constexpr int maxHeldLines = 100;

QByteArrayView cutAtNul(QByteArrayView chunk, bool lineEnded, QByteArray *withLineEnd)
{
    const qsizetype nul = chunk.indexOf('\0');
    if (nul < 0)
        return chunk;
    // The line end survives the cut so that two lines never run together.
    if (!lineEnded)
        return chunk.first(nul);
    *withLineEnd = chunk.first(nul).toByteArray() + (chunk.endsWith("\r\n") ? "\r\n" : "\n");
    return *withLineEnd;
}

// Where the line holding the byte at `position` starts (lines end with LF).
qsizetype lineStartBefore(QByteArrayView text, qsizetype position)
{
    const void *lineFeed = position > 0 ? memrchr(text.data(), '\n', size_t(position)) : nullptr;
    return lineFeed ? static_cast<const char *>(lineFeed) - text.data() + 1 : 0;
}

// The start of the first line, the first line itself not counted, that is
// exactly "." (the end of the message); null if there is none. Dots are
// rarer than line ends, so it looks for those.
const char *findDotLine(const char *data, qsizetype size)
{
    const char *end = data + size;
    for (const char *dot = data + 1; dot < end; ++dot) {
        dot = static_cast<const char *>(std::memchr(dot, '.', size_t(end - dot)));
        if (!dot)
            return nullptr;
        const bool lineEnds = (end - dot >= 2 && dot[1] == '\n') ||
                              (end - dot >= 3 && dot[1] == '\r' && dot[2] == '\n');
        if (dot[-1] == '\n' && lineEnds)
            return dot;
    }
    return nullptr;
}

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

void SmtpInterceptionSession::start()
{
    resetMessage();
    current = Envelope;
    atLineStart = true;
    envelopeSender.clear();
    forRelay.clear();
    forClient.clear();
    queryRequested = false;
}

void SmtpInterceptionSession::resetMessage()
{
    info = MailInfo();
    lines.clear();
    rcptIndex = 0;
    heldPiece.clear();
    lastLineOpen = false;
}

bool SmtpInterceptionSession::waitingForDecision() const
{
    return current == Querying || current == ResetSent || current == SendingRecipients ||
           current == RecipientsSent || current == DataSent;
}

qsizetype SmtpInterceptionSession::takeClientBytes(QByteArrayView pending)
{
    qsizetype taken = 0;
    while (!waitingForDecision()) {
        taken += takeRelayingLines(pending.sliced(taken));
        const QByteArrayView rest = pending.sliced(taken);
        const qsizetype lineEnd = rest.first(qMin(rest.size(), holdBackBuffer)).indexOf('\n');
        // A full buffer without a line end would stall the connection for
        // good if we waited for one, so such a line goes on in pieces.
        const bool lineEnded = lineEnd >= 0;
        if (!lineEnded && rest.size() < holdBackBuffer)
            break;
        const QByteArrayView chunk = rest.first(lineEnded ? lineEnd + 1 : holdBackBuffer);
        QByteArray cut;
        handleChunk(cutAtNul(chunk, lineEnded, &cut), lineEnded);
        taken += chunk.size();
    }
    return taken;
}

// The bulk of a message after the decision, passed on in one piece up to
// the first line that needs a look of its own: one with a NUL byte, or the
// "." that ends the message. Returns the bytes taken, whole lines only.
qsizetype SmtpInterceptionSession::takeRelayingLines(QByteArrayView pending)
{
    if (current != Relaying || !atLineStart || pending.isEmpty())
        return 0;
    const char *data = pending.data();
    qsizetype end = lineStartBefore(pending, pending.size());
    // `found` points into the first line that must not be taken.
    const auto endBefore = [&](const void *found) {
        if (found)
            end = lineStartBefore(pending, static_cast<const char *>(found) - data);
    };
    endBefore(std::memchr(data, '\0', size_t(end)));
    endBefore(findDotLine(data, end));
    const QByteArrayView lines = pending.first(end);
    if (lines.startsWith(".\n") || lines.startsWith(".\r\n"))
        return 0;
    forRelay += lines;
    return lines.size();
}

void SmtpInterceptionSession::handleChunk(QByteArrayView chunk, bool lineEnded)
{
    if (current == Collecting) {
        collect(chunk, lineEnded);
    } else if (current == Envelope && atLineStart) {
        handleEnvelopeLine(chunk);
    } else if (current == Relaying) {
        relayMessageLine(chunk, lineEnded);
    } else {
        forRelay += chunk; // the rest of an over-long command line
    }
    atLineStart = lineEnded;
}

void SmtpInterceptionSession::collect(QByteArrayView chunk, bool lineEnded)
{
    heldPiece += chunk;
    if (!lineEnded && heldPiece.size() < maxHeldLine)
        return;
    lastLineOpen = !lineEnded;
    const QString line = QString::fromLatin1(withoutLineEnd(heldPiece));
    heldPiece.clear();
    lines.append(line);
    if (lastLineOpen || line.isEmpty() || line == QLatin1String(".") || lines.size() > maxHeldLines)
        startQuery();
}

void SmtpInterceptionSession::handleEnvelopeLine(QByteArrayView line)
{
    const QByteArray command = line.first(qMin<qsizetype>(4, line.size())).toByteArray().toLower();
    if (command == "rcpt") {
        const QString address = angleAddress(QString::fromLatin1(line));
        if (address.contains(QLatin1Char('@')))
            info.recipients.append(address);
    } else if (command == "mail") {
        envelopeSender = angleAddress(QString::fromLatin1(line));
    } else if (command == "data") {
        // Answered here, not by the relay: the message start is held back
        // until the user has decided.
        forClient += "354 Enter mail, end with \".\" on a line by itself\r\n";
        current = Collecting;
        return;
    } else if (command == "rset") {
        resetMessage();
    }
    forRelay += line;
}

void SmtpInterceptionSession::relayMessageLine(QByteArrayView chunk, bool lineEnded)
{
    forRelay += chunk;
    // After the terminating "." the next message of this connection is
    // asked about like the first one.
    if (atLineStart && lineEnded && withoutLineEnd(chunk) == ".") {
        resetMessage();
        current = Envelope;
    }
}

void SmtpInterceptionSession::startQuery()
{
    current = Querying;
    parseHeaders(lines, info);
    // The decision travels in `from`, where empty means "do not send"; a
    // message without a sender in its header would otherwise be dropped when
    // the user chose to send it normally.
    if (info.from.isEmpty())
        info.from = QLatin1Char('<') + envelopeSender + QLatin1Char('>');
    queryRequested = true;
}

void SmtpInterceptionSession::relayLine(QByteArrayView line)
{
    QByteArray cut;
    line = cutAtNul(line, line.endsWith('\n'), &cut);
    const bool consumable =
        line.startsWith("250") || (line.startsWith("354") && current == DataSent);
    if (consumable && advanceEnvelope())
        return;
    if (current == Collecting) {
        // The relay spoke up on its own (an error, a time-out) while we were
        // holding lines: give up holding and let the two talk.
        current = Relaying;
    }
    forClient += line;
}

// One step of the new envelope or the release of the held lines, driven by
// the relay's replies. False when the reply is not ours to consume.
bool SmtpInterceptionSession::advanceEnvelope()
{
    switch (current) {
    case ResetSent:
        forRelay += "MAIL FROM: <" + angleAddress(info.from).toLatin1() + ">\r\n";
        current = SendingRecipients;
        return true;
    case SendingRecipients:
        forRelay += "RCPT TO: <" + info.recipients.value(rcptIndex).toLatin1() + ">\r\n";
        if (++rcptIndex >= info.recipients.size()) {
            rcptIndex = 0;
            current = RecipientsSent;
        }
        return true;
    case RecipientsSent:
        forRelay += "DATA\r\n";
        current = DataSent;
        return true;
    case DataSent:
        releaseHeldLines();
        return true;
    default:
        return false;
    }
}

void SmtpInterceptionSession::releaseHeldLines()
{
    for (int i = 0; i < lines.size(); ++i) {
        forRelay += lines.at(i).toLatin1();
        if (!lastLineOpen || i < lines.size() - 1)
            forRelay += "\r\n";
    }
    const bool messageComplete = !lastLineOpen && !lines.isEmpty() && lines.last() == ".";
    atLineStart = !lastLineOpen;
    if (messageComplete) {
        resetMessage();
        current = Envelope;
    } else {
        current = Relaying;
    }
}

bool SmtpInterceptionSession::decide(const MailInfo &answer)
{
    if (answer.from.isEmpty())
        return false;
    if (current != Querying)
        return true; // a late answer to a query this connection no longer has
    if (answer.from == info.from) {
        forRelay += "DATA\r\n";
        current = DataSent;
        return true;
    }
    if (answer.recipients.isEmpty()) {
        // No recipient to put on the new envelope: refused like "do not send".
        return false;
    }
    info = answer;
    rewriteFrom(lines, info.from);
    forRelay += "RSET\r\n";
    current = ResetSent;
    return true;
}

QByteArray SmtpInterceptionSession::takeForRelay()
{
    return std::exchange(forRelay, QByteArray());
}

QByteArray SmtpInterceptionSession::takeForClient()
{
    return std::exchange(forClient, QByteArray());
}

bool SmtpInterceptionSession::takeQueryRequest()
{
    return std::exchange(queryRequested, false);
}
