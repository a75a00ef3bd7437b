#include "vpn/Tunnel.h"

Tunnel::Tunnel(QObject *parent) : QObject(parent)
{
    // Queued connections carry the state across threads and event loops.
    qRegisterMetaType<CnnStatus>("CnnStatus");
}
