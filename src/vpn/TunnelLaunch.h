#pragma once

#include <QString>
#include <QStringList>

// What OpenVPN is started with: the parts of its command line that the
// tunnel decides. Everything else on that line is fixed by whoever runs it.
struct TunnelLaunch
{

    // The configuration file; the CA certificate "cert.crt" lies beside it.
    QString configPath;
    // Empty: no proxy.
    QString proxyHost;
    quint16 proxyPort = 0;
    // OpenVPN asks for the proxy's user name and password on its console.
    bool proxyAsksCredentials = false;
    // Nothing but the tunnel gets out while the user is logged in (DNS goes
    // through the tunnel either way).
    bool blockOutsideTunnel = false;
    // With the block: the subnets the machine is on pass too (a printer, a
    // NAS), nothing routed beyond them.
    bool allowLocalNetwork = false;
    // The OpenVPN program, where the client runs it itself.
    QString program;

    // OpenVPN's arguments for this launch. Later options win: whatever the
    // configuration says, OpenVPN runs no program of its own choosing.
    QStringList openVpnArguments() const;
};
