// The request client against the local test service over real sockets:
// exact request lines, one request at a time, time-outs, trimmed bodies,
// certificate pinning, value encoding and downloads.
#include "HttpProxyPeer.h"
#include "ServicePeer.h"
#include "net/RequestServer.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#include <sys/resource.h>

using Operation = std::function<bool(RequestServer &)>;
Q_DECLARE_METATYPE(Operation)

namespace {

const QString Login = QStringLiteral("/server/api.php?login=demo&heslo=demo123");

// Limits for the cases that wait for a time-out: far above what a request
// to the local service takes, far below the product's.
const int ShortRequestTimeoutMs = 1500;
const int ShortDownloadIdleTimeoutMs = 1500;

} // namespace

class TestRequestServer : public QObject
{
    Q_OBJECT

    ServicePeer service;
    QTemporaryDir dir;

    // A client logged in as the service's registered demo account.
    std::unique_ptr<RequestServer> newClient()
    {
        auto client = std::make_unique<RequestServer>(QStringLiteral("127.0.0.1"), nullptr);
        client->setUser(QStringLiteral("demo"), QStringLiteral("demo123"));
        return client;
    }

    // Waits for the one completion signal of the pending request.
    static bool waitFree(RequestServer &client, int ms = 15000)
    {
        QSignalSpy free(&client, &RequestServer::requestServerFree);
        return free.wait(ms);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        // Read once by the client, at its first request.
        qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(service.deploymentFile()));
    }

    void init() { service.control(QStringLiteral("/_control/reset")); }

    void everyOperationSendsItsRequestAndReportsOnce_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("target");

        const MailRedir demo(QStringLiteral("fresh"), QStringLiteral("me@mail.example"));
        const MailRedir other(QStringLiteral("other"), QString());
        QTest::newRow("config") << Operation([](RequestServer &c) { return c.getConfig(); })
                                << "getConfigDone"
                                << "https"
                                << "/server/config.php?login=demo&heslo=demo123";
        QTest::newRow("contact") << Operation([](RequestServer &c) { return c.getContact(); })
                                 << "getContactDone"
                                 << "https" << Login + "&akce=GetEmail";
        QTest::newRow("change contact") << Operation([](RequestServer &c) {
            return c.changeContact(QStringLiteral("new@mail.example"));
        }) << "changeContactDone"
                                        << "https"
                                        << Login + "&akce=SetEmail&email=new@mail.example";
        QTest::newRow("change password") << Operation([](RequestServer &c) {
            return c.changePassword(QStringLiteral("secret2"));
        }) << "changePasswordDone"
                                         << "https" << Login + "&akce=SetHeslo&noveheslo=secret2";
        QTest::newRow("aliases") << Operation([](RequestServer &c) { return c.getAliases(); })
                                 << "getAliasesDone"
                                 << "https" << Login + "&akce=GetAliases";
        QTest::newRow("add alias")
            << Operation([demo](RequestServer &c) { return c.addAlias(demo, false); })
            << "addAliasDone"
            << "https" << Login + "&akce=AddAlias&email=fresh,me@mail.example";
        QTest::newRow("add junk") << Operation([other](RequestServer &c) {
            return c.addAlias(other, true);
        }) << "addJunkDone"
                                  << "https" << Login + "&akce=AddAlias&email=other,";
        QTest::newRow("delete alias")
            << Operation([demo](RequestServer &c) { return c.deleteAlias(demo); })
            << "deleteAliasDone"
            << "https" << Login + "&akce=DeleteAlias&email=fresh,me@mail.example";
        QTest::newRow("change alias")
            << Operation([demo, other](RequestServer &c) { return c.changeAlias(demo, other); })
            << "changeAliasDone"
            << "https" << Login + "&akce=ChangeAlias&oldemail=fresh,me@mail.example&email=other,";
        QTest::newRow("update check")
            << Operation([](RequestServer &c) { return c.checkUpdate(); }) << "checkUpdateDone"
            << "https"
            << "/server/update.php?verze=2002";
        QTest::newRow("receiving")
            << Operation([](RequestServer &c) { return c.getReceiving(); }) << "getReceivingDone"
            << "https" << Login + "&akce=GetForwarding";
        QTest::newRow("receiving on")
            << Operation([](RequestServer &c) { return c.setReceiving(true); })
            << "setReceivingDone"
            << "https" << Login + "&akce=SetForwarding&forwarding=1";
        QTest::newRow("receiving off")
            << Operation([](RequestServer &c) { return c.setReceiving(false); })
            << "setReceivingDone"
            << "https" << Login + "&akce=SetForwarding&forwarding=0";
    }

    void everyOperationSendsItsRequestAndReportsOnce()
    {
        QFETCH(Operation, operation);
        QFETCH(QString, signal);
        QFETCH(QString, scheme);
        QFETCH(QString, target);

        auto client = newClient();
        // Every completion signal is watched: exactly the operation's own fires.
        std::vector<std::pair<QString, std::unique_ptr<QSignalSpy>>> spies;
        const QMetaObject *meta = client->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() == QMetaMethod::Signal && method.name().endsWith("Done"))
                spies.emplace_back(QString::fromLatin1(method.name()),
                                   std::make_unique<QSignalSpy>(client.get(), method));
        }
        QSignalSpy busy(client.get(), &RequestServer::requestServerBusy);

        QVERIFY(operation(*client));
        QCOMPARE(busy.count(), 1);
        QVERIFY(client->isBusy());
        QVERIFY(waitFree(*client));
        QVERIFY(!client->isBusy());
        for (const auto &[name, spy] : spies) {
            QCOMPARE(spy->count(), name == signal ? 1 : 0);
            if (name != signal)
                continue;
            const QList<QVariant> args = spy->first();
            QVERIFY2(args.last().toBool(), "the transport should have succeeded");
            const QByteArray body = args.at(args.size() - 2).toByteArray();
            QVERIFY2(!body.isEmpty() && body == body.trimmed(), body.constData());
        }

        const QJsonArray requests = service.takeRequests();
        QCOMPARE(requests.size(), 1);
        const QJsonObject request = requests.first().toObject();
        QCOMPARE(request.value(QStringLiteral("scheme")).toString(), scheme);
        QCOMPARE(request.value(QStringLiteral("path")).toString(), target);
    }

    void completionSignalsCarryTheirRecords()
    {
        auto client = newClient();
        const MailRedir oldRedir(QStringLiteral("old1"), QStringLiteral("a@mail.example"));
        const MailRedir newRedir(QStringLiteral("new1"), QString());
        QSignalSpy changed(client.get(), &RequestServer::changeAliasDone);
        QVERIFY(client->changeAlias(oldRedir, newRedir));
        QVERIFY(changed.wait(15000));
        QCOMPARE(changed.first().at(0).value<MailRedir>(), oldRedir);
        QCOMPARE(changed.first().at(1).value<MailRedir>(), newRedir);

        QSignalSpy receiving(client.get(), &RequestServer::setReceivingDone);
        QVERIFY(client->setReceiving(true));
        QVERIFY(receiving.wait(15000));
        QCOMPARE(receiving.first().at(0).toBool(), true);
    }

    void oneRequestAtATimeAndTheTimeOut()
    {
        service.control(QStringLiteral("/_control/behave?path=/server/api.php&mode=stall"));
        auto client = newClient();
        client->setTimeouts(ShortRequestTimeoutMs, RequestServer::DownloadIdleTimeoutMs);
        QSignalSpy busy(client.get(), &RequestServer::requestServerBusy);
        QSignalSpy contact(client.get(), &RequestServer::getContactDone);
        QSignalSpy aliases(client.get(), &RequestServer::getAliasesDone);
        QSignalSpy free(client.get(), &RequestServer::requestServerFree);

        QVERIFY(client->getContact());
        QCOMPARE(busy.count(), 1);
        // Refused, not queued: no signal, nothing sent, the first untouched.
        QVERIFY(!client->getAliases());
        QVERIFY(!client->downloadUpdate(QUrl(QStringLiteral("https://127.0.0.1/x")),
                                        dir.filePath(QStringLiteral("never"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("never"))));
        QCOMPARE(busy.count(), 1);

        QVERIFY(free.wait(ShortRequestTimeoutMs + 5000));
        QCOMPARE(contact.count(), 1);
        QCOMPARE(contact.first().at(0).toByteArray(), QByteArray("Connection timeout."));
        QCOMPARE(contact.first().at(1).toBool(), false);
        QCOMPARE(aliases.count(), 0);
        QCOMPARE(free.count(), 1);
        QCOMPARE(service.takeRequests().size(), 1);

        // Once free, the client takes the next request.
        service.control(QStringLiteral("/_control/reset"));
        QVERIFY(client->getAliases());
        QVERIFY(waitFree(*client));
        QCOMPARE(aliases.count(), 1);
        QCOMPARE(aliases.first().at(1).toBool(), true);
    }

    void answersAreJudgedByTheirTrimmedBody_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::newRow("padded status word") << "padded" << QByteArray("1") << true;
        QTest::newRow("refusal") << "zero" << QByteArray("0") << true;
        QTest::newRow("garbage") << "garbage" << QByteArray("<html>oops</html>") << true;
        QTest::newRow("closed without answer") << "close" << QByteArray() << false;
    }

    void answersAreJudgedByTheirTrimmedBody()
    {
        QFETCH(QString, mode);
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        service.control(QStringLiteral("/_control/behave?path=/server/api.php&mode=") + mode);
        auto client = newClient();
        QSignalSpy done(client.get(), &RequestServer::setReceivingDone);
        QVERIFY(client->setReceiving(true));
        QVERIFY(done.wait(15000));
        QCOMPARE(done.first().at(1).toByteArray(), body);
        QCOMPARE(done.first().at(2).toBool(), ok);
    }

    void valuesWithQuerySyntaxArriveIntact()
    {
        auto client = newClient();
        const MailRedir tricky(QStringLiteral("a&b=c"), QStringLiteral("x+y #1%20@mail.example"));
        QSignalSpy added(client.get(), &RequestServer::addAliasDone);
        QVERIFY(client->addAlias(tricky, false));
        QVERIFY(added.wait(15000));
        QCOMPARE(added.first().at(1).toByteArray(), QByteArray("1"));
        // One query field each: nothing was split off or injected.
        const QJsonObject request = service.takeRequests().first().toObject();
        const QJsonObject args = request.value(QStringLiteral("args")).toObject();
        QCOMPARE(args.value(QStringLiteral("email")).toString(), tricky.toString());
        QCOMPARE(args.keys(), (QStringList{"akce", "email", "heslo", "login"}));

        QSignalSpy listed(client.get(), &RequestServer::getAliasesDone);
        QVERIFY(client->getAliases());
        QVERIFY(listed.wait(15000));
        QVERIFY2(listed.first().at(0).toByteArray().contains(tricky.toString().toUtf8()),
                 listed.first().at(0).toByteArray().constData());
    }

    void pinnedCertificateIsRequiredOnEveryConnection()
    {
        auto client = newClient();
        QSignalSpy config(client.get(), &RequestServer::getConfigDone);
        QVERIFY(client->getConfig());
        QVERIFY(config.wait(15000));
        QCOMPARE(config.last().at(1).toBool(), true);

        // Same client, same host: the earlier accepted connection must not
        // carry the next request past the check.
        service.control(QStringLiteral("/_control/cert?name=other"));
        QVERIFY(client->getConfig());
        QVERIFY(config.wait(15000));
        QCOMPARE(config.last().at(0).toByteArray(),
                 QByteArray("Unable to autenticate server certificate."));
        QCOMPARE(config.last().at(1).toBool(), false);

        // A certificate this machine's trust store vouches for (an
        // intercepting proxy's authority, say) is no pin either: with
        // nothing to complain about, the check must still be made.
        const QSslConfiguration systemTrust = QSslConfiguration::defaultConfiguration();
        QSslConfiguration interceptedTrust = systemTrust;
        interceptedTrust.addCaCertificates(
            QSslCertificate::fromPath(qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                                      QStringLiteral("/tests/peers/certs/other.crt")));
        QSslConfiguration::setDefaultConfiguration(interceptedTrust);
        QVERIFY(client->getConfig());
        QVERIFY(config.wait(15000));
        QSslConfiguration::setDefaultConfiguration(systemTrust);
        QCOMPARE(config.last().at(0).toByteArray(),
                 QByteArray("Unable to autenticate server certificate."));
        QCOMPARE(config.last().at(1).toBool(), false);

        service.control(QStringLiteral("/_control/cert?name=main"));
        QVERIFY(client->checkUpdate());
        QSignalSpy update(client.get(), &RequestServer::checkUpdateDone);
        QVERIFY(update.wait(15000));
        QCOMPARE(update.last().at(1).toBool(), true);
    }

    // Against a service that keeps connections open, as HTTP/1.1 servers
    // do: an account request that follows the last one at once goes out on
    // that one's connection (checked against the pin when it was made);
    // after a pause, or after the configuration (whose connection was made
    // before the tunnel was up), a new connection is made.
    void onlyChainedAccountRequestsShareAConnection_data()
    {
        QTest::addColumn<Operation>("first");
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<bool>("shared");
        const Operation receiving = [](RequestServer &c) { return c.getReceiving(); };
        QTest::newRow("one after the other") << receiving << 0 << true;
        QTest::newRow("after a pause") << receiving << 1500 << false;
        QTest::newRow("after the configuration")
            << Operation([](RequestServer &c) { return c.getConfig(); }) << 0 << false;
    }

    void onlyChainedAccountRequestsShareAConnection()
    {
        QFETCH(Operation, first);
        QFETCH(int, pauseMs);
        QFETCH(bool, shared);
        service.control(QStringLiteral("/_control/keep-alive?on=1"));

        auto client = newClient();
        QVERIFY(first(*client));
        QVERIFY(waitFree(*client));
        QTest::qWait(pauseMs);
        QSignalSpy aliases(client.get(), &RequestServer::getAliasesDone);
        QVERIFY(client->getAliases());
        QVERIFY(aliases.wait(15000));
        QCOMPARE(aliases.first().at(1).toBool(), true);

        const QJsonArray requests = service.takeRequests();
        QCOMPARE(requests.size(), 2);
        const auto port = [&](int i) { return requests.at(i).toObject().value("peer_port"); };
        QVERIFY(port(0).isDouble());
        QCOMPARE(port(0) == port(1), shared);
    }

    void downloadWritesTheWholeFileAndReportsOnce()
    {
        const int size = 3 * 1024 * 1024 + 17;
        service.control(QStringLiteral("/_control/update?offer=1&size=%1").arg(size));
        auto client = newClient();
        QSignalSpy progress(client.get(), &RequestServer::updateProgress);
        QSignalSpy done(client.get(), &RequestServer::downloadUpdateDone);
        QSignalSpy free(client.get(), &RequestServer::requestServerFree);
        const QString file = dir.filePath(QStringLiteral("update"));

        QVERIFY(client->downloadUpdate(
            QUrl(QStringLiteral("https://127.0.0.1:%1/download/update").arg(service.httpsPort())),
            file));
        QVERIFY(done.wait(20000));
        QCOMPARE(done.first().at(1).toBool(), true);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().at(0).toInt(), size);
        QCOMPARE(progress.last().at(1).toInt(), size);
        QCOMPARE(QFileInfo(file).size(), qint64(size));

        // Nothing more arrives later (no second report from the self-abort),
        // and the client serves the next request normally.
        QTest::qWait(300);
        QCOMPARE(done.count(), 1);
        QCOMPARE(free.count(), 1);
        QVERIFY(client->getReceiving());
        QVERIFY(waitFree(*client));
    }

    // An answer far beyond anything the service sends is cut off and
    // reported, not kept in memory.
    void oversizedAnswerIsRefused_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("signal");
        QTest::newRow("alias list")
            << Operation([](RequestServer &c) { return c.getAliases(); }) << "/server/api.php"
            << "getAliasesDone";
        QTest::newRow("configuration")
            << Operation([](RequestServer &c) { return c.getConfig(); }) << "/server/config.php"
            << "getConfigDone";
    }

    void oversizedAnswerIsRefused()
    {
        QFETCH(Operation, operation);
        QFETCH(QString, path);
        QFETCH(QString, signal);
        service.control(QStringLiteral("/_control/behave?path=%1&mode=huge").arg(path));
        auto client = newClient();
        QSignalSpy done(client.get(),
                        QByteArray("2" + signal.toLatin1() + "(QByteArray,bool)").constData());
        QVERIFY(operation(*client));
        QVERIFY(done.wait(20000));
        QCOMPARE(done.first().at(0).toByteArray(), QByteArray(RequestServer::TooLargeText));
        QCOMPARE(done.first().at(1).toBool(), false);
        service.control(QStringLiteral("/_control/reset"));
    }

    // An error page or a file that could not be saved whole is never
    // reported as a downloaded updater.
    void failedDownloadIsNoUpdate_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QByteArray>("response");
        QTest::newRow("server error page") << "http-error" << false << QByteArray();
        QTest::newRow("disk full") << "normal" << true << QByteArray(RequestServer::SaveFailedText);
    }

    void failedDownloadIsNoUpdate()
    {
        QFETCH(QString, mode);
        QFETCH(bool, diskFull);
        QFETCH(QByteArray, response);
        const QString path = dir.filePath(QStringLiteral("update"));
        service.control(QStringLiteral("/_control/update?offer=1&size=300000"));
        service.control(QStringLiteral("/_control/behave?path=/download/update&mode=%1").arg(mode));
        auto client = newClient();
        QSignalSpy done(client.get(), &RequestServer::downloadUpdateDone);

        // A file size limit fails the writes the way a full disk does.
        struct rlimit saved;
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_FSIZE, &saved); });
        if (diskFull) {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit small = saved;
            small.rlim_cur = 100000;
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        }
        QVERIFY(client->downloadUpdate(
            QUrl(QStringLiteral("https://127.0.0.1:%1/download/update").arg(service.httpsPort())),
            path));
        QVERIFY(done.wait(20000));
        QCOMPARE(done.first().at(1).toBool(), false);
        if (!response.isEmpty())
            QCOMPARE(done.first().at(0).toByteArray(), response);
        if (!diskFull)
            QCOMPARE(QFileInfo(path).size(), qint64(0));
        service.control(QStringLiteral("/_control/behave?path=/download/update&mode=normal"));
    }

    void downloadRefusedWhenTheFileCannotBeWritten()
    {
        auto client = newClient();
        QSignalSpy busy(client.get(), &RequestServer::requestServerBusy);
        QVERIFY(!client->downloadUpdate(QUrl(QStringLiteral("https://127.0.0.1/x")),
                                        dir.filePath(QStringLiteral("no/such/folder/update"))));
        QCOMPARE(busy.count(), 0);
        QVERIFY(!client->isBusy());
    }

    void stalledDownloadTimesOut()
    {
        service.control(QStringLiteral("/_control/update?offer=1&size=200000"));
        service.control(
            QStringLiteral("/_control/behave?path=/download/update&mode=slow-download"));
        auto client = newClient();
        client->setTimeouts(RequestServer::RequestTimeoutMs, ShortDownloadIdleTimeoutMs);
        QSignalSpy done(client.get(), &RequestServer::downloadUpdateDone);
        QVERIFY(client->downloadUpdate(
            QUrl(QStringLiteral("https://127.0.0.1:%1/download/update").arg(service.httpsPort())),
            dir.filePath(QStringLiteral("stalled"))));
        QVERIFY(done.wait(ShortDownloadIdleTimeoutMs + 10000));
        QCOMPARE(done.first().at(0).toByteArray(), QByteArray("Connection timeout."));
        QCOMPARE(done.first().at(1).toBool(), false);
    }

    // The configuration goes through the user's proxy: the tunnel is not up
    // yet. Account requests are made only through the tunnel and carry the
    // password in a plain-HTTP query, so they never go to the proxy.
    void theProxyCarriesTheConfigurationNeverThePassword_data()
    {
        QTest::addColumn<QString>("proxyUser");
        QTest::addColumn<QString>("clientUser");
        QTest::addColumn<bool>("ok");
        QTest::newRow("open proxy") << ""
                                    << "" << true;
        QTest::newRow("proxy with credentials") << "proxyuser"
                                                << "proxyuser" << true;
        QTest::newRow("wrong proxy credentials") << "proxyuser"
                                                 << "intruder" << false;
    }

    void theProxyCarriesTheConfigurationNeverThePassword()
    {
        QFETCH(QString, proxyUser);
        QFETCH(QString, clientUser);
        QFETCH(bool, ok);
        if (!HttpProxyPeer::isAvailable())
            QSKIP("tinyproxy is not installed");
        HttpProxyPeer proxy;
        QVERIFY2(proxy.start(proxyUser, QStringLiteral("pw1")), qPrintable(proxy.errorString()));

        auto client = newClient();
        client->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"),
                                       proxy.port(), clientUser, QStringLiteral("pw1")));
        // HTTPS is tunnelled and the pin still holds behind the proxy; a
        // proxy's refusal is not taken for a success.
        QSignalSpy config(client.get(), &RequestServer::getConfigDone);
        QVERIFY(client->getConfig());
        QVERIFY(config.wait(15000));
        QCOMPARE(config.first().at(1).toBool(), ok);
        QSignalSpy aliases(client.get(), &RequestServer::getAliasesDone);
        QVERIFY(client->getAliases());
        QVERIFY(aliases.wait(15000));
        QCOMPARE(aliases.first().at(1).toBool(), true);

        const QString log = proxy.log();
        QVERIFY2(log.contains(QStringLiteral("CONNECT 127.0.0.1:%1").arg(service.httpsPort())),
                 qPrintable(log));
        QVERIFY2(!log.contains(QStringLiteral("heslo")), qPrintable(log));
        const QJsonArray requests = service.takeRequests();
        QCOMPARE(requests.size(), ok ? 2 : 1);
        const QString headers = QString::fromUtf8(
            QJsonDocument(requests.last().toObject().value(QStringLiteral("headers")).toArray())
                .toJson());
        QVERIFY2(!headers.contains(QStringLiteral("tinyproxy")), qPrintable(headers));
    }

    void refusedConnectionIsATransportFailure()
    {
        service.stop();
        auto client = newClient();
        QSignalSpy done(client.get(), &RequestServer::getAliasesDone);
        QVERIFY(client->getAliases());
        QVERIFY(done.wait(15000));
        QCOMPARE(done.first().at(1).toBool(), false);
        QVERIFY2(done.first().at(0).toByteArray() != "Connection timeout.",
                 "refusal is not a time-out");
    }
};

QTEST_GUILESS_MAIN(TestRequestServer)
#include "tst_requestserver.moc"
