// A tunnel configuration from elsewhere passes only with the client's own
// directives: nothing in it may run a program, name a file, reach the
// process or weaken the encryption, however it is spelt. And the servers it
// names are read as OpenVPN reads them, since the leak block opens exactly
// those.
#include "vpn/TunnelConfigCheck.h"
#include "vpn/TunnelEndpoints.h"

#include <QDir>
#include <QFile>
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
        // Settings that switch the encryption off or weaken it, in any case.
        for (const char *line :
             {"cipher none", "cipher BF-CBC", "cipher bf-cbc", "cipher DES-CBC",
              "cipher DES-EDE3-CBC", "cipher desx-cbc", "cipher CAST5-CBC", "cipher RC2-40-CBC",
              "cipher IDEA-CBC", "auth none", "auth MD5", "data-ciphers none",
              "data-ciphers AES-256-GCM:NONE", "data-ciphers AES-256-GCM:BF-CBC",
              "data-ciphers-fallback none", "data-ciphers-fallback DES-EDE-CBC",
              "tls-cipher TLS-ECDHE-RSA-WITH-AES-256-GCM-SHA384:"
              "TLS-DHE-RSA-WITH-3DES-EDE-CBC-SHA",
              "tls-cipher aNULL", "tls-cipher RC4-SHA", "tls-version-min 1.0",
              "tls-version-min 1.1 or-highest", "tls-version-min 1.2 or-lowest", "no-replay",
              "comp-lzo", "comp-lzo yes", "comp-lzo adaptive", "compress lz4-v2",
              "allow-compression yes", "allow-compression asym",
              // Retrying on the console would type the password again.
              "auth-retry interact",
              // Numbers out of bounds, and what a match text must not carry.
              "sndbuf -1", "rcvbuf 2000000", "hand-window 0", "tls-timeout 99999",
              "replay-window 70000", "replay-window 64 601", "remote-cert-ku a0g",
              "remote-cert-eku -serverAuth", "pull-filter drop route", "pull-filter ignore",
              "pull-filter ignore \"\"", "pull-filter ignore route up /bin/sh", "route-nopull now",
              "push-peer-info"}) {
            const QByteArray text = QByteArray(line);
            QTest::newRow(line) << service + text + "\n"
                                << QString::fromLatin1(text.split(' ').first());
        }
        // Strong choices, and what only narrows or tunes the connection.
        for (const char *line :
             {"cipher AES-256-GCM", "cipher AES-128-CBC", "auth SHA256", "cipher aes-256-cbc",
              "data-ciphers AES-256-GCM:AES-128-GCM:CHACHA20-POLY1305",
              "data-ciphers-fallback AES-128-CBC", "auth SHA512",
              "tls-cipher TLS-ECDHE-ECDSA-WITH-AES-256-GCM-SHA384:-RC4", "tls-version-min 1.2",
              "tls-version-min 1.3 or-highest",
              // Less of what the server pushes.
              "route-nopull", "pull-filter ignore \"route-ipv6\"",
              "pull-filter accept \"route 10.8.\"", "pull-filter reject dhcp-option",
              "pull-filter ignore route\\ 10.",
              // Compression kept off.
              "comp-lzo no", "allow-compression no", "compress", "compress stub-v2",
              // Tuning within bounds, and narrower server certificates.
              "sndbuf 393216", "rcvbuf 0", "auth-retry nointeract", "auth-retry none",
              "hand-window 120", "tls-timeout 5", "replay-window 128", "replay-window 65536 600",
              "remote-cert-eku \"TLS Web Server Authentication\"",
              "remote-cert-eku 1.3.6.1.5.5.7.3.1", "remote-cert-ku", "remote-cert-ku a0 88 A8",
              "tun-ipv6", "fast-io"})
            QTest::newRow(line) << service + line + "\n"
                                << "";

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

    // Configurations in the shapes providers publish pass as they stand; a
    // weakened or dangerous one is refused at the one line that makes it so.
    void judgesPublishedConfigurations_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("refusedLine"); // empty: accepted

        const QHash<QString, QString> refusals = {
            {"weak-blowfish-legacy.ovpn", "cipher BF-CBC"},
            {"weak-tls-1-0.ovpn", "tls-version-min 1.0 or-highest"},
            {"weak-cipher-none-listed.ovpn", "data-ciphers AES-256-GCM:CHACHA20-POLY1305:none"},
            {"weak-compression-on.ovpn", "allow-compression yes"},
            {"linux-dns-script.ovpn", "up /etc/openvpn/update-resolv-conf"},
            {"credentials-file.ovpn", "auth-user-pass login.conf"},
        };
        const QDir folder(qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                          QStringLiteral("/tests/vpn/data/configs"));
        // Every refusal is a row, so that a missing file fails rather than
        // passes unseen; the rest of the folder must be accepted.
        for (auto it = refusals.begin(); it != refusals.end(); ++it)
            QTest::newRow(qPrintable(it.key())) << folder.filePath(it.key()) << it.value();
        int accepted = 0;
        for (const QString &name : folder.entryList({QStringLiteral("*.ovpn")}, QDir::Files)) {
            if (!refusals.contains(name)) {
                QTest::newRow(qPrintable(name)) << folder.filePath(name) << QString();
                ++accepted;
            }
        }
        QVERIFY2(accepted >= 8, qPrintable(folder.path()));
    }

    void judgesPublishedConfigurations()
    {
        QFETCH(QString, path);
        QFETCH(QString, refusedLine);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray configuration = file.readAll();
        const TunnelConfigCheck::Verdict verdict = TunnelConfigCheck::check(configuration);
        if (refusedLine.isEmpty()) {
            QVERIFY2(verdict.accepted, qPrintable(QStringLiteral("refused %1 on line %2")
                                                      .arg(verdict.directive)
                                                      .arg(verdict.line)));
            return;
        }
        const QList<QByteArray> lines = configuration.split('\n');
        const auto at = std::find_if(lines.begin(), lines.end(), [&](const QByteArray &line) {
            return line.trimmed() == refusedLine.toLatin1();
        });
        QVERIFY2(at != lines.end(), qPrintable(refusedLine));
        QVERIFY(!verdict.accepted);
        QCOMPARE(verdict.directive, refusedLine.section(QLatin1Char(' '), 0, 0));
        QCOMPARE(verdict.line, int(at - lines.begin()) + 1);
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
