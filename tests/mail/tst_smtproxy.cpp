// The mail proxy between real SMTP clients (curl, swaks, and raw dialogues
// where they cannot say what we need) and the test relay.

#include "EventWait.h"
#include "SmtpRelayPeer.h"
#include "mail/SmtpRoxyServer.h"

#include <QFile>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString aliasFrom = "<swift.fox@anon.test>";

enum Decision
{
    SendNormally,
    SendAsAlias,
    DoNotSend,
    NoQuestion // the proxy must not ask at all
};

enum MailProgram
{
    Curl,
    Swaks,
    Smtplib // Python's, set to encrypt with STARTTLS when it is offered
};

// Sends one message with Python's smtplib the way mail programs set to
// "STARTTLS if available" do, printing the extensions it was offered.
// Arguments: port, sender, recipients (comma-separated), message file.
const char smtplibClient[] = R"(
import smtplib, ssl, sys
port, sender, recipients, path = int(sys.argv[1]), sys.argv[2], sys.argv[3].split(","), sys.argv[4]
with smtplib.SMTP("127.0.0.1", port, timeout=20) as smtp:
    smtp.ehlo("client.example")
    print("offered:", " ".join(sorted(smtp.esmtp_features)), flush=True)
    if smtp.has_extn("starttls"):
        smtp.starttls(context=ssl._create_unverified_context())
        smtp.ehlo("client.example")
        print("encrypted", flush=True)
    with open(path, "rb") as message:
        smtp.sendmail(sender, recipients, message.read())
)";

// The system's interpreter: another user may not reach one installed under
// root's home.
const QString systemPython = QStringLiteral("/usr/bin/python3");

// Sends one message with smtplib, printing how the attempt ended.
// Arguments: host, port.
const char smtplibAttempt[] = R"(
import smtplib, sys
try:
    with smtplib.SMTP(sys.argv[1], int(sys.argv[2]), timeout=5) as smtp:
        smtp.sendmail("eve@example.org", ["bob@example.net"], b"Subject: hi\r\n\r\nbody\r\n")
    print("sent")
except smtplib.SMTPServerDisconnected:
    print("disconnected")
except Exception as error:
    print("failed:", repr(error))
)";

QByteArray header(const QByteArray &from = "Ann Smith <ann@example.org>")
{
    return "Message-ID: <m1@example.org>\r\n"
           "From: " +
           from +
           "\r\n"
           "Sender: ann@example.org\r\n"
           "To: bob@example.net\r\n"
           "Subject: =?utf-8?B?w6TDtsO8?=\r\n"
           "Reply-To: ann@example.org\r\n";
}

QByteArray envelopeOf(const QByteArray &stored)
{
    return stored.left(stored.indexOf("\r\n", stored.lastIndexOf("X-Envelope-")) + 2);
}

QByteArray contentOf(const QByteArray &stored)
{
    return stored.mid(envelopeOf(stored).size());
}

// One SMTP reply (all its lines), or empty after a time-out or a cut.
QByteArray readReply(QTcpSocket &socket)
{
    QByteArray reply;
    for (;;) {
        if (!waitUntil([&] { return socket.canReadLine(); }, 5000))
            return reply;
        const QByteArray line = socket.readLine();
        reply += line;
        if (line.size() < 4 || line.at(3) != '-')
            return reply;
    }
}

// MAIL from ann, then RCPT to `recipient`, each waited for: true when both
// were accepted.
bool openEnvelope(QTcpSocket &socket, const char *recipient)
{
    socket.write("MAIL FROM:<ann@example.org>\r\n");
    if (!readReply(socket).startsWith("250"))
        return false;
    socket.write(QByteArray("RCPT TO:<") + recipient + ">\r\n");
    return readReply(socket).startsWith("250");
}

} // namespace

class TestSmtpRoxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void decisions_data();
    void decisions();
    void relayCutInMessageFails_data();
    void relayCutInMessageFails();
    void extensionsThatBypassTheProxyHidden_data();
    void extensionsThatBypassTheProxyHidden();
    void commandsThatBypassTheProxyRefused_data();
    void commandsThatBypassTheProxyRefused();
    void pipelinedCommandsAnsweredInOrder();
    void oversizedHeaderRefused_data();
    void oversizedHeaderRefused();
    void connectionGoesOnAfterARefusedHeader();
    void listensOnLoopbackOnly();
    void secondConnectionRefused();
    void everyMessageOfAConnectionIntercepted();
    void mailProgramHeldBackWhileDeciding();
    void aliasWithoutRecipientRefused();
    void abortedAliasLeavesNoTrace();
    void unreachableRelayAnswered421_data();
    void unreachableRelayAnswered421();
    void lateAnswerLeavesNewerConnectionAlone_data();
    void lateAnswerLeavesNewerConnectionAlone();
    void reachableOnBothLoopbackAddresses_data();
    void reachableOnBothLoopbackAddresses();
    void notStartedWhenALoopbackAddressIsTaken_data();
    void notStartedWhenALoopbackAddressIsTaken();
    void otherUsersConnectionClosedAtOnce_data();
    void otherUsersConnectionClosedAtOnce();
    void idleConnectionClosed();
    void senderThatBreaksTheLineRefused_data();
    void senderThatBreaksTheLineRefused();

private:
    // The mail program sends `message` to the proxy and the decision is
    // given; returns the program's exit status.
    int send(MailProgram program, const QByteArray &message, const QStringList &recipients,
             Decision decision, const QStringList &extraArguments = {});
    void answer(Decision decision);
    void connectRaw(QTcpSocket &socket,
                    const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    void skipWithout(MailProgram program);

    SmtpRelayPeer relay;
    QTemporaryDir folder;
    QByteArray clientOutput; // what the mail program of the last send() printed
    SmtpRoxyServer *proxy = nullptr;
    QSignalSpy *queries = nullptr;
};

void TestSmtpRoxy::initTestCase()
{
    if (QStandardPaths::findExecutable("curl").isEmpty())
        QSKIP("curl is missing");
    QString error;
    if (!relay.start(&error))
        QSKIP(qPrintable(error));
    QFile ini(folder.filePath("deployment.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("relay_host = 127.0.0.1\nrelay_port = " + QByteArray::number(relay.port()) +
              "\nalias_domain = anon.test\n");
    ini.close();
    qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(ini.fileName()));
}

void TestSmtpRoxy::init()
{
    relay.clear();
    proxy = new SmtpRoxyServer;
    queries = new QSignalSpy(proxy, &SmtpRoxyServer::showQuery);
    proxy->startProxy(0);
    QVERIFY(proxy->port() != 0);
}

void TestSmtpRoxy::cleanup()
{
    delete queries;
    delete proxy;
    queries = nullptr;
    proxy = nullptr;
}

void TestSmtpRoxy::answer(Decision decision)
{
    MailInfo info = queries->last().at(0).value<MailInfo>();
    info.from = decision == SendNormally ? info.from : decision == SendAsAlias ? aliasFrom : "";
    proxy->queryDone(info);
}

int TestSmtpRoxy::send(MailProgram program, const QByteArray &message,
                       const QStringList &recipients, Decision decision,
                       const QStringList &extraArguments)
{
    QFile file(folder.filePath("message.eml"));
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    QStringList arguments;
    if (program == Curl) {
        file.write(message);
        // -v: the dialogue goes to the output too.
        arguments << "-v"
                  << "-sS" << QString("smtp://127.0.0.1:%1").arg(proxy->port()) << "--mail-from"
                  << "ann@example.org"
                  << "-T" << file.fileName();
        for (const QString &recipient : recipients)
            arguments << "--mail-rcpt" << recipient;
    } else if (program == Smtplib) {
        file.write(message);
        arguments << "-c" << smtplibClient << QString::number(proxy->port()) << "ann@example.org"
                  << recipients.join(',') << file.fileName();
    } else {
        // swaks sends the text as it is and a line end after it: the
        // dot-stuffing and the terminating "." are ours to write.
        QByteArray stuffed = message;
        stuffed.replace("\r\n.", "\r\n..");
        file.write(stuffed + ".");
        arguments << "--server"
                  << "127.0.0.1"
                  << "--port" << QString::number(proxy->port()) << "--from"
                  << "ann@example.org"
                  << "--to" << recipients.join(',') << "--helo"
                  << "client.example"
                  << "--data" << '@' + file.fileName() << "--no-data-fixup";
    }
    file.close();

    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", folder.path()); // no personal swaks or curl settings
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::MergedChannels);
    // A connection cut while the program writes must end in its error
    // report, as in mail programs, not in its death by SIGPIPE.
    client.setChildProcessModifier([] { ::signal(SIGPIPE, SIG_IGN); });
    const int before = queries->count();
    client.start(program == Curl    ? "curl"
                 : program == Swaks ? "swaks"
                                    : "python3",
                 arguments + extraArguments);
    if (decision != NoQuestion) {
        if (!waitUntil([&] { return queries->count() > before; }, 10000)) {
            client.kill();
            client.waitForFinished();
            clientOutput = client.readAll();
            return -2;
        }
        answer(decision);
    }
    const bool ended = waitUntil([&] { return client.state() == QProcess::NotRunning; }, 10000);
    clientOutput = client.readAll();
    if (!ended)
        return -3;
    return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -4;
}

void TestSmtpRoxy::skipWithout(MailProgram program)
{
    if (program == Swaks && QStandardPaths::findExecutable("swaks").isEmpty())
        QSKIP("swaks is missing");
    if (program == Smtplib && QStandardPaths::findExecutable("python3").isEmpty())
        QSKIP("python3 is missing");
}

void TestSmtpRoxy::decisions_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QStringList>("recipients");
    QTest::addColumn<int>("decision");
    QTest::addColumn<QByteArray>("delivered"); // empty: nothing may arrive
    QTest::addColumn<QByteArray>("envelope");

    const QByteArray body = "\r\nHello Bob,\r\n..dotted line\r\nbye\r\n";
    const QByteArray message = header() + body;
    const QByteArray rewritten = header("<swift.fox@anon.test>") + body;
    const QByteArray ownEnvelope = "X-Envelope-From: <ann@example.org>\r\n"
                                   "X-Envelope-To: <bob@example.net>\r\n";
    const QByteArray aliasEnvelope = "X-Envelope-From: <swift.fox@anon.test>\r\n"
                                     "X-Envelope-To: <bob@example.net>\r\n";
    const QStringList bob{"bob@example.net"};
    const QByteArray folded =
        header("=?utf-8?B?SmnFmcOtIE5vdsOhaywgb2RkxJtsZW7DrSBwcm9kZWplIGEgc2tsYWR1?=\r\n"
               " <jiri.novak@example.org>") +
        body;
    const QByteArray foldedTwice =
        header("=?utf-8?B?SmnFmcOtIE5vdsOhaywgb2RkxJtsZW7DrSBwcm9kZWplIGEgc2tsYWR1?=\r\n"
               "\t=?utf-8?B?YSBsb2dpc3Rpa3k=?=\r\n"
               "  <jiri.novak@example.org>") +
        body;
    QByteArray withoutFrom = message;
    withoutFrom.replace("From: Ann Smith <ann@example.org>\r\n", "");

    for (const MailProgram program : {Curl, Swaks}) {
        const QByteArray name = program == Curl ? "curl: " : "swaks: ";
        QTest::newRow(name + "send normally")
            << int(program) << message << bob << int(SendNormally) << message << ownEnvelope;
        QTest::newRow(name + "alias")
            << int(program) << message << bob << int(SendAsAlias) << rewritten << aliasEnvelope;
        QTest::newRow(name + "alias, three recipients")
            << int(program) << message
            << QStringList{"bob@example.net", "carl@example.net", "dora@example.net"}
            << int(SendAsAlias) << rewritten
            << QByteArray("X-Envelope-From: <swift.fox@anon.test>\r\n"
                          "X-Envelope-To: <bob@example.net>\r\n"
                          "X-Envelope-To: <carl@example.net>\r\n"
                          "X-Envelope-To: <dora@example.net>\r\n");
        QTest::newRow(name + "do not send")
            << int(program) << message << bob << int(DoNotSend) << QByteArray() << QByteArray();
        // A long encoded display name makes mail programs fold the field:
        // all of it goes, the address on its continuation lines included,
        // and nothing else changes.
        QTest::newRow(name + "alias, folded From")
            << int(program) << folded << bob << int(SendAsAlias) << rewritten << aliasEnvelope;
        QTest::newRow(name + "alias, From folded over three lines")
            << int(program) << foldedTwice << bob << int(SendAsAlias) << rewritten << aliasEnvelope;
        QTest::newRow(name + "send normally, folded From")
            << int(program) << folded << bob << int(SendNormally) << folded << ownEnvelope;
        // Nothing in the header names the sender: sending normally must
        // still send, unchanged.
        QTest::newRow(name + "no From header, send normally")
            << int(program) << withoutFrom << bob << int(SendNormally) << withoutFrom
            << ownEnvelope;
    }

    // The header is held whole, however many lines it has, up to the
    // bound in bytes: a From at its end is rewritten too.
    QByteArray longHeader;
    for (int i = 0; i < 120; ++i)
        longHeader += "X-Filler-" + QByteArray::number(i) + ": some value\r\n";
    QByteArray nearBound;
    for (int i = 0; nearBound.size() < 250 * 1024; ++i)
        nearBound += "Received: from hop" + QByteArray::number(i) + " by relay" +
                     QByteArray(60, 'x') + "\r\n\t(folded part of the field)\r\n";
    for (const MailProgram program : {Curl, Swaks}) {
        const QByteArray name = program == Curl ? "curl: " : "swaks: ";
        QTest::newRow(name + "header over 100 lines")
            << int(program) << QByteArray(longHeader + header() + body) << bob << int(SendAsAlias)
            << QByteArray(longHeader + rewritten) << aliasEnvelope;
        QTest::newRow(name + "header of 250 KiB, From last")
            << int(program) << QByteArray(nearBound + header() + body) << bob << int(SendAsAlias)
            << QByteArray(nearBound + rewritten) << aliasEnvelope;
    }

    // Bare LF from the mail program: the held lines reach the relay with CR LF
    // (the final CR LF is curl's, put before its terminating ".").
    QByteArray bare = message;
    bare.replace("\r\n", "\n");
    QTest::newRow("curl: bare LF")
        << int(Curl) << bare << bob << int(SendNormally)
        << QByteArray(header() + "\r\nHello Bob,\n..dotted line\nbye\n\r\n") << ownEnvelope;

    // Lines far longer than the proxy's read buffer, in the header (before
    // From, which must still be rewritten) and in the body.
    const QByteArray references = "References: <" + QByteArray(5000, 'r') + "@example.org>\r\n";
    const QByteArray longBody = "\r\n" + QByteArray(5000, 'b') + "\r\nend\r\n";
    // After the decision the message goes on in large blocks: dot lines and
    // block borders anywhere must not change a byte.
    QByteArray large = header() + "\r\n";
    for (int i = 0; large.size() < 3 * 1024 * 1024; ++i)
        large += QByteArray(i % 1500, 'a' + i % 26) + (i % 7 == 0 ? "\r\n.dot\r\n" : "\r\n");
    QTest::newRow("curl: 3 MB message")
        << int(Curl) << large << bob << int(SendNormally) << large << ownEnvelope;
    QTest::newRow("curl: 5000-byte lines")
        << int(Curl) << QByteArray(references + header() + longBody) << bob << int(SendAsAlias)
        << QByteArray(references + header("<swift.fox@anon.test>") + longBody) << aliasEnvelope;
}

void TestSmtpRoxy::decisions()
{
    QFETCH(int, program);
    QFETCH(QByteArray, message);
    QFETCH(QStringList, recipients);
    QFETCH(int, decision);
    QFETCH(QByteArray, delivered);
    QFETCH(QByteArray, envelope);
    skipWithout(MailProgram(program));

    const int status = send(MailProgram(program), message, recipients, Decision(decision));
    QCOMPARE(queries->count(), 1);
    const MailInfo query = queries->first().at(0).value<MailInfo>();
    QCOMPARE(query.recipients, recipients);
    QVERIFY(!query.from.isEmpty()); // empty would mean "do not send" on the way back

    if (delivered.isEmpty()) {
        QVERIFY(status > 0); // the mail program saw its connection cut
        QTest::qWait(200);
        QVERIFY(relay.messages().isEmpty());
        return;
    }
    QCOMPARE(status, 0);
    QTRY_COMPARE(relay.messages().size(), 1);
    const QByteArray stored = relay.messages().first();
    QCOMPARE(envelopeOf(stored), envelope);
    QCOMPARE(contentOf(stored), delivered);
}

void TestSmtpRoxy::relayCutInMessageFails_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("cutAfter"); // bytes of message text the relay takes

    QTest::newRow("curl: in the body") << int(Curl) << 20000;
    QTest::newRow("curl: before the reply") << int(Curl) << 10000000;
    QTest::newRow("swaks: in the body") << int(Swaks) << 20000;
    QTest::newRow("swaks: before the reply") << int(Swaks) << 10000000;
}

// A relay that drops the connection before it has confirmed the message:
// the mail program must learn that the message did not go, never get an "OK"
// the relay did not give.
void TestSmtpRoxy::relayCutInMessageFails()
{
    QFETCH(int, program);
    QFETCH(int, cutAfter);
    skipWithout(MailProgram(program));

    SmtpRelayPeer cuttingRelay("smtp_sink.py", {"--cut-after-bytes", QString::number(cutAfter)});
    QString error;
    QVERIFY2(cuttingRelay.start(&error), qPrintable(error));
    proxy->setRelay("127.0.0.1", cuttingRelay.port());

    QByteArray body = "\r\n";
    for (int i = 0; i < 5000; ++i)
        body += "line " + QByteArray::number(i) + " of a long message\r\n";
    const int status =
        send(MailProgram(program), header() + body, {"bob@example.net"}, SendNormally);
    QVERIFY2(status > 0, qPrintable(QString("exit status %1").arg(status)));
}

void TestSmtpRoxy::extensionsThatBypassTheProxyHidden_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<QStringList>("arguments");
    // STARTTLS would encrypt past the proxy, end to end with the relay.
    QTest::newRow("smtplib, STARTTLS when offered") << int(Smtplib) << QStringList();
    // PIPELINING lets the mail program send DATA before the relay has
    // answered MAIL and RCPT.
    QTest::newRow("swaks --pipeline") << int(Swaks) << QStringList{"--pipeline"};
}

// A relay that offers what would carry the message past the proxy: the
// mail program is not offered it, and its message is intercepted.
void TestSmtpRoxy::extensionsThatBypassTheProxyHidden()
{
    QFETCH(int, program);
    QFETCH(QStringList, arguments);
    skipWithout(MailProgram(program));

    SmtpRelayPeer offeringRelay("smtp_relay.py", {"--starttls", "--advertise", "PIPELINING",
                                                  "--advertise", "CHUNKING", "--advertise",
                                                  "BINARYMIME", "--advertise", "BURL imap"});
    QString error;
    QVERIFY2(offeringRelay.start(&error), qPrintable(error));
    proxy->setRelay("127.0.0.1", offeringRelay.port());

    const QByteArray message = header() + "\r\nHello Bob\r\n";
    const int status =
        send(MailProgram(program), message, {"bob@example.net"}, SendAsAlias, arguments);
    QVERIFY2(status == 0, clientOutput.constData());
    QCOMPARE(queries->count(), 1);
    QTRY_COMPARE(offeringRelay.messages().size(), 1);
    const QByteArray stored = offeringRelay.messages().first();
    QCOMPARE(envelopeOf(stored), QByteArray("X-Envelope-From: <swift.fox@anon.test>\r\n"
                                            "X-Envelope-To: <bob@example.net>\r\n"));
    QCOMPARE(contentOf(stored), header("<swift.fox@anon.test>") + "\r\nHello Bob\r\n");
    if (program == Smtplib) {
        // What stays on offer: everything that does not change how the
        // message travels.
        QVERIFY2(clientOutput.startsWith("offered: 8bitmime auth help size"),
                 clientOutput.constData());
        QVERIFY(!clientOutput.contains("encrypted"));
    }
}

void TestSmtpRoxy::commandsThatBypassTheProxyRefused_data()
{
    QTest::addColumn<QByteArray>("command"); // with what follows it
    QTest::newRow("STARTTLS") << QByteArray("STARTTLS\r\n");
    QTest::newRow("starttls") << QByteArray("starttls\r\n");
    // BDAT carries its message outside DATA: its chunk must not be taken
    // for commands either.
    const QByteArray chunk = header() + "\r\nHello\r\n";
    QTest::newRow("BDAT with its chunk")
        << QByteArray("BDAT " + QByteArray::number(chunk.size()) + " LAST\r\n" + chunk);
    QTest::newRow("BDAT, chunk in pieces") << QByteArray("bdat 4000\r\n" + QByteArray(4000, 'b'));
    QTest::newRow("BURL") << QByteArray("BURL imap://mail.example.org/INBOX;UID=1 LAST\r\n");
}

// Mail programs that use them anyway, unoffered, get a refusal; the relay
// never hears of them.
void TestSmtpRoxy::commandsThatBypassTheProxyRefused()
{
    QFETCH(QByteArray, command);
    SmtpRelayPeer offeringRelay("smtp_relay.py", {"--starttls"});
    QString error;
    QVERIFY2(offeringRelay.start(&error), qPrintable(error));
    proxy->setRelay("127.0.0.1", offeringRelay.port());

    QTcpSocket client;
    connectRaw(client);
    QVERIFY(openEnvelope(client, "bob@example.net"));
    client.write(command);
    QCOMPARE(readReply(client).left(4), QByteArray("502 "));
    // The dialogue goes on in plain text, with the relay.
    client.write("NOOP\r\n");
    QCOMPARE(readReply(client).left(4), QByteArray("250 "));
    client.write("QUIT\r\n");
    QVERIFY(readReply(client).startsWith("221"));
    QCOMPARE(queries->count(), 0);
    QVERIFY(offeringRelay.messages().isEmpty());
}

// A mail program that sends its envelope in one go (as if PIPELINING were
// offered) gets the proxy's own "354" after the relay's replies, not before.
void TestSmtpRoxy::pipelinedCommandsAnsweredInOrder()
{
    QTcpSocket client;
    connectRaw(client);
    client.write("MAIL FROM:<ann@example.org>\r\nRCPT TO:<bob@example.net>\r\n"
                 "RCPT TO:<carl@example.net>\r\nDATA\r\n");
    QVERIFY(readReply(client).startsWith("250"));
    QVERIFY(readReply(client).startsWith("250"));
    QVERIFY(readReply(client).startsWith("250"));
    QVERIFY(readReply(client).startsWith("354 Enter mail"));
    client.write(header() + "\r\nHello\r\n.\r\nQUIT\r\n");
    QTRY_COMPARE(queries->count(), 1);
    QCOMPARE(queries->first().at(0).value<MailInfo>().recipients,
             (QStringList{"bob@example.net", "carl@example.net"}));
    answer(SendAsAlias);
    QVERIFY(readReply(client).startsWith("250 OK stored"));
    QVERIFY(readReply(client).startsWith("221"));
    QCOMPARE(relay.messages().size(), 1);
    QVERIFY(relay.messages().first().contains("\r\nFrom: <swift.fox@anon.test>\r\n"));
}

void TestSmtpRoxy::oversizedHeaderRefused_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<QByteArray>("message");

    QByteArray manyLines;
    for (int i = 0; manyLines.size() <= 300 * 1024; ++i)
        manyLines += "X-Filler-" + QByteArray::number(i) + ": " + QByteArray(80, 'f') + "\r\n";
    const QByteArray oneLongLine = "References: <" + QByteArray(300 * 1024, 'r') + "@x.org>\r\n";
    const QByteArray body = "\r\nHello Bob,\r\nbye\r\n";
    for (const MailProgram program : {Curl, Swaks}) {
        const QByteArray name = program == Curl ? "curl: " : "swaks: ";
        QTest::newRow(name + "many lines, From last")
            << int(program) << QByteArray(manyLines + header() + body);
        QTest::newRow(name + "one line over the bound")
            << int(program) << QByteArray(oneLongLine + header() + body);
    }
}

// A header the proxy cannot hold whole cannot be rewritten whole: rather
// than send it under an alias with the real sender in it, the proxy
// refuses the message, and the mail program says so.
void TestSmtpRoxy::oversizedHeaderRefused()
{
    QFETCH(int, program);
    QFETCH(QByteArray, message);
    skipWithout(MailProgram(program));

    const int status = send(MailProgram(program), message, {"bob@example.net"}, NoQuestion);
    QVERIFY2(status > 0, qPrintable(QString("exit status %1").arg(status)));
    // curl calls any refusal of the message text a "weird server reply";
    // its dialogue shows which.
    QVERIFY2(clientOutput.contains("552 5.3.4 "), clientOutput.right(2000).constData());
    QCOMPARE(queries->count(), 0);
    QTest::qWait(200);
    QVERIFY(relay.messages().isEmpty());
}

void TestSmtpRoxy::connectionGoesOnAfterARefusedHeader()
{
    QTcpSocket client;
    connectRaw(client);
    client.write("MAIL FROM:<ann@example.org>\r\nRCPT TO:<bob@example.net>\r\n");
    QVERIFY(readReply(client).startsWith("250"));
    QVERIFY(readReply(client).startsWith("250"));
    client.write("DATA\r\n");
    QVERIFY(readReply(client).startsWith("354"));
    const QByteArray filler = "X-Filler: " + QByteArray(90, 'f') + "\r\n";
    client.write(filler.repeated(3000) + header() + "\r\nbody\r\n.\r\n");
    QVERIFY(readReply(client).startsWith("552"));
    QCOMPARE(queries->count(), 0);

    // The relay forgot the refused envelope: a new one is accepted.
    QVERIFY(openEnvelope(client, "carl@example.net"));
    client.write("DATA\r\n");
    QVERIFY(readReply(client).startsWith("354"));
    client.write(header() + "\r\nsecond\r\n.\r\n");
    QTRY_COMPARE(queries->count(), 1);
    answer(SendAsAlias);
    QVERIFY(readReply(client).startsWith("250 OK stored"));
    QCOMPARE(relay.messages().size(), 1);
    QCOMPARE(envelopeOf(relay.messages().first()),
             QByteArray("X-Envelope-From: <swift.fox@anon.test>\r\n"
                        "X-Envelope-To: <carl@example.net>\r\n"));
}

void TestSmtpRoxy::listensOnLoopbackOnly()
{
    QHostAddress outside;
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (!address.isLoopback() && address.protocol() == QAbstractSocket::IPv4Protocol)
            outside = address;
    }
    if (outside.isNull())
        QSKIP("this machine has no address besides loopback");
    QTcpSocket socket;
    socket.connectToHost(outside, proxy->port());
    QVERIFY(!socket.waitForConnected(2000));
}

void TestSmtpRoxy::connectRaw(QTcpSocket &socket, const QHostAddress &address)
{
    socket.connectToHost(address, proxy->port());
    QVERIFY(socket.waitForConnected(2000));
    QVERIFY(readReply(socket).startsWith("220"));
    socket.write("HELO client.example\r\n");
    QVERIFY(readReply(socket).startsWith("250"));
}

void TestSmtpRoxy::secondConnectionRefused()
{
    QTcpSocket first;
    connectRaw(first);
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, proxy->port());
    QTRY_COMPARE(second.state(), QAbstractSocket::UnconnectedState);
    // Closed without a word: nothing can arrive on it any more.
    QCOMPARE(second.readAll(), QByteArray());

    first.write("QUIT\r\n");
    QVERIFY(readReply(first).startsWith("221"));
    // The relay ends the connection after QUIT; the proxy is free once it
    // has let the mail program's side go too.
    QTRY_COMPARE(first.state(), QAbstractSocket::UnconnectedState);
    QTcpSocket third;
    connectRaw(third);
}

void TestSmtpRoxy::everyMessageOfAConnectionIntercepted()
{
    QTcpSocket client;
    connectRaw(client);
    const QList<Decision> decisions{SendAsAlias, SendAsAlias, SendNormally};
    for (int i = 0; i < decisions.size(); ++i) {
        QVERIFY(openEnvelope(client, "bob@example.net"));
        client.write(i == 0 ? "data\r\n" : "DATA\r\n"); // any case is intercepted
        QCOMPARE(readReply(client), QByteArray("354 Enter mail, end with \".\" on a line by "
                                               "itself\r\n"));
        client.write(header() + "\r\nmessage " + QByteArray::number(i) + "\r\n.\r\n");
        QTRY_COMPARE(queries->count(), i + 1);
        answer(decisions.at(i));
        QVERIFY(readReply(client).startsWith("250 OK stored"));
    }
    client.write("QUIT\r\n");
    QVERIFY(readReply(client).startsWith("221"));

    const QList<QByteArray> stored = relay.messages();
    QCOMPARE(stored.size(), 3);
    QVERIFY(stored.at(0).startsWith("X-Envelope-From: <swift.fox@anon.test>"));
    QVERIFY(stored.at(1).contains("\r\nFrom: <swift.fox@anon.test>\r\n"));
    QVERIFY(stored.at(1).contains("message 1"));
    QVERIFY(stored.at(2).startsWith("X-Envelope-From: <ann@example.org>"));
    QVERIFY(stored.at(2).contains("\r\nFrom: Ann Smith <ann@example.org>\r\n"));
}

// While the user decides, the mail program is held back by the network,
// not by the proxy's memory; afterwards all of the message goes on.
void TestSmtpRoxy::mailProgramHeldBackWhileDeciding()
{
    QTcpSocket client;
    connectRaw(client);
    QVERIFY(openEnvelope(client, "bob@example.net"));
    client.write("DATA\r\n");
    QVERIFY(readReply(client).startsWith("354"));
    const QByteArray line = QByteArray(76, 'x') + "\r\n";
    const QByteArray message = header() + "\r\n" + line.repeated(30 * 1024 * 1024 / line.size());
    client.write(message + ".\r\n");
    QTRY_COMPARE(queries->count(), 1);
    QTest::qWait(1000);
    QVERIFY2(client.bytesToWrite() > 10 * 1024 * 1024,
             qPrintable(QString("%1 bytes still to write").arg(client.bytesToWrite())));
    QVERIFY(relay.messages().isEmpty());

    answer(SendNormally);
    QVERIFY(waitUntil([&] { return client.canReadLine(); }, 60000));
    QVERIFY(readReply(client).startsWith("250 OK stored"));
    QCOMPARE(relay.messages().size(), 1);
    QCOMPARE(contentOf(relay.messages().first()), message);
}

void TestSmtpRoxy::aliasWithoutRecipientRefused()
{
    QTcpSocket client;
    connectRaw(client);
    client.write("MAIL FROM:<ann@example.org>\r\n");
    QVERIFY(readReply(client).startsWith("250"));
    client.write("RCPT TO:<postmaster>\r\n"); // relayed, but no address to record
    readReply(client);
    client.write("DATA\r\n");
    QVERIFY(readReply(client).startsWith("354"));
    client.write(header() + "\r\n");
    QTRY_COMPARE(queries->count(), 1);
    QVERIFY(queries->first().at(0).value<MailInfo>().recipients.isEmpty());
    answer(SendAsAlias);
    QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    QTest::qWait(200);
    QVERIFY(relay.messages().isEmpty());
}

void TestSmtpRoxy::abortedAliasLeavesNoTrace()
{
    {
        QTcpSocket client;
        connectRaw(client);
        client.write("MAIL FROM:<ann@example.org>\r\nRCPT TO:<old@example.net>\r\n");
        readReply(client);
        readReply(client);
        client.write("DATA\r\n");
        QVERIFY(readReply(client).startsWith("354"));
        client.write(header() + "\r\n");
        QTRY_COMPARE(queries->count(), 1);
        client.abort();
    }
    QCOMPARE(send(Curl, header() + "\r\nbody\r\n", {"new@example.net"}, SendAsAlias), 0);
    QTRY_COMPARE(relay.messages().size(), 1);
    QCOMPARE(envelopeOf(relay.messages().first()),
             QByteArray("X-Envelope-From: <swift.fox@anon.test>\r\n"
                        "X-Envelope-To: <new@example.net>\r\n"));
}

namespace {

// A loopback port where nothing listens.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort(); // closed with the server
}

// A loopback port that never completes a connection: its listening socket
// has room for one waiting connection and `filler` takes it, so further
// connection requests go unanswered.
class Blackhole
{
public:
    Blackhole()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
            ::listen(fd, 0) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return;
        port = ntohs(address.sin_port);
        filler.connectToHost(QHostAddress::LocalHost, port);
        if (!filler.waitForConnected(2000))
            port = 0;
    }
    ~Blackhole()
    {
        if (fd >= 0)
            ::close(fd);
    }
    quint16 port = 0;

private:
    int fd = -1;
    QTcpSocket filler;
};

} // namespace

void TestSmtpRoxy::unreachableRelayAnswered421_data()
{
    QTest::addColumn<int>("program"); // -1: a raw dialogue
    QTest::addColumn<QString>("why");
    QTest::newRow("refused, raw") << -1 << "refused";
    QTest::newRow("refused, curl") << int(Curl) << "refused";
    QTest::newRow("refused, swaks") << int(Swaks) << "refused";
    QTest::newRow("unknown host, raw") << -1 << "unknown host";
    QTest::newRow("no answer, raw") << -1 << "no answer";
    QTest::newRow("no answer, curl") << int(Curl) << "no answer";
}

// The mail program hears at once that the relay is out of reach, and the
// proxy is free for the next connection.
void TestSmtpRoxy::unreachableRelayAnswered421()
{
    QFETCH(int, program);
    QFETCH(QString, why);
    if (program >= 0)
        skipWithout(MailProgram(program));
    Blackhole blackhole;
    if (why == "refused") {
        proxy->setRelay("127.0.0.1", closedPort());
    } else if (why == "unknown host") {
        proxy->setRelay("relay.quillnet.invalid", 443);
    } else {
        QVERIFY(blackhole.port != 0);
        proxy->setRelay("127.0.0.1", blackhole.port);
        proxy->setRelayConnectTimeout(1500);
    }

    if (program < 0) {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, proxy->port());
        QVERIFY(client.waitForConnected(2000));
        const QByteArray reply = readReply(client);
        QVERIFY2(reply.startsWith("421 "), reply.constData());
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    } else {
        const int status =
            send(MailProgram(program), header() + "\r\nHello\r\n", {"bob@example.net"}, NoQuestion);
        QVERIFY2(status > 0, qPrintable(QString("exit status %1").arg(status)));
        QVERIFY2(clientOutput.contains("421 "), clientOutput.constData());
    }
    // Not counted any more: the next connection goes through.
    proxy->setRelay("127.0.0.1", relay.port());
    QTcpSocket next;
    connectRaw(next);
}

void TestSmtpRoxy::lateAnswerLeavesNewerConnectionAlone_data()
{
    QTest::addColumn<int>("decision");
    QTest::addColumn<int>("newerAt"); // how far the newer connection got
    enum
    {
        Envelope,
        Header,
        Question
    };
    const QList<QPair<Decision, QByteArray>> decisions{
        {DoNotSend, "don't send"}, {SendNormally, "send normally"}, {SendAsAlias, "alias"}};
    for (const auto &[decision, name] : decisions) {
        QTest::newRow(name + ", newer connection in its envelope")
            << int(decision) << int(Envelope);
        QTest::newRow(name + ", newer one holding its header") << int(decision) << int(Header);
        QTest::newRow(name + ", newer one asked about its message")
            << int(decision) << int(Question);
    }
}

// The answer to a question whose connection has died comes too late: it
// does nothing, whatever it says and wherever the next connection stands.
void TestSmtpRoxy::lateAnswerLeavesNewerConnectionAlone()
{
    QFETCH(int, decision);
    QFETCH(int, newerAt);

    MailInfo late;
    {
        QTcpSocket older;
        connectRaw(older);
        older.write("MAIL FROM:<ann@example.org>\r\n");
        QVERIFY(readReply(older).startsWith("250"));
        older.write("RCPT TO:<old@example.net>\r\n");
        QVERIFY(readReply(older).startsWith("250"));
        older.write("DATA\r\n");
        QVERIFY(readReply(older).startsWith("354"));
        older.write("Message-ID: <old@example.org>\r\nFrom: Ann <ann@example.org>\r\n"
                    "Subject: old\r\n\r\n");
        QTRY_COMPARE(queries->count(), 1);
        late = queries->first().at(0).value<MailInfo>();
        older.abort();
    }
    QTest::qWait(200); // the proxy sees the older connection go

    QTcpSocket newer;
    connectRaw(newer);
    newer.write("MAIL FROM:<ann@example.org>\r\n");
    QVERIFY(readReply(newer).startsWith("250"));
    newer.write("RCPT TO:<bob@example.net>\r\n");
    QVERIFY(readReply(newer).startsWith("250"));
    if (newerAt >= 1) {
        newer.write("DATA\r\n");
        QVERIFY(readReply(newer).startsWith("354"));
        newer.write("Message-ID: <m1@example.org>\r\n");
    }
    if (newerAt == 2) {
        newer.write(header().mid(header().indexOf("\r\n") + 2) + "\r\n");
        QTRY_COMPARE(queries->count(), 2);
    }

    late.from = decision == SendNormally  ? late.from
                : decision == SendAsAlias ? aliasFrom
                                          : QString();
    proxy->queryDone(late);
    QTest::qWait(100);
    QCOMPARE(newer.state(), QAbstractSocket::ConnectedState);

    if (newerAt == 0) {
        newer.write("DATA\r\n");
        QVERIFY(readReply(newer).startsWith("354"));
        newer.write("Message-ID: <m1@example.org>\r\n");
    }
    if (newerAt < 2) {
        newer.write(header().mid(header().indexOf("\r\n") + 2) + "\r\n");
        QTRY_COMPARE(queries->count(), 2);
    }
    newer.write("newer\r\n.\r\n");
    answer(SendNormally);
    QVERIFY(readReply(newer).startsWith("250 OK stored"));
    QCOMPARE(relay.messages().size(), 1);
    const QByteArray stored = relay.messages().first();
    QCOMPARE(envelopeOf(stored), QByteArray("X-Envelope-From: <ann@example.org>\r\n"
                                            "X-Envelope-To: <bob@example.net>\r\n"));
    QCOMPARE(contentOf(stored), header() + "\r\nnewer\r\n");
}

void TestSmtpRoxy::reachableOnBothLoopbackAddresses_data()
{
    QTest::addColumn<QHostAddress>("address");
    QTest::newRow("127.0.0.1") << QHostAddress(QHostAddress::LocalHost);
    QTest::newRow("::1") << QHostAddress(QHostAddress::LocalHostIPv6);
}

void TestSmtpRoxy::reachableOnBothLoopbackAddresses()
{
    QFETCH(QHostAddress, address);
    if (QTcpServer probe; !probe.listen(address))
        QSKIP("this loopback address is not available here");
    QTcpSocket client;
    connectRaw(client, address);
}

void TestSmtpRoxy::notStartedWhenALoopbackAddressIsTaken_data()
{
    QTest::addColumn<QHostAddress>("taken");
    QTest::addColumn<QHostAddress>("other");
    QTest::newRow("127.0.0.1 taken")
        << QHostAddress(QHostAddress::LocalHost) << QHostAddress(QHostAddress::LocalHostIPv6);
    QTest::newRow("::1 taken") << QHostAddress(QHostAddress::LocalHostIPv6)
                               << QHostAddress(QHostAddress::LocalHost);
}

// Another user's listener on either address would get the mail (and the
// login) of mail programs that reach it: the proxy then does not start at
// all, and keeps neither address.
void TestSmtpRoxy::notStartedWhenALoopbackAddressIsTaken()
{
    QFETCH(QHostAddress, taken);
    QFETCH(QHostAddress, other);
    QTcpServer holder;
    QTcpServer probe;
    if (!holder.listen(taken) || !probe.listen(other, holder.serverPort()))
        QSKIP("both loopback addresses are needed");
    probe.close();

    SmtpRoxyServer second;
    QSignalSpy errors(&second, &SmtpRoxyServer::serverError);
    second.startProxy(holder.serverPort());
    QCOMPARE(second.port(), quint16(0));
    QCOMPARE(errors.count(), 1);
    QTcpServer afterwards;
    QVERIFY(afterwards.listen(other, holder.serverPort()));
}

void TestSmtpRoxy::otherUsersConnectionClosedAtOnce_data()
{
    reachableOnBothLoopbackAddresses_data();
}

void TestSmtpRoxy::otherUsersConnectionClosedAtOnce()
{
    QFETCH(QHostAddress, address);
    if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty() ||
        !QFile::exists(systemPython))
        QSKIP("needs root, setpriv and the system's python3 to act as another user");
    if (QTcpServer probe; !probe.listen(address))
        QSKIP("this loopback address is not available here");

    QProcess other;
    other.setProcessChannelMode(QProcess::MergedChannels);
    other.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", systemPython, "-c",
                            smtplibAttempt, address.toString(), QString::number(proxy->port())});
    QVERIFY(waitUntil([&] { return other.state() == QProcess::NotRunning; }, 20000));
    QCOMPARE(other.readAll().trimmed(), QByteArray("disconnected"));
    QCOMPARE(queries->count(), 0);

    // This user's own mail program is served as before.
    QTcpSocket own;
    connectRaw(own, address);
}

void TestSmtpRoxy::idleConnectionClosed()
{
    const int idleMs = 300;
    proxy->setIdleTimeout(idleMs);
    QTcpSocket idle;
    connectRaw(idle);
    QTRY_COMPARE_WITH_TIMEOUT(idle.state(), QAbstractSocket::UnconnectedState, 10000);
    QVERIFY(idle.readAll().startsWith("421"));

    // The user's decision is not idleness, however long it takes.
    QTcpSocket client;
    connectRaw(client);
    client.write("MAIL FROM:<ann@example.org>\r\nRCPT TO:<bob@example.net>\r\nDATA\r\n");
    QVERIFY(readReply(client).startsWith("250"));
    QVERIFY(readReply(client).startsWith("250"));
    QVERIFY(readReply(client).startsWith("354"));
    client.write(header() + "\r\nbody\r\n.\r\n");
    QTRY_COMPARE(queries->count(), 1);
    QTest::qWait(3 * idleMs);
    answer(SendNormally);
    QVERIFY(readReply(client).startsWith("250"));
    QCOMPARE(relay.messages().size(), 1);
}

void TestSmtpRoxy::senderThatBreaksTheLineRefused_data()
{
    QTest::addColumn<QString>("from");
    QTest::newRow("CR LF and a command")
        << QString("<fox\r\nRCPT TO:<eve@evil.test>\r\nX@anon.test>");
    QTest::newRow("LF in the header") << QString("<fox@anon.test>\nBcc: eve@evil.test");
    QTest::newRow("NUL") << QString("<fox") + QChar(0) + "@anon.test>";
    QTest::newRow("angle brackets") << QString("<fox>, <eve@evil.test>");
}

// The chosen sender goes into MAIL FROM and the From field: one that would
// add a command or a field is refused with a reply, and the connection goes
// on.
void TestSmtpRoxy::senderThatBreaksTheLineRefused()
{
    QFETCH(QString, from);
    QTcpSocket client;
    connectRaw(client);
    client.write("MAIL FROM:<ann@example.org>\r\nRCPT TO:<bob@example.net>\r\nDATA\r\n");
    QVERIFY(readReply(client).startsWith("250"));
    QVERIFY(readReply(client).startsWith("250"));
    QVERIFY(readReply(client).startsWith("354"));
    client.write(header() + "\r\nbody\r\n.\r\n");
    QTRY_COMPARE(queries->count(), 1);
    MailInfo info = queries->last().at(0).value<MailInfo>();
    info.from = from;
    proxy->queryDone(info);
    QVERIFY(readReply(client).startsWith("554"));
    client.write("QUIT\r\n");
    QVERIFY(readReply(client).startsWith("221"));
    QVERIFY(relay.messages().isEmpty());
}

QTEST_GUILESS_MAIN(TestSmtpRoxy)
#include "tst_smtproxy.moc"
