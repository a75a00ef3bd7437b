// The alias record's wire form and orderings, and how answers are judged.
#include "net/MailRedir.h"
#include "net/RequestServer.h"
#include "net/ResponseCheck.h"

#include <QTest>
#include <algorithm>

using Verdict = ResponseCheck::Verdict;
Q_DECLARE_METATYPE(Verdict)

class TestAnswers : public QObject
{
    Q_OBJECT

private slots:
    void wireFormRoundTrips_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("forward");
        QTest::addColumn<QString>("written");
        QTest::newRow("alias and forward") << "joe,joe@mail.example"
                                           << "joe"
                                           << "joe@mail.example"
                                           << "joe,joe@mail.example";
        QTest::newRow("no forward keeps the comma") << "joe,"
                                                    << "joe"
                                                    << ""
                                                    << "joe,";
        QTest::newRow("no comma at all") << "joe"
                                         << "joe"
                                         << ""
                                         << "joe,";
        QTest::newRow("extra parts ignored") << "a,b,c"
                                             << "a"
                                             << "b"
                                             << "a,b";
        QTest::newRow("empty alias") << ",b"
                                     << ""
                                     << "b"
                                     << ",b";
    }

    void wireFormRoundTrips()
    {
        QFETCH(QString, text);
        QFETCH(QString, alias);
        QFETCH(QString, forward);
        QFETCH(QString, written);
        const MailRedir redir = MailRedir::fromString(text);
        QCOMPARE(redir.alias, alias);
        QCOMPARE(redir.forward, forward);
        QCOMPARE(redir.toString(), written);
    }

    void fourOrderings()
    {
        const QList<MailRedir> records = {{"b", "x"}, {"a", "y"}, {"b", "a"}, {"a", "x"}};
        auto sorted = [&](bool (*lessThan)(const MailRedir &, const MailRedir &)) {
            QList<MailRedir> list = records;
            std::sort(list.begin(), list.end(), lessThan);
            QStringList out;
            for (const MailRedir &r : list)
                out << r.toString();
            return out.join(QLatin1Char(' '));
        };
        QCOMPARE(sorted(MailRedir::aliasLessThan), QStringLiteral("a,x a,y b,a b,x"));
        QCOMPARE(sorted(MailRedir::aliasGreaterThan), QStringLiteral("b,x b,a a,y a,x"));
        QCOMPARE(sorted(MailRedir::forwardLessThan), QStringLiteral("b,a a,x b,x a,y"));
        QCOMPARE(sorted(MailRedir::forwardGreaterThan), QStringLiteral("a,y b,x a,x b,a"));
    }

    void judging_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("anyData");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<Verdict>("accountVerdict");
        const QByteArray certLoad(RequestServer::CertLoadText);
        const QByteArray certMismatch(RequestServer::CertMismatchText);
        QTest::newRow("done") << QByteArray("1") << true << false << Verdict::Ok << Verdict::Ok;
        QTest::newRow("refused") << QByteArray("0") << true << false << Verdict::Refused
                                 << Verdict::Refused;
        QTest::newRow("refused is not data")
            << QByteArray("0") << true << true << Verdict::Refused << Verdict::Refused;
        QTest::newRow("data accepted")
            << QByteArray("a,b;c,") << true << true << Verdict::Ok << Verdict::Ok;
        QTest::newRow("data where a status is due")
            << QByteArray("<html>") << true << false << Verdict::Invalid << Verdict::Ok;
        QTest::newRow("empty body where a status is due")
            << QByteArray() << true << false << Verdict::Invalid << Verdict::Ok;
        QTest::newRow("failed: old time-out word")
            << QByteArray("timeout") << false << true << Verdict::TimeOut << Verdict::TimeOut;
        QTest::newRow("failed: the client's time-out")
            << QByteArray("Connection timeout.") << false << false << Verdict::TimeOut
            << Verdict::TimeOut;
        QTest::newRow("failed: certificate not loadable")
            << certLoad << false << false << Verdict::CertificateNotLoadable
            << Verdict::CertificateNotLoadable;
        QTest::newRow("failed: certificate")
            << certMismatch << false << false << Verdict::CertificateMismatch
            << Verdict::CertificateMismatch;
        QTest::newRow("failed: answer too large")
            << QByteArray(RequestServer::TooLargeText) << false << true << Verdict::Transport
            << Verdict::Transport;
        QTest::newRow("failed: nothing read")
            << QByteArray() << false << true << Verdict::Transport << Verdict::Transport;
        QTest::newRow("failed even with a 1 body")
            << QByteArray("1") << false << false << Verdict::Transport << Verdict::Transport;
    }

    void judging()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(bool, anyData);
        QFETCH(Verdict, verdict);
        QFETCH(Verdict, accountVerdict);
        QCOMPARE(ResponseCheck::judge(body, ok, anyData), verdict);
        QCOMPARE(ResponseCheck::judgeAccount(body, ok), accountVerdict);
    }
};

QTEST_GUILESS_MAIN(TestAnswers)
#include "tst_answers.moc"
