#include "LogindPeer.h"

#include "ChildProcess.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStandardPaths>
#include <fcntl.h>
#include <unistd.h>

namespace {
const char Connection[] = "quillnet-test-logind";
const char Path[] = "/org/freedesktop/login1";
const char Interface[] = "org.freedesktop.login1.Manager";
} // namespace

// logind's manager object, as far as the client uses it. Each lock is one
// end of a pipe: it is held as long as the other end sees no end of file.
class LogindPeer::Manager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~Manager() override
    {
        for (int fd : std::as_const(readEnds))
            ::close(fd);
    }

    QList<int> readEnds;

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
        readEnds.append(ends[0]);
        QDBusUnixFileDescriptor lock(ends[1]); // keeps a duplicate
        ::close(ends[1]);
        return lock;
    }
};

LogindPeer::~LogindPeer()
{
    QDBusConnection::disconnectFromBus(QLatin1String(Connection));
    managerThread.quit();
    managerThread.wait();
    delete manager;
    stopChildProcess(bus);
}

bool LogindPeer::isAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty();
}

bool LogindPeer::start()
{
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!bus.waitForReadyRead(10000))
        return false;
    busAddress = QString::fromUtf8(bus.readLine()).trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", busAddress.toUtf8());

    QDBusConnection connection = QDBusConnection::connectToBus(busAddress, QLatin1String(Connection));
    if (!connection.isConnected() || !connection.registerService(QStringLiteral("org.freedesktop.login1")))
        return false;
    // Its own thread: the client asks for its lock with a blocking call.
    manager = new Manager;
    manager->moveToThread(&managerThread);
    managerThread.start();
    return connection.registerObject(QLatin1String(Path), manager, QDBusConnection::ExportAllSlots);
}

void LogindPeer::announceSleep(bool sleeping)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(QLatin1String(Path), QLatin1String(Interface), QStringLiteral("PrepareForSleep"));
    signal << sleeping;
    QDBusConnection(QLatin1String(Connection)).send(signal);
}

int LogindPeer::locksHandedOut() const
{
    return int(manager->readEnds.size());
}

bool LogindPeer::newestLockHeld() const
{
    if (manager->readEnds.isEmpty())
        return false;
    char byte;
    // Once the holder lets go, reading finds the end of the file.
    return ::read(manager->readEnds.last(), &byte, 1) < 0;
}

#include "LogindPeer.moc"
