#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QProcess>

class QSocketNotifier;
class QTimer;

// Runs a program on a terminal of its own and reads and writes that terminal
// as a sequential device. Programs that ask for credentials read the answer
// from their controlling terminal, not from standard input, so a pipe is not
// enough: the child gets a fresh pseudo-terminal as its controlling terminal
// and as standard input, output and error (both outputs arrive merged, lines
// ending "\r\n" as on any terminal).
//
// The child dies with the thread that started it: if the client disappears,
// even by SIGKILL, the child receives SIGTERM, so a tunnel never outlives the
// client that owns it. A program that changes its user or group (OpenVPN's
// --user, --group) loses that protection.
class ConsoleProcess : public QIODevice
{
    Q_OBJECT

public:
    explicit ConsoleProcess(QObject *parent = nullptr);
    // A child still running is killed and reaped, without finished().
    ~ConsoleProcess() override;

    void setWorkingDirectory(const QString &dir);
    QString workingDirectory() const { return workingDir; }

    // Starts the program on a fresh terminal and opens the device ReadWrite,
    // dropping what an earlier run left unread. False when the terminal or
    // the program cannot be started (errorString() says why; nothing runs).
    bool start(const QString &program, const QStringList &arguments);
    // From start() until finished() is emitted.
    bool isRunning() const;
    qint64 processId() const;

    // Asks the child to end (SIGTERM). A program blocked at a prompt may
    // ignore it; stop(), kill() or close() always work.
    void terminate();
    // Ends the child with as little harm as will do: SIGTERM; a child still
    // running a while later has its terminal hung up, which ends a prompt
    // (output after that is lost); one still running after that is killed.
    // Returns at once; finished() follows.
    void stop();
    // Other waits for stop() than the product's, in milliseconds: after
    // SIGTERM, and after the hang-up (tests).
    void setStopGraces(int terminateMs, int hangUpMs);
    // Ends the child and everything in its process group (SIGKILL).
    void kill();
    // Blocks the calling thread while still reading the terminal, so a child
    // with a lot to say cannot stall on a full terminal. finished() is emitted
    // from inside when the child ends in time.
    bool waitForFinished(int msecs = 30000);

    // The terminal's ECHO flag, as the child has set it right now: a program
    // reading a password switches it off, and may discard input that arrived
    // before it did so. Write a password only once this is true.
    bool isEchoOff() const;

    int exitCode() const { return lastExitCode; }
    QProcess::ExitStatus exitStatus() const { return lastExitStatus; }

    // Kills a running child, reaps it (finished() is emitted) and closes the
    // device, unless a finished() handler has started the next run.
    void close() override;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool canReadLine() const override;

signals:
    // Exactly once per successful start, after readyRead() for everything the
    // child wrote; its unread output stays readable until the next start().
    void finished(int exitCode, QProcess::ExitStatus exitStatus);
    void errorOccurred(QProcess::ProcessError error);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool openTerminal();
    void closeTerminal();
    bool startChild(const QString &program, const QStringList &arguments);
    QString describeFailure(const QString &program, int step, int error) const;
    void readTerminal(qint64 limit);
    void writeTerminal();
    void onChildFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onChildError(QProcess::ProcessError error);
    void escalateStop();

    QString workingDir;
    QProcess *child = nullptr;
    int masterFd = -1;
    // Kept open so that reading the master never fails while the child
    // happens to have no descriptor of its own on the terminal, and so the
    // echo flag stays readable.
    int slaveFd = -1;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QTimer *stopTimer;
    int terminateGraceMs;
    int hangUpGraceMs;
    QByteArray readBuffer;
    QByteArray writeBuffer;
    int lastExitCode = 0;
    QProcess::ExitStatus lastExitStatus = QProcess::NormalExit;

    Q_DISABLE_COPY_MOVE(ConsoleProcess)
};
