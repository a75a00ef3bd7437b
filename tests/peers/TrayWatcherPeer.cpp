#include "TrayWatcherPeer.h"

#include "ChildProcess.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QStandardPaths>
#include <QTimer>

namespace {
const char Connection[] = "quillnet-test-tray-watcher";
const char Service[] = "org.kde.StatusNotifierWatcher";
const char Path[] = "/StatusNotifierWatcher";

const char Introspection[] =
    "<interface name=\"org.kde.StatusNotifierWatcher\">"
    "<method name=\"RegisterStatusNotifierItem\"><arg name=\"service\" type=\"s\" "
    "direction=\"in\"/></method>"
    "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
    "</interface>";
} // namespace

// Answers each message from the watcher's thread once its delay is over.
class TrayWatcherPeer::Watcher : public QDBusVirtualObject
{
public:
    explicit Watcher(TrayWatcherPeer *peer) : peer(peer) {}

    QString introspect(const QString &path) const override
    {
        Q_UNUSED(path)
        return QLatin1String(Introspection);
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.type() != QDBusMessage::MethodCallMessage)
            return false;
        peer->received.ref();
        const int delay = peer->delayMs.loadRelaxed();
        if (delay == Never)
            return true; // taken, and never answered
        const QDBusMessage reply = answer(message);
        TrayWatcherPeer *const owner = peer;
        QTimer::singleShot(delay, this, [owner, reply, connection] {
            QDBusConnection(connection).send(reply);
            owner->answered.ref();
        });
        return true;
    }

private:
    QDBusMessage answer(const QDBusMessage &message) const
    {
        const QString member = message.member();
        if (member == QLatin1String("Introspect"))
            return message.createReply(
                QStringLiteral("<node><interface name=\"org.freedesktop.DBus.Properties\">"
                               "<method name=\"Get\"><arg type=\"s\" direction=\"in\"/>"
                               "<arg type=\"s\" direction=\"in\"/><arg type=\"v\" "
                               "direction=\"out\"/></method></interface>") +
                QLatin1String(Introspection) + QStringLiteral("</node>"));
        if (member == QLatin1String("Get") && message.arguments().value(1).toString() ==
                                                  QLatin1String("IsStatusNotifierHostRegistered"))
            return message.createReply(
                QVariant::fromValue(QDBusVariant(peer->hostRegistered.loadRelaxed() != 0)));
        if (member == QLatin1String("RegisterStatusNotifierItem"))
            return message.createReply();
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                        member);
    }

    TrayWatcherPeer *const peer;
};

TrayWatcherPeer::~TrayWatcherPeer()
{
    QDBusConnection::disconnectFromBus(QLatin1String(Connection));
    watcherThread.quit();
    watcherThread.wait();
    delete watcher;
    stopChildProcess(bus);
}

bool TrayWatcherPeer::isAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty();
}

bool TrayWatcherPeer::start(bool takeName)
{
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address")});
    if (!bus.waitForReadyRead(10000))
        return false;
    busAddress = QString::fromUtf8(bus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());

    QDBusConnection connection =
        QDBusConnection::connectToBus(busAddress, QLatin1String(Connection));
    if (!connection.isConnected())
        return false;
    watcher = new Watcher(this);
    watcher->moveToThread(&watcherThread);
    watcherThread.start();
    if (!connection.registerVirtualObject(QLatin1String(Path), watcher))
        return false;
    return !takeName || ownName();
}

bool TrayWatcherPeer::ownName()
{
    return QDBusConnection(QLatin1String(Connection)).registerService(QLatin1String(Service));
}
