// Time from start() to "Connected" through the client's tunnel controller,
// side by side with OpenVPN started directly on the same configuration
// with its credentials in a file. Runs alternate between the sides so that
// all see the same machine; the results are ratios of the medians.
//
// The controller runs in both of the client's modes against the same
// server: OpenVPN on a terminal of this process (direct), and OpenVPN run
// by the tunnel service, activated on a private bus configured like the
// system bus with the shipped policy, polkit's stand-in saying yes. The
// service is measured both as a login usually finds it, not running (the
// bus activates it for the start), and already running (a reconnect within
// its idle time).
//
// Usage (root): vpn_connect_bench [runs]   (default 20 of each)
#include "BenchSupport.h"
#include "OpenVpnServerPeer.h"
#include "SystemBusPeer.h"
#include "core/ApplicationNames.h"
#include "vpn/LocalConsole.h"
#include "vpn/ServiceConsole.h"
#include "vpn/TunnelFiles.h"
#include "vpn/VPNConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

const int TimeoutMs = 30000;

// One connection through VPNConnection on `console`; milliseconds, or -1.
double throughTheClient(TunnelConsole *console)
{
    VPNConnection vpn(console);
    vpn.setCredentials(QStringLiteral("alice"), QStringLiteral("secret1"));
    vpn.setConfig(QLatin1String(TunnelFiles::ConfigFile));
    QEventLoop loop;
    bool connected = false;
    QObject::connect(&vpn, &VPNConnection::statusChanged, &loop, [&](CnnStatus status) {
        if (status == Connected) {
            connected = true;
            loop.quit();
        }
    });
    QTimer::singleShot(TimeoutMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    vpn.start();
    loop.exec();
    const double elapsed = elapsedMs(clock);
    vpn.stop(true);
    return connected ? elapsed : -1;
}

// One connection of OpenVPN on its own, credentials from a file.
double bareOpenVpn()
{
    QElapsedTimer clock;
    clock.start();
    BareOpenVpn openvpn(QLatin1String(TunnelFiles::ConfigFile), QStringLiteral("auth.txt"));
    return openvpn.waitUntilUp(TimeoutMs) ? elapsedMs(clock) : -1;
}

struct Side
{
    const char *label;
    std::function<double()> run;
    QList<double> times;
};

} // namespace

int main(int argc, char *argv[])
{
    useSourceTree();
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? atoi(argv[1]) : 20;
    if (!OpenVpnServerPeer::isAvailable() || !SystemBusPeer::isAvailable()) {
        std::fprintf(stderr, "needs root, network namespaces, openvpn and dbus-daemon\n");
        return 2;
    }
    QTemporaryDir serverDir;
    OpenVpnServerPeer server;
    if (!server.start(serverDir.path())) {
        std::fprintf(stderr, "server: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QTemporaryDir work;
    SystemBusPeer bus;
    QTemporaryDir memoryFolder(memoryFolderTemplate());
    if (!startTunnelServiceBus(bus, memoryFolder))
        return 1;
    QDir::setCurrent(work.path());
    setApplicationNames();
    QString location;
    TunnelFiles::write(server.configBody(), work.path(), &location);
    writeFile(QStringLiteral("auth.txt"), "alice\nsecret1\n");

    // In this order: the activated service needs the one before it to have
    // ended, the running one comes right after it.
    Side sides[] = {
        {"through the service, activated",
         [] {
             if (!runUntil([] { return !tunnelServiceRuns(); }, TimeoutMs))
                 return -1.0;
             return throughTheClient(new ServiceConsole);
         },
         {}},
        {"through the service, running",
         [] { return tunnelServiceRuns() ? throughTheClient(new ServiceConsole) : -1; },
         {}},
        {"direct", [] { return throughTheClient(new LocalConsole); }, {}},
        {"bare openvpn", bareOpenVpn, {}},
    };
    for (int i = 0; i < runs; ++i) {
        for (Side &side : sides) {
            const double ms = side.run();
            if (ms < 0) {
                std::fprintf(stderr, "run %d %s did not connect\n", i + 1, side.label);
                return 1;
            }
            side.times << ms;
        }
    }
    const double activated = median(sides[0].times);
    const double running = median(sides[1].times);
    const double direct = median(sides[2].times);
    std::printf("runs: %d of each\n", runs);
    printComparison("VPNConnection direct", direct, "bare openvpn", median(sides[3].times), 1.15);
    printComparison("VPNConnection through the service (activated)", activated,
                    "VPNConnection direct", direct, 1.1);
    std::printf("VPNConnection through the service (running) median: %.1f ms (%.3f of direct)\n",
                running, running / direct);
    return 0;
}
