#include "platform/ConsoleProcess.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

// waitForFinished() reads the terminal at least this often.
constexpr int ReadIntervalMs = 20;
// Exec follows the fork at once; this only bounds a system under stress.
constexpr int StartTimeoutMs = 30000;
// Reads per notification, so that a chatty child cannot starve the event loop.
constexpr qint64 ReadChunk = 4096;
constexpr qint64 ReadLimitPerNotification = 64 * 1024;
// Used only when the kernel cannot mark all descriptors at once.
constexpr int MaxDescriptorScan = 65536;

// Everything the child needs between fork and exec, computed beforehand: the
// child may only make async-signal-safe calls.
struct ChildSetup
{
    int terminal;
    pid_t client;
    int highestDescriptor;
};

[[noreturn]] void abandonChild(int terminal, const char *message)
{
    [[maybe_unused]] ssize_t written = ::write(terminal, message, std::strlen(message));
    ::_exit(127);
}

// Descriptors the client opened without close-on-exec would otherwise leak
// into the child (sockets, log files). Marking instead of closing keeps Qt's
// own start-up report pipe working until the exec.
void markDescriptorsCloseOnExec(int highestDescriptor)
{
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    for (int fd = 3; fd <= highestDescriptor; ++fd)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// A client that ignores or blocks a signal must not hand that on: the child
// has to stay stoppable by terminate().
void restoreDefaultSignals()
{
    for (int signalNumber : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGCHLD})
        ::signal(signalNumber, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

void enterTerminalSession(const ChildSetup &setup)
{
    // The child dies with the client, even when the client is killed
    // outright. SIGTERM rather than SIGKILL lets OpenVPN take its routes down
    // on the way out; at a prompt it ignores SIGTERM, but there the client's
    // death closes the terminal's master side, which ends the prompt.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != setup.client)
        ::_exit(127); // the client died before the line above took effect

    // A session of its own, so that the terminal it asks on is this one and
    // not one the client may have.
    if (::setsid() < 0 || ::ioctl(setup.terminal, TIOCSCTTY, 0) != 0)
        abandonChild(setup.terminal, "quillnet: cannot attach the console terminal\r\n");
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::dup2(setup.terminal, fd) < 0)
            abandonChild(setup.terminal, "quillnet: cannot attach the console streams\r\n");
    }
    markDescriptorsCloseOnExec(setup.highestDescriptor);
    restoreDefaultSignals();
}

int highestDescriptor()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return MaxDescriptorScan;
    return int(std::min<rlim_t>(limit.rlim_cur, MaxDescriptorScan));
}

// Line input with echo, as a program asking for a user name expects, but no
// byte of an answer is a control key: a password may contain any character,
// and none may interrupt the child, pause its output or edit the line.
// Output processing stays as on any terminal, so lines end "\r\n".
bool configureTerminal(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    settings.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY | ISTRIP | INLCR | IGNCR);
    settings.c_iflag |= ICRNL;
    settings.c_lflag &= ~tcflag_t(ISIG | IEXTEN);
    settings.c_lflag |= ICANON | ECHO;
    settings.c_cc[VERASE] = _POSIX_VDISABLE;
    settings.c_cc[VKILL] = _POSIX_VDISABLE;
    settings.c_cc[VEOF] = _POSIX_VDISABLE;
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

ConsoleProcess::ConsoleProcess(QObject *parent) : QIODevice(parent) {}

ConsoleProcess::~ConsoleProcess()
{
    if (child) {
        // No signals out of an object being destroyed.
        child->disconnect(this);
        if (child->state() != QProcess::NotRunning) {
            kill();
            child->waitForFinished(-1);
        }
    }
    closeTerminal();
}

void ConsoleProcess::setWorkingDirectory(const QString &dir)
{
    workingDir = dir;
}

bool ConsoleProcess::start(const QString &program, const QStringList &arguments)
{
    if (child) {
        setErrorString(tr("%1 is still running").arg(child->program()));
        return false;
    }
    if (isOpen())
        close();
    readBuffer.clear();
    if (!openTerminal()) {
        setErrorString(tr("Cannot open a terminal for %1: %2").arg(program, qt_error_string()));
        closeTerminal();
        emit errorOccurred(QProcess::FailedToStart);
        return false;
    }
    if (!startChild(program, arguments)) {
        closeTerminal();
        return false;
    }
    QIODevice::open(QIODevice::ReadWrite);
    return true;
}

bool ConsoleProcess::openTerminal()
{
    masterFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd < 0)
        return false;
    char slaveName[128];
    if (::grantpt(masterFd) != 0 || ::unlockpt(masterFd) != 0 ||
        ::ptsname_r(masterFd, slaveName, sizeof slaveName) != 0)
        return false;
    // O_NOCTTY: the terminal must become the child's, never the client's.
    slaveFd = ::open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0 || !configureTerminal(slaveFd))
        return false;
    if (::fcntl(masterFd, F_SETFL, ::fcntl(masterFd, F_GETFL) | O_NONBLOCK) != 0)
        return false;

    readNotifier = new QSocketNotifier(masterFd, QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this,
            [this] { readTerminal(ReadLimitPerNotification); });
    writeNotifier = new QSocketNotifier(masterFd, QSocketNotifier::Write, this);
    writeNotifier->setEnabled(false);
    connect(writeNotifier, &QSocketNotifier::activated, this, &ConsoleProcess::writeTerminal);
    return true;
}

void ConsoleProcess::closeTerminal()
{
    // Notifiers go later: this may run inside one of their own signals.
    for (QSocketNotifier *notifier : {readNotifier, writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    readNotifier = writeNotifier = nullptr;
    for (int *fd : {&masterFd, &slaveFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    writeBuffer.clear();
}

bool ConsoleProcess::startChild(const QString &program, const QStringList &arguments)
{
    child = new QProcess(this);
    child->setProgram(program);
    child->setArguments(arguments);
    child->setWorkingDirectory(workingDir);
    // The terminal replaces all three in the child; nothing else may be open.
    child->setStandardInputFile(QProcess::nullDevice());
    child->setStandardOutputFile(QProcess::nullDevice());
    child->setStandardErrorFile(QProcess::nullDevice());
    const ChildSetup setup{slaveFd, ::getpid(), highestDescriptor()};
    child->setChildProcessModifier([setup] { enterTerminalSession(setup); });
    connect(child, &QProcess::errorOccurred, this, &ConsoleProcess::onChildError);
    connect(child, &QProcess::finished, this, &ConsoleProcess::onChildFinished);

    child->start();
    if (child->waitForStarted(StartTimeoutMs))
        return true;

    setErrorString(tr("Cannot start %1: %2").arg(program, child->errorString()));
    child->disconnect(this);
    if (child->state() != QProcess::NotRunning) {
        child->kill();
        child->waitForFinished(-1);
    }
    delete child;
    child = nullptr;
    return false;
}

bool ConsoleProcess::isRunning() const
{
    // Stays true until finished() is emitted, so that a handler of the last
    // readyRead() cannot start a new run under the one still ending.
    return child != nullptr;
}

qint64 ConsoleProcess::processId() const
{
    return child ? child->processId() : 0;
}

void ConsoleProcess::terminate()
{
    if (child && child->state() != QProcess::NotRunning)
        child->terminate();
}

void ConsoleProcess::kill()
{
    if (!child || child->state() == QProcess::NotRunning)
        return;
    // The child leads its own process group, so this also ends helpers it
    // started, which would otherwise keep running on the terminal.
    if (::kill(-pid_t(child->processId()), SIGKILL) != 0)
        child->kill();
}

bool ConsoleProcess::waitForFinished(int msecs)
{
    QPointer<QProcess> watched = child;
    if (!watched || watched->state() == QProcess::NotRunning)
        return false;
    const QDeadlineTimer deadline(msecs);
    // onChildFinished() replaces the child, possibly from a handler of one of
    // the signals emitted in here.
    while (watched == child) {
        readTerminal(ReadLimitPerNotification);
        if (watched != child)
            break;
        const qint64 slice = std::min<qint64>(ReadIntervalMs, deadline.remainingTime());
        if (watched->waitForFinished(int(std::max<qint64>(slice, 1))))
            break;
        if (deadline.hasExpired())
            return false;
    }
    return true;
}

bool ConsoleProcess::isEchoOff() const
{
    termios settings{};
    return slaveFd >= 0 && ::tcgetattr(slaveFd, &settings) == 0 && !(settings.c_lflag & ECHO);
}

void ConsoleProcess::close()
{
    if (child && child->state() != QProcess::NotRunning) {
        kill();
        waitForFinished(-1);
    }
    closeTerminal();
    readBuffer.clear();
    QIODevice::close();
}

qint64 ConsoleProcess::bytesAvailable() const
{
    return readBuffer.size() + QIODevice::bytesAvailable();
}

qint64 ConsoleProcess::bytesToWrite() const
{
    return writeBuffer.size() + QIODevice::bytesToWrite();
}

bool ConsoleProcess::canReadLine() const
{
    return readBuffer.contains('\n') || QIODevice::canReadLine();
}

qint64 ConsoleProcess::readData(char *data, qint64 maxSize)
{
    const qint64 size = std::min<qint64>(maxSize, readBuffer.size());
    if (size == 0)
        return child ? 0 : -1; // the end, once the child has ended and all is read
    std::memcpy(data, readBuffer.constData(), size_t(size));
    readBuffer.remove(0, size);
    return size;
}

qint64 ConsoleProcess::writeData(const char *data, qint64 size)
{
    if (masterFd < 0) {
        setErrorString(tr("The program is not running"));
        return -1;
    }
    writeBuffer.append(data, size);
    writeTerminal();
    return size;
}

void ConsoleProcess::readTerminal(qint64 limit)
{
    if (masterFd < 0)
        return;
    const qsizetype before = readBuffer.size();
    char chunk[ReadChunk];
    while (readBuffer.size() - before < limit) {
        const ssize_t size = ::read(masterFd, chunk, sizeof chunk);
        if (size > 0) {
            readBuffer.append(chunk, size);
        } else if (size < 0 && errno == EINTR) {
            continue;
        } else {
            // EAGAIN: all read. Anything else cannot happen while the slave
            // stays open here; the child's end will report what matters.
            if (size == 0 || errno != EAGAIN)
                readNotifier->setEnabled(false);
            break;
        }
    }
    if (readBuffer.size() > before)
        emit readyRead();
}

void ConsoleProcess::writeTerminal()
{
    while (!writeBuffer.isEmpty()) {
        const ssize_t size = ::write(masterFd, writeBuffer.constData(), size_t(writeBuffer.size()));
        if (size > 0) {
            writeBuffer.remove(0, size);
        } else if (size < 0 && errno == EINTR) {
            continue;
        } else {
            // EAGAIN: the child reads no more for now; the notifier resumes.
            if (size == 0 || errno != EAGAIN)
                writeBuffer.clear();
            break;
        }
    }
    writeNotifier->setEnabled(!writeBuffer.isEmpty());
}

void ConsoleProcess::onChildFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    lastExitCode = exitCode;
    lastExitStatus = exitStatus;
    // Everything the child wrote before it ended is in the terminal by now
    // (a read waits for the kernel's pending input), so this drains it all.
    readTerminal(std::numeric_limits<qint64>::max());
    closeTerminal();
    child->deleteLater();
    child = nullptr;
    emit finished(exitCode, exitStatus);
}

void ConsoleProcess::onChildError(QProcess::ProcessError error)
{
    // Timeouts belong to the waits in here, not to the child.
    if (error != QProcess::Timedout)
        emit errorOccurred(error);
}
