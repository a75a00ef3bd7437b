#pragma once

#include "vpn/TunnelMode.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantList>
#include <functional>

// Asks the system bus whether it has the tunnel service, running or ready
// to be started, and tells the choice once. Nothing waits for the bus: a
// slow or hung bus daemon delays the choice, never the windows, and each
// question is bounded, so that the choice comes in a few seconds at most.
class TunnelModeQuery : public QObject
{
    Q_OBJECT

public:
    TunnelModeQuery(const QDBusConnection &bus, const QByteArray &procStatus,
                    QObject *parent = nullptr);

    // chosen() follows, also without a bus (then from the event loop).
    void ask();

    static constexpr int QuestionTimeoutMs = 1000;

signals:
    void chosen(const TunnelMode::Choice &choice);

private:
    // An invalid value when the bus did not answer in time.
    void askBus(const char *method, const QVariantList &arguments,
                const std::function<void(const QVariant &)> &then);
    void settle(bool serviceOnBus);

    QDBusConnection bus;
    QByteArray procStatus;
};
