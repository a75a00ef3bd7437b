#pragma once

#include <QNetworkProxy>

// The proxy for the client's outgoing connections, from the stored choice:
// "proxy_source" 0 none, 1 the system's proxy, 2 the user's own proxy.
// `source` 1 or 2 forces that choice; below 0 the stored one applies. The
// store is read afresh on every call. The stored user name and password are
// given to whichever proxy is used when "proxy_auth" is on.
QNetworkProxy proxyFromSettings(int source = -1);
