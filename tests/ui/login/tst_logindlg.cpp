// The whole login through the real login dialog: the local service
// answering the configuration and account requests, a real OpenVPN server
// in a network namespace, the adapter tool and the tray.
#include "HttpProxyPeer.h"
#include "ModalBoxAnswer.h"
#include "ui/login/LoginTestBed.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QTimer>

class TestLoginDlg : public QObject, public LoginTestBed
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!OpenVpnServerPeer::isAvailable())
            QSKIP("needs root, network namespaces and openvpn");
        // The updater the service offers leaves a mark when it runs.
        QFile updater(scratchFile(QStringLiteral("updater.sh")));
        QVERIFY(updater.open(QIODevice::WriteOnly));
        // Large enough to be reported in several steps.
        updater.write("#!/bin/sh\ntouch updater-ran\nexit 0\n" + QByteArray(4 << 20, '#') + "\n");
        updater.close();
        QVERIFY2(startBed({QStringLiteral("--update-file"), updater.fileName()}),
                 qPrintable(bedError));
    }

    void cleanupTestCase() { endBed(); }

    // Each test starts from a dialog that was never logged in.
    void init() { resetBed(); }

    void fullAccountLogsInAndOut()
    {
        newDialog();
        typeCredentials(QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::mouseClick(child<QPushButton>("loginBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(vpnConnection->getStatus(), Connected);
        QVERIFY(!loginDlg->isVisible());
        // The account data is loaded in this order once the tunnel is up.
        QCOMPARE(requestsSeen(),
                 (QStringList{"/server/config.php", "GetForwarding", "GetAliases", "GetEmail"}));
        QCOMPARE(child<QPushButton>("loginBtn")->text(), QStringLiteral("Disconnect"));
        QVERIFY(trayWidget->toolTip().startsWith(QStringLiteral("Quillnet by Korvex\nIP: ") +
                                                 server.serverAddress() +
                                                 QStringLiteral("\nConnected since ")));
        QVERIFY(QFile::exists(QStringLiteral("cert.crt")) &&
                QFile::exists(QStringLiteral("quillnet.ovpn")));

        logOutAndWait();
        QCOMPARE(child<QPushButton>("loginBtn")->text(), QStringLiteral("Log me into quillnet"));
        QCOMPARE(toolRuns(), (QStringList{"enable", "disable"}));
    }

    void freeAccountAsksForNothingElse()
    {
        newDialog();
        QTest::mouseClick(child<QPushButton>("freeLoginBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(requestsSeen(), QStringList{"/server/config.php"});
        QVERIFY(!loginDlg->isFullAccount());
        logOutAndWait();
        QCOMPARE(child<QPushButton>("freeLoginBtn")->text(),
                 QStringLiteral("Login to free quillnet"));
    }

    void refusalsAndFailuresAreExplained_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("behaviour");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("empty password") << "demo"
                                        << ""
                                        << ""
                                        << "Fill in your user name and password, please.";
        QTest::newRow("service refuses") << "demo"
                                         << "wrong"
                                         << ""
                                         << "Login failed.";
        QTest::newRow("tunnel refuses") << "fresh"
                                        << "fresh123"
                                        << ""
                                        << "Authentication failed.";
        QTest::newRow("service unreachable") << "demo"
                                             << "demo123"
                                             << "close"
                                             << "Server connection failure.";
        QTest::newRow("service stalls") << "demo"
                                        << "demo123"
                                        << "stall"
                                        << "Error occured.";
    }

    void refusalsAndFailuresAreExplained()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, behaviour);
        QFETCH(QString, firstLine);
        newDialog();
        if (!behaviour.isEmpty())
            service.control(QStringLiteral("/_control/behave?path=/server/config.php&mode=") +
                            behaviour);
        typeCredentials(user, password);
        QTest::mouseClick(child<QPushButton>("loginBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(attention().contains(firstLine), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("loginBtn")->isEnabled(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(vpnConnection->getStatus(), Disconnected, 15000);
        if (behaviour == QLatin1String("close")) {
            QVERIFY(attention().contains(QStringLiteral("<a href='proxy'>Proxy settings</a>")));
            QVERIFY(attention().contains(QStringLiteral("<a href='support'>Support</a>")));
        }
        QVERIFY(!mainFormShown());
    }

    void failedRequestIsRetriedThroughTheSystemProxy()
    {
        if (!HttpProxyPeer::isAvailable())
            QSKIP("tinyproxy is not installed");
        HttpProxyPeer proxy;
        QVERIFY(proxy.start());
        qputenv("https_proxy", QStringLiteral("http://127.0.0.1:%1").arg(proxy.port()).toUtf8());
        QSettings().setValue(QLatin1String(SettingsKey::ProxySource), 0);
        newDialog();
        // The direct request fails once; the one through the proxy works.
        service.control(
            QStringLiteral("/_control/behave?path=/server/config.php&mode=stall&count=1"));
        typeCredentials(QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::mouseClick(child<QPushButton>("loginBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(QSettings().value(QLatin1String(SettingsKey::ProxySource)).toInt(), 1);
        QVERIFY(
            proxy.log().contains(QStringLiteral("CONNECT 127.0.0.1:%1").arg(service.httpsPort())));
        qunsetenv("https_proxy");
        QSettings().setValue(QLatin1String(SettingsKey::ProxySource), 0);
        logOutAndWait();
    }

    void automaticLoginAfterTheUpdateCheck()
    {
        QSettings settings;
        settings.setValue(QLatin1String(SettingsKey::RememberUser), true);
        settings.setValue(QLatin1String(SettingsKey::AutoLogin), false);
        settings.setValue(QLatin1String(SettingsKey::Username), QStringLiteral("demo"));
        settings.setValue(QLatin1String(SettingsKey::Password), QStringLiteral("demo123"));
        newDialog();
        QCOMPARE(child<QLineEdit>("usernameEdit")->text(), QStringLiteral("demo"));
        QTest::qWait(300);
        QCOMPARE(requestsSeen(), QStringList()); // no login by itself

        delete loginDlg;
        loginDlg = nullptr;
        settings.setValue(QLatin1String(SettingsKey::AutoLogin), true);
        settings.sync();
        loginDlg = new LoginDlg;
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(requestsSeen().mid(0, 2),
                 (QStringList{"/server/update.php", "/server/config.php"}));
        logOutAndWait();
    }

    void reconnectKeepsTheAdapter_data()
    {
        QTest::addColumn<bool>("tunnelEnds");
        QTest::addColumn<bool>("serviceAway");
        QTest::newRow("tunnel up") << false << false;
        // The reconnect then finds the tunnel down already.
        QTest::newRow("tunnel ends while the user is asked") << true << false;
        QTest::newRow("the same, and the login fails") << true << true;
    }

    void reconnectKeepsTheAdapter()
    {
        QFETCH(bool, tunnelEnds);
        QFETCH(bool, serviceAway);
        newDialog();
        typeCredentials(QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::mouseClick(child<QPushButton>("loginBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        MainForm *mainForm = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && qobject_cast<MainForm *>(window))
                mainForm = qobject_cast<MainForm *>(window);
        }
        QVERIFY(mainForm);
        service.takeRequests();
        if (serviceAway)
            service.control(QStringLiteral("/_control/behave?path=/server/config.php&mode=close"));
        {
            ModalBoxAnswer yes(QMessageBox::Yes, [tunnelEnds] {
                if (!tunnelEnds)
                    return true;
                if (vpnConnection->getStatus() == Connected)
                    vpnConnection->stop(false);
                return vpnConnection->getStatus() == Disconnected;
            });
            mainForm->on_reconnectImgBtn_clicked();
            QVERIFY(yes.texts.value(0).endsWith(QStringLiteral("Do you want to reconnect?")));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!mainFormShown(), 5000);
        if (serviceAway) {
            QTRY_VERIFY_WITH_TIMEOUT(
                attention().contains(QStringLiteral("Server connection failure.")), 30000);
            service.control(QStringLiteral("/_control/behave?path=/server/config.php&mode=normal"));
            QTest::mouseClick(child<QPushButton>("loginBtn"), Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(vpnConnection->getStatus(), Connected);
        QVERIFY(!loginDlg->isVisible());
        QCOMPARE(requestsSeen().first(), QStringLiteral("/server/config.php"));
        QVERIFY(!toolRuns().contains(QStringLiteral("disable")));

        // The next log-out is one like any other: the adapter goes, and no
        // login follows.
        logOutAndWait();
        QCOMPARE(toolRuns().last(), QStringLiteral("disable"));
    }

    // An error page in place of the updater is neither kept nor run, and
    // the user is told.
    void failedUpdateDownloadRunsNothing()
    {
        QFile::remove(QStringLiteral("updater-ran"));
        service.control(QStringLiteral("/_control/update?offer=1"));
        service.control(QStringLiteral("/_control/behave?path=/download/update&mode=http-error"));
        {
            ModalBoxAnswer yes(QMessageBox::Yes);
            newDialog();
        }
        QTRY_VERIFY_WITH_TIMEOUT(attention().contains(QStringLiteral("Update failed.")), 20000);
        QVERIFY(child<QPushButton>("loginBtn")->isEnabled());
        QVERIFY(!QFile::exists(QStringLiteral("update")));
        QTest::qWait(500);
        QVERIFY(!QFile::exists(QStringLiteral("updater-ran")));
        service.control(QStringLiteral("/_control/update?offer=0"));
    }

    // Last: once the client has ended the event loop, no nested loop of this
    // process runs again.
    void updateDeclinedThenInstalled()
    {
        QFile::remove(QStringLiteral("updater-ran"));
        service.control(QStringLiteral("/_control/update?offer=1"));
        {
            ModalBoxAnswer no(QMessageBox::No);
            newDialog();
            QVERIFY(
                no.texts.value(0).startsWith(QStringLiteral("Update of Quillnet is available.")));
        }
        // Declined: the dialog is there for a login as usual.
        QVERIFY(child<QPushButton>("loginBtn")->isEnabled());
        // Progress shows as a whole percentage, without dots.
        QLabel *statusLbl = child<QLabel>("statusLbl");
        loginDlg->updateProgress(1, 3);
        QCOMPARE(statusLbl->QLabel::text(), QStringLiteral("Downloading 33%"));
        loginDlg->updateProgress(7, 0); // size unknown: nothing to show
        QTest::qWait(500);
        QCOMPARE(statusLbl->QLabel::text(), QStringLiteral("Downloading 33%"));

        ModalBoxAnswer yes(QMessageBox::Yes);
        delete loginDlg;
        loginDlg = new LoginDlg;
        // The client ends its event loop once the updater runs.
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, [&] { loop.exit(1); });
        QCOMPARE(loop.exec(), 0);
        QVERIFY(QFileInfo(QStringLiteral("update")).isExecutable());
        QTRY_VERIFY(QFile::exists(QStringLiteral("updater-ran")));
    }
};

QTEST_MAIN(TestLoginDlg)
#include "tst_logindlg.moc"
