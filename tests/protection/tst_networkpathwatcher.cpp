// The way to a server watched in a network namespace of the test's own (a
// dummy link standing in for the uplink): a move to another gateway or
// address is told once, a link that goes down and comes back as it was, or
// a change that leaves the way as it is, is not. And the subnets the
// machine is on, as the local network the user may allow.
#include "protection/KernelNetworkEvents.h"
#include "protection/LocalSubnets.h"
#include "protection/NetworkPathWatcher.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <sched.h>
#include <unistd.h>

namespace {

const QHostAddress Server(QStringLiteral("192.0.2.10"));

bool ip(const QString &arguments)
{
    return QProcess::execute(QStringLiteral("ip"), arguments.split(QLatin1Char(' '))) == 0;
}

} // namespace

class TestNetworkPathWatcher : public QObject
{
    Q_OBJECT

    bool ownNetwork = false;

private slots:
    void initTestCase()
    {
        ownNetwork = ::geteuid() == 0 && ::unshare(CLONE_NEWNET) == 0;
        if (!ownNetwork)
            QSKIP("a network of the test's own needs root");
    }

    void init()
    {
        ip(QStringLiteral("link del uplink"));
        QVERIFY(ip(QStringLiteral("link add uplink type veth peer name far")) &&
                ip(QStringLiteral("addr add 10.98.0.2/24 dev uplink")) &&
                ip(QStringLiteral("link set uplink up")) && ip(QStringLiteral("link set far up")) &&
                ip(QStringLiteral("route add default via 10.98.0.1")));
    }

    void changes_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<bool>("told");
        QTest::newRow("another network")
            << QStringList{QStringLiteral("addr del 10.98.0.2/24 dev uplink"),
                           QStringLiteral("addr add 10.96.0.2/24 dev uplink"),
                           QStringLiteral("route replace default via 10.96.0.1")}
            << true;
        QTest::newRow("another gateway")
            << QStringList{QStringLiteral("route replace default via 10.98.0.254")} << true;
        QTest::newRow("the link down and up")
            << QStringList{QStringLiteral("link set uplink down"),
                           QStringLiteral("link set uplink up"),
                           QStringLiteral("route replace default via 10.98.0.1")}
            << false;
        QTest::newRow("an address beside the old one")
            << QStringList{QStringLiteral("addr add 10.95.0.2/24 dev uplink")} << false;
    }

    void changes()
    {
        QFETCH(QStringList, commands);
        QFETCH(bool, told);
        QCOMPARE(NetworkPathWatcher::pathTo(Server),
                 QStringLiteral("via 10.98.0.1 dev uplink src 10.98.0.2"));
        NetworkPathWatcher watcher;
        QSignalSpy changed(&watcher, &NetworkPathWatcher::pathChanged);
        watcher.watch({Server});
        for (const QString &command : commands)
            QVERIFY2(ip(command), qPrintable(command));
        QTest::qWait(KernelNetworkEvents::SettleMs * 3);
        QCOMPARE(changed.count(), told ? 1 : 0);
        if (told) {
            QVERIFY(changed.first().first().toString().contains(QStringLiteral("192.0.2.10")));
            // Told once: the tunnel's restart watches anew.
            QVERIFY(!watcher.isWatching());
        }
    }

    // Private, unique local and link-local subnets count, each once; public
    // ones, single hosts and the tunnel's own do not.
    void localSubnets()
    {
        for (const char *command :
             {"addr add 10.98.0.3/24 dev uplink", "addr add 198.51.100.2/24 dev uplink",
              "addr add 10.1.2.3/32 dev uplink", "addr add fd00:1::2/64 dev uplink nodad",
              "addr add 2001:db8::2/64 dev uplink nodad",
              "link add tun0 type veth peer name tunfar", "addr add 10.8.0.2/24 dev tun0",
              "link set tun0 up"})
            QVERIFY2(ip(QLatin1String(command)), command);
        QStringList seen;
        for (const LocalSubnet &subnet : LocalSubnets::attached(QStringLiteral("tun0")))
            seen << QStringLiteral("%1 %2/%3")
                        .arg(subnet.device, subnet.network.toString())
                        .arg(subnet.prefixLength);
        seen.sort();
        // "far", the uplink's other end, is a link of this machine too.
        QCOMPARE(seen, (QStringList{QStringLiteral("far fe80::/64"),
                                    QStringLiteral("uplink 10.98.0.0/24"),
                                    QStringLiteral("uplink fd00:1::/64"),
                                    QStringLiteral("uplink fe80::/64")}));
        ip(QStringLiteral("link del tun0"));
    }
};

QTEST_GUILESS_MAIN(TestNetworkPathWatcher)
#include "tst_networkpathwatcher.moc"
