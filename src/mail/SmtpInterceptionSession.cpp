#include "mail/SmtpInterceptionSession.h"

#include "mail/MailHeaders.h"
#include "mail/SmtpText.h"

#include <cstring>
#include <utility>

namespace {

// The reply to a message whose header was too large to hold.
constexpr char headerTooLarge[] = "552 5.3.4 Message header too large for the mail proxy\r\n";
// The reply to a message whose chosen sender would not fit in one command
// or header line.
constexpr char senderRefused[] = "554 5.7.1 The chosen sender address is not valid\r\n";
// The reply to a command that would carry the message past the proxy.
constexpr char notHere[] = "502 5.5.1 Command not available through the mail proxy\r\n";

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

// A reply ends with a line whose code is not followed by "-".
bool endsReply(QByteArrayView line)
{
    return line.size() < 4 || line.at(3) != '-';
}

// The first word of a command line, in capitals. White space before it is
// skipped: a lenient relay may do the same.
QByteArray verbOf(QByteArrayView line)
{
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    qsizetype start = 0;
    while (start < line.size() && blank(line.at(start)))
        ++start;
    qsizetype end = start;
    while (end < line.size() && !blank(line.at(end)))
        ++end;
    return line.sliced(start, end - start).toByteArray().toUpper();
}

// Commands the proxy answers itself: DATA, and those that would carry the
// message past it (encryption end to end with the relay, the message
// outside DATA).
bool answeredHere(const QByteArray &verb)
{
    return verb.startsWith("DATA") || verb == "STARTTLS" || verb == "BDAT" || verb == "BURL";
}

// Extensions that change how the message travels, which the proxy could
// then not see or hold back: the mail program is not told of them.
bool bypassesProxy(QByteArrayView replyLine)
{
    const QByteArray keyword = verbOf(replyLine.sliced(qMin<qsizetype>(4, replyLine.size())));
    return keyword == "STARTTLS" || keyword == "PIPELINING" || keyword == "CHUNKING" ||
           keyword == "BINARYMIME" || keyword == "BURL";
}

// An EHLO reply without the extensions that bypass the proxy, its last
// remaining line made the last line of the reply.
QByteArray withoutBypassingExtensions(const QList<QByteArray> &reply)
{
    if (reply.isEmpty() || !reply.first().startsWith("250"))
        return reply.join();               // no list of extensions: as it came
    QList<QByteArray> kept{reply.first()}; // the relay's name
    for (qsizetype i = 1; i < reply.size(); ++i) {
        if (!bypassesProxy(reply.at(i)))
            kept.append(reply.at(i));
    }
    for (qsizetype i = 0; i < kept.size(); ++i) {
        QByteArray &line = kept[i];
        if (line.size() >= 4 && (line.at(3) == '-' || line.at(3) == ' '))
            line[3] = i + 1 < kept.size() ? '-' : ' ';
    }
    return kept.join();
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
    awaitedReplies = QByteArray(1, PassOn); // the relay's greeting
    extensionReply.clear();
    waitingForReplies = false;
    chunkToDrop = 0;
}

void SmtpInterceptionSession::resetMessage()
{
    info = MailInfo();
    lines.clear();
    rcptIndex = 0;
    heldPiece.clear();
    heldBytes = 0;
}

bool SmtpInterceptionSession::waitingForDecision() const
{
    return current == Querying || current == ResetSent || current == SendingRecipients ||
           current == RecipientsSent || current == DataSent;
}

bool SmtpInterceptionSession::holdsClient() const
{
    return waitingForDecision() || waitingForReplies;
}

qsizetype SmtpInterceptionSession::takeClientBytes(QByteArrayView pending)
{
    qsizetype taken = 0;
    while (!holdsClient()) {
        if (chunkToDrop > 0) {
            const qsizetype dropped = qsizetype(qMin<qint64>(chunkToDrop, pending.size() - taken));
            chunkToDrop -= dropped;
            taken += dropped;
            if (chunkToDrop > 0)
                break;
        }
        taken += takeRelayingLines(pending.sliced(taken));
        const QByteArrayView rest = pending.sliced(taken);
        const qsizetype lineEnd = rest.first(qMin(rest.size(), HoldBackBuffer)).indexOf('\n');
        // A full buffer without a line end would stall the connection for
        // good if we waited for one, so such a line goes on in pieces.
        const bool lineEnded = lineEnd >= 0;
        if (!lineEnded && rest.size() < HoldBackBuffer)
            break;
        const QByteArrayView chunk = rest.first(lineEnded ? lineEnd + 1 : HoldBackBuffer);
        QByteArray cut;
        const QByteArrayView line = cutAtNul(chunk, lineEnded, &cut);
        if (current == Envelope && atLineStart && answeredHere(verbOf(line)) &&
            !awaitedReplies.isEmpty()) {
            waitingForReplies = true;
            break;
        }
        handleChunk(line, lineEnded);
        taken += chunk.size();
    }
    return taken;
}

// The bulk of a message after the decision (or of a refused one), passed on
// (or dropped) in one piece up to the first line that needs a look of its
// own: one with a NUL byte, or the "." that ends the message. Returns the
// bytes taken, whole lines only.
qsizetype SmtpInterceptionSession::takeRelayingLines(QByteArrayView pending)
{
    if ((current != Relaying && current != Refusing) || !atLineStart || pending.isEmpty())
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
    if (current == Relaying)
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
    } else if (current == Refusing) {
        refuseMessageLine(chunk, lineEnded);
    } else {
        forRelay += chunk; // the rest of an over-long command line
    }
    atLineStart = lineEnded;
}

// The header is held whole, up to the blank line that ends it (or the end
// of a message without body): a From field anywhere in it can be rewritten.
void SmtpInterceptionSession::collect(QByteArrayView chunk, bool lineEnded)
{
    heldBytes += chunk.size();
    if (heldBytes > MaxHeldHeader) {
        // Relaying it unrewritten under an alias is no option: refused.
        refuseMessage(headerTooLarge);
        refuseMessageLine(chunk, lineEnded);
        return;
    }
    heldPiece += chunk;
    if (!lineEnded)
        return;
    const QString line = QString::fromLatin1(withoutLineEnd(heldPiece));
    heldPiece.clear();
    lines.append(line);
    if (line.isEmpty() || line == QLatin1String("."))
        startQuery();
}

void SmtpInterceptionSession::handleEnvelopeLine(QByteArrayView line)
{
    const QByteArray verb = verbOf(line);
    if (verb == "STARTTLS" || verb == "BDAT" || verb == "BURL") {
        answerHere(line);
        return;
    }
    if (verb == "EHLO") {
        sendCommandToRelay(line, Extensions);
        return;
    }
    const QByteArray command = verb.left(4);
    if (command == "RCPT") {
        const QString address = angleAddress(QString::fromLatin1(line));
        if (address.contains(QLatin1Char('@')))
            info.recipients.append(address);
    } else if (command == "MAIL") {
        envelopeSender = angleAddress(QString::fromLatin1(line));
    } else if (command == "DATA") {
        // Answered here, not by the relay: the message start is held back
        // until the user has decided.
        forClient += "354 Enter mail, end with \".\" on a line by itself\r\n";
        current = Collecting;
        return;
    } else if (command == "RSET") {
        resetMessage();
    }
    sendCommandToRelay(line, PassOn);
}

// Refuses a command that would carry the message past the proxy.
void SmtpInterceptionSession::answerHere(QByteArrayView line)
{
    forClient += notHere;
    if (verbOf(line) == "BDAT") {
        // Its chunk follows whatever the answer: read, never taken for
        // commands.
        const QList<QByteArray> words = line.toByteArray().simplified().split(' ');
        bool number = false;
        const qint64 size = words.value(1).toLongLong(&number);
        chunkToDrop = number && size > 0 ? size : 0;
    }
}

void SmtpInterceptionSession::sendCommandToRelay(QByteArrayView line, char fate)
{
    forRelay += line;
    awaitedReplies += fate;
}

void SmtpInterceptionSession::relayMessageLine(QByteArrayView chunk, bool lineEnded)
{
    // After the terminating "." (whose reply is the relay's verdict on the
    // message) the next message of this connection is asked about like the
    // first one.
    if (atLineStart && lineEnded && withoutLineEnd(chunk) == ".") {
        sendCommandToRelay(chunk, PassOn);
        resetMessage();
        current = Envelope;
        return;
    }
    forRelay += chunk;
}

void SmtpInterceptionSession::refuseMessageLine(QByteArrayView chunk, bool lineEnded)
{
    if (!atLineStart || !lineEnded || withoutLineEnd(chunk) != ".")
        return;
    forClient += refusal;
    // The relay still holds the refused message's envelope.
    forRelay += "RSET\r\n";
    awaitedReplies += Swallow;
    resetMessage();
    current = Envelope;
}

// The rest of the message is read and dropped; its end is answered with
// `reply`.
void SmtpInterceptionSession::refuseMessage(const char *reply)
{
    const bool ended = !lines.isEmpty() && lines.last() == QLatin1String(".");
    heldPiece.clear();
    lines.clear();
    refusal = reply;
    current = Refusing;
    if (ended)
        refuseMessageLine(".\r\n", true);
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
    passReply(line);
}

// A reply line that is not part of the proxy's own alias envelope.
void SmtpInterceptionSession::passReply(QByteArrayView line)
{
    const char fate = awaitedReplies.isEmpty() ? char(PassOn) : awaitedReplies.front();
    const bool replyEnds = endsReply(line);
    if (replyEnds && !awaitedReplies.isEmpty())
        awaitedReplies.remove(0, 1);
    if (awaitedReplies.isEmpty())
        waitingForReplies = false;
    if (fate == Swallow)
        return;
    if (fate == Extensions) {
        extensionReply.append(line.toByteArray());
        if (replyEnds) {
            forClient += withoutBypassingExtensions(extensionReply);
            extensionReply.clear();
        }
        return;
    }
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
    for (const QString &line : std::as_const(lines))
        forRelay += line.toLatin1() + "\r\n";
    atLineStart = true;
    if (!lines.isEmpty() && lines.last() == QLatin1String(".")) {
        // A message without body: its end was held too.
        awaitedReplies += PassOn;
        resetMessage();
        current = Envelope;
    } else {
        current = Relaying;
    }
}

bool SmtpInterceptionSession::decide(const MailInfo &answer)
{
    // Only an answer to the question now open counts; a late one (to a
    // message asked about earlier) changes nothing, whatever it says.
    const bool answersQuestion =
        answer.messageId == info.messageId && answer.subject == info.subject &&
        answer.inReplyTo == info.inReplyTo && answer.recipients == info.recipients;
    if (current != Querying || !answersQuestion)
        return true;
    if (answer.from.isEmpty())
        return false;
    if (answer.from == info.from) {
        forRelay += "DATA\r\n";
        current = DataSent;
        return true;
    }
    if (answer.recipients.isEmpty()) {
        // No recipient to put on the new envelope: refused like "do not send".
        return false;
    }
    // The chosen sender, "<address>", becomes the MAIL FROM command and the
    // From field: a line break would add commands or fields of its own, a
    // bracket more addresses.
    const QStringView address = QStringView(answer.from).mid(1, answer.from.size() - 2);
    if (!answer.from.startsWith(QLatin1Char('<')) || !answer.from.endsWith(QLatin1Char('>')) ||
        address.isEmpty() || !SmtpText::fitsOnOneLine(address.toString(), true)) {
        refuseMessage(senderRefused);
        return true;
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
