#include "mail/SmtpRoxyServer.h"

#include "app/Deployment.h"
#include "mail/MailHeaders.h"

#include <QTcpServer>
#include <QTimer>

namespace {

// Small on purpose: while the user decides, the mail program is held back by
// the network instead of by our memory.
constexpr qint64 clientReadBuffer = 1024;
// No sane header line comes near this; beyond it the collection ends so that
// a line without end cannot grow without bound.
constexpr int maxHeldLine = 64 * 1024;
// The query starts at the 101st held line at the latest.
constexpr int maxHeldLines = 100;

QByteArray cutAtNul(QByteArray line, bool lineEnded)
{
    const qsizetype nul = line.indexOf('\0');
    if (nul < 0)
        return line;
    // The line end survives the cut so that two lines never run together.
    if (!lineEnded)
        return line.left(nul);
    return line.left(nul) + (line.endsWith("\r\n") ? "\r\n" : "\n");
}

QByteArray withoutLineEnd(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// Drops a socket outside its own signal handlers.
void release(QTcpSocket *socket)
{
    if (!socket)
        return;
    socket->disconnect();
    socket->abort();
    socket->deleteLater();
}

} // namespace

SmtpRoxyServer::SmtpRoxyServer(QObject *parent) : QObject(parent), server(new QTcpServer(this))
{
    server->setMaxPendingConnections(3);
    connect(server, &QTcpServer::newConnection, this, &SmtpRoxyServer::clientNew);
}

SmtpRoxyServer::~SmtpRoxyServer()
{
    server->close();
}

quint16 SmtpRoxyServer::port() const
{
    return server->isListening() ? server->serverPort() : 0;
}

void SmtpRoxyServer::startProxy()
{
    startProxy(defaultPort);
}

void SmtpRoxyServer::startProxy(quint16 port)
{
    if (server->isListening())
        return;
    reset();
    // Loopback only: anyone else on the network must not be able to send
    // mail through the user's relay session.
    if (!server->listen(QHostAddress::LocalHost, port))
        emit serverError(server->serverError());
}

void SmtpRoxyServer::stopProxy()
{
    abortConnection();
    server->close();
}

void SmtpRoxyServer::reset()
{
    mailInfo = MailInfo();
    lines.clear();
    rcptIndex = 0;
    heldPiece.clear();
    lastLineOpen = false;
}

void SmtpRoxyServer::clientNew()
{
    if (clientCount >= 1) {
        // One connection at a time: the decision belongs to one message.
        if (QTcpSocket *refused = server->nextPendingConnection())
            release(refused);
        return;
    }
    release(clientSocket);
    clientSocket = server->nextPendingConnection();
    if (!clientSocket)
        return;

    reset();
    atLineStart = true;
    clientSocket->setReadBufferSize(clientReadBuffer);
    connect(clientSocket, &QTcpSocket::readyRead, this, &SmtpRoxyServer::client2server);
    connect(clientSocket, &QTcpSocket::disconnected, this, &SmtpRoxyServer::clientDisconnected);
    connect(clientSocket, &QTcpSocket::errorOccurred, this, &SmtpRoxyServer::clientError);

    release(relaySocket);
    relaySocket = new QTcpSocket(this);
    connect(relaySocket, &QTcpSocket::readyRead, this, &SmtpRoxyServer::server2client);
    connect(relaySocket, &QTcpSocket::disconnected, this, &SmtpRoxyServer::serverDisconnected);
    connect(relaySocket, &QTcpSocket::errorOccurred, this, &SmtpRoxyServer::serverError);
    const Deployment &deployment = Deployment::current();
    relaySocket->connectToHost(deployment.relayHost, deployment.relayPort, QIODevice::ReadWrite);

    ++clientCount;
    state = Envelope;
}

bool SmtpRoxyServer::waitingForDecision() const
{
    return state == Querying || state == ResetSent || state == SendingRecipients ||
           state == RecipientsSent || state == DataSent;
}

void SmtpRoxyServer::client2server()
{
    if (!clientSocket || !relaySocket)
        return;
    while (clientSocket && !waitingForDecision()) {
        if (clientSocket->canReadLine()) {
            handleClientChunk(cutAtNul(clientSocket->readLine(), true), true);
        } else if (clientSocket->bytesAvailable() >= clientReadBuffer) {
            // The buffer is full without a line end: waiting for one would
            // stall the connection for good, so the line goes on in pieces.
            handleClientChunk(cutAtNul(clientSocket->read(clientReadBuffer), false), false);
        } else {
            break;
        }
    }
    if (relaySocket)
        relaySocket->flush();
}

void SmtpRoxyServer::handleClientChunk(const QByteArray &chunk, bool lineEnded)
{
    if (state == Collecting) {
        collect(chunk, lineEnded);
    } else if (state == Envelope && atLineStart) {
        handleEnvelopeLine(chunk);
    } else if (state == Relaying) {
        relayMessageLine(chunk, lineEnded);
    } else {
        writeRelay(chunk); // the rest of an over-long command line
    }
    atLineStart = lineEnded;
}

void SmtpRoxyServer::collect(const QByteArray &chunk, bool lineEnded)
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

void SmtpRoxyServer::handleEnvelopeLine(const QByteArray &line)
{
    const QByteArray command = line.left(4).toLower();
    if (command == "rcpt") {
        const QString address = angleAddress(QString::fromLatin1(line));
        if (address.contains(QLatin1Char('@')))
            mailInfo.recipients.append(address);
        writeRelay(line);
    } else if (command == "data") {
        // Answered here, not by the relay: the message start is held back
        // until the user has decided.
        clientSocket->write("354 Enter mail, end with \".\" on a line by itself\r\n");
        clientSocket->flush();
        state = Collecting;
    } else if (command == "rset") {
        reset();
        writeRelay(line);
    } else {
        writeRelay(line);
    }
}

void SmtpRoxyServer::relayMessageLine(const QByteArray &chunk, bool lineEnded)
{
    writeRelay(chunk);
    // After the terminating "." the next message of this connection is
    // asked about like the first one.
    if (atLineStart && lineEnded && withoutLineEnd(chunk) == ".") {
        reset();
        state = Envelope;
    }
}

void SmtpRoxyServer::startQuery()
{
    state = Querying;
    parseHeaders(lines, mailInfo);
    emit showQuery(mailInfo);
}

void SmtpRoxyServer::server2client()
{
    if (!clientSocket || !relaySocket)
        return;
    while (relaySocket && clientSocket && relaySocket->canReadLine()) {
        const QByteArray line = cutAtNul(relaySocket->readLine(), true);
        const bool consumable =
            line.startsWith("250") || (line.startsWith("354") && state == DataSent);
        if (consumable && advanceAliasEnvelope()) {
            relaySocket->flush();
            continue;
        }
        if (state == Collecting) {
            // The relay spoke up on its own (an error, a time-out) while we
            // were holding lines: give up holding and let the two talk.
            state = Relaying;
        }
        clientSocket->write(line);
        clientSocket->flush();
    }
}

// One step of the new envelope or the release of the held lines, driven by
// the relay's replies. False when the reply is not ours to consume.
bool SmtpRoxyServer::advanceAliasEnvelope()
{
    switch (state) {
    case ResetSent:
        writeRelay("MAIL FROM: <" + angleAddress(mailInfo.from).toLatin1() + ">\r\n");
        state = SendingRecipients;
        return true;
    case SendingRecipients:
        writeRelay("RCPT TO: <" + mailInfo.recipients.value(rcptIndex).toLatin1() + ">\r\n");
        if (++rcptIndex >= mailInfo.recipients.size()) {
            rcptIndex = 0;
            state = RecipientsSent;
        }
        return true;
    case RecipientsSent:
        writeRelay("DATA\r\n");
        state = DataSent;
        return true;
    case DataSent:
        releaseHeldLines();
        return true;
    default:
        return false;
    }
}

void SmtpRoxyServer::releaseHeldLines()
{
    for (int i = 0; i < lines.size(); ++i) {
        const bool open = lastLineOpen && i == lines.size() - 1;
        writeRelay(lines.at(i).toLatin1() + (open ? QByteArray() : QByteArray("\r\n")));
    }
    const bool messageComplete = !lastLineOpen && !lines.isEmpty() && lines.last() == ".";
    atLineStart = !lastLineOpen;
    if (messageComplete) {
        reset();
        state = Envelope;
    } else {
        state = Relaying;
    }
    // Lines that queued up in the client socket during the decision.
    QTimer::singleShot(0, this, &SmtpRoxyServer::client2server);
}

void SmtpRoxyServer::queryDone(MailInfo info)
{
    if (info.from.isEmpty() || !clientSocket || !relaySocket) {
        abortConnection();
        return;
    }
    if (state != Querying)
        return; // a late answer to a query this connection no longer has
    if (info.from == mailInfo.from) {
        writeRelay("DATA\r\n");
        relaySocket->flush();
        state = DataSent;
        return;
    }
    if (info.recipients.isEmpty()) {
        // No recipient to put on the new envelope: refused like "do not send".
        abortConnection();
        return;
    }
    mailInfo = info;
    rewriteFrom(lines, mailInfo.from);
    writeRelay("RSET\r\n");
    relaySocket->flush();
    state = ResetSent;
}

void SmtpRoxyServer::abortConnection()
{
    QTcpSocket *client = clientSocket;
    QTcpSocket *relay = relaySocket;
    clientSocket = nullptr;
    relaySocket = nullptr;
    clientCount = 0;
    release(client);
    release(relay);
}

void SmtpRoxyServer::clientDisconnected()
{
    abortConnection();
}

void SmtpRoxyServer::serverDisconnected()
{
    abortConnection();
}

void SmtpRoxyServer::writeRelay(const QByteArray &data)
{
    if (relaySocket)
        relaySocket->write(data);
}
