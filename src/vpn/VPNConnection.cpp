#include "vpn/VPNConnection.h"

#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "core/WorkingFiles.h"
#include "protection/OpenVpnLineRules.h"
#include "vpn/ConsolePrompt.h"
#include "vpn/LocalConsole.h"
#include "vpn/TunnelServiceApi.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

namespace {

constexpr const char *LogName = WorkingFiles::TunnelLog;
constexpr const char *OldLogName = WorkingFiles::OldTunnelLog;
constexpr char DefaultProgram[] = "openvpn";

// The log starts afresh every fifth start, so a long session's log stays
// readable; counted over the life of the process.
int startCount = 0;

// A password prompt waits for the terminal to switch echo off; look again
// this often until it has (or VPNConnection::EchoWaitMs have passed).
constexpr int EchoPollMs = 5;

// OpenVPN from the search path; Debian installs it in /usr/sbin, which an
// ordinary user's search path leaves out.
QString defaultProgram()
{
    QString found = QStandardPaths::findExecutable(QLatin1String(DefaultProgram));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            QLatin1String(DefaultProgram), {QStringLiteral("/usr/local/sbin"),
                                            QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return found.isEmpty() ? QLatin1String(DefaultProgram) : found;
}

} // namespace

VPNConnection::VPNConnection(QObject *parent) : VPNConnection(new LocalConsole, parent) {}

VPNConnection::VPNConnection(TunnelConsole *console, QObject *parent)
    : Tunnel(parent), console(console), echoPoll(new QTimer(this)),
      logFile(new QFile(QLatin1String(LogName))), retryTimer(new QTimer(this)),
      signInHint(new QTimer(this)), signInAttempt(new QTimer(this))
{
    signInAttempt->setInterval(SignInAttemptMs);
    connect(signInAttempt, &QTimer::timeout, this, [this] {
        if (status == Reconnecting && this->console->isRunning())
            retryAfterOutage(QStringLiteral("a new attempt while open for sign-in"), true);
    });
    console->setParent(this);
    signInHint->setSingleShot(true);
    signInHint->setInterval(SignInHintMs);
    connect(signInHint, &QTimer::timeout, this, [this] {
        if (status == Reconnecting)
            setSignIn(SignIn::Needed);
    });
    connect(this, &Tunnel::statusChanged, this, &VPNConnection::followSignIn);
    connect(console, &TunnelConsole::signInChanged, this, [this](bool open) {
        if (open)
            setSignIn(SignIn::Open);
        else
            setSignIn(status == Reconnecting && established ? SignIn::Needed : SignIn::None);
    });
    retryTimer->setSingleShot(true);
    connect(retryTimer, &QTimer::timeout, this, &VPNConnection::start);
    echoPoll->setSingleShot(true);
    echoPoll->setInterval(EchoPollMs);
    connect(echoPoll, &QTimer::timeout, this, &VPNConnection::checkLine);
    rotateLog();
    logFile->open(QIODevice::WriteOnly | QIODevice::Truncate);
    connect(console, &TunnelConsole::readyRead, this, &VPNConnection::checkLine);
    connect(console, &TunnelConsole::finished, this, &VPNConnection::finished);
    connect(console, &TunnelConsole::startFailed, this, &VPNConnection::failedToStart);
    connect(console, &TunnelConsole::protectionNoted, this, &VPNConnection::logProtection);
    // A new network: the tunnel is made anew at once, not at OpenVPN's
    // ping-restart.
    connect(console, &TunnelConsole::networkChanged, this, [this](const QString &detail) {
        if (established && (status == Connected || status == Reconnecting))
            retryAfterOutage(detail, true);
    });
    connect(console, &TunnelConsole::protectionFailed, this, [this](const QString &detail) {
        noteInLog(QStringLiteral("Quillnet: ") + detail);
        reportFailure(tr("The connection could not be protected, so it was closed."));
    });
}

VPNConnection::~VPNConnection()
{
    // Only the log still hears from the console: nothing else of this
    // object may run while it goes.
    console->disconnect(this);
    connect(console, &TunnelConsole::protectionNoted, this, &VPNConnection::logProtection);
    if (console->isRunning()) {
        askToExit();
        if (!console->waitForFinished(exitWaitMs)) {
            console->kill();
            console->waitForFinished(exitWaitMs);
        }
    }
    // The user quits: the protection goes before the client does, or the
    // machine would stay shut off.
    if (std::exchange(releaseAfterStop, false))
        console->release();
    console->waitForRelease(TunnelServiceApi::ReleaseWaitMs);
    logFile->close();
    delete logFile;
}

void VPNConnection::rotateLog()
{
    QFile current{QLatin1String(LogName)};
    if (current.open(QIODevice::ReadOnly) && current.size() > 0) {
        current.close();
        QFile::remove(QLatin1String(OldLogName));
        QFile::rename(QLatin1String(LogName), QLatin1String(OldLogName));
    }
}

void VPNConnection::writeLog(const QByteArray &text)
{
    if (logFile->isOpen() && logFile->write(text) == text.size() && logFile->flush())
        return;
    // The tunnel goes on without its log (a full disk, a folder that cannot
    // be written); saying so once keeps a long session from flooding stderr.
    if (!logFailed)
        qWarning("Quillnet: cannot write the OpenVPN log %s: %s",
                 qPrintable(QFileInfo(*logFile).absoluteFilePath()),
                 qPrintable(logFile->errorString()));
    logFailed = true;
}

void VPNConnection::prepare()
{
    console->prepare();
}

void VPNConnection::logProtection(const QString &line)
{
    noteInLog(QStringLiteral("Quillnet: ") + line);
}

void VPNConnection::noteInLog(const QString &line)
{
    writeLog(line.toUtf8() + '\n');
}

void VPNConnection::setConfig(const QString &path)
{
    configPath = path;
}

void VPNConnection::setCredentials(const QString &user, const QString &password)
{
    this->user = user;
    this->password = password;
}

void VPNConnection::setProxy(const QNetworkProxy &proxy)
{
    proxyHost = proxy.hostName();
    proxyPort = proxy.port();
    proxyUser = proxy.user();
    proxyPassword = proxy.password();
}

void VPNConnection::start()
{
    if (status == Connecting || status == Connected)
        return;
    ip.clear();
    runError.clear();
    echoWaited.invalidate();
    restartOnWake = false;
    if (status != Reconnecting)
        status = Connecting;
    emit statusChanged(status, tr("Initializing"));

    TunnelLaunch launch;
    launch.configPath = configPath;
    launch.proxyHost = proxyHost;
    launch.proxyPort = proxyPort;
    launch.proxyAsksCredentials = !proxyUser.isEmpty();
    launch.blockOutsideTunnel = blockOutsideTunnel;
    launch.allowLocalNetwork = allowLocalNetwork;
    protectWith(blockOutsideTunnel, allowLocalNetwork);
    launch.program = storedSetting(SettingsKey::OpenvpnExe).toString();
    if (launch.program.isEmpty())
        launch.program = defaultProgram();

    if (startCount > 4) {
        logFile->close();
        rotateLog();
        logFile->open(QIODevice::WriteOnly | QIODevice::Truncate);
        logFailed = false;
        startCount = 0;
    }
    ++startCount;

    // What an earlier run left unread is not this run's.
    unread.clear();
    console->start(launch);
}

void VPNConnection::failedToStart(TunnelConsole::StartFailure failure, const QString &detail)
{
    writeLog(detail.toLocal8Bit() + '\n');
    // Stopped while the start was still being decided: the stop is done.
    if (status == Disconnecting) {
        finished();
        return;
    }
    // Coming back from an outage: a service restarting, a server name that
    // does not resolve yet are the outage still. A refusal is not.
    const bool refused = failure == TunnelConsole::StartFailure::NotAuthorized ||
                         failure == TunnelConsole::StartFailure::Refused;
    if (established && !refused) {
        if (retrying)
            waitToRetry();
        else
            retryAfterOutage(startFailureText(failure).simplified());
        return;
    }
    endRetries();
    established = false;
    // Without this the tunnel would say "Initializing" for ever.
    status = Disconnected;
    emit error(startFailureText(failure));
    emit statusChanged(Disconnected, QString());
}

QString VPNConnection::startFailureText(TunnelConsole::StartFailure failure)
{
    switch (failure) {
    case TunnelConsole::StartFailure::NotAuthorized:
        return tr("Creating VPN tunnel failed.\nQuillnet was not allowed to connect: the system "
                  "refused the permission.");
    case TunnelConsole::StartFailure::Refused:
        return tr("Creating VPN tunnel failed.\nThe tunnel service refused the tunnel "
                  "configuration.");
    case TunnelConsole::StartFailure::Busy:
        return tr("Creating VPN tunnel failed.\nAnother VPN tunnel is running on this computer.");
    case TunnelConsole::StartFailure::ServiceMissing:
        return tr("Creating VPN tunnel failed.\nThe tunnel service cannot be reached.");
    case TunnelConsole::StartFailure::Unprotected:
        return tr("Creating VPN tunnel failed.\nTraffic outside the tunnel could not be "
                  "blocked.");
    case TunnelConsole::StartFailure::ProgramFailed:
        break;
    }
    return tr("Creating VPN tunnel failed.\nThe OpenVPN program cannot be started.");
}

void VPNConnection::askToExit()
{
    // Not SIGTERM alone: OpenVPN waiting at a prompt that nobody answers (a
    // static challenge) takes no notice of it, and the stop would never end.
    if (console->isRunning())
        console->stop();
}

void VPNConnection::stop(bool silent)
{
    restartOnWake = false;
    // The user is done with the tunnel (or it failed for good): no more
    // retries, and the next start is a first one again.
    established = false;
    if (retrying) {
        endRetries();
        status = Disconnecting;
    }
    askToExit();
    // Not a reconnect: the user is done with the tunnel, and its protection
    // goes once OpenVPN has ended (at once when it has already).
    if (status == Disconnected) {
        releaseAfterStop = false;
        console->release();
        return;
    }
    releaseAfterStop = true;
    if (status != Reconnecting)
        status = Disconnecting;
    emit statusChanged(status, silent ? QString() : tr("Disconnecting"));
    // Nothing left to end (asleep, say): no process end will come to finish
    // the stop or to restart.
    if (!console->isRunning())
        QTimer::singleShot(0, this, [this] {
            if ((status == Disconnecting || status == Reconnecting) && !console->isRunning())
                finished();
        });
}

void VPNConnection::reconnect()
{
    // The controller's reconnect is a new login: it retries as its own.
    endRetries();
    established = false;
    status = Reconnecting;
    stop(false);
    releaseAfterStop = false;
}

void VPNConnection::finished()
{
    ip.clear();
    if (status == Suspending)
        return;
    if (retrying) {
        waitToRetry();
        return;
    }
    // Up (or coming back after OpenVPN's own restart) and ended by itself:
    // the service or OpenVPN died, or gave up on the server.
    if (established && status != Disconnecting) {
        retryAfterOutage(QStringLiteral("OpenVPN ended"));
        return;
    }
    if (status == Reconnecting) {
        start();
        return;
    }
    status = Disconnected;
    if (std::exchange(releaseAfterStop, false))
        console->release();
    emit statusChanged(Disconnected, QString());
}

void VPNConnection::setExitWait(int exitMs)
{
    exitWaitMs = exitMs;
}

void VPNConnection::setRetryWaits(int firstMs, int lastMs)
{
    firstRetryMs = nextRetryMs = firstMs;
    lastRetryMs = lastMs;
}

void VPNConnection::retryAfterOutage(const QString &reason, bool atOnce)
{
    noteInLog(
        QStringLiteral("Quillnet: the tunnel is down (%1); its protection stays").arg(reason));
    if (!std::exchange(retrying, true) || atOnce)
        nextRetryMs = atOnce ? 0 : firstRetryMs;
    // Only the user's stop lifts the protection.
    releaseAfterStop = false;
    status = Reconnecting;
    emit statusChanged(Reconnecting, tr("Reconnecting"));
    if (console->isRunning())
        askToExit(); // finished() waits
    else
        waitToRetry();
}

void VPNConnection::waitToRetry()
{
    noteInLog(QStringLiteral("Quillnet: trying again in %1 s").arg(nextRetryMs / 1000.0));
    retryTimer->start(nextRetryMs);
    nextRetryMs = qBound(firstRetryMs, nextRetryMs * 2, lastRetryMs);
}

void VPNConnection::endRetries()
{
    retrying = false;
    retryTimer->stop();
    nextRetryMs = firstRetryMs;
}

void VPNConnection::setSignInTimes(int hintMs, int openSeconds, int attemptMs)
{
    signInHint->setInterval(hintMs);
    signInSeconds = openSeconds;
    signInAttempt->setInterval(attemptMs);
}

void VPNConnection::followSignIn(CnnStatus now)
{
    // Only an outage with the block on can be a sign-in page in the way:
    // without the block the browser reaches it anyway.
    if (now == Reconnecting && established && blockOutsideTunnel) {
        if (signIn == SignIn::None && !signInHint->isActive())
            signInHint->start();
        return;
    }
    signInHint->stop();
    setSignIn(SignIn::None);
}

void VPNConnection::setSignIn(Tunnel::SignIn state)
{
    if (state == SignIn::Open)
        signInAttempt->start();
    else
        signInAttempt->stop();
    if (std::exchange(signIn, state) != state)
        emit signInChanged(state);
}

void VPNConnection::openForSignIn()
{
    // Never without the hint the user answered.
    if (signIn == SignIn::Needed)
        console->openForSignIn(signInSeconds);
}

void VPNConnection::setAllowLocalNetwork(bool allow)
{
    if (std::exchange(allowLocalNetwork, allow) == allow)
        return;
    // The running tunnel's block changes with a new run; the block holds
    // meanwhile.
    if (blockOutsideTunnel && established && (status == Connected || status == Reconnecting))
        retryAfterOutage(allow ? QStringLiteral("the local network is allowed")
                               : QStringLiteral("the local network is no longer allowed"),
                         true);
}

void VPNConnection::suspend()
{
    // Waking starts the tunnel again in any case.
    endRetries();
    status = Suspending;
    askToExit();
    if (console->isRunning() && !console->waitForFinished(exitWaitMs)) {
        console->kill();
        console->waitForFinished(exitWaitMs);
        // Down the hard way: the tunnel says so at once, and waking up
        // brings it back as after an orderly sleep.
        status = Disconnected;
        ip.clear();
        restartOnWake = true;
        emit statusChanged(Disconnected, QString());
        return;
    }
    status = Suspended;
}

void VPNConnection::systemSuspending()
{
    if (status != Disconnecting && status != Disconnected)
        suspend();
}

void VPNConnection::systemResumed()
{
    if (status == Suspended || (status == Disconnected && restartOnWake))
        start();
}

void VPNConnection::checkLine()
{
    unread += console->readAll();
    for (qsizetype end = unread.indexOf('\n'); end >= 0; end = unread.indexOf('\n')) {
        QByteArray raw = unread.left(end + 1);
        unread.remove(0, end + 1);
        const int zero = raw.indexOf('\0');
        if (zero >= 0)
            raw.truncate(zero);
        // A terminal ends lines with "\r\n"; the log keeps plain lines.
        while (raw.endsWith('\n') || raw.endsWith('\r'))
            raw.chop(1);
        if (!echoToHide.isNull() && raw == std::exchange(echoToHide, QByteArray())) {
            writeLog("(answer not logged)\n");
            continue;
        }
        writeLog(raw + '\n');
        applyLine(QString::fromLatin1(raw));
    }
    answerPrompt();
}

void VPNConnection::applyLine(const QString &line)
{
    const OpenVpnLineRules::Effects effects = OpenVpnLineRules::apply(line, !ip.isEmpty());
    if (!effects.ip.isEmpty())
        ip = effects.ip;
    if (!effects.adapter.isEmpty())
        adapterGuid = effects.adapter;
    if (!effects.progress.isEmpty())
        emit statusChanged(status, effects.progress);
    if (effects.connected) {
        connectedSince = QTime::currentTime();
        status = Connected;
        established = true;
        endRetries();
        emit statusChanged(Connected, tr("Connected"));
    }
    // OpenVPN restarts itself (the network went away, the server stopped
    // answering): the tunnel is down until it says it is complete again.
    if (effects.restarting && status == Connected) {
        status = Reconnecting;
        emit statusChanged(Reconnecting, tr("Reconnecting"));
    }
    if (effects.error.isEmpty())
        return;
    if (established && effects.outage)
        retryAfterOutage(effects.error.simplified());
    else
        reportFailure(effects.error);
}

void VPNConnection::reportFailure(const QString &text)
{
    // OpenVPN 2.6 prints some failures twice in one attempt; the user
    // hears of each failure of a run once.
    if (text == runError)
        return;
    runError = text;
    emit error(text);
    stop(true);
}

bool VPNConnection::answerPrompt()
{
    const PromptMatch match = promptAt(unread.left(64));
    if (match.prompt == ConsolePrompt::None)
        return false;
    if (isSecret(match.prompt) && !console->isEchoOff()) {
        // The terminal flushes its input when it switches echo off: an
        // answer written before that would be lost. A run that has ended
        // asks for nothing any more.
        if (console->isRunning())
            waitForEchoOff();
        return false;
    }
    echoWaited.invalidate();
    unread.remove(0, match.length);
    QString answer;
    switch (match.prompt) {
    case ConsolePrompt::AuthUsername:
        answer = user;
        break;
    case ConsolePrompt::AuthPassword:
        answer = password;
        break;
    case ConsolePrompt::ProxyUsername:
        answer = proxyUser;
        break;
    case ConsolePrompt::ProxyPassword:
        answer = proxyPassword;
        break;
    case ConsolePrompt::None:
        break;
    }
    // The terminal echoes what is typed at a visible prompt: that line is
    // the user's name, not OpenVPN's output, and stays out of the log.
    if (!isSecret(match.prompt))
        echoToHide = answer.toLatin1();
    console->write(answer.toLatin1() + '\n');
    return true;
}

void VPNConnection::waitForEchoOff()
{
    if (!echoWaited.isValid())
        echoWaited.start();
    if (!echoWaited.hasExpired(echoWaitMs)) {
        if (!echoPoll->isActive())
            echoPoll->start();
        return;
    }
    const QString failure =
        tr("Creating VPN tunnel failed.\nOpenVPN asked for the password without hiding it.");
    if (failure == runError)
        return; // said once; the stop is under way
    writeLog("Quillnet: the terminal still echoes at the password prompt; no password sent\n");
    reportFailure(failure);
}
