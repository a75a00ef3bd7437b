#pragma once

#include "protection/ServerEndpoint.h"

#include <QByteArray>
#include <QList>

// Where a tunnel configuration lets OpenVPN connect: its "remote" lines with
// the "port" and "proto" defaults applied, read as OpenVPN reads them,
// inline blocks (key material) skipped.

namespace TunnelEndpoints {
// At most this many; a configuration with more is no configuration of ours.
inline constexpr int MaxEndpoints = 32;

QList<ServerEndpoint> fromConfiguration(const QByteArray &configuration);
} // namespace TunnelEndpoints
