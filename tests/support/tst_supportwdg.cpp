// The support form and dialog with a scripted relay: the questions before
// sending, the cancel button's delay, failures shown to the user, the links
// of the menu and the close questions of the dialog.
#include "RelayDeployment.h"
#include "ScriptedBoxes.h"
#include "ScriptedSmtpPeer.h"
#include "SupportForm.h"
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "support/SupportRequest.h"
#include "ui/support/SupportDlg.h"
#include "ui/support/SupportWdg.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class TestSupportWdg : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { openedUrls << url.toString(); }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void attachedLogsListed();
    void blankTextNotSent();
    void doubtfulAddressAsked_data();
    void doubtfulAddressAsked();
    void cancelAfterDelay();
    void refusalShownAndFormKept();
    void unreachableRelayShown();
    void menuLinks();
    void senderReloaded();
    void closeQuestions_data();
    void closeQuestions();

private:
    void show(const QString &text = QStringLiteral("My tunnel does not start."),
              const QString &address = QStringLiteral("ann@example.org"));

    QTemporaryDir folder;
    ScriptedSmtpPeer peer;
    SupportWdg *wdg = nullptr;
    QStringList openedUrls;
};

void TestSupportWdg::initTestCase()
{
    QVERIFY(peer.listen());
    QVERIFY(useRelayOnLoopback(folder.filePath("deployment.ini"), peer.port(),
                               "web_base = http://web.test/en/\n"));
    // The names read the deployment: only after the override is in place.
    setApplicationNames();
    QVERIFY(registerPictures());
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
}

void TestSupportWdg::init()
{
    QSettings().clear();
    peer.setScript({});
}

void TestSupportWdg::cleanup()
{
    delete wdg;
    wdg = nullptr;
}

void TestSupportWdg::show(const QString &text, const QString &address)
{
    wdg = new SupportWdg(nullptr, nullptr);
    wdg->show();
    wdg->openMail();
    SupportForm(wdg).fill(text, address);
}

void TestSupportWdg::attachedLogsListed()
{
    const QStringList logs = SupportRequest::logFiles();
    for (const QString &name : logs)
        QFile::remove(name);
    show();
    QCOMPARE(wdg->attachmentsText(), QStringLiteral("No logs go with the request."));
    delete wdg;
    QFile log(logs.first());
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write(QByteArray(1500, 'x'));
    log.close();
    show();
    QCOMPARE(wdg->attachmentsText(), QStringLiteral("Attached logs: log.txt (2 KiB)"));
    QFile::remove(logs.first());
}

void TestSupportWdg::blankTextNotSent()
{
    show(QStringLiteral("  \n\t\n "));
    ScriptedBoxes boxes(QMessageBox::Ok);
    SupportForm(wdg).sendBtn()->click();
    QCOMPARE(boxes.texts(), QStringList{"You did not entered message text.\nPlease describe what "
                                        "has happened and how can we help you."});
    QTest::qWait(100);
    QCOMPARE(peer.connectionCount(), 0);
    QVERIFY(!wdg->isSending());
}

void TestSupportWdg::doubtfulAddressAsked_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("sent");
    QTest::newRow("valid address, no question")
        << "ann@example.org" << QMessageBox::No << false << true;
    QTest::newRow("empty, No") << "" << QMessageBox::No << true << false;
    QTest::newRow("empty, Yes") << "" << QMessageBox::Yes << true << true;
    QTest::newRow("incomplete, No") << "ann@example" << QMessageBox::No << true << false;
    QTest::newRow("incomplete, Yes") << "ann@example" << QMessageBox::Yes << true << true;
}

void TestSupportWdg::doubtfulAddressAsked()
{
    QFETCH(QString, address);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, asked);
    QFETCH(bool, sent);
    show(QStringLiteral("help"), address);
    const int connectionsBefore = peer.connectionCount();
    ScriptedBoxes boxes(answer);
    SupportForm(wdg).sendBtn()->click();
    QCOMPARE(boxes.texts().size(), asked ? 1 : 0);
    if (asked)
        QCOMPARE(boxes.texts().first(),
                 QStringLiteral("You inserted invalid email address.\nWe will not be able to send "
                                "you the answer.\n\nDo you want to send your request anyway?"));
    QCOMPARE(wdg->isSending(), sent);
    QTRY_COMPARE(peer.connectionCount(), connectionsBefore + (sent ? 1 : 0));
}

void TestSupportWdg::cancelAfterDelay()
{
    show();
    SupportForm form(wdg);
    QElapsedTimer clock;
    clock.start();
    form.sendBtn()->click();
    QCOMPARE(form.sendBtn()->text(), QStringLiteral("Cancel sending"));
    QVERIFY(!form.sendBtn()->isEnabled());
    QVERIFY(!form.menuBtn()->isEnabled());
    QCOMPARE(form.notice(), QStringLiteral("Connecting to server"));
    // The relay accepts the connection but never greets.
    QTRY_COMPARE(form.notice(), QStringLiteral("Sending your message"));
    QTest::mouseClick(form.sendBtn(), Qt::LeftButton);
    QVERIFY(wdg->isSending());

    QVERIFY(QTest::qWaitFor([&] { return form.sendBtn()->isEnabled(); }, 5000));
    const qint64 enabledAfter = clock.elapsed();
    qInfo("cancel enabled after %lld ms", enabledAfter);
    QVERIFY(enabledAfter >= SupportWdg::CancelDelayMs);
    QVERIFY(enabledAfter < SupportWdg::CancelDelayMs + 500);
    QVERIFY(!form.menuBtn()->isEnabled());

    QTest::mouseClick(form.sendBtn(), Qt::LeftButton);
    QVERIFY(!wdg->isSending());
    QCOMPARE(form.notice(), QStringLiteral("Sending has been canceled by user."));
    QCOMPARE(form.sendBtn()->text(), QStringLiteral("Send support request"));
    QVERIFY(form.menuBtn()->isEnabled());
    QCOMPARE(form.textEdit()->toPlainText(), QStringLiteral("My tunnel does not start."));
    QTRY_VERIFY(peer.clientGone());
}

void TestSupportWdg::refusalShownAndFormKept()
{
    peer.setScript({"220 hi\r\n", "250 hello\r\n", "550-Sender refused\r\n550 try another\r\n"});
    show();
    SupportForm form(wdg);
    form.sendBtn()->click();
    QTRY_COMPARE(form.notice(), QStringLiteral("550-Sender refused\r\n550 try another\r\n"));
    QVERIFY(!wdg->isSending());
    QVERIFY(form.sendBtn()->isEnabled());
    QCOMPARE(form.sendBtn()->text(), QStringLiteral("Send support request"));
    QCOMPARE(form.page(), QStringLiteral("mailPage"));
    QCOMPARE(form.textEdit()->toPlainText(), QStringLiteral("My tunnel does not start."));
}

void TestSupportWdg::unreachableRelayShown()
{
    const quint16 port = peer.port();
    peer.stopListening();
    show();
    SupportForm form(wdg);
    form.sendBtn()->click();
    QTRY_VERIFY(!wdg->isSending());
    QVERIFY(form.notice().startsWith(QStringLiteral("Cannot connect to the mail server.")));
    QVERIFY(form.sendBtn()->isEnabled());
    QVERIFY(peer.listen(port));
}

void TestSupportWdg::menuLinks()
{
    wdg = new SupportWdg(nullptr, nullptr);
    wdg->show();
    SupportForm form(wdg);
    QCOMPARE(form.page(), QStringLiteral("menuPage"));
    openedUrls.clear();
    for (const char *name : {"faqLbl", "helpIconLbl", "forumLbl", "aboutIconLbl"})
        QTest::mouseClick(form.child<QWidget>(name), Qt::LeftButton);
    QCOMPARE(openedUrls,
             (QStringList{"http://web.test/en/faq.php", "http://web.test/en/help.php",
                          "http://web.test/en/forum.php", "http://web.test/en/about.php"}));

    QTest::mouseClick(form.child<QWidget>("contactIconLbl"), Qt::LeftButton);
    QCOMPARE(form.page(), QStringLiteral("mailPage"));
    QTRY_COMPARE(QApplication::focusWidget(), form.senderEdit());
    // Return moves on once the address is acceptable.
    QTest::keyClicks(form.senderEdit(), QStringLiteral("ann@example.org"));
    QTest::keyClick(form.senderEdit(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), form.textEdit());
    QTest::mouseClick(form.menuBtn(), Qt::LeftButton);
    QCOMPARE(form.page(), QStringLiteral("menuPage"));
}

void TestSupportWdg::senderReloaded()
{
    QSettings().setValue(QLatin1String(SettingsKey::ContactEmail), "first@example.org");
    wdg = new SupportWdg(nullptr, nullptr);
    SupportForm form(wdg);
    QCOMPARE(form.senderEdit()->text(), QStringLiteral("first@example.org"));
    QSettings().setValue(QLatin1String(SettingsKey::ContactEmail), "second@example.org");
    wdg->reloadSender();
    QCOMPARE(form.senderEdit()->text(), QStringLiteral("second@example.org"));
}

void TestSupportWdg::closeQuestions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sending");
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("closed");
    const QString inserted = "Closing this window will discard inserted support request.\nAre you "
                             "sure you want to close it?";
    const QString outgoing = "Closing this window will discard outgoing support request.\nAre you "
                             "sure you want to close it?";
    QTest::newRow("blank text") << " \n" << false << false << QMessageBox::No << "" << true;
    QTest::newRow("text, No") << "help" << false << false << QMessageBox::No << inserted << false;
    QTest::newRow("text, Yes") << "help" << false << false << QMessageBox::Yes << inserted << true;
    QTest::newRow("text, Escape, No")
        << "help" << false << true << QMessageBox::No << inserted << false;
    QTest::newRow("sending, No") << "help" << true << false << QMessageBox::No << outgoing << false;
    QTest::newRow("sending, Yes") << "help" << true << false << QMessageBox::Yes << outgoing
                                  << true;
}

void TestSupportWdg::closeQuestions()
{
    QFETCH(QString, text);
    QFETCH(bool, sending);
    QFETCH(bool, byEscape);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, question);
    QFETCH(bool, closed);
    QPointer<SupportDlg> dialog = new SupportDlg(nullptr, nullptr);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Quillnet - Support"));
    QCOMPARE(dialog->size(), QSize(686, 302));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    auto *form = dialog->findChild<SupportWdg *>();
    form->openMail();
    SupportForm(form).fill(text, QStringLiteral("ann@example.org"));
    if (sending) {
        SupportForm(form).sendBtn()->click();
        QTRY_VERIFY(peer.connectionCount() > 0 && !peer.clientGone());
    }

    ScriptedBoxes boxes(answer);
    if (byEscape)
        QTest::keyClick(dialog, Qt::Key_Escape);
    else
        dialog->close();
    QCOMPARE(boxes.texts(), question.isEmpty() ? QStringList() : QStringList{question});
    QTest::qWait(50); // the deferred deletion
    QCOMPARE(dialog.isNull(), closed);
    if (sending && closed)
        QTRY_VERIFY(peer.clientGone());
    delete dialog;
}

QTEST_MAIN(TestSupportWdg)
#include "tst_supportwdg.moc"
