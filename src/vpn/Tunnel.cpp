#include "vpn/Tunnel.h"

Tunnel::Tunnel(QObject *parent) : QObject(parent)
{
    // Queued connections carry the state across threads and event loops.
    qRegisterMetaType<CnnStatus>("CnnStatus");
}

Tunnel::Protection Tunnel::protection() const
{
    const CnnStatus status = getStatus();
    return status == Disconnected || status == NoStatus ? Protection() : inForce;
}

void Tunnel::protectWith(bool block, bool localNetwork)
{
    // Without the block everything passes anyway.
    inForce = {block, block && localNetwork};
}
