#include "protection/NftRuleset.h"

#include <QTest>

// What reaches the ruleset text: every value a caller hands in is either
// refused as a whole or written in nft's own canonical form. That nft
// accepts the text and what it lets through is proven in tst_leakfirewall.
class TestNftRuleset : public QObject
{
    Q_OBJECT

private slots:
    void checksEveryValue_data();
    void checksEveryValue();
    void localNetworkAndSignIn_data();
    void localNetworkAndSignIn();
};

void TestNftRuleset::checksEveryValue_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("proxy");
    // "refused: <what>" or a line the text must hold.
    QTest::addColumn<QString>("expected");
    QTest::addColumn<uint>("mark");

    const QString ok = QStringLiteral("198.51.100.7");
    const QString udp = QStringLiteral("udp");
    const auto row = [&](const char *name, const QString &device, const QString &server, int port,
                         const QString &protocol, const QString &proxy, const char *expected,
                         uint mark = 0) {
        QTest::newRow(name) << device << server << port << protocol << proxy
                            << QString::fromUtf8(expected) << mark;
    };

    row("device with a space", "tun 0", ok, 1194, udp, {}, "refused: tunnel device");
    row("device with a quote", "tun0\"", ok, 1194, udp, {}, "refused: tunnel device");
    row("device with a semicolon", "tun0;flush", ok, 1194, udp, {}, "refused: tunnel device");
    row("device with a newline", "tun0\nflush ruleset", ok, 1194, udp, {},
        "refused: tunnel device");
    row("device as a wildcard", "tun*", ok, 1194, udp, {}, "refused: tunnel device");
    row("device of 16 characters", "tun0123456789abc", ok, 1194, udp, {}, "refused: tunnel device");
    row("device ..", "..", ok, 1194, udp, {}, "refused: tunnel device");
    row("device not ASCII", QStringLiteral("tun\u00e90"), ok, 1194, udp, {},
        "refused: tunnel device");
    row("address with a command", {}, "10.0.0.1; flush ruleset", 1194, udp, {},
        "refused: server: not an address");
    row("host name", {}, "vpn.example.net", 1194, udp, {}, "refused: server: not an address");
    row("empty address", {}, {}, 1194, udp, {}, "refused: server: not an address");
    row("scoped address", {}, "fe80::1%eth0", 1194, udp, {}, "refused: server: a scoped address");
    row("scope with a command", {}, "fe80::1%x;flush", 1194, udp, {}, "refused: server");
    row("unspecified IPv4", {}, "0.0.0.0", 1194, udp, {}, "refused: server: not the address");
    row("unspecified IPv6", {}, "::", 1194, udp, {}, "refused: server: not the address");
    row("multicast", {}, "ff02::1", 1194, udp, {}, "refused: server: not the address");
    row("broadcast", {}, "255.255.255.255", 1194, udp, {}, "refused: server: not the address");
    row("port 0", {}, ok, 0, udp, {}, "refused: server: port 0 out of range");
    row("port 70000", {}, ok, 70000, udp, {}, "refused: server: port 70000 out of range");
    row("negative port", {}, ok, -1, udp, {}, "refused: server: port -1 out of range");
    row("protocol in capitals", {}, ok, 1194, "UDP", {}, "refused: server: protocol");
    row("protocol with more", {}, ok, 1194, "udp dport 1-65535", {}, "refused: server: protocol");
    row("protocol other", {}, ok, 1194, "sctp", {}, "refused: server: protocol");
    row("proxy not an address", {}, ok, 1194, udp, "proxy.example.net",
        "refused: proxy: not an address");

    row("IPv4-mapped server matches as IPv4", {}, "::ffff:198.51.100.7", 1194, udp, {},
        "ip daddr 198.51.100.7 udp dport 1194 accept");
    row("IPv6 server in canonical form", {}, "2001:DB8:0:0::0007", 443, "tcp", {},
        "ip6 daddr 2001:db8::7 tcp dport 443 accept");
    row("proxy over TCP", {}, ok, 1194, udp, "192.0.2.1",
        "ip daddr 192.0.2.1 tcp dport 3128 accept");
    row("only OpenVPN's marked packets reach the server", {}, ok, 1194, udp, {},
        "meta mark 0x7155 ip daddr 198.51.100.7 udp dport 1194 accept", 0x7155);
    row("and the proxy", {}, ok, 1194, udp, "192.0.2.1",
        "meta mark 0x7155 ip daddr 192.0.2.1 tcp dport 3128 accept", 0x7155);
    row("tunnel device carrying IPv4 only", "tun-vpn.1", ok, 1194, udp, {},
        "oifname \"tun-vpn.1\" meta nfproto ipv4 accept");
}

void TestNftRuleset::checksEveryValue()
{
    QFETCH(QString, device);
    QFETCH(QString, server);
    QFETCH(int, port);
    QFETCH(QString, protocol);
    QFETCH(QString, proxy);
    QFETCH(QString, expected);
    QFETCH(uint, mark);

    NftRuleset ruleset;
    ruleset.setServerMark(mark);
    ruleset.setTunnelDevice(device);
    ruleset.addServer({QHostAddress(server), port, protocol});
    if (!proxy.isEmpty())
        ruleset.setProxy(QHostAddress(proxy), 3128);
    QString error;
    const auto text = ruleset.text(&error);

    const QLatin1String refused("refused: ");
    if (expected.startsWith(refused)) {
        QVERIFY2(!text, qPrintable(text.value_or(QString())));
        QVERIFY2(error.startsWith(expected.mid(refused.size())), qPrintable(error));
    } else {
        QVERIFY2(text, qPrintable(error));
        const QStringList lines = text->split(QLatin1Char('\n'));
        QVERIFY2(std::any_of(lines.cbegin(), lines.cend(),
                             [&](const QString &line) { return line.trimmed() == expected; }),
                 qPrintable(text.value_or(QString())));
    }
}

// The local network passes as private subnets on their links, both ways,
// with their multicast discovery; anything that would open more is refused.
void TestNftRuleset::localNetworkAndSignIn_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("subnet");
    QTest::addColumn<bool>("signIn");
    QTest::addColumn<QString>("expected");
    // Every row: only uid 1000 reaches its services on loopback.
    QTest::newRow("the owner's loopback services")
        << QString() << QString() << false
        << QStringLiteral("oifname \"lo\" tcp dport { 10080, 10025 } meta skuid != 1000 drop");
    const auto row = [](const char *name, const char *device, const char *subnet, bool signIn,
                        const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(device) << QString::fromUtf8(subnet) << signIn
                            << QString::fromUtf8(expected);
    };
    row("to the LAN", "wlan0", "192.168.1.0/24", false,
        "oifname \"wlan0\" ip daddr 192.168.1.0/24 accept");
    row("from the LAN", "wlan0", "192.168.1.0/24", false,
        "iifname \"wlan0\" ip saddr 192.168.1.0/24 accept");
    row("IPv6 link-local", "wlan0", "fe80::/64", false,
        "oifname \"wlan0\" ip6 daddr fe80::/64 accept");
    row("mDNS and SSDP on the link", "wlan0", "10.0.0.0/8", false,
        "oifname \"wlan0\" ip daddr { 224.0.0.251, 239.255.255.250 } udp dport { 5353, 1900 } "
        "accept");
    row("public subnet", "wlan0", "198.51.100.0/24", false,
        "refused: local network: not a private network");
    row("wider than the private range", "wlan0", "10.0.0.0/7", false,
        "refused: local network: not a private network");
    row("host bits set", "wlan0", "192.168.1.7/24", false,
        "refused: local network: not a private network");
    row("a single host", "wlan0", "192.168.1.7/32", false,
        "refused: local network: not a private network");
    row("device with a quote", "wlan0\"", "192.168.1.0/24", false,
        "refused: local network: not an interface name");
    row("sign-in: names", "", "", true, "udp dport 53 accept");
    row("sign-in: the web", "", "", true, "tcp dport { 53, 80, 443 } accept");
}

void TestNftRuleset::localNetworkAndSignIn()
{
    QFETCH(QString, device);
    QFETCH(QString, subnet);
    QFETCH(bool, signIn);
    QFETCH(QString, expected);

    NftRuleset ruleset;
    ruleset.addServer({QHostAddress(QStringLiteral("198.51.100.7")), 1194, QStringLiteral("udp")});
    if (!subnet.isEmpty()) {
        const QStringList parts = subnet.split(QLatin1Char('/'));
        ruleset.addLocalSubnet({device, QHostAddress(parts.at(0)), parts.at(1).toInt()});
    }
    ruleset.setSignInOpen(signIn);
    ruleset.setOwnerOnly(1000, {10080, 10025});
    QString error;
    const auto text = ruleset.text(&error);
    const QLatin1String refused("refused: ");
    if (expected.startsWith(refused)) {
        QVERIFY2(!text, qPrintable(text.value_or(QString())));
        QCOMPARE(error, expected.mid(refused.size()));
        return;
    }
    QVERIFY2(text, qPrintable(error));
    QVERIFY2(text->split(QLatin1Char('\n')).contains(QStringLiteral("\t\t") + expected),
             qPrintable(*text));
    // Nothing opens the Internet around the tunnel but a sign-in.
    QCOMPARE(text->contains(QStringLiteral("dport { 53, 80, 443 }")), signIn);
}

QTEST_GUILESS_MAIN(TestNftRuleset)
#include "tst_nftruleset.moc"
