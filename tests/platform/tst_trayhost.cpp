// The desktop's tray as the program learns of it on the session bus: a
// private dbus-daemon with a stand-in StatusNotifierWatcher in its own
// thread, which answers at once, late or never. Whatever it does, asking
// never waits for it.
#include "TrayWatcherPeer.h"
#include "platform/TrayHost.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

namespace {
constexpr int AnswerWithinMs = 500;
constexpr int AskAgainAfterMs = 300;
} // namespace

class TestTrayHost : public QObject
{
    Q_OBJECT

    TrayWatcherPeer watcher;

    static std::unique_ptr<TrayHost> newHost()
    {
        return std::make_unique<TrayHost>(QDBusConnection::sessionBus(), nullptr, AnswerWithinMs,
                                          AskAgainAfterMs);
    }

private slots:
    void initTestCase()
    {
        if (!TrayWatcherPeer::isAvailable())
            QSKIP("dbus-daemon is not installed");
        QVERIFY(watcher.start(false));
    }

    // First, while nobody owns the watcher's name; then the tray starts.
    void aWatcherThatArrivesLaterIsAsked()
    {
        auto host = newHost();
        QTRY_COMPARE(host->state(), TrayHost::Absent);
        QVERIFY(!host->hostRegistered());
        QVERIFY(watcher.ownName());
        QTRY_COMPARE(host->state(), TrayHost::Answered);
        QVERIFY(host->hostRegistered());
    }

    void theWatchersAnswer_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("registered");
        QTest::addColumn<TrayHost::State>("state");
        QTest::newRow("a host") << 0 << true << TrayHost::Answered;
        QTest::newRow("no host") << 0 << false << TrayHost::Answered;
        QTest::newRow("too late") << 5000 << true << TrayHost::Unresponsive;
        QTest::newRow("never") << int(TrayWatcherPeer::Never) << true << TrayHost::Unresponsive;
    }

    void theWatchersAnswer()
    {
        QFETCH(int, delayMs);
        QFETCH(bool, registered);
        QFETCH(TrayHost::State, state);
        watcher.setAnswerDelay(delayMs);
        watcher.setHostRegistered(registered);
        auto host = newHost();
        // Made without waiting for the watcher (which answers from its own
        // thread, so how many calls it has answered by now is a race; a
        // host made by waiting would never be made in the "never" row).
        QCOMPARE(host->state(), TrayHost::Asking);
        QTRY_COMPARE(host->state(), state);
        QCOMPARE(host->hostRegistered(), state == TrayHost::Answered && registered);

        if (state == TrayHost::Unresponsive) {
            // Asked again now and then: a tray that recovers is used.
            watcher.setAnswerDelay(0);
            QTRY_COMPARE(host->state(), TrayHost::Answered);
            QVERIFY(host->hostRegistered());
        }
    }
};

QTEST_GUILESS_MAIN(TestTrayHost)
#include "tst_trayhost.moc"
