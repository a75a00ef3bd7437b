#pragma once

// Files the client writes into its working folder and the support request
// sends along.
namespace WorkingFiles {
// The tunnel's log, and the one before it.
inline constexpr char TunnelLog[] = "log.txt";
inline constexpr char OldTunnelLog[] = "log.old";
// What the web filter prints.
inline constexpr char WebFilterLog[] = "log-privoxy.txt";
} // namespace WorkingFiles
