// A program on a terminal of its own: prompts arrive without line end, the
// answers go back with the echo the program chose, its end is reported once
// and after its last output, and no child outlives the client that started it.
#include "platform/ConsoleProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char RelayOption[] = "--relay-console";

// Asks like OpenVPN does: on the terminal rather than standard input, the
// password prompt first and only then the echo off.
const char PromptingScript[] = R"sh(
echo "tty $(tty)"
echo "session $(ps -o sid= -p $$ | tr -d ' ') of $$"
read -r -p 'Enter Auth Username:' user </dev/tty
printf 'Enter Auth Password:' >/dev/tty
sleep 0.2
stty -echo </dev/tty
IFS= read -r pass </dev/tty
stty echo </dev/tty
echo
echo "user [$user] password $(printf %s "$pass" | od -An -tx1 | tr -d ' \n')"
read -r -p 'Press Enter:' _ </dev/tty
seq -f 'line %g' 300
exit 7
)sh";

// Every byte that a default terminal would take as a control key.
const QByteArray ControlKeyPassword("p\x03s\x7fs\x15w\x13o\x04r\x1a"
                                    "d\x17!\x16\x1c");

// Everything a console printed, gathered the way the client's log does.
struct Transcript
{
    explicit Transcript(ConsoleProcess &console)
    {
        QObject::connect(&console, &QIODevice::readyRead, &console,
                         [this, &console] { text += console.readAll(); });
    }
    bool waitFor(const QByteArray &needle, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return text.contains(needle); }, timeoutMs);
    }
    QByteArray text;
};

bool startShell(ConsoleProcess &console, const QString &script)
{
    return console.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
}

bool processEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray fields = stat.readAll();
    const qsizetype state = fields.lastIndexOf(") ") + 2;
    return fields.at(state) == 'Z' || fields.at(state) == 'X';
}

int openDescriptorCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

QString openVpnProgram()
{
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("openvpn"));
    return onPath.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("openvpn"),
                                                             {"/usr/sbin", "/usr/local/sbin"})
                            : onPath;
}

quint16 unusedLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// A client configuration for a server that refuses the connection: it asks
// for the credentials, fails to connect, waits retrySeconds and gives up.
QString unreachableServerConfig(const QTemporaryDir &dir, int retrySeconds)
{
    QByteArray zeros = "00";
    for (int i = 1; i < 32; ++i)
        zeros += ":00";
    return writeFile(dir, QStringLiteral("unreachable.conf"),
                     "client\ndev null\nproto tcp-client\nremote 127.0.0.1 " +
                         QByteArray::number(unusedLoopbackPort()) + "\nconnect-retry " +
                         QByteArray::number(retrySeconds) +
                         "\nconnect-retry-max 1\nauth-user-pass\npeer-fingerprint " + zeros +
                         "\nverb 3\n");
}

// The password goes only once the echo is off: OpenVPN prints the prompt
// first, and switching the echo off discards what arrived before.
bool answerOpenVpn(ConsoleProcess &console, Transcript &out)
{
    if (!out.waitFor("Enter Auth Username:") || !out.text.endsWith("Enter Auth Username:"))
        return false;
    console.write("alice\n");
    if (!out.waitFor("Enter Auth Password:") ||
        !QTest::qWaitFor([&] { return console.isEchoOff(); }, 5000))
        return false;
    console.write("secret\n");
    return true;
}

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(30000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output)
        *output = process.readAll();
    return ok;
}

// Two OpenVPN peers on loopback without tunnel devices or credentials, so the
// client reaches its connected state without privileges.
class ConnectedPeers
{
public:
    // Empty when the peers cannot be set up.
    QString clientConfig()
    {
        if (!dir.isValid() || QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            return {};
        const QString key = dir.filePath(QStringLiteral("peer.key"));
        const QString cert = dir.filePath(QStringLiteral("peer.crt"));
        QByteArray fingerprint;
        if (!run("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                             "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", cert,
                             "-days", "2", "-subj", "/CN=quillnet-test"}) ||
            !run("openssl", {"x509", "-in", cert, "-noout", "-fingerprint", "-sha256"},
                 &fingerprint))
            return {};
        const QByteArray common = "dev null\ndh none\nverb 3\ncert " + cert.toUtf8() + "\nkey " +
                                  key.toUtf8() + "\npeer-fingerprint " +
                                  fingerprint.mid(fingerprint.indexOf('=') + 1).trimmed() + "\n";
        const QByteArray port = QByteArray::number(unusedLoopbackPort());
        const QString serverConfig = writeFile(
            dir, "server.conf",
            "tls-server\nproto tcp-server\nlocal 127.0.0.1\nlport " + port + "\n" + common);
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.start(openVpnProgram(), {"--config", serverConfig});
        QByteArray log;
        while (!log.contains("Listening for incoming TCP connection") &&
               server.waitForReadyRead(10000))
            log += server.readAll();
        if (!log.contains("Listening"))
            return {};
        return writeFile(dir, "client.conf",
                         "tls-client\nproto tcp-client\nremote 127.0.0.1 " + port + "\n" + common);
    }
    ~ConnectedPeers()
    {
        server.kill();
        server.waitForFinished();
    }

private:
    QTemporaryDir dir;
    QProcess server;
};

} // namespace

class TestConsoleProcess : public QObject
{
    Q_OBJECT

private slots:
    void answersReachAProgramAskingOnItsTerminal()
    {
        ConsoleProcess console;
        Transcript out(console);
        QSignalSpy finished(&console, &ConsoleProcess::finished);
        bool allReadBeforeFinished = false;
        connect(&console, &ConsoleProcess::finished, this, [&] {
            allReadBeforeFinished =
                out.text.endsWith("line 300\r\n") && console.bytesAvailable() == 0;
        });
        QVERIFY2(startShell(console, PromptingScript), qPrintable(console.errorString()));

        // Its own session, with the console as the controlling terminal.
        QVERIFY(out.waitFor("Enter Auth Username:"));
        QVERIFY(out.text.endsWith("Enter Auth Username:"));
        QVERIFY2(out.text.startsWith("tty /dev/pts/"), out.text.constData());
        const QString session = QStringLiteral("session %1 of %1\r\n").arg(console.processId());
        QVERIFY2(out.text.contains(session.toUtf8()), out.text.constData());

        QVERIFY(!console.isEchoOff());
        console.write("alice\n");
        QVERIFY(out.waitFor("Enter Auth Password:"));
        QVERIFY(out.text.endsWith("Enter Auth Username:alice\r\nEnter Auth Password:"));
        QTRY_VERIFY(console.isEchoOff());
        console.write(ControlKeyPassword + '\n');
        QVERIFY(out.waitFor("Press Enter:"));
        QVERIFY(!console.isEchoOff());
        // Nothing echoed, every byte delivered as written.
        QVERIFY2(out.text.contains("Enter Auth Password:\r\nuser [alice] password " +
                                   ControlKeyPassword.toHex() + "\r\nPress Enter:"),
                 out.text.constData());
        console.write("\n");

        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 7);
        QCOMPARE(finished.at(0).at(1).value<QProcess::ExitStatus>(), QProcess::NormalExit);
        QVERIFY(allReadBeforeFinished);
        QVERIFY(!console.isRunning());
        QVERIFY(!console.isEchoOff());
        QByteArray lines = "Press Enter:\r\n";
        for (int i = 1; i <= 300; ++i)
            lines += "line " + QByteArray::number(i) + "\r\n";
        QVERIFY(out.text.endsWith(lines));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 1);
    }

    void waitingKeepsAChattyChildGoing()
    {
        // More than the terminal holds: a wait that stopped reading would
        // leave the child blocked on its output.
        ConsoleProcess console;
        Transcript out(console);
        QSignalSpy finished(&console, &ConsoleProcess::finished);
        QVERIFY(startShell(console, "head -c 300000 /dev/zero | tr '\\0' x"));
        QVERIFY(console.waitForFinished(10000));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(out.text.size(), 300000);
        QVERIFY(!console.waitForFinished(100));
    }

    void stopping_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"terminate", "kill", "close", "destroy"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }

    void stopping()
    {
        QFETCH(QString, how);
        auto console = std::make_unique<ConsoleProcess>();
        Transcript out(*console);
        QSignalSpy finished(console.get(), &ConsoleProcess::finished);
        // A helper in the background that survives the terminal's hang-up:
        // only a kill of the whole process group ends it. It names itself
        // once it ignores the hang-up.
        QVERIFY(startShell(*console, "trap 'echo bye; exit 5' TERM; "
                                     "(trap '' HUP; echo \"helper $BASHPID\"; exec sleep 60) & "
                                     "while :; do wait; done"));
        QVERIFY(out.waitFor("\r\n"));
        const qint64 helper = out.text.mid(7).trimmed().toLongLong();
        const qint64 shell = console->processId();
        QVERIFY(helper > 0 && shell > 0);
        auto noStray = qScopeGuard([helper] { ::kill(pid_t(helper), SIGKILL); });

        if (how == "terminate") {
            console->terminate();
        } else if (how == "kill") {
            console->kill();
        } else if (how == "close") {
            console->close();
            QVERIFY(!console->isOpen());
        } else {
            console.reset();
            QVERIFY(processEnded(shell));
            QTRY_VERIFY(processEnded(helper));
            QCOMPARE(finished.count(), 0);
            return;
        }
        QTRY_COMPARE(finished.count(), 1);
        if (how == "terminate") { // the shell's own way out, and only its own
            QCOMPARE(console->exitStatus(), QProcess::NormalExit);
            QCOMPARE(console->exitCode(), 5);
            QVERIFY(out.text.endsWith("bye\r\n"));
            QVERIFY(!processEnded(helper));
        } else {
            QCOMPARE(console->exitStatus(), QProcess::CrashExit);
            QTRY_VERIFY(processEnded(helper));
        }
    }

    // Each step only when the one before has not ended the child: SIGTERM,
    // the terminal's hang-up, SIGKILL.
    void stopTakesTheGentlestWayThatWorks_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("exitCode"); // -1: killed
        // "ready" only once the traps are set: a signal before would find
        // the shell as it started.
        QTest::newRow("heeds SIGTERM")
            << "trap 'exit 5' TERM; echo ready; while :; do sleep 0.1; done" << 5;
        QTest::newRow("deaf at a prompt") << "trap '' TERM HUP; echo ready; read -r _; exit 3" << 3;
        QTest::newRow("deaf to all") << "trap '' TERM HUP; echo ready; exec sleep 60" << -1;
    }

    void stopTakesTheGentlestWayThatWorks()
    {
        QFETCH(QString, script);
        QFETCH(int, exitCode);
        ConsoleProcess console;
        // The wait after SIGTERM is shorter than the product's, still far
        // longer than a shell takes to act on the signal.
        console.setStopGraces(1000, 2000);
        Transcript out(console);
        QSignalSpy finished(&console, &ConsoleProcess::finished);
        QVERIFY(startShell(console, script));
        QVERIFY(out.waitFor("ready\r\n"));
        console.stop();
        console.stop(); // asking again changes nothing
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QCOMPARE(console.exitStatus() == QProcess::CrashExit ? -1 : console.exitCode(), exitCode);
    }

    void aFinishedHandlerMayStartTheNextRun()
    {
        ConsoleProcess console;
        Transcript out(console);
        int runs = 0;
        connect(&console, &ConsoleProcess::finished, this, [&] {
            if (++runs == 1)
                startShell(console, "echo second; read _");
        });
        QVERIFY(startShell(console, "sleep 60"));
        console.close(); // ends the first run, not the one its end started
        QVERIFY(console.isRunning());
        QVERIFY(console.isOpen());
        QVERIFY(out.waitFor("second\r\n"));
        console.write("\n");
        QTRY_COMPARE(runs, 2);
        QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    }

    void failedStartsLeaveNothingBehind_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("workingDirectory");
        QTest::newRow("missing program") << "/nonexistent/program" << QString();
        QTest::newRow("not executable") << "/etc/passwd" << QString();
        QTest::newRow("missing working directory") << "bash"
                                                   << "/nonexistent/directory";
    }

    void failedStartsLeaveNothingBehind()
    {
        QFETCH(QString, program);
        QFETCH(QString, workingDirectory);
        ConsoleProcess console;
        console.setWorkingDirectory(workingDirectory);
        QSignalSpy errors(&console, &ConsoleProcess::errorOccurred);
        QSignalSpy finished(&console, &ConsoleProcess::finished);
        QVERIFY(!console.start(program, {"-c", "true"})); // Qt sets up some descriptors once
        const int descriptors = openDescriptorCount();
        for (int i = 0; i < 3; ++i) {
            QVERIFY(!console.start(program, {"-c", "true"}));
            QVERIFY2(console.errorString().contains(program), qPrintable(console.errorString()));
            QVERIFY(!console.isRunning());
            QVERIFY(!console.isOpen());
            QCOMPARE(console.processId(), 0);
        }
        QCOMPARE(openDescriptorCount(), descriptors);
        QTest::qWait(50);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(errors.count(), 4);
        QCOMPARE(errors.at(0).at(0).value<QProcess::ProcessError>(), QProcess::FailedToStart);
    }

    void descriptorsStayWithTheClient()
    {
        const int stray = ::open("/dev/null", O_RDONLY); // as a library might, without O_CLOEXEC
        auto closeStray = qScopeGuard([stray] { ::close(stray); });
        ConsoleProcess console;
        Transcript out(console);
        QVERIFY(console.start("find", {"/proc/self/fd/", "-mindepth", "1", "-printf", "%f %l\n"}));
        QVERIFY(console.waitForFinished(5000));
        // The terminal three times; beyond that only what find opens itself.
        const QList<QByteArray> lines = out.text.trimmed().split('\n');
        QVERIFY2(lines.size() >= 3 && lines.at(0).startsWith("0 /dev/pts/"), out.text.constData());
        const QByteArray terminal = lines.at(0).mid(2).trimmed();
        QCOMPARE(lines.at(1).trimmed(), "1 " + terminal);
        QCOMPARE(lines.at(2).trimmed(), "2 " + terminal);
        for (const QByteArray &line : lines.mid(3))
            QVERIFY2(!line.contains("/dev/"), out.text.constData());

        // Nor does an unrelated child see the terminal.
        QVERIFY(console.start("sleep", {"5"}));
        QByteArray unrelated;
        QVERIFY(run("find", {"/proc/self/fd/", "-printf", "%l\n"}, &unrelated));
        QVERIFY2(!unrelated.contains("/dev/pts") && !unrelated.contains("ptmx"),
                 unrelated.constData());
    }

    void openVpnAsksOnTheConsole()
    {
        if (openVpnProgram().isEmpty())
            QSKIP("openvpn is not installed");
        QTemporaryDir dir;
        ConsoleProcess console;
        Transcript out(console);
        QSignalSpy finished(&console, &ConsoleProcess::finished);
        QVERIFY(console.start(openVpnProgram(), {"--config", unreachableServerConfig(dir, 1)}));

        QVERIFY2(answerOpenVpn(console, out), out.text.constData());
        const QRegularExpression failure("TCP: connect to .* failed");
        QTRY_VERIFY_WITH_TIMEOUT(failure.match(QString::fromLatin1(out.text)).hasMatch(), 10000);
        QVERIFY(out.text.contains("Enter Auth Username:alice\r\nEnter Auth Password:\r\n"));
        QVERIFY(!out.text.contains("secret"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(console.exitCode(), 1);
        QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    }

    void openVpnIgnoresTerminateOnlyAtAPrompt()
    {
        if (openVpnProgram().isEmpty())
            QSKIP("openvpn is not installed");
        QTemporaryDir dir;
        const QString config = unreachableServerConfig(dir, 60);
        ConsoleProcess console;
        Transcript out(console);
        QSignalSpy finished(&console, &ConsoleProcess::finished);

        QVERIFY(console.start(openVpnProgram(), {"--config", config}));
        QVERIFY(out.waitFor("Enter Auth Username:"));
        console.terminate();
        QTest::qWait(500);
        QVERIFY(console.isRunning());
        console.close();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(console.exitStatus(), QProcess::CrashExit);

        // Waiting to retry, it ends at once and in order.
        out.text.clear();
        QVERIFY(console.start(openVpnProgram(), {"--config", config}));
        QVERIFY2(answerOpenVpn(console, out), out.text.constData());
        QVERIFY(out.waitFor("Restart pause"));
        console.terminate();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 3000);
        QCOMPARE(console.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.exitCode(), 0);
    }

    void orphansEndWithTheirClient_data()
    {
        QTest::addColumn<QString>("child");
        QTest::addColumn<QByteArray>("ready");
        // A hang-up alone does not end OpenVPN once connected: it restarts.
        QTest::newRow("ignoring hang-up") << "shell" << QByteArray("ready");
        QTest::newRow("openvpn at a prompt") << "prompting" << QByteArray("Enter Auth Username:");
        QTest::newRow("openvpn connected")
            << "connected" << QByteArray("Initialization Sequence Completed");
    }

    void orphansEndWithTheirClient()
    {
        QFETCH(QString, child);
        QFETCH(QByteArray, ready);
        QTemporaryDir dir;
        ConnectedPeers peers;
        QStringList command;
        if (child == "shell") {
            command = QStringList{"bash", "-c", "trap '' HUP; echo ready; exec sleep 60"};
        } else {
            if (openVpnProgram().isEmpty())
                QSKIP("openvpn is not installed");
            const QString config =
                child == "connected" ? peers.clientConfig() : unreachableServerConfig(dir, 60);
            if (config.isEmpty())
                QSKIP("no OpenVPN peers on loopback (openssl missing?)");
            command = QStringList{openVpnProgram(), "--config", config};
        }

        // Orphans come to this process, so it learns how they ended.
        QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        auto noLongerReaper = qScopeGuard([] { ::prctl(PR_SET_CHILD_SUBREAPER, 0); });
        QProcess client;
        client.start(QCoreApplication::applicationFilePath(), QStringList{RelayOption} + command);
        QByteArray relayed;
        QVERIFY(QTest::qWaitFor(
            [&] {
                relayed += client.readAllStandardOutput();
                return relayed.contains(ready);
            },
            15000));
        const qint64 pid = relayed.mid(4, relayed.indexOf('\n') - 4).toLongLong();
        QVERIFY(pid > 0);

        int status = 0;
        bool reaped = false;
        auto noStray = qScopeGuard([&] {
            if (!reaped && ::kill(pid_t(pid), SIGKILL) == 0)
                ::waitpid(pid_t(pid), nullptr, 0);
        });
        client.kill();
        QVERIFY(client.waitForFinished());
        reaped =
            QTest::qWaitFor([&] { return ::waitpid(pid_t(pid), &status, WNOHANG) == pid; }, 3000);
        QVERIFY(reaped);
        if (child == "shell")
            QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        else if (child == "connected") // an orderly shutdown, routes restored
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0,
                     qPrintable(QString::number(status)));
    }
};

// The client stand-in for the orphan tests: runs a console child, prints its
// pid, relays its output and stays until it is killed.
static int relayConsole(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList command = app.arguments().mid(2);
    QFile out;
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    ConsoleProcess console;
    QObject::connect(&console, &QIODevice::readyRead, [&] { out.write(console.readAll()); });
    if (!console.start(command.first(), command.mid(1))) {
        out.write(console.errorString().toUtf8());
        return 2;
    }
    out.write("pid " + QByteArray::number(console.processId()) + '\n');
    return app.exec();
}

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], RelayOption) == 0)
        return relayConsole(argc, argv);
    QCoreApplication app(argc, argv);
    TestConsoleProcess test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_consoleprocess.moc"
