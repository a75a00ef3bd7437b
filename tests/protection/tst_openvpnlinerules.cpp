// What each line of OpenVPN's output means, for the lines of the OpenVPN
// this client runs and for the older forms.
#include "protection/OpenVpnLineRules.h"
#include "vpn/ConsolePrompt.h"

#include <QTest>

class TestOpenVpnLineRules : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("adapter");
        QTest::addColumn<QString>("progress");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("error");

        const QString ts = QStringLiteral("2026-12-07 08:40:01 ");
        QTest::newRow("peer, current form")
            << ts + "[vpn-server] Peer Connection Initiated with [AF_INET]10.99.0.2:1194"
            << "10.99.0.2"
            << ""
            << "" << false << "";
        QTest::newRow("peer, old form") << "Peer Connection Initiated with 192.0.2.7:443"
                                        << "192.0.2.7"
                                        << ""
                                        << "" << false << "";
        QTest::newRow("proxy CONNECT names the server")
            << "Send to HTTP proxy: 'CONNECT 198.51.100.4:1194 HTTP/1.0'"
            << "198.51.100.4"
            << ""
            << "" << false << "";
        QTest::newRow("tun device opened") << ts + "TUN/TAP device tun0 opened"
                                           << ""
                                           << "tun0"
                                           << "Creating VPN tunnel" << false << "";
        QTest::newRow("windows adapter opened")
            << "TAP-WIN32 device [Quillnet] opened: \\\\.\\Global\\{4A1B-77C0-ABCD}.tap"
            << ""
            << "{4A1B-77C0-ABCD}"
            << "Creating VPN tunnel" << false << "";
        QTest::newRow("attempting")
            << ts + "Attempting to establish TCP connection with [AF_INET]10.99.0.2:1194"
            << ""
            << ""
            << "Connecting to server" << false << "";
        QTest::newRow("waiting for interface") << "Waiting for TUN/TAP interface to come up..."
                                               << ""
                                               << ""
                                               << "Creating VPN tunnel" << false << "";
        QTest::newRow("completed") << ts + "Initialization Sequence Completed"
                                   << ""
                                   << ""
                                   << "" << true << "";
        QTest::newRow("resolve")
            << ts + "RESOLVE: Cannot resolve host address: no-such-host.invalid:1194 "
                    "(Name or service not known)"
            << ""
            << ""
            << "" << false << "Server connection failure.\nCannot resolve host address.";
        const QString auth =
            QStringLiteral("Authentication failed.\nCheck your VPN access subscription, please.");
        QTest::newRow("auth, current form") << ts + "AUTH: Received control message: AUTH_FAILED"
                                            << ""
                                            << ""
                                            << "" << false << auth;
        QTest::newRow("auth, old form") << "AUTH: Received AUTH_FAILED control message"
                                        << ""
                                        << ""
                                        << "" << false << auth;
        const QString refused =
            QStringLiteral("Connection to server failed,\nwill try again in 5 seconds.");
        QTest::newRow("refused, current form")
            << ts + "TCP: connect to [AF_INET]10.99.0.2:1195 failed: Connection refused"
            << ""
            << ""
            << "" << false << refused;
        QTest::newRow("refused, old form")
            << "TCP: connect to 192.0.2.7:443 failed, will try again in 5 seconds"
            << ""
            << ""
            << "" << false << refused;
        const QString denied = QStringLiteral("Creating VPN tunnel failed.\nQuillnet is not "
                                              "allowed to create network tunnels on this system.");
        QTest::newRow("tun not permitted")
            << ts + "ERROR: Cannot ioctl TUNSETIFF tun: Operation not permitted (errno=1)"
            << ""
            << ""
            << "" << false << denied;
        QTest::newRow("tun device denied")
            << ts + "ERROR: Cannot open TUN/TAP dev /dev/net/tun: Permission denied (errno=13)"
            << ""
            << ""
            << "" << false << denied;
        QTest::newRow("no tun support")
            << ts + "ERROR: Cannot open TUN/TAP dev /dev/net/tun: No such file or directory "
                    "(errno=2)"
            << ""
            << ""
            << "" << false
            << "Creating VPN tunnel failed.\nThere is no 'Quillnet' adapter on this system. Try to "
               "reinstall Quillnet.";
        QTest::newRow("adapters busy")
            << "All TAP-Win32 adapters on this system are currently in use."
            << ""
            << ""
            << "" << false
            << "Creating VPN tunnel failed.\nAll Quillnet adapters on this "
               "system are currently in use.";
        QTest::newRow("unrelated") << ts + "OpenVPN 2.6.14 x86_64-pc-linux-gnu"
                                   << ""
                                   << ""
                                   << "" << false << "";
        QTest::newRow("case matters") << "initialization sequence completed"
                                      << ""
                                      << ""
                                      << "" << false << "";
    }

    void lines()
    {
        QFETCH(QString, line);
        QFETCH(QString, ip);
        QFETCH(QString, adapter);
        QFETCH(QString, progress);
        QFETCH(bool, connected);
        QFETCH(QString, error);
        const OpenVpnLineRules::Effects effects = OpenVpnLineRules::apply(line, false);
        QCOMPARE(effects.ip, ip);
        QCOMPARE(effects.adapter, adapter);
        QCOMPARE(effects.progress, progress);
        QCOMPARE(effects.connected, connected);
        QCOMPARE(effects.error, error);
    }

    // Certificate subjects and pushed options are the network peer's words:
    // they never make the tunnel up, failed or point it elsewhere. Only
    // OpenVPN's own soft restart takes it down again.
    void peerChosenTextDecidesNothing_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("restarting");
        QTest::addColumn<bool>("failed");
        const QString ts = QStringLiteral("2026-12-07 08:40:01 ");
        QTest::newRow("subject says completed")
            << ts + "VERIFY ERROR: depth=0, error=unable to get local issuer certificate: "
                    "CN=Initialization Sequence Completed, serial=1"
            << "" << false << false << false;
        QTest::newRow("subject says auth failed")
            << ts + "VERIFY ERROR: depth=0, error=self-signed certificate: "
                    "CN=AUTH: Received control message: AUTH_FAILED"
            << "" << false << false << false;
        QTest::newRow("pushed option says completed")
            << ts + "PUSH: Received control message: 'PUSH_REPLY,echo Initialization Sequence "
                    "Completed,ifconfig 10.8.0.6 10.8.0.5'"
            << "" << false << false << false;
        QTest::newRow("peer name claims another address")
            << ts + "[x] Peer Connection Initiated with [AF_INET]6.6.6.6:1] Peer Connection "
                    "Initiated with [AF_INET]10.99.0.2:1194"
            << "10.99.0.2" << false << false << false;
        QTest::newRow("auth failed with a reason")
            << ts + "AUTH: Received control message: AUTH_FAILED,subscription expired"
            << "" << false << false << true;
        QTest::newRow("auth failure reason names a device")
            << ts + "AUTH: Received control message: AUTH_FAILED,TUN/TAP device eth0 opened"
            << "" << false << false << true;
        QTest::newRow("pushed echo names a device")
            << ts + "ECHO-PULL:msg TUN/TAP device eth0 opened"
            << "" << false << false << false;
        QTest::newRow("pushed echo says completed")
            << ts + "ECHO-PULL:msg Initialization Sequence Completed"
            << "" << false << false << false;
        QTest::newRow("soft restart on network loss")
            << ts + "SIGUSR1[soft,ping-restart] received, process restarting"
            << "" << false << true << false;
        QTest::newRow("old stamp, completed")
            << "Mon Dec  7 08:40:01 2026 Initialization Sequence Completed"
            << "" << true << false << false;
    }

    void peerChosenTextDecidesNothing()
    {
        QFETCH(QString, line);
        QFETCH(QString, ip);
        QFETCH(bool, connected);
        QFETCH(bool, restarting);
        QFETCH(bool, failed);
        const OpenVpnLineRules::Effects effects = OpenVpnLineRules::apply(line, false);
        QCOMPARE(effects.ip, ip);
        QCOMPARE(effects.connected, connected);
        QCOMPARE(effects.restarting, restarting);
        QCOMPARE(!effects.error.isEmpty(), failed);
        // No device is ever named by the peer's text.
        QVERIFY(effects.adapter.isEmpty());
    }

    void knownAddressIsNotReplaced()
    {
        const auto effects = OpenVpnLineRules::apply(
            QStringLiteral("Peer Connection Initiated with [AF_INET]10.99.0.9:1194"), true);
        QVERIFY(effects.ip.isEmpty());
    }

    void promptsAtTheFront_data()
    {
        QTest::addColumn<QByteArray>("pending");
        QTest::addColumn<int>("prompt");
        QTest::addColumn<int>("length");
        QTest::newRow("user") << QByteArray("Enter Auth Username:")
                              << int(ConsolePrompt::AuthUsername) << 20;
        QTest::newRow("user, then password in the same read")
            << QByteArray("Enter Auth Username:Enter Auth Password:")
            << int(ConsolePrompt::AuthUsername) << 20;
        QTest::newRow("password") << QByteArray("Enter Auth Password:")
                                  << int(ConsolePrompt::AuthPassword) << 20;
        QTest::newRow("asked through systemd")
            << QByteArray("Enter Auth Password: (press TAB for no echo) ")
            << int(ConsolePrompt::AuthPassword) << 20;
        QTest::newRow("proxy user")
            << QByteArray("Enter HTTP Proxy Username:") << int(ConsolePrompt::ProxyUsername) << 26;
        QTest::newRow("proxy password")
            << QByteArray("Enter HTTP Proxy Password:") << int(ConsolePrompt::ProxyPassword) << 26;
        QTest::newRow("first piece only")
            << QByteArray("Enter Auth User") << int(ConsolePrompt::None) << 0;
        QTest::newRow("not at the front")
            << QByteArray("x Enter Auth Username:") << int(ConsolePrompt::None) << 0;
    }

    void promptsAtTheFront()
    {
        QFETCH(QByteArray, pending);
        QFETCH(int, prompt);
        QFETCH(int, length);
        const PromptMatch match = promptAt(pending);
        QCOMPARE(int(match.prompt), prompt);
        QCOMPARE(match.length, length);
    }
};

QTEST_GUILESS_MAIN(TestOpenVpnLineRules)
#include "tst_openvpnlinerules.moc"
