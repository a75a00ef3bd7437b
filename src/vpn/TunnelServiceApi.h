#pragma once

#include <QtGlobal>

// The privileged tunnel service's names on the system bus and the limits
// it holds its callers to; the service and its client read them from here.
namespace TunnelServiceApi {

inline constexpr char Service[] = "net.quillnet.Tunnel";
inline constexpr char Path[] = "/net/quillnet/Tunnel";
inline constexpr char Interface[] = "net.quillnet.Tunnel";

// Methods: Start(ay configuration, ay certificate, s proxyHost, q proxyPort,
// b proxyAsksCredentials, b blockOutsideTunnel, b allowLocalNetwork),
// Write(ay), EchoOff() -> b, Stop(), Release() -> as (log lines of what was
// undone), OpenForSignIn(u seconds). Signals, sent to the owner of the
// tunnel alone: Output(ay bytes, b echoOff), the echo state as it was when
// the bytes were read; Finished(i exitCode, b crashed); Protection(s
// logLine); ProtectionFailed(s detail), after which the tunnel ends;
// NetworkChanged(s detail); SignIn(b open). Protection and SignIn go to the
// client the protection is for also between two of its runs.

// The polkit action a caller must be allowed before anything is started.
inline constexpr char ConnectAction[] = "net.quillnet.tunnel.connect";
// Lifting another user's protection (Release, or Start without the block
// while theirs stands): an administrator's decision. That user's client is
// told with ProtectionLifted(s detail).
inline constexpr char ReleaseOtherAction[] = "net.quillnet.tunnel.release-other";

namespace Error {
inline constexpr char NotAuthorized[] = "net.quillnet.Tunnel.Error.NotAuthorized";
inline constexpr char Refused[] = "net.quillnet.Tunnel.Error.Refused";
inline constexpr char Busy[] = "net.quillnet.Tunnel.Error.Busy";
inline constexpr char NotOwner[] = "net.quillnet.Tunnel.Error.NotOwner";
inline constexpr char NotRunning[] = "net.quillnet.Tunnel.Error.NotRunning";
inline constexpr char InvalidArgs[] = "net.quillnet.Tunnel.Error.InvalidArgs";
inline constexpr char Failed[] = "net.quillnet.Tunnel.Error.Failed";
inline constexpr char Unprotected[] = "net.quillnet.Tunnel.Error.Unprotected";
} // namespace Error

// A CA certificate is a few kilobytes.
inline constexpr qsizetype MaxCertificateSize = 64 * 1024;
// Answers to prompts are a line each.
inline constexpr qsizetype MaxWriteSize = 4096;
// Start waits for polkit, which may be asking the user for a password.
inline constexpr int StartTimeoutMs = 150000;
inline constexpr int AuthorizationTimeoutMs = 120000;
// Lifting a block runs nft and may restore a file; a client that quits
// waits no longer than this for it.
inline constexpr int ReleaseWaitMs = 5000;

} // namespace TunnelServiceApi
