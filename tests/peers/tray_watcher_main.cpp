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
#include "platform/TerminationSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

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

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, &QCoreApplication::quit);

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
