#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// What the server pushed that decides where names are resolved and which
// traffic the tunnel carries, read from OpenVPN's console line
//   [2026-12-07 19:49:12 ]PUSH: Received control message: 'PUSH_REPLY,...'
// The server is not trusted with more than it needs: unknown options are
// ignored, malformed values dropped, and what is kept is bounded, so that a
// value taken from here can go into a system file or a bus call as it is.
struct PushedOptions
{
    static constexpr int MaxServers = 16;
    static constexpr int MaxDomains = 64; // domains and search domains together

    QList<QHostAddress> dnsServers;
    QStringList domains;       // dhcp-option DOMAIN
    QStringList searchDomains; // dhcp-option DOMAIN-SEARCH, dns search-domains
    bool redirectIPv4 = false;
    bool redirectIPv6 = false;
    bool tunnelIPv6 = false;
    // "push-continuation 2": the server sends the rest in the next reply.
    bool continued = false;

    // The servers that can be reached through the tunnel: IPv6 ones only
    // when the tunnel carries IPv6 (otherwise queries to them would take the
    // uplink in the clear, or nowhere).
    QList<QHostAddress> tunnelDnsServers() const;
    bool hasDns() const { return !tunnelDnsServers().isEmpty(); }

    // The reply of one console line; false when the line is no PUSH_REPLY.
    static bool parse(const QString &line, PushedOptions *options);
    // Adds a continuation message. OpenVPN 2.6's "dns server" addresses
    // take the place of "dhcp-option DNS/DNS6" ones, in whichever message
    // they come.
    void merge(const PushedOptions &next);
    // The same options with every value checked again: for options that did
    // not come from parse().
    PushedOptions checked() const;

    // A server a resolver may be pointed at: a plain unicast address of
    // either family, no loopback, link-local or scope.
    static bool isUsableServer(const QHostAddress &address);
    // A domain name of letters, digits, '-' and '_' labels (no trailing dot).
    static bool isDomainName(const QString &name);

private:
    bool serversFromDnsOption = false;
    void addServers(const QList<QHostAddress> &servers, bool fromDnsOption);
    void addDomain(QStringList *list, const QString &name);
};
