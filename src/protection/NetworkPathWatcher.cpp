#include "protection/NetworkPathWatcher.h"

#include "protection/KernelNetworkEvents.h"
#include "protection/RouteNetlink.h"

#include <arpa/inet.h>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

NetworkPathWatcher::NetworkPathWatcher(QObject *parent)
    : QObject(parent), events(new KernelNetworkEvents(this))
{
    connect(events, &KernelNetworkEvents::settled, this, &NetworkPathWatcher::compare);
}

NetworkPathWatcher::~NetworkPathWatcher() = default;

void NetworkPathWatcher::watch(const QList<QHostAddress> &servers)
{
    stopWatching();
    for (const QHostAddress &server : servers)
        paths.insert(server.toString(), pathTo(server));
    // Without the kernel's news OpenVPN's own ping-restart still notices.
    if (!paths.isEmpty() && !events->listen())
        paths.clear();
}

void NetworkPathWatcher::stopWatching()
{
    events->stopListening();
    paths.clear();
}

void NetworkPathWatcher::compare()
{
    for (auto it = paths.begin(); it != paths.end(); ++it) {
        const QString now = pathTo(QHostAddress(it.key()));
        if (now.isEmpty() || now == it.value())
            continue;
        const QString detail =
            QStringLiteral("the way to %1 changed from %2 to %3").arg(it.key(), it.value(), now);
        // Reported once: the restart that follows learns the new ways.
        stopWatching();
        emit pathChanged(detail);
        return;
    }
}

QString NetworkPathWatcher::pathTo(const QHostAddress &address)
{
    const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    if (!v4 && address.protocol() != QAbstractSocket::IPv6Protocol)
        return QString();
    struct
    {
        nlmsghdr header;
        rtmsg route;
        char attributes[64];
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.route.rtm_family = v4 ? AF_INET : AF_INET6;
    request.route.rtm_dst_len = v4 ? 32 : 128;
    auto *destination = reinterpret_cast<rtattr *>(reinterpret_cast<char *>(&request) +
                                                   NLMSG_ALIGN(request.header.nlmsg_len));
    const int size = v4 ? 4 : 16;
    destination->rta_type = RTA_DST;
    destination->rta_len = RTA_LENGTH(size);
    if (v4) {
        const quint32 value = htonl(address.toIPv4Address());
        std::memcpy(RTA_DATA(destination), &value, 4);
    } else {
        const Q_IPV6ADDR value = address.toIPv6Address();
        std::memcpy(RTA_DATA(destination), value.c, 16);
    }
    request.header.nlmsg_len =
        NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(destination->rta_len);

    QStringList parts;
    RouteNetlink::ask(request.header, [&parts](const nlmsghdr &message) {
        if (message.nlmsg_type != RTM_NEWROUTE || !parts.isEmpty())
            return;
        const auto *route = static_cast<const rtmsg *>(NLMSG_DATA(&message));
        QString gateway, device, source;
        int length = int(RTM_PAYLOAD(&message));
        for (auto *attribute = RTM_RTA(route); RTA_OK(attribute, length);
             attribute = RTA_NEXT(attribute, length)) {
            if (attribute->rta_type == RTA_GATEWAY)
                gateway = RouteNetlink::address(attribute, route->rtm_family).toString();
            else if (attribute->rta_type == RTA_PREFSRC)
                source = RouteNetlink::address(attribute, route->rtm_family).toString();
            else if (attribute->rta_type == RTA_OIF && RTA_PAYLOAD(attribute) >= sizeof(int)) {
                int index;
                std::memcpy(&index, RTA_DATA(attribute), sizeof index);
                device = RouteNetlink::deviceName(index);
            }
        }
        if (!gateway.isEmpty())
            parts << QStringLiteral("via ") + gateway;
        parts << QStringLiteral("dev ") + device;
        if (!source.isEmpty())
            parts << QStringLiteral("src ") + source;
    });
    return parts.join(QLatin1Char(' '));
}
