#pragma once

#include "mail/MailInfo.h"

#include <QObject>
#include <QStringList>
#include <QTcpSocket>

class QTcpServer;

// Local SMTP proxy between the user's mail program and the service's relay.
// It relays the dialogue line by line, holds back the start of every message,
// asks (showQuery) and carries out the answer (queryDone): send unchanged,
// send under an alias (new envelope, rewritten From) or drop the message.
// One mail-program connection at a time; all on the GUI thread.
class SmtpRoxyServer : public QObject
{
    Q_OBJECT

public:
    enum ProxyState
    {
        Envelope = 1,
        Collecting,
        Querying,
        ResetSent,
        SendingRecipients,
        RecipientsSent,
        DataSent,
        Relaying
    };

    static constexpr quint16 defaultPort = 10025;

    explicit SmtpRoxyServer(QObject *parent = nullptr);
    ~SmtpRoxyServer() override;

    // The port listened on, or 0 when not listening.
    quint16 port() const;

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
    void reset();
    bool waitingForDecision() const;
    void handleClientChunk(const QByteArray &chunk, bool lineEnded);
    void collect(const QByteArray &chunk, bool lineEnded);
    void handleEnvelopeLine(const QByteArray &line);
    void relayMessageLine(const QByteArray &chunk, bool lineEnded);
    void startQuery();
    bool advanceAliasEnvelope();
    void releaseHeldLines();
    void writeRelay(const QByteArray &data);

    int clientCount = 0;
    QTcpServer *server = nullptr;
    QTcpSocket *clientSocket = nullptr;
    QTcpSocket *relaySocket = nullptr;
    MailInfo mailInfo;
    QStringList lines;
    ProxyState state = Envelope;
    int rcptIndex = 0;

    // A client line too long for the read buffer arrives in pieces: these
    // keep them together without holding more than one line.
    QByteArray heldPiece;      // start of a held-back line still unfinished
    bool lastLineOpen = false; // the last held line had no line end yet
    bool atLineStart = true;   // the next client bytes begin a new line
};
