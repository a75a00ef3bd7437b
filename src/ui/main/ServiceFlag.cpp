#include "ui/main/ServiceFlag.h"

#include "vpn/AdapterControl.h"
#include "vpn/Tunnel.h"

#include <QDebug>

ServiceFlag::ServiceFlag(Tunnel *tunnel, quint8 bit, const char *service)
    : tunnel(tunnel), bit(bit), service(service)
{
}

QString ServiceFlag::adapter() const
{
    return tunnel ? tunnel->getAdapterGuid() : QString();
}

void ServiceFlag::raise()
{
    const QString name = adapter();
    if (!name.isEmpty() && !setAdapterFlag(name, bit))
        qWarning("quillnet: cannot mark the %s as running in the flags of adapter %s", service,
                 qPrintable(name));
}

void ServiceFlag::lower()
{
    const QString name = adapter();
    if (!name.isEmpty() && !clearAdapterFlag(name, bit))
        qWarning("quillnet: cannot mark the %s as stopped in the flags of adapter %s", service,
                 qPrintable(name));
}
