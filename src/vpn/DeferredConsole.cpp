#include "vpn/DeferredConsole.h"

DeferredConsole::DeferredConsole(Factory factory, QObject *parent)
    : TunnelConsole(parent), factory(std::move(factory))
{
}

void DeferredConsole::useMode(TunnelMode::Mode mode)
{
    if (inner)
        return;
    inner = factory(mode, this);
    connect(inner, &TunnelConsole::readyRead, this, &TunnelConsole::readyRead);
    connect(inner, &TunnelConsole::finished, this, &TunnelConsole::finished);
    connect(inner, &TunnelConsole::startFailed, this, &TunnelConsole::startFailed);
    connect(inner, &TunnelConsole::protectionNoted, this, &TunnelConsole::protectionNoted);
    connect(inner, &TunnelConsole::protectionFailed, this, &TunnelConsole::protectionFailed);
    connect(inner, &TunnelConsole::released, this, &TunnelConsole::released);
    if (prepareWanted)
        inner->prepare();
    // In the order they were most likely asked: a release ends what a
    // logout left, a start begins the next login.
    if (releaseWanted) {
        releaseWanted = false;
        inner->release();
    }
    if (waitingStart) {
        const TunnelLaunch launch = *waitingStart;
        waitingStart.reset();
        inner->start(launch);
    }
}

void DeferredConsole::start(const TunnelLaunch &launch)
{
    if (inner)
        inner->start(launch);
    else
        waitingStart = launch;
}

void DeferredConsole::prepare()
{
    if (inner)
        inner->prepare();
    else
        prepareWanted = true;
}

bool DeferredConsole::isRunning() const
{
    return inner ? inner->isRunning() : waitingStart.has_value();
}

QByteArray DeferredConsole::readAll()
{
    return inner ? inner->readAll() : QByteArray();
}

void DeferredConsole::write(const QByteArray &bytes)
{
    // Nothing runs that could read it.
    if (inner)
        inner->write(bytes);
}

bool DeferredConsole::isEchoOff()
{
    return inner && inner->isEchoOff();
}

void DeferredConsole::stop()
{
    if (inner)
        inner->stop();
    else
        dropWaitingStart();
}

void DeferredConsole::kill()
{
    if (inner)
        inner->kill();
    else
        dropWaitingStart();
}

void DeferredConsole::release()
{
    if (inner)
        inner->release();
    else
        releaseWanted = true;
}

bool DeferredConsole::isReleasing() const
{
    // A release asked for before the mode is known goes out with the
    // answer; nothing waits for it meanwhile. A client that quits that
    // early has started nothing, and the next run releases what an
    // earlier one left.
    return inner && inner->isReleasing();
}

bool DeferredConsole::waitForFinished(int msecs)
{
    return inner ? inner->waitForFinished(msecs) : !waitingStart.has_value();
}

void DeferredConsole::dropWaitingStart()
{
    if (!waitingStart)
        return;
    waitingStart.reset();
    QMetaObject::invokeMethod(
        this, [this] { emit finished(); }, Qt::QueuedConnection);
}
