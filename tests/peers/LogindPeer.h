#pragma once

#include "StandInPeer.h"

// A private bus standing in for the system bus, with a stand-in for logind
// on it: it owns logind's name, hands out sleep "delay" locks and
// announces sleep and wake-up with PrepareForSleep; every call to it is
// answered after the delay the test sets, or never (see StandInPeer).
// start() points DBUS_SYSTEM_BUS_ADDRESS at the bus for this process and
// everything it starts.
class LogindPeer : public StandInPeer
{
public:
    bool start();

    void announceSleep(bool sleeping);
    int locksHandedOut() const;
    // Whether the newest lock is still held by someone.
    bool newestLockHeld() const;

private:
    class Manager;
    Manager *manager = nullptr;
};
