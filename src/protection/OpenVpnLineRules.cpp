#include "protection/OpenVpnLineRules.h"

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

bool startsWith(const QString &message, const char *text)
{
    return message.startsWith(QLatin1String(text));
}

QString serverAddress(const QString &message)
{
    // Through a proxy the peer is the proxy; the CONNECT names the server.
    // The peer's own name comes first in brackets and is the peer's
    // choice: the address is taken from the end of the line.
    static const QRegularExpression viaProxy(
        QStringLiteral("^Send to HTTP proxy: 'CONNECT (\\d+\\.\\d+\\.\\d+\\.\\d+)"));
    static const QRegularExpression peer(QStringLiteral(
        "(?:^|\\] )Peer Connection Initiated with (?:\\[AF_INET\\])?(\\d+\\.\\d+\\.\\d+\\.\\d+)"
        ":\\d+$"));
    const QString address = firstCapture(viaProxy, message);
    return address.isEmpty() ? firstCapture(peer, message) : address;
}

QString openedAdapter(const QString &message)
{
    // Windows names the adapter by its GUID, Linux by its device name.
    static const QRegularExpression guid(
        QStringLiteral("^TAP-WIN32 device .* opened: .*(\\{[0-9A-F\\-]+\\})"));
    static const QRegularExpression device(QStringLiteral("^TUN/TAP device (\\S+) opened$"));
    const QString adapter = firstCapture(guid, message);
    return adapter.isEmpty() ? firstCapture(device, message) : adapter;
}

} // namespace

QString OpenVpnLineRules::messageOf(const QString &line)
{
    static const QRegularExpression stamp(
        QStringLiteral("^(?:\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d|"
                       "[A-Z][a-z]{2} [A-Z][a-z]{2} [ \\d]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}) "));
    const QRegularExpressionMatch match = stamp.match(line);
    return match.hasMatch() ? line.mid(match.capturedEnd()) : line;
}

OpenVpnLineRules::Effects OpenVpnLineRules::apply(const QString &line, bool ipKnown)
{
    const QString message = messageOf(line);
    Effects effects;
    if (!ipKnown)
        effects.ip = serverAddress(message);
    effects.adapter = openedAdapter(message);

    if (startsWith(message, "Attempting to establish TCP connection with "))
        effects.progress = tr("Connecting to server");
    // Windows waits for its adapter; elsewhere the opened device is the step.
    if (startsWith(message, "Waiting for TUN/TAP interface to come up") ||
        !effects.adapter.isEmpty())
        effects.progress = tr("Creating VPN tunnel");
    if (message == QLatin1String("Initialization Sequence Completed") ||
        message == QLatin1String("Initialization Sequence Completed With Errors"))
        effects.connected = true;
    // A soft restart (network loss, ping time-out): the tunnel is down until
    // the sequence completes again.
    if (startsWith(message, "SIGUSR1[") &&
        message.endsWith(QLatin1String("received, process restarting")))
        effects.restarting = true;

    if (startsWith(message, "RESOLVE: Cannot resolve host address")) {
        effects.error = tr("Server connection failure.\nCannot resolve host address.");
        effects.outage = true;
    }
    static const QRegularExpression authFailed(QStringLiteral(
        "^AUTH: Received (?:control message: AUTH_FAILED(?:,.*)?|AUTH_FAILED control message)$"));
    if (authFailed.match(message).hasMatch())
        effects.error = tr("Authentication failed.\nCheck your VPN access subscription, please.");
    const bool tunError = startsWith(message, "ERROR: Cannot ioctl TUNSETIFF") ||
                          startsWith(message, "ERROR: Cannot open TUN/TAP dev") ||
                          startsWith(message, "Cannot ioctl TUNSETIFF") ||
                          startsWith(message, "Cannot open TUN/TAP dev");
    if (startsWith(message, "All TAP-Win32 adapters on this system are currently in use") ||
        (tunError && has(message, "TUNSETIFF") && has(message, "Device or resource busy")))
        effects.error = tr("Creating VPN tunnel failed.\nAll Quillnet adapters on this system are "
                           "currently in use.");
    if (startsWith(message, "There are no TAP-Win32 adapters on this system.") ||
        (tunError && has(message, "Cannot open TUN/TAP dev") &&
         has(message, "No such file or directory")))
        effects.error = tr("Creating VPN tunnel failed.\nThere is no 'Quillnet' adapter on this "
                           "system. Try to reinstall Quillnet.");
    if (tunError && (has(message, "Operation not permitted") || has(message, "Permission denied")))
        effects.error = tr("Creating VPN tunnel failed.\nQuillnet is not allowed to create network "
                           "tunnels on this system.");
    if (startsWith(message, "TCP: connect to ") && has(message, " failed")) {
        effects.error = tr("Connection to server failed,\nwill try again in 5 seconds.");
        effects.outage = true;
    }
    return effects;
}
