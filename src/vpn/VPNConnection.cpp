#include "vpn/VPNConnection.h"

#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "core/WorkingFiles.h"
#include "platform/ConsoleProcess.h"
#include "vpn/ConsolePrompt.h"
#include "vpn/OpenVpnLineRules.h"

#include <QDir>
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

VPNConnection::VPNConnection(QObject *parent)
    : Tunnel(parent), process(new ConsoleProcess(this)), echoPoll(new QTimer(this)),
      logFile(new QFile(QLatin1String(LogName)))
{
    echoPoll->setSingleShot(true);
    echoPoll->setInterval(EchoPollMs);
    connect(echoPoll, &QTimer::timeout, this, &VPNConnection::checkLine);
    rotateLog();
    logFile->open(QIODevice::WriteOnly | QIODevice::Truncate);
    connect(process, &ConsoleProcess::readyRead, this, &VPNConnection::checkLine);
    connect(process, &ConsoleProcess::finished, this, &VPNConnection::finished);
}

VPNConnection::~VPNConnection()
{
    if (process->isRunning()) {
        process->disconnect(this);
        askToExit();
        if (!process->waitForFinished(exitWaitMs)) {
            process->kill();
            process->waitForFinished(exitWaitMs);
        }
    }
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

    // Linux has no exit event to pass: OpenVPN is asked to end with SIGTERM.
    // Later options win: whatever the configuration says, OpenVPN runs no
    // program of its own choosing.
    QStringList arguments = {QStringLiteral("--config"), configPath,
                             QStringLiteral("--script-security"), QStringLiteral("1")};
    if (!proxyHost.isEmpty()) {
        arguments << QStringLiteral("--http-proxy") << proxyHost << QString::number(proxyPort);
        if (!proxyUser.isEmpty())
            arguments << QStringLiteral("stdin"); // the proxy credentials are asked for
    }
    QString program = storedSetting(SettingsKey::OpenvpnExe).toString();
    if (program.isEmpty())
        program = defaultProgram();

    if (startCount > 4) {
        logFile->close();
        rotateLog();
        logFile->open(QIODevice::WriteOnly | QIODevice::Truncate);
        logFailed = false;
        startCount = 0;
    }
    ++startCount;

    // Relative paths in the configuration ("ca cert.crt") are OpenVPN's
    // working directory's.
    process->setWorkingDirectory(QDir::currentPath());
    if (!process->start(program, arguments))
        failedToStart(program);
}

void VPNConnection::failedToStart(const QString &program)
{
    // Without this the tunnel would say "Initializing" for ever.
    writeLog(QStringLiteral("%1: %2\n").arg(program, process->errorString()).toLocal8Bit());
    status = Disconnected;
    emit error(tr("Creating VPN tunnel failed.\nThe OpenVPN program cannot be started."));
    emit statusChanged(Disconnected, QString());
}

void VPNConnection::askToExit()
{
    // Not SIGTERM alone: OpenVPN waiting at a prompt that nobody answers (a
    // static challenge) takes no notice of it, and the stop would never end.
    if (process->isRunning())
        process->stop();
}

void VPNConnection::stop(bool silent)
{
    restartOnWake = false;
    askToExit();
    if (status == Disconnected)
        return;
    if (status != Reconnecting)
        status = Disconnecting;
    emit statusChanged(status, silent ? QString() : tr("Disconnecting"));
    // Nothing left to end (asleep, say): no process end will come to finish
    // the stop or to restart.
    if (!process->isRunning())
        QTimer::singleShot(0, this, [this] {
            if ((status == Disconnecting || status == Reconnecting) && !process->isRunning())
                finished();
        });
}

void VPNConnection::reconnect()
{
    status = Reconnecting;
    stop(false);
}

void VPNConnection::finished()
{
    ip.clear();
    if (status == Suspending)
        return;
    if (status == Reconnecting) {
        start();
        return;
    }
    status = Disconnected;
    emit statusChanged(Disconnected, QString());
}

void VPNConnection::setExitWaits(int exitMs, int terminateGraceMs, int hangUpGraceMs)
{
    exitWaitMs = exitMs;
    process->setStopGraces(terminateGraceMs, hangUpGraceMs);
}

void VPNConnection::suspend()
{
    status = Suspending;
    askToExit();
    if (process->isRunning() && !process->waitForFinished(exitWaitMs)) {
        process->kill();
        process->waitForFinished(exitWaitMs);
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
    while (process->canReadLine()) {
        QByteArray raw = process->readLine();
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
        emit statusChanged(Connected, tr("Connected"));
    }
    // OpenVPN restarts itself (the network went away, the server stopped
    // answering): the tunnel is down until it says it is complete again.
    if (effects.restarting && status == Connected) {
        status = Connecting;
        emit statusChanged(Connecting, tr("Connecting to server"));
    }
    if (!effects.error.isEmpty())
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
    const PromptMatch match = promptAt(process->peek(64));
    if (match.prompt == ConsolePrompt::None)
        return false;
    if (isSecret(match.prompt) && !process->isEchoOff()) {
        // The terminal flushes its input when it switches echo off: an
        // answer written before that would be lost. A run that has ended
        // asks for nothing any more.
        if (process->isRunning())
            waitForEchoOff();
        return false;
    }
    echoWaited.invalidate();
    process->read(match.length);
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
    process->write(answer.toLatin1() + '\n');
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
