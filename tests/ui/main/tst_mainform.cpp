// The main window's shell and its personal settings tab against the local
// test service: what is fetched when, the free account's restrictions, the
// window's ways out, and the contact and password changes as the service
// sees them.

#include "MainFormFixture.h"
#include "ScriptedBoxes.h"
#include "core/SettingsKeys.h"
#include "net/RequestServer.h"
#include "ui/login/LoginDlg.h"
#include "ui/main/EmailPage.h"
#include "ui/main/MainForm.h"
#include "ui/main/PersonalPage.h"
#include "ui/main/WebPage.h"
#include "ui/proxy/ProxyWdg.h"
#include "ui/tray/TrayWidget.h"
#include "ui/widgets/HintEdit.h"
#include "ui/widgets/ImageBtnBar.h"
#include "ui/widgets/ProgressLbl.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
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
        form->selectSettingsTab(0);
        QCOMPARE(QSettings().value(SettingsKey::ProxySource).toInt(), 0);
        form->selectSettingsTab(1);
        choose("ieRadBtn");
        fixture.tearDownWindow();
        QCOMPARE(QSettings().value(SettingsKey::ProxySource).toInt(), 1);
        QSettings().setValue(SettingsKey::ProxySource, 0);
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

    void contactRefusedKeepsStoredAddress()
    {
        QSettings().setValue(SettingsKey::ContactEmail, "kept@example.org");
        MainForm *form = fixture.logIn("demo", "demo123");
        fixture.service.control("/_control/behave?path=/server/api.php&akce=GetEmail&mode=zero");
        form->selectPage(2);
        QTRY_VERIFY(!form->requestServer()->isBusy());
        QCOMPARE(fixture.requestsSeen(), QStringList{"GetEmail"});
        QVERIFY(child<QLineEdit>(form->personalPage(), "contactEdit")->isEnabled());
        QVERIFY(child<QLabel>(form->personalPage(), "contactLbl")->text().isEmpty());
        QCOMPARE(QSettings().value(SettingsKey::ContactEmail).toString(),
                 QStringLiteral("kept@example.org"));
        // Not loaded: the next visit asks again.
        QVERIFY(!form->personalPage()->contactLoaded());
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
