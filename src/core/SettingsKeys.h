#pragma once

// Every key of the per-user settings store. Each access opens a short-lived
// QSettings and reads with an empty default, so a missing key reads as false,
// 0 or the empty string (unless a key says otherwise); nothing else in the
// program spells a key.
namespace SettingsKey {
// Login dialog; the four are always written together.
inline constexpr char RememberUser[] = "remember_user";
inline constexpr char AutoLogin[] = "auto_login";
inline constexpr char Username[] = "username";
inline constexpr char Password[] = "password";

// Web filter.
inline constexpr char WebFilter[] = "web_filter";
inline constexpr char WebAdvert[] = "web_advert";
inline constexpr char WebCookie[] = "web_cookie";
inline constexpr char WebHeader[] = "web_header";
inline constexpr char WebSystem[] = "web_system";
inline constexpr char WebBrowser[] = "web_browser";

// Mail anonymization and account.
inline constexpr char MailAnonymize[] = "mail_anonymize";
inline constexpr char MailDefault[] = "mail_default";
inline constexpr char ContactEmail[] = "contact_email";

// Leak protection: true (also when missing) blocks every path around the
// tunnel while logged in; DNS always goes through the tunnel.
inline constexpr char BlockOutsideTunnel[] = "block_outside_tunnel";
// With the block: the subnets the machine is on pass too (false when missing).
inline constexpr char AllowLocalNetwork[] = "allow_local_network";

// HTTP proxy: 0 none, 1 the system's settings, 2 the keys below.
inline constexpr char ProxySource[] = "proxy_source";
inline constexpr char ProxyAddress[] = "proxy_address";
inline constexpr char ProxyPort[] = "proxy_port";
inline constexpr char ProxyAuth[] = "proxy_auth";
inline constexpr char ProxyUser[] = "proxy_user";
inline constexpr char ProxyPasswd[] = "proxy_passwd";

// Set by an installer or an administrator, never by the program.
inline constexpr char OpenvpnExe[] = "openvpn_exe";
} // namespace SettingsKey
