#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real HTTP proxy (tinyproxy) on an ephemeral loopback port, optionally
// asking for a user name and password. It tunnels HTTPS with CONNECT to any
// port and logs every request it handles.
class HttpProxyPeer
{
public:
    ~HttpProxyPeer();

    static bool isAvailable();

    bool start(const QString &user = QString(), const QString &password = QString());
    void stop();

    quint16 port() const { return listenPort; }
    QString errorString() const { return error; }
    // What the proxy logged so far.
    QString log() const;

private:
    QProcess process;
    QTemporaryDir dir;
    quint16 listenPort = 0;
    QString error;
};
