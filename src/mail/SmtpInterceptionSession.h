#pragma once

#include "mail/MailInfo.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

// The line and state logic of one intercepted mail-program connection,
// without sockets: bytes from both sides go in, bytes for both sides and
// query requests come out. SmtpRoxyServer moves the bytes; keeping the
// logic apart lets it be driven directly with any input.
class SmtpInterceptionSession
{
public:
    enum State
    {
        Envelope = 1,
        Collecting,
        Querying,
        ResetSent,
        SendingRecipients,
        RecipientsSent,
        DataSent,
        Relaying,
        // The header did not fit in MaxHeldHeader, or the chosen sender
        // cannot be written: the rest of the message is read and dropped,
        // and the message refused at its end.
        Refusing
    };

    // While the proxy waits for a decision, the mail program is held back
    // with a read buffer of this size.
    static constexpr qsizetype HoldBackBuffer = 1024;
    // The most of a message header held back for the decision (line ends
    // included). A longer header cannot be rewritten whole, so its message
    // is refused.
    static constexpr qsizetype MaxHeldHeader = 256 * 1024;

    // A fresh connection: the next line is an envelope command.
    void start();

    // Takes complete lines (or, without a line end in the first
    // HoldBackBuffer bytes, a piece of that size) from the front of what the
    // mail program sent, as long as it does not hold the client (see
    // holdsClient). Returns how many bytes it took; the rest must be offered
    // again, with more behind it, once it no longer holds the client.
    qsizetype takeClientBytes(QByteArrayView pending);

    // One line from the relay, with its line end.
    void relayLine(QByteArrayView line);

    // The user's answer to the pending query. False: the connection must be
    // cut (do not send, or no way to send as asked). An answer to any other
    // question (all fields but `from` tell which) is ignored.
    bool decide(const MailInfo &info);

    bool waitingForDecision() const;
    // No client bytes are taken now: a decision is pending, or a command
    // the proxy answers itself waits for the relay's earlier replies.
    bool holdsClient() const;
    State state() const { return current; }
    const MailInfo &mailInfo() const { return info; }
    const QStringList &heldLines() const { return lines; }

    // What the proxy must pass on since the last call.
    QByteArray takeForRelay();
    QByteArray takeForClient();
    // True once per query that has started (showQuery with mailInfo()).
    bool takeQueryRequest();

private:
    void resetMessage();
    qsizetype takeRelayingLines(QByteArrayView pending);
    void handleChunk(QByteArrayView chunk, bool lineEnded);
    void collect(QByteArrayView chunk, bool lineEnded);
    void handleEnvelopeLine(QByteArrayView line);
    void relayMessageLine(QByteArrayView chunk, bool lineEnded);
    void refuseMessageLine(QByteArrayView chunk, bool lineEnded);
    void answerHere(QByteArrayView line);
    void sendCommandToRelay(QByteArrayView line, char fate);
    void passReply(QByteArrayView line);
    void refuseMessage(const char *reply);
    void startQuery();
    bool advanceEnvelope();
    void releaseHeldLines();

    MailInfo info;
    QStringList lines;
    State current = Envelope;
    int rcptIndex = 0;
    // Who the mail program named in its MAIL FROM, for a message whose
    // header names nobody.
    QString envelopeSender;

    // A client line too long for the read buffer arrives in pieces: these
    // keep them together without holding more than one line.
    QByteArray heldPiece;    // start of a held-back line still unfinished
    qsizetype heldBytes = 0; // of the header so far, line ends included
    bool atLineStart = true; // the next client bytes begin a new line

    // One entry per reply the relay still owes for a command it was sent
    // (its greeting first), in order: what becomes of that reply.
    enum Reply : char
    {
        PassOn = 'p',     // to the mail program, whose command it answers
        Extensions = 'e', // the EHLO reply, passed on without what bypasses the proxy
        Swallow = 's',    // a command of the proxy's own; the mail program never sees it
    };
    QByteArray awaitedReplies;
    QList<QByteArray> extensionReply; // the lines of an EHLO reply so far
    // A command answered here waits until the relay has answered the ones
    // before it, so that a mail program that pipelines gets its replies in
    // order.
    bool waitingForReplies = false;
    // The reply that ends a refused message.
    QByteArray refusal;
    // What is left of a refused BDAT command's chunk, read and dropped.
    qint64 chunkToDrop = 0;

    QByteArray forRelay;
    QByteArray forClient;
    bool queryRequested = false;
};
