#include "HttpProxyPeer.h"

#include "ChildProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

} // namespace

HttpProxyPeer::~HttpProxyPeer()
{
    stop();
}

bool HttpProxyPeer::isAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("tinyproxy")).isEmpty();
}

bool HttpProxyPeer::start(const QString &user, const QString &password)
{
    listenPort = freeLoopbackPort();
    QString config = QStringLiteral("Port %1\n"
                                    "Listen 127.0.0.1\n"
                                    "Timeout 30\n"
                                    "Allow 127.0.0.1\n"
                                    "MaxClients 20\n"
                                    "LogLevel Info\n"
                                    "LogFile \"%2\"\n")
                         .arg(listenPort)
                         .arg(dir.filePath(QStringLiteral("proxy.log")));
    if (!user.isEmpty())
        config += QStringLiteral("BasicAuth %1 %2\n").arg(user, password);
    const QString configPath = dir.filePath(QStringLiteral("tinyproxy.conf"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.write(config.toUtf8());
    file.close();

    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("tinyproxy"),
                  {QStringLiteral("-d"), QStringLiteral("-c"), configPath});
    if (!process.waitForStarted(5000)) {
        error = process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!accepts(listenPort)) {
        if (deadline.hasExpired() || process.state() != QProcess::Running) {
            error = QStringLiteral("tinyproxy did not start listening on %1").arg(listenPort);
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

void HttpProxyPeer::stop()
{
    stopChildProcess(process);
}

QString HttpProxyPeer::log() const
{
    QFile file(dir.filePath(QStringLiteral("proxy.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
