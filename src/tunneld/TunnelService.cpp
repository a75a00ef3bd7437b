#include "tunneld/TunnelService.h"

#include "tunneld/PolkitAuthority.h"
#include "tunneld/StartRequest.h"
#include "tunneld/TunnelRun.h"
#include "vpn/TunnelServiceApi.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QTimer>

namespace Api = TunnelServiceApi;
namespace Error = TunnelServiceApi::Error;

TunnelService::TunnelService(const QDBusConnection &bus, const QString &runFolder, int idleMs,
                             QObject *parent)
    : QObject(parent), bus(bus), runFolder(runFolder), authority(new PolkitAuthority(bus, this)),
      callerWatcher(new QDBusServiceWatcher(this)), idleTimer(new QTimer(this))
{
    callerWatcher->setConnection(bus);
    callerWatcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(callerWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &TunnelService::callerGone);
    idleTimer->setSingleShot(true);
    idleTimer->setInterval(idleMs);
    connect(idleTimer, &QTimer::timeout, this, [this] {
        if (!busy())
            emit idle();
    });
    idleTimer->start();
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

void TunnelService::replyError(const QDBusMessage &request, const char *name, const QString &text)
{
    bus.send(request.createErrorReply(QLatin1String(name), text));
}

void TunnelService::Start(const QByteArray &configuration, const QByteArray &certificate,
                          const QString &proxyHost, ushort proxyPort, bool proxyAsksCredentials)
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
    pendingCaller = request.service();
    callerWatcher->setWatchedServices({pendingCaller});
    idleTimer->stop();
    authority->check(pendingCaller, QLatin1String(Api::ConnectAction),
                     [this, request](PolkitAuthority::Answer answer, const QString &detail) {
                         authorized(request, answer == PolkitAuthority::Answer::Authorized, detail);
                     });
    // The files are written while polkit decides; OpenVPN starts only once
    // it said yes, and the files go with a refusal.
    QString error;
    run = new TunnelRun(runFolder, this);
    if (!run->prepare(checked, &error)) {
        pendingCaller.clear(); // the answer, when it comes, finds nobody waiting
        failRun(request, error);
    }
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

void TunnelService::authorized(const QDBusMessage &request, bool allowed, const QString &detail)
{
    // The caller went away while polkit was deciding: nobody to run for.
    if (pendingCaller != request.service())
        return;
    pendingCaller.clear();
    if (!allowed) {
        qInfo("quillnet-tunneld: %s is not authorized (%s)", qPrintable(request.service()),
              detail.isEmpty() ? "polkit said no" : qPrintable(detail));
        discardRun();
        replyError(request, Error::NotAuthorized,
                   detail.isEmpty() ? QStringLiteral("polkit refused %1").arg(Api::ConnectAction)
                                    : QStringLiteral("polkit could not be asked: ") + detail);
        return;
    }
    startRun(request);
}

void TunnelService::startRun(const QDBusMessage &request)
{
    connect(run, &TunnelRun::output, this, [this](const QByteArray &bytes) {
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

void TunnelService::sendToOwner(const char *signal, const QVariantList &arguments)
{
    if (owner.isEmpty())
        return;
    // Meant for the owner alone: a broadcast would show the console (the
    // user name typed at a prompt included) to every client of the bus.
    QDBusMessage message = QDBusMessage::createTargetedSignal(
        owner, QLatin1String(Api::Path), QLatin1String(Api::Interface), QLatin1String(signal));
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
    if (!busy())
        idleTimer->start();
}
