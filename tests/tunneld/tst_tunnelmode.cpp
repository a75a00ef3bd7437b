// Who runs OpenVPN: the tunnel service when the system bus can start it,
// else this process, whose capabilities decide whether that can work.
#include "SystemBusPeer.h"
#include "vpn/TunnelMode.h"

#include <QDBusConnection>
#include <QTest>

class TestTunnelMode : public QObject
{
    Q_OBJECT

    SystemBusPeer bus;

private slots:
    void initTestCase()
    {
        if (!SystemBusPeer::isAvailable())
            QSKIP("needs dbus-daemon");
        QVERIFY2(bus.start({}), qPrintable(bus.errorString()));
        QVERIFY(bus.addActivatableService(
            qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                QStringLiteral("/resources/tunneld/net.quillnet.Tunnel.service"),
            QStringLiteral("/bin/false")));
    }

    void choosesWhoRunsOpenVpn_data()
    {
        QTest::addColumn<bool>("serviceOnBus");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("lineSays");
        const QByteArray none =
            "Name:\tquillnet\nCapInh:\t0000000000000000\nCapEff:\t0000000000000000\n";
        const QByteArray netAdmin = "CapPrm:\t0000000000000000\nCapEff:\t0000000000001000\n";
        const QByteArray root = "CapEff:\t000001ffffffffff\nCapBnd:\t000001ffffffffff\n";
        QTest::newRow("service, ordinary user")
            << true << none << int(TunnelMode::Service) << "tunnel service";
        QTest::newRow("service, root")
            << true << root << int(TunnelMode::Service) << "tunnel service";
        QTest::newRow("no service, CAP_NET_ADMIN alone")
            << false << netAdmin << int(TunnelMode::Direct) << "which has CAP_NET_ADMIN";
        QTest::newRow("no service, root")
            << false << root << int(TunnelMode::Direct) << "which has CAP_NET_ADMIN";
        QTest::newRow("no service, ordinary user")
            << false << none << int(TunnelMode::Direct) << "cannot create its tunnel";
        QTest::newRow("no service, unreadable status")
            << false << QByteArray() << int(TunnelMode::Direct) << "cannot create its tunnel";
        QTest::newRow("no service, garbled mask")
            << false << QByteArray("CapEff:\tzz1000\n") << int(TunnelMode::Direct)
            << "cannot create its tunnel";
    }

    void choosesWhoRunsOpenVpn()
    {
        QFETCH(bool, serviceOnBus);
        QFETCH(QByteArray, status);
        QFETCH(int, mode);
        QFETCH(QString, lineSays);
        const TunnelMode::Choice choice = TunnelMode::choose(
            serviceOnBus ? QDBusConnection::systemBus() : QDBusConnection(QStringLiteral("none")),
            status);
        QCOMPARE(int(choice.mode), mode);
        QVERIFY2(choice.line.contains(lineSays), qPrintable(choice.line));
        QVERIFY(!choice.line.contains(QLatin1Char('\n')));
    }
};

QTEST_GUILESS_MAIN(TestTunnelMode)
#include "tst_tunnelmode.moc"
