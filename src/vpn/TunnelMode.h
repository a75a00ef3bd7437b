#pragma once

#include <QByteArray>
#include <QString>

class QDBusConnection;
class QObject;
class TunnelConsole;

// Who runs OpenVPN: the privileged tunnel service, where the system bus
// has it (installed with the package), or this process, which then needs
// CAP_NET_ADMIN (root, the demo, a development build).
class TunnelMode
{
public:
    enum Mode
    {
        Service,
        Direct
    };

    struct Choice
    {
        Mode mode = Direct;
        // One line for the log saying which and why.
        QString line;
    };

    // Asks the system bus, each question bounded by a short timeout so that
    // a slow bus never holds up the start.
    static Choice choose();
    static Choice choose(const QDBusConnection &bus, const QByteArray &procStatus);

    // Whether "CapEff" in the text of /proc/self/status holds CAP_NET_ADMIN.
    static bool hasNetAdmin(const QByteArray &procStatus);

    // The console for `mode`, owned by `parent`.
    static TunnelConsole *createConsole(Mode mode, QObject *parent = nullptr);
};
