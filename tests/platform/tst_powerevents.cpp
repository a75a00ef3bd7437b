// Sleep and wake-up as logind announces them on the system bus; here the
// bus is a private dbus-daemon and logind a stand-in that owns its name.
#include "LogindPeer.h"
#include "platform/PowerEvents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

class TestPowerEvents : public QObject
{
    Q_OBJECT

    LogindPeer logind;

private slots:
    void initTestCase()
    {
        if (!LogindPeer::isAvailable())
            QSKIP("dbus-daemon is not installed");
        QVERIFY(logind.start());
    }

    void sleepAndWakeWithTheDelayLock()
    {
        PowerEvents events;
        QVERIFY(events.isWatching());
        QTRY_VERIFY(events.holdsDelayLock());
        QVERIFY(logind.newestLockHeld());
        QSignalSpy suspending(&events, &PowerEvents::suspending);
        QSignalSpy resumed(&events, &PowerEvents::resumed);

        // The lock is let go only after everybody handled the sleep.
        bool lockHeldWhileHandling = false;
        connect(&events, &PowerEvents::suspending, this,
                [&] { lockHeldWhileHandling = logind.newestLockHeld(); });
        logind.announceSleep(true);
        QTRY_COMPARE(suspending.count(), 1);
        QVERIFY(lockHeldWhileHandling);
        QVERIFY(!events.holdsDelayLock());
        QTRY_VERIFY(!logind.newestLockHeld());
        QCOMPARE(resumed.count(), 0);

        logind.announceSleep(false);
        QTRY_COMPARE(resumed.count(), 1);
        QCOMPARE(suspending.count(), 1);
        // Awake again: a new lock for the next sleep.
        QTRY_VERIFY(events.holdsDelayLock());
        QCOMPARE(logind.locksHandedOut(), 2);
        QVERIFY(logind.newestLockHeld());
    }

    void signalsFromAnyoneButLogindAreIgnored()
    {
        PowerEvents events;
        QSignalSpy suspending(&events, &PowerEvents::suspending);
        QSignalSpy resumed(&events, &PowerEvents::resumed);
        QDBusConnection intruder = QDBusConnection::connectToBus(logind.address(), QStringLiteral("intruder"));
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << true;
        intruder.send(signal);
        // A genuine one afterwards proves the first had time to arrive.
        logind.announceSleep(false);
        QTRY_COMPARE(resumed.count(), 1);
        QCOMPARE(suspending.count(), 0);
        QDBusConnection::disconnectFromBus(QStringLiteral("intruder"));
    }
};

QTEST_GUILESS_MAIN(TestPowerEvents)
#include "tst_powerevents.moc"
