#include "TrayWatcherPeer.h"

#include <QDBusMessage>
#include <QDBusVariant>

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

// The watcher's answers, as far as the client asks.
class TrayWatcherPeer::Watcher : public StandInPeer::Object
{
public:
    explicit Watcher(TrayWatcherPeer *peer) : Object(peer), watcherPeer(peer) {}

    QString introspect(const QString &path) const override
    {
        Q_UNUSED(path)
        return QLatin1String(Introspection);
    }

protected:
    QDBusMessage answer(const QDBusMessage &message) override
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
                QVariant::fromValue(QDBusVariant(watcherPeer->hostRegistered.loadRelaxed() != 0)));
        if (member == QLatin1String("RegisterStatusNotifierItem"))
            return message.createReply();
        return unknownMethod(message);
    }

private:
    TrayWatcherPeer *const watcherPeer;
};

bool TrayWatcherPeer::start(bool takeName)
{
    return StandInPeer::start("DBUS_SESSION_BUS_ADDRESS", Connection, Path, new Watcher(this)) &&
           (!takeName || ownName());
}

bool TrayWatcherPeer::ownName()
{
    return connection().registerService(QLatin1String(Service));
}
