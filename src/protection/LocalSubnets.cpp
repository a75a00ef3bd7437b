#include "protection/LocalSubnets.h"

#include "protection/RouteNetlink.h"

#include <QPair>
#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

QList<LocalSubnet> LocalSubnets::attached(const QString &tunnelDevice)
{
    struct
    {
        nlmsghdr header;
        ifaddrmsg address;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
    request.header.nlmsg_type = RTM_GETADDR;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.address.ifa_family = AF_UNSPEC;

    QList<LocalSubnet> subnets;
    RouteNetlink::ask(request.header, [&](const nlmsghdr &message) {
        if (message.nlmsg_type != RTM_NEWADDR || subnets.size() >= Max)
            return;
        const auto *entry = static_cast<const ifaddrmsg *>(NLMSG_DATA(&message));
        // Loopback's addresses are host scope; nothing else is.
        if (entry->ifa_scope == RT_SCOPE_HOST)
            return;
        QHostAddress address;
        int length = int(IFA_PAYLOAD(&message));
        for (auto *attribute = IFA_RTA(entry); RTA_OK(attribute, length);
             attribute = RTA_NEXT(attribute, length)) {
            // On a point-to-point link IFA_ADDRESS is the peer and IFA_LOCAL
            // ours; elsewhere they are the same.
            if (attribute->rta_type == IFA_LOCAL ||
                (attribute->rta_type == IFA_ADDRESS && address.isNull()))
                address = RouteNetlink::address(attribute, entry->ifa_family);
        }
        const int prefixLength = entry->ifa_prefixlen;
        if (address.isNull() || !isPrivate(address, prefixLength))
            return;
        const LocalSubnet subnet{RouteNetlink::deviceName(int(entry->ifa_index)),
                                 networkOf(address, prefixLength), prefixLength};
        if (subnet.device != tunnelDevice && !subnets.contains(subnet))
            subnets << subnet;
    });
    return subnets;
}

bool LocalSubnets::isPrivate(const QHostAddress &network, int prefixLength)
{
    static const QList<QPair<QHostAddress, int>> ranges = {
        QHostAddress::parseSubnet(QStringLiteral("10.0.0.0/8")),
        QHostAddress::parseSubnet(QStringLiteral("172.16.0.0/12")),
        QHostAddress::parseSubnet(QStringLiteral("192.168.0.0/16")),
        QHostAddress::parseSubnet(QStringLiteral("169.254.0.0/16")),
        QHostAddress::parseSubnet(QStringLiteral("fc00::/7")),
        QHostAddress::parseSubnet(QStringLiteral("fe80::/10")),
    };
    const int bits = network.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
    // A single host is no network to reach anything on.
    if (prefixLength >= bits)
        return false;
    for (const auto &range : ranges)
        if (network.protocol() == range.first.protocol() && prefixLength >= range.second &&
            network.isInSubnet(range))
            return true;
    return false;
}

QHostAddress LocalSubnets::networkOf(const QHostAddress &address, int prefixLength)
{
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 mask = prefixLength <= 0 ? 0 : ~quint32(0) << (32 - qMin(prefixLength, 32));
        return QHostAddress(address.toIPv4Address() & mask);
    }
    Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 0; i < 16; ++i) {
        const int kept = qBound(0, prefixLength - 8 * i, 8);
        bytes[i] &= quint8(0xff00 >> kept);
    }
    return QHostAddress(bytes);
}
