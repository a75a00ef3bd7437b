#pragma once

#include <QByteArray>
#include <QStringList>

// Whether the daemon of a D-Bus bus answers at all, asked without the bus
// library. Qt connects to a bus through libdbus, which waits up to 25 s for
// a daemon that took the connection and never answers, on whichever thread
// first needs that bus: the window's, for the accessibility bridge, as soon
// as the login dialog makes its first text field. Asking the daemon to
// authenticate, the first step of every connection, tells whether anybody
// is there; the probe hangs up as soon as the daemon has answered.
namespace BusProbe {

enum Result
{
    Answered,
    // It took the connection, or left it waiting, and said nothing in time.
    Silent,
    // Nobody takes connections there: the library gives up at once too.
    Unreachable,
    // An address of a kind this does not ask; the library's business.
    NotAsked
};

// The first address of a bus address list, as the bus library reads it:
// "unix:path=..." or "unix:abstract=..." with %-escapes.
Result ask(const QByteArray &addressList, int timeoutMs);

// Before the application object is made: the session or system bus whose
// daemon is Silent is set aside for this run, its address replaced by one
// that fails at once, so that nothing in the program or in Qt waits for it.
// One line for the user per bus set aside.
QStringList setAsideSilentBuses(int timeoutMs);

} // namespace BusProbe
