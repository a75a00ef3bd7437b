// The tunnel's name servers handed to systemd-resolved: here a stand-in on a
// private system-like bus that records the calls as resolved received them.
#include "LogindPeer.h"
#include "PushedReply.h"
#include "SystemBusPeer.h"
#include "protection/ResolvedDns.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>
#include <net/if.h>

class TestResolvedDns : public QObject
{
    Q_OBJECT

    SystemBusPeer bus;
    int loopback = 0; // a link the stand-in knows

private slots:
    void initTestCase()
    {
        if (!SystemBusPeer::isAvailable())
            QSKIP("dbus-daemon is not installed");
        QVERIFY2(bus.start({}), qPrintable(bus.errorString()));
        QVERIFY(bus.standInForResolved());
        loopback = int(::if_nametoindex("lo"));
        QVERIFY(loopback > 0);
    }

    void applyAndRevert_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("knownLink");
        QTest::addColumn<QStringList>("applyCalls");
        QTest::addColumn<bool>("applied");
        QTest::addColumn<QString>("applyDetail");
        QTest::addColumn<QStringList>("revertCalls");

        const QString link = QString::number(::if_nametoindex("lo"));
        const QStringList handBack = {QStringLiteral("RevertLink ") + link};
        QTest::newRow("both families, domains, the routing domain last")
            << QStringLiteral("dhcp-option DNS 10.8.0.1,dhcp-option DNS6 fd00::1,"
                              "ifconfig-ipv6 fd00::2/64 fd00::1,dhcp-option DOMAIN corp.test,"
                              "dns search-domains a.test")
            << true
            << QStringList{QStringLiteral("SetLinkDNS %1 2:10.8.0.1 10:fd00::1").arg(link),
                           QStringLiteral("SetLinkDomains %1 corp.test:false a.test:false .:true")
                               .arg(link),
                           QStringLiteral("SetLinkDefaultRoute %1 true").arg(link)}
            << true << QStringLiteral("systemd-resolved on lo: 10.8.0.1, fd00::1") << handBack;
        QTest::newRow("IPv4 tunnel: the IPv6 server is left out")
            << QStringLiteral("dhcp-option DNS6 fd00::1,dns server 0 address 10.8.0.2") << true
            << QStringList{QStringLiteral("SetLinkDNS %1 2:10.8.0.2").arg(link),
                           QStringLiteral("SetLinkDomains %1 .:true").arg(link),
                           QStringLiteral("SetLinkDefaultRoute %1 true").arg(link)}
            << true << QStringLiteral("systemd-resolved on lo: 10.8.0.2") << handBack;
        QTest::newRow("nothing pushed: no call at all")
            << QStringLiteral("dhcp-option DOMAIN corp.test,dhcp-option DNS6 fd00::1") << true
            << QStringList() << true << QStringLiteral("no name servers pushed") << QStringList();
        // Reverting the link resolved does not know is no failure: the link
        // took its settings with it.
        QTest::newRow("unknown link")
            << QStringLiteral("dhcp-option DNS 10.8.0.1") << false << QStringList() << false
            << QStringLiteral("Link 2147483647 not known")
            << QStringList{QStringLiteral("RevertLink 2147483647 gone")};
    }

    void applyAndRevert()
    {
        QFETCH(QString, options);
        QFETCH(bool, knownLink);
        QFETCH(QStringList, applyCalls);
        QFETCH(bool, applied);
        QFETCH(QString, applyDetail);
        QFETCH(QStringList, revertCalls);

        bus.clearResolvedCalls();
        QDBusConnection connection =
            QDBusConnection::connectToBus(bus.address(), QStringLiteral("resolved-client"));
        ResolvedDns dns(connection);
        QSignalSpy finished(&dns, &DnsBackend::finished);
        dns.apply(QStringLiteral("lo"), knownLink ? loopback : 2147483647, pushed(options));
        QCOMPARE(finished.count(), 0); // only ever from the event loop
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), applied);
        QVERIFY2(finished.at(0).at(1).toString().contains(applyDetail),
                 qPrintable(finished.at(0).at(1).toString()));
        QCOMPARE(bus.resolvedCalls(), applyCalls);

        bus.clearResolvedCalls();
        dns.revert();
        QTRY_COMPARE(finished.count(), 2);
        QVERIFY2(finished.at(1).at(0).toBool(), qPrintable(finished.at(1).at(1).toString()));
        QCOMPARE(bus.resolvedCalls(), revertCalls);
        // Reverted once is reverted: a second revert asks nothing.
        bus.clearResolvedCalls();
        dns.revert();
        QTRY_COMPARE(finished.count(), 3);
        QVERIFY(bus.resolvedCalls().isEmpty());
        QDBusConnection::disconnectFromBus(QStringLiteral("resolved-client"));
    }

    void probeTellsWhetherResolvedRuns()
    {
        // Another bus, where only logind runs.
        LogindPeer withoutResolved;
        QVERIFY(withoutResolved.start());
        struct Case
        {
            QString address;
            bool running;
        };
        for (const Case &test : {Case{bus.address(), true}, Case{withoutResolved.address(), false},
                                 Case{QStringLiteral("unix:path=/nonexistent/bus"), false}}) {
            QDBusConnection connection =
                QDBusConnection::connectToBus(test.address, QStringLiteral("probe"));
            int answers = 0;
            bool running = !test.running;
            ResolvedDns::probe(connection, this, [&](bool answer) {
                ++answers;
                running = answer;
            });
            QTRY_COMPARE(answers, 1);
            QCOMPARE(running, test.running);
            if (!connection.isConnected()) {
                // Without a bus, the settings fail rather than hang.
                ResolvedDns dns(connection);
                QSignalSpy finished(&dns, &DnsBackend::finished);
                dns.apply(QStringLiteral("lo"), loopback,
                          pushed(QStringLiteral("dhcp-option DNS 10.8.0.1")));
                QTRY_COMPARE(finished.count(), 1);
                QCOMPARE(finished.at(0).at(0).toBool(), false);
            }
            QDBusConnection::disconnectFromBus(QStringLiteral("probe"));
        }
    }
};

QTEST_GUILESS_MAIN(TestResolvedDns)
#include "tst_resolveddns.moc"
