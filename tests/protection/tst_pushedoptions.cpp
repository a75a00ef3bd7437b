// The options a server pushes, read from OpenVPN's console lines: lines a
// real OpenVPN 2.6 printed, and lines a hostile server or a broken output
// could produce.
#include "PushedReply.h"
#include "TestFiles.h"
#include "protection/PushedOptions.h"

#include <QTest>

namespace {

QStringList recordedReplies()
{
    QStringList replies = readLines(qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                                    QStringLiteral("/tests/protection/data/push-replies.txt"));
    replies.removeIf([](const QString &line) { return line.startsWith(QLatin1Char('#')); });
    return replies;
}

QStringList texts(const QList<QHostAddress> &addresses)
{
    QStringList result;
    for (const QHostAddress &address : addresses)
        result.append(address.toString());
    return result;
}

QStringList numbered(const QString &pattern, int count)
{
    QStringList result;
    for (int i = 1; i <= count; ++i)
        result.append(pattern.arg(i));
    return result;
}

} // namespace

class TestPushedOptions : public QObject
{
    Q_OBJECT

private slots:
    void parseAndMerge_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("isReply");
        QTest::addColumn<QStringList>("servers");
        QTest::addColumn<QStringList>("tunnelServers");
        QTest::addColumn<QStringList>("domains");
        QTest::addColumn<QStringList>("searchDomains");
        // redirect IPv4, redirect IPv6, tunnel carries IPv6, more to come
        QTest::addColumn<QList<bool>>("flags");

        const QStringList recorded = recordedReplies();
        QCOMPARE(recorded.size(), 6);
        const QStringList fillers =
            numbered(QStringLiteral("filler-domain-number-%1.example.test"), 60);
        QTest::newRow("recorded: five messages, dns server over dhcp-option")
            << recorded.mid(0, 5) << true
            << QStringList{QStringLiteral("10.99.183.1"), QStringLiteral("10.99.183.2")}
            << QStringList{QStringLiteral("10.99.183.1"), QStringLiteral("10.99.183.2")}
            << QStringList{QStringLiteral("corp.test")}
            << QStringList{QStringLiteral("search.test"), QStringLiteral("a.test"),
                           QStringLiteral("b.test")} +
                   fillers
            << QList<bool>{true, true, true, false};
        QTest::newRow("recorded: first of five announces more")
            << recorded.mid(0, 1) << true
            << QStringList{QStringLiteral("10.99.183.1"), QStringLiteral("10.99.183.2")}
            << QStringList{QStringLiteral("10.99.183.1"), QStringLiteral("10.99.183.2")}
            << QStringList{QStringLiteral("corp.test")}
            << QStringList{QStringLiteral("search.test"), QStringLiteral("a.test"),
                           QStringLiteral("b.test")} +
                   fillers.mid(0, 10)
            << QList<bool>{true, true, false, true};
        QTest::newRow("recorded: IPv6 only, fully qualified search domain")
            << recorded.mid(5, 1) << true << QStringList{QStringLiteral("fd00:99::53")}
            << QStringList{QStringLiteral("fd00:99::53")} << QStringList()
            << QStringList{QStringLiteral("lab.test")} << QList<bool>{false, true, true, false};
        QTest::newRow("IPv4 tunnel: its IPv6 server is out of reach")
            << QStringList{replyLine(QStringLiteral("redirect-gateway def1,dhcp-option DNS "
                                                    "10.99.129.1,dhcp-option DNS6 fd00::1,ifconfig "
                                                    "10.99.129.2 255.255.255.192"))}
            << true << QStringList{QStringLiteral("10.99.129.1"), QStringLiteral("fd00::1")}
            << QStringList{QStringLiteral("10.99.129.1")} << QStringList() << QStringList()
            << QList<bool>{true, false, false, false};
        QTest::newRow("without timestamp, dhcp-option first, dns server in a continuation")
            << QStringList{QStringLiteral("PUSH: Received control message: "
                                          "'PUSH_REPLY,dhcp-option DNS 10.0.0.1,push-continuation "
                                          "2'\r\n"),
                           replyLine(QStringLiteral("dns server 5 address 10.0.0.2,dhcp-option DNS "
                                                    "10.0.0.3,push-continuation 1"))}
            << true << QStringList{QStringLiteral("10.0.0.2")}
            << QStringList{QStringLiteral("10.0.0.2")} << QStringList() << QStringList()
            << QList<bool>{false, false, false, false};
        QTest::newRow("bounded: 20 servers, 70 domains, repeats once")
            << QStringList{replyLine(
                   numbered(QStringLiteral("dhcp-option DNS 10.0.0.%1"), 20)
                       .join(QLatin1Char(',')) +
                   QStringLiteral(",dhcp-option DNS 10.0.0.1,") +
                   numbered(QStringLiteral("dhcp-option DOMAIN-SEARCH d%1.test"), 70)
                       .join(QLatin1Char(',')) +
                   QStringLiteral(",dhcp-option DOMAIN-SEARCH D1.TEST"))}
            << true << numbered(QStringLiteral("10.0.0.%1"), 16)
            << numbered(QStringLiteral("10.0.0.%1"), 16) << QStringList()
            << numbered(QStringLiteral("d%1.test"), 64) << QList<bool>{false, false, false, false};
        QTest::newRow("hostile and malformed values are dropped")
            << QStringList{replyLine(
                   QStringLiteral(
                       "dhcp-option DNS 127.0.0.53,dhcp-option DNS 0.0.0.0,dhcp-option DNS "
                       "224.0.0.251,"
                       "dhcp-option DNS 255.255.255.255,dhcp-option DNS 10.0.0.256,"
                       "dhcp-option DNS 1.2.3.4.5,dhcp-option DNS 0x0a.0.0.1,dhcp-option DNS 10.1,"
                       "dhcp-option DNS fd00::1,dhcp-option DNS6 10.0.0.9,dhcp-option DNS6 fe80::1,"
                       "dhcp-option DNS6 ::1,dhcp-option DNS6 ::ffff:10.0.0.1,dhcp-option DNS6 "
                       "fd00::1%eth0,dhcp-option DNS 10.0.0.1 10.0.0.2,dhcp-option DNS,"
                       "dhcp-option dns 10.0.0.3,"
                       "dns server x address 10.0.0.4,dns server 300 address 10.0.0.4,"
                       "dns server 0 address [fd00::5,dns server 0 address [fd00::5]x,"
                       "dns server 0 address 10.0.0.6:5353,dns server 0 address 10.0.0.7:dns,"
                       "dns server 0 addresses 10.0.0.8,"
                       "dhcp-option DOMAIN evil..test,dhcp-option DOMAIN -bad.test,"
                       "dhcp-option DOMAIN x;reboot,dhcp-option DOMAIN \"quoted.test\","
                       "dhcp-option DOMAIN .,dhcp-option DOMAIN ") +
                   QString(64, QLatin1Char('a')) +
                   QStringLiteral(".test,dhcp-option DOMAIN-SEARCH ünï.test,"
                                  "dhcp-option DOMAIN good.test options ndots:9,"
                                  "dhcp-option DNS 10.1.2.3,,,dns,"
                                  "dhcp-option DOMAIN Good.Test"))}
            << true << QStringList{QStringLiteral("10.1.2.3")}
            << QStringList{QStringLiteral("10.1.2.3")} << QStringList{QStringLiteral("good.test")}
            << QStringList() << QList<bool>{false, false, false, false};
        QTest::newRow("not a reply: other control messages, text before or after, no end")
            << QStringList{QStringLiteral("2026-12-07 19:49:12 PUSH: Received control message: "
                                          "'AUTH_FAILED'")}
            << false << QStringList() << QStringList() << QStringList() << QStringList()
            << QList<bool>{false, false, false, false};
        int broken = 0;
        for (const QString &line :
             {QStringLiteral("client said PUSH: Received control message: 'PUSH_REPLY,dhcp-option "
                             "DNS 10.0.0.1'"),
              replyLine(QStringLiteral("dhcp-option DNS 10.0.0.1")) + QStringLiteral(" trailing"),
              QStringLiteral("PUSH: Received control message: 'PUSH_REPLY,dhcp-option DNS "
                             "10.0.0.1"),
              QStringLiteral("PUSH: Received control message: 'PUSH_REPLYX'"),
              replyLine(QStringLiteral("dhcp-option DNS 10.0.0.1")) +
                  QString(70000, QLatin1Char(' '))})
            QTest::addRow("not a reply %d", int(++broken))
                << QStringList{line} << false << QStringList() << QStringList() << QStringList()
                << QStringList() << QList<bool>{false, false, false, false};
    }

    void parseAndMerge()
    {
        QFETCH(QStringList, lines);
        QFETCH(bool, isReply);
        QFETCH(QStringList, servers);
        QFETCH(QStringList, tunnelServers);
        QFETCH(QStringList, domains);
        QFETCH(QStringList, searchDomains);
        QFETCH(QList<bool>, flags);

        PushedOptions merged;
        for (const QString &line : lines) {
            PushedOptions one;
            QCOMPARE(PushedOptions::parse(line, &one), isReply);
            merged.merge(one);
        }
        QCOMPARE(texts(merged.dnsServers), servers);
        QCOMPARE(texts(merged.tunnelDnsServers()), tunnelServers);
        QCOMPARE(merged.hasDns(), !tunnelServers.isEmpty());
        QCOMPARE(merged.domains, domains);
        QCOMPARE(merged.searchDomains, searchDomains);
        QCOMPARE((QList<bool>{merged.redirectIPv4, merged.redirectIPv6, merged.tunnelIPv6,
                              merged.continued}),
                 flags);
        // What parse() let through passes the checks the backends repeat.
        const PushedOptions checked = merged.checked();
        QCOMPARE(texts(checked.dnsServers), servers);
        QCOMPARE(checked.domains + checked.searchDomains, domains + searchDomains);
    }
};

QTEST_GUILESS_MAIN(TestPushedOptions)
#include "tst_pushedoptions.moc"
