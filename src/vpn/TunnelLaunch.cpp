#include "vpn/TunnelLaunch.h"

#include "protection/OpenVpnRun.h"

QStringList TunnelLaunch::openVpnArguments() const
{
    // Linux has no exit event to pass: OpenVPN is asked to end with SIGTERM.
    QStringList arguments = {QStringLiteral("--config"),
                             configPath,
                             QStringLiteral("--script-security"),
                             QStringLiteral("1"),
                             QStringLiteral("--dev-type"),
                             QStringLiteral("tun"),
                             QStringLiteral("--dev"),
                             QLatin1String(OpenVpnRun::DeviceName),
                             QStringLiteral("--mark"),
                             QString::number(OpenVpnRun::SocketMark)};
    if (!proxyHost.isEmpty()) {
        arguments << QStringLiteral("--http-proxy") << proxyHost << QString::number(proxyPort);
        if (proxyAsksCredentials)
            arguments << QStringLiteral("stdin");
    }
    return arguments;
}
