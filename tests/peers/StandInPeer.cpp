#include "StandInPeer.h"

#include "ChildProcess.h"
#include "PrivateBusDaemon.h"

#include <QDBusMessage>
#include <QTimer>
#include <cstdio>

namespace {

// A session bus without the service folders of the machine.
const char Config[] = R"(  <type>session</type>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
)";

} // namespace

bool StandInPeer::Object::handleMessage(const QDBusMessage &message,
                                        const QDBusConnection &connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    peer->received.ref();
    const QString call = message.interface() + QLatin1Char('.') + message.member();
    peer->tell("call", call);
    const int delay = peer->delayMs.loadRelaxed();
    if (delay == Never)
        return true; // taken, and never answered
    const QDBusMessage reply = answer(message);
    StandInPeer *const owner = peer;
    QTimer::singleShot(delay, this, [owner, reply, connection, call] {
        QDBusConnection(connection).send(reply);
        owner->tell("answered", call);
    });
    return true;
}

QDBusMessage StandInPeer::Object::unknownMethod(const QDBusMessage &call)
{
    return call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                 call.member());
}

void StandInPeer::tell(const char *what, const QString &call) const
{
    if (tellCalls.loadRelaxed() == 0)
        return;
    std::printf("%s %s\n", what, qPrintable(call));
    std::fflush(stdout);
}

StandInPeer::~StandInPeer()
{
    if (!connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(connectionName);
    objectThread.quit();
    objectThread.wait();
    delete object;
    stopChildProcess(bus);
}

bool StandInPeer::isAvailable()
{
    return PrivateBusDaemon::isAvailable();
}

bool StandInPeer::start(const char *addressVariable, const char *name, const char *path,
                        Object *standIn)
{
    object = standIn;
    QString error;
    if (!folder.isValid() || !PrivateBusDaemon::start(bus, folder.path(), Config, &error))
        return false;
    busAddress = PrivateBusDaemon::address(folder.path());
    qputenv(addressVariable, busAddress.toUtf8());

    connectionName = QLatin1String(name);
    QDBusConnection link = QDBusConnection::connectToBus(busAddress, connectionName);
    if (!link.isConnected())
        return false;
    object->moveToThread(&objectThread);
    objectThread.start();
    return link.registerVirtualObject(QLatin1String(path), object);
}

QDBusConnection StandInPeer::connection() const
{
    return QDBusConnection(connectionName);
}
