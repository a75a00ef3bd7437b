#pragma once

#include <QAtomicInt>
#include <QProcess>
#include <QString>
#include <QThread>

// A private dbus-daemon standing in for the session bus, with a stand-in
// for the desktop's StatusNotifierWatcher on it, in a thread of its own as
// the desktop's is in a process of its own. Every call to the watcher
// (introspection, properties, registrations) is answered after the delay
// the test sets, or never, as a tray busy with something else, or hung,
// does. start() points DBUS_SESSION_BUS_ADDRESS at the bus for this process
// and everything it starts.
class TrayWatcherPeer
{
public:
    static constexpr int Never = -1;

    ~TrayWatcherPeer();

    static bool isAvailable();
    // `ownName`: whether the stand-in takes the watcher's name at once.
    bool start(bool ownName = true);
    QString address() const { return busAddress; }

    void setAnswerDelay(int msecs) { delayMs = msecs; }
    void setHostRegistered(bool registered) { hostRegistered = registered ? 1 : 0; }
    // Takes the watcher's name, as a tray that starts after the program.
    bool ownName();

    int callsReceived() const { return received.loadRelaxed(); }
    int callsAnswered() const { return answered.loadRelaxed(); }

private:
    class Watcher;
    QProcess bus;
    QString busAddress;
    QThread watcherThread;
    Watcher *watcher = nullptr;
    QAtomicInt delayMs = 0;
    QAtomicInt hostRegistered = 1;
    QAtomicInt received = 0;
    QAtomicInt answered = 0;
};
