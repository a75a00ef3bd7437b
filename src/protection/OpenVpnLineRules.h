#pragma once

#include <QCoreApplication>
#include <QString>

// What one line of OpenVPN's console output means for the tunnel. The
// rules accept the lines of the OpenVPN build this client runs today
// (2.6: "[AF_INET]" before addresses, TUN/TAP devices, the newer
// authentication wording) as well as the older forms.
class OpenVpnLineRules
{
    // The user sees these texts as the tunnel's own.
    Q_DECLARE_TR_FUNCTIONS(VPNConnection)

public:
    struct Effects
    {
        QString ip;       // the server's address, when the line names it
        QString adapter;  // the tunnel device the line reports as opened
        QString progress; // a status text; the state does not change
        bool connected = false;
        bool restarting = false; // OpenVPN restarts itself (SIGUSR1)
        QString error;           // a failure: "first line\nsecond line"
        // The failure is the network's or the server's, not the account's or
        // the machine's: once the tunnel was up, it is worth trying again.
        bool outage = false;
    };

    // OpenVPN's own words without the time stamp it puts first (today's
    // "2026-12-07 08:40:01 " or the older "Mon Dec  7 08:40:01 2026 "); a
    // line without one is taken whole. Every rule, here and wherever else
    // OpenVPN's console is read, looks at the start of this message or at
    // all of it, never inside or at its end: an AUTH_FAILED reason, a pushed
    // echo and certificate subjects are text the server chooses, and it
    // must not be able to say "Initialization Sequence Completed" or name a
    // device at the end of a line.
    static QString messageOf(const QString &line);

    // Several rules may fire for one line. The server address is looked
    // for only while it is not yet known (`ipKnown` false): the first
    // matching line of a run wins.
    static Effects apply(const QString &line, bool ipKnown);
};
