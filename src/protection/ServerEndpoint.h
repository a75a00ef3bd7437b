#pragma once

#include <QString>

// One way to the VPN server: the leak block lets exactly these through on
// the uplink.
struct ServerEndpoint
{
    QString host; // an address or a host name
    quint16 port = 1194;
    bool tcp = false;

    bool operator==(const ServerEndpoint &other) const
    {
        return host == other.host && port == other.port && tcp == other.tcp;
    }
};
