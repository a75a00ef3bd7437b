#include "vpn/TunnelMode.h"

#include "vpn/LocalConsole.h"
#include "vpn/ServiceConsole.h"
#include "vpn/TunnelServiceApi.h"

#include <QFile>

namespace {
constexpr int CapNetAdmin = 12;
} // namespace

TunnelMode::Choice TunnelMode::decide(bool serviceOnBus, const QByteArray &procStatus)
{
    if (serviceOnBus)
        return {Service, QStringLiteral("Quillnet: OpenVPN runs in the tunnel service %1")
                             .arg(QLatin1String(TunnelServiceApi::Service))};
    if (hasNetAdmin(procStatus))
        return {Direct, QStringLiteral("Quillnet: no tunnel service; OpenVPN runs in this "
                                       "process, which has CAP_NET_ADMIN")};
    return {Direct, QStringLiteral("Quillnet: no tunnel service and no CAP_NET_ADMIN; OpenVPN "
                                   "runs in this process and cannot create its tunnel")};
}

QByteArray TunnelMode::ownStatus()
{
    QFile status(QStringLiteral("/proc/self/status"));
    return status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
}

bool TunnelMode::hasNetAdmin(const QByteArray &procStatus)
{
    for (const QByteArray &line : procStatus.split('\n')) {
        if (!line.startsWith("CapEff:"))
            continue;
        bool ok = false;
        const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask >> CapNetAdmin & 1U);
    }
    return false;
}

TunnelConsole *TunnelMode::createConsole(Mode mode, QObject *parent)
{
    if (mode == Service)
        return new ServiceConsole(parent);
    return new LocalConsole(parent);
}
