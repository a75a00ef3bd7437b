#pragma once

#include <QString>
#include <QStringList>

// What OpenVPN is started with: the parts of its command line that the
// tunnel decides. Everything else on that line is fixed by whoever runs it.
struct TunnelLaunch
{
    // The tunnel device has a name of ours, never one OpenVPN reports: what
    // OpenVPN prints ends in text the server chooses, and the block lets the
    // tunnel device through.
    static constexpr char DeviceName[] = "quillnet0";
    // OpenVPN marks the packets of its own connection to the server (or the
    // proxy) with this, and the block lets only those through to it.
    static constexpr quint32 SocketMark = 0x7155;

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
