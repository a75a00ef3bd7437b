// Header extraction, sender rewriting and encoded-word decoding of held-back
// outgoing mail.

#include "mail/HeaderDecoding.h"
#include "mail/MailHeaders.h"

#include <QTest>

class TestMailHeaders : public QObject
{
    Q_OBJECT

private slots:
    void angleAddress_data();
    void angleAddress();
    void parseHeaders_data();
    void parseHeaders();
    void rewriteFrom_data();
    void rewriteFrom();
    void decodeHeaderWord_data();
    void decodeHeaderWord();
    void base64Decode_data();
    void base64Decode();
    void qDecode_data();
    void qDecode();
};

void TestMailHeaders::angleAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address");
    QTest::newRow("rcpt") << "RCPT TO:<bob@example.org>"
                          << "bob@example.org";
    QTest::newRow("spaces inside") << "rcpt to: <  bob@example.org >"
                                   << "bob@example.org";
    QTest::newRow("no brackets") << "RCPT TO: bob@example.org"
                                 << "";
    QTest::newRow("empty brackets") << "MAIL FROM:<>"
                                    << "";
    QTest::newRow("first of two") << "References: <a@x> <b@x>"
                                  << "a@x";
    QTest::newRow("nested opening") << "x <<a@x> y"
                                    << "a@x";
    QTest::newRow("display name") << "Ann Smith <ann@example.org>"
                                  << "ann@example.org";
    QTest::newRow("unclosed") << "<ann@example.org"
                              << "";
}

void TestMailHeaders::angleAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    QCOMPARE(::angleAddress(text), address);
}

void TestMailHeaders::parseHeaders_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected"); // messageId, from, subject, inReplyTo

    QTest::newRow("ordinary") << QStringList{"Message-ID: <1@host>", "From:  Ann <ann@x.org> ",
                                             "To: bob@y.org", "Subject:  Hello   there ", ""}
                              << QStringList{"1@host", "Ann <ann@x.org>", "Hello   there", ""};
    QTest::newRow("lower-case names")
        << QStringList{"message-id: <2@h>", "from: a@b", "subject: hi", "in-reply-to: <0@h>"}
        << QStringList{"2@h", "a@b", "hi", "0@h"};
    QTest::newRow("references first")
        << QStringList{"References: <r1@h> <r2@h>", "In-Reply-To: <r2@h>"}
        << QStringList{"", "", "", "r2@h"};
    QTest::newRow("in-reply-to first")
        << QStringList{"In-Reply-To: <r2@h>", "References: <r1@h> <r2@h>"}
        << QStringList{"", "", "", "r2@h"};
    QTest::newRow("references alone")
        << QStringList{"References: <r1@h>\t<r2@h>"} << QStringList{"", "", "", "r1@h"};
    QTest::newRow("last occurrence wins")
        << QStringList{"Subject: one", "From: a@b", "Subject: two", "From: c@d"}
        << QStringList{"", "c@d", "two", ""};
    QTest::newRow("folding not undone")
        << QStringList{"Subject: first part", " second part", "From: a@b"}
        << QStringList{"", "a@b", "first part", ""};
    QTest::newRow("similar names ignored")
        << QStringList{"X-From: spoof", "Resent-From: other", "Subjects: no"}
        << QStringList{"", "", "", ""};
}

void TestMailHeaders::parseHeaders()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);
    MailInfo info;
    info.recipients = {"keep@me"};
    ::parseHeaders(lines, info);
    QCOMPARE((QStringList{info.messageId, info.from, info.subject, info.inReplyTo}), expected);
    QCOMPARE(info.recipients, QStringList{"keep@me"});
}

void TestMailHeaders::rewriteFrom_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("one line, other fields kept")
        << QStringList{"Received: from x",  "FROM: Ann Smith <ann@x.org>",
                       "Sender: ann@x.org", "Reply-To: ann@x.org",
                       "X-From: a",         "Subject: first",
                       " second",           ""}
        << QStringList{"Received: from x",  "FROM: <alias@anon.test>",
                       "Sender: ann@x.org", "Reply-To: ann@x.org",
                       "X-From: a",         "Subject: first",
                       " second",           ""};
    // Mail programs fold a From with a long encoded display name: the
    // address is then on a continuation line.
    QTest::newRow("folded display name")
        << QStringList{"From: =?utf-8?B?SmnFmcOtIE5vdsOhaw==?=", " <jiri.novak@example.org>",
                       "To: bob@example.net", ""}
        << QStringList{"From: <alias@anon.test>", "To: bob@example.net", ""};
    QTest::newRow("folded over three lines with a tab")
        << QStringList{"Subject: hi", "From: =?utf-8?B?SmnFmcOtIE5vdsOhaw==?=",
                       "\t=?utf-8?B?SmnFmcOtIE5vdsOhaw==?=", "  <jiri.novak@example.org>", ""}
        << QStringList{"Subject: hi", "From: <alias@anon.test>", ""};
    QTest::newRow("value only on the continuation")
        << QStringList{"From:", "\tJiri <jiri.novak@example.org>", "To: bob@example.net"}
        << QStringList{"From: <alias@anon.test>", "To: bob@example.net"};
    QTest::newRow("folded last field, then the message ends")
        << QStringList{"From: Jiri", " <jiri.novak@example.org>", "."}
        << QStringList{"From: <alias@anon.test>", "."};
    QTest::newRow("space before the colon")
        << QStringList{"From : Jiri <jiri.novak@example.org>", ""}
        << QStringList{"From: <alias@anon.test>", ""};
    QTest::newRow("every From field")
        << QStringList{"From: a@x.org", " (first)", "from: b@x.org", ""}
        << QStringList{"From: <alias@anon.test>", "from: <alias@anon.test>", ""};
    // Only the header is rewritten: the blank line ends it.
    QTest::newRow("body left alone")
        << QStringList{"From: a@x.org", "", "From: in the body", " stays"}
        << QStringList{"From: <alias@anon.test>", "", "From: in the body", " stays"};
}

void TestMailHeaders::rewriteFrom()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);
    ::rewriteFrom(lines, "<alias@anon.test>");
    QCOMPARE(lines, expected);
}

void TestMailHeaders::decodeHeaderWord_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("decoded");
    QTest::newRow("utf-8 base64") << "=?utf-8?B?w6TDtsO8?=" << QString::fromUtf8("äöü");
    QTest::newRow("latin-1 Q") << "=?iso-8859-1?Q?Caf=E9_au_lait?="
                               << QString::fromUtf8("Café au lait");
    QTest::newRow("lower-case b") << "=?UTF-8?b?w6Q?=" << QString::fromUtf8("ä");
    QTest::newRow("iso-8859-2") << "=?iso-8859-2?Q?=BEluou=E8k=FD?="
                                << QString::fromUtf8("žluoučký");
    QTest::newRow("windows-1250") << "=?windows-1250?Q?=9Ee=9Aka?=" << QString::fromUtf8("žeška");
    QTest::newRow("koi8-r") << "=?koi8-r?Q?=F0=D2=C9=D7=C5=D4?=" << QString::fromUtf8("Привет");
    QTest::newRow("mixed with plain") << "Re: =?utf-8?B?w6TDtsO8?="
                                      << "Re: =?utf-8?B?w6TDtsO8?=";
    QTest::newRow("two words") << "=?utf-8?B?w6Q?= =?utf-8?B?w6Q?="
                               << "=?utf-8?B?w6Q?= =?utf-8?B?w6Q?=";
    QTest::newRow("unknown charset") << "=?x-nonsense-42?Q?abc?="
                                     << "=?x-nonsense-42?Q?abc?=";
    QTest::newRow("unknown encoding") << "=?utf-8?X?abc?="
                                      << "=?utf-8?X?abc?=";
    QTest::newRow("plain") << "Hello"
                           << "Hello";
    QTest::newRow("empty") << ""
                           << "";
}

void TestMailHeaders::decodeHeaderWord()
{
    QFETCH(QString, text);
    QFETCH(QString, decoded);
    QCOMPARE(::decodeHeaderWord(text), decoded);
}

void TestMailHeaders::base64Decode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("padded") << "w6Q=" << QByteArray("\xc3\xa4");
    QTest::newRow("missing padding") << "w6Q" << QByteArray("\xc3\xa4");
    QTest::newRow("full groups") << "TWFu" << QByteArray("Man");
    QTest::newRow("two leftover") << "TQ" << QByteArray("M");
    QTest::newRow("one leftover ignored") << "TWFuT" << QByteArray("Man");
    QTest::newRow("junk skipped") << " TW\r\nF*u== " << QByteArray("Man");
    QTest::newRow("only junk") << "=== !!" << QByteArray();
    QTest::newRow("all bits") << "+/+/" << QByteArray("\xfb\xff\xbf");
    QTest::newRow("non-Latin-1 char") << QString::fromUtf8("TW€Fu") << QByteArray("Man");
}

void TestMailHeaders::base64Decode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(::base64Decode(text), bytes);
}

void TestMailHeaders::qDecode_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("invalid escape") << QByteArray("a=3Db=XYc") << QByteArray("a=bc");
    QTest::newRow("underscore") << QByteArray("a_b") << QByteArray("a b");
    QTest::newRow("lower-case hex") << QByteArray("=e9") << QByteArray("\xe9");
    QTest::newRow("soft line break") << QByteArray("ab=\r\ncd") << QByteArray("abcd");
    QTest::newRow("controls dropped") << QByteArray("a\x01\x7f\x80\xff\tb") << QByteArray("a\tb");
    QTest::newRow("stops at NUL") << QByteArray("ab\0cd", 5) << QByteArray("ab");
    QTest::newRow("NUL inside escape") << QByteArray("a=4\0"
                                                     "1",
                                                     5)
                                       << QByteArray("a");
    QTest::newRow("truncated escape") << QByteArray("ab=4") << QByteArray("ab");
    QTest::newRow("lone equals") << QByteArray("=") << QByteArray();
}

void TestMailHeaders::qDecode()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(::qDecode(text), bytes);
}

QTEST_GUILESS_MAIN(TestMailHeaders)
#include "tst_mailheaders.moc"
