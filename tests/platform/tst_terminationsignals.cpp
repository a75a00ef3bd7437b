// Termination signals arrive in the event loop as a Qt signal, each one, in
// order, even when several come at once.
#include "platform/TerminationSignals.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>

class TestTerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void signalsReachTheEventLoop()
    {
        TerminationSignals listener;
        QVERIFY(listener.isActive());
        QSignalSpy spy(&listener, &TerminationSignals::received);

        ::raise(SIGTERM);
        ::raise(SIGINT);
        ::raise(SIGHUP);
        QTRY_COMPARE(spy.count(), 3);
        QCOMPARE(spy.at(0).at(0).toInt(), int(SIGTERM));
        QCOMPARE(spy.at(1).at(0).toInt(), int(SIGINT));
        QCOMPARE(spy.at(2).at(0).toInt(), int(SIGHUP));
    }

    void onlyOneInstanceListensAndItCanBeReplaced()
    {
        {
            TerminationSignals first;
            TerminationSignals second;
            QVERIFY(first.isActive());
            QVERIFY(!second.isActive());
        }
        // After the listener is gone a new one takes over.
        TerminationSignals again;
        QVERIFY(again.isActive());
        QSignalSpy spy(&again, &TerminationSignals::received);
        ::raise(SIGTERM);
        QTRY_COMPARE(spy.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
