#include "mail/SmtpRoxyServer.h"

#include "core/Deployment.h"
#include "platform/LocalPeerOwner.h"

#include <QTcpServer>
#include <QTimer>

namespace {

// Once the user has decided (or the message is refused) nothing needs
// holding back: the rest of the message goes through in large reads.
constexpr qint64 RelayingReadBuffer = 1024 * 1024;
// A relay slower than the mail program must slow the mail program down, not
// make the proxy keep the message in memory.
constexpr qint64 MaxRelayBacklog = 1024 * 1024;

// The greeting a mail program gets when the relay is out of reach.
constexpr char relayUnreachableReply[] = "421 4.4.1 Mail relay not reachable, try again later\r\n";
// The last words to a mail program that stayed silent too long.
constexpr char idleReply[] = "421 4.4.2 Idle for too long, closing connection\r\n";

// The loopback address could not be taken only because this machine has
// no IPv6: then nobody else can take it either.
bool noSuchAddress(QAbstractSocket::SocketError error)
{
    return error == QAbstractSocket::SocketAddressNotAvailableError ||
           error == QAbstractSocket::UnsupportedSocketOperationError;
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

SmtpRoxyServer::SmtpRoxyServer(QObject *parent)
    : QObject(parent), server(new QTcpServer(this)), server6(new QTcpServer(this)),
      peerOwner(LocalPeerOwner::create()), relayConnectTimer(new QTimer(this)),
      idleTimer(new QTimer(this))
{
    for (QTcpServer *listener : {server, server6}) {
        listener->setMaxPendingConnections(3);
        connect(listener, &QTcpServer::newConnection, this, &SmtpRoxyServer::clientNew);
    }
    idleTimer->setSingleShot(true);
    idleTimer->setInterval(DefaultIdleTimeoutMs);
    connect(idleTimer, &QTimer::timeout, this, [this] { closeWithReply(idleReply); });
    relayConnectTimer->setSingleShot(true);
    relayConnectTimer->setInterval(DefaultRelayConnectTimeoutMs);
    connect(relayConnectTimer, &QTimer::timeout, this, &SmtpRoxyServer::relayUnreachable);
}

SmtpRoxyServer::~SmtpRoxyServer()
{
    server->close();
    server6->close();
}

quint16 SmtpRoxyServer::port() const
{
    return server->isListening() ? server->serverPort() : 0;
}

void SmtpRoxyServer::setRelay(const QString &host, quint16 port)
{
    relayHost = host;
    relayPort = port;
}

void SmtpRoxyServer::setRelayConnectTimeout(int ms)
{
    relayConnectTimer->setInterval(ms);
}

void SmtpRoxyServer::setIdleTimeout(int ms)
{
    idleTimer->setInterval(ms);
}

void SmtpRoxyServer::startProxy()
{
    startProxy(Deployment::current().mailProxyPort);
}

void SmtpRoxyServer::startProxy(quint16 port)
{
    if (server->isListening())
        return;
    session.start();
    // Loopback only: anyone else on the network must not be able to send
    // mail through the user's relay session. Both loopback addresses: a
    // mail program may reach "localhost" on either, and one left free
    // could be taken by another user's listener, which would then get
    // this user's mail and login.
    if (!server->listen(QHostAddress::LocalHost, port)) {
        emit serverError(server->serverError());
        return;
    }
    if (!server6->listen(QHostAddress::LocalHostIPv6, server->serverPort()) &&
        !noSuchAddress(server6->serverError())) {
        server->close();
        emit serverError(server6->serverError());
    }
}

void SmtpRoxyServer::stopProxy()
{
    abortConnection();
    server->close();
    server6->close();
}

void SmtpRoxyServer::clientNew()
{
    for (QTcpServer *listener : {server, server6}) {
        while (QTcpSocket *socket = listener->nextPendingConnection())
            accept(socket);
    }
}

void SmtpRoxyServer::accept(QTcpSocket *socket)
{
    // Another user of this machine must neither send under this user's
    // aliases nor see this user's dialog, nor keep the place taken: closed
    // before a word is said.
    if (!peerOwner->isSameUser(*socket)) {
        release(socket);
        return;
    }
    if (clientCount >= 1) {
        // One connection at a time: the decision belongs to one message.
        release(socket);
        return;
    }
    release(clientSocket);
    clientSocket = socket;

    session.start();
    unread.clear();
    clientSocket->setReadBufferSize(SmtpInterceptionSession::HoldBackBuffer);
    connect(clientSocket, &QTcpSocket::readyRead, this, &SmtpRoxyServer::client2server);
    connect(clientSocket, &QTcpSocket::disconnected, this, &SmtpRoxyServer::clientDisconnected);
    connect(clientSocket, &QTcpSocket::errorOccurred, this, &SmtpRoxyServer::clientError);

    release(relaySocket);
    relaySocket = new QTcpSocket(this);
    connect(relaySocket, &QTcpSocket::readyRead, this, &SmtpRoxyServer::server2client);
    connect(relaySocket, &QTcpSocket::bytesWritten, this, &SmtpRoxyServer::client2server);
    connect(relaySocket, &QTcpSocket::disconnected, this, &SmtpRoxyServer::serverDisconnected);
    connect(relaySocket, &QTcpSocket::errorOccurred, this, &SmtpRoxyServer::serverError);
    // Errors before the relay took the connection (refused, unknown host,
    // no route) end in no disconnection: they end the connection here.
    connect(relaySocket, &QTcpSocket::errorOccurred, this, [this] {
        if (relayConnectTimer->isActive())
            relayUnreachable();
    });
    connect(relaySocket, &QTcpSocket::connected, relayConnectTimer, &QTimer::stop);

    // Counted before connecting: a failure may be reported at once.
    ++clientCount;
    idleTimer->start();
    relayConnectTimer->start();
    if (relayHost.isEmpty()) {
        const Deployment &deployment = Deployment::current();
        relaySocket->connectToHost(deployment.relayHost, deployment.relayPort);
    } else {
        relaySocket->connectToHost(relayHost, relayPort);
    }
}

void SmtpRoxyServer::client2server()
{
    while (clientSocket && relaySocket && !session.holdsClient() &&
           relaySocket->bytesToWrite() < MaxRelayBacklog) {
        // All of the socket's buffer is read (a socket whose full buffer is
        // only partly read does not take up reading from the network again);
        // nothing is read while a decision is pending, so that the small
        // read buffer then holds the mail program back.
        const qsizetype before = unread.size();
        unread.resize(before + clientSocket->bytesAvailable());
        const qint64 got = clientSocket->read(unread.data() + before, unread.size() - before);
        unread.resize(before + qMax<qint64>(got, 0));
        const qsizetype taken = session.takeClientBytes(unread);
        unread.remove(0, taken);
        deliver();
        if (taken == 0)
            break;
    }
}

void SmtpRoxyServer::server2client()
{
    const bool wasWaiting = session.holdsClient();
    while (relaySocket && clientSocket && relaySocket->canReadLine()) {
        session.relayLine(relaySocket->readLine());
        deliver();
    }
    resumeClientLater(wasWaiting);
}

void SmtpRoxyServer::resumeClientLater(bool wasWaiting)
{
    // Lines that queued up in the client socket during the decision.
    if (wasWaiting && !session.holdsClient())
        QTimer::singleShot(0, this, &SmtpRoxyServer::client2server);
}

void SmtpRoxyServer::deliver()
{
    const QByteArray toRelay = session.takeForRelay();
    if (relaySocket && !toRelay.isEmpty()) {
        relaySocket->write(toRelay);
        relaySocket->flush();
    }
    const QByteArray toClient = session.takeForClient();
    if (clientSocket && !toClient.isEmpty()) {
        clientSocket->write(toClient);
        clientSocket->flush();
    }
    if (clientSocket) {
        const bool passing = session.state() == SmtpInterceptionSession::Relaying ||
                             session.state() == SmtpInterceptionSession::Refusing;
        clientSocket->setReadBufferSize(passing ? RelayingReadBuffer
                                                : SmtpInterceptionSession::HoldBackBuffer);
    }
    if (session.takeQueryRequest())
        emit showQuery(session.mailInfo());
    watchIdleness();
}

void SmtpRoxyServer::watchIdleness()
{
    // The user may take any time to decide; the wait begins again after.
    if (!clientSocket || session.waitingForDecision())
        idleTimer->stop();
    else
        idleTimer->start();
}

void SmtpRoxyServer::queryDone(MailInfo info)
{
    // The question's connection is gone: the answer comes too late and
    // must not touch a newer connection.
    if (!clientSocket || !relaySocket)
        return;
    if (!session.decide(info)) {
        abortConnection();
        return;
    }
    deliver();
    // A refused message: the rest of it is read (and dropped) at once.
    resumeClientLater(true);
}

void SmtpRoxyServer::relayUnreachable()
{
    closeWithReply(relayUnreachableReply);
}

std::pair<QTcpSocket *, QTcpSocket *> SmtpRoxyServer::detachConnection()
{
    relayConnectTimer->stop();
    idleTimer->stop();
    clientCount = 0;
    return {std::exchange(clientSocket, nullptr), std::exchange(relaySocket, nullptr)};
}

void SmtpRoxyServer::closeWithReply(const char *reply)
{
    const auto [client, relay] = detachConnection();
    release(relay);
    if (!client)
        return;
    // Closed once the reply has gone out, and released then.
    client->disconnect(this);
    connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    client->write(reply);
    client->disconnectFromHost();
    if (client->state() == QAbstractSocket::UnconnectedState)
        client->deleteLater();
}

void SmtpRoxyServer::abortConnection()
{
    const auto [client, relay] = detachConnection();
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
