#pragma once

#include "protection/LocalSubnets.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <optional>

// The leak-blocking firewall as text for `nft -f -`: one table of our own,
// `inet quillnet`, that drops everything going out or coming in except
// loopback, the tunnel device, the VPN servers, an HTTP proxy, DHCP and
// IPv6 neighbour discovery. The text first creates and deletes the table,
// so that nft replaces an existing one in the same transaction: there is no
// moment without it, and never two.
//
// Servers are addresses, never names: while the table is in place nothing
// can be resolved on the uplink, so the caller resolves the `remote` names
// before blocking and hands OpenVPN the addresses it allowed here.
//
// Every value is checked when the text is made; one bad value refuses the
// whole ruleset, because a firewall that silently lacks a rule is not the
// one the caller asked for.
class NftRuleset
{
public:
    static constexpr char Table[] = "quillnet";
    // Named counters of what was dropped, for tests and for a curious user:
    // `nft list counter inet quillnet dropped_out`.
    static constexpr char DroppedOut[] = "dropped_out";
    static constexpr char DroppedIn[] = "dropped_in";
    // A configuration has a few `remote` lines, each name a few addresses.
    static constexpr int MaxServers = 64;

    struct Endpoint
    {
        QHostAddress address;
        int port = 0;
        // "udp" or "tcp".
        QString protocol;
    };

    // Empty while OpenVPN has not opened its device: then nothing passes
    // but the ways to the servers.
    void setTunnelDevice(const QString &name);
    void addServer(const Endpoint &server);
    // Only packets with this mark (OpenVPN's own, `--mark`) reach the
    // servers and the proxy; 0: any packet does.
    void setServerMark(quint32 mark);
    // OpenVPN over an HTTP proxy: the proxy instead of (or besides) the
    // servers.
    void setProxy(const QHostAddress &address, int port);
    // Without this, IPv6 is dropped on the tunnel too: a tunnel that carries
    // only IPv4 must not become a way around it.
    void setTunnelIPv6(bool carried);

    // The user allowed the local network: these subnets (and multicast
    // discovery on their links, mDNS and SSDP) pass both ways. Only private
    // ranges are taken; see LocalSubnets::isPrivate().
    void addLocalSubnet(const LocalSubnet &subnet);
    // Only `uid`'s programs reach these loopback TCP ports (the privacy
    // services of that user's login).
    void setOwnerOnly(uint uid, const QList<quint16> &ports);
    // The user opened the network for a sign-in page: names (DNS) and the
    // web (HTTP, HTTPS) pass outside the tunnel, nothing else.
    void setSignInOpen(bool open);

    // The text, or none with what was refused in `error`.
    std::optional<QString> text(QString *error = nullptr) const;
    // One line for the log: what passes.
    QString describe() const;

    // Deletes the table, and succeeds when there is none.
    static QString removal();
    // What Linux accepts as an interface name, less what nft would read as
    // a wildcard or quoting: [A-Za-z0-9_.-]{1,15}, not "." or "..".
    static bool isDeviceName(const QString &name);

private:
    QString tunnelDevice;
    QList<Endpoint> servers;
    std::optional<Endpoint> proxy;
    bool tunnelIPv6 = false;
    quint32 serverMark = 0;
    QList<LocalSubnet> localSubnets;
    bool signInOpen = false;
    uint ownerUid = 0;
    QList<quint16> ownerPorts;
};
