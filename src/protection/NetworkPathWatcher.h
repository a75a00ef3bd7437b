#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>

class KernelNetworkEvents;

// Tells when the way to the VPN server changes under a running tunnel: the
// machine moved to another network, its gateway or address went away.
// OpenVPN itself would notice only at its ping-restart, a minute or more of
// no network for the user. Watches the kernel's route, address and link
// changes (rtnetlink) and, once a burst of them has settled, asks the kernel
// how each server is reached now (gateway, device, source address); an
// answer other than the last one is a move. No answer (no route for the
// moment) is none yet, and a link that goes down and comes back as it was
// changes nothing.
class NetworkPathWatcher : public QObject
{
    Q_OBJECT

public:
    explicit NetworkPathWatcher(QObject *parent = nullptr);
    ~NetworkPathWatcher() override;

    // Learns how `servers` are reached now and watches from here on.
    void watch(const QList<QHostAddress> &servers);
    // Nothing more is reported until the next watch().
    void stopWatching();
    bool isWatching() const { return !paths.isEmpty(); }

    // How the kernel would send to `address`: "via GATEWAY dev N src SOURCE"
    // with what applies; empty when it has no route.
    static QString pathTo(const QHostAddress &address);

signals:
    // `detail` says which server's way changed, from what to what.
    void pathChanged(const QString &detail);

private:
    void compare();

    KernelNetworkEvents *events;
    QHash<QString, QString> paths; // by server address: the last path known
};
