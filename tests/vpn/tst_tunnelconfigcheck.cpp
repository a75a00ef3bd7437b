// A tunnel configuration from elsewhere passes only with the client's own
// directives: nothing in it may run a program, name a file or reach the
// process, however it is spelt. And the servers it names are read as
// OpenVPN reads them, since the leak block opens exactly those.
#include "vpn/TunnelConfigCheck.h"
#include "vpn/TunnelEndpoints.h"

#include <QTest>

class TestTunnelConfigCheck : public QObject
{
    Q_OBJECT

private slots:
    void judgesEveryLine_data()
    {
        QTest::addColumn<QByteArray>("configuration");
        QTest::addColumn<QString>("refused"); // empty: accepted

        const QByteArray service = "client\ndev tun\nproto udp\nremote 127.0.0.1 1194\n"
                                   "resolv-retry infinite\nnobind\nca cert.crt\nauth-user-pass\n"
                                   "verb 3\n# $ location_cz = \"Plzeň\"\n";
        QTest::newRow("the service's template") << service << "";
        QTest::newRow("the test server's client")
            << QByteArray("client\r\ndev tun\r\nproto tcp-client\r\nremote 10.0.0.1 1194\r\n"
                          "connect-retry 1\r\nremote-cert-tls server\r\nauth-nocache\r\n"
                          "disable-dco\r\n--verb 3\r\n; a comment\r\n")
            << "";
        QTest::newRow("inline keys")
            << QByteArray(
                   "client\n<ca>\n-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n"
                   "</ca>\n<tls-crypt>\nkey\n</tls-crypt>\nkeepalive 10 60\n")
            << "";
        QTest::newRow("quoted challenge, comment after words")
            << QByteArray(
                   "static-challenge \"Enter PIN\" 1\nremote host.example 443 tcp # backup\n")
            << "";

        // Directives that run programs, touch files or the process.
        for (const char *line : {"script-security 2",
                                 "up \"/bin/sh -c 'id > X'\"",
                                 "down /bin/sh",
                                 "ipchange /bin/sh",
                                 "plugin x.so",
                                 "management 127.0.0.1 7505",
                                 "management-client-auth",
                                 "log /tmp/x",
                                 "log-append /tmp/x",
                                 "status /tmp/x",
                                 "writepid /tmp/x",
                                 "auth-user-pass /etc/shadow",
                                 "cd /",
                                 "config /tmp/other.ovpn",
                                 "daemon",
                                 "user nobody",
                                 "group nogroup",
                                 "setenv PATH /tmp",
                                 "tls-verify /bin/true",
                                 "dev-node /dev/x",
                                 "iproute /bin/sh",
                                 "auth-user-pass-verify /bin/sh via-env",
                                 "ca /etc/shadow",
                                 "route-up /bin/sh",
                                 "chroot /tmp"}) {
            const QByteArray text = QByteArray(line);
            QTest::newRow(line) << service + text + "\n"
                                << QString::fromLatin1(text.split(' ').first());
        }
        // Spellings that could hide a directive from a simpler reader.
        QTest::newRow("double dash") << QByteArray("--up /bin/sh\n") << "up";
        QTest::newRow("quoted name") << QByteArray("\"up\" /bin/sh\n") << "up";
        QTest::newRow("escaped name") << QByteArray("u\\p /bin/sh\n") << "up";
        QTest::newRow("quote inside a word") << QByteArray("dev tun\"0 x\"\n") << "dev tun\"0 x\"";
        QTest::newRow("unclosed quote") << QByteArray("verb \"3\n") << "verb \"3";
        QTest::newRow("no-break space") << QByteArray("verb\xc2\xa0"
                                                      "3\n")
                                        << "(character)";
        QTest::newRow("vertical tab") << QByteArray("verb\x0b"
                                                    "3\nup x\n")
                                      << "(character)";
        QTest::newRow("carriage return inside") << QByteArray("verb 3\rup x\n") << "(character)";
        QTest::newRow("NUL") << QByteArray("verb 3\n\0up x\n", 14) << "(NUL)";
        QTest::newRow("block closed early")
            << QByteArray("<ca>\n</ca>x\nup /bin/sh\n</ca>\n") << "</ca>x";
        QTest::newRow("block never closed") << QByteArray("client\n<ca>\nAAAA\n") << "<ca>";
        QTest::newRow("options block")
            << QByteArray("<connection>\nremote a\n</connection>\n") << "<connection>";
        QTest::newRow("argument out of shape") << QByteArray("remote -x 1194\n") << "remote";
        QTest::newRow("port out of range") << QByteArray("remote a.example 70000\n") << "remote";
        QTest::newRow("other device") << QByteArray("dev tap\n") << "dev";
        QTest::newRow("oversized") << QByteArray(TunnelConfigCheck::MaxSize + 1, '#') << "(size)";
    }

    void judgesEveryLine()
    {
        QFETCH(QByteArray, configuration);
        QFETCH(QString, refused);
        const TunnelConfigCheck::Verdict verdict = TunnelConfigCheck::check(configuration);
        QCOMPARE(verdict.accepted, refused.isEmpty());
        QCOMPARE(verdict.directive, refused);
        if (!refused.isEmpty() && refused != "(size)" && refused != "(NUL)")
            QVERIFY(verdict.line > 0);
    }

    void namesTheServersOpenVpnConnectsTo_data()
    {
        QTest::addColumn<QByteArray>("configuration");
        QTest::addColumn<QStringList>("servers"); // host:port/protocol
        QTest::newRow("the service's own")
            << QByteArray("client\ndev tun\nproto udp\nremote 127.0.0.1 1194\n")
            << QStringList{"127.0.0.1:1194/udp"};
        QTest::newRow("defaults from port and proto, in either order")
            << QByteArray("remote 10.0.0.1\nport 443\nproto tcp-client\nremote 10.0.0.2 8443 udp\n")
            << QStringList{"10.0.0.1:443/tcp", "10.0.0.2:8443/udp"};
        QTest::newRow("OpenVPN's defaults")
            << QByteArray("remote vpn.example.net\n") << QStringList{"vpn.example.net:1194/udp"};
        QTest::newRow("quoted, commented, repeated")
            << QByteArray(
                   "remote \"10.0.0.1\" 1195 # main\n;remote 10.0.0.9\nremote 10.0.0.1 1195\n")
            << QStringList{"10.0.0.1:1195/udp"};
        QTest::newRow("nothing inside key blocks")
            << QByteArray("<ca>\nremote 10.6.6.6 66\n</ca>\nremote 10.0.0.1\n")
            << QStringList{"10.0.0.1:1194/udp"};
        QTest::newRow("no remote") << QByteArray("client\n") << QStringList{};
    }

    void namesTheServersOpenVpnConnectsTo()
    {
        QFETCH(QByteArray, configuration);
        QFETCH(QStringList, servers);
        QStringList read;
        for (const ServerEndpoint &server : TunnelEndpoints::fromConfiguration(configuration))
            read << QStringLiteral("%1:%2/%3")
                        .arg(server.host)
                        .arg(server.port)
                        .arg(server.tcp ? QStringLiteral("tcp") : QStringLiteral("udp"));
        QCOMPARE(read, servers);
    }
};

QTEST_GUILESS_MAIN(TestTunnelConfigCheck)
#include "tst_tunnelconfigcheck.moc"
