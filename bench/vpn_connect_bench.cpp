// Time from start() to "Connected" through the client's tunnel controller,
// side by side with OpenVPN started directly on the same configuration
// with its credentials in a file. Runs alternate between the two so that
// both see the same machine; the result is the ratio of the medians.
//
// Usage (root): vpn_connect_bench [runs]   (default 20 of each)
#include "BenchSupport.h"
#include "OpenVpnServerPeer.h"
#include "core/ApplicationNames.h"
#include "vpn/TunnelFiles.h"
#include "vpn/VPNConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

const int TimeoutMs = 30000;

// One connection through VPNConnection; milliseconds, or -1.
double throughTheClient()
{
    VPNConnection vpn;
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

} // namespace

int main(int argc, char *argv[])
{
    useSourceTree();
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? atoi(argv[1]) : 20;
    if (!OpenVpnServerPeer::isAvailable()) {
        std::fprintf(stderr, "needs root, network namespaces and openvpn\n");
        return 2;
    }
    QTemporaryDir serverDir;
    OpenVpnServerPeer server;
    if (!server.start(serverDir.path())) {
        std::fprintf(stderr, "server: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    setApplicationNames();
    QString location;
    TunnelFiles::write(server.configBody(), work.path(), &location);
    writeFile(QStringLiteral("auth.txt"), "alice\nsecret1\n");

    QList<double> client, bare;
    for (int i = 0; i < runs; ++i) {
        const double a = throughTheClient();
        const double b = bareOpenVpn();
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "run %d did not connect\n", i + 1);
            return 1;
        }
        client << a;
        bare << b;
    }
    std::printf("runs: %d of each\n", runs);
    printComparison("VPNConnection", median(client), "bare openvpn", median(bare), 1.2);
    return 0;
}
