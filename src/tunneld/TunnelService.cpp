#include "tunneld/TunnelService.h"

#include "protection/TunnelProtection.h"
#include "tunneld/PolkitAuthority.h"
#include "tunneld/StartRequest.h"
#include "tunneld/TunnelRun.h"
#include "vpn/TunnelEndpoints.h"
#include "vpn/TunnelServiceApi.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QTimer>

namespace Api = TunnelServiceApi;
namespace Error = TunnelServiceApi::Error;

TunnelService::TunnelService(const QDBusConnection &bus, const QString &runFolder,
                             const QString &stateFolder, int idleMs, QObject *parent)
    : QObject(parent), bus(bus), runFolder(runFolder), authority(new PolkitAuthority(bus, this)),
      callerWatcher(new QDBusServiceWatcher(this)),
      protection(new TunnelProtection(bus, {.stateFolder = stateFolder}, this)),
      idleTimer(new QTimer(this)), idleMs(idleMs)
{
    connect(protection, &TunnelProtection::note, this, [this](const QString &line) {
        qInfo("quillnet-tunneld: %s", qPrintable(line));
        if (releaseRequest.type() != QDBusMessage::InvalidMessage)
            releaseNotes << line;
        else
            sendToProtected("Protection", {line});
    });
    connect(protection, &TunnelProtection::signInChanged, this,
            [this](bool open) { sendToProtected("SignIn", {open}); });
    connect(protection, &TunnelProtection::failed, this, [this](const QString &detail) {
        qInfo("quillnet-tunneld: %s", qPrintable(detail));
        // The sandbox may hold what the machine has replaced since (its
        // resolver file): the next connection gets a service started anew.
        startAnew = true;
        // Unprotected, the tunnel must not go on as if it were.
        sendToOwner("ProtectionFailed", {detail});
        if (run)
            run->stop();
    });
    connect(protection, &TunnelProtection::networkChanged, this,
            [this](const QString &detail) { sendToOwner("NetworkChanged", {detail}); });
    connect(protection, &TunnelProtection::released, this, [this] {
        this->bus.send(std::exchange(releaseRequest, QDBusMessage())
                           .createReply(QVariant(std::exchange(releaseNotes, {}))));
        becomeIdleLater();
    });
    callerWatcher->setConnection(bus);
    callerWatcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(callerWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &TunnelService::callerGone);
    idleTimer->setSingleShot(true);
    connect(idleTimer, &QTimer::timeout, this, [this] {
        if (!needed())
            emit idle();
    });
    idleTimer->start(idleMs);
}

bool TunnelService::publish()
{
    // The object first: a call that activated the service finds it there.
    return bus.registerObject(QLatin1String(Api::Path), this, QDBusConnection::ExportAllSlots) &&
           bus.registerService(QLatin1String(Api::Service));
}

bool TunnelService::busy() const
{
    return run || !pendingCaller.isEmpty();
}

bool TunnelService::needed() const
{
    return busy() || protection->isActive() || !authorizing.isEmpty() ||
           releaseRequest.type() != QDBusMessage::InvalidMessage;
}

// `detail` empty: polkit said no; else why it could not be asked.
void TunnelService::replyNotAuthorized(const QDBusMessage &request, const char *action,
                                       const QString &detail)
{
    replyError(request, Error::NotAuthorized,
               detail.isEmpty() ? QStringLiteral("polkit refused ") + QLatin1String(action)
                                : QStringLiteral("polkit could not be asked: ") + detail);
}

void TunnelService::replyError(const QDBusMessage &request, const char *name, const QString &text)
{
    bus.send(request.createErrorReply(QLatin1String(name), text));
}

void TunnelService::Start(const QByteArray &configuration, const QByteArray &certificate,
                          const QString &proxyHost, ushort proxyPort, bool proxyAsksCredentials,
                          bool blockOutsideTunnel, bool allowLocalNetwork)
{
    const QDBusMessage request = message();
    setDelayedReply(true);
    becomeIdleLater();
    if (busy()) {
        replyError(request, Error::Busy, QStringLiteral("a tunnel is running on this machine"));
        return;
    }
    const StartRequest checked{configuration, certificate, proxyHost, proxyPort,
                               proxyAsksCredentials};
    // Judged before polkit is asked: a refusal costs the user no password.
    if (const auto rejection = checked.check()) {
        qInfo("quillnet-tunneld: refused %s: %s", qPrintable(request.service()),
              qPrintable(rejection->message));
        replyError(request, rejection->errorName, rejection->message);
        return;
    }
    const std::optional<uint> uid = beginAuthorizing(request);
    if (!uid)
        return;
    // Starting without the block lifts the one that stands: another user's
    // protection is an administrator's to lift.
    const std::optional<uint> holder = protectionHolder();
    const bool liftsAnother =
        !blockOutsideTunnel && protection->isActive() && holder && *holder != *uid;
    const QList<ServerEndpoint> servers = TunnelEndpoints::fromConfiguration(configuration);
    const char *action = liftsAnother ? Api::ReleaseOtherAction : Api::ConnectAction;
    authority->check(request.service(), QLatin1String(action),
                     [=, this](PolkitAuthority::Answer answer, const QString &detail) {
                         endAuthorizing(request.service());
                         if (answer != PolkitAuthority::Answer::Authorized) {
                             qInfo("quillnet-tunneld: %s is not authorized (%s)",
                                   qPrintable(request.service()),
                                   detail.isEmpty() ? "polkit said no" : qPrintable(detail));
                             replyNotAuthorized(request, action, detail);
                             return;
                         }
                         // The machine's one tunnel is taken only now: a caller that
                         // polkit keeps waiting holds nothing meanwhile.
                         if (busy()) {
                             replyError(request, Error::Busy,
                                        QStringLiteral("a tunnel is running on this machine"));
                             return;
                         }
                         if (!bus.interface()->isServiceRegistered(request.service()))
                             return; // gone while polkit decided: nobody to run for
                         pendingCaller = request.service();
                         callerWatcher->setWatchedServices({pendingCaller});
                         idleTimer->stop();
                         QString error;
                         run = new TunnelRun(runFolder, this);
                         if (!run->prepare(checked, &error)) {
                             pendingCaller.clear();
                             failRun(request, error);
                             return;
                         }
                         protect(request, *uid, servers, proxyHost, proxyPort, blockOutsideTunnel,
                                 allowLocalNetwork);
                     });
}

std::optional<uint> TunnelService::beginAuthorizing(const QDBusMessage &request)
{
    const QDBusReply<uint> uid = bus.interface()->serviceUid(request.service());
    if (!uid.isValid()) {
        replyError(request, Error::Failed, QStringLiteral("the caller's user is unknown"));
        return std::nullopt;
    }
    // polkit may wait minutes for a password: one question per user at a
    // time, and a few in all, so that nobody can use up the service's
    // replies on the bus.
    if (std::find(authorizing.cbegin(), authorizing.cend(), uid.value()) != authorizing.cend() ||
        authorizing.size() >= MaxAuthorizing) {
        replyError(request, Error::Busy, QStringLiteral("an authorization is pending"));
        return std::nullopt;
    }
    authorizing.insert(request.service(), uid.value());
    idleTimer->stop();
    return uid.value();
}

std::optional<uint> TunnelService::protectionHolder() const
{
    // A service started anew after a crash knows the user from the block's
    // marker only.
    return protectedFor.isEmpty() ? protection->owner() : std::optional<uint>(protectedUid);
}

void TunnelService::endAuthorizing(const QString &caller)
{
    authorizing.remove(caller);
    becomeIdleLater();
}

void TunnelService::failRun(const QDBusMessage &request, const QString &error)
{
    discardRun();
    replyError(request, Error::Failed, QStringLiteral("OpenVPN cannot be started: ") + error);
}

void TunnelService::discardRun()
{
    delete run;
    run = nullptr;
    callerWatcher->setWatchedServices({});
    becomeIdleLater();
}

void TunnelService::protect(const QDBusMessage &request, uint uid,
                            const QList<ServerEndpoint> &servers, const QString &proxyHost,
                            quint16 proxyPort, bool block, bool localNetwork)
{
    // The caller stays the pending one until OpenVPN runs: its going away
    // in between ends the start like any other.
    pendingCaller = request.service();
    connect(
        protection, &TunnelProtection::ready, this,
        [this, request, uid](bool ok, const QString &detail) {
            if (pendingCaller != request.service())
                return;
            pendingCaller.clear();
            if (!ok) {
                discardRun();
                replyError(request, Error::Unprotected,
                           QStringLiteral("traffic outside the tunnel cannot be blocked: ") +
                               detail);
                return;
            }
            if (!protectedFor.isEmpty() && protectedFor != request.service() && protectedUid != uid)
                sendTo(protectedFor, "ProtectionLifted",
                       {QStringLiteral("another user's tunnel took the machine over")});
            protectedFor = request.service();
            protectedUid = uid;
            startRun(request);
        },
        Qt::SingleShotConnection);
    protection->setOwner(uid);
    protection->begin(servers, proxyHost, proxyPort, block, localNetwork);
}

QStringList TunnelService::Release()
{
    const QDBusMessage request = message();
    setDelayedReply(true);
    becomeIdleLater();
    if (releaseRequest.type() != QDBusMessage::InvalidMessage) {
        replyError(request, Error::Busy, QStringLiteral("a release is under way"));
        return {};
    }
    if (busy()) {
        // Another client's tunnel, or this one's still running: its
        // protection is not to be lifted under it.
        replyError(request, owner == request.service() ? Error::Busy : Error::NotOwner,
                   QStringLiteral("a tunnel is running; stop it first"));
        return {};
    }
    // Its owner lifts it at once; with nothing protected there is nothing
    // to ask polkit about (what a crash left is undone all the same).
    if (request.service() == protectedFor || !protection->isActive()) {
        release(request);
        return {};
    }
    const std::optional<uint> uid = beginAuthorizing(request);
    if (!uid)
        return {};
    // The same user's client started anew (after a crash of either) asks as
    // for a connection; anyone else's protection is an administrator's to
    // lift.
    const std::optional<uint> holder = protectionHolder();
    const bool another = holder && *uid != *holder;
    const char *action = another ? Api::ReleaseOtherAction : Api::ConnectAction;
    authority->check(
        request.service(), QLatin1String(action),
        [this, request, another, action](PolkitAuthority::Answer answer, const QString &detail) {
            endAuthorizing(request.service());
            if (answer != PolkitAuthority::Answer::Authorized) {
                replyNotAuthorized(request, action, detail);
                return;
            }
            if (another && !protectedFor.isEmpty())
                sendTo(protectedFor, "ProtectionLifted",
                       {QStringLiteral("another user lifted the protection")});
            release(request);
        });
    return {};
}

void TunnelService::release(const QDBusMessage &request)
{
    if (releaseRequest.type() != QDBusMessage::InvalidMessage || busy()) {
        replyError(request, Error::Busy, QStringLiteral("a tunnel or a release is under way"));
        return;
    }
    releaseRequest = request;
    protectedFor.clear();
    protection->release();
}

void TunnelService::startRun(const QDBusMessage &request)
{
    connect(run, &TunnelRun::output, this, [this](const QByteArray &bytes) {
        protection->feed(bytes);
        // With the echo state: a password prompt is answered without
        // a question back.
        sendToOwner("Output", {bytes, run->isEchoOff()});
    });
    connect(run, &TunnelRun::finished, this, &TunnelService::runFinished);
    QString error;
    if (!run->start(&error)) {
        failRun(request, error);
        return;
    }
    owner = request.service();
    qInfo("quillnet-tunneld: OpenVPN runs for %s", qPrintable(owner));
    // The answer goes out before any of OpenVPN's output.
    bus.send(request.createReply());
}

TunnelRun *TunnelService::ownedRun()
{
    becomeIdleLater();
    if (!run || !pendingCaller.isEmpty()) {
        sendErrorReply(QLatin1String(Error::NotRunning), QStringLiteral("no tunnel is running"));
        return nullptr;
    }
    if (owner.isEmpty() || message().service() != owner) {
        sendErrorReply(QLatin1String(Error::NotOwner),
                       QStringLiteral("the running tunnel belongs to another caller"));
        return nullptr;
    }
    return run;
}

void TunnelService::Write(const QByteArray &bytes)
{
    becomeIdleLater();
    if (bytes.size() > Api::MaxWriteSize) {
        sendErrorReply(QLatin1String(Error::InvalidArgs),
                       QStringLiteral("at most %1 bytes at a time").arg(Api::MaxWriteSize));
        return;
    }
    TunnelRun *owned = ownedRun();
    if (owned && !owned->write(bytes))
        sendErrorReply(QLatin1String(Error::Busy),
                       QStringLiteral("OpenVPN has not read what was written before"));
}

bool TunnelService::EchoOff()
{
    TunnelRun *owned = ownedRun();
    return owned && owned->isEchoOff();
}

void TunnelService::Stop()
{
    if (TunnelRun *owned = ownedRun())
        owned->stop();
}

void TunnelService::OpenForSignIn(uint seconds)
{
    becomeIdleLater();
    // The user whose protection it is, and nobody else, may open it.
    if (protectedFor.isEmpty() || message().service() != protectedFor) {
        sendErrorReply(QLatin1String(Error::NotOwner),
                       QStringLiteral("the protection belongs to another caller"));
        return;
    }
    QString error;
    if (!protection->openForSignIn(int(qMin(seconds, uint(TunnelProtection::MaxSignInSeconds))),
                                   &error))
        sendErrorReply(QLatin1String(Error::NotRunning), error);
}

void TunnelService::sendToProtected(const char *signal, const QVariantList &arguments)
{
    sendTo(owner.isEmpty() ? protectedFor : owner, signal, arguments);
}

void TunnelService::sendToOwner(const char *signal, const QVariantList &arguments)
{
    sendTo(owner, signal, arguments);
}

void TunnelService::sendTo(const QString &client, const char *signal, const QVariantList &arguments)
{
    if (client.isEmpty())
        return;
    // Meant for that client alone: a broadcast would show the console (the
    // user name typed at a prompt included) to every client of the bus.
    QDBusMessage message = QDBusMessage::createTargetedSignal(
        client, QLatin1String(Api::Path), QLatin1String(Api::Interface), QLatin1String(signal));
    message.setArguments(arguments);
    bus.send(message);
}

void TunnelService::callerGone(const QString &name)
{
    if (name == pendingCaller) {
        pendingCaller.clear();
        discardRun();
    }
    if (name != owner || !run)
        return;
    qInfo("quillnet-tunneld: %s went away; its OpenVPN ends", qPrintable(owner));
    owner.clear();
    // Nobody is left to answer a prompt or to see the tunnel: it ends now,
    // and for sure within moments.
    run->stop();
    QTimer::singleShot(OwnerGoneKillMs, run, &TunnelRun::kill);
}

void TunnelService::runFinished(int exitCode, bool crashed)
{
    qInfo("quillnet-tunneld: OpenVPN ended (exit code %d%s)", exitCode, crashed ? ", crashed" : "");
    sendToOwner("Finished", {exitCode, crashed});
    owner.clear();
    callerWatcher->setWatchedServices({});
    run->deleteLater();
    run = nullptr;
    becomeIdleLater();
}

// Idle time counts from the last call, so that a caller between two calls
// finds the same instance.
void TunnelService::becomeIdleLater()
{
    if (!needed())
        idleTimer->start(startAnew ? 0 : idleMs);
}
