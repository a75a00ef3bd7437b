#pragma once

#include <QByteArray>
#include <QString>

class QObject;
class TunnelConsole;

// Who runs OpenVPN: the privileged tunnel service, where the system bus
// has it (installed with the package), or this process, which then needs
// CAP_NET_ADMIN (root, the demo, a development build). The bus is asked by
// TunnelModeQuery, without waiting.
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

    // The choice once it is known whether the system bus has the service;
    // `procStatus` is the text of /proc/self/status.
    static Choice decide(bool serviceOnBus, const QByteArray &procStatus);
    // This process's /proc/self/status, empty when unreadable.
    static QByteArray ownStatus();

    // Whether "CapEff" in the text of /proc/self/status holds CAP_NET_ADMIN.
    static bool hasNetAdmin(const QByteArray &procStatus);

    // The console for `mode`, owned by `parent`.
    static TunnelConsole *createConsole(Mode mode, QObject *parent = nullptr);
};
