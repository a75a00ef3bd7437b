#pragma once

#include "protection/LocalSubnets.h"
#include "protection/PushedOptions.h"
#include "protection/ServerEndpoint.h"

#include <QDBusConnection>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <functional>
#include <optional>

class DnsBackend;
class KernelNetworkEvents;
class LeakFirewall;
class NetworkPathWatcher;
class NftRuleset;
class QTimer;

// What makes "Connected" mean protected, for the privileged side of a tunnel
// (the tunnel service, or the client in direct mode): the leak block before
// OpenVPN starts, with the way to the server for OpenVPN's marked packets
// alone and the tunnel device (a name of ours) let through, and the
// pushed DNS servers made the only resolvers once the tunnel is up. Both stay
// through reconnects, sleep and OpenVPN's death, so nothing goes around the
// tunnel while it is away; only release() (log-out, quit) lifts them.
// Whatever it cannot apply is reported, never passed over.
class TunnelProtection : public QObject
{
    Q_OBJECT

public:
    struct Places
    {
        QString nftProgram = QStringLiteral("/usr/sbin/nft");
        QString resolvConf = QStringLiteral("/etc/resolv.conf");
        // Root's own folder: the markers of what is ours to undo, also after a
        // crash.
        QString stateFolder;
    };

    TunnelProtection(const QDBusConnection &systemBus, const Places &places,
                     QObject *parent = nullptr);
    ~TunnelProtection() override;

    // A sign-in opening lasts this long unless the caller asks for another
    // time within the bounds.
    static constexpr int SignInSeconds = 120;
    static constexpr int MinSignInSeconds = 5;
    static constexpr int MaxSignInSeconds = 600;

    // Before OpenVPN starts: with `block`, only the configuration's servers
    // (and the proxy) are let out, and with `localNetwork` the subnets the
    // machine is on (followed as they change); without `block`, a block
    // left from before is lifted. ready() follows.
    void begin(const QList<ServerEndpoint> &servers, const QString &proxyHost, quint16 proxyPort,
               bool block, bool localNetwork = false);
    // OpenVPN's console output, as it comes.
    void feed(const QByteArray &bytes);
    // The user whose tunnel is protected: from the next block on, only that
    // user's programs reach the web filter and the mail proxy on loopback.
    void setOwner(uint uid) { ownerUid = uid; }
    // The user the block in place is for, also when an earlier run of the
    // service made it; none when unknown.
    std::optional<uint> owner() const { return blocking ? ownerUid : std::nullopt; }
    // Log-out or quit: the block and the DNS settings go, also those a
    // crashed run left (the kernel's table, whatever the markers say, and
    // the resolver file its marker keeps). released() follows.
    void release();
    // Restores a resolver file that a run ended without restoring; for the
    // start of whoever does the protecting. Returns the log line, if any.
    static QString recoverAfterCrash(const Places &places);

    // A block or DNS settings of ours are in place.
    bool isActive() const;

    // The user's word that the network may need a sign-in page: while the
    // tunnel cannot reach its server, names and the web pass outside it for
    // `seconds` (bounded as above), and names go to the network's own
    // resolvers. The block returns when the time is up, when the tunnel is
    // back and at release(). False, with why, when there is no block to open.
    bool openForSignIn(int seconds, QString *error);

signals:
    void ready(bool ok, const QString &detail);
    // One line for the client's log: what was applied or undone.
    void note(const QString &line);
    // Protection could not be applied while the tunnel runs: it must end.
    void failed(const QString &detail);
    // The way to the server changed under the running tunnel (the machine
    // moved to another network): OpenVPN should reconnect at once rather
    // than wait for its ping-restart. The block stays meanwhile.
    void networkChanged(const QString &detail);
    void released();
    // The sign-in opening is in place (true) or gone again (false).
    void signInChanged(bool open);

private:
    using FirewallAnswer = std::function<void(bool ok, const QString &detail)>;
    void askFirewall(const std::optional<NftRuleset> &ruleset, const FirewallAnswer &answer);
    std::optional<NftRuleset> ruleset(QString *error) const;
    void applyBlock(bool starting);
    void blockApplied(bool starting, bool ok, QString detail);
    void blockLifted();
    void onLine(const QString &line);
    void applyDns();
    void applyDnsWith(DnsBackend &backend);
    void finishRelease();
    void closeSignIn(const QString &why);
    void localNetworkChanged();
    void revertDnsForSignIn(const std::function<void()> &then);
    QList<QHostAddress> serverAddresses() const;
    QString blockMarker() const;

    QDBusConnection bus;
    Places places;
    LeakFirewall *firewall;
    NetworkPathWatcher *pathWatcher;
    KernelNetworkEvents *localEvents; // heard while the local network is let through
    QTimer *signInTimer;
    DnsBackend *dns = nullptr;

    QList<FirewallAnswer> firewallAnswers;               // one per request nft has not answered
    QList<ServerEndpoint> endpoints;                     // this run's servers, blocking or not
    QHash<QString, QList<QHostAddress>> resolvedServers; // by host name
    QHostAddress proxyAddress;
    quint16 proxyPort = 0;
    bool blocking = false;
    bool dnsApplied = false;
    bool dnsReverting = false;       // for a sign-in; the tunnel's DNS waits for it
    bool dnsAfterRevert = false;     // the tunnel came up meanwhile
    bool localNetwork = false;       // the user allows the subnets the machine is on
    QList<LocalSubnet> localSubnets; // those in the table now
    bool signInOpen = false;         // asked for, and not yet over
    bool signInReported = false;
    std::optional<uint> ownerUid;
    std::optional<uint>
        markedOwner;        // what the block's marker says // what signInChanged() last said
    bool releasing = false; // release() waits for nft or the resolver
    int pendingUndos = 0;

    QByteArray unread;
    QString device;
    PushedOptions pushed;
    bool completed = false;  // "Initialization Sequence Completed" seen this run
    quint64 beginNumber = 0; // of the latest begin(): older answers are stale
};
