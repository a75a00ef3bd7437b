#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QProcess>
#include <QThread>

// A private D-Bus daemon standing in for the system bus, with a stand-in
// for logind on it: it owns logind's name, hands out sleep "delay" locks
// and announces sleep and wake-up with PrepareForSleep. start() points
// DBUS_SYSTEM_BUS_ADDRESS at the private bus for this process.
class LogindPeer
{
public:
    ~LogindPeer();

    static bool isAvailable();
    bool start();
    QString address() const { return busAddress; }

    void announceSleep(bool sleeping);
    int locksHandedOut() const;
    // Whether the newest lock is still held by someone.
    bool newestLockHeld() const;

private:
    class Manager;
    QProcess bus;
    QString busAddress;
    QThread managerThread;
    Manager *manager = nullptr;
};
