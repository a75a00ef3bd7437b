#include "protection/PushedOptions.h"

#include "protection/OpenVpnLineRules.h"

#include <QRegularExpression>

namespace {

// A reply is a few KiB at most (OpenVPN splits longer ones); anything far
// beyond is not a line OpenVPN printed.
constexpr qsizetype MaxLineLength = 64 * 1024;

const QLatin1String DnsPort("53");

// Anchored at the start, so that text a server manages to get printed
// elsewhere on a line cannot pass for a reply.
const QRegularExpression &replyPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^PUSH: Received control message: 'PUSH_REPLY(,[^']*)?'$)"));
    return pattern;
}

// Only the plain textual forms: QHostAddress alone would also take forms
// a resolver configuration does not (scopes, mapped addresses).
QHostAddress strictAddress(const QString &text)
{
    static const QRegularExpression ipv4(QStringLiteral(R"(^\d{1,3}(\.\d{1,3}){3}$)"));
    static const QRegularExpression ipv6(QStringLiteral(R"(^[0-9A-Fa-f:.]{2,45}$)"));
    const bool isIpv4 = ipv4.match(text).hasMatch();
    if (!isIpv4 && !(text.contains(QLatin1Char(':')) && ipv6.match(text).hasMatch()))
        return QHostAddress();
    const QHostAddress address(text);
    const auto family = isIpv4 ? QAbstractSocket::IPv4Protocol : QAbstractSocket::IPv6Protocol;
    return address.protocol() == family && PushedOptions::isUsableServer(address) ? address
                                                                                  : QHostAddress();
}

// One address of "dns server N address": a.b.c.d, a.b.c.d:port, [v6],
// [v6]:port or a bare v6. Neither resolved's SetLinkDNS nor resolv.conf
// take a port: a server on another port is left out rather than asked on
// the wrong one.
QHostAddress dnsOptionAddress(const QString &text)
{
    QString host = text;
    QString port = DnsPort;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return QHostAddress();
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return QHostAddress();
        if (!rest.isEmpty())
            port = rest.mid(1);
    } else if (text.count(QLatin1Char(':')) == 1) {
        host = text.section(QLatin1Char(':'), 0, 0);
        port = text.section(QLatin1Char(':'), 1);
    }
    return port == DnsPort ? strictAddress(host) : QHostAddress();
}

bool isPriority(const QString &text)
{
    bool ok = false;
    const int priority = text.toInt(&ok);
    return ok && priority >= -128 && priority <= 127;
}

} // namespace

QList<QHostAddress> PushedOptions::tunnelDnsServers() const
{
    QList<QHostAddress> reachable;
    for (const QHostAddress &server : dnsServers)
        if (tunnelIPv6 || server.protocol() == QAbstractSocket::IPv4Protocol)
            reachable.append(server);
    return reachable;
}

bool PushedOptions::parse(const QString &line, PushedOptions *options)
{
    if (line.size() > MaxLineLength)
        return false;
    QString text = line;
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    const QRegularExpressionMatch reply = replyPattern().match(OpenVpnLineRules::messageOf(text));
    if (!reply.hasMatch())
        return false;

    PushedOptions parsed;
    const QStringList pushed = reply.captured(1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &option : pushed) {
        const QStringList words = option.simplified().split(QLatin1Char(' '));
        const QString &name = words.first();
        if (name == QLatin1String("dhcp-option") && words.size() == 3) {
            const QString &kind = words.at(1);
            if (kind == QLatin1String("DNS") || kind == QLatin1String("DNS6")) {
                const QHostAddress address = strictAddress(words.at(2));
                const auto family = kind == QLatin1String("DNS") ? QAbstractSocket::IPv4Protocol
                                                                 : QAbstractSocket::IPv6Protocol;
                if (address.protocol() == family)
                    parsed.addServers({address}, false);
            } else if (kind == QLatin1String("DOMAIN")) {
                parsed.addDomain(&parsed.domains, words.at(2));
            } else if (kind == QLatin1String("DOMAIN-SEARCH")) {
                parsed.addDomain(&parsed.searchDomains, words.at(2));
            }
        } else if (name == QLatin1String("dns") && words.size() >= 5 &&
                   words.at(1) == QLatin1String("server") && isPriority(words.at(2)) &&
                   words.at(3) == QLatin1String("address")) {
            QList<QHostAddress> servers;
            for (const QString &word : words.mid(4)) {
                const QHostAddress address = dnsOptionAddress(word);
                if (!address.isNull())
                    servers.append(address);
            }
            parsed.addServers(servers, true);
        } else if (name == QLatin1String("dns") && words.size() >= 3 &&
                   words.at(1) == QLatin1String("search-domains")) {
            for (const QString &word : words.mid(2))
                parsed.addDomain(&parsed.searchDomains, word);
        } else if (name == QLatin1String("redirect-gateway")) {
            parsed.redirectIPv4 = !words.contains(QLatin1String("!ipv4"));
            parsed.redirectIPv6 = words.contains(QLatin1String("ipv6"));
        } else if ((name == QLatin1String("route-ipv6") ||
                    name == QLatin1String("ifconfig-ipv6")) &&
                   words.size() >= 2) {
            parsed.tunnelIPv6 = true;
        } else if (name == QLatin1String("push-continuation") && words.size() == 2) {
            parsed.continued = words.at(1) == QLatin1String("2");
        }
    }
    *options = parsed;
    return true;
}

void PushedOptions::merge(const PushedOptions &next)
{
    addServers(next.dnsServers, next.serversFromDnsOption);
    for (const QString &domain : next.domains)
        addDomain(&domains, domain);
    for (const QString &domain : next.searchDomains)
        addDomain(&searchDomains, domain);
    redirectIPv4 = redirectIPv4 || next.redirectIPv4;
    redirectIPv6 = redirectIPv6 || next.redirectIPv6;
    tunnelIPv6 = tunnelIPv6 || next.tunnelIPv6;
    continued = next.continued;
}

PushedOptions PushedOptions::checked() const
{
    PushedOptions checked;
    QList<QHostAddress> servers;
    for (const QHostAddress &server : dnsServers)
        if (isUsableServer(server))
            servers.append(server);
    checked.addServers(servers, serversFromDnsOption);
    for (const QString &domain : domains)
        checked.addDomain(&checked.domains, domain);
    for (const QString &domain : searchDomains)
        checked.addDomain(&checked.searchDomains, domain);
    checked.redirectIPv4 = redirectIPv4;
    checked.redirectIPv6 = redirectIPv6;
    checked.tunnelIPv6 = tunnelIPv6;
    checked.continued = continued;
    return checked;
}

bool PushedOptions::isUsableServer(const QHostAddress &address)
{
    const auto family = address.protocol();
    if (family != QAbstractSocket::IPv4Protocol && family != QAbstractSocket::IPv6Protocol)
        return false;
    bool mapped = false;
    if (family == QAbstractSocket::IPv6Protocol)
        address.toIPv4Address(&mapped);
    return !mapped && address.scopeId().isEmpty() && !address.isLoopback() &&
           !address.isMulticast() && !address.isLinkLocal() && !address.isBroadcast() &&
           address != QHostAddress(QHostAddress::AnyIPv4) &&
           address != QHostAddress(QHostAddress::AnyIPv6);
}

bool PushedOptions::isDomainName(const QString &name)
{
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9_]([A-Za-z0-9_-]{0,61}[A-Za-z0-9_])?$"));
    if (name.isEmpty() || name.size() > 253)
        return false;
    const QStringList labels = name.split(QLatin1Char('.'));
    for (const QString &part : labels)
        if (!label.match(part).hasMatch())
            return false;
    return true;
}

void PushedOptions::addServers(const QList<QHostAddress> &servers, bool fromDnsOption)
{
    if (servers.isEmpty() || (serversFromDnsOption && !fromDnsOption))
        return;
    if (fromDnsOption && !serversFromDnsOption) {
        dnsServers.clear();
        serversFromDnsOption = true;
    }
    for (const QHostAddress &server : servers)
        if (dnsServers.size() < MaxServers && !dnsServers.contains(server))
            dnsServers.append(server);
}

void PushedOptions::addDomain(QStringList *list, const QString &name)
{
    // A fully qualified name ("lab.test.") means the same as without the dot.
    const QString domain = (name.endsWith(QLatin1Char('.')) ? name.chopped(1) : name).toLower();
    if (!isDomainName(domain) || list->contains(domain) ||
        domains.size() + searchDomains.size() >= MaxDomains)
        return;
    list->append(domain);
}
