#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What a caller of the tunnel service asks to run, exactly as it arrived
// on the bus: nothing of it is trusted until check() has passed it.
struct StartRequest
{
    QByteArray configuration;
    QByteArray certificate;
    // Empty: no proxy.
    QString proxyHost;
    quint16 proxyPort = 0;
    bool proxyAsksCredentials = false;

    struct Rejection
    {
        const char *errorName; // one of TunnelServiceApi::Error
        QString message;
    };
    // Every rule a request must pass before a file is written or a program
    // started; the first broken one.
    std::optional<Rejection> check() const;
};
