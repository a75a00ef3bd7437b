// The sender's SMTP dialogue against a scripted server: what it writes,
// how it reads multi-line replies, and how every way of failing reaches
// the user (or, for a cancel, does not).
#include "RelayDeployment.h"
#include "ScriptedSmtpPeer.h"
#include "support/SendMail.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString from = QStringLiteral("ann@example.org");
const QString mailbox = QStringLiteral("help@support.test");

QList<QByteArray> commandsUpTo(int count)
{
    const QList<QByteArray> all = {"HELO there", "MAIL FROM: <ann@example.org>",
                                   "RCPT TO: <help@support.test>", "DATA", "QUIT"};
    return all.mid(0, count);
}

} // namespace

class TestSendMailDialogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void multiLineRepliesReadToTheEnd_data();
    void multiLineRepliesReadToTheEnd();
    void copyGoesToSecondRecipient();
    void refusalCarriesRelayReply_data();
    void refusalCarriesRelayReply();
    void droppedConnectionReported();
    void abortEndsSilently();
    void injectedCommandsRefused_data();
    void injectedCommandsRefused();
    void refusedConnectionReported();

private:
    void send(bool copy = false);

    QTemporaryDir folder;
    ScriptedSmtpPeer peer;
    SendMail *mail = nullptr;
    QSignalSpy *status = nullptr;
    QSignalSpy *errors = nullptr;
    QSignalSpy *sent = nullptr;
};

void TestSendMailDialogue::initTestCase()
{
    QVERIFY(peer.listen());
    QVERIFY(useRelayOnLoopback(folder.filePath("deployment.ini"), peer.port()));
}

void TestSendMailDialogue::init()
{
    mail = new SendMail;
    status = new QSignalSpy(mail, &SendMail::status);
    errors = new QSignalSpy(mail, &SendMail::error);
    sent = new QSignalSpy(mail, &SendMail::sent);
}

void TestSendMailDialogue::cleanup()
{
    delete status;
    delete errors;
    delete sent;
    delete mail;
}

void TestSendMailDialogue::send(bool copy)
{
    mail->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    mail->send(from, mailbox, QStringLiteral("Help"), QStringLiteral("It broke."), copy);
}

void TestSendMailDialogue::multiLineRepliesReadToTheEnd_data()
{
    QTest::addColumn<QList<QByteArray>>("script");
    QList<QByteArray> whole = ScriptedSmtpPeer::acceptingScript();
    whole[1] = "250-scripted\r\n250-8BITMIME\r\n250 HELP\r\n";
    QTest::newRow("reply to HELO in one piece") << whole;
    QList<QByteArray> pieces = ScriptedSmtpPeer::acceptingScript();
    pieces[0] =
        QByteArray("220-scripted\r\n220-wel") + ScriptedSmtpPeer::pause + "come\r\n220 go\r\n";
    pieces[1] = QByteArray("250-scripted\r\n") + ScriptedSmtpPeer::pause + "250 HELP\r\n";
    QTest::newRow("greeting and HELO reply in pieces") << pieces;
}

void TestSendMailDialogue::multiLineRepliesReadToTheEnd()
{
    QFETCH(QList<QByteArray>, script);
    // The relay hangs up on QUIT.
    peer.setScript(script.mid(0, 6) << ScriptedSmtpPeer::close);
    send();
    QTRY_COMPARE(sent->size(), 1);
    QCOMPARE(sent->first().first().toString(), QStringLiteral("Message sent successfully"));
    QCOMPARE(status->size(), 1);
    QCOMPARE(status->first().first().toString(), QStringLiteral("Sending your message"));
    // QUIT goes out with the last reply; the peer may read it a moment later.
    QTRY_COMPARE(peer.commands(), commandsUpTo(5));
    // The message ends with its last base64 line and the terminator.
    QVERIFY(peer.received().endsWith("\r\n\r\nSXQgYnJva2Uu\r\n.\r\nQUIT\r\n"));
    // The relay closing after QUIT is the normal end, not a failure.
    QTRY_VERIFY(peer.clientGone());
    QTest::qWait(100);
    QCOMPARE(errors->size(), 0);
}

void TestSendMailDialogue::copyGoesToSecondRecipient()
{
    QList<QByteArray> script = ScriptedSmtpPeer::acceptingScript();
    script.insert(4, "250 second recipient ok\r\n");
    peer.setScript(script);
    send(true);
    QTRY_COMPARE(sent->size(), 1);
    QCOMPARE(peer.commands().mid(2, 2),
             (QList<QByteArray>{"RCPT TO: <help@support.test>", "RCPT TO: <ann@example.org>"}));
    QVERIFY(peer.received().contains("\r\nCc: <ann@example.org>\r\n"));
}

void TestSendMailDialogue::refusalCarriesRelayReply_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("refusal");
    QTest::newRow("greeting") << 0 << QByteArray("554 no service here\r\n");
    QTest::newRow("HELO") << 1 << QByteArray("501 bad helo\r\n");
    QTest::newRow("MAIL FROM, multi-line")
        << 2 << QByteArray("550-5.1.0 Sender refused:\r\n550 5.1.0 not a local address\r\n");
    QTest::newRow("RCPT TO") << 3 << QByteArray("550 no such mailbox\r\n");
    QTest::newRow("DATA answered with 250") << 4 << QByteArray("250 but no go-ahead\r\n");
    QTest::newRow("message") << 5 << QByteArray("552 message too big\r\n");
}

void TestSendMailDialogue::refusalCarriesRelayReply()
{
    QFETCH(int, step);
    QFETCH(QByteArray, refusal);
    QList<QByteArray> script = ScriptedSmtpPeer::acceptingScript().mid(0, step);
    peer.setScript(script << refusal);
    send();
    QTRY_COMPARE(errors->size(), 1);
    QCOMPARE(errors->first().first().toString(), QString::fromLatin1(refusal));
    QCOMPARE(mail->getState(), int(SendMail::Finished));
    QTRY_VERIFY(peer.clientGone());
    // The message itself is no command line.
    QCOMPARE(peer.commands(), commandsUpTo(qMin(step, 4)));
    QCOMPARE(sent->size(), 0);
}

void TestSendMailDialogue::droppedConnectionReported()
{
    peer.setScript({"220 scripted\r\n", ScriptedSmtpPeer::close});
    send();
    QTRY_COMPARE(errors->size(), 1);
    QCOMPARE(
        errors->first().first().toString(),
        QStringLiteral("The connection to the mail server was lost.\nPlease try again later."));
    QCOMPARE(sent->size(), 0);
}

void TestSendMailDialogue::abortEndsSilently()
{
    peer.setScript({}); // connected, but the relay never greets
    send();
    QTRY_COMPARE(status->size(), 1);
    QTRY_COMPARE(peer.connectionCount() > 0 && !peer.clientGone(), true);
    mail->abort();
    QTRY_VERIFY(peer.clientGone());
    QTest::qWait(100);
    QCOMPARE(errors->size(), 0);
    QCOMPARE(sent->size(), 0);
    QCOMPARE(peer.received(), QByteArray());
}

void TestSendMailDialogue::injectedCommandsRefused_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("subject");
    QTest::newRow("line break in the sender")
        << "ann@example.org>\r\nRCPT TO:<victim@example.org" << "Help";
    QTest::newRow("angle bracket in the sender") << "ann@example.org> SIZE=1" << "Help";
    QTest::newRow("line break in the subject") << "ann@example.org" << "Help\nBcc: x@example.org";
}

void TestSendMailDialogue::injectedCommandsRefused()
{
    QFETCH(QString, sender);
    QFETCH(QString, subject);
    const int before = peer.connectionCount();
    mail->send(sender, mailbox, subject, QStringLiteral("It broke."), true);
    QTRY_COMPARE(errors->size(), 1);
    QVERIFY(errors->first().first().toString().startsWith("The message was not sent."));
    QTest::qWait(100);
    QCOMPARE(peer.connectionCount(), before);
    QCOMPARE(sent->size(), 0);
}

void TestSendMailDialogue::refusedConnectionReported()
{
    const quint16 port = peer.port();
    peer.stopListening();
    send();
    QTRY_COMPARE(errors->size(), 1);
    QCOMPARE(errors->first().first().toString(),
             QStringLiteral("Cannot connect to the mail server.\nPlease check your internet "
                            "connection and proxy settings."));
    QCOMPARE(status->size(), 0);
    QVERIFY(peer.listen(port));
}

QTEST_GUILESS_MAIN(TestSendMailDialogue)
#include "tst_sendmaildialogue.moc"
