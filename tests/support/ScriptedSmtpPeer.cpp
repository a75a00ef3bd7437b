#include "ScriptedSmtpPeer.h"

#include <QTcpSocket>
#include <QTimer>

const QByteArray ScriptedSmtpPeer::close = QByteArrayLiteral("<close>");

QList<QByteArray> ScriptedSmtpPeer::acceptingScript()
{
    return {"220 scripted ESMTP\r\n", "250 hello\r\n",  "250 sender ok\r\n", "250 recipient ok\r\n",
            "354 go ahead\r\n",       "250 queued\r\n", "221 bye\r\n"};
}

bool ScriptedSmtpPeer::listen(quint16 port)
{
    connect(&server, &QTcpServer::newConnection, this, &ScriptedSmtpPeer::accept,
            Qt::UniqueConnection);
    return server.listen(QHostAddress::LocalHost, port);
}

void ScriptedSmtpPeer::setScript(const QList<QByteArray> &replies)
{
    script = replies;
}

void ScriptedSmtpPeer::accept()
{
    while (QTcpSocket *next = server.nextPendingConnection()) {
        delete client;
        client = next;
        ++connections;
        input.clear();
        pending.clear();
        commandLines.clear();
        inMessage = false;
        gone = false;
        connect(client, &QTcpSocket::readyRead, this, &ScriptedSmtpPeer::readClient);
        connect(client, &QTcpSocket::disconnected, this, [this] { gone = true; });
        reply();
    }
}

void ScriptedSmtpPeer::readClient()
{
    const QByteArray data = client->readAll();
    input += data;
    pending += data;
    for (qsizetype end; (end = pending.indexOf("\r\n")) >= 0;) {
        const QByteArray line = pending.left(end);
        pending.remove(0, end + 2);
        if (inMessage) {
            if (line == ".") {
                inMessage = false;
                reply();
            }
            continue;
        }
        commandLines.append(line);
        inMessage = line == "DATA" && !script.isEmpty() && script.first().startsWith('3');
        reply();
    }
}

void ScriptedSmtpPeer::reply()
{
    if (script.isEmpty() || !client)
        return;
    const QByteArray next = script.takeFirst();
    if (next == close) {
        client->disconnectFromHost();
        return;
    }
    const qsizetype split = next.indexOf(pause);
    if (split < 0) {
        client->write(next);
        return;
    }
    client->write(next.left(split));
    QTimer::singleShot(200, client,
                       [socket = client, rest = next.mid(split + 1)] { socket->write(rest); });
}
