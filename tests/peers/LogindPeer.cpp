#include "LogindPeer.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QMutex>
#include <fcntl.h>
#include <unistd.h>

namespace {
const char Connection[] = "quillnet-test-logind";
const char Service[] = "org.freedesktop.login1";
const char Path[] = "/org/freedesktop/login1";
const char Interface[] = "org.freedesktop.login1.Manager";
} // namespace

// logind's manager object, as far as the client uses it. Each lock is one
// end of a pipe: it is held as long as the other end sees no end of file.
class LogindPeer::Manager : public StandInPeer::Object
{
public:
    using Object::Object;

    ~Manager() override
    {
        for (int fd : std::as_const(readEnds))
            ::close(fd);
    }

    QString introspect(const QString &path) const override
    {
        Q_UNUSED(path)
        return QStringLiteral("<interface name=\"%1\"><method name=\"Inhibit\">"
                              "<arg type=\"s\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
                              "<arg type=\"s\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
                              "<arg type=\"h\" direction=\"out\"/></method></interface>")
            .arg(QLatin1String(Interface));
    }

    // The read ends of the locks handed out, oldest first.
    mutable QMutex lock;
    QList<int> readEnds;

protected:
    QDBusMessage answer(const QDBusMessage &call) override
    {
        if (call.member() != QLatin1String("Inhibit") || call.signature() != QLatin1String("ssss"))
            return unknownMethod(call);
        const QVariantList arguments = call.arguments();
        if (arguments.at(0).toString() != QLatin1String("sleep") ||
            arguments.at(3).toString() != QLatin1String("delay"))
            return call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                         QStringLiteral("only sleep delay locks"));
        int ends[2];
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
            return call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                                         QStringLiteral("no pipe"));
        {
            QMutexLocker locked(&lock);
            readEnds.append(ends[0]);
        }
        const QDBusUnixFileDescriptor held(ends[1]); // keeps a duplicate
        ::close(ends[1]);
        return call.createReply(QVariant::fromValue(held));
    }
};

bool LogindPeer::start()
{
    manager = new Manager(this);
    return StandInPeer::start("DBUS_SYSTEM_BUS_ADDRESS", Connection, Path, manager) &&
           connection().registerService(QLatin1String(Service));
}

void LogindPeer::announceSleep(bool sleeping)
{
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(Path), QLatin1String(Interface),
                                                     QStringLiteral("PrepareForSleep"));
    signal << sleeping;
    connection().send(signal);
}

int LogindPeer::locksHandedOut() const
{
    QMutexLocker locked(&manager->lock);
    return int(manager->readEnds.size());
}

bool LogindPeer::newestLockHeld() const
{
    QMutexLocker locked(&manager->lock);
    if (manager->readEnds.isEmpty())
        return false;
    char byte;
    // Once the holder lets go, reading finds the end of the file.
    return ::read(manager->readEnds.last(), &byte, 1) < 0;
}
