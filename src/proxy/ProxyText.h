#pragma once

#include <QString>

// Reading a system proxy setting, as the operating system reports it, into
// the "host:port" (or bare host) form the proxy settings work with.

// A proxy list of the Windows kind: a single proxy for every protocol
// ("host:port"), or per-protocol entries separated by spaces
// ("ftp=a:21 http=b:8080"), of which only the exact "http=" entry counts.
// Empty when the list names no HTTP proxy.
QString httpProxyFromList(const QString &list);

struct ProxyHostPort
{
    QString host;
    quint16 port = 0;
};

// "host:port", or a bare host meaning port 80; an IPv6 host is written in
// brackets ("[::1]:3128") and comes back without them. A port that is not a
// decimal number up to 65535 reads as 0.
ProxyHostPort splitProxyText(const QString &text);
