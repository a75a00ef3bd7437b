// Time from the start of the client's process to its login dialog being on
// the screen, side by side with a program that shows one empty dialog
// (minimal_dialog), plus the peak memory of both. Runs alternate between the
// two; the result is the ratio of the medians. The same dialog with one line
// of text runs alongside for reference: loading the fonts is a cost the
// empty dialog never pays and no window with words in it can avoid.
//
// Both run on a private Xvfb screen without a window manager, so a window
// is shown the moment the X server maps it; the benchmark watches the root
// window and takes the time when the server reports the map of the window
// with the program's title. This needs nothing from the programs themselves.
// Each program then runs on for a moment (the client's update check fails
// at once against a closed port), its peak memory (VmHWM) is read, and it is
// ended with SIGTERM; the client must then shut down orderly.
//
// The client runs from its app folder with settings, runtime folder,
// instance lock and deployment of its own, no session bus and no proxy.
//
// Usage: startup_bench [runs]   (default 20 of each)
#include "BenchSupport.h"
#include "ChildProcess.h"
#include "XScreen.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

const int TimeoutMs = 30000;
const int SettleMs = 500;

struct Program
{
    QString path;
    QString folder;
    QByteArray title;
    bool endsOrderly;
    QStringList arguments = {};
};

struct Start
{
    double shownMs = -1;
    double peakKb = -1;
};

double peakMemoryKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
    }
    return -1;
}

// The environment both programs run in: this private screen and folders.
QProcessEnvironment environment(const XScreen &screen, const QString &work, quint16 closedPort)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"WAYLAND_DISPLAY", "https_proxy", "HTTPS_PROXY", "http_proxy",
                             "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), screen.display());
    env.insert(QStringLiteral("XAUTHORITY"), screen.authorityFile());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + work + QStringLiteral("/no-session-bus"));
    env.insert(QStringLiteral("QUILLNET_INSTANCE_LOCK"), work + QStringLiteral("/instance.lock"));
    const QString deployment = work + QStringLiteral("/deployment.ini");
    writeFile(deployment, QStringLiteral("service_host = 127.0.0.1\nservice_https_port = %1\n"
                                         "service_http_port = %1\n")
                              .arg(closedPort)
                              .toUtf8());
    env.insert(QStringLiteral("QUILLNET_DEPLOYMENT"), deployment);
    return env;
}

Start startOnce(XScreen &screen, const Program &program, const QProcessEnvironment &env,
                const QString &log)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(program.folder);
    process.setStandardOutputFile(log, QIODevice::Append);
    process.setStandardErrorFile(log, QIODevice::Append);
    screen.discardEvents();
    QElapsedTimer clock;
    clock.start();
    process.start(program.path, program.arguments);
    Start result;
    result.shownMs = screen.waitForWindow(program.title, process, clock, TimeoutMs);
    if (result.shownMs >= 0) {
        QThread::msleep(SettleMs);
        result.peakKb = peakMemoryKb(process.processId());
    }
    stopChildProcess(process);
    if (program.endsOrderly &&
        (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)) {
        std::fprintf(stderr, "%s did not end orderly on SIGTERM (status %d)\n",
                     qPrintable(program.path), process.exitCode());
        result.shownMs = -1;
    }
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? atoi(argv[1]) : 20;
    const Program client{appFolder() + QStringLiteral("/quillnet"), appFolder(), "Quillnet 2.0",
                         true};
    const Program minimal{QCoreApplication::applicationDirPath() +
                              QStringLiteral("/minimal_dialog"),
                          QCoreApplication::applicationDirPath(), "Minimal dialog", false};
    Program minimalWithText = minimal;
    minimalWithText.arguments = {QStringLiteral("--text")};
    QTemporaryDir work;
    // Bound but never listening: connections to its port are refused.
    QTcpSocket closed;
    XScreen screen;
    if (!work.isValid() || !usePrivateFolders(work.path()) ||
        !closed.bind(QHostAddress::LocalHost)) {
        std::fprintf(stderr, "cannot prepare a private work folder and a closed port\n");
        return 1;
    }
    if (!screen.start(work.path())) {
        std::fprintf(stderr, "%s\n", qPrintable(screen.errorString()));
        return 1;
    }
    const QProcessEnvironment env = environment(screen, work.path(), closed.localPort());
    const QString log = work.path() + QStringLiteral("/programs.log");

    QList<double> clientMs, minimalMs, textMs, clientKb, minimalKb;
    for (int i = 0; i < runs; ++i) {
        const Start a = startOnce(screen, client, env, log);
        const Start b = a.shownMs < 0 ? Start() : startOnce(screen, minimal, env, log);
        const Start c = b.shownMs < 0 ? Start() : startOnce(screen, minimalWithText, env, log);
        if (c.shownMs < 0) {
            std::fprintf(stderr, "run %d: no window shown; the programs said:\n", i + 1);
            QFile output(log);
            if (output.open(QIODevice::ReadOnly))
                std::fprintf(stderr, "%s\n", output.readAll().right(2000).constData());
            break;
        }
        clientMs << a.shownMs;
        minimalMs << b.shownMs;
        textMs << c.shownMs;
        clientKb << a.peakKb;
        minimalKb << b.peakKb;
    }
    screen.stop();
    if (clientMs.size() < runs)
        return 1;

    std::printf("runs: %d of each\n", runs);
    printComparison("client start to login dialog shown", median(clientMs),
                    "minimal dialog start to shown", median(minimalMs), 1.25);
    std::printf("minimal dialog with one line of text median: %.1f ms (client %.3f of it)\n",
                median(textMs), median(clientMs) / median(textMs));
    std::printf("peak memory (VmHWM) median: client %.0f kB, minimal dialog %.0f kB (%.2f times; "
                "goal: at most 1.4)\n",
                median(clientKb), median(minimalKb), median(clientKb) / median(minimalKb));
    return 0;
}
