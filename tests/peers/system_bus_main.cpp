// quillnet_system_bus_peer: the private system-like bus of the tests as a
// program of its own, for scripts (the demo) that want the tunnel service
// activated as the installed package has it. Polkit's stand-in on it says
// yes to everything but the action given with --refuse-action, which it
// grants root alone, as polkit does. With --resolved, a stand-in for
// systemd-resolved is on it too, appending the calls it accepted to FILE,
// one line each (see ResolvedStandIn.h).
//
//   quillnet_system_bus_peer [--service FILE --exec COMMAND] [--resolved FILE]
//                            [--refuse-action ACTION] POLICY...
//
// Prints the bus's address on one line of stdout once the bus and the
// stand-in are ready, and runs until SIGTERM or SIGINT; the bus and its
// folder go with it. A service the bus activated outlives it: stop it
// first (its clients gone, it ends after its idle time).
#include "SystemBusPeer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// Only a write is safe here; the event loop does the rest.
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
    parser.setApplicationDescription(
        QStringLiteral("A private bus configured like the system bus, polkit answering yes."));
    parser.addHelpOption();
    const QCommandLineOption serviceOption(QStringLiteral("service"),
                                           QStringLiteral("An activation file to install."),
                                           QStringLiteral("file"));
    const QCommandLineOption execOption(QStringLiteral("exec"),
                                        QStringLiteral("The Exec line the service gets instead."),
                                        QStringLiteral("command"));
    const QCommandLineOption resolvedOption(
        QStringLiteral("resolved"),
        QStringLiteral("Stand in for systemd-resolved, recording its calls in a file."),
        QStringLiteral("file"));
    const QCommandLineOption refuseOption(
        QStringLiteral("refuse-action"),
        QStringLiteral("A polkit action refused to everyone but root (an administrator's, say)."),
        QStringLiteral("action"));
    parser.addOption(refuseOption);
    parser.addOption(serviceOption);
    parser.addOption(resolvedOption);
    parser.addOption(execOption);
    parser.addPositionalArgument(QStringLiteral("policy"), QStringLiteral("Bus policy files."));
    parser.process(app);
    if (parser.isSet(serviceOption) != parser.isSet(execOption)) {
        std::fprintf(stderr, "quillnet_system_bus_peer: --service and --exec go together\n");
        return 2;
    }

    // Set up before the bus starts, so that a signal during the start is
    // not lost. Handlers do not survive exec: the bus gets the defaults.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    SystemBusPeer bus;
    if (!bus.start(parser.positionalArguments())) {
        std::fprintf(stderr, "quillnet_system_bus_peer: %s\n", qPrintable(bus.errorString()));
        return 1;
    }
    bus.setRefusedAction(parser.value(refuseOption));
    if (parser.isSet(serviceOption) &&
        !bus.addActivatableService(parser.value(serviceOption), parser.value(execOption))) {
        std::fprintf(stderr, "quillnet_system_bus_peer: cannot install %s\n",
                     qPrintable(parser.value(serviceOption)));
        return 1;
    }
    if (parser.isSet(resolvedOption) && !bus.standInForResolved(parser.value(resolvedOption))) {
        std::fprintf(stderr, "quillnet_system_bus_peer: cannot stand in for systemd-resolved\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(bus.address()));
    std::fflush(stdout);
    return app.exec();
}
