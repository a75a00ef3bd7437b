#include "vpn/ServiceConsole.h"

#include "vpn/TunnelConfigCheck.h"
#include "vpn/TunnelServiceApi.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

// Output held while the start is undecided; OpenVPN says a few lines
// before it asks anything, and strangers may send any amount.
constexpr qsizetype MaxEarlyMessages = 256;

bool readFile(const QString &path, qsizetype limit, QByteArray *content, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    // One byte past the limit tells an oversized file; the service refuses it.
    *content = file.read(limit + 1);
    return true;
}

TunnelConsole::StartFailure failureOf(const QString &errorName)
{
    namespace Error = TunnelServiceApi::Error;
    if (errorName == QLatin1String(Error::NotAuthorized))
        return TunnelConsole::StartFailure::NotAuthorized;
    if (errorName == QLatin1String(Error::Refused) ||
        errorName == QLatin1String(Error::InvalidArgs))
        return TunnelConsole::StartFailure::Refused;
    if (errorName == QLatin1String(Error::Busy))
        return TunnelConsole::StartFailure::Busy;
    if (errorName == QLatin1String(Error::Failed))
        return TunnelConsole::StartFailure::ProgramFailed;
    if (errorName == QLatin1String(Error::Unprotected))
        return TunnelConsole::StartFailure::Unprotected;
    return TunnelConsole::StartFailure::ServiceMissing;
}

} // namespace

void ServiceConsole::prepare()
{
    // Any call starts an activatable service; the peer interface's ping is
    // answered by the bus library itself and changes nothing. The answer,
    // or its absence, is of no interest.
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QLatin1String(TunnelServiceApi::Service), QLatin1String(TunnelServiceApi::Path),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    bus.asyncCall(ping);
}

ServiceConsole::ServiceConsole(QObject *parent)
    : ServiceConsole(QDBusConnection::systemBus(), parent)
{
}

ServiceConsole::ServiceConsole(const QDBusConnection &bus, QObject *parent)
    : TunnelConsole(parent), bus(bus), serviceWatcher(new QDBusServiceWatcher(this))
{
    using namespace TunnelServiceApi;
    serviceWatcher->setConnection(this->bus);
    serviceWatcher->setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    // The service keeps its name while it runs a tunnel, and the bus tells
    // of its loss after every answer the service sent before: watched from
    // the start, no end of a run can slip between an answer and the watch.
    serviceWatcher->addWatchedService(QLatin1String(Service));
    // A service that dies takes its OpenVPN with it: the run is over.
    // Only the instance that runs this tunnel counts: an idle one may leave
    // while the start is on its way to a new one.
    connect(serviceWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &oldOwner, const QString &) {
                if (!running || oldOwner.isEmpty())
                    return;
                if (runner.isEmpty())
                    lostOwners << oldOwner; // the start's answer comes after
                else if (oldOwner == runner)
                    endRun();
            });
    // Any sender: the slots keep only what the accepting instance sends.
    this->bus.connect(QString(), QLatin1String(Path), QLatin1String(Interface),
                      QStringLiteral("Output"), this,
                      SLOT(onOutput(QByteArray, bool, QDBusMessage)));
    this->bus.connect(QString(), QLatin1String(Path), QLatin1String(Interface),
                      QStringLiteral("Finished"), this, SLOT(onFinished(int, bool, QDBusMessage)));
    this->bus.connect(QString(), QLatin1String(Path), QLatin1String(Interface),
                      QStringLiteral("Protection"), this,
                      SLOT(onProtection(QString, QDBusMessage)));
    this->bus.connect(QString(), QLatin1String(Path), QLatin1String(Interface),
                      QStringLiteral("ProtectionFailed"), this,
                      SLOT(onProtectionFailed(QString, QDBusMessage)));
    this->bus.connect(QString(), QLatin1String(Path), QLatin1String(Interface),
                      QStringLiteral("NetworkChanged"), this,
                      SLOT(onNetworkChanged(QString, QDBusMessage)));
    this->bus.connect(QString(), QLatin1String(Path), QLatin1String(Interface),
                      QStringLiteral("SignIn"), this, SLOT(onSignIn(bool, QDBusMessage)));
    this->bus.connect(QString(), QLatin1String(Path), QLatin1String(Interface),
                      QStringLiteral("ProtectionLifted"), this,
                      SLOT(onProtectionLifted(QString, QDBusMessage)));
}

void ServiceConsole::start(const TunnelLaunch &launch)
{
    using namespace TunnelServiceApi;
    output.clear();
    runner.clear();
    earlyOutput.clear();
    earlyFinish.clear();
    lostOwners.clear();
    stopWanted = false;
    echoOff = false;
    QByteArray configuration;
    QByteArray certificate;
    QString error;
    const QString certificatePath =
        QFileInfo(launch.configPath)
            .dir()
            .filePath(QLatin1String(TunnelConfigCheck::CertificateFile));
    if (!readFile(launch.configPath, TunnelConfigCheck::MaxSize, &configuration, &error) ||
        !readFile(certificatePath, MaxCertificateSize, &certificate, &error)) {
        emit startFailed(StartFailure::ProgramFailed, error);
        return;
    }
    if (!bus.isConnected()) {
        emit startFailed(StartFailure::ServiceMissing, bus.lastError().message());
        return;
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(Service), QLatin1String(Path),
                                       QLatin1String(Interface), QStringLiteral("Start"));
    message << configuration << certificate << launch.proxyHost
            << QVariant::fromValue<ushort>(launch.proxyPort) << launch.proxyAsksCredentials
            << launch.blockOutsideTunnel << launch.allowLocalNetwork;
    running = true;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, StartTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &ServiceConsole::onStartReply);
}

void ServiceConsole::onStartReply(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusMessage reply = watcher->reply();
    if (reply.type() != QDBusMessage::ReplyMessage) {
        fail(failureOf(reply.errorName()),
             QStringLiteral("%1: %2").arg(reply.errorName(), reply.errorMessage()));
        return;
    }
    runner = protector = reply.service();
    for (const EarlyOutput &early : std::as_const(earlyOutput)) {
        if (early.sender == runner) {
            output += early.bytes;
            echoOff = early.echoOff;
        }
    }
    earlyOutput.clear();
    if (!output.isEmpty())
        emit readyRead();
    // Over already, or the service gone since its answer: nothing more
    // will come.
    if (earlyFinish == runner || lostOwners.contains(runner)) {
        endRun();
        return;
    }
    if (stopWanted)
        stop();
}

void ServiceConsole::fail(StartFailure failure, const QString &detail)
{
    running = false;
    emit startFailed(failure, detail);
}

void ServiceConsole::endRun()
{
    running = false;
    emit finished();
}

QDBusMessage ServiceConsole::call(const char *method) const
{
    using namespace TunnelServiceApi;
    return QDBusMessage::createMethodCall(runner, QLatin1String(Path), QLatin1String(Interface),
                                          QLatin1String(method));
}

QByteArray ServiceConsole::readAll()
{
    return std::exchange(output, QByteArray());
}

void ServiceConsole::write(const QByteArray &bytes)
{
    if (!running || runner.isEmpty())
        return;
    // In pieces the service takes; messages on one connection keep their order.
    for (qsizetype at = 0; at < bytes.size(); at += TunnelServiceApi::MaxWriteSize)
        bus.send(call("Write") << bytes.mid(at, TunnelServiceApi::MaxWriteSize));
}

bool ServiceConsole::isEchoOff()
{
    if (!running || runner.isEmpty())
        return false;
    // Every Output tells the state; while it says "on", the service is asked
    // again (without waiting for it: the window must not freeze on a slow
    // bus) so that a later look sees a change no output announced.
    if (!echoOff && !echoAsked) {
        echoAsked = true;
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call("EchoOff")), this);
        const QString asked = runner;
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, asked](QDBusPendingCallWatcher *answer) {
                    answer->deleteLater();
                    echoAsked = false;
                    const QDBusMessage reply = answer->reply();
                    if (asked == runner && reply.type() == QDBusMessage::ReplyMessage)
                        echoOff = reply.arguments().value(0).toBool();
                });
    }
    return echoOff;
}

void ServiceConsole::stop()
{
    if (!running)
        return;
    if (runner.isEmpty()) {
        stopWanted = true;
        return;
    }
    bus.send(call("Stop"));
}

bool ServiceConsole::waitForFinished(int msecs)
{
    if (!running)
        return false;
    QEventLoop loop;
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    connect(this, &TunnelConsole::finished, &loop, &QEventLoop::quit);
    connect(this, &TunnelConsole::startFailed, &loop, &QEventLoop::quit);
    loop.exec();
    return !running;
}

void ServiceConsole::onOutput(const QByteArray &bytes, bool echoOff, const QDBusMessage &message)
{
    if (running && runner.isEmpty() && earlyOutput.size() < MaxEarlyMessages)
        earlyOutput.append({message.service(), bytes, echoOff});
    if (!running || runner.isEmpty() || message.service() != runner)
        return;
    this->echoOff = echoOff;
    output += bytes;
    emit readyRead();
}

void ServiceConsole::release()
{
    if (!bus.isConnected() || releasing)
        return;
    // To whichever instance runs now: the one that protected a crashed
    // client's tunnel may be the only one that knows of it.
    const QDBusMessage message = QDBusMessage::createMethodCall(
        QLatin1String(TunnelServiceApi::Service), QLatin1String(TunnelServiceApi::Path),
        QLatin1String(TunnelServiceApi::Interface), QStringLiteral("Release"));
    releasing =
        new QDBusPendingCallWatcher(bus.asyncCall(message, TunnelServiceApi::StartTimeoutMs), this);
    connect(releasing, &QDBusPendingCallWatcher::finished, this, &ServiceConsole::onReleased);
}

void ServiceConsole::onReleased()
{
    QDBusPendingCallWatcher *answer = std::exchange(releasing, nullptr);
    answer->deleteLater();
    protector.clear();
    const QDBusMessage reply = answer->reply();
    if (reply.type() != QDBusMessage::ReplyMessage)
        emit protectionNoted(QStringLiteral("the tunnel service did not lift the protection: ") +
                             reply.errorMessage());
    else
        for (const QString &line : reply.arguments().value(0).toStringList())
            emit protectionNoted(line);
    emit released();
}

void ServiceConsole::onProtection(const QString &line, const QDBusMessage &message)
{
    if (!protector.isEmpty() && message.service() == protector)
        emit protectionNoted(line);
}

void ServiceConsole::onProtectionLifted(const QString &detail, const QDBusMessage &message)
{
    if (protector.isEmpty() || message.service() != protector)
        return;
    protector.clear();
    // Not protected any more, by someone else's hand: the tunnel must not
    // go on as if it were, and the user hears of it.
    emit protectionFailed(QStringLiteral("the protection was lifted: ") + detail);
}

void ServiceConsole::onSignIn(bool open, const QDBusMessage &message)
{
    if (!protector.isEmpty() && message.service() == protector)
        emit signInChanged(open);
}

void ServiceConsole::openForSignIn(int seconds)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QLatin1String(TunnelServiceApi::Service), QLatin1String(TunnelServiceApi::Path),
        QLatin1String(TunnelServiceApi::Interface), QStringLiteral("OpenForSignIn"));
    message << uint(qMax(seconds, 0));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher->isError()) {
            emit protectionNoted(QStringLiteral("the network could not be opened for sign-in: ") +
                                 watcher->error().message());
            emit signInChanged(false);
        }
    });
}

void ServiceConsole::onProtectionFailed(const QString &detail, const QDBusMessage &message)
{
    if (running && message.service() == runner)
        emit protectionFailed(detail);
}

void ServiceConsole::onNetworkChanged(const QString &detail, const QDBusMessage &message)
{
    if (running && message.service() == runner)
        emit networkChanged(detail);
}

void ServiceConsole::onFinished(int exitCode, bool crashed, const QDBusMessage &message)
{
    Q_UNUSED(exitCode)
    Q_UNUSED(crashed)
    if (running && runner.isEmpty())
        earlyFinish = message.service();
    if (running && !runner.isEmpty() && message.service() == runner)
        endRun();
}
