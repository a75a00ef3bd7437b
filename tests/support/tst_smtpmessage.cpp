// The pieces of the support mail that need no connection: base64 lines,
// the composed message, dot-stuffing, SMTP reply collection and the
// request body with the logs.
#include "support/SmtpMessage.h"
#include "support/SmtpReplyReader.h"
#include "support/SupportRequest.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSmtpMessage : public QObject
{
    Q_OBJECT

private slots:
    void base64LineBreaks_data();
    void base64LineBreaks();
    void headerLines_data();
    void headerLines();
    void bodyLinesEndInSingleCrLf();
    void loneDotLinesStuffed_data();
    void loneDotLinesStuffed();
    void replyCollected_data();
    void replyCollected();
    void replyArrivingInPieces();
    void logListingsAppended();
    void replyAddress_data();
    void replyAddress();
};

void TestSmtpMessage::base64LineBreaks_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QList<int>>("lineLengths");
    QTest::newRow("empty") << 0 << QList<int>{};
    QTest::newRow("one byte") << 1 << QList<int>{4};
    QTest::newRow("57 bytes fill one line") << 57 << QList<int>{76};
    QTest::newRow("58 bytes start a second") << 58 << QList<int>{76, 4};
    QTest::newRow("114 bytes fill two") << 114 << QList<int>{76, 76};
    QTest::newRow("115 bytes") << 115 << QList<int>{76, 76, 4};
}

void TestSmtpMessage::base64LineBreaks()
{
    QFETCH(int, bytes);
    QFETCH(QList<int>, lineLengths);
    QByteArray data;
    for (int i = 0; i < bytes; ++i)
        data.append(char(i * 37 + 11));
    const QString text = SmtpMessage::base64Encode(data, true);
    QList<int> lengths;
    if (!text.isEmpty())
        for (const QString &line : text.split(QStringLiteral("\r\n")))
            lengths << int(line.size());
    QCOMPARE(lengths, lineLengths);
    QVERIFY(!text.contains(QLatin1Char('\n')) ||
            text.count(QLatin1Char('\n')) == text.count(QStringLiteral("\r\n")));
    QCOMPARE(QByteArray::fromBase64(text.toLatin1()), data);
    QCOMPARE(SmtpMessage::base64Encode(data, false), QString::fromLatin1(data.toBase64()));
}

void TestSmtpMessage::headerLines_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("copy");
    QTest::addColumn<QString>("header");
    const QString tail = QStringLiteral("Subject: Help me\r\n"
                                        "Content-Type: text/plain;\r\n"
                                        "  charset=\"utf-8\"\r\n"
                                        "Content-Transfer-Encoding: base64\r\n"
                                        "\r\n");
    QTest::newRow("sender") << "ann@example.org" << false
                            << "From: <ann@example.org>\r\nTo: <help@example.net>\r\n" + tail;
    QTest::newRow("copy to sender")
        << "ann@example.org" << true
        << "From: <ann@example.org>\r\nTo: <help@example.net>\r\nCc: <ann@example.org>\r\n" + tail;
    QTest::newRow("no sender, no copy") << "" << true << "To: <help@example.net>\r\n" + tail;
}

void TestSmtpMessage::headerLines()
{
    QFETCH(QString, from);
    QFETCH(bool, copy);
    QFETCH(QString, header);
    const QString message =
        SmtpMessage::compose(from, QStringLiteral("help@example.net"), QStringLiteral("Help me"),
                             QStringLiteral("x"), copy);
    QCOMPARE(message, header + QStringLiteral("eA=="));
}

void TestSmtpMessage::bodyLinesEndInSingleCrLf()
{
    const QString body = QString(100, QChar(0x17e)); // 200 UTF-8 bytes
    const QString message =
        SmtpMessage::compose(QString(), QStringLiteral("a@b.cz"), QStringLiteral("s"), body, false);
    const QString encoded = message.mid(message.indexOf(QStringLiteral("\r\n\r\n")) + 4);
    QVERIFY(!encoded.contains(QStringLiteral("\r\r")));
    QVERIFY(!encoded.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(encoded.split(QStringLiteral("\r\n")).size(), 4);
    QCOMPARE(QString::fromUtf8(QByteArray::fromBase64(encoded.toLatin1())), body);
}

void TestSmtpMessage::loneDotLinesStuffed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("wire");
    QTest::newRow("lone dot") << "a\n.\nb"
                              << "a\r\n..\r\nb";
    QTest::newRow("two lone dots in a row") << "a\n.\n.\nb"
                                            << "a\r\n..\r\n..\r\nb";
    QTest::newRow("dot with text stays") << "a\n.b\nc"
                                         << "a\r\n.b\r\nc";
    QTest::newRow("CR LF kept single") << "a\r\nb\n"
                                       << "a\r\nb\r\n";
}

void TestSmtpMessage::loneDotLinesStuffed()
{
    QFETCH(QString, text);
    QFETCH(QString, wire);
    QCOMPARE(SmtpMessage::toWireForm(text), wire);
}

void TestSmtpMessage::replyCollected_data()
{
    QTest::addColumn<QByteArray>("buffered");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QChar>("codeClass");
    QTest::addColumn<QByteArray>("left");
    QTest::newRow("one line") << QByteArray("250 ok\r\n") << "250 ok\r\n"
                              << QChar('2') << QByteArray();
    QTest::newRow("multi-line in one piece")
        << QByteArray("250-relay\r\n250-SIZE 100\r\n250 HELP\r\n")
        << "250-relay\r\n250-SIZE 100\r\n250 HELP\r\n"
        << QChar('2') << QByteArray();
    QTest::newRow("next reply stays buffered")
        << QByteArray("550 no\r\n221 bye\r\n") << "550 no\r\n"
        << QChar('5') << QByteArray("221 bye\r\n");
    QTest::newRow("bare code") << QByteArray("354\r\n") << "354\r\n" << QChar('3') << QByteArray();
}

void TestSmtpMessage::replyCollected()
{
    QFETCH(QByteArray, buffered);
    QFETCH(QString, reply);
    QFETCH(QChar, codeClass);
    QFETCH(QByteArray, left);
    QBuffer device(&buffered);
    QVERIFY(device.open(QIODevice::ReadOnly));
    SmtpReplyReader reader;
    QVERIFY(reader.read(device));
    QCOMPARE(reader.text(), reply);
    QCOMPARE(reader.codeClass(), codeClass);
    QCOMPARE(device.readAll(), left);
}

void TestSmtpMessage::replyArrivingInPieces()
{
    QByteArray buffered("250-relay\r\n250-SIZ");
    QBuffer device(&buffered);
    QVERIFY(device.open(QIODevice::ReadOnly));
    SmtpReplyReader reader;
    QVERIFY(!reader.read(device));
    buffered += "E 100\r\n550 but refused\r\n";
    QVERIFY(reader.read(device));
    QCOMPARE(reader.text(), QStringLiteral("250-relay\r\n250-SIZE 100\r\n550 but refused\r\n"));
    QCOMPARE(reader.codeClass(), QChar('5'));
    reader.clear();
    QVERIFY(reader.text().isEmpty());
    QVERIFY(reader.codeClass().isNull());
}

void TestSmtpMessage::logListingsAppended()
{
    QTemporaryDir dir;
    auto write = [&](const char *name, const QByteArray &content) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    write("log-privoxy.txt", "filter up\n");
    write("log.txt", "line one\r\nline two\r\n\0garbage after a crash");
    // "log.old" is missing and left out.
    const QString body =
        SupportRequest::withLogListings(QStringLiteral("  my text \n"), dir.path());
    QCOMPARE(body, QStringLiteral("  my text \n"
                                  "\n\n*** FILE \"log.txt\" LISTING ***\nline one\nline two\n"
                                  "\n\n*** FILE \"log-privoxy.txt\" LISTING ***\nfilter up\n"));

    // A long log goes only with its end, marked, and the form is told the
    // sizes that go.
    write("log.old", QByteArray(SupportRequest::MaxLogBytes, 'a') + "the end\n");
    const QString capped = SupportRequest::withLogListings(QString(), dir.path());
    QVERIFY(capped.contains(QStringLiteral("*** FILE \"log.old\" LISTING ***\n[...]\naaaa")));
    QVERIFY(capped.contains(QStringLiteral("athe end\n\n\n*** FILE \"log-privoxy.txt\"")));
    QVERIFY(capped.size() < 2 * SupportRequest::MaxLogBytes);
    const QList<SupportRequest::Attachment> sent = SupportRequest::attachments(dir.path());
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent.at(1).name, QStringLiteral("log.old"));
    QCOMPARE(sent.at(1).size, SupportRequest::MaxLogBytes);
}

void TestSmtpMessage::replyAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "ann@example.org" << true;
    QTest::newRow("dotted and dashed") << "a.n-n_1@mail.example-1.org" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("no domain dot") << "ann@example" << false;
    QTest::newRow("incomplete") << "ann@" << false;
    QTest::newRow("trailing text") << "ann@example.org x" << false;
    QTest::newRow("digit top level") << "ann@example.o1" << false;
}

void TestSmtpMessage::replyAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(SupportRequest::isAddress(text), valid);
}

QTEST_GUILESS_MAIN(TestSmtpMessage)
#include "tst_smtpmessage.moc"
