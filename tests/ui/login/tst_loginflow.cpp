// The login dialog on the scripted tunnel: what the user sees of a login,
// a failure, a reconnect and an update, with the local service answering.
// Needs neither root nor OpenVPN. The flow's decisions are tested in
// tst_logincontroller, the real tunnel's share in tst_logindlg and
// tst_loginfaults.
#include "ScriptedBoxes.h"
#include "core/ApplicationVersion.h"
#include "core/Deployment.h"
#include "net/RequestServer.h"
#include "ui/login/LoginTestBed.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>
#include <QUrl>

class TestLoginFlow : public QObject, public LoginTestBed
{
    Q_OBJECT

    QStringList openedUrls;

    QPushButton *button(const char *name) const { return child<QPushButton>(name); }

    static MainForm *shownMainForm()
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && qobject_cast<MainForm *>(window))
                return qobject_cast<MainForm *>(window);
        }
        return nullptr;
    }

    void logInAsDemo()
    {
        typeCredentials(QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::mouseClick(button("loginBtn"), Qt::LeftButton);
    }

public slots:
    // The desktop's browser, for the links the client opens.
    void openUrl(const QUrl &url) { openedUrls << url.toString(); }

private slots:
    void initTestCase()
    {
        // The updater the service offers leaves a mark when it runs.
        QFile updater(scratchFile(QStringLiteral("updater.sh")));
        QVERIFY(updater.open(QIODevice::WriteOnly));
        // Large enough to be reported in several steps.
        updater.write("#!/bin/sh\ntouch updater-ran\nexit 0\n" + QByteArray(4 << 20, '#') + "\n");
        updater.close();
        QVERIFY2(
            startBed({QStringLiteral("--update-file"), updater.fileName()}, ScriptedTunnelKind),
            qPrintable(bedError));
    }

    void cleanupTestCase() { endBed(); }

    void init()
    {
        resetBed();
        scriptedTunnel()->setConnectsByItself(true);
    }

    void loginLoadsTheAccountAndLogsOut_data()
    {
        QTest::addColumn<QString>("loginButton");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tunnelUser");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("full account")
            << "loginBtn"
            << "Log me into quillnet"
            << "demo"
            << QStringList{"/server/config.php", "GetForwarding", "GetAliases", "GetEmail"};
        // The free account asks for nothing but the configuration.
        QTest::newRow("free account") << "freeLoginBtn"
                                      << "Login to free quillnet"
                                      << "vestor" << QStringList{"/server/config.php"};
    }

    void loginLoadsTheAccountAndLogsOut()
    {
        QFETCH(QString, loginButton);
        QFETCH(QString, caption);
        QFETCH(QString, tunnelUser);
        QFETCH(QStringList, requests);
        newDialog();
        typeCredentials(QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::mouseClick(button(qPrintable(loginButton)), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QVERIFY(!dialog()->isVisible());
        QCOMPARE(requestsSeen(), requests);
        QCOMPARE(scriptedTunnel()->user(), tunnelUser);
        QCOMPARE(scriptedTunnel()->config(), QStringLiteral("quillnet.ovpn"));
        QVERIFY(QFile::exists(QStringLiteral("cert.crt")) &&
                QFile::exists(QStringLiteral("quillnet.ovpn")));
        QCOMPARE(button(qPrintable(loginButton))->text(), QStringLiteral("Disconnect"));
        QVERIFY(tray()->toolTip().startsWith(
            QStringLiteral("Quillnet by Korvex\nIP: 10.8.0.1\nConnected since ")));

        logOutAndWait();
        QCOMPARE(button(qPrintable(loginButton))->text(), caption);
        QCOMPARE(toolRuns(), (QStringList{"enable", "disable"}));
        QCOMPARE(tray()->toolTip(), QStringLiteral("Quillnet by Korvex"));
    }

    // Two people on one machine: the second never gets the first one's
    // contact address as the support form's reply address, even when the
    // service cannot tell the second one's.
    void nextAccountNeverUsesTheLastOnesContact_data()
    {
        QTest::addColumn<QString>("contactMode");
        QTest::newRow("none on record") << "normal";
        QTest::newRow("the contact request fails") << "close";
    }

    void nextAccountNeverUsesTheLastOnesContact()
    {
        QFETCH(QString, contactMode);
        newDialog();
        logInAsDemo();
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        MainForm *form = shownMainForm();
        auto *sender = form->findChild<QLineEdit *>(QStringLiteral("senderEdit"));
        QCOMPARE(sender->text(), QStringLiteral("demo@contact.example"));
        // Logged out on the window's exit page, as the user does.
        {
            ScriptedBoxes yes(QMessageBox::Yes);
            form->on_logoutImgBtn_clicked();
        }
        QTRY_VERIFY_WITH_TIMEOUT(button("loginBtn")->isEnabled(), 15000);
        QVERIFY(!mainFormShown());

        service.control(
            QStringLiteral("/_control/behave?path=/server/api.php&akce=GetEmail&mode=") +
            contactMode);
        typeCredentials(QStringLiteral("fresh"), QStringLiteral("fresh123"));
        QTest::mouseClick(button("loginBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(shownMainForm(), form);
        QCOMPARE(sender->text(), QString());
        QCOMPARE(QSettings().value(QLatin1String(SettingsKey::ContactEmail)).toString(), QString());
        logOutAndWait();
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
                                        << "Fill in your user name and password.";
        QTest::newRow("service refuses") << "demo"
                                         << "wrong"
                                         << ""
                                         << "Login failed.";
        QTest::newRow("tunnel refuses") << "demo"
                                        << "demo123"
                                        << "tunnel-fails"
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
        if (behaviour == QLatin1String("stall"))
            shortenRequestTimeout(3000);
        const bool tunnelFails = behaviour == QLatin1String("tunnel-fails");
        if (tunnelFails)
            scriptedTunnel()->setConnectsByItself(false);
        else if (!behaviour.isEmpty())
            service.control(QStringLiteral("/_control/behave?path=/server/config.php&mode=") +
                            behaviour);
        const qsizetype callsBefore = scriptedTunnel()->calls().size();
        typeCredentials(user, password);
        QTest::mouseClick(button("loginBtn"), Qt::LeftButton);
        if (tunnelFails) {
            QTRY_COMPARE_WITH_TIMEOUT(tunnel()->getStatus(), Connecting, 30000);
            scriptedTunnel()->fail(QStringLiteral(
                "Authentication failed.\nCheck your VPN access subscription, please."));
        }
        QTRY_VERIFY_WITH_TIMEOUT(attention().contains(firstLine), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(button("loginBtn")->isEnabled(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(tunnel()->getStatus(), Disconnected, 15000);
        if (behaviour == QLatin1String("close")) {
            QVERIFY(attention().contains(QStringLiteral("<a href='proxy'>Proxy settings</a>")));
            QVERIFY(attention().contains(QStringLiteral("<a href='support'>Support</a>")));
        }
        // Only a tunnel that was asked for may have been started.
        QCOMPARE(scriptedTunnel()->calls().mid(callsBefore).contains(QStringLiteral("start")),
                 tunnelFails);
        QVERIFY(!mainFormShown());
    }

    // A privacy client fails closed: once the tunnel is down, no further
    // account request leaves the machine outside it.
    void tunnelDownStopsTheAccountLoading_data()
    {
        QTest::addColumn<QString>("heldRequest");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("while the forwarding loads")
            << "GetForwarding" << QStringList{"/server/config.php", "GetForwarding"};
        QTest::newRow("while the aliases load")
            << "GetAliases" << QStringList{"/server/config.php", "GetForwarding", "GetAliases"};
    }

    void tunnelDownStopsTheAccountLoading()
    {
        QFETCH(QString, heldRequest);
        QFETCH(QStringList, requests);
        newDialog();
        // The held answer comes only after the tunnel is down.
        service.control(QStringLiteral("/_control/behave?path=/server/api.php&akce=") +
                        heldRequest + QStringLiteral("&mode=delay&ms=1500"));
        RequestServer *client = dialog()->findChildren<RequestServer *>().value(0);
        QVERIFY(client);
        bool answered = false;
        bool busyAfterAnswer = false;
        // Connected after the dialog's own slot: sees what the dialog did.
        const auto note = [&] {
            answered = true;
            busyAfterAnswer = client->isBusy();
        };
        const QMetaObject::Connection watch =
            heldRequest == QLatin1String("GetForwarding")
                ? connect(client, &RequestServer::getReceivingDone, this, note)
                : connect(client, &RequestServer::getAliasesDone, this, note);
        logInAsDemo();
        QStringList seen;
        QTRY_VERIFY_WITH_TIMEOUT((seen += requestsSeen()).contains(heldRequest), 30000);
        scriptedTunnel()->drop();
        QTRY_VERIFY_WITH_TIMEOUT(answered, 30000);
        disconnect(watch);
        QVERIFY(!busyAfterAnswer);
        QCOMPARE(seen + requestsSeen(), requests);
        QVERIFY(!mainFormShown());
        QVERIFY(attention().contains(QStringLiteral("Server connection failure.")));
        QVERIFY(button("loginBtn")->isEnabled());
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

        closeDialog();
        settings.setValue(QLatin1String(SettingsKey::AutoLogin), true);
        settings.sync();
        replaceDialog();
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
        logInAsDemo();
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        MainForm *mainForm = shownMainForm();
        QVERIFY(mainForm);
        service.takeRequests();
        if (serviceAway)
            service.control(QStringLiteral("/_control/behave?path=/server/config.php&mode=close"));
        {
            // The tunnel may end while the user reads the question.
            ScriptedBoxes yes(QMessageBox::Yes, [this, tunnelEnds](QMessageBox &) {
                if (!tunnelEnds)
                    return;
                if (tunnel()->getStatus() == Connected)
                    tunnel()->stop(false);
                QVERIFY(QTest::qWaitFor([this] { return tunnel()->getStatus() == Disconnected; },
                                        15000));
            });
            mainForm->on_reconnectImgBtn_clicked();
            QVERIFY(yes.texts().value(0).endsWith(QStringLiteral("Do you want to reconnect?")));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!mainFormShown(), 5000);
        if (serviceAway) {
            QTRY_VERIFY_WITH_TIMEOUT(
                attention().contains(QStringLiteral("Server connection failure.")), 30000);
            service.control(QStringLiteral("/_control/behave?path=/server/config.php&mode=normal"));
            QTest::mouseClick(button("loginBtn"), Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(tunnel()->getStatus(), Connected);
        QVERIFY(!dialog()->isVisible());
        QCOMPARE(requestsSeen().first(), QStringLiteral("/server/config.php"));
        QVERIFY(!toolRuns().contains(QStringLiteral("disable")));

        // The next log-out is one like any other: the adapter goes, and no
        // login follows.
        logOutAndWait();
        QCOMPARE(toolRuns().last(), QStringLiteral("disable"));
    }

    // An updater that did not arrive, or arrived and does not start, is
    // neither kept nor run, and the user is told which of the two it was.
    void failedUpdateRunsNothing_data()
    {
        QTest::addColumn<QString>("offer");
        QTest::addColumn<QString>("download");
        QTest::addColumn<QString>("reason");
        QTest::newRow("error page") << "offer=1"
                                    << "http-error"
                                    << "The update could not be downloaded.";
        // Bytes that are no program: downloaded whole, refused by exec.
        QTest::newRow("not a program") << "offer=1&size=300000"
                                       << "normal"
                                       << "The update was downloaded but could not be started.";
    }

    void failedUpdateRunsNothing()
    {
        QFETCH(QString, offer);
        QFETCH(QString, download);
        QFETCH(QString, reason);
        QFile::remove(QStringLiteral("updater-ran"));
        service.control(QStringLiteral("/_control/update?") + offer);
        service.control(QStringLiteral("/_control/behave?path=/download/update&mode=") + download);
        {
            ScriptedBoxes yes(QMessageBox::Yes);
            newDialog();
        }
        QTRY_VERIFY_WITH_TIMEOUT(attention().contains(QStringLiteral("Update failed.")), 20000);
        QVERIFY2(attention().contains(reason), qPrintable(attention()));
        QVERIFY(button("loginBtn")->isEnabled());
        QVERIFY(!QFile::exists(QStringLiteral("update")));
        QTest::qWait(500);
        QVERIFY(!QFile::exists(QStringLiteral("updater-ran")));
        service.control(QStringLiteral("/_control/behave?path=/download/update&mode=normal"));
        service.control(QStringLiteral("/_control/update?offer=0"));
    }

    // The tray's Connect logs in with the remembered account, or brings the
    // login window for one; its Disconnect asks, and logs out as the main
    // window's exit page does. Both follow the state, and while connected
    // the tool tip says what protection is in force.
    void trayConnectsAndDisconnects_data()
    {
        QTest::addColumn<bool>("remembered");
        QTest::addColumn<bool>("block");
        QTest::addColumn<bool>("localNetwork");
        QTest::addColumn<QString>("protection");
        QTest::newRow("block") << true << true << false << "Traffic outside the tunnel is blocked";
        QTest::newRow("block, local network")
            << true << true << true
            << "Traffic outside the tunnel is blocked, except to the local network";
        QTest::newRow("no block") << true << false << true
                                  << "Traffic outside the tunnel is not blocked";
        QTest::newRow("nothing remembered") << false << true << false << "";
    }

    void trayConnectsAndDisconnects()
    {
        QFETCH(bool, remembered);
        QFETCH(bool, block);
        QFETCH(bool, localNetwork);
        QFETCH(QString, protection);
        QSettings settings;
        // The bed's tunnels never block: the scripted one only says it does.
        const auto noBlock = qScopeGuard([] {
            QSettings().setValue(QLatin1String(SettingsKey::BlockOutsideTunnel), false);
            QSettings().remove(QLatin1String(SettingsKey::AllowLocalNetwork));
        });
        settings.setValue(QLatin1String(SettingsKey::BlockOutsideTunnel), block);
        settings.setValue(QLatin1String(SettingsKey::AllowLocalNetwork), localNetwork);
        settings.setValue(QLatin1String(SettingsKey::RememberUser), remembered);
        if (remembered) {
            settings.setValue(QLatin1String(SettingsKey::Username), QStringLiteral("demo"));
            settings.setValue(QLatin1String(SettingsKey::Password), QStringLiteral("demo123"));
        }
        newDialog();
        offerCommands();
        QAction *connectAction = tray()->connectAction;
        QAction *disconnectAction = tray()->disconnectAction;
        QVERIFY(connectAction->isEnabled() && !disconnectAction->isEnabled());
        requestsSeen();

        dialog()->hide(); // the program in the tray
        connectAction->trigger();
        if (!remembered) {
            QVERIFY(dialog()->isVisible());
            QTest::qWait(300);
            QCOMPARE(requestsSeen(), QStringList());
            QCOMPARE(tunnel()->getStatus(), Disconnected);
            return;
        }
        // While the login runs there is nothing to connect.
        QTRY_VERIFY(!connectAction->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(requestsSeen().value(0), QStringLiteral("/server/config.php"));
        QCOMPARE(scriptedTunnel()->user(), QStringLiteral("demo"));
        QVERIFY(!connectAction->isEnabled() && disconnectAction->isEnabled());
        QCOMPARE(tray()->toolTip().split(QLatin1Char('\n')).constLast(), protection);

        const QString question = QStringLiteral(
            "There is still active connection that will be closed.\nDo you want to disconnect?");
        {
            ScriptedBoxes no(QMessageBox::No);
            disconnectAction->trigger();
            QCOMPARE(no.texts(), QStringList{question});
        }
        QVERIFY(mainFormShown());
        QCOMPARE(tunnel()->getStatus(), Connected);
        {
            ScriptedBoxes yes(QMessageBox::Yes);
            disconnectAction->trigger();
            QCOMPARE(yes.texts(), QStringList{question});
        }
        QTRY_COMPARE_WITH_TIMEOUT(tunnel()->getStatus(), Disconnected, 15000);
        QVERIFY(!mainFormShown());
        QVERIFY(dialog()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(button("loginBtn")->isEnabled(), 15000);
        QCOMPARE(toolRuns(), (QStringList{"enable", "disable"}));
        QCOMPARE(tray()->toolTip(), QStringLiteral("Quillnet by Korvex"));
        QVERIFY(connectAction->isEnabled() && !disconnectAction->isEnabled());
    }

    // A packaged client names the new version and the way to it, opens the
    // download page if asked, and goes on to the automatic login as after a
    // declined update; it never downloads a program.
    void packagedClientPointsToThePackageManager_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("download page")
            << int(QMessageBox::Open) << QStringList{Deployment::current().downloadLink()};
        QTest::newRow("not now") << int(QMessageBox::Close) << QStringList();
    }

    void packagedClientPointsToThePackageManager()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, opened);
        openedUrls.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        const auto forgetHandler =
            qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); });
        const QString url = QStringLiteral("https://127.0.0.1/download/quillnet_2.1.0_amd64.deb");
        service.control(QStringLiteral("/_control/update?offer=1&answer=") +
                        QString::fromLatin1(QUrl::toPercentEncoding(url)));
        QSettings settings;
        settings.setValue(QLatin1String(SettingsKey::RememberUser), true);
        settings.setValue(QLatin1String(SettingsKey::AutoLogin), true);
        settings.setValue(QLatin1String(SettingsKey::Username), QStringLiteral("demo"));
        settings.setValue(QLatin1String(SettingsKey::Password), QStringLiteral("demo123"));
        settings.sync();
        {
            ScriptedBoxes boxes{QMessageBox::StandardButton(answer)};
            replaceDialog(QStringLiteral("/usr/lib/quillnet/quillnet"));
            QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
            QCOMPARE(boxes.texts(),
                     QStringList{QStringLiteral("Quillnet 2.1.0 is available; you have %1.\n"
                                                "Quillnet was installed from a package: update it "
                                                "with your package manager, or get the new package "
                                                "from the download page and open it.")
                                     .arg(QLatin1String(ApplicationVersion))});
        }
        QCOMPARE(openedUrls, opened);
        QCOMPARE(requestsSeen().mid(0, 2),
                 (QStringList{"/server/update.php", "/server/config.php"}));
        QVERIFY(!QFile::exists(QLatin1String(LoginDlg::UpdaterFile)));
        logOutAndWait();
        service.control(QStringLiteral("/_control/update?offer=0"));
    }

    // Last: once the client has ended the event loop, no nested loop of this
    // process runs again.
    void updateDeclinedThenInstalled()
    {
        QFile::remove(QStringLiteral("updater-ran"));
        service.control(QStringLiteral("/_control/update?offer=1"));
        {
            ScriptedBoxes no(QMessageBox::No);
            newDialog();
            QVERIFY(
                no.texts().value(0).startsWith(QStringLiteral("Update of Quillnet is available.")));
        }
        // Declined: the dialog is there for a login as usual.
        QVERIFY(button("loginBtn")->isEnabled());
        // Progress shows as a whole percentage, without dots.
        QLabel *statusLbl = child<QLabel>("statusLbl");
        dialog()->updateProgress(1, 3);
        QCOMPARE(statusLbl->QLabel::text(), QStringLiteral("Downloading 33%"));
        dialog()->updateProgress(7, 0); // size unknown: nothing to show
        QTest::qWait(500);
        QCOMPARE(statusLbl->QLabel::text(), QStringLiteral("Downloading 33%"));

        ScriptedBoxes yes(QMessageBox::Yes);
        replaceDialog();
        // The client ends its event loop once the updater runs.
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, [&] { loop.exit(1); });
        QCOMPARE(loop.exec(), 0);
        QVERIFY(QFileInfo(QStringLiteral("update")).isExecutable());
        QTRY_VERIFY(QFile::exists(QStringLiteral("updater-ran")));
    }
};

QTEST_MAIN(TestLoginFlow)
#include "tst_loginflow.moc"
