// The main window's shell and its personal settings tab against the local
// test service: what is fetched when, the free account's restrictions, the
// window's ways out, and the contact and password changes as the service
// sees them.

#include "MainFormFixture.h"
#include "ScriptedBoxes.h"
#include "TestFiles.h"
#include "core/SettingsKeys.h"
#include "net/RequestServer.h"
#include "platform/AutostartEntry.h"
#include "ui/login/LoginDlg.h"
#include "ui/main/EmailPage.h"
#include "ui/main/MainForm.h"
#include "ui/main/PersonalPage.h"
#include "ui/main/WebPage.h"
#include "ui/proxy/ProxyDlg.h"
#include "ui/proxy/ProxyWdg.h"
#include "ui/tray/TrayWidget.h"
#include "ui/widgets/HintEdit.h"
#include "ui/widgets/ImageBtnBar.h"
#include "ui/widgets/ProgressLbl.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

class TestMainForm : public QObject
{
    Q_OBJECT

    MainFormFixture fixture;

    // The text the personal tab's notice shows now (empty when hidden).
    QString personalNotice()
    {
        ProgressLbl *lbl = child<ProgressLbl>(fixture.form->personalPage(), "personalProgressLbl");
        for (QLabel *label : lbl->findChildren<QLabel *>())
            if (label->isVisibleTo(lbl) && !label->text().isEmpty())
                return label->text();
        return QString();
    }

    void openPersonalTab(MainForm *form)
    {
        form->selectPage(2);
        QTRY_VERIFY_WITH_TIMEOUT(form->personalPage()->contactLoaded(), 10000);
        fixture.requestsSeen();
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(fixture.start(&error), qPrintable(error));
    }

    void cleanupTestCase() { fixture.tearDownWindow(); }

    void contactFetchedOncePerLogin()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        QCOMPARE(form->currentPage(), 0);
        form->selectPage(2);
        QTRY_COMPARE(child<QLabel>(form->personalPage(), "contactLbl")->text(),
                     QStringLiteral("demo@contact.example"));
        QCOMPARE(QSettings().value(SettingsKey::ContactEmail).toString(),
                 QStringLiteral("demo@contact.example"));
        form->selectPage(0);
        form->selectPage(2);
        QTest::qWait(300);
        QCOMPARE(fixture.requestsSeen(), QStringList{"GetEmail"});

        // A new login fetches it again.
        form->changeUser();
        QVERIFY(!form->isVisible());
        form->loginDone();
        form->selectPage(2);
        QTRY_VERIFY(form->personalPage()->contactLoaded());
        QCOMPARE(fixture.requestsSeen(), QStringList{"GetEmail"});
    }

    void freeAccountAsksNothing()
    {
        MainForm *form = fixture.logIn("vestor", "vestor");
        for (int page : {1, 2, 1, 2})
            form->selectPage(page);
        QTest::qWait(300);
        QCOMPARE(fixture.requestsSeen(), QStringList());
        QVERIFY(!child<QLineEdit>(form->personalPage(), "contactEdit")->isEnabled());
        QVERIFY(!child<QPushButton>(form->personalPage(), "passwdChangeBtn")->isEnabled());
        QVERIFY(!fixture.tray->junkAction->isEnabled());
        QVERIFY(child<QWidget>(form->personalPage(), "personalProgressWdg")
                    ->styleSheet()
                    .contains("notice1.png"));
        // Re-enabling the tab's inputs never gets past the free account.
        form->personalPage()->setInputsEnabled(true);
        QVERIFY(!child<QLineEdit>(form->personalPage(), "contactEdit")->isEnabled());
    }

    // The close button hides the program to the tray; Escape hides the
    // main window alone, and the tray brings it back where it was.
    void closingHidesToTheTray()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        QVERIFY(form->isVisible());
        form->close();
        QVERIFY(!form->isVisible());
        QVERIFY(fixture.tray->junkAction->isEnabled());
        fixture.tray->showApp();
        QVERIFY(form->isVisible());

        fixture.loginDialog->show();
        const QRect where = form->geometry();
        QTest::keyClick(form, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QVERIFY(fixture.loginDialog->isVisible());
        QVERIFY(!fixture.tray->isHidden());
        fixture.loginDialog->hide();
        fixture.tray->showApp();
        QVERIFY(form->isVisible());
        QCOMPARE(form->geometry(), where);
    }

    void proxyTabSavedWhenLeft()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        QSettings().setValue(SettingsKey::ProxySource, 0);
        auto choose = [form](const char *button) {
            child<QWidget>(form, "proxyWdg")->findChild<QRadioButton *>(button)->setChecked(true);
        };
        form->selectPage(2);
        form->selectSettingsTab(1);
        QCOMPARE(form->proxyTabShown(), true);
        choose("ieRadBtn");
        form->selectPage(0);
        QCOMPARE(QSettings().value(SettingsKey::ProxySource).toInt(), 1);

        // Leaving any other page leaves the store alone.
        choose("noRadBtn");
        form->selectPage(1);
        form->selectPage(4);
        QCOMPARE(QSettings().value(SettingsKey::ProxySource).toInt(), 1);

        // Changing tabs and closing the window over the proxy tab save too.
        form->selectPage(2);
        choose("noRadBtn");
        form->selectSettingsTab(0);
        QCOMPARE(QSettings().value(SettingsKey::ProxySource).toInt(), 0);
        form->selectSettingsTab(1);
        choose("ieRadBtn");
        fixture.tearDownWindow();
        QCOMPARE(QSettings().value(SettingsKey::ProxySource).toInt(), 1);
        QSettings().setValue(SettingsKey::ProxySource, 0);
    }

    // The login dialog's proxy form and the window's proxy tab edit one
    // stored choice: the tab shows what is stored whenever it is shown, and
    // never writes an older choice back.
    void proxyTabShowsTheStoredChoice()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        QWidget *proxyTab = child<QWidget>(form, "proxyWdg");
        auto shown = [](QWidget *proxyForm) {
            for (const char *button : {"noRadBtn", "ieRadBtn", "myRadBtn"})
                if (proxyForm->findChild<QRadioButton *>(button)->isChecked())
                    return QString::fromLatin1(button);
            return QString();
        };
        auto stored = [] { return QSettings().value(SettingsKey::ProxySource).toInt(); };
        // A dead proxy left stored would hold up every later login.
        const auto noProxyAfterwards =
            qScopeGuard([] { QSettings().setValue(SettingsKey::ProxySource, 0); });

        // An own proxy saved on the tab, which stays the current one.
        QSettings().setValue(SettingsKey::ProxySource, 0);
        form->selectPage(2);
        form->selectSettingsTab(1);
        child<QRadioButton>(proxyTab, "myRadBtn")->setChecked(true);
        child<QLineEdit>(proxyTab, "addressEdit")->setText("stale.proxy");
        form->selectSettingsTab(0);
        form->selectSettingsTab(1);
        QCOMPARE(stored(), 2);

        // "No proxy" saved in the login dialog's form reaches the tab.
        QTimer::singleShot(0, fixture.loginDialog, [this] {
            auto *dialog = fixture.loginDialog->findChild<ProxyDlg *>();
            child<QRadioButton>(dialog, "noRadBtn")->setChecked(true);
            child<QPushButton>(dialog, "saveBtn")->click();
        });
        fixture.loginDialog->stripeLinkActivated("proxy");
        QCOMPARE(stored(), 0);
        QCOMPARE(shown(proxyTab), QStringLiteral("noRadBtn"));
        form->selectPage(0);
        QCOMPARE(stored(), 0);

        // So does a choice stored by anyone else (the login's fallback to
        // the system's proxy), whether the page or the tab brings it into
        // view.
        QSettings().setValue(SettingsKey::ProxySource, 1);
        form->selectPage(2);
        QCOMPARE(shown(proxyTab), QStringLiteral("ieRadBtn"));
        form->selectSettingsTab(0);
        QSettings().setValue(SettingsKey::ProxySource, 2);
        form->selectSettingsTab(1);
        QCOMPARE(shown(proxyTab), QStringLiteral("myRadBtn"));
        QCOMPARE(child<QLineEdit>(proxyTab, "addressEdit")->text(), QStringLiteral("stale.proxy"));
        form->selectPage(0);
        QCOMPARE(stored(), 2);
    }

    void contactChangedAndCleared()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        openPersonalTab(form);
        QCOMPARE(child<QPushButton>(form->personalPage(), "contactChangeBtn")->text(),
                 QStringLiteral("Clear"));

        // Without a dot in the domain the address never leaves the client.
        QTest::keyClicks(child<QLineEdit>(form->personalPage(), "contactEdit"), "ann@localhost");
        QCOMPARE(child<QPushButton>(form->personalPage(), "contactChangeBtn")->text(),
                 QStringLiteral("Change"));
        child<QPushButton>(form->personalPage(), "contactChangeBtn")->click();
        QCOMPARE(personalNotice(), QStringLiteral("Invalid email address."));
        QVERIFY(child<QLineEdit>(form->personalPage(), "contactEdit")->hasFocus() ||
                !form->isActiveWindow());

        child<QLineEdit>(form->personalPage(), "contactEdit")
            ->setText("ann.smith@mail.example.org");
        QTest::keyClick(child<QLineEdit>(form->personalPage(), "contactEdit"), Qt::Key_Return);
        QTRY_COMPARE(child<QLabel>(form->personalPage(), "contactLbl")->text(),
                     QStringLiteral("ann.smith@mail.example.org"));
        QCOMPARE(fixture.account("demo").value("email").toString(),
                 QStringLiteral("ann.smith@mail.example.org"));
        QCOMPARE(QSettings().value(SettingsKey::ContactEmail).toString(),
                 QStringLiteral("ann.smith@mail.example.org"));
        QVERIFY(child<QLineEdit>(form->personalPage(), "contactEdit")->text().isEmpty());
        QVERIFY(child<QLineEdit>(form->personalPage(), "contactEdit")->isEnabled());

        // An empty field clears the address at the service.
        child<QPushButton>(form->personalPage(), "contactChangeBtn")->click();
        QTRY_VERIFY(child<QLabel>(form->personalPage(), "contactLbl")->text().isEmpty());
        QTRY_VERIFY(fixture.account("demo").value("email").toString().isEmpty());
        QCOMPARE(personalNotice(), QStringLiteral("Settings saved"));
    }

    // The box writes and removes the desktop's autostart entry for this
    // program, shows what the desktop's own tools did to it since, and says
    // so when nothing can be written (tst_autostartentry starts the entry).
    void startAtLoginFollowsTheAutostartEntry()
    {
        QFile::remove(AutostartEntry::path());
        MainForm *form = fixture.logIn("demo", "demo123");
        openPersonalTab(form);
        auto *box = child<QCheckBox>(form->personalPage(), "startAtLoginChk");
        const QString entry = AutostartEntry::path();
        const QString folder = QFileInfo(entry).absolutePath();
        const auto cleanUp = qScopeGuard([&] {
            QFile::remove(folder);
            QDir(folder).removeRecursively();
        });
        QVERIFY(!box->isChecked());

        box->click();
        QVERIFY(box->isChecked());
        const QStringList lines = readLines(entry);
        // This program, started where it runs now (tst_autostartentry reads
        // the Exec line as sessions do).
        QVERIFY(lines.contains("TryExec=" + QCoreApplication::applicationFilePath()));
        QVERIFY(lines.contains("Path=" + QDir::currentPath()));

        QVERIFY(QFile::remove(entry));
        form->selectPage(0);
        form->selectPage(2);
        QVERIFY(!box->isChecked());

        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        box->click();
        QVERIFY(!box->isChecked());
        QCOMPARE(personalNotice(),
                 QStringLiteral("Quillnet could not be added to the programs started when you "
                                "log in."));
    }

    // The stored address is the support form's reply address and the
    // forward of junk aliases: it is this account's or none, whatever the
    // answer. The answer, whatever it is, ends the busy notice.
    void contactAnswerDecidesTheStoredAddress_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("an address") << "demo"
                                    << "demo123"
                                    << "normal"
                                    << "demo@contact.example"
                                    << "Settings loaded" << true;
        QTest::newRow("none on record") << "fresh"
                                        << "fresh123"
                                        << "normal"
                                        << ""
                                        << "Settings loaded" << true;
        QTest::newRow("refused") << "demo"
                                 << "demo123"
                                 << "zero"
                                 << ""
                                 << "Settings loaded" << true;
        // Nothing is known: the next visit asks again.
        QTest::newRow("no answer") << "demo"
                                   << "demo123"
                                   << "close"
                                   << "before@example.org"
                                   << "Unknown server error occurred." << false;
        // The free account has no contact: a registered user's stays.
        QTest::newRow("free account") << "vestor"
                                      << "vestor"
                                      << ""
                                      << "before@example.org"
                                      << "You are logged in free Quillnet.\nTo take advantage "
                                         "of these services, please register."
                                      << false;
    }

    void contactAnswerDecidesTheStoredAddress()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, mode);
        QFETCH(QString, stored);
        QFETCH(QString, notice);
        QFETCH(bool, loaded);
        QSettings().setValue(SettingsKey::ContactEmail, "before@example.org");
        MainForm *form = fixture.logIn(user, password);
        if (mode.isEmpty()) {
            // The login hands the free account's empty contact over.
            fixture.loginDialog->acceptLogin();
        } else {
            fixture.service.control("/_control/behave?path=/server/api.php&akce=GetEmail&mode=" +
                                    mode);
            form->selectPage(2);
        }
        QTRY_VERIFY(!form->requestServer()->isBusy());
        QTRY_COMPARE(personalNotice(), notice);
        QCOMPARE(QSettings().value(SettingsKey::ContactEmail).toString(), stored);
        QCOMPARE(child<QLineEdit>(form, "senderEdit")->text(), stored);
        QCOMPARE(child<QLabel>(form->personalPage(), "contactLbl")->text(),
                 loaded ? stored : QString());
        QCOMPARE(form->personalPage()->contactLoaded(), loaded);
        fixture.requestsSeen();
        form->selectPage(0);
        form->selectPage(2);
        QTest::qWait(300);
        // The transport may try a closed connection again by itself.
        QStringList seen = fixture.requestsSeen();
        seen.removeDuplicates();
        QCOMPARE(seen, loaded || mode.isEmpty() ? QStringList() : QStringList{"GetEmail"});
    }

    // A login may forget the last account's address without the service
    // telling the new one's: the support form follows the store each time
    // a login ends.
    void supportSenderFollowsTheNextLogin()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        openPersonalTab(form);
        QCOMPARE(child<QLineEdit>(form, "senderEdit")->text(),
                 QStringLiteral("demo@contact.example"));
        form->changeUser();
        QSettings().setValue(SettingsKey::ContactEmail, QString());
        form->loginDone();
        QCOMPARE(child<QLineEdit>(form, "senderEdit")->text(), QString());
    }

    // Nothing one user typed on the tab is there for the next.
    void logOutEmptiesThePersonalTab()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        openPersonalTab(form);
        const char *fields[] = {"contactEdit", "passwdCurrentEdit", "passwdNewEdit",
                                "passwdConfirmEdit"};
        for (const char *field : fields)
            child<QLineEdit>(form->personalPage(), field)->setText("abc");
        form->changeUser();
        for (const char *field : fields)
            QVERIFY2(child<QLineEdit>(form->personalPage(), field)->text().isEmpty(), field);
        QVERIFY(child<QLabel>(form->personalPage(), "contactLbl")->text().isEmpty());
        QCOMPARE(child<QPushButton>(form->personalPage(), "contactChangeBtn")->text(),
                 QStringLiteral("Clear"));
    }

    // A "0" is a refusal: the old password and address stay in use, and
    // the user is told that nothing changed.
    void refusedChangeKeepsTheOldValue_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("notice");
        QTest::newRow("password") << "SetHeslo"
                                  << "Your password was not changed.";
        QTest::newRow("contact") << "SetEmail"
                                 << "Your contact address was not changed.";
    }

    void refusedChangeKeepsTheOldValue()
    {
        QFETCH(QString, operation);
        QFETCH(QString, notice);
        MainForm *form = fixture.logIn("demo", "demo123");
        openPersonalTab(form);
        QSignalSpy passwordChanged(form, &MainForm::passwordChanged);
        fixture.service.control("/_control/behave?path=/server/api.php&akce=" + operation +
                                "&mode=zero");
        PersonalPage *page = form->personalPage();
        if (operation == QLatin1String("SetHeslo")) {
            child<QLineEdit>(page, "passwdCurrentEdit")->setText("demo123");
            child<QLineEdit>(page, "passwdNewEdit")->setText("newPass1");
            child<QLineEdit>(page, "passwdConfirmEdit")->setText("newPass1");
            child<QPushButton>(page, "passwdChangeBtn")->click();
        } else {
            child<QLineEdit>(page, "contactEdit")->setText("ann@example.org");
            child<QPushButton>(page, "contactChangeBtn")->click();
        }
        QTRY_VERIFY(!form->requestServer()->isBusy());
        QCOMPARE(personalNotice(), notice);
        QVERIFY(child<QPushButton>(page, "passwdChangeBtn")->isEnabled());
        QCOMPARE(passwordChanged.count(), 0);
        QCOMPARE(fixture.loginDialog->currentPassword(), QStringLiteral("demo123"));
        QCOMPARE(QSettings().value(SettingsKey::Password).toString(), QStringLiteral("demo123"));
        QCOMPARE(child<QLabel>(page, "contactLbl")->text(), QStringLiteral("demo@contact.example"));
        QCOMPARE(QSettings().value(SettingsKey::ContactEmail).toString(),
                 QStringLiteral("demo@contact.example"));

        // The window's next request still carries the old password.
        fixture.service.takeRequests();
        QVERIFY(form->requestServer()->getAliases());
        QTRY_VERIFY(!form->requestServer()->isBusy());
        // The transport may try a closed connection again by itself.
        const QJsonArray requests = fixture.service.takeRequests();
        QVERIFY(!requests.isEmpty());
        for (const QJsonValue &request : requests)
            QCOMPARE(request.toObject().value("args").toObject().value("heslo").toString(),
                     QStringLiteral("demo123"));
    }

    void passwordChecksAndChange()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        openPersonalTab(form);

        // The current password is judged before the confirmation.
        child<QLineEdit>(form->personalPage(), "passwdCurrentEdit")->setText("wrong");
        child<QLineEdit>(form->personalPage(), "passwdNewEdit")->setText("abc");
        child<QLineEdit>(form->personalPage(), "passwdConfirmEdit")->setText("abd");
        child<QPushButton>(form->personalPage(), "passwdChangeBtn")->click();
        QCOMPARE(personalNotice(), QStringLiteral("Invalid current password."));
        child<QLineEdit>(form->personalPage(), "passwdCurrentEdit")->setText("demo123");
        child<QPushButton>(form->personalPage(), "passwdChangeBtn")->click();
        QCOMPARE(personalNotice(), QStringLiteral("Bad password confirmation."));
        QCOMPARE(fixture.requestsSeen(), QStringList());

        // A character the password rule does not admit is removed and explained.
        child<QLineEdit>(form->personalPage(), "passwdNewEdit")->clear();
        QTest::keyClicks(child<QLineEdit>(form->personalPage(), "passwdNewEdit"), "new#Pass1");
        QCOMPARE(child<QLineEdit>(form->personalPage(), "passwdNewEdit")->text(),
                 QStringLiteral("newPass1"));
        QCOMPARE(personalNotice(), QStringLiteral("Invalid char has been filtered."));

        child<QLineEdit>(form->personalPage(), "passwdConfirmEdit")->setText("newPass1");
        QTest::keyClick(child<QLineEdit>(form->personalPage(), "passwdConfirmEdit"),
                        Qt::Key_Return);
        QTRY_COMPARE(fixture.account("demo").value("password").toString(),
                     QStringLiteral("newPass1"));
        QTRY_VERIFY(child<QPushButton>(form->personalPage(), "passwdChangeBtn")->isEnabled());
        QCOMPARE(fixture.loginDialog->currentPassword(), QStringLiteral("newPass1"));
        fixture.requestsSeen();

        // The window's next request already carries the new password.
        form->personalPage()->getContact();
        QTRY_VERIFY(!form->requestServer()->isBusy());
        const QJsonArray requests = fixture.service.takeRequests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).toObject().value("args").toObject().value("heslo").toString(),
                 QStringLiteral("newPass1"));
        QCOMPARE(child<QLabel>(form->personalPage(), "contactLbl")->text(),
                 QStringLiteral("demo@contact.example"));
    }

    void busyClientLeavesInputsUsable()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        openPersonalTab(form);
        fixture.service.control("/_control/behave?path=/server/api.php&akce=GetAliases&mode=stall");
        QVERIFY(form->requestServer()->getAliases());
        child<QLineEdit>(form->personalPage(), "contactEdit")->setText("ann@example.org");
        child<QPushButton>(form->personalPage(), "contactChangeBtn")->click();
        QVERIFY(child<QLineEdit>(form->personalPage(), "contactEdit")->isEnabled());
        QVERIFY(child<QPushButton>(form->personalPage(), "passwdChangeBtn")->isEnabled());
        QCOMPARE(personalNotice(), QString());
        fixture.service.control("/_control/reset");
    }

    // What the service answers for the contact becomes the support mail's
    // sender: it is judged like a typed address, and a bad one is refused.
    void invalidContactFromTheServiceIsRefused()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        openPersonalTab(form);
        const QString stored = QStringLiteral("demo@contact.example");
        QVERIFY(form->requestServer()->changeContact("ann@example.org>\r\nRCPT TO:<x@example.org"));
        QTRY_VERIFY(!form->requestServer()->isBusy());
        QSettings().setValue(SettingsKey::ContactEmail, stored);
        form->personalPage()->getContact();
        QTRY_COMPARE(personalNotice(),
                     QStringLiteral("The server sent an invalid contact address."));
        QCOMPARE(QSettings().value(SettingsKey::ContactEmail).toString(), stored);
        QVERIFY(!child<QLabel>(form->personalPage(), "contactLbl")->text().contains("RCPT"));
        QVERIFY(form->requestServer()->changeContact(stored));
        QTRY_VERIFY(!form->requestServer()->isBusy());
    }

    void lateAnswerAfterLogOutLeavesJunkMailOff()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        QVERIFY(fixture.tray->junkAction->isEnabled());
        fixture.service.control(
            "/_control/behave?path=/server/api.php&akce=GetAliases&mode=delay&ms=800");
        QSignalSpy free(form->requestServer(), &RequestServer::requestServerFree);
        QVERIFY(form->requestServer()->getAliases());
        form->changeUser();
        QVERIFY(free.wait(10000));
        QVERIFY(!fixture.tray->junkAction->isEnabled());
        fixture.service.control("/_control/reset");
    }

    // A tunnel failure reaches the user where the user is, and what a
    // server says is shown as text, not rendered as markup.
    void failuresReachTheUserAsText()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        QVERIFY(form->isVisible());
        QVERIFY(!fixture.loginDialog->isVisible());
        for (int i = 0; i < 2; ++i) // a repeated failure reuses its box
            fixture.loginDialog->vpnError(
                "Connection to server failed,\nwill try again in 5 seconds.");
        const QList<QMessageBox *> boxes = form->findChildren<QMessageBox *>();
        QCOMPARE(boxes.size(), 1);
        QTRY_VERIFY(boxes.first()->isVisible());
        QCOMPARE(boxes.first()->text(),
                 QStringLiteral("Connection to server failed,\nwill try again in 5 seconds."));
        boxes.first()->accept();

        fixture.loginDialog->displayError("<a href='http://evil.example/'>Click</a>");
        QVERIFY(fixture.loginDialog->findChild<QLabel *>("userInfoLbl")
                    ->text()
                    .contains("&lt;a href='http://evil.example/'&gt;Click&lt;/a&gt;"));
    }

    // Last: once the window has ended the event loop, no nested loop of this
    // process runs again.
    void exitWithoutTunnelQuitsAtOnce()
    {
        MainForm *form = fixture.logIn("demo", "demo123");
        ScriptedBoxes no(QMessageBox::No);
        QEventLoop loop;
        QTimer::singleShot(0, form, &MainForm::on_exitImgBtn_clicked);
        QTimer::singleShot(5000, &loop, [&] { loop.exit(1); });
        QCOMPARE(loop.exec(), 0);
        QCOMPARE(no.texts(), QStringList());
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
