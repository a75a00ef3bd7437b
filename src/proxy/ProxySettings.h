#pragma once

#include <QNetworkProxy>

class RememberedPasswords;

// The proxy for the client's outgoing connections, from the stored choice:
// "proxy_source" 0 none, 1 the system's proxy, 2 the user's own proxy.
// `source` 1 or 2 forces that choice; below 0 the stored one applies. The
// store is read afresh on every call. The stored user name and password are
// given to whichever proxy is used when "proxy_auth" is on; the password is
// the remembered one of `passwords`, or without them the settings file's.
QNetworkProxy proxyFromSettings(int source = -1, const RememberedPasswords *passwords = nullptr);
