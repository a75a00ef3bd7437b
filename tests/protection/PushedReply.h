#pragma once

#include "protection/PushedOptions.h"

// The console line OpenVPN prints for a server's reply of `options`
// ("dhcp-option DNS 10.8.0.1,ping 10").
inline QString replyLine(const QString &options)
{
    return QStringLiteral("2026-12-07 19:49:12 PUSH: Received control message: 'PUSH_REPLY,%1'")
        .arg(options);
}

// The options as read from that line.
inline PushedOptions pushed(const QString &options)
{
    PushedOptions parsed;
    PushedOptions::parse(replyLine(options), &parsed);
    return parsed;
}
