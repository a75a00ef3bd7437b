#include "protection/NftRuleset.h"

#include <QStringList>

namespace {

const QLatin1String Udp("udp");
const QLatin1String Tcp("tcp");

// The address as nft reads it, written back from its bits: nothing the
// caller spelt (a scope name, a mapped form) reaches the text.
std::optional<QString> nftAddress(const QHostAddress &address, QString *why)
{
    const auto family = address.protocol();
    if (address.isNull() ||
        (family != QAbstractSocket::IPv4Protocol && family != QAbstractSocket::IPv6Protocol)) {
        *why = QStringLiteral("not an address");
        return {};
    }
    // A server behind a link-local address is no server a tunnel goes to,
    // and the scope is free text.
    if (!address.scopeId().isEmpty()) {
        *why = QStringLiteral("a scoped address");
        return {};
    }
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    // An IPv4-mapped IPv6 address travels as IPv4 and must match as such.
    const QHostAddress plain = isIPv4 ? QHostAddress(ipv4) : QHostAddress(address.toIPv6Address());
    if (plain == QHostAddress(QHostAddress::AnyIPv4) ||
        plain == QHostAddress(QHostAddress::AnyIPv6) || plain.isMulticast() ||
        plain.isBroadcast()) {
        *why = QStringLiteral("not the address of one host");
        return {};
    }
    return QLatin1String(isIPv4 ? "ip daddr " : "ip6 daddr ") + plain.toString();
}

// "ip daddr 198.51.100.7 udp dport 1194", or none with the reason.
std::optional<QString> endpointMatch(const NftRuleset::Endpoint &endpoint, QString *why)
{
    const auto address = nftAddress(endpoint.address, why);
    if (!address)
        return {};
    if (endpoint.port < 1 || endpoint.port > 65535) {
        *why = QStringLiteral("port %1 out of range").arg(endpoint.port);
        return {};
    }
    if (endpoint.protocol != Udp && endpoint.protocol != Tcp) {
        *why = QStringLiteral("protocol neither udp nor tcp");
        return {};
    }
    return QStringLiteral("%1 %2 dport %3").arg(*address, endpoint.protocol).arg(endpoint.port);
}

// "oifname "eth0" ip daddr 192.168.1.0/24", or none with the reason.
std::optional<QString> subnetMatch(const char *way, const LocalSubnet &subnet, QString *why)
{
    const bool v4 = subnet.network.protocol() == QAbstractSocket::IPv4Protocol;
    if (!NftRuleset::isDeviceName(subnet.device)) {
        *why = QStringLiteral("not an interface name");
        return {};
    }
    if ((!v4 && subnet.network.protocol() != QAbstractSocket::IPv6Protocol) ||
        !subnet.network.scopeId().isEmpty() ||
        LocalSubnets::networkOf(subnet.network, subnet.prefixLength) != subnet.network ||
        !LocalSubnets::isPrivate(subnet.network, subnet.prefixLength)) {
        *why = QStringLiteral("not a private network");
        return {};
    }
    const bool out = QLatin1String(way) == QLatin1String("out");
    return QStringLiteral("%1 \"%2\" %3 %4 %5/%6")
        .arg(QLatin1String(out ? "oifname" : "iifname"), subnet.device,
             QLatin1String(v4 ? "ip" : "ip6"), QLatin1String(out ? "daddr" : "saddr"),
             subnet.network.toString())
        .arg(subnet.prefixLength);
}

QString quoted(const QString &device)
{
    return QLatin1Char('"') + device + QLatin1Char('"');
}

QString chain(const char *hook, const QStringList &rules)
{
    return QStringLiteral("\tchain %1 {\n"
                          "\t\ttype filter hook %1 priority filter; policy drop;\n"
                          "\t\t%2\n"
                          "\t}\n")
        .arg(QLatin1String(hook), rules.join(QStringLiteral("\n\t\t")));
}

} // namespace

void NftRuleset::setTunnelDevice(const QString &name)
{
    tunnelDevice = name;
}

void NftRuleset::addServer(const Endpoint &server)
{
    servers << server;
}

void NftRuleset::setServerMark(quint32 mark)
{
    serverMark = mark;
}

void NftRuleset::setProxy(const QHostAddress &address, int port)
{
    proxy = Endpoint{address, port, Tcp};
}

void NftRuleset::setTunnelIPv6(bool carried)
{
    tunnelIPv6 = carried;
}

void NftRuleset::addLocalSubnet(const LocalSubnet &subnet)
{
    localSubnets << subnet;
}

void NftRuleset::setOwnerOnly(uint uid, const QList<quint16> &ports)
{
    ownerUid = uid;
    ownerPorts = ports;
}

void NftRuleset::setSignInOpen(bool open)
{
    signInOpen = open;
}

bool NftRuleset::isDeviceName(const QString &name)
{
    if (name.isEmpty() || name.size() > 15 || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        const bool allowed = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                             (c >= u'0' && c <= u'9') || c == u'_' || c == u'.' || c == u'-';
        if (!allowed)
            return false;
    }
    return true;
}

std::optional<QString> NftRuleset::text(QString *error) const
{
    QString why;
    const auto refuse = [&](const char *what) -> std::optional<QString> {
        if (error)
            *error = QLatin1String(what) + QStringLiteral(": ") + why;
        return {};
    };
    if (!tunnelDevice.isEmpty() && !isDeviceName(tunnelDevice)) {
        why = QStringLiteral("not an interface name");
        return refuse("tunnel device");
    }
    if (servers.size() > MaxServers) {
        why = QStringLiteral("more than %1").arg(MaxServers);
        return refuse("servers");
    }
    // Another program of the machine must not use the way to the server
    // around the tunnel: a configuration names that host.
    const QString marked =
        serverMark ? QStringLiteral("meta mark 0x%1 ").arg(serverMark, 0, 16) : QString();
    QStringList ways;
    for (const Endpoint &server : servers) {
        const auto match = endpointMatch(server, &why);
        if (!match)
            return refuse("server");
        ways << marked + *match + QStringLiteral(" accept");
    }
    if (proxy) {
        const auto match = endpointMatch(*proxy, &why);
        if (!match)
            return refuse("proxy");
        ways << marked + *match + QStringLiteral(" accept");
    }
    ways.removeDuplicates();
    if (localSubnets.size() > LocalSubnets::Max) {
        why = QStringLiteral("more than %1").arg(LocalSubnets::Max);
        return refuse("local network");
    }
    QStringList localOut, localIn, discoveryLinks;
    for (const LocalSubnet &subnet : localSubnets) {
        const auto out = subnetMatch("out", subnet, &why);
        const auto in = subnetMatch("in", subnet, &why);
        if (!out || !in)
            return refuse("local network");
        localOut << *out + QStringLiteral(" accept");
        localIn << *in + QStringLiteral(" accept");
        discoveryLinks << quoted(subnet.device);
    }
    discoveryLinks.removeDuplicates();
    // mDNS and SSDP ask the link's multicast groups; the answers come from
    // the subnets above.
    for (const QString &link : std::as_const(discoveryLinks))
        localOut << QStringLiteral("oifname %1 ip daddr { 224.0.0.251, 239.255.255.250 } udp dport "
                                   "{ 5353, 1900 } accept")
                        .arg(link)
                 << QStringLiteral("oifname %1 ip6 daddr { ff02::fb, ff02::c } udp dport "
                                   "{ 5353, 1900 } accept")
                        .arg(link);

    const QString families = tunnelIPv6 ? QString() : QStringLiteral(" meta nfproto ipv4");
    QStringList out;
    // Another user of the machine must not send through this user's web
    // filter or mail proxy.
    if (!ownerPorts.isEmpty()) {
        QStringList ports;
        for (const quint16 port : ownerPorts)
            ports << QString::number(port);
        out << QStringLiteral("oifname \"lo\" tcp dport { %1 } meta skuid != %2 drop")
                   .arg(ports.join(QStringLiteral(", ")))
                   .arg(ownerUid);
    }
    out << QStringLiteral("oifname \"lo\" accept");
    // Replies from the servers and the proxy come back as established
    // connections, and so do the ICMP errors that keep their path MTU right.
    QStringList in{QStringLiteral("iifname \"lo\" accept"),
                   QStringLiteral("ct state established,related accept")};
    if (!tunnelDevice.isEmpty()) {
        out << QStringLiteral("oifname %1%2 accept").arg(quoted(tunnelDevice), families);
        in << QStringLiteral("iifname %1%2 accept").arg(quoted(tunnelDevice), families);
    }
    out << ways << localOut;
    in << localIn;
    // A sign-in page needs its name looked up and its pages fetched, from
    // whatever server the network has: the way around the tunnel is on the
    // user's word, for the few minutes it takes.
    if (signInOpen)
        out << QStringLiteral("udp dport 53 accept")
            << QStringLiteral("tcp dport { 53, 80, 443 } accept");
    // The uplink itself must keep working while everything else waits: its
    // lease, its router, its neighbours. Neighbour discovery is link-local
    // only (hop limit 255 cannot have crossed a router), and switches that
    // snoop multicast forward neighbour solicitations only to listeners
    // that reported themselves.
    out << QStringLiteral("meta nfproto ipv4 udp sport 68 udp dport 67 accept")
        << QStringLiteral("meta nfproto ipv6 udp sport 546 udp dport 547 accept")
        << QStringLiteral("ip6 hoplimit 255 icmpv6 type { nd-router-solicit, "
                          "nd-neighbor-solicit, nd-neighbor-advert } accept")
        << QStringLiteral("ip6 hoplimit 1 icmpv6 type mld2-listener-report accept")
        << QStringLiteral("counter name %1 drop").arg(QLatin1String(DroppedOut));
    in << QStringLiteral("meta nfproto ipv4 udp sport 67 udp dport 68 accept")
       << QStringLiteral("meta nfproto ipv6 udp sport 547 udp dport 546 accept")
       << QStringLiteral("ip6 hoplimit 255 icmpv6 type { nd-router-advert, "
                         "nd-neighbor-solicit, nd-neighbor-advert } accept")
       << QStringLiteral("counter name %1 drop").arg(QLatin1String(DroppedIn));

    return removal() +
           QStringLiteral("table inet %1 {\n\tcounter %2 {\n\t}\n\tcounter %3 {\n\t}\n")
               .arg(QLatin1String(Table), QLatin1String(DroppedOut), QLatin1String(DroppedIn)) +
           chain("output", out) + chain("input", in) + QStringLiteral("}\n");
}

QString NftRuleset::describe() const
{
    QStringList parts{
        QStringLiteral("blocking all traffic but loopback, DHCP and neighbour discovery")};
    if (tunnelDevice.isEmpty())
        parts << QStringLiteral("no tunnel device yet");
    else if (isDeviceName(tunnelDevice))
        parts << QStringLiteral("%1 through %2")
                     .arg(tunnelIPv6 ? QStringLiteral("IPv4 and IPv6") : QStringLiteral("IPv4"),
                          tunnelDevice);
    QString why;
    QStringList ways;
    for (const Endpoint &server : servers)
        ways << endpointMatch(server, &why).value_or(QStringLiteral("(refused)"));
    if (proxy)
        ways << QStringLiteral("proxy ") +
                    endpointMatch(*proxy, &why).value_or(QStringLiteral("(refused)"));
    parts << QStringLiteral("open: ") + ways.join(QStringLiteral(", "));
    if (!localSubnets.isEmpty()) {
        QStringList local;
        for (const LocalSubnet &subnet : localSubnets)
            local << QStringLiteral("%1/%2 on %3")
                         .arg(subnet.network.toString())
                         .arg(subnet.prefixLength)
                         .arg(subnet.device);
        parts << QStringLiteral("local network: ") + local.join(QStringLiteral(", "));
    }
    if (signInOpen)
        parts << QStringLiteral("open for sign-in: DNS and web");
    return parts.join(QStringLiteral("; "));
}

QString NftRuleset::removal()
{
    // nft 1.0.6 has no "delete if it exists": declaring the table first makes
    // the deletion always find one, and both happen in one transaction.
    return QStringLiteral("table inet %1 {}\ndelete table inet %1\n").arg(QLatin1String(Table));
}
