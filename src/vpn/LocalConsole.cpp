#include "vpn/LocalConsole.h"

#include "platform/ConsoleProcess.h"
#include "vpn/TunnelConfigCheck.h"
#include "vpn/TunnelEndpoints.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace {

// Root's folder for the markers of the direct mode's protection.
constexpr char StateFolder[] = "/run/quillnet";

} // namespace

LocalConsole::LocalConsole(QObject *parent)
    : TunnelConsole(parent), process(new ConsoleProcess(this))
{
    connect(process, &ConsoleProcess::readyRead, this, &TunnelConsole::readyRead);
    connect(process, &ConsoleProcess::finished, this, &TunnelConsole::finished);
    places.stateFolder = QLatin1String(StateFolder);
}

QString LocalConsole::recoverAfterCrash()
{
    return TunnelProtection::recoverAfterCrash({.stateFolder = QLatin1String(StateFolder)});
}

void LocalConsole::setProtectionPlaces(const TunnelProtection::Places &places)
{
    this->places = places;
}

TunnelProtection *LocalConsole::protection()
{
    if (!guard) {
        guard = new TunnelProtection(QDBusConnection::systemBus(), places, this);
        connect(guard, &TunnelProtection::note, this, &TunnelConsole::protectionNoted);
        connect(guard, &TunnelProtection::failed, this, &TunnelConsole::protectionFailed);
        connect(guard, &TunnelProtection::networkChanged, this, &TunnelConsole::networkChanged);
        connect(guard, &TunnelProtection::signInChanged, this, &TunnelConsole::signInChanged);
        connect(guard, &TunnelProtection::released, this, [this] {
            releasing = false;
            emit released();
        });
    }
    return guard;
}

void LocalConsole::start(const TunnelLaunch &launch)
{
    // The block opens the servers the configuration names; without a block
    // the configuration is OpenVPN's business alone.
    QList<ServerEndpoint> servers;
    if (launch.blockOutsideTunnel) {
        QFile config(launch.configPath);
        if (!config.open(QIODevice::ReadOnly)) {
            emit startFailed(StartFailure::Unprotected,
                             QStringLiteral("%1: %2").arg(launch.configPath, config.errorString()));
            return;
        }
        servers = TunnelEndpoints::fromConfiguration(config.read(TunnelConfigCheck::MaxSize));
    }
    // OpenVPN starts once the block (or its absence) is in place.
    connect(
        protection(), &TunnelProtection::ready, this,
        [this, launch](bool ok, const QString &detail) {
            if (ok)
                this->launch(launch);
            else
                emit startFailed(StartFailure::Unprotected, detail);
        },
        Qt::SingleShotConnection);
    protection()->setOwner(::getuid());
    protection()->begin(servers, launch.proxyHost, launch.proxyPort, launch.blockOutsideTunnel,
                        launch.allowLocalNetwork);
}

void LocalConsole::openForSignIn(int seconds)
{
    QString error;
    if (protection()->openForSignIn(seconds, &error))
        return;
    emit protectionNoted(QStringLiteral("the network could not be opened for sign-in: ") + error);
    emit signInChanged(false);
}

void LocalConsole::launch(const TunnelLaunch &launch)
{
    process->setWorkingDirectory(QDir::currentPath());
    if (!process->start(launch.program, launch.openVpnArguments()))
        emit startFailed(StartFailure::ProgramFailed,
                         QStringLiteral("%1: %2").arg(launch.program, process->errorString()));
}

bool LocalConsole::isRunning() const
{
    return process->isRunning();
}

QByteArray LocalConsole::readAll()
{
    const QByteArray bytes = process->readAll();
    if (guard)
        guard->feed(bytes);
    return bytes;
}

void LocalConsole::write(const QByteArray &bytes)
{
    process->write(bytes);
}

bool LocalConsole::isEchoOff()
{
    return process->isEchoOff();
}

void LocalConsole::stop()
{
    process->stop();
}

void LocalConsole::kill()
{
    process->kill();
}

void LocalConsole::setStopGraces(int terminateMs, int hangUpMs)
{
    process->setStopGraces(terminateMs, hangUpMs);
}

void LocalConsole::release()
{
    releasing = true;
    protection()->release();
}

bool LocalConsole::waitForFinished(int msecs)
{
    return process->waitForFinished(msecs);
}
