#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// A network this machine is on directly: no router between it and the hosts
// of `network`/`prefixLength` (host bits zero), reached through `device`.
struct LocalSubnet
{
    QString device;
    QHostAddress network;
    int prefixLength = 0;

    bool operator==(const LocalSubnet &other) const
    {
        return device == other.device && network == other.network &&
               prefixLength == other.prefixLength;
    }
};

// The local network a user may allow around the tunnel (a printer, a NAS):
// the subnets of the addresses the machine's links have, IPv4 and IPv6,
// link-local included, as the kernel holds them now.
class LocalSubnets
{
public:
    // A machine has a few links with a few addresses each; more are left out.
    static constexpr int Max = 32;

    // Every link's subnets but loopback's and `tunnelDevice`'s, private
    // ones only (see isPrivate()), in the kernel's order.
    static QList<LocalSubnet> attached(const QString &tunnelDevice);

    // Only private, link-local and unique local ranges can be a local
    // network: a network that hands out a public prefix (or a huge one) as
    // "local" would otherwise route the Internet around the tunnel.
    static bool isPrivate(const QHostAddress &network, int prefixLength);

    // The network of `address`/`prefixLength`: its host bits cleared.
    static QHostAddress networkOf(const QHostAddress &address, int prefixLength);
};
