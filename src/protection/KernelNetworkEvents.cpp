#include "protection/KernelNetworkEvents.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr unsigned Groups =
    RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE;

} // namespace

KernelNetworkEvents::KernelNetworkEvents(QObject *parent)
    : QObject(parent), settle(new QTimer(this))
{
    settle->setSingleShot(true);
    settle->setInterval(SettleMs);
    connect(settle, &QTimer::timeout, this, &KernelNetworkEvents::settled);
}

KernelNetworkEvents::~KernelNetworkEvents()
{
    stopListening();
}

bool KernelNetworkEvents::listen()
{
    if (isListening())
        return true;
    socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = Groups;
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        qWarning("quillnet: cannot watch the network for changes: %s", std::strerror(errno));
        stopListening();
        return false;
    }
    notifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &KernelNetworkEvents::drain);
    return true;
}

void KernelNetworkEvents::stopListening()
{
    settle->stop();
    delete notifier;
    notifier = nullptr;
    if (socket >= 0)
        ::close(socket);
    socket = -1;
}

void KernelNetworkEvents::drain()
{
    // What changed does not matter, only that something did: the listener
    // looks anew once the burst has settled.
    char buffer[8192];
    while (::recv(socket, buffer, sizeof buffer, 0) > 0) {
    }
    settle->start();
}
