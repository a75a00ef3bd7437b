#include "vpn/LocalConsole.h"

#include "platform/ConsoleProcess.h"

#include <QDir>

LocalConsole::LocalConsole(QObject *parent)
    : TunnelConsole(parent), process(new ConsoleProcess(this))
{
    connect(process, &ConsoleProcess::readyRead, this, &TunnelConsole::readyRead);
    connect(process, &ConsoleProcess::finished, this, &TunnelConsole::finished);
}

void LocalConsole::start(const TunnelLaunch &launch)
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
    return process->readAll();
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

bool LocalConsole::waitForFinished(int msecs)
{
    return process->waitForFinished(msecs);
}
