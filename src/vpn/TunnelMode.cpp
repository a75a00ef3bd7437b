#include "vpn/TunnelMode.h"

#include "vpn/LocalConsole.h"
#include "vpn/ServiceConsole.h"
#include "vpn/TunnelServiceApi.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>

namespace {

constexpr int BusQueryTimeoutMs = 1000;
constexpr int CapNetAdmin = 12;

// One question to the bus daemon; an invalid answer when none came in time.
QVariant askBus(const QDBusConnection &bus, const char *method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QLatin1String(method));
    message.setArguments(arguments);
    const QDBusMessage reply = bus.call(message, QDBus::Block, BusQueryTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0) : QVariant();
}

bool serviceOnBus(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return false;
    const QString name = QLatin1String(TunnelServiceApi::Service);
    return askBus(bus, "NameHasOwner", {name}).toBool() ||
           askBus(bus, "ListActivatableNames", {}).toStringList().contains(name);
}

QByteArray ownStatus()
{
    QFile status(QStringLiteral("/proc/self/status"));
    return status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
}

} // namespace

TunnelMode::Choice TunnelMode::choose()
{
    return choose(QDBusConnection::systemBus(), ownStatus());
}

TunnelMode::Choice TunnelMode::choose(const QDBusConnection &bus, const QByteArray &procStatus)
{
    if (serviceOnBus(bus))
        return {Service, QStringLiteral("Quillnet: OpenVPN runs in the tunnel service %1")
                             .arg(QLatin1String(TunnelServiceApi::Service))};
    if (hasNetAdmin(procStatus))
        return {Direct, QStringLiteral("Quillnet: no tunnel service; OpenVPN runs in this "
                                       "process, which has CAP_NET_ADMIN")};
    return {Direct, QStringLiteral("Quillnet: no tunnel service and no CAP_NET_ADMIN; OpenVPN "
                                   "runs in this process and cannot create its tunnel")};
}

bool TunnelMode::hasNetAdmin(const QByteArray &procStatus)
{
    for (const QByteArray &line : procStatus.split('\n')) {
        if (!line.startsWith("CapEff:"))
            continue;
        bool ok = false;
        const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask >> CapNetAdmin & 1U);
    }
    return false;
}

TunnelConsole *TunnelMode::createConsole(Mode mode, QObject *parent)
{
    if (mode == Service)
        return new ServiceConsole(parent);
    return new LocalConsole(parent);
}
