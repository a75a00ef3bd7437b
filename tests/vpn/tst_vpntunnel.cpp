// The tunnel through the client's own classes against a real OpenVPN
// server in a network namespace: the files from the service's answer, the
// real openvpn on a terminal, sleep announced by (a stand-in for) logind.
// Runs without DNS (without_dns.sh), so a name that cannot be resolved
// never leaves the machine.
#include "ChildProcesses.h"
#include "HttpProxyPeer.h"
#include "LogindPeer.h"
#include "OpenVpnServerPeer.h"
#include "core/ApplicationNames.h"
#include "platform/PowerEvents.h"
#include "vpn/LocalConsole.h"
#include "vpn/TunnelFiles.h"
#include "vpn/VPNConnection.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <csignal>

namespace {

bool deviceExists(const QString &device)
{
    return !device.isEmpty() && QFile::exists(QStringLiteral("/sys/class/net/") + device);
}

bool reaches(QSignalSpy &spy, CnnStatus status, int ms = 30000)
{
    return QTest::qWaitFor(
        [&] {
            return std::any_of(spy.cbegin(), spy.cend(),
                               [&](const QList<QVariant> &a) { return a.at(0).toInt() == status; });
        },
        ms);
}

} // namespace

class TestVpnTunnel : public QObject
{
    Q_OBJECT

    QTemporaryDir serverDir;
    OpenVpnServerPeer server;
    // One for the whole run: the client connects to the system bus once.
    LogindPeer logind;
    QTranslator czech;
    QString configuration;

    // The configuration with its remote line pointed elsewhere, and more
    // options where given.
    void writeConfig(const QString &remote, const QString &more = QString())
    {
        QString text = configuration + more;
        text.replace(QStringLiteral("remote %1 %2").arg(server.serverAddress()).arg(server.port()),
                     QStringLiteral("remote ") + remote);
        QFile file(QLatin1String(TunnelFiles::ConfigFile));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }

    static void connectAs(VPNConnection &vpn, const char *password)
    {
        vpn.setCredentials(QStringLiteral("alice"), QLatin1String(password));
        vpn.setConfig(QLatin1String(TunnelFiles::ConfigFile));
    }

private slots:
    void initTestCase()
    {
        if (!OpenVpnServerPeer::isAvailable())
            QSKIP("needs root, network namespaces and openvpn");
        QVERIFY2(server.start(serverDir.path()), qPrintable(server.errorString()));
        if (LogindPeer::isAvailable())
            QVERIFY(logind.start());
        setApplicationNames();
        // An ordinary user's search path, without the sbin folders that
        // hold Debian's openvpn: the default program must still be found.
        qputenv("PATH", "/usr/local/bin:/usr/bin:/bin");
        QVERIFY(czech.load(QStringLiteral(":/data/quillnet_cz")));
        QCoreApplication::installTranslator(&czech);

        // The files as the login writes them from the service's answer.
        QString location;
        QVERIFY(TunnelFiles::write(server.configBody(), QDir::currentPath(), &location));
        QCOMPARE(location, QStringLiteral("Test Lab"));
        QFile config(QLatin1String(TunnelFiles::ConfigFile));
        QVERIFY(config.open(QIODevice::ReadOnly));
        configuration = QString::fromUtf8(config.readAll());
        QVERIFY(configuration.contains(QStringLiteral("ca cert.crt")));
    }

    void init()
    {
        writeConfig(QStringLiteral("%1 %2").arg(server.serverAddress()).arg(server.port()));
    }

    void cleanupTestCase() { QCoreApplication::removeTranslator(&czech); }

    void upAndDown()
    {
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        connectAs(vpn, "secret1");
        vpn.start();
        QVERIFY2(reaches(status, Connected), qPrintable(server.serverLog()));
        QVERIFY(errors.isEmpty());
        QCOMPARE(vpn.getIp(), server.serverAddress());
        const QString device = vpn.getAdapterGuid();
        QVERIFY2(deviceExists(device), qPrintable(device));

        vpn.stop(false);
        QVERIFY(reaches(status, Disconnected, 10000));
        QVERIFY(!deviceExists(device));
    }

    void reconnectComesBackUp()
    {
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        connectAs(vpn, "secret1");
        vpn.start();
        QVERIFY(reaches(status, Connected));
        status.clear();
        vpn.reconnect();
        QVERIFY(reaches(status, Connected));
        QVERIFY(!std::any_of(status.cbegin(), status.cend(), [](const QList<QVariant> &a) {
            return a.at(0).toInt() == Disconnected;
        }));
        vpn.stop(true);
        QVERIFY(reaches(status, Disconnected, 10000));
    }

    void failuresFromTheRealProgram_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QString>("error");
        QTest::newRow("wrong password")
            << QString() << QByteArray("wrong")
            << "Ověření selhalo.\nZkontrolujte prosím své předplatné přístupu k VPN.";
        QTest::newRow("refused") << "REFUSED" << QByteArray("secret1")
                                 << "Spojení se serverem selhalo,\nnový pokus za 5 sekund.";
        QTest::newRow("unresolvable")
            << "no-such-host.invalid 1194" << QByteArray("secret1")
            << "Selhalo spojení se serverem.\nNelze přeložit adresu serveru.";
    }

    void failuresFromTheRealProgram()
    {
        QFETCH(QString, remote);
        QFETCH(QByteArray, password);
        QFETCH(QString, error);
        if (remote == QLatin1String("REFUSED"))
            remote = QStringLiteral("%1 %2").arg(server.serverAddress()).arg(server.refusedPort());
        if (!remote.isEmpty())
            writeConfig(remote);
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        connectAs(vpn, password.constData());
        vpn.start();
        QVERIFY(reaches(status, Disconnected));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toString(), error);
    }

    // A static challenge asks for a PIN that the client does not know, and
    // OpenVPN waiting at that prompt takes no notice of SIGTERM.
    void stopEndsOpenVpnWaitingAtAPrompt()
    {
        writeConfig(QStringLiteral("%1 %2").arg(server.serverAddress()).arg(server.port()),
                    QStringLiteral("static-challenge \"Enter PIN\" 1\n"));
        // At the prompt SIGTERM goes unheeded however long the wait.
        auto *console = new LocalConsole;
        console->setStopGraces(1000, 2000);
        VPNConnection vpn(console);
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        connectAs(vpn, "secret1");
        vpn.start();
        // Past the prompts the client answers, OpenVPN reads on and on.
        int readingFor = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QList<pid_t> openvpn = openVpnChildren();
                readingFor = openvpn.size() == 1 && isReading(openvpn.first()) ? readingFor + 1 : 0;
                return readingFor > 20;
            },
            15000));
        vpn.stop(false);
        QVERIFY(reaches(status, Disconnected));
        QVERIFY(openVpnChildren().isEmpty());
    }

    void sleepClosesTheTunnelAndWakingReopensIt_data()
    {
        QTest::addColumn<bool>("hung");
        QTest::newRow("OpenVPN ends") << false;
        // It has to be killed: the tunnel is down, and says so.
        QTest::newRow("OpenVPN hangs") << true;
    }

    void sleepClosesTheTunnelAndWakingReopensIt()
    {
        QFETCH(bool, hung);
        if (logind.address().isEmpty())
            QSKIP("dbus-daemon is not installed");
        PowerEvents power;
        auto *console = new LocalConsole;
        VPNConnection vpn(console);
        connect(&power, &PowerEvents::suspending, &vpn, &VPNConnection::systemSuspending);
        connect(&power, &PowerEvents::resumed, &vpn, &VPNConnection::systemResumed);
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        connectAs(vpn, "secret1");
        vpn.start();
        QVERIFY(reaches(status, Connected));
        const QString device = vpn.getAdapterGuid();
        if (hung) {
            // A stopped OpenVPN never ends by itself, however long the wait.
            vpn.setExitWait(1000);
            console->setStopGraces(1000, 1000);
            const QList<pid_t> openvpn = openVpnChildren();
            QCOMPARE(openvpn.size(), 1);
            QCOMPARE(::kill(openvpn.first(), SIGSTOP), 0);
        }

        status.clear();
        logind.announceSleep(true);
        QTRY_COMPARE_WITH_TIMEOUT(vpn.getStatus(), hung ? Disconnected : Suspended, 15000);
        // Told when it had to be killed; an orderly sleep says nothing.
        QCOMPARE(reaches(status, Disconnected, 0), hung);
        // OpenVPN is gone before the lock lets the machine sleep.
        QVERIFY(!deviceExists(device));
        QVERIFY(openVpnChildren().isEmpty());
        QTRY_VERIFY(!logind.newestLockHeld());

        status.clear();
        logind.announceSleep(false);
        QVERIFY(reaches(status, Connected));
        vpn.stop(true);
        QVERIFY(reaches(status, Disconnected, 10000));
    }

    void throughAnHttpProxyWithCredentials()
    {
        if (!HttpProxyPeer::isAvailable())
            QSKIP("tinyproxy is not installed");
        HttpProxyPeer proxy;
        QVERIFY2(proxy.start(QStringLiteral("proxyuser"), QStringLiteral("proxypw")),
                 qPrintable(proxy.errorString()));
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        connectAs(vpn, "secret1");
        vpn.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"),
                                   proxy.port(), QStringLiteral("proxyuser"),
                                   QStringLiteral("proxypw")));
        vpn.start();
        QVERIFY2(reaches(status, Connected), qPrintable(proxy.log()));
        // The server, not the proxy, is the tunnel's address.
        QCOMPARE(vpn.getIp(), server.serverAddress());
        QVERIFY(proxy.log().contains(
            QStringLiteral("CONNECT %1:%2").arg(server.serverAddress()).arg(server.port())));
        vpn.stop(true);
        QVERIFY(reaches(status, Disconnected, 10000));
    }
};

QTEST_GUILESS_MAIN(TestVpnTunnel)
#include "tst_vpntunnel.moc"
