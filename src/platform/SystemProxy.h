#pragma once

#include <QString>
#include <optional>

// The proxy the user configured for the whole system. On Windows that is
// Internet Explorer's setting (WinINet); on Linux the proxy variables of
// the environment (https_proxy, http_proxy, all_proxy, in either case) and,
// where the desktop provides them, its settings through Qt's system proxy
// query.
class SystemProxy
{
public:
    // "host:port" or a bare host; the empty text for a direct connection;
    // no result when the setting cannot be read (lastError() says why).
    static std::optional<QString> query();
    static QString lastError();

    // The same, for a given environment, without the desktop's settings.
    static std::optional<QString> fromEnvironment(const QStringList &environment);
};
