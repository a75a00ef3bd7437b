#pragma once

#include <QtGlobal>

// The loopback ports of the privacy services a login runs for its user: the
// local web filter (Privoxy's listen-address) and the mail proxy. While the
// block stands, only that user's programs reach them.
namespace LocalServicePorts {
inline constexpr quint16 WebFilter = 10080;
inline constexpr quint16 MailProxy = 10025;
} // namespace LocalServicePorts
