#pragma once

#include <QMetaType>

// State of the tunnel, carried by Tunnel::statusChanged.
enum CnnStatus
{
    NoStatus = 0, // never set; listeners ignore it
    Disconnected = 1,
    Connecting = 2,
    Connected = 3,
    Reconnecting = 4,
    Disconnecting = 5,
    Suspending = 6,
    Suspended = 7
};
Q_DECLARE_METATYPE(CnnStatus)
