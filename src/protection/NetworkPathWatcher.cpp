#include "protection/NetworkPathWatcher.h"

#include <QSocketNotifier>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// Routes, addresses and links, IPv4 and IPv6.
constexpr unsigned Groups =
    RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE;

QString addressOf(const rtattr *attribute, int family)
{
    const int size = family == AF_INET ? 4 : 16;
    if (RTA_PAYLOAD(attribute) < unsigned(size))
        return QString();
    QHostAddress address;
    if (family == AF_INET) {
        quint32 value;
        std::memcpy(&value, RTA_DATA(attribute), 4);
        address.setAddress(ntohl(value));
    } else {
        address.setAddress(static_cast<const quint8 *>(RTA_DATA(attribute)));
    }
    return address.toString();
}

} // namespace

NetworkPathWatcher::NetworkPathWatcher(QObject *parent) : QObject(parent), settle(new QTimer(this))
{
    settle->setSingleShot(true);
    settle->setInterval(SettleMs);
    connect(settle, &QTimer::timeout, this, &NetworkPathWatcher::compare);
}

NetworkPathWatcher::~NetworkPathWatcher()
{
    stopWatching();
}

void NetworkPathWatcher::watch(const QList<QHostAddress> &servers)
{
    stopWatching();
    for (const QHostAddress &server : servers)
        paths.insert(server.toString(), pathTo(server));
    if (paths.isEmpty())
        return;
    socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = Groups;
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        // Without the kernel's news OpenVPN's own ping-restart still notices.
        qWarning("quillnet: cannot watch the network for changes: %s", std::strerror(errno));
        stopWatching();
        return;
    }
    notifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &NetworkPathWatcher::drain);
}

void NetworkPathWatcher::stopWatching()
{
    settle->stop();
    delete notifier;
    notifier = nullptr;
    if (socket >= 0)
        ::close(socket);
    socket = -1;
    paths.clear();
}

void NetworkPathWatcher::drain()
{
    // What changed does not matter, only that something did: the paths are
    // asked for anew once the burst has settled.
    char buffer[8192];
    while (::recv(socket, buffer, sizeof buffer, 0) > 0) {
    }
    settle->start();
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

    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return QString();
    const timeval wait{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char answer[4096];
    ssize_t received = -1;
    if (::send(fd, &request, request.header.nlmsg_len, 0) >= 0)
        received = ::recv(fd, answer, sizeof answer, 0);
    ::close(fd);
    const auto *header = reinterpret_cast<const nlmsghdr *>(answer);
    if (received < ssize_t(sizeof(nlmsghdr)) || !NLMSG_OK(header, unsigned(received)) ||
        header->nlmsg_type != RTM_NEWROUTE)
        return QString();
    const auto *route = static_cast<const rtmsg *>(NLMSG_DATA(header));
    QString gateway, device, source;
    int length = int(RTM_PAYLOAD(header));
    for (auto *attribute = RTM_RTA(route); RTA_OK(attribute, length);
         attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == RTA_GATEWAY)
            gateway = addressOf(attribute, route->rtm_family);
        else if (attribute->rta_type == RTA_PREFSRC)
            source = addressOf(attribute, route->rtm_family);
        else if (attribute->rta_type == RTA_OIF && RTA_PAYLOAD(attribute) >= sizeof(int)) {
            int index;
            std::memcpy(&index, RTA_DATA(attribute), sizeof index);
            char name[IF_NAMESIZE] = {};
            device = QString::fromLatin1(::if_indextoname(unsigned(index), name)
                                             ? name
                                             : QByteArray::number(index).constData());
        }
    }
    QStringList parts;
    if (!gateway.isEmpty())
        parts << QStringLiteral("via ") + gateway;
    parts << QStringLiteral("dev ") + device;
    if (!source.isEmpty())
        parts << QStringLiteral("src ") + source;
    return parts.join(QLatin1Char(' '));
}
