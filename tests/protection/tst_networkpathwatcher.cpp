// The way to a server watched in a network namespace of the test's own (a
// dummy link standing in for the uplink): a move to another gateway or
// address is told once, a link that goes down and comes back as it was, or
// a change that leaves the way as it is, is not.
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
        QTest::qWait(NetworkPathWatcher::SettleMs * 3);
        QCOMPARE(changed.count(), told ? 1 : 0);
        if (told) {
            QVERIFY(changed.first().first().toString().contains(QStringLiteral("192.0.2.10")));
            // Told once: the tunnel's restart watches anew.
            QVERIFY(!watcher.isWatching());
        }
    }
};

QTEST_GUILESS_MAIN(TestNetworkPathWatcher)
#include "tst_networkpathwatcher.moc"
