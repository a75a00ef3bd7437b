#pragma once

#include "mail/MailInfo.h"
#include "mail/SmtpInterceptionSession.h"

#include <QObject>
#include <QTcpSocket>
#include <memory>
#include <utility>

class LocalPeerOwner;
class QTcpServer;
class QTimer;

// Local SMTP proxy between the user's mail program and the service's relay.
// It relays the dialogue line by line, holds back the start of every message,
// asks (showQuery) and carries out the answer (queryDone): send unchanged,
// send under an alias (new envelope, rewritten From) or drop the message.
// One mail-program connection at a time; all on the GUI thread. What is said
// on the connection is decided by SmtpInterceptionSession; this class moves
// the bytes.
class SmtpRoxyServer : public QObject
{
    Q_OBJECT

public:
    using ProxyState = SmtpInterceptionSession::State;

    // A relay that has not taken the connection by then counts as out of
    // reach.
    static constexpr int DefaultRelayConnectTimeoutMs = 15000;
    // A connection on which neither side has said anything for this long
    // (the user's decision aside) is closed, so that a stalled or hostile
    // client cannot keep the one place taken. Five minutes is what mail
    // servers commonly allow a client between commands.
    static constexpr int DefaultIdleTimeoutMs = 5 * 60 * 1000;

    explicit SmtpRoxyServer(QObject *parent = nullptr);
    ~SmtpRoxyServer() override;

    // The port listened on, or 0 when not listening.
    quint16 port() const;
    // Another relay than the deployment's, for connections accepted from
    // now on (tests, benchmarks).
    void setRelay(const QString &host, quint16 port);
    // Another time-out for reaching the relay, in milliseconds (tests).
    void setRelayConnectTimeout(int ms);
    // Another idle time-out, in milliseconds (tests).
    void setIdleTimeout(int ms);

signals:
    void clientError(QAbstractSocket::SocketError error);
    void serverError(QAbstractSocket::SocketError error);
    void showQuery(MailInfo info);

public slots:
    void startProxy();
    void startProxy(quint16 port); // 0 picks a free port (tests)
    void stopProxy();
    void queryDone(MailInfo info);
    void clientNew();
    void abortConnection();
    void clientDisconnected();
    void serverDisconnected();
    void client2server();
    void server2client();

private:
    void accept(QTcpSocket *socket);
    void deliver();
    void watchIdleness();
    void resumeClientLater(bool wasWaiting);
    // The relay could not be reached: the mail program is told so with a
    // 421 reply and its connection closed, and the proxy is free again.
    void relayUnreachable();
    // The mail program gets `reply`, then its connection is closed.
    void closeWithReply(const char *reply);
    // Stops the connection's timers and hands over its two sockets (either
    // may be null), leaving the proxy free for the next connection.
    std::pair<QTcpSocket *, QTcpSocket *> detachConnection();

    int clientCount = 0;
    QTcpServer *server = nullptr;  // 127.0.0.1
    QTcpServer *server6 = nullptr; // ::1, which "localhost" may name as well
    std::unique_ptr<LocalPeerOwner> peerOwner;
    QTcpSocket *clientSocket = nullptr;
    QTcpSocket *relaySocket = nullptr;
    SmtpInterceptionSession session;
    QByteArray unread; // read from the mail program, not yet taken by the session
    QString relayHost; // empty: the deployment's
    quint16 relayPort = 0;
    QTimer *relayConnectTimer; // runs while the relay is being reached
    QTimer *idleTimer;         // runs while a connection waits on neither side

    Q_DISABLE_COPY_MOVE(SmtpRoxyServer)
};
