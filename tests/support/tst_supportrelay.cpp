// Support mail through the real test relay: what the relay stores from the
// sender and from the support form, logs included.
#include "RelayDeployment.h"
#include "ScriptedBoxes.h"
#include "SmtpRelayPeer.h"
#include "SupportForm.h"
#include "core/ApplicationNames.h"
#include "login/LoginController.h"
#include "support/SendMail.h"
#include "vpn/ScriptedTunnel.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString mailbox = QStringLiteral("help@support.test");

struct StoredMail
{
    explicit StoredMail(const QByteArray &stored)
    {
        const qsizetype headerEnd = stored.indexOf("\r\n\r\n");
        for (QByteArray line : stored.left(headerEnd).split('\n')) {
            line.replace('\r', "");
            (line.startsWith("X-Envelope-") ? envelope : header).append(line);
        }
        const QByteArray encoded = stored.mid(headerEnd + 4).trimmed();
        body = QString::fromUtf8(QByteArray::fromBase64(encoded));
        base64Lines = encoded.split('\n');
    }
    QByteArrayList envelope;
    QByteArrayList header;
    QString body;
    QByteArrayList base64Lines;
};

} // namespace

class TestSupportRelay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void senderStoredWithCopy_data();
    void senderStoredWithCopy();
    void formSendsRequestWithLogs();
    void formNamesTheAccount_data();
    void formNamesTheAccount();

private:
    QTemporaryDir folder;
    SmtpRelayPeer relay;
};

void TestSupportRelay::initTestCase()
{
    QString error;
    if (!relay.start(&error))
        QSKIP(qPrintable(error));
    QVERIFY(useRelayOnLoopback(folder.filePath("deployment.ini"), relay.port(),
                               "support_mailbox = " + mailbox.toLatin1() + "\n"));
    setApplicationNames();
    QVERIFY(registerPictures());
}

void TestSupportRelay::init()
{
    relay.clear();
}

void TestSupportRelay::cleanup()
{
    for (const char *name : {"log.txt", "log.old", "log-privoxy.txt"})
        QFile::remove(QLatin1String(name));
}

void TestSupportRelay::senderStoredWithCopy_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("copy");
    QTest::addColumn<QByteArrayList>("envelope");
    QTest::addColumn<QByteArrayList>("addressLines");
    QTest::newRow("copy to sender")
        << "ann@example.org" << true
        << QByteArrayList{"X-Envelope-From: <ann@example.org>",
                          "X-Envelope-To: <help@support.test>", "X-Envelope-To: <ann@example.org>"}
        << QByteArrayList{"From: <ann@example.org>", "To: <help@support.test>",
                          "Cc: <ann@example.org>"};
    QTest::newRow("no copy") << "ann@example.org" << false
                             << QByteArrayList{"X-Envelope-From: <ann@example.org>",
                                               "X-Envelope-To: <help@support.test>"}
                             << QByteArrayList{"From: <ann@example.org>",
                                               "To: <help@support.test>"};
    QTest::newRow("no sender: null envelope sender, no copy")
        // The relay writes the null sender "<>" in its own angle brackets.
        << "" << true
        << QByteArrayList{"X-Envelope-From: <<>>", "X-Envelope-To: <help@support.test>"}
        << QByteArrayList{"To: <help@support.test>"};
}

void TestSupportRelay::senderStoredWithCopy()
{
    QFETCH(QString, from);
    QFETCH(bool, copy);
    QFETCH(QByteArrayList, envelope);
    QFETCH(QByteArrayList, addressLines);
    SendMail mail;
    QSignalSpy sent(&mail, &SendMail::sent);
    QSignalSpy errors(&mail, &SendMail::error);
    // Long enough for several base64 lines, with a lone dot line inside.
    const QString body = QStringLiteral("Žluťoučký kůň.\n.\n") + QString(300, QLatin1Char('x'));
    mail.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    mail.send(from, mailbox, QStringLiteral("Quillnet 2.0 support request from user ann"), body,
              copy);
    QTRY_COMPARE_WITH_TIMEOUT(sent.size() + errors.size(), 1, 10000);
    QCOMPARE(errors.size(), 0);
    QTRY_COMPARE(relay.messages().size(), 1);

    const StoredMail stored(relay.messages().first());
    QCOMPARE(stored.envelope, envelope);
    const QByteArrayList rest = {"Subject: Quillnet 2.0 support request from user ann",
                                 "Content-Type: text/plain;", "  charset=\"utf-8\"",
                                 "Content-Transfer-Encoding: base64"};
    QCOMPARE(stored.header, addressLines + rest);
    QCOMPARE(stored.body, body);
    for (int i = 0; i < stored.base64Lines.size() - 1; ++i)
        QCOMPARE(stored.base64Lines.at(i).size(), 77); // 76 and the CR
}

void TestSupportRelay::formSendsRequestWithLogs()
{
    QFile log("log.txt");
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("OpenVPN 2.6 starting\r\nInitialization Sequence Completed\r\n");
    log.close();
    QFile privoxyLog("log-privoxy.txt");
    QVERIFY(privoxyLog.open(QIODevice::WriteOnly));
    privoxyLog.write("Privoxy listening\n");
    privoxyLog.close();

    SupportWdg wdg(nullptr, nullptr);
    wdg.show();
    wdg.openMail();
    const SupportForm form(&wdg);
    const QString text = QStringLiteral("  The tunnel drops every hour.\n");
    form.fill(text, QString());
    ScriptedBoxes boxes(QMessageBox::Ok);
    MessageBox::setNextAnswer(QMessageBox::Yes); // to sending without an address
    form.sendBtn()->click();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts().size(), 2, 10000);
    QCOMPARE(boxes.texts().last(), QStringLiteral("Your message was sent successfully."));

    QCOMPARE(relay.messages().size(), 1);
    const StoredMail stored(relay.messages().first());
    QCOMPARE(stored.envelope,
             (QByteArrayList{"X-Envelope-From: <empty>", "X-Envelope-To: <help@support.test>"}));
    QCOMPARE(stored.header.mid(0, 3),
             (QByteArrayList{"From: <empty>", "To: <help@support.test>",
                             "Subject: Quillnet 2.0 support request from user "}));
    QCOMPARE(stored.body, text +
                              "\n\n*** FILE \"log.txt\" LISTING ***\n"
                              "OpenVPN 2.6 starting\nInitialization Sequence Completed\n"
                              "\n\n*** FILE \"log-privoxy.txt\" LISTING ***\nPrivoxy listening\n");

    QCOMPARE(form.page(), QStringLiteral("menuPage"));
    QVERIFY(form.textEdit()->toPlainText().isEmpty());
    QVERIFY(form.sendBtn()->isEnabled());
    QCOMPARE(form.notice(), QStringLiteral("Message sent successfully"));
}

void TestSupportRelay::formNamesTheAccount_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("tunnelUp");
    QTest::addColumn<bool>("copy");
    const QString free = QLatin1String(LoginController::FreeAccount);
    QTest::newRow("nobody logged in") << ""
                                      << "" << false << false;
    QTest::newRow("free account, tunnel up") << free << free << true << false;
    QTest::newRow("full account, tunnel down") << "ann"
                                               << "secret1" << false << false;
    // Only through the tunnel may the relay take mail for others.
    QTest::newRow("full account, tunnel up") << "ann"
                                             << "secret1" << true << true;
}

// The request names the account logged in, and a full account behind the
// tunnel gets a copy.
void TestSupportRelay::formNamesTheAccount()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, tunnelUp);
    QFETCH(bool, copy);
    ScriptedTunnel tunnel;
    LoginController account(&tunnel, QStringLiteral("127.0.0.1"));
    account.setAccount(user, password);
    if (tunnelUp) {
        tunnel.start();
        QTRY_COMPARE(tunnel.getStatus(), Connected);
    }
    SupportWdg wdg(&account, &tunnel);
    wdg.show();
    wdg.openMail();
    SupportForm(&wdg).fill(QStringLiteral("help"), QStringLiteral("ann@example.org"));
    ScriptedBoxes boxes(QMessageBox::Ok);
    SupportForm(&wdg).sendBtn()->click();
    QTRY_COMPARE_WITH_TIMEOUT(relay.messages().size(), 1, 10000);

    const StoredMail stored(relay.messages().first());
    QByteArrayList envelope = {"X-Envelope-From: <ann@example.org>",
                               "X-Envelope-To: <help@support.test>"};
    if (copy)
        envelope << "X-Envelope-To: <ann@example.org>";
    QCOMPARE(stored.envelope, envelope);
    QVERIFY(stored.header.contains("Subject: Quillnet 2.0 support request from user " +
                                   user.toLatin1()));
}

QTEST_MAIN(TestSupportRelay)
#include "tst_supportrelay.moc"
