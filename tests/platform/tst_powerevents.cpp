// Sleep and wake-up as logind announces them on the system bus; here the
// bus is a private dbus-daemon and logind a stand-in that owns its name.
#include "platform/PowerEvents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <fcntl.h>
#include <unistd.h>

// Answers Inhibit with one end of a pipe, as logind hands out its locks;
// the lock is held as long as the other end sees no end of file.
class FakeLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    int locksHandedOut = 0;
    QList<int> readEnds;

    // Whether the client still holds the newest lock.
    bool newestLockHeld() const
    {
        if (readEnds.isEmpty())
            return false;
        char byte;
        // The write end is closed when the client lets go: read returns 0.
        return ::read(readEnds.last(), &byte, 1) < 0;
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode)
    {
        Q_UNUSED(who)
        Q_UNUSED(why)
        if (what != QLatin1String("sleep") || mode != QLatin1String("delay"))
            return QDBusUnixFileDescriptor();
        int ends[2];
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
            return QDBusUnixFileDescriptor();
        ++locksHandedOut;
        readEnds.append(ends[0]);
        QDBusUnixFileDescriptor lock(ends[1]); // duplicates
        ::close(ends[1]);
        return lock;
    }
};

class TestPowerEvents : public QObject
{
    Q_OBJECT

    QProcess bus;
    QThread logindThread;
    FakeLogind *logind = nullptr;
    QString address;

    void announce(bool sleeping)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        QDBusConnection(QStringLiteral("logind")).send(signal);
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            QSKIP("dbus-daemon is not installed");
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        QVERIFY(bus.waitForReadyRead(10000));
        address = QString::fromUtf8(bus.readLine()).trimmed();
        QVERIFY(!address.isEmpty());
        // The program under test finds "the system bus" here.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());

        QDBusConnection connection = QDBusConnection::connectToBus(address, QStringLiteral("logind"));
        QVERIFY(connection.isConnected());
        QVERIFY(connection.registerService(QStringLiteral("org.freedesktop.login1")));
        // Its own thread: the client asks for its lock with a blocking call.
        logind = new FakeLogind;
        logind->moveToThread(&logindThread);
        logindThread.start();
        QVERIFY(connection.registerObject(QStringLiteral("/org/freedesktop/login1"), logind,
                                          QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
        logindThread.quit();
        logindThread.wait();
        delete logind;
        bus.kill();
        bus.waitForFinished();
    }

    void sleepAndWakeWithTheDelayLock()
    {
        PowerEvents events;
        QVERIFY(events.isWatching());
        QVERIFY(events.holdsDelayLock());
        QVERIFY(logind->newestLockHeld());
        QSignalSpy suspending(&events, &PowerEvents::suspending);
        QSignalSpy resumed(&events, &PowerEvents::resumed);

        // The lock is let go only after everybody handled the sleep.
        bool lockHeldWhileHandling = false;
        connect(&events, &PowerEvents::suspending, this,
                [&] { lockHeldWhileHandling = logind->newestLockHeld(); });
        announce(true);
        QTRY_COMPARE(suspending.count(), 1);
        QVERIFY(lockHeldWhileHandling);
        QVERIFY(!events.holdsDelayLock());
        QTRY_VERIFY(!logind->newestLockHeld());
        QCOMPARE(resumed.count(), 0);

        announce(false);
        QTRY_COMPARE(resumed.count(), 1);
        QCOMPARE(suspending.count(), 1);
        // Awake again: a new lock for the next sleep.
        QCOMPARE(logind->locksHandedOut, 2);
        QVERIFY(logind->newestLockHeld());
    }

    void signalsFromAnyoneButLogindAreIgnored()
    {
        PowerEvents events;
        QSignalSpy suspending(&events, &PowerEvents::suspending);
        QDBusConnection intruder = QDBusConnection::connectToBus(address, QStringLiteral("intruder"));
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << true;
        QSignalSpy resumed(&events, &PowerEvents::resumed);
        intruder.send(signal);
        // A genuine one afterwards proves the first had time to arrive.
        announce(false);
        QTRY_COMPARE(resumed.count(), 1);
        QCOMPARE(suspending.count(), 0);
        QDBusConnection::disconnectFromBus(QStringLiteral("intruder"));
    }
};

QTEST_GUILESS_MAIN(TestPowerEvents)
#include "tst_powerevents.moc"
