#include "vpn/OpenVpnLineRules.h"

#include <QRegularExpression>

namespace {

QString firstCapture(const QRegularExpression &pattern, const QString &line)
{
    const QRegularExpressionMatch match = pattern.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

bool has(const QString &line, const char *text)
{
    return line.contains(QLatin1String(text));
}

QString serverAddress(const QString &line)
{
    // Through a proxy the peer is the proxy; the CONNECT names the server.
    static const QRegularExpression viaProxy(
        QStringLiteral("Send to HTTP proxy: 'CONNECT (\\d+\\.\\d+\\.\\d+\\.\\d+)"));
    static const QRegularExpression peer(QStringLiteral(
        "Peer Connection Initiated with (?:\\[AF_INET\\])?(\\d+\\.\\d+\\.\\d+\\.\\d+)"));
    const QString address = firstCapture(viaProxy, line);
    return address.isEmpty() ? firstCapture(peer, line) : address;
}

QString openedAdapter(const QString &line)
{
    if (!has(line, "opened"))
        return QString();
    // Windows names the adapter by its GUID, Linux by its device name.
    static const QRegularExpression guid(QStringLiteral("(\\{[0-9A-F\\-]+\\})"));
    static const QRegularExpression device(QStringLiteral("TUN/TAP device (\\S+) opened"));
    if (has(line, "TAP-WIN32 device"))
        return firstCapture(guid, line);
    return firstCapture(device, line);
}

} // namespace

OpenVpnLineRules::Effects OpenVpnLineRules::apply(const QString &line, bool ipKnown)
{
    Effects effects;
    if (!ipKnown)
        effects.ip = serverAddress(line);
    effects.adapter = openedAdapter(line);

    if (has(line, "Attempting to establish TCP connection with"))
        effects.progress = tr("Connecting to server");
    // Windows waits for its adapter; elsewhere the opened device is the step.
    if (has(line, "Waiting for TUN/TAP interface to come up") || !effects.adapter.isEmpty())
        effects.progress = tr("Creating VPN tunnel");
    if (has(line, "Initialization Sequence Completed"))
        effects.connected = true;

    if (has(line, "RESOLVE: Cannot resolve host address"))
        effects.error = tr("Server connection failure.\nCannot resolve host address.");
    if (has(line, "AUTH: Received AUTH_FAILED control message") ||
        has(line, "AUTH: Received control message: AUTH_FAILED"))
        effects.error = tr("Authentication failed.\nCheck your VPN access subscription, please.");
    if (has(line, "All TAP-Win32 adapters on this system are currently in use") ||
        (has(line, "Cannot ioctl TUNSETIFF") && has(line, "Device or resource busy")))
        effects.error = tr("Creating VPN tunnel failed.\nAll Quillnet adapters on this system are "
                           "currently in use.");
    if (has(line, "There are no TAP-Win32 adapters on this system.") ||
        (has(line, "Cannot open TUN/TAP dev") && has(line, "No such file or directory")))
        effects.error = tr("Creating VPN tunnel failed.\nThere is no 'Quillnet' adapter on this "
                           "system. Try to reinstall Quillnet.");
    if ((has(line, "Cannot ioctl TUNSETIFF") || has(line, "Cannot open TUN/TAP dev")) &&
        (has(line, "Operation not permitted") || has(line, "Permission denied")))
        effects.error = tr("Creating VPN tunnel failed.\nQuillnet is not allowed to create network "
                           "tunnels on this system.");
    if (has(line, "TCP: connect to") && has(line, "failed"))
        effects.error = tr("Connection to server failed,\nwill try again in 5 seconds.");
    return effects;
}
