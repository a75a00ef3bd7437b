#include "protection/TunnelProtection.h"

#include "core/LocalServicePorts.h"
#include "platform/PrivateFile.h"
#include "protection/DnsBackend.h"
#include "protection/KernelNetworkEvents.h"
#include "protection/LeakFirewall.h"
#include "protection/NetworkPathWatcher.h"
#include "protection/NftRuleset.h"
#include "protection/OpenVpnLineRules.h"
#include "protection/OpenVpnRun.h"
#include "protection/ResolvConfDns.h"
#include "protection/ResolvedDns.h"

#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QRegularExpression>
#include <QTimer>
#include <memory>
#include <net/if.h>

namespace {

// A console line is short; a longer run without a line break is cut here.
constexpr qsizetype MaxLine = 16 * 1024;
// Addresses kept for one server name across lookups.
constexpr qsizetype MaxAddressesPerName = 8;

QString endpointText(const ServerEndpoint &endpoint)
{
    return QStringLiteral("%1:%2/%3")
        .arg(endpoint.host)
        .arg(endpoint.port)
        .arg(endpoint.tcp ? QLatin1String("tcp") : QLatin1String("udp"));
}

} // namespace

TunnelProtection::TunnelProtection(const QDBusConnection &systemBus, const Places &places,
                                   QObject *parent)
    : QObject(parent), bus(systemBus), places(places), firewall(new LeakFirewall(this)),
      pathWatcher(new NetworkPathWatcher(this)), localEvents(new KernelNetworkEvents(this)),
      signInTimer(new QTimer(this))
{
    connect(localEvents, &KernelNetworkEvents::settled, this,
            &TunnelProtection::localNetworkChanged);
    signInTimer->setSingleShot(true);
    connect(signInTimer, &QTimer::timeout, this,
            [this] { closeSignIn(QStringLiteral("its time is up")); });
    connect(pathWatcher, &NetworkPathWatcher::pathChanged, this, [this](const QString &detail) {
        emit note(QStringLiteral("the network changed (%1); OpenVPN reconnects").arg(detail));
        emit networkChanged(detail);
    });
    firewall->setProgram(places.nftProgram);
    connect(firewall, &LeakFirewall::finished, this, [this](bool ok, const QString &detail) {
        // One finished() per request, in the order asked.
        if (!firewallAnswers.isEmpty())
            firewallAnswers.takeFirst()(ok, detail);
    });
    // A marker from a run that ended without release(): its block is still
    // in the kernel, and still ours to lift. It names the user it was for
    // (a marker of an older version is empty).
    QFile marker(blockMarker());
    blocking = marker.exists();
    bool isNumber = false;
    const uint markedUid =
        marker.open(QIODevice::ReadOnly) ? marker.read(16).trimmed().toUInt(&isNumber) : 0;
    if (isNumber)
        ownerUid = markedOwner = markedUid;
}

TunnelProtection::~TunnelProtection()
{
    // An nft run still going ends with the firewall; its answer finds
    // nobody waiting.
    firewall->disconnect(this);
}

QString TunnelProtection::blockMarker() const
{
    return QDir(places.stateFolder).filePath(QStringLiteral("blocking"));
}

bool TunnelProtection::isActive() const
{
    return blocking || dnsApplied;
}

void TunnelProtection::askFirewall(const std::optional<NftRuleset> &ruleset,
                                   const FirewallAnswer &answer)
{
    firewallAnswers.append(answer);
    if (ruleset)
        firewall->apply(*ruleset);
    else
        firewall->remove();
}

void TunnelProtection::begin(const QList<ServerEndpoint> &servers, const QString &proxyHost,
                             quint16 proxyPort, bool block, bool localNetwork)
{
    this->localNetwork = block && localNetwork;
    if (!this->localNetwork)
        localEvents->stopListening();
    // The name OpenVPN is told to give it; nothing else has it.
    device = QLatin1String(OpenVpnRun::DeviceName);
    pushed = PushedOptions();
    completed = false;
    unread.clear();
    endpoints = servers;
    pathWatcher->stopWatching();
    // A begin that a newer one overtook (its caller gone while names were
    // looked up) says nothing: its answer is not the newer caller's.
    const quint64 number = ++beginNumber;
    if (!block) {
        if (!blocking) {
            emit ready(true, QString());
            return;
        }
        // Turned off since the last run: the old block goes first.
        askFirewall(std::nullopt, [this, number](bool ok, const QString &detail) {
            if (ok)
                blockLifted();
            if (number == beginNumber)
                emit ready(ok, detail);
        });
        return;
    }
    this->proxyPort = proxyPort;
    proxyAddress = QHostAddress(proxyHost);
    if (endpoints.isEmpty()) {
        emit ready(false, QStringLiteral("the configuration names no server"));
        return;
    }
    QStringList names;
    for (const ServerEndpoint &endpoint : std::as_const(endpoints))
        if (QHostAddress(endpoint.host).isNull() && !names.contains(endpoint.host))
            names << endpoint.host;
    if (!proxyHost.isEmpty() && proxyAddress.isNull() && !names.contains(proxyHost))
        names << proxyHost;
    if (names.isEmpty()) {
        applyBlock(true);
        return;
    }
    // Names are looked up before the block is made: the addresses found are
    // the ones let through.
    struct Lookups
    {
        qsizetype pending = 0;
        QHash<QString, QList<QHostAddress>> addresses;
    };
    auto lookups = std::make_shared<Lookups>();
    lookups->pending = names.size();
    for (const QString &name : std::as_const(names)) {
        QHostInfo::lookupHost(
            name, this, [this, name, lookups, proxyHost, number](const QHostInfo &info) {
                if (number != beginNumber)
                    return;
                // A name keeps the addresses it had: when it no longer resolves
                // (the last block stands, say), and besides what a network with a
                // sign-in page answers for every name until the user signed in.
                QList<QHostAddress> known = info.addresses();
                for (const QHostAddress &address : resolvedServers.value(name))
                    if (!known.contains(address) && known.size() < MaxAddressesPerName)
                        known << address;
                lookups->addresses[name] = known;
                if (--lookups->pending > 0)
                    return;
                for (auto it = lookups->addresses.cbegin(); it != lookups->addresses.cend(); ++it) {
                    if (it.value().isEmpty()) {
                        emit ready(false, QStringLiteral("cannot resolve ") + it.key());
                        return;
                    }
                }
                for (auto it = lookups->addresses.cbegin(); it != lookups->addresses.cend(); ++it)
                    resolvedServers.insert(it.key(), it.value());
                if (proxyAddress.isNull() && !proxyHost.isEmpty())
                    proxyAddress = lookups->addresses.value(proxyHost).value(0);
                applyBlock(true);
            });
    }
}

std::optional<NftRuleset> TunnelProtection::ruleset(QString *error) const
{
    NftRuleset rules;
    for (const ServerEndpoint &endpoint : std::as_const(endpoints)) {
        const QHostAddress literal(endpoint.host);
        const QList<QHostAddress> addresses =
            literal.isNull() ? resolvedServers.value(endpoint.host) : QList<QHostAddress>{literal};
        for (const QHostAddress &address : addresses)
            rules.addServer({address, endpoint.port,
                             endpoint.tcp ? QStringLiteral("tcp") : QStringLiteral("udp")});
    }
    if (!proxyAddress.isNull() && proxyPort)
        rules.setProxy(proxyAddress, proxyPort);
    rules.setTunnelDevice(device);
    rules.setServerMark(OpenVpnRun::SocketMark);
    rules.setTunnelIPv6(pushed.tunnelIPv6);
    for (const LocalSubnet &subnet : localSubnets)
        rules.addLocalSubnet(subnet);
    rules.setSignInOpen(signInOpen);
    if (ownerUid)
        rules.setOwnerOnly(*ownerUid, {LocalServicePorts::WebFilter, LocalServicePorts::MailProxy});
    if (!rules.text(error))
        return std::nullopt;
    return rules;
}

void TunnelProtection::applyBlock(bool starting)
{
    if (localNetwork) {
        localSubnets = LocalSubnets::attached(device);
        localEvents->listen();
    } else {
        localSubnets.clear();
    }
    QString error;
    const std::optional<NftRuleset> rules = ruleset(&error);
    if (!rules) {
        blockApplied(starting, false, error);
        return;
    }
    askFirewall(rules, [this, starting, number = beginNumber](bool ok, const QString &detail) {
        // Overtaken while nft ran: the newer begin answers for itself.
        if (starting && number != beginNumber)
            return;
        blockApplied(starting, ok, detail);
    });
}

void TunnelProtection::blockApplied(bool starting, bool ok, QString detail)
{
    if (ok && (!blocking || markedOwner != ownerUid)) {
        // The marker first tells a later start that the block is ours, and
        // whose.
        ok = QDir().mkpath(places.stateFolder) &&
             PrivateFile::write(blockMarker(),
                                ownerUid ? QByteArray::number(*ownerUid) : QByteArray(), &detail);
        if (ok)
            markedOwner = ownerUid;
    }
    if (ok) {
        blocking = true;
        QStringList open;
        for (const ServerEndpoint &endpoint : std::as_const(endpoints))
            open << endpointText(endpoint);
        if (!device.isEmpty())
            open << device + (pushed.tunnelIPv6 ? QString() : QStringLiteral(" (IPv4)"));
        for (const LocalSubnet &subnet : std::as_const(localSubnets))
            open << QStringLiteral("local %1/%2 on %3")
                        .arg(subnet.network.toString())
                        .arg(subnet.prefixLength)
                        .arg(subnet.device);
        if (signInOpen)
            open << QStringLiteral("DNS and web for a sign-in");
        emit note(QStringLiteral("traffic outside the tunnel blocked; open: ") +
                  open.join(QLatin1String(", ")));
        if (signInReported != signInOpen)
            emit signInChanged(signInReported = signInOpen);
    }
    if (starting)
        emit ready(ok, detail);
    else if (!ok)
        emit failed(QStringLiteral("the block could not let the tunnel through: ") + detail);
}

void TunnelProtection::blockLifted()
{
    QFile::remove(blockMarker());
    blocking = false;
    emit note(QStringLiteral("traffic outside the tunnel no longer blocked"));
}

void TunnelProtection::feed(const QByteArray &bytes)
{
    unread += bytes;
    for (qsizetype end = unread.indexOf('\n'); end >= 0; end = unread.indexOf('\n')) {
        QByteArray line = unread.left(end);
        unread.remove(0, end + 1);
        while (line.endsWith('\r'))
            line.chop(1);
        onLine(QString::fromLatin1(line));
    }
    if (unread.size() > MaxLine)
        unread.clear();
}

void TunnelProtection::onLine(const QString &line)
{
    PushedOptions options;
    if (PushedOptions::parse(line, &options)) {
        // A new run of pushes (OpenVPN restarting within itself) starts a
        // new set.
        if (completed) {
            pushed = PushedOptions();
            completed = false;
        }
        pushed.merge(options);
        return;
    }
    const OpenVpnLineRules::Effects effects = OpenVpnLineRules::apply(line, true);
    // The device is ours (its name too); what was pushed before it opened
    // decides whether IPv6 passes through it.
    if (effects.adapter == device) {
        if (blocking && !endpoints.isEmpty())
            applyBlock(false);
        return;
    }
    if (effects.connected) {
        completed = true;
        closeSignIn(QStringLiteral("the tunnel is up"));
        // Learnt now, with the tunnel's own routes in place.
        pathWatcher->watch(serverAddresses());
        applyDns();
    }
}

void TunnelProtection::applyDns()
{
    // Nothing pushed: nothing to change.
    if (!pushed.hasDns() || device.isEmpty())
        return;
    // Two requests to one resolver would share its one answer.
    if (dnsReverting) {
        dnsAfterRevert = true;
        return;
    }
    if (dns) {
        applyDnsWith(*dns);
        return;
    }
    ResolvedDns::probe(bus, this, [this](bool resolvedRuns) {
        if (!dns) {
            if (resolvedRuns)
                dns = new ResolvedDns(bus, this);
            else
                dns = new ResolvConfDns(places.stateFolder, places.resolvConf, this);
        }
        applyDnsWith(*dns);
    });
}

void TunnelProtection::applyDnsWith(DnsBackend &backend)
{
    connect(
        &backend, &DnsBackend::finished, this,
        [this](bool ok, const QString &detail) {
            if (!ok) {
                emit failed(QStringLiteral("DNS could not be set to the tunnel's servers: ") +
                            detail);
                return;
            }
            dnsApplied = true;
            emit note(QStringLiteral("DNS through the tunnel: ") + dns->describe());
        },
        Qt::SingleShotConnection);
    backend.apply(device, int(if_nametoindex(device.toLatin1().constData())), pushed);
}

void TunnelProtection::release()
{
    if (releasing)
        return;
    releasing = true;
    pathWatcher->stopWatching();
    localEvents->stopListening();
    signInTimer->stop();
    signInOpen = false;
    if (std::exchange(signInReported, false))
        emit signInChanged(false);
    pendingUndos = 1; // this call's own share, given back at the end
    if (dnsApplied && dns) {
        ++pendingUndos;
        connect(
            dns, &DnsBackend::finished, this,
            [this](bool ok, const QString &detail) {
                dnsApplied = false;
                emit note(ok ? QStringLiteral("DNS settings restored")
                             : QStringLiteral("DNS settings not restored: ") + detail);
                finishRelease();
            },
            Qt::SingleShotConnection);
        dns->revert();
    } else {
        const QString recovered = recoverAfterCrash(places);
        if (!recovered.isEmpty())
            emit note(recovered);
    }
    // What the kernel has counts, not the marker alone: a table of ours
    // goes whether or not a marker says it is there.
    ++pendingUndos;
    const bool known = blocking;
    askFirewall(std::nullopt, [this, known](bool ok, const QString &detail) {
        if (ok && known)
            blockLifted();
        else if (ok)
            QFile::remove(blockMarker());
        else if (known)
            emit note(QStringLiteral("the block could not be lifted: ") + detail);
        finishRelease();
    });
    finishRelease();
}

void TunnelProtection::finishRelease()
{
    if (--pendingUndos > 0)
        return;
    releasing = false;
    delete dns;
    dns = nullptr;
    emit released();
}

bool TunnelProtection::openForSignIn(int seconds, QString *error)
{
    if (!blocking || endpoints.isEmpty() || releasing) {
        *error = QStringLiteral("no block is in place");
        return false;
    }
    seconds = qBound(MinSignInSeconds, seconds, MaxSignInSeconds);
    signInTimer->start(seconds * 1000);
    if (signInOpen)
        return true;
    signInOpen = true;
    emit note(QStringLiteral("open for sign-in for %1 s at the user's request: DNS and web pass "
                             "outside the tunnel")
                  .arg(seconds));
    // The opening is told once names can be looked up too.
    revertDnsForSignIn([this] {
        if (signInOpen && blocking && !releasing)
            applyBlock(false);
    });
    return true;
}

void TunnelProtection::closeSignIn(const QString &why)
{
    if (!signInOpen)
        return;
    signInOpen = false;
    signInTimer->stop();
    emit note(QStringLiteral("the opening for sign-in is closed: ") + why);
    if (blocking && !endpoints.isEmpty() && !releasing)
        applyBlock(false);
}

void TunnelProtection::revertDnsForSignIn(const std::function<void()> &then)
{
    // The tunnel's resolvers are out of reach without it; the sign-in page's
    // name is the network's to answer.
    if (!dnsApplied || !dns || dnsReverting) {
        then();
        return;
    }
    dnsReverting = true;
    connect(
        dns, &DnsBackend::finished, this,
        [this, then](bool ok, const QString &detail) {
            dnsReverting = false;
            dnsApplied = !ok;
            emit note(ok ? QStringLiteral("DNS settings restored for the sign-in")
                         : QStringLiteral("DNS settings not restored for the sign-in: ") + detail);
            if (std::exchange(dnsAfterRevert, false) && !releasing)
                applyDns();
            then();
        },
        Qt::SingleShotConnection);
    dns->revert();
}

void TunnelProtection::localNetworkChanged()
{
    if (!localNetwork || !blocking || endpoints.isEmpty() || releasing ||
        LocalSubnets::attached(device) == localSubnets)
        return;
    applyBlock(false);
}

QList<QHostAddress> TunnelProtection::serverAddresses() const
{
    QList<QHostAddress> addresses;
    for (const ServerEndpoint &server : endpoints) {
        const QHostAddress literal(server.host);
        for (const QHostAddress &address :
             literal.isNull() ? resolvedServers.value(server.host) : QList<QHostAddress>{literal})
            if (!addresses.contains(address))
                addresses << address;
    }
    return addresses;
}

QString TunnelProtection::recoverAfterCrash(const Places &places)
{
    QString detail;
    const bool recovered = ResolvConfDns::recover(places.resolvConf, places.stateFolder, &detail);
    if (detail.isEmpty())
        return QString();
    return recovered ? detail : QStringLiteral("resolver file not restored: ") + detail;
}
