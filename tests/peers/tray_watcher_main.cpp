// quillnet_tray_watcher_peer: a private session bus with the tests' stand-in
// for the desktop's StatusNotifierWatcher on it (see TrayWatcherPeer.h), as
// a program of its own for scripts that run the client against a tray that
// is slow or hung.
//
//   quillnet_tray_watcher_peer [--delay MS | --never]
//
// Prints the bus's address on one line of stdout once the watcher owns its
// name, and runs until SIGTERM or SIGINT; the bus goes with it.
#include "TrayWatcherPeer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A stand-in tray watcher on a private bus."));
    parser.addHelpOption();
    const QCommandLineOption delayOption(QStringLiteral("delay"),
                                         QStringLiteral("Answer every call after MS."),
                                         QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption neverOption(QStringLiteral("never"),
                                         QStringLiteral("Never answer a call."));
    parser.addOption(delayOption);
    parser.addOption(neverOption);
    parser.process(app);
    bool ok = false;
    const int delay = parser.value(delayOption).toInt(&ok);
    if (!ok || delay < 0) {
        std::fprintf(stderr, "quillnet_tray_watcher_peer: --delay takes milliseconds\n");
        return 2;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    TrayWatcherPeer watcher;
    watcher.setAnswerDelay(parser.isSet(neverOption) ? TrayWatcherPeer::Never : delay);
    if (!watcher.start()) {
        std::fprintf(stderr, "quillnet_tray_watcher_peer: cannot start the bus\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(watcher.address()));
    std::fflush(stdout);
    return app.exec();
}
