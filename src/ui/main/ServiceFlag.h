#pragma once

#include <QString>
#include <QtGlobal>

class Tunnel;

// The bit a local privacy service (the web filter, the mail proxy) holds in
// the tunnel adapter's flag register while it runs. The register only tells
// other programs which services run: nothing in the client reads it, and a
// service runs the same without its bit. So a write that fails is logged
// for whoever looks into the client's messages and the user is not
// bothered; without a tunnel adapter (none yet, or no tunnel) there is no
// register to write and nothing is said.
class ServiceFlag
{
public:
    // `service` names it in the log. The tunnel may be null.
    ServiceFlag(Tunnel *tunnel, quint8 bit, const char *service);

    void raise();
    void lower();

private:
    QString adapter() const;

    Tunnel *const tunnel;
    const quint8 bit;
    const char *const service;

    Q_DISABLE_COPY_MOVE(ServiceFlag)
};
