#pragma once

#include "protection/DnsBackend.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <functional>

class QDBusPendingCallWatcher;

// Hands the pushed servers to systemd-resolved for the tunnel's link, with
// the routing domain "~." and the link as default route, so that every
// query goes to them; revert() hands the link back to resolved. Only
// asynchronous calls: this runs in the client's own process too.
class ResolvedDns : public DnsBackend
{
    Q_OBJECT

public:
    explicit ResolvedDns(const QDBusConnection &bus, QObject *parent = nullptr);

    void apply(const QString &device, int ifindex, const PushedOptions &options) override;
    void revert() override;
    QString describe() const override;

    // Answers once, from the event loop, whether resolved's name has an
    // owner on `bus` (false also when the bus does not answer).
    static void probe(const QDBusConnection &bus, QObject *context,
                      const std::function<void(bool running)> &answer);

private:
    void sendNext(quint64 run);
    void onReply(quint64 run, QDBusPendingCallWatcher *watcher);

    QDBusConnection bus;
    QString device;
    int ifindex = 0; // of the link resolved has our settings for; 0: none
    QList<QHostAddress> servers;
    // The calls of the current apply() or revert(), sent one after the
    // other; a later apply() or revert() starts a new run and the rest of
    // an older one is dropped.
    QList<QDBusMessage> pending;
    quint64 currentRun = 0;
    bool reverting = false;
    QString doneDetail;
};
