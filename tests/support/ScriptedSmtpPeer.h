#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>

class QTcpSocket;

// An SMTP server on a loopback port that answers from a script, for the
// replies a real relay cannot be made to give: refusals, replies in pieces,
// a cut connection, silence. One client at a time.
class ScriptedSmtpPeer : public QObject
{
    Q_OBJECT

public:
    // Written as it is; `pause` splits a reply in two sent 200 ms apart,
    // `close` alone cuts the connection, an empty reply stays silent.
    static constexpr char pause = '\x01';
    static const QByteArray close;

    // A whole successful dialogue, with the message accepted.
    static QList<QByteArray> acceptingScript();

    bool listen(quint16 port = 0);
    quint16 port() const { return server.serverPort(); }
    void stopListening() { server.close(); }

    // The replies in order: the greeting, then one per command received
    // (the message after DATA counts as one).
    void setScript(const QList<QByteArray> &replies);

    // Everything the client wrote on the last connection.
    QByteArray received() const { return input; }
    // The commands of the last connection, message lines left out.
    QList<QByteArray> commands() const { return commandLines; }
    bool clientGone() const { return gone; }
    int connectionCount() const { return connections; }

private:
    void accept();
    void readClient();
    void reply();

    QTcpServer server;
    QTcpSocket *client = nullptr;
    QList<QByteArray> script;
    QByteArray input;
    QByteArray pending;
    QList<QByteArray> commandLines;
    bool inMessage = false;
    bool gone = false;
    int connections = 0;
};
