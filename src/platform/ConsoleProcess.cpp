#include "platform/ConsoleProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

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
// How long stop() waits after SIGTERM before it hangs up the terminal.
// OpenVPN takes its tunnel down and exits within a second or two of SIGTERM
// (over UDP it first waits a moment for its exit notification to go out);
// still there after three, it sits at a prompt, where SIGTERM goes unheeded.
constexpr int TerminateGraceMs = 3000;
// How long stop() waits after the hang-up before the kill. A program
// reading its terminal gets end of input at once and exits in milliseconds;
// the rest leaves room for a loaded machine.
constexpr int HangUpGraceMs = 2000;

// Everything the child needs between fork and exec, prepared beforehand: the
// child may only make async-signal-safe calls.
struct ChildSetup
{
    int terminal;
    int failureReport; // write end, close-on-exec: stays silent when exec succeeds
    pid_t client;
    int highestDescriptor;
    const char *workingDirectory; // null: the client's
    char *const *argv;
};

// Sent through the failure report when the child cannot run the program.
struct ChildFailure
{
    enum Step : int
    {
        AttachTerminal = 1,
        ChangeDirectory,
        Execute
    } step;
    int error;
};

[[noreturn]] void reportChildFailure(const ChildSetup &setup, ChildFailure::Step step)
{
    const ChildFailure failure{step, errno};
    [[maybe_unused]] ssize_t written = ::write(setup.failureReport, &failure, sizeof failure);
    ::_exit(127);
}

// Descriptors the client opened without close-on-exec would otherwise leak
// into the child (sockets, log files).
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

// Runs in the child after QProcess has pointed its standard streams at the
// null device, and replaces the process with the program. Doing the exec here
// rather than leaving it to QProcess is deliberate: Qt 6.4 forks with vfork
// semantics, and its own failure path then loses the parent's copy of a pipe
// descriptor, one leaked descriptor per failed start.
[[noreturn]] void runOnTerminal(const ChildSetup &setup)
{
    // The child dies with the client, even when the client is killed
    // outright. SIGTERM rather than SIGKILL lets OpenVPN take its routes down
    // on the way out; at a prompt it ignores SIGTERM, but there the client's
    // death closes the terminal's master side, which ends the prompt. A
    // program that changes its user or group loses this (OpenVPN's --user
    // and --group do).
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != setup.client)
        ::_exit(127); // the client died before the line above took effect

    // A session of its own, so that the terminal it asks on is this one and
    // not one the client may have.
    if (::setsid() < 0 || ::ioctl(setup.terminal, TIOCSCTTY, 0) != 0)
        reportChildFailure(setup, ChildFailure::AttachTerminal);
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::dup2(setup.terminal, fd) < 0)
            reportChildFailure(setup, ChildFailure::AttachTerminal);
    }
    if (setup.workingDirectory && ::chdir(setup.workingDirectory) != 0)
        reportChildFailure(setup, ChildFailure::ChangeDirectory);
    markDescriptorsCloseOnExec(setup.highestDescriptor);
    restoreDefaultSignals();
    ::execv(setup.argv[0], setup.argv);
    reportChildFailure(setup, ChildFailure::Execute);
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

ConsoleProcess::ConsoleProcess(QObject *parent)
    : QIODevice(parent), stopTimer(new QTimer(this)), terminateGraceMs(TerminateGraceMs),
      hangUpGraceMs(HangUpGraceMs)
{
    stopTimer->setSingleShot(true);
    connect(stopTimer, &QTimer::timeout, this, &ConsoleProcess::escalateStop);
}

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
        const int error = errno;
        setErrorString(
            tr("Cannot open a terminal for %1: %2").arg(program, qt_error_string(error)));
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
    // Looked up here, so that a name not on the PATH never runs a file of
    // that name from the working directory.
    const QString found =
        program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    if (found.isEmpty()) {
        setErrorString(tr("Cannot start %1: %2").arg(program, qt_error_string(ENOENT)));
        emit errorOccurred(QProcess::FailedToStart);
        return false;
    }
    QByteArrayList encoded{QFile::encodeName(found)};
    for (const QString &argument : arguments)
        encoded += QFile::encodeName(argument);
    std::vector<char *> argv;
    for (QByteArray &argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const QByteArray directory = QFile::encodeName(workingDir);

    int failureReport[2];
    if (::pipe2(failureReport, O_CLOEXEC) != 0) {
        const int error = errno;
        setErrorString(tr("Cannot start %1: %2").arg(program, qt_error_string(error)));
        emit errorOccurred(QProcess::FailedToStart);
        return false;
    }
    const ChildSetup setup{slaveFd,
                           failureReport[1],
                           ::getpid(),
                           highestDescriptor(),
                           directory.isEmpty() ? nullptr : directory.constData(),
                           argv.data()};
    child = new QProcess(this);
    child->setProgram(found);
    // The terminal replaces all three in the child; nothing else may be open.
    child->setStandardInputFile(QProcess::nullDevice());
    child->setStandardOutputFile(QProcess::nullDevice());
    child->setStandardErrorFile(QProcess::nullDevice());
    child->setChildProcessModifier([setup] { runOnTerminal(setup); });
    connect(child, &QProcess::errorOccurred, this, &ConsoleProcess::onChildError);
    connect(child, &QProcess::finished, this, &ConsoleProcess::onChildFinished);
    child->start();
    ::close(failureReport[1]);
    const bool started = child->waitForStarted(StartTimeoutMs);
    // End of file once the exec succeeded (or no child was ever forked).
    ChildFailure failure{};
    const bool failed = ::read(failureReport[0], &failure, sizeof failure) == sizeof failure;
    ::close(failureReport[0]);
    if (started && !failed)
        return true;

    child->disconnect(this);
    if (child->state() != QProcess::NotRunning) {
        child->kill();
        child->waitForFinished(-1);
    }
    setErrorString(failed ? describeFailure(program, failure.step, failure.error)
                          : tr("Cannot start %1: %2").arg(program, child->errorString()));
    delete child;
    child = nullptr;
    if (failed) // QProcess saw a successful start and reported nothing
        emit errorOccurred(QProcess::FailedToStart);
    return false;
}

QString ConsoleProcess::describeFailure(const QString &program, int step, int error) const
{
    const QString reason = qt_error_string(error);
    switch (step) {
    case ChildFailure::AttachTerminal:
        return tr("Cannot give %1 a terminal: %2").arg(program, reason);
    case ChildFailure::ChangeDirectory:
        return tr("Cannot start %1 in %2: %3").arg(program, workingDir, reason);
    default:
        return tr("Cannot start %1: %2").arg(program, reason);
    }
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

void ConsoleProcess::stop()
{
    if (!child || child->state() == QProcess::NotRunning)
        return;
    terminate();
    // Asking again does not put the next step off.
    if (!stopTimer->isActive())
        stopTimer->start(terminateGraceMs);
}

void ConsoleProcess::setStopGraces(int terminateMs, int hangUpMs)
{
    terminateGraceMs = terminateMs;
    hangUpGraceMs = hangUpMs;
}

void ConsoleProcess::escalateStop()
{
    if (!child)
        return;
    if (masterFd >= 0) {
        // The child's terminal hangs up: a prompt reads end of input.
        closeTerminal();
        stopTimer->start(hangUpGraceMs);
    } else {
        kill();
    }
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
        if (child)
            return; // a finished() handler has started the next run
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
    stopTimer->stop();
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
