// Where the client is aimed: built-in values, and an override file that may
// be wrong in every way a hand-edited file can be.
#include "core/Deployment.h"

#include <QTemporaryDir>
#include <QTest>

class TestDeployment : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        file.write(content);
        return path;
    }

private slots:
    void defaultsUseReservedNamesAndStandardPorts()
    {
        const Deployment d = Deployment::defaults();
        for (const QString &host :
             {d.serviceHost, d.relayHost, d.aliasDomain, d.organizationDomain})
            QVERIFY2(host.endsWith(QLatin1String(".example")), qPrintable(host));
        QCOMPARE(d.serviceHttpsPort, quint16(443));
        QCOMPARE(d.serviceHttpPort, quint16(80));
        QCOMPARE(d.relayPort, quint16(443));
        QCOMPARE(d.serverCertPath, QStringLiteral(":/data/server.crt"));
        QVERIFY(d.webBase.endsWith(QLatin1Char('/')));
        QCOMPARE(d.registrationLink(), d.webBase + QStringLiteral("register.php"));
    }

    void overrideFileAimsTheClientElsewhere()
    {
        writeFile(QStringLiteral("test.crt"), "pem");
        const QString path =
            writeFile(QStringLiteral("full.ini"), "service_host = 127.0.0.1\n"
                                                  "service_https_port = 8443\n"
                                                  "service_http_port = 8080\n"
                                                  "relay_host = localhost\n"
                                                  "relay_port = 2525\n"
                                                  "alias_domain = alias.test\n"
                                                  "support_mailbox = help@alias.test\n"
                                                  "web_base = http://127.0.0.1:8080/web\n"
                                                  "server_cert = test.crt\n"
                                                  "api_scheme = https\n");
        QStringList problems;
        const Deployment d = Deployment::fromFile(path, &problems);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QCOMPARE(d.serviceHost, QStringLiteral("127.0.0.1"));
        QCOMPARE(d.serviceHttpsPort, quint16(8443));
        QCOMPARE(d.serviceHttpPort, quint16(8080));
        QCOMPARE(d.relayHost, QStringLiteral("localhost"));
        QCOMPARE(d.relayPort, quint16(2525));
        QCOMPARE(d.aliasDomain, QStringLiteral("alias.test"));
        QCOMPARE(d.supportMailbox, QStringLiteral("help@alias.test"));
        // Pages are appended to the base, so it always ends with a slash.
        QCOMPARE(d.webBase, QStringLiteral("http://127.0.0.1:8080/web/"));
        // A relative certificate path is found beside the override file.
        QCOMPARE(d.serverCertPath, dir.filePath(QStringLiteral("test.crt")));
        QVERIFY(d.apiOverHttps);
        QVERIFY(!Deployment::defaults().apiOverHttps);
        // Values the file does not name keep their defaults.
        QCOMPARE(d.organizationDomain, Deployment::defaults().organizationDomain);
    }

    void badValuesAreReportedAndKeepTheirDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("problem");
        QTest::newRow("port not a number") << QByteArray("relay_port = smtp\n") << "relay_port";
        QTest::newRow("port zero")
            << QByteArray("service_https_port = 0\n") << "service_https_port";
        QTest::newRow("port too large")
            << QByteArray("service_http_port = 70000\n") << "service_http_port";
        QTest::newRow("empty host") << QByteArray("service_host =\n") << "service_host";
        QTest::newRow("missing certificate")
            << QByteArray("server_cert = nowhere.pem\n") << "server_cert";
        QTest::newRow("unknown key") << QByteArray("service_hots = x\n") << "service_hots";
        QTest::newRow("unknown scheme") << QByteArray("api_scheme = ftp\n") << "api_scheme";
    }

    void badValuesAreReportedAndKeepTheirDefaults()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        QStringList problems;
        const Deployment d = Deployment::fromFile(
            writeFile(QLatin1String(QTest::currentDataTag()) + QStringLiteral(".ini"), content),
            &problems);
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.first().contains(problem), qPrintable(problems.first()));
        const Deployment defaults = Deployment::defaults();
        QCOMPARE(d.serviceHost, defaults.serviceHost);
        QCOMPARE(d.serviceHttpsPort, defaults.serviceHttpsPort);
        QCOMPARE(d.serviceHttpPort, defaults.serviceHttpPort);
        QCOMPARE(d.relayPort, defaults.relayPort);
        QCOMPARE(d.serverCertPath, defaults.serverCertPath);
        QCOMPARE(d.apiOverHttps, defaults.apiOverHttps);
    }

    void unusableFileIsReportedAndIgnored_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << dir.filePath(QStringLiteral("absent.ini"));
        QTest::newRow("a folder") << dir.path();
        QTest::newRow("malformed") << writeFile(QStringLiteral("broken.ini"),
                                                "[General\nservice_host = 127.0.0.1\n\"\xff\n");
    }

    void unusableFileIsReportedAndIgnored()
    {
        QFETCH(QString, path);
        QStringList problems;
        const Deployment d = Deployment::fromFile(path, &problems);
        QCOMPARE(problems.size(), 1);
        QCOMPARE(d.serviceHost, Deployment::defaults().serviceHost);
    }
};

QTEST_GUILESS_MAIN(TestDeployment)
#include "tst_deployment.moc"
