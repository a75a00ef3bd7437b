#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>

// Tells the program when the machine goes to sleep and when it wakes up.
// On Linux logind announces both with its PrepareForSleep(bool) signal on
// the system bus (on Windows the main window receives WM_POWERBROADCAST).
// So that the tunnel can be closed before the machine sleeps, a "delay"
// inhibitor lock is held while awake and let go once `suspending` has been
// handled.
class PowerEvents : public QObject
{
    Q_OBJECT

public:
    explicit PowerEvents(QObject *parent = nullptr);

    // Whether the system bus could be watched at all.
    bool isWatching() const { return watching; }
    bool holdsDelayLock() const { return delayLock.isValid(); }

signals:
    void suspending();
    void resumed();

private slots:
    void prepareForSleep(bool start);

private:
    void takeDelayLock();

    bool watching = false;
    bool awake = true; // a lock that arrives during sleep is not kept
    QDBusUnixFileDescriptor delayLock;

    Q_DISABLE_COPY_MOVE(PowerEvents)
};
