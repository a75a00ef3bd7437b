// The main window's e-mail page against the local test service: when the
// list is fetched, adding, changing and removing aliases as the service
// sees them, the tray's junk alias, the receiving switch, and mail from a
// real SMTP client held by the proxy until the page's dialog decides.

#include "MainFormFixture.h"
#include "ScriptedBoxes.h"
#include "SmtpRelayPeer.h"
#include "core/Deployment.h"
#include "core/SettingsKeys.h"
#include "mail/SmtpRoxyServer.h"
#include "net/RequestServer.h"
#include "ui/login/LoginDlg.h"
#include "ui/mail/MailDialog.h"
#include "ui/mail/SplitButton.h"
#include "ui/main/EmailPage.h"
#include "ui/main/MainForm.h"
#include "ui/main/PersonalPage.h"
#include "ui/main/WebPage.h"
#include "ui/tray/TrayWidget.h"
#include "ui/widgets/HintEdit.h"
#include "ui/widgets/ImageBtnBar.h"
#include "ui/widgets/ProgressLbl.h"
#include "vpn/AdapterControl.h"
#include "vpn/RecordedOpenVpn.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString Placeholder = QStringLiteral("Click here to add a new alias...");

// The shown text of a notice strip, empty while it is hidden.
QString noticeOf(ProgressLbl *notice)
{
    for (QLabel *label : notice->findChildren<QLabel *>())
        if (label->isVisibleTo(notice) && !label->text().isEmpty())
            return label->text();
    return QString();
}

// The rows of the alias list as "alias,forward", placeholder included.
QStringList rowsOf(QTreeWidget *tree)
{
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        rows << tree->topLevelItem(i)->text(0) + QLatin1Char(',') + tree->topLevelItem(i)->text(1);
    return rows;
}

MailDialog *openMailDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<MailDialog *>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

QMessageBox *openMessageBox()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
            return box;
    return nullptr;
}

} // namespace

class TestMainFormMail : public QObject
{
    Q_OBJECT

    MainFormFixture fixture;
    SmtpRelayPeer relay;
    QTemporaryDir folder;
    MainForm *form = nullptr;
    QSignalSpy *junkNotices = nullptr;

    QString notice() { return noticeOf(child<ProgressLbl>(form->emailPage(), "mailProgressLbl")); }
    QStringList rows() { return rowsOf(child<QTreeWidget>(form->emailPage(), "mailTreeWdg")); }
    QJsonObject aliasesAtService() { return fixture.account("demo").value("aliases").toObject(); }

    // Logs in and opens the e-mail page once its list and receiving state
    // are in; the service's request log starts empty.
    void openPage(const QString &user, const QString &password)
    {
        form = fixture.logIn(user, password);
        delete junkNotices;
        junkNotices = new QSignalSpy(form->emailPage(), &EmailPage::junkMailNotice);
        form->selectPage(1);
        QTRY_VERIFY_WITH_TIMEOUT(form->emailPage()->receivingLoaded(), 10000);
        QTRY_VERIFY(child<QWidget>(form->emailPage(), "mailCtlBtn")->isEnabled());
        fixture.requestsSeen();
    }

    void selectRow(const QString &alias)
    {
        const auto found = child<QTreeWidget>(form->emailPage(), "mailTreeWdg")
                               ->findItems(alias, Qt::MatchExactly, 0);
        QCOMPARE(found.size(), 1);
        child<QTreeWidget>(form->emailPage(), "mailTreeWdg")->setCurrentItem(found.first());
    }

    // Replaces the text of an edit the way the user does it: entering the
    // field takes the hint away, then the old text is deleted.
    static void retype(HintEdit *edit, const QString &text)
    {
        if (edit->userText().isEmpty()) {
            edit->hintOff();
        } else {
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
        }
        QTest::keyClicks(edit, text);
    }

    void waitForAnswer()
    {
        QTRY_VERIFY_WITH_TIMEOUT(child<QWidget>(form->emailPage(), "mailCtlBtn")->isEnabled(),
                                 10000);
    }

    // The balloons of the junk command since the last call, "title: text".
    QStringList takeJunkNotices()
    {
        QStringList notices;
        for (const QList<QVariant> &args : *junkNotices)
            notices << args.at(0).toString() + QStringLiteral(": ") + args.at(1).toString();
        junkNotices->clear();
        return notices;
    }

    void triggerJunk()
    {
        QVERIFY(fixture.tray->junkAction->isEnabled());
        emit fixture.tray->junkMailTriggered();
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(relay.start(&error), qPrintable(error));
        QVERIFY2(fixture.start(&error, "relay_host = 127.0.0.1\nrelay_port = " +
                                           QByteArray::number(relay.port()) +
                                           "\nalias_domain = anon.test\n"),
                 qPrintable(error));
    }

    void cleanupTestCase()
    {
        delete junkNotices;
        fixture.tearDownWindow();
    }

    void init()
    {
        QSettings().remove(SettingsKey::ContactEmail);
        QSettings().remove(SettingsKey::MailDefault);
    }

    void listFetchedOncePerLogin()
    {
        form = fixture.logIn("demo", "demo123");
        QCOMPARE(rows(), QStringList{Placeholder + ","});
        form->selectPage(1);
        QTRY_VERIFY_WITH_TIMEOUT(form->emailPage()->receivingLoaded(), 10000);
        QCOMPARE(fixture.requestsSeen(), (QStringList{"GetAliases", "GetForwarding"}));
        QCOMPARE(rows(), (QStringList{"news.letters,", "shopping,demo@contact.example",
                                      Placeholder + ","}));
        QCOMPARE(child<QTreeWidget>(form->emailPage(), "mailTreeWdg")->headerItem()->text(0),
                 QStringLiteral("Alias (@anon.test)"));
        QVERIFY(child<QCheckBox>(form->emailPage(), "mailReceiveChBox")->isChecked());
        QCOMPARE(notice(), QStringLiteral("Settings loaded"));

        form->selectPage(0);
        form->selectPage(1);
        QTest::qWait(300);
        QCOMPARE(fixture.requestsSeen(), QStringList());

        // The next login asks again.
        form->changeUser();
        form->loginDone();
        form->selectPage(1);
        QTRY_VERIFY_WITH_TIMEOUT(form->emailPage()->receivingLoaded(), 10000);
        QCOMPARE(fixture.requestsSeen(), (QStringList{"GetAliases", "GetForwarding"}));
    }

    void failedListIsAskedForAgain()
    {
        form = fixture.logIn("demo", "demo123");
        fixture.service.control(
            "/_control/behave?path=/server/api.php&akce=GetAliases&mode=zero&count=1");
        form->selectPage(1);
        QTRY_COMPARE_WITH_TIMEOUT(notice(), QStringLiteral("Unable to get list of aliases."),
                                  10000);
        QCOMPARE(rows(), QStringList{Placeholder + ","});
        QVERIFY(!form->emailPage()->aliasesLoaded());
        form->selectPage(0);
        form->selectPage(1);
        QTRY_COMPARE_WITH_TIMEOUT(rows().size(), 3, 10000);
        // The receiving state is asked for once the list is in.
        QTRY_VERIFY_WITH_TIMEOUT(form->emailPage()->receivingLoaded(), 10000);
        QCOMPARE(fixture.requestsSeen(),
                 (QStringList{"GetAliases", "GetAliases", "GetForwarding"}));
    }

    void busyClientLeavesPageAsItWas()
    {
        openPage("demo", "demo123");
        fixture.service.control(
            "/_control/behave?path=/server/api.php&akce=SetForwarding&mode=delay&ms=1500");
        QCheckBox *box = child<QCheckBox>(form->emailPage(), "mailReceiveChBox");
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(form->requestServer()->isBusy());
        child<ProgressLbl>(form->emailPage(), "mailProgressLbl")->hideStatus();

        // While the answer is out, nothing else is sent or announced.
        retype(child<HintEdit>(form->emailPage(), "mailAliasEdit"), "travel");
        child<QPushButton>(form->emailPage(), "mailAddBtn")->click();
        form->emailPage()->getAliases();
        QCOMPARE(notice(), QString());
        QVERIFY(child<QWidget>(form->emailPage(), "mailCtlBtn")->isEnabled());
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->checkState(), Qt::PartiallyChecked);
        QCOMPARE(notice(), QString());

        QTRY_COMPARE_WITH_TIMEOUT(box->checkState(), Qt::Unchecked, 10000);
        QCOMPARE(fixture.requestsSeen(), QStringList{"SetForwarding"});
    }

    void freeAccountPageStaysShut()
    {
        form = fixture.logIn("vestor", "vestor");
        form->selectPage(1);
        QTest::qWait(300);
        QCOMPARE(fixture.requestsSeen(), QStringList());
        for (QWidget *input : std::initializer_list<QWidget *>{
                 child<QTreeWidget>(form->emailPage(), "mailTreeWdg"),
                 child<HintEdit>(form->emailPage(), "mailAliasEdit"),
                 child<HintEdit>(form->emailPage(), "mailForwardEdit"),
                 child<QPushButton>(form->emailPage(), "mailAddBtn"),
                 child<QCheckBox>(form->emailPage(), "mailReceiveChBox"),
                 child<QCheckBox>(form->emailPage(), "mailAnonymizeChBox"),
                 child<QComboBox>(form->emailPage(), "mailAliasCombo")})
            QVERIFY2(!input->isEnabled(), qPrintable(input->objectName()));
        QVERIFY(!fixture.tray->junkAction->isEnabled());
    }

    void aliasAddedChangedRemoved()
    {
        openPage("demo", "demo123");
        HintEdit *alias = child<HintEdit>(form->emailPage(), "mailAliasEdit");
        HintEdit *forward = child<HintEdit>(form->emailPage(), "mailForwardEdit");
        QCOMPARE(alias->userText(), QString());
        QCOMPARE(alias->text(), QStringLiteral("alias"));

        // Existing in another letter case: nothing to add.
        retype(alias, "SHOPPING");
        QVERIFY(!child<QPushButton>(form->emailPage(), "mailAddBtn")->isEnabled());
        // The plus sign never gets in.
        retype(alias, "travel+deals");
        QCOMPARE(alias->text(), QStringLiteral("traveldeals"));
        retype(alias, "Travel.Deals");
        QVERIFY(child<QPushButton>(form->emailPage(), "mailAddBtn")->isEnabled());
        retype(forward, "trips@example.org");
        QTest::keyClick(forward, Qt::Key_Return);
        QCOMPARE(notice(), QStringLiteral("Registering alias"));
        QVERIFY(!child<QWidget>(form->emailPage(), "mailCtlBtn")->isEnabled());
        waitForAnswer();
        QCOMPARE(notice(), QStringLiteral("Settings saved"));
        QCOMPARE(aliasesAtService().value("Travel.Deals").toString(),
                 QStringLiteral("trips@example.org"));
        QCOMPARE(rows(), (QStringList{"news.letters,", "shopping,demo@contact.example",
                                      "Travel.Deals,trips@example.org", Placeholder + ","}));
        QCOMPARE(alias->userText(), QString());
        QVERIFY(!child<QPushButton>(form->emailPage(), "mailAddBtn")->isEnabled());
        QCOMPARE(child<QComboBox>(form->emailPage(), "mailAliasCombo")->count(), 3);

        // Only the forward of the selected alias edited: Change instead of
        // Add and Remove.
        selectRow("shopping");
        QCOMPARE(forward->userText(), QStringLiteral("demo@contact.example"));
        QVERIFY(child<QPushButton>(form->emailPage(), "mailRemoveBtn")->isEnabled());
        retype(forward, "shop@example.org");
        QVERIFY(!child<QPushButton>(form->emailPage(), "mailChangeBtn")->isHidden());
        QVERIFY(child<QPushButton>(form->emailPage(), "mailAddBtn")->isHidden() &&
                child<QPushButton>(form->emailPage(), "mailRemoveBtn")->isHidden());
        QVERIFY(child<QPushButton>(form->emailPage(), "mailChangeBtn")->isEnabled());
        // Renamed to another listed alias: no change possible.
        retype(alias, "news.letters");
        QVERIFY(!child<QPushButton>(form->emailPage(), "mailChangeBtn")->isEnabled());
        retype(alias, "Shopping");
        QVERIFY(child<QPushButton>(form->emailPage(), "mailChangeBtn")->isEnabled());
        QTest::keyClick(forward, Qt::Key_Return);
        waitForAnswer();
        QCOMPARE(notice(), QStringLiteral("Settings saved"));
        QCOMPARE(aliasesAtService().value("Shopping").toString(),
                 QStringLiteral("shop@example.org"));
        QVERIFY(!aliasesAtService().contains("shopping"));
        QCOMPARE(rows().at(1), QStringLiteral("Shopping,shop@example.org"));
        QVERIFY(child<QPushButton>(form->emailPage(), "mailChangeBtn")->isHidden());

        // Removing makes the following row the current one.
        selectRow("news.letters");
        QTest::mouseClick(child<QPushButton>(form->emailPage(), "mailRemoveBtn"), Qt::LeftButton);
        waitForAnswer();
        QVERIFY(!aliasesAtService().contains("news.letters"));
        QCOMPARE(rows(), (QStringList{"Shopping,shop@example.org", "Travel.Deals,trips@example.org",
                                      Placeholder + ","}));
        QCOMPARE(child<QTreeWidget>(form->emailPage(), "mailTreeWdg")->currentItem()->text(0),
                 QStringLiteral("Shopping"));
        QCOMPARE(alias->userText(), QStringLiteral("Shopping"));
        QCOMPARE(child<QComboBox>(form->emailPage(), "mailAliasCombo")->count(), 2);
    }

    void refusedAndInvalidAliases()
    {
        openPage("demo", "demo123");
        HintEdit *alias = child<HintEdit>(form->emailPage(), "mailAliasEdit");
        HintEdit *forward = child<HintEdit>(form->emailPage(), "mailForwardEdit");

        // Checked before anything is sent.
        retype(alias, "a..b");
        retype(forward, "");
        QTest::keyClick(forward, Qt::Key_Return);
        QCOMPARE(notice(), QStringLiteral("Alias is not valid."));
        retype(alias, "ab");
        retype(forward, "x@Mail.ANON.test");
        child<QPushButton>(form->emailPage(), "mailAddBtn")->click();
        waitForAnswer();
        QCOMPARE(notice(), QStringLiteral("Settings saved"));
        retype(alias, "cd");
        retype(forward, "x@ANON.test");
        child<QPushButton>(form->emailPage(), "mailAddBtn")->click();
        QCOMPARE(notice(), QStringLiteral("Forwarding to anon.test domain is not allowed."));
        QCOMPARE(fixture.requestsSeen(), QStringList{"AddAlias"});

        // Taken at the service: the alias field turns red.
        retype(alias, "postmaster");
        retype(forward, "");
        child<QPushButton>(form->emailPage(), "mailAddBtn")->click();
        waitForAnswer();
        QCOMPARE(notice(), QStringLiteral("This alias is taken, please choose another one."));
        QCOMPARE(alias->styleSheet(), QStringLiteral("background: #FFDDDD"));
        QCOMPARE(rows().size(), 4);
    }

    // What the two fields cannot hold is refused whole, typed or pasted, and
    // the user is told which characters they take; nothing is altered.
    void unfitInputRefusedVisibly_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        const QString alias =
            QStringLiteral("Only letters a-z, digits and . - _ can be used in an alias.");
        const QString address = QStringLiteral(
            "Only letters a-z, digits, @ and . - _ can be used in an e-mail address.");
        QTest::newRow("alias pasted") << "mailAliasEdit" << true << "a+b"
                                      << "" << alias;
        // Typing on takes the red away; the notice stays its while.
        QTest::newRow("alias typed") << "mailAliasEdit" << false << "a+"
                                     << "a" << alias;
        QTest::newRow("address pasted") << "mailForwardEdit" << true << "bob+news@example.org"
                                        << "" << address;
        QTest::newRow("address with a space pasted")
            << "mailForwardEdit" << true << "bob@example.org "
            << "" << address;
        QTest::newRow("good alias pasted") << "mailAliasEdit" << true << "shop.2024"
                                           << "shop.2024"
                                           << "";
        QTest::newRow("good address pasted") << "mailForwardEdit" << true << "bob_1@example.org"
                                             << "bob_1@example.org"
                                             << "";
    }

    void unfitInputRefusedVisibly()
    {
        QFETCH(QString, field);
        QFETCH(bool, paste);
        QFETCH(QString, input);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        openPage("demo", "demo123");
        HintEdit *edit = child<HintEdit>(form->emailPage(), qPrintable(field));
        retype(edit, QString());
        if (paste) {
            QApplication::clipboard()->setText(input);
            edit->paste();
        } else {
            QTest::keyClicks(edit, input);
        }
        QCOMPARE(edit->userText(), text);
        if (refusal.isEmpty()) {
            QVERIFY2(!notice().startsWith("Only letters"), qPrintable(notice()));
            QCOMPARE(edit->styleSheet(), QString());
        } else {
            QCOMPARE(notice(), refusal);
            QCOMPARE(edit->styleSheet(), QStringLiteral("background: #FFDDDD"));
        }
    }

    void listSortedByEitherColumn()
    {
        openPage("demo", "demo123");
        form->getAliasesDone("b,m@x.org;a,m@x.org;c,a@x.org;,lost@x.org;", true);
        QCOMPARE(rows(), (QStringList{"a,m@x.org", "b,m@x.org", "c,a@x.org", Placeholder + ","}));

        QHeaderView *header = child<QTreeWidget>(form->emailPage(), "mailTreeWdg")->header();
        const QPoint forwardSection(header->sectionViewportPosition(1) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, forwardSection);
        QCOMPARE(rows(), (QStringList{"c,a@x.org", "a,m@x.org", "b,m@x.org", Placeholder + ","}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, forwardSection);
        QCOMPARE(rows(), (QStringList{"b,m@x.org", "a,m@x.org", "c,a@x.org", Placeholder + ","}));
    }

    // The service's list is held to the rules of what the user may type: a
    // record that breaks them (a line break would reach MAIL FROM and the
    // From field of mail sent under it) is not shown, and the page says so.
    void invalidRecordsOfTheServiceLeftOut()
    {
        openPage("demo", "demo123");
        form->getAliasesDone("good,ann@example.org;evil\r\nRCPT TO:<eve@evil.test>,;"
                             "fwd,ann@example.org\r\nBcc: eve@evil.test;loop,me@anon.test;",
                             true);
        QCOMPARE(rows(), (QStringList{"good,ann@example.org", Placeholder + ","}));
        QCOMPARE(child<QComboBox>(form->emailPage(), "mailAliasCombo")->count(), 1);
        QCOMPARE(
            notice(),
            QStringLiteral("Some aliases sent by the service were not valid and were left out."));

        form->getAliasesDone("good,ann@example.org;", true);
        QCOMPARE(notice(), QStringLiteral("Settings loaded"));
    }

    void junkAliasRetriedOnce()
    {
        openPage("demo", "demo123");
        const QString refuse =
            "/_control/behave?path=/server/api.php&akce=AddAlias&mode=zero&count=%1";

        // One refusal: a second name, no word about the first.
        fixture.service.control(refuse.arg(1));
        triggerJunk();
        QTRY_COMPARE_WITH_TIMEOUT(notice(), QStringLiteral("Settings saved"), 10000);
        QStringList requests;
        QJsonArray sent = fixture.service.takeRequests();
        for (const QJsonValue &r : sent)
            requests << r.toObject().value("args").toObject().value("email").toString();
        QCOMPARE(requests.size(), 2);
        QVERIFY(requests.at(0) != requests.at(1));
        const QString name = requests.at(1).section(',', 0, 0);
        QVERIFY(aliasesAtService().contains(name));
        QCOMPARE(aliasesAtService().value(name).toString(), QString());
        QCOMPARE(QGuiApplication::clipboard()->text(), name + "@anon.test");
        const QStringList notices = takeJunkNotices();
        QCOMPARE(notices.size(), 2);
        QVERIFY(notices.at(0).startsWith("Junk mail: Registering alias "));
        QCOMPARE(notices.at(1), "Junk mail - success: Alias " + name +
                                    "@anon.test is in your clipboard now. To receive emails, "
                                    "please setup new alias in the Email tab.");
        QCOMPARE(rows().at(2), name + ",");

        // Two refusals: given up with the reason.
        fixture.service.control(refuse.arg(2));
        triggerJunk();
        QTRY_COMPARE_WITH_TIMEOUT(notice(), QStringLiteral("Unknown error occured."), 10000);
        QTest::qWait(300);
        QCOMPARE(fixture.requestsSeen(), (QStringList{"AddAlias", "AddAlias"}));
        QCOMPARE(
            takeJunkNotices().last(),
            QStringLiteral("Junk mail - error: Registering alias failed. Unknown error occured."));

        // The next request counts from the start; the contact receives.
        QSettings().setValue(SettingsKey::ContactEmail, "demo@contact.example");
        fixture.service.control(refuse.arg(1));
        triggerJunk();
        QTRY_COMPARE_WITH_TIMEOUT(notice(), QStringLiteral("Settings saved"), 10000);
        QCOMPARE(fixture.requestsSeen(), (QStringList{"AddAlias", "AddAlias"}));
        QVERIFY(takeJunkNotices().last().endsWith(
            "Incoming emails will be forwarded to demo@contact.example."));
    }

    void junkAliasNeverForwardsIntoTheAliasDomain()
    {
        openPage("demo", "demo123");
        QSettings().setValue(SettingsKey::ContactEmail, "me@anon.test");
        triggerJunk();
        QCOMPARE(takeJunkNotices(),
                 QStringList{"Junk mail - error: Registering alias failed. Forwarding to "
                             "anon.test domain is not allowed."});
        QTest::qWait(300);
        QCOMPARE(fixture.requestsSeen(), QStringList());
    }

    void receivingSwitched()
    {
        openPage("demo", "demo123");
        QCheckBox *box = child<QCheckBox>(form->emailPage(), "mailReceiveChBox");
        QVERIFY(box->isChecked());
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->checkState(), Qt::PartiallyChecked);
        QCOMPARE(notice(), QStringLiteral("Disabling email receiving"));
        QTRY_COMPARE_WITH_TIMEOUT(box->checkState(), Qt::Unchecked, 10000);
        QCOMPARE(notice(), QStringLiteral("Receiving disabled"));
        QCOMPARE(fixture.account("demo").value("receiving").toBool(), false);

        fixture.service.control(
            "/_control/behave?path=/server/api.php&akce=SetForwarding&mode=zero");
        QTest::mouseClick(box, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(
            notice(), QStringLiteral("Error occured. Unable to enable email receiving"), 10000);
        QCOMPARE(box->checkState(), Qt::Unchecked);
        QVERIFY(!form->emailPage()->receivingEnabled());
    }

    void sendingChoicesStored()
    {
        QSettings().setValue(SettingsKey::MailAnonymize, false);
        openPage("demo", "demo123");
        QCheckBox *anonymize = child<QCheckBox>(form->emailPage(), "mailAnonymizeChBox");
        QComboBox *combo = child<QComboBox>(form->emailPage(), "mailAliasCombo");
        QVERIFY(!combo->isEnabled());
        QTest::mouseClick(anonymize, Qt::LeftButton);
        QVERIFY(combo->isEnabled());
        QCOMPARE(QSettings().value(SettingsKey::MailAnonymize).toBool(), true);

        QCOMPARE(combo->currentText(), QStringLiteral("news.letters"));
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(QSettings().value(SettingsKey::MailDefault).toString(),
                 QStringLiteral("shopping"));
        // A refill keeps the choice.
        form->getAliasesDone("zeta,;shopping,;alpha,", true);
        QCOMPARE(combo->currentText(), QStringLiteral("shopping"));

        QTest::mouseClick(anonymize, Qt::LeftButton);
        QVERIFY(!combo->isEnabled());
        QCOMPARE(QSettings().value(SettingsKey::MailAnonymize).toBool(), false);
        QCOMPARE(form->emailPage()->proxy()->port(), quint16(0));
    }

    // curl hands a small message to the window's mail proxy.
    void sendThroughProxy(QProcess &curl)
    {
        QFile message(folder.filePath("message.eml"));
        QVERIFY(message.open(QIODevice::WriteOnly));
        message.write("From: Ann <ann@example.org>\r\nTo: bob@example.net\r\nSubject: hi\r\n\r\n"
                      "Hello\r\n");
        message.close();
        curl.start("curl",
                   {"-sS", QString("smtp://127.0.0.1:%1").arg(form->emailPage()->proxy()->port()),
                    "--mail-from", "ann@example.org", "--mail-rcpt", "bob@example.net", "-T",
                    message.fileName()});
    }

    void interceptedMailAsksWithTheAliases()
    {
        if (QStandardPaths::findExecutable("curl").isEmpty())
            QSKIP("curl is missing");
        relay.clear();
        QSettings().setValue(SettingsKey::MailDefault, "shopping");
        // The page was never opened: the dialog waits for the list.
        form = fixture.logIn("demo", "demo123");
        form->emailPage()->proxy()->startProxy(0);
        QVERIFY(form->emailPage()->proxy()->port() != 0);

        QProcess curl;
        sendThroughProxy(curl);
        QTRY_VERIFY_WITH_TIMEOUT(openMailDialog(), 10000);
        auto *yes = openMailDialog()->findChild<SplitButton *>("yesBtn");
        QTRY_COMPARE_WITH_TIMEOUT(yes->text(), QStringLiteral("Yes, send as shopping@anon.test"),
                                  10000);
        QVERIFY(form->emailPage()->aliasesLoaded());
        QVERIFY(fixture.requestsSeen().contains("GetAliases"));

        QTest::mouseClick(yes, Qt::LeftButton);
        // The proxy answers curl from this thread: wait with the loop running.
        QTRY_COMPARE_WITH_TIMEOUT(curl.state(), QProcess::NotRunning, 10000);
        QCOMPARE(curl.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(relay.messages().size(), 1, 10000);
        const QByteArray stored = relay.messages().first();
        QVERIFY2(stored.startsWith("X-Envelope-From: <shopping@anon.test>\r\n"),
                 stored.constData());
        QVERIFY(stored.contains("\r\nFrom: <shopping@anon.test>\r\n"));
        form->emailPage()->proxy()->stopProxy();
    }

    void interceptedMailWithoutAListStillSends()
    {
        if (QStandardPaths::findExecutable("curl").isEmpty())
            QSKIP("curl is missing");
        relay.clear();
        form = fixture.logIn("demo", "demo123");
        fixture.service.control("/_control/behave?path=/server/api.php&akce=GetAliases&mode=zero");
        form->emailPage()->proxy()->startProxy(0);
        QProcess curl;
        sendThroughProxy(curl);
        QTRY_VERIFY_WITH_TIMEOUT(openMailDialog(), 10000);
        // The list could not be had: the dialog stops waiting for it.
        auto *yes = openMailDialog()->findChild<SplitButton *>("yesBtn");
        QTRY_VERIFY_WITH_TIMEOUT(yes->text() != QStringLiteral("Checking alias..."), 10000);
        QVERIFY(!yes->isEnabled());

        QTest::mouseClick(openMailDialog()->findChild<QPushButton *>("noBtn"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(curl.state(), QProcess::NotRunning, 10000);
        QCOMPARE(curl.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(relay.messages().size(), 1, 10000);
        QVERIFY(relay.messages().first().startsWith("X-Envelope-From: <ann@example.org>\r\n"));
        form->emailPage()->proxy()->stopProxy();
        fixture.service.control("/_control/reset");
    }

    // Another program holds the mail proxy's port when the login starts the
    // proxy (and again when the user switches it on): the user is told, the
    // box is left unchecked and the adapter's mail flag clear, as for the
    // web filter. Once the port is free, switching it on works.
    void mailProxyThatCannotListenIsShownOff()
    {
        const quint16 port = Deployment::current().mailProxyPort;
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::LocalHost, port));
        const QString cannotListen = QString("Mail anonymization proxy couldn't bind to port %1.\n"
                                             "There may be other mail proxy running.")
                                         .arg(port);

        // The tunnel is a recording of OpenVPN's (it names the adapter tun0),
        // held up until stopped; with it up, the login starts the services.
        QSettings().setValue(SettingsKey::MailAnonymize, true);
        useRecordedOpenVpn(folder.filePath("answers.txt"));
        qputenv("QUILLNET_REPLAY", QFile::encodeName(qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                                                     "/tests/vpn/data/connect.pty"));
        qputenv("QUILLNET_REPLAY_HOLD", "Initialization Sequence Completed");
        form = fixture.logIn("demo", "demo123");
        QVERIFY(child<QCheckBox>(form->emailPage(), "mailAnonymizeChBox")->isChecked());
        ScriptedBoxes boxes(QMessageBox::Ok);
        fixture.tunnel->setCredentials("demo", "demo123");
        fixture.tunnel->start();
        QTRY_COMPARE_WITH_TIMEOUT(fixture.loginDialog->result(), int(QDialog::Accepted), 20000);
        const auto stopTunnel = qScopeGuard([this] {
            fixture.tunnel->stop(true);
            // Not QTRY: it would not wait in a test that has failed.
            (void)QTest::qWaitFor([this] { return fixture.tunnel->getStatus() == Disconnected; },
                                  10000);
            QSettings().setValue(SettingsKey::MailAnonymize, false);
        });
        QCOMPARE(fixture.tunnel->getAdapterGuid(), QStringLiteral("tun0"));

        QCOMPARE(boxes.texts(), QStringList{cannotListen});
        QVERIFY(!child<QCheckBox>(form->emailPage(), "mailAnonymizeChBox")->isChecked());
        QVERIFY(!child<QComboBox>(form->emailPage(), "mailAliasCombo")->isEnabled());
        QCOMPARE(form->emailPage()->proxy()->port(), quint16(0));
        QCOMPARE(getAdapterFlags("tun0") & 2, 0);
        // What the user asked for stays asked for: the next login tries again.
        QVERIFY(QSettings().value(SettingsKey::MailAnonymize).toBool());

        QTest::mouseClick(child<QCheckBox>(form->emailPage(), "mailAnonymizeChBox"),
                          Qt::LeftButton);
        QCOMPARE(boxes.texts(), (QStringList{cannotListen, cannotListen}));
        QVERIFY(!child<QCheckBox>(form->emailPage(), "mailAnonymizeChBox")->isChecked());
        QCOMPARE(getAdapterFlags("tun0") & 2, 0);

        squatter.close();
        QTest::mouseClick(child<QCheckBox>(form->emailPage(), "mailAnonymizeChBox"),
                          Qt::LeftButton);
        QVERIFY(child<QCheckBox>(form->emailPage(), "mailAnonymizeChBox")->isChecked());
        QVERIFY(child<QComboBox>(form->emailPage(), "mailAliasCombo")->isEnabled());
        QCOMPARE(form->emailPage()->proxy()->port(), port);
        QCOMPARE(getAdapterFlags("tun0") & 2, 2);
        QTest::mouseClick(child<QCheckBox>(form->emailPage(), "mailAnonymizeChBox"),
                          Qt::LeftButton);
        QCOMPARE(form->emailPage()->proxy()->port(), quint16(0));
        QCOMPARE(getAdapterFlags("tun0") & 2, 0);
        QCOMPARE(boxes.texts().size(), 2);
    }

    // The user closes an undecided confirmation and, while its "Are you
    // sure" question is open, its mail program gives up and sends again:
    // the new question replaces the old dialog, question and all, without
    // pulling either from under the other's feet.
    void newQueryWhileTheCloseQuestionIsOpen()
    {
        if (QStandardPaths::findExecutable("curl").isEmpty())
            QSKIP("curl is missing");
        relay.clear();
        form = fixture.logIn("demo", "demo123");
        form->emailPage()->proxy()->startProxy(0);
        QProcess first;
        sendThroughProxy(first);
        QTRY_VERIFY_WITH_TIMEOUT(openMailDialog(), 10000);
        QPointer<MailDialog> old = openMailDialog();

        // Runs inside the question's own event loop.
        QProcess second;
        int step = 0;
        bool stuck = false;
        QElapsedTimer clock;
        clock.start();
        QTimer script;
        connect(&script, &QTimer::timeout, this, [&] {
            if (step == 0 && openMessageBox()) {
                first.kill();
                step = 1;
            } else if (step == 1 && first.state() == QProcess::NotRunning) {
                clock.restart();
                step = 2;
            } else if (step == 2 && clock.elapsed() > 300) {
                sendThroughProxy(second);
                clock.restart();
                step = 3;
            } else if (step == 3 && clock.elapsed() > 15000 && openMessageBox()) {
                stuck = true; // the test must end either way
                openMessageBox()->button(QMessageBox::No)->click();
            }
        });
        script.start(20);
        old->close();
        QCOMPARE(step, 3);
        QVERIFY(!stuck);
        QTRY_VERIFY(old.isNull());
        QVERIFY(!openMessageBox());

        MailDialog *current = openMailDialog();
        QVERIFY(current);
        QTest::mouseClick(current->findChild<QPushButton *>("noBtn"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(relay.messages().size(), 1, 10000);
        form->emailPage()->proxy()->stopProxy();
    }
};

QTEST_MAIN(TestMainFormMail)
#include "tst_mainformmail.moc"
