// The client's tunnel through the tunnel service, as a program of its own
// so that the tests can run it as an ordinary user: VPNConnection on a
// ServiceConsole, started on "quillnet.ovpn" in the working directory.
// With --direct it runs OpenVPN itself (LocalConsole), as the client does
// in direct mode; that needs CAP_NET_ADMIN. With --block nothing but the
// tunnel gets out until "stop" (the user's log-out); --local-network lets
// the machine's own subnets through it. With --quit it starts nothing and
// quits at once, as a user who quits at the login window.
//   tunnel_client [--direct] [--block] [--local-network] [--sign-in-seconds N]
//                 [--sign-in-hint-ms N] [--quit] <user> <password>
// Prints "status <state> <text>", "error <text>", "adapter <device>" and
// "sign-in none|needed|open" lines (line breaks in texts as "|"). Commands
// on standard input: "reconnect", "suspend" and "resume" (the machine's
// sleep), "sign-in" (the user's click on the sign-in hint), and "stop",
// which stops the tunnel and ends the program once it is down again (at
// once when it is down already).
#include "vpn/LocalConsole.h"
#include "vpn/ServiceConsole.h"
#include "vpn/TunnelFiles.h"
#include "vpn/VPNConnection.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString &line)
{
    QString flat = line;
    std::printf("%s\n", qPrintable(flat.replace(QLatin1Char('\n'), QLatin1Char('|'))));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool direct = arguments.removeAll(QStringLiteral("--direct")) > 0;
    const bool block = arguments.removeAll(QStringLiteral("--block")) > 0;
    const bool quit = arguments.removeAll(QStringLiteral("--quit")) > 0;
    const bool localNetwork = arguments.removeAll(QStringLiteral("--local-network")) > 0;
    const auto number = [&arguments](const QString &option, int otherwise) {
        const qsizetype at = arguments.indexOf(option);
        if (at < 0 || at + 1 >= arguments.size())
            return otherwise;
        const int value = arguments.at(at + 1).toInt();
        arguments.remove(at, 2);
        return value;
    };
    const int signInSeconds =
        number(QStringLiteral("--sign-in-seconds"), VPNConnection::SignInSeconds);
    const int signInHintMs =
        number(QStringLiteral("--sign-in-hint-ms"), VPNConnection::SignInHintMs);
    if (arguments.size() != 2)
        return 2;
    VPNConnection vpn(direct ? static_cast<TunnelConsole *>(new LocalConsole) : new ServiceConsole);
    vpn.setSignInTimes(signInHintMs, signInSeconds);
    QObject::connect(&vpn, &VPNConnection::signInChanged, &app, [](Tunnel::SignIn state) {
        static const char *const names[] = {"none", "needed", "open"};
        say(QStringLiteral("sign-in ") + QLatin1String(names[int(state)]));
    });
    bool stopping = false;
    QObject::connect(&vpn, &VPNConnection::statusChanged, &app,
                     [&](CnnStatus status, const QString &text) {
                         say(QStringLiteral("status %1 %2").arg(int(status)).arg(text));
                         if (status == Connected)
                             say(QStringLiteral("adapter ") + vpn.getAdapterGuid());
                         if (status == Disconnected && stopping)
                             app.quit();
                     });
    QObject::connect(&vpn, &VPNConnection::error, &app,
                     [](const QString &text) { say(QStringLiteral("error ") + text); });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        const ssize_t size = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (size <= 0)
            input.setEnabled(false);
        const QByteArray command = size > 0 ? QByteArray(buffer, int(size)).trimmed() : "stop";
        if (command == "reconnect")
            vpn.reconnect();
        else if (command == "suspend")
            vpn.systemSuspending();
        else if (command == "resume")
            vpn.systemResumed();
        else if (command == "sign-in")
            vpn.openForSignIn();
        if (command == "stop") {
            stopping = true;
            // A tunnel that died by itself reports no further change; its
            // protection goes all the same, before the program ends.
            const bool down = vpn.getStatus() == Disconnected;
            vpn.stop(false);
            if (down)
                app.quit();
        }
    });
    vpn.setConfig(QLatin1String(TunnelFiles::ConfigFile));
    vpn.setCredentials(arguments.at(0), arguments.at(1));
    vpn.setBlockOutsideTunnel(block);
    vpn.setAllowLocalNetwork(localNetwork);
    if (quit) {
        vpn.stop(false);
        return 0;
    }
    vpn.start();
    return app.exec();
}
