#pragma once

#include "StandInPeer.h"

// A private bus standing in for the session bus, with a stand-in for the
// desktop's StatusNotifierWatcher on it (see StandInPeer: every call to the
// watcher - introspection, properties, registrations - is answered after
// the delay the test sets, or never). start() points
// DBUS_SESSION_BUS_ADDRESS at the bus for this process and everything it
// starts.
class TrayWatcherPeer : public StandInPeer
{
public:
    // `ownName`: whether the stand-in takes the watcher's name at once.
    bool start(bool ownName = true);

    void setHostRegistered(bool registered) { hostRegistered = registered ? 1 : 0; }
    // Takes the watcher's name, as a tray that starts after the program.
    bool ownName();

private:
    class Watcher;
    QAtomicInt hostRegistered = 1;
};
