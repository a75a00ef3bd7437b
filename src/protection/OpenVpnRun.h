#pragma once

#include <QtGlobal>

// What the protection and OpenVPN's command line agree on, so that nothing
// of it is learnt from what OpenVPN prints.
namespace OpenVpnRun {
// The tunnel device's name: ours, never one OpenVPN reports, since the
// server's own text ends some of its lines and the block lets the tunnel
// device through.
inline constexpr char DeviceName[] = "quillnet0";
// OpenVPN marks the packets of its own connection to the server (or the
// proxy) with this, and only those pass the block to them.
inline constexpr quint32 SocketMark = 0x7155;
} // namespace OpenVpnRun
