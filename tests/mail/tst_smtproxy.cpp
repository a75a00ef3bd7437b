// The mail proxy between real SMTP clients (curl, and raw dialogues where
// curl cannot say what we need) and the test relay.

#include "SmtpRelayPeer.h"
#include "mail/SmtpRoxyServer.h"

#include <QFile>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString aliasFrom = "<swift.fox@anon.test>";

enum Decision
{
    SendNormally,
    SendAsAlias,
    DoNotSend
};

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
        if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, 5000))
            return reply;
        const QByteArray line = socket.readLine();
        reply += line;
        if (line.size() < 4 || line.at(3) != '-')
            return reply;
    }
}

} // namespace

class TestSmtpRoxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void decisionsWithCurl_data();
    void decisionsWithCurl();
    void listensOnLoopbackOnly();
    void secondConnectionRefused();
    void everyMessageOfAConnectionIntercepted();
    void aliasWithoutRecipientRefused();
    void abortedAliasLeavesNoTrace();

private:
    // curl sends `message` to the proxy and the decision is given; returns
    // curl's exit status.
    int sendWithCurl(const QByteArray &message, const QStringList &recipients, Decision decision);
    void answer(Decision decision);
    void connectRaw(QTcpSocket &socket);

    SmtpRelayPeer relay;
    QTemporaryDir folder;
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

int TestSmtpRoxy::sendWithCurl(const QByteArray &message, const QStringList &recipients,
                               Decision decision)
{
    QFile file(folder.filePath("message.eml"));
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    file.write(message);
    file.close();

    QStringList arguments{"-sS",         QString("smtp://127.0.0.1:%1").arg(proxy->port()),
                          "--mail-from", "ann@example.org",
                          "-T",          file.fileName()};
    for (const QString &recipient : recipients)
        arguments << "--mail-rcpt" << recipient;
    QProcess curl;
    const int before = queries->count();
    curl.start("curl", arguments);
    if (!QTest::qWaitFor([&] { return queries->count() > before; }, 10000))
        return -2;
    answer(decision);
    if (!QTest::qWaitFor([&] { return curl.state() == QProcess::NotRunning; }, 10000))
        return -3;
    return curl.exitStatus() == QProcess::NormalExit ? curl.exitCode() : -4;
}

void TestSmtpRoxy::decisionsWithCurl_data()
{
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

    QTest::newRow("send normally") << message << bob << int(SendNormally) << message << ownEnvelope;
    QTest::newRow("alias") << message << bob << int(SendAsAlias) << rewritten << aliasEnvelope;
    QTest::newRow("alias, three recipients")
        << message << QStringList{"bob@example.net", "carl@example.net", "dora@example.net"}
        << int(SendAsAlias) << rewritten
        << QByteArray("X-Envelope-From: <swift.fox@anon.test>\r\n"
                      "X-Envelope-To: <bob@example.net>\r\n"
                      "X-Envelope-To: <carl@example.net>\r\n"
                      "X-Envelope-To: <dora@example.net>\r\n");
    QTest::newRow("do not send") << message << bob << int(DoNotSend) << QByteArray()
                                 << QByteArray();

    QByteArray longHeader;
    for (int i = 0; i < 120; ++i)
        longHeader += "X-Filler-" + QByteArray::number(i) + ": some value\r\n";
    QTest::newRow("header over 100 lines")
        << QByteArray(longHeader + header() + body) << bob << int(SendAsAlias)
        << QByteArray(longHeader + header() + body) // its From came too late to be rewritten
        << aliasEnvelope;

    // Bare LF from the mail program: the held lines reach the relay with CR LF
    // (the final CR LF is curl's, put before its terminating ".").
    QByteArray bare = message;
    bare.replace("\r\n", "\n");
    QTest::newRow("bare LF") << bare << bob << int(SendNormally)
                             << QByteArray(header() + "\r\nHello Bob,\n..dotted line\nbye\n\r\n")
                             << ownEnvelope;

    // Lines far longer than the proxy's read buffer, in the header (before
    // From, which must still be rewritten) and in the body.
    const QByteArray references = "References: <" + QByteArray(5000, 'r') + "@example.org>\r\n";
    const QByteArray longBody = "\r\n" + QByteArray(5000, 'b') + "\r\nend\r\n";
    QTest::newRow("5000-byte lines")
        << QByteArray(references + header() + longBody) << bob << int(SendAsAlias)
        << QByteArray(references + header("<swift.fox@anon.test>") + longBody) << aliasEnvelope;
}

void TestSmtpRoxy::decisionsWithCurl()
{
    QFETCH(QByteArray, message);
    QFETCH(QStringList, recipients);
    QFETCH(int, decision);
    QFETCH(QByteArray, delivered);
    QFETCH(QByteArray, envelope);

    const int status = sendWithCurl(message, recipients, Decision(decision));
    QCOMPARE(queries->count(), 1);
    const MailInfo query = queries->first().at(0).value<MailInfo>();
    QCOMPARE(query.recipients, recipients);

    if (delivered.isEmpty()) {
        QVERIFY(status > 0); // curl saw its connection cut
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

void TestSmtpRoxy::connectRaw(QTcpSocket &socket)
{
    socket.connectToHost(QHostAddress::LocalHost, proxy->port());
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
    QVERIFY(readReply(second).isEmpty());

    first.write("QUIT\r\n");
    QVERIFY(readReply(first).startsWith("221"));
    first.disconnectFromHost();
    QTcpSocket third;
    connectRaw(third);
}

void TestSmtpRoxy::everyMessageOfAConnectionIntercepted()
{
    QTcpSocket client;
    connectRaw(client);
    const QList<Decision> decisions{SendAsAlias, SendAsAlias, SendNormally};
    for (int i = 0; i < decisions.size(); ++i) {
        client.write("MAIL FROM:<ann@example.org>\r\n");
        QVERIFY(readReply(client).startsWith("250"));
        client.write("RCPT TO:<bob@example.net>\r\n");
        QVERIFY(readReply(client).startsWith("250"));
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
    QCOMPARE(sendWithCurl(header() + "\r\nbody\r\n", {"new@example.net"}, SendAsAlias), 0);
    QTRY_COMPARE(relay.messages().size(), 1);
    QCOMPARE(envelopeOf(relay.messages().first()),
             QByteArray("X-Envelope-From: <swift.fox@anon.test>\r\n"
                        "X-Envelope-To: <new@example.net>\r\n"));
}

QTEST_GUILESS_MAIN(TestSmtpRoxy)
#include "tst_smtproxy.moc"
