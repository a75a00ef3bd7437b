// The client's tunnel through the tunnel service, as a program of its own
// so that the tests can run it as an ordinary user: VPNConnection on a
// ServiceConsole, started on "quillnet.ovpn" in the working directory.
// With --direct it runs OpenVPN itself (LocalConsole), as the client does
// in direct mode; that needs CAP_NET_ADMIN. With --block nothing but the
// tunnel gets out until "stop" (the user's log-out). With --quit it starts
// nothing and quits at once, as a user who quits at the login window.
//   tunnel_client [--direct] [--block] [--quit] <user> <password>
// Prints "status <state> <text>", "error <text>" and "adapter <device>"
// lines (line breaks in texts as "|"). Commands on standard input:
// "reconnect", "suspend" and "resume" (the machine's sleep), and "stop",
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
    if (arguments.size() != 2)
        return 2;
    VPNConnection vpn(direct ? static_cast<TunnelConsole *>(new LocalConsole) : new ServiceConsole);
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
    if (quit) {
        vpn.stop(false);
        return 0;
    }
    vpn.start();
    return app.exec();
}
