#include "protection/ResolvedDns.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <sys/socket.h>

namespace {

const char Service[] = "org.freedesktop.resolve1";
const char Path[] = "/org/freedesktop/resolve1";
const char Manager[] = "org.freedesktop.resolve1.Manager";
const char NoSuchLink[] = "org.freedesktop.resolve1.NoSuchLink";
constexpr int CallTimeoutMs = 10000;

// One element of SetLinkDNS's a(iay): address family and address bytes.
struct LinkServer
{
    int family = 0;
    QByteArray address;
};

// One element of SetLinkDomains's a(sb): a name, and whether it only routes
// queries (true) or is also searched (false).
struct LinkDomain
{
    QString name;
    bool routingOnly = false;
};

QDBusArgument &operator<<(QDBusArgument &argument, const LinkServer &server)
{
    argument.beginStructure();
    argument << server.family << server.address;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, LinkServer &server)
{
    argument.beginStructure();
    argument >> server.family >> server.address;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const LinkDomain &domain)
{
    argument.beginStructure();
    argument << domain.name << domain.routingOnly;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, LinkDomain &domain)
{
    argument.beginStructure();
    argument >> domain.name >> domain.routingOnly;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(LinkServer)
Q_DECLARE_METATYPE(LinkDomain)

namespace {

LinkServer linkServer(const QHostAddress &address)
{
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 value = address.toIPv4Address();
        const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
        return {AF_INET, QByteArray(bytes, sizeof bytes)};
    }
    const Q_IPV6ADDR value = address.toIPv6Address();
    return {AF_INET6, QByteArray(reinterpret_cast<const char *>(value.c), sizeof value.c)};
}

QDBusMessage managerCall(const char *method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(Service), QLatin1String(Path), QLatin1String(Manager), QLatin1String(method));
    call.setArguments(arguments);
    return call;
}

} // namespace

ResolvedDns::ResolvedDns(const QDBusConnection &bus, QObject *parent) : DnsBackend(parent), bus(bus)
{
    qDBusRegisterMetaType<LinkServer>();
    qDBusRegisterMetaType<QList<LinkServer>>();
    qDBusRegisterMetaType<LinkDomain>();
    qDBusRegisterMetaType<QList<LinkDomain>>();
}

void ResolvedDns::apply(const QString &tunnelDevice, int tunnelIndex, const PushedOptions &options)
{
    const PushedOptions checked = options.checked();
    ++currentRun;
    pending.clear();
    if (!checked.hasDns()) {
        finishLater(true, QStringLiteral("systemd-resolved: no name servers pushed, unchanged"));
        return;
    }
    if (tunnelIndex <= 0) {
        finishLater(false, QStringLiteral("systemd-resolved: no tunnel device to configure"));
        return;
    }
    device = tunnelDevice;
    ifindex = tunnelIndex;
    servers = checked.tunnelDnsServers();

    QList<LinkServer> linkServers;
    for (const QHostAddress &server : std::as_const(servers))
        linkServers.append(linkServer(server));
    QList<LinkDomain> linkDomains;
    for (const QString &name : checked.domains + checked.searchDomains)
        linkDomains.append({name, false});
    // "~.": every name not claimed more specifically goes to these servers.
    linkDomains.append({QStringLiteral("."), true});

    pending = {managerCall("SetLinkDNS", {ifindex, QVariant::fromValue(linkServers)}),
               managerCall("SetLinkDomains", {ifindex, QVariant::fromValue(linkDomains)}),
               managerCall("SetLinkDefaultRoute", {ifindex, true})};
    reverting = false;
    doneDetail = describe();
    sendNext(currentRun);
}

void ResolvedDns::revert()
{
    ++currentRun;
    pending.clear();
    if (ifindex <= 0) {
        finishLater(true, QStringLiteral("systemd-resolved: nothing to hand back"));
        return;
    }
    pending = {managerCall("RevertLink", {ifindex})};
    reverting = true;
    doneDetail = QStringLiteral("systemd-resolved: %1 handed back").arg(device);
    ifindex = 0;
    servers.clear();
    sendNext(currentRun);
}

QString ResolvedDns::describe() const
{
    return QStringLiteral("systemd-resolved on %1: %2").arg(device, listed(servers));
}

void ResolvedDns::probe(const QDBusConnection &bus, QObject *context,
                        const std::function<void(bool)> &answer)
{
    QDBusMessage question = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    question << QLatin1String(Service);
    // Qt never finishes a call on a connection that is not up.
    if (!bus.isConnected()) {
        QMetaObject::invokeMethod(
            context, [answer] { answer(false); }, Qt::QueuedConnection);
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(question, CallTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [answer](QDBusPendingCallWatcher *reply) {
                         reply->deleteLater();
                         const QDBusPendingReply<bool> owned = *reply;
                         answer(owned.isValid() && owned.value());
                     });
}

void ResolvedDns::sendNext(quint64 run)
{
    if (pending.isEmpty()) {
        finishLater(true, doneDetail);
        return;
    }
    if (!bus.isConnected()) {
        pending.clear();
        finishLater(false, QStringLiteral("systemd-resolved: the system bus is not connected"));
        return;
    }
    auto *watcher =
        new QDBusPendingCallWatcher(bus.asyncCall(pending.takeFirst(), CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, run](QDBusPendingCallWatcher *reply) { onReply(run, reply); });
}

void ResolvedDns::onReply(quint64 run, QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    if (run != currentRun) {
        emit finished(false, QStringLiteral("systemd-resolved: superseded by a later change"));
        return;
    }
    const QDBusError error = watcher->error();
    // A link that is gone took its settings with it: nothing left to undo.
    if (error.isValid() && !(reverting && error.name() == QLatin1String(NoSuchLink))) {
        pending.clear();
        emit finished(false, QStringLiteral("systemd-resolved: ") + error.message());
        return;
    }
    sendNext(run);
}
