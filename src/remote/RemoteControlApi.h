#pragma once

// The running client's names on the user's session bus; the client and the
// command line read them from here.
namespace RemoteControlApi {

inline constexpr char Service[] = "net.quillnet.Client";
inline constexpr char Path[] = "/net/quillnet/Client";
inline constexpr char Interface[] = "net.quillnet.Client";

// Methods, each answered only to a caller of the user who runs the client
// (else org.freedesktop.DBus.Error.AccessDenied):
// Connect() -> s, Disconnect() -> s, Quit() -> s: what came of it, a key
// of ClientCommands::Outcome;
// Status() -> (s state, s server, s location, b block, b localNetwork):
// the state in the words of ClientCommands::stateName, the server's address
// and location (empty while unknown), and the protection in force.

} // namespace RemoteControlApi
