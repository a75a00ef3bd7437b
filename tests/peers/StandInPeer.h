#pragma once

#include <QAtomicInt>
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

// A private dbus-daemon with the tests' stand-in for one service of the
// desktop or the system on it, served from a thread of its own as the real
// service is from a process of its own. Every method call to the stand-in
// is answered after the delay the test sets, or never, as a service that is
// busy with something else, or hung, does. The bus activates nothing: a
// test must not start the machine's real services (a keyring, say).
class StandInPeer
{
public:
    static constexpr int Never = -1;

    virtual ~StandInPeer();

    static bool isAvailable();
    QString address() const { return busAddress; }

    void setAnswerDelay(int msecs) { delayMs = msecs; }
    // Each call, as "call <interface>.<member>" on stdout, and its answer as
    // "answered <interface>.<member>": the programs of the stand-ins tell
    // their scripts what the client asked and what it is still waiting for.
    void setTellCalls(bool tell) { tellCalls = tell ? 1 : 0; }

    int callsReceived() const { return received.loadRelaxed(); }

protected:
    // What stands in for the service at one path.
    class Object : public QDBusVirtualObject
    {
    public:
        explicit Object(StandInPeer *peer) : peer(peer) {}
        bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) final;

    protected:
        // The reply to `call`, once its delay is over (made at once).
        virtual QDBusMessage answer(const QDBusMessage &call) = 0;
        static QDBusMessage unknownMethod(const QDBusMessage &call);

        StandInPeer *const peer;
    };

    // Starts the bus, points `addressVariable` at it for this process and
    // everything it starts, and serves `object` (which it takes) at `path`
    // on a connection of its own named `connectionName`.
    bool start(const char *addressVariable, const char *connectionName, const char *path,
               Object *object);
    QDBusConnection connection() const;

private:
    void tell(const char *what, const QString &call) const;

    QTemporaryDir folder;
    QProcess bus;
    QString busAddress;
    QString connectionName;
    QThread objectThread;
    Object *object = nullptr;
    QAtomicInt delayMs = 0;
    QAtomicInt tellCalls = 0;
    QAtomicInt received = 0;
};
