#include "vpn/ScriptedTunnel.h"

#include <QCoreApplication>
#include <QTimer>

ScriptedTunnel::ScriptedTunnel(QObject *parent) : Tunnel(parent) {}

void ScriptedTunnel::report(CnnStatus next, const char *text)
{
    status = next;
    // The real tunnel's words, so a translated run reads the same.
    emit statusChanged(status,
                       text ? QCoreApplication::translate("VPNConnection", text) : QString());
}

void ScriptedTunnel::setCredentials(const QString &user, const QString &password)
{
    userName = user;
    userPassword = password;
}

void ScriptedTunnel::start()
{
    callLog << QStringLiteral("start");
    if (status == Connecting || status == Connected)
        return;
    ip.clear();
    protectWith(blockOutsideTunnel, allowLocalNetwork);
    report(status == Reconnecting ? Reconnecting : Connecting, "Initializing");
    if (connectsByItself)
        QTimer::singleShot(0, this, [this] {
            if (status == Connecting || status == Reconnecting)
                connectNow();
        });
}

void ScriptedTunnel::connectNow()
{
    ip = serverIp;
    connectedSince = QTime::currentTime();
    report(Connected, "Connected");
}

void ScriptedTunnel::stop(bool silent)
{
    callLog << QStringLiteral("stop");
    if (status == Disconnected)
        return;
    report(status == Reconnecting ? Reconnecting : Disconnecting,
           silent ? nullptr : "Disconnecting");
    QTimer::singleShot(0, this, &ScriptedTunnel::finished);
}

void ScriptedTunnel::reconnect()
{
    callLog << QStringLiteral("reconnect");
    status = Reconnecting;
    stop(false);
    callLog.removeLast(); // the stop is part of the reconnect
}

void ScriptedTunnel::finished()
{
    ip.clear();
    if (status == Reconnecting)
        start();
    else if (status == Disconnecting)
        report(Disconnected, nullptr);
}

void ScriptedTunnel::fail(const QString &text)
{
    emit error(text);
    stop(true);
}

void ScriptedTunnel::drop()
{
    ip.clear();
    report(Disconnected, nullptr);
}

void ScriptedTunnel::restart()
{
    report(Connecting, "Connecting to server");
}

void ScriptedTunnel::systemSuspending()
{
    if (status != Disconnecting && status != Disconnected) {
        ip.clear();
        status = Suspended;
    }
}

void ScriptedTunnel::systemResumed()
{
    if (status == Suspended)
        start();
}
