#pragma once

#include <QObject>

class QSocketNotifier;
class QTimer;

// The kernel's news of route, address and link changes (rtnetlink), IPv4
// and IPv6, told once a burst of them has settled: joining a network is a
// dozen messages within milliseconds, and whoever listens wants to look at
// the result once.
class KernelNetworkEvents : public QObject
{
    Q_OBJECT

public:
    static constexpr int SettleMs = 100;

    explicit KernelNetworkEvents(QObject *parent = nullptr);
    ~KernelNetworkEvents() override;

    // False (with a warning in the log) when the kernel will not tell.
    bool listen();
    void stopListening();
    bool isListening() const { return socket >= 0; }

signals:
    void settled();

private:
    void drain();

    int socket = -1;
    QSocketNotifier *notifier = nullptr;
    QTimer *settle;
};
