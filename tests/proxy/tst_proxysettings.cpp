// The stored proxy choice becomes the proxy of the client's connections;
// the system's proxy is read from the settings the platform offers.
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "platform/SystemProxy.h"
#include "proxy/ProxySettings.h"
#include "proxy/ProxyText.h"

#include <QSettings>
#include <QTest>

class TestProxySettings : public QObject
{
    Q_OBJECT

    static void store(int source, const QString &address, const QVariant &port, bool auth)
    {
        QSettings settings;
        settings.setValue(QLatin1String(SettingsKey::ProxySource), source);
        settings.setValue(QLatin1String(SettingsKey::ProxyAddress), address);
        settings.setValue(QLatin1String(SettingsKey::ProxyPort), port);
        settings.setValue(QLatin1String(SettingsKey::ProxyAuth), auth);
        settings.setValue(QLatin1String(SettingsKey::ProxyUser), QStringLiteral("joe"));
        settings.setValue(QLatin1String(SettingsKey::ProxyPasswd), QStringLiteral("p@ss w:rd"));
    }

    static void clearProxyEnvironment()
    {
        for (const char *name : {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy",
                                 "ALL_PROXY", "no_proxy", "NO_PROXY"})
            qunsetenv(name);
    }

private slots:
    void initTestCase()
    {
        setApplicationNames();
        clearProxyEnvironment();
    }

    void windowsProxyLists_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("one proxy for all") << "proxyhost:3128" << "proxyhost" << 3128;
        QTest::newRow("bare host") << "proxyhost" << "proxyhost" << 80;
        QTest::newRow("per protocol") << "ftp=a:21 http=b:8080 https=c:443" << "b" << 8080;
        QTest::newRow("only https") << "https=c:443" << "" << 80;
        QTest::newRow("case matters") << "HTTP=b:8080" << "" << 80;
        QTest::newRow("port not a number") << "proxyhost:web" << "proxyhost" << 0;
        QTest::newRow("port too large") << "proxyhost:70000" << "proxyhost" << 0;
        QTest::newRow("empty port") << "proxyhost:" << "proxyhost" << 0;
        QTest::newRow("IPv6 with port") << "[::1]:3128" << "::1" << 3128;
        QTest::newRow("IPv6 bare") << "[fd00::5]" << "fd00::5" << 80;
    }

    void windowsProxyLists()
    {
        QFETCH(QString, list);
        QFETCH(QString, host);
        QFETCH(int, port);
        const QString text = httpProxyFromList(list);
        const ProxyHostPort hostPort = splitProxyText(text);
        QCOMPARE(hostPort.host, host);
        if (!host.isEmpty())
            QCOMPARE(int(hostPort.port), port);
    }

    void environmentProxy_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("failed");
        QTest::newRow("none") << QStringList{"PATH=/bin"} << "" << false;
        QTest::newRow("https first") << QStringList{"http_proxy=http://a:1", "https_proxy=http://b:2"} << "b:2"
                                     << false;
        QTest::newRow("upper case") << QStringList{"HTTP_PROXY=http://proxy.example:8080/"}
                                    << "proxy.example:8080" << false;
        QTest::newRow("no scheme") << QStringList{"http_proxy=10.0.0.1:3128"} << "10.0.0.1:3128" << false;
        QTest::newRow("no port") << QStringList{"all_proxy=http://proxy.example"} << "proxy.example" << false;
        QTest::newRow("credentials are not the host") << QStringList{"https_proxy=http://u:pw@p.example:3128"}
                                                      << "p.example:3128" << false;
        QTest::newRow("socks is no http proxy") << QStringList{"all_proxy=socks5://s.example:1080"} << ""
                                                << false;
        QTest::newRow("garbage") << QStringList{"https_proxy=http://:0:"} << "" << true;
        QTest::newRow("IPv6 keeps its brackets") << QStringList{"http_proxy=http://[::1]:3128"} << "[::1]:3128"
                                                 << false;
    }

    void environmentProxy()
    {
        QFETCH(QStringList, environment);
        QFETCH(QString, text);
        QFETCH(bool, failed);
        const std::optional<QString> result = SystemProxy::fromEnvironment(environment);
        QCOMPARE(!result.has_value(), failed);
        if (result)
            QCOMPARE(*result, text);
    }

    void storedChoice_data()
    {
        QTest::addColumn<int>("storedSource");
        QTest::addColumn<int>("askedSource");
        QTest::addColumn<QVariant>("port");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("expectedPort");
        QTest::addColumn<QString>("user");
        const int http = QNetworkProxy::HttpProxy;
        const int none = QNetworkProxy::NoProxy;
        QTest::newRow("none ignores everything") << 0 << -1 << QVariant(3128) << true << QByteArray("http://e:1")
                                                 << none << "" << 0 << "";
        QTest::newRow("own proxy") << 2 << -1 << QVariant(3128) << false << QByteArray() << http << "own.example"
                                   << 3128 << "";
        QTest::newRow("own proxy with authorization") << 2 << -1 << QVariant(3128) << true << QByteArray() << http
                                                      << "own.example" << 3128 << "joe";
        QTest::newRow("port modulo 65536") << 2 << -1 << QVariant(65536 + 8080) << false << QByteArray() << http
                                           << "own.example" << 8080 << "";
        QTest::newRow("port not a number") << 2 << -1 << QVariant(QStringLiteral("x")) << false << QByteArray()
                                           << http << "own.example" << 0 << "";
        QTest::newRow("system proxy") << 1 << -1 << QVariant(1) << false << QByteArray("http://sys.example:8888")
                                      << http << "sys.example" << 8888 << "";
        QTest::newRow("system proxy gets the stored credentials")
            << 1 << -1 << QVariant(1) << true << QByteArray("sys.example") << http << "sys.example" << 80 << "joe";
        QTest::newRow("no system proxy") << 1 << -1 << QVariant(1) << true << QByteArray() << none << "" << 0 << "";
        QTest::newRow("forced system proxy") << 0 << 1 << QVariant(1) << false
                                             << QByteArray("http://sys.example:8888") << http << "sys.example"
                                             << 8888 << "";
        QTest::newRow("system proxy on IPv6") << 1 << -1 << QVariant(1) << false
                                              << QByteArray("http://[::1]:3128") << http << "::1" << 3128 << "";
        QTest::newRow("system proxy on IPv6, no port")
            << 1 << -1 << QVariant(1) << false << QByteArray("http://[fd00::5]") << http << "fd00::5" << 80 << "";
        QTest::newRow("unknown source") << 7 << -1 << QVariant(1) << true << QByteArray() << none << "" << 0 << "";
    }

    void storedChoice()
    {
        QFETCH(int, storedSource);
        QFETCH(int, askedSource);
        QFETCH(QVariant, port);
        QFETCH(bool, auth);
        QFETCH(QByteArray, environment);
        QFETCH(int, type);
        QFETCH(QString, host);
        QFETCH(int, expectedPort);
        QFETCH(QString, user);
        store(storedSource, QStringLiteral("own.example"), port, auth);
        clearProxyEnvironment();
        if (!environment.isEmpty())
            qputenv("https_proxy", environment);

        const QNetworkProxy proxy = proxyFromSettings(askedSource);
        QCOMPARE(int(proxy.type()), type);
        QCOMPARE(proxy.hostName(), host);
        if (type != QNetworkProxy::NoProxy)
            QCOMPARE(int(proxy.port()), expectedPort);
        QCOMPARE(proxy.user(), user);
        QCOMPARE(proxy.password(), user.isEmpty() ? QString() : QStringLiteral("p@ss w:rd"));
        clearProxyEnvironment();
    }

    void freshInstallationHasNoProxy()
    {
        QSettings().clear();
        QCOMPARE(proxyFromSettings().type(), QNetworkProxy::NoProxy);
    }
};

QTEST_GUILESS_MAIN(TestProxySettings)
#include "tst_proxysettings.moc"
