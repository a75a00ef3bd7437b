// The login without a window and without root: the controller against the
// local test service and the scripted tunnel, told as the story of the
// controller's signals and the requests the service saw.
#include "HttpProxyPeer.h"
#include "ServicePeer.h"
#include "StandInAdapterTool.h"
#include "TestFiles.h"
#include "core/ApplicationNames.h"
#include "core/Deployment.h"
#include "core/SettingsKeys.h"
#include "login/LoginController.h"
#include "net/RequestServer.h"
#include "vpn/AdapterControl.h"
#include "vpn/ScriptedTunnel.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QMetaEnum>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <memory>

namespace {

const char AuthFailed[] = "Authentication failed.\nCheck your VPN access subscription, please.";

template <typename E> QString name(E value)
{
    return QLatin1String(QMetaEnum::fromType<E>().valueToKey(value));
}

} // namespace

class TestLoginController : public QObject
{
    Q_OBJECT

    ServicePeer service;
    QString toolLog;
    std::unique_ptr<ScriptedTunnel> tunnel;
    std::unique_ptr<LoginController> controller;
    QStringList story;

    // A controller as the login dialog has it; a reconnect's new login is
    // the same account again.
    void newController()
    {
        controller.reset();
        tunnel = std::make_unique<ScriptedTunnel>();
        controller =
            std::make_unique<LoginController>(tunnel.get(), Deployment::current().serviceHost);
        story.clear();
        LoginController *c = controller.get();
        connect(c, &LoginController::stepStarted, c, [this](auto s) { story << name(s); });
        connect(c, &LoginController::refused, c, [this](auto r) { story << name(r); });
        connect(c, &LoginController::transportFailed, c, [this] { story << "transportFailed"; });
        connect(c, &LoginController::accountLoading, c, [this](QString ip, QString, bool full) {
            story << QStringLiteral("loading %1 %2").arg(ip, full ? "full" : "free");
        });
        connect(c, &LoginController::receivingLoaded, c, [this] { story << "receiving"; });
        connect(c, &LoginController::aliasesLoaded, c, [this] { story << "aliases"; });
        connect(c, &LoginController::contactLoaded, c, [this] { story << "contact"; });
        connect(c, &LoginController::loggedIn, c, [this] { story << "loggedIn"; });
        connect(c, &LoginController::loadingStopped, c, [this] { story << "loadingStopped"; });
        connect(c, &LoginController::busy, c, [this] { story << "busy"; });
        connect(c, &LoginController::idle, c, [this] { story << "idle"; });
        connect(c, &LoginController::reloginNeeded, c, [this, c] {
            story << "relogin";
            c->relogin();
        });
    }

    QStringList requestsSeen() { return service.takeOperations(); }

    QStringList toolRuns() const { return adapterToolCommands(toolLog); }

    // The story of a full login up to the hand-over, after its first step.
    static QStringList fullLoginAfter(const char *adapterStep)
    {
        return {QLatin1String(adapterStep),
                "loading 10.8.0.1 full",
                "LoadingSettings",
                "receiving",
                "aliases",
                "contact",
                "loggedIn"};
    }

    void logInAsDemo()
    {
        controller->logIn(QStringLiteral("demo"), QStringLiteral("demo123"));
        QTRY_VERIFY_WITH_TIMEOUT(story.contains(QStringLiteral("loggedIn")), 30000);
        story.clear();
        requestsSeen();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(service.deploymentFile()));
        for (const char *name :
             {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            qunsetenv(name);
        // The adapter tool notes what it was asked.
        toolLog = QDir::current().absoluteFilePath(QStringLiteral("tool-runs.txt"));
        const QString toolError = installStandInAdapterTool(toolLog);
        QVERIFY2(toolError.isEmpty(), qPrintable(toolError));
        setApplicationNames();
    }

    void init()
    {
        QSettings().clear();
        service.control(QStringLiteral("/_control/reset"));
        QFile::remove(toolLog);
        newController();
    }

    void cleanup()
    {
        controller.reset();
        tunnel.reset();
        qunsetenv("https_proxy");
        // The adapter is switched on once per process; each test starts
        // with it off.
        disableAdapter();
    }

    void loginTellsItsStory_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("serviceRule");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("requests");
        const QStringList config{"/server/config.php"};
        QTest::newRow("full account")
            << "demo:demo123"
            << "" << QStringList{"Authenticating"} + fullLoginAfter("EnablingAdapter")
            << QStringList{"/server/config.php", "GetForwarding", "GetAliases", "GetEmail"};
        // The free account asks for nothing but the configuration.
        QTest::newRow("free account")
            << "free"
            << "" << QStringList{"Authenticating", "EnablingAdapter", "loading 10.8.0.1 free",
                                 "receiving",      "aliases",         "contact",
                                 "loggedIn"}
            << config;
        QTest::newRow("no password") << "demo:"
                                     << "" << QStringList{"MissingCredentials"} << QStringList();
        QTest::newRow("service refuses")
            << "demo:wrong"
            << "" << QStringList{"Authenticating", "LoginFailed"} << config;
        QTest::newRow("not a configuration")
            << "demo:demo123"
            << "garbage" << QStringList{"Authenticating", "InvalidResponse"} << config;
        QTest::newRow("configuration that runs a program")
            << "demo:demo123"
            << "hostile-config" << QStringList{"Authenticating", "ConfigRefused"} << config;
        QTest::newRow("service unreachable")
            << "demo:demo123"
            << "close" << QStringList{"Authenticating", "transportFailed"} << config;
        QTest::newRow("tunnel refuses")
            << "demo:demo123"
            << "tunnel" << QStringList{"Authenticating", "EnablingAdapter"} << config;
        // The direct request fails once; the one through the system's
        // proxy works, and that proxy is kept.
        QTest::newRow("through the system proxy")
            << "demo:demo123"
            << "stall&count=1" << QStringList{"Authenticating"} + fullLoginAfter("EnablingAdapter")
            << QStringList{"/server/config.php", "GetForwarding", "GetAliases", "GetEmail"};
    }

    void loginTellsItsStory()
    {
        QFETCH(QString, account);
        QFETCH(QString, serviceRule);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, requests);
        std::unique_ptr<HttpProxyPeer> proxy;
        if (serviceRule.startsWith(QLatin1String("stall"))) {
            if (!HttpProxyPeer::isAvailable())
                QSKIP("tinyproxy is not installed");
            proxy = std::make_unique<HttpProxyPeer>();
            QVERIFY(proxy->start());
            qputenv("https_proxy",
                    QStringLiteral("http://127.0.0.1:%1").arg(proxy->port()).toUtf8());
            // The stalled request is given up sooner than in the product;
            // loopback answers take a small part of this.
            controller->setRequestTimeouts(2000, RequestServer::DownloadIdleTimeoutMs);
        }
        const bool tunnelRefuses = serviceRule == QLatin1String("tunnel");
        if (tunnelRefuses)
            tunnel->setConnectsByItself(false);
        else if (!serviceRule.isEmpty())
            service.control(QStringLiteral("/_control/behave?path=/server/config.php&mode=") +
                            serviceRule);

        if (account == QLatin1String("free"))
            controller->logInFree();
        else
            controller->logIn(account.section(QLatin1Char(':'), 0, 0),
                              account.section(QLatin1Char(':'), 1));
        if (tunnelRefuses) {
            QTRY_COMPARE_WITH_TIMEOUT(tunnel->getStatus(), Connecting, 30000);
            tunnel->fail(QLatin1String(AuthFailed));
        }
        QTRY_COMPARE_WITH_TIMEOUT(story, expected, 30000);
        // The transport may try a closed connection again by itself.
        QStringList seen = requestsSeen();
        seen.removeDuplicates();
        QCOMPARE(seen, requests);
        const bool tunnelAskedFor = story.contains(QStringLiteral("EnablingAdapter"));
        QCOMPARE(tunnel->calls().count(QStringLiteral("start")), tunnelAskedFor ? 1 : 0);
        QCOMPARE(toolRuns(), tunnelAskedFor ? QStringList{"enable"} : QStringList());
        if (tunnelAskedFor) {
            QCOMPARE(tunnel->config(), QStringLiteral("quillnet.ovpn"));
            QCOMPARE(tunnel->user(), controller->user());
        }
        if (proxy) {
            QCOMPARE(QSettings().value(QLatin1String(SettingsKey::ProxySource)).toInt(), 1);
            QVERIFY(proxy->log().contains(
                QStringLiteral("CONNECT 127.0.0.1:%1").arg(service.httpsPort())));
        }
        QTRY_COMPARE_WITH_TIMEOUT(tunnel->getStatus(),
                                  tunnelAskedFor && !tunnelRefuses ? Connected : Disconnected,
                                  15000);
    }

    void logOutAndReconnect_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("tool");
        QTest::newRow("log-out") << "logout" << QStringList{"busy", "DisablingAdapter"}
                                 << QStringList{"enable", "disable"};
        // The adapter stays on; the same account logs in again.
        QTest::newRow("reconnect")
            << "reconnect"
            << QStringList{"busy", "relogin", "Authenticating"} + fullLoginAfter("EnablingAdapter")
            << QStringList{"enable"};
        QTest::newRow("reconnect after the tunnel dropped")
            << "drop, reconnect"
            << QStringList{"relogin", "Authenticating"} + fullLoginAfter("ResettingAdapter")
            << QStringList{"enable", "restart"};
    }

    void logOutAndReconnect()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, tool);
        logInAsDemo();
        if (action.startsWith(QLatin1String("drop"))) {
            tunnel->drop();
            QCOMPARE(story, QStringList()); // the dialog tells the user, not the controller
        }
        if (action == QLatin1String("logout"))
            controller->logout();
        else
            controller->reconnect();
        QTRY_COMPARE_WITH_TIMEOUT(story, expected, 30000);
        QCOMPARE(toolRuns(), tool);
        QTRY_COMPARE_WITH_TIMEOUT(tunnel->getStatus(),
                                  action == QLatin1String("logout") ? Disconnected : Connected,
                                  15000);
        // After a reconnect, the next log-out is one like any other.
        if (action != QLatin1String("logout")) {
            QVERIFY(!controller->isReconnecting());
            controller->logout();
            QTRY_COMPARE_WITH_TIMEOUT(tunnel->getStatus(), Disconnected, 15000);
            QCOMPARE(toolRuns().last(), QStringLiteral("disable"));
            QVERIFY(!story.endsWith(QStringLiteral("relogin")));
        }
    }

    // Once the tunnel is down, no further account request goes out. A
    // tunnel that restarts by itself meanwhile loads the account anew once
    // it is back.
    void accountLoadingFollowsTheTunnel_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("lastLoaded");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("drop while the forwarding loads") << "GetForwarding"
                                                         << "GetAliases"
                                                         << "receiving" << false;
        QTest::newRow("drop while the aliases load") << "GetAliases"
                                                     << "GetEmail"
                                                     << "aliases" << false;
        QTest::newRow("restart while the aliases load") << "GetAliases"
                                                        << "GetEmail"
                                                        << "aliases" << true;
    }

    void accountLoadingFollowsTheTunnel()
    {
        QFETCH(QString, held);
        QFETCH(QString, next);
        QFETCH(QString, lastLoaded);
        QFETCH(bool, restarts);
        const QString rule =
            QStringLiteral("/_control/behave?path=/server/api.php&akce=%1&mode=%2");
        service.control(rule.arg(held, QStringLiteral("delay&ms=1500")));
        // Were it sent, this request would keep the client busy.
        service.control(rule.arg(next, QStringLiteral("stall")));
        controller->logIn(QStringLiteral("demo"), QStringLiteral("demo123"));
        QStringList seen;
        QTRY_VERIFY_WITH_TIMEOUT((seen += requestsSeen()).contains(held), 30000);
        if (restarts)
            tunnel->restart();
        else
            tunnel->drop();
        QTRY_VERIFY_WITH_TIMEOUT(story.contains(lastLoaded), 30000);
        QVERIFY(!controller->findChildren<RequestServer *>().value(0)->isBusy());
        QVERIFY(!story.contains(QStringLiteral("loggedIn")));
        QVERIFY(!(seen + requestsSeen()).contains(next));
        if (!restarts)
            return;
        service.control(QStringLiteral("/_control/reset"));
        story.clear();
        tunnel->connectNow();
        QTRY_COMPARE_WITH_TIMEOUT(story, fullLoginAfter("EnablingAdapter").mid(1), 30000);
    }

    // The stored contact address belongs to one account: the login of
    // another forgets it before that account's own is asked for; a free
    // login, which has none, leaves it. Before any login the owner is the
    // remembered account.
    void contactAddressStaysWithItsAccount_data()
    {
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QStringList>("logins");
        QTest::addColumn<bool>("kept");
        QTest::newRow("the remembered account") << "demo" << QStringList{"demo:demo123"} << true;
        QTest::newRow("the same account twice")
            << "demo" << QStringList{"demo:demo123", "demo:demo123"} << true;
        QTest::newRow("the free account in between")
            << "demo" << QStringList{"free", "demo:demo123"} << true;
        QTest::newRow("another account") << "demo" << QStringList{"fresh:fresh123"} << false;
        QTest::newRow("another account after the free one")
            << "demo" << QStringList{"free", "fresh:fresh123"} << false;
        QTest::newRow("nobody remembered") << "" << QStringList{"demo:demo123"} << false;
    }

    void contactAddressStaysWithItsAccount()
    {
        QFETCH(QString, remembered);
        QFETCH(QStringList, logins);
        QFETCH(bool, kept);
        const QString address = QStringLiteral("first@example.org");
        QSettings().setValue(QLatin1String(SettingsKey::ContactEmail), address);
        if (!remembered.isEmpty())
            controller->setAccount(remembered, QString());
        for (const QString &account : logins) {
            story.clear();
            if (account == QLatin1String("free"))
                controller->logInFree();
            else
                controller->logIn(account.section(QLatin1Char(':'), 0, 0),
                                  account.section(QLatin1Char(':'), 1));
            QTRY_VERIFY_WITH_TIMEOUT(story.contains(QStringLiteral("loggedIn")), 30000);
            controller->logout();
            QTRY_COMPARE_WITH_TIMEOUT(tunnel->getStatus(), Disconnected, 15000);
        }
        QCOMPARE(QSettings().value(QLatin1String(SettingsKey::ContactEmail)).toString(),
                 kept ? address : QString());
    }

    void restartedTunnelKeepsTheLogin()
    {
        logInAsDemo();
        // The controller answers the tunnel's states as they come.
        tunnel->restart();
        tunnel->connectNow();
        QCOMPARE(story, QStringList());
    }

    // Where the program runs from decides the offer: a packaged program is
    // told the version its package manager is to install, from the offered
    // file's name, and never downloads anything.
    void updateCheck_data()
    {
        QTest::addColumn<QString>("offer");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("expected");
        const QString own = QDir::current().filePath(QStringLiteral("app/quillnet"));
        const QString packaged = QStringLiteral("/usr/lib/quillnet/quillnet");
        const QString offered = QStringLiteral("offer=1&answer=");
        auto answer = [&](const char *url) {
            return offered + QString::fromLatin1(QUrl::toPercentEncoding(QLatin1String(url)));
        };
        QTest::newRow("none") << "offer=0" << own << QStringList{"CheckingUpdates", "noUpdate"};
        QTest::newRow("offered") << "offer=1" << own
                                 << QStringList{"CheckingUpdates", "updateOffered"};
        QTest::newRow("own folder, an administrator's prefix")
            << "offer=1"
            << "/usr/local/lib/quillnet/quillnet"
            << QStringList{"CheckingUpdates", "updateOffered"};
        QTest::newRow("own folder, an unpacked package")
            << "offer=1"
            << "/tmp/unpacked/usr/lib/quillnet/quillnet"
            << QStringList{"CheckingUpdates", "updateOffered"};
        QTest::newRow("package, Debian's name")
            << answer("https://127.0.0.1/download/quillnet_2.1.0-1_amd64.deb") << packaged
            << QStringList{"CheckingUpdates", "package update 2.1.0", "idle"};
        QTest::newRow("package, an archive's name")
            << answer("https://127.0.0.1/get/quillnet-2.10.tar.gz") << packaged
            << QStringList{"CheckingUpdates", "package update 2.10", "idle"};
        QTest::newRow("package, no version named")
            << "offer=1" << packaged << QStringList{"CheckingUpdates", "package update ", "idle"};
        // Only the file's name counts: a query may carry anything.
        QTest::newRow("package, a version only in the query")
            << answer("https://127.0.0.1/download.php?file=quillnet_9.9.deb") << packaged
            << QStringList{"CheckingUpdates", "package update ", "idle"};
        QTest::newRow("refused offer to a package")
            << answer("http://127.0.0.1/quillnet_2.1.deb") << packaged
            << QStringList{"CheckingUpdates", "noUpdate"};
    }

    void updateCheck()
    {
        QFETCH(QString, offer);
        QFETCH(QString, program);
        QFETCH(QStringList, expected);
        QFile::remove(QLatin1String(LoginController::UpdaterFile));
        service.control(QStringLiteral("/_control/update?") + offer);
        connect(controller.get(), &LoginController::noUpdate, this,
                [this] { story << "noUpdate"; });
        connect(controller.get(), &LoginController::updateOffered, this,
                [this] { story << "updateOffered"; });
        connect(controller.get(), &LoginController::packageUpdateOffered, this,
                [this](const QString &version) {
                    story << QStringLiteral("package update ") + version;
                    // Asked to download all the same, it fetches nothing.
                    controller->downloadUpdate();
                });
        controller->setProgramPath(program);
        controller->checkUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(story, expected, 15000);
        QTest::qWait(200);
        QCOMPARE(story, expected);
        QCOMPARE(requestsSeen(), QStringList{"/server/update.php"});
        QVERIFY(!QFile::exists(QLatin1String(LoginController::UpdaterFile)));
        service.control(QStringLiteral("/_control/update?offer=0"));
    }
};

QTEST_GUILESS_MAIN(TestLoginController)
#include "tst_logincontroller.moc"
