// The stored proxy choice carries real requests of the service client
// through a real HTTP proxy that asks for a user name and password.
#include "HttpProxyPeer.h"
#include "ServicePeer.h"
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "net/RequestServer.h"
#include "proxy/ProxySettings.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

class TestProxyRequest : public QObject
{
    Q_OBJECT

    ServicePeer service;
    HttpProxyPeer proxy;

    // The configuration request through proxyFromSettings() (HTTPS,
    // tunnelled with CONNECT), and an account request, which goes straight
    // to the service.
    void bothRequestsSucceed()
    {
        RequestServer client(QStringLiteral("127.0.0.1"), nullptr);
        client.setUser(QStringLiteral("demo"), QStringLiteral("demo123"));
        client.setProxy(proxyFromSettings());
        QSignalSpy config(&client, &RequestServer::getConfigDone);
        QVERIFY(client.getConfig());
        QVERIFY(config.wait(15000));
        QCOMPARE(config.first().at(1).toBool(), true);
        QSignalSpy aliases(&client, &RequestServer::getAliasesDone);
        QVERIFY(client.getAliases());
        QVERIFY(aliases.wait(15000));
        QCOMPARE(aliases.first().at(1).toBool(), true);
        QCOMPARE(service.takeRequests().size(), 2);
    }

private slots:
    void initTestCase()
    {
        if (!HttpProxyPeer::isAvailable())
            QSKIP("tinyproxy is not installed");
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(service.deploymentFile()));
        QVERIFY2(proxy.start(QStringLiteral("proxyuser"), QStringLiteral("proxypw")),
                 qPrintable(proxy.errorString()));
        setApplicationNames();
        QSettings settings;
        settings.setValue(QLatin1String(SettingsKey::ProxyAuth), true);
        settings.setValue(QLatin1String(SettingsKey::ProxyUser), QStringLiteral("proxyuser"));
        settings.setValue(QLatin1String(SettingsKey::ProxyPasswd), QStringLiteral("proxypw"));
    }

    void ownProxyFromTheSettings()
    {
        QSettings settings;
        settings.setValue(QLatin1String(SettingsKey::ProxySource), 2);
        settings.setValue(QLatin1String(SettingsKey::ProxyAddress), QStringLiteral("127.0.0.1"));
        settings.setValue(QLatin1String(SettingsKey::ProxyPort), proxy.port());
        settings.sync();
        bothRequestsSucceed();
        QVERIFY(proxy.log().contains(QStringLiteral("CONNECT 127.0.0.1:%1").arg(service.httpsPort())));
    }

    void systemProxyFromTheEnvironment()
    {
        QSettings settings;
        settings.setValue(QLatin1String(SettingsKey::ProxySource), 1);
        settings.setValue(QLatin1String(SettingsKey::ProxyAddress), QStringLiteral("unused.example"));
        settings.sync();
        qputenv("https_proxy", QStringLiteral("http://127.0.0.1:%1/").arg(proxy.port()).toUtf8());
        const QString before = proxy.log();
        bothRequestsSucceed();
        QVERIFY(proxy.log().size() > before.size());
        qunsetenv("https_proxy");
    }
};

QTEST_GUILESS_MAIN(TestProxyRequest)
#include "tst_proxyrequest.moc"
