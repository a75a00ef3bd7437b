// Time from pressing the login button of the real login dialog to the tunnel
// being up ("Connected") and to the main window being shown (the account
// data loaded: the whole login), side by side with the least a login costs:
// curl fetching the same configuration, the files written as the client
// writes them, and OpenVPN on its own until its tunnel is up. Runs alternate
// between the two so that both see the same machine; the result is the ratio
// of the medians.
//
// The client logs in in both of its modes: OpenVPN on a terminal of this
// process (direct), and OpenVPN run by the tunnel service, which the bus
// activates for the start as a login usually finds it not running (a
// private bus configured like the system bus with the shipped policy,
// polkit's stand-in saying yes). Their "Connected" times are compared too.
//
// Against the local test service and a real OpenVPN server in a network
// namespace. The adapter tool is a script that does nothing, which is what
// switching the adapter amounts to on Linux.
//
// Usage (root): login_bench [runs]   (default 20 of each)
#include "BenchSupport.h"
#include "LoginDriver.h"
#include "OpenVpnServerPeer.h"
#include "ServicePeer.h"
#include "SystemBusPeer.h"
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "ui/tray/TrayWidget.h"
#include "vpn/LocalConsole.h"
#include "vpn/ServiceConsole.h"
#include "vpn/TunnelFiles.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QResource>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

const int TimeoutMs = 30000;
const char User[] = "demo";
const char Password[] = "demo123";

// curl, the tunnel files and OpenVPN alone; milliseconds, or -1.
double floorLogin(quint16 httpsPort)
{
    QElapsedTimer clock;
    clock.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-sS"), QStringLiteral("--noproxy"), QStringLiteral("*"),
                QStringLiteral("--cacert"),
                sourceTree() + QStringLiteral("/resources/data/server.crt"),
                QStringLiteral("https://127.0.0.1:%1/server/config.php?login=%2&heslo=%3")
                    .arg(httpsPort)
                    .arg(QLatin1String(User), QLatin1String(Password))});
    if (!curl.waitForFinished(TimeoutMs) || curl.exitStatus() != QProcess::NormalExit ||
        curl.exitCode() != 0)
        return -1;
    QString location;
    if (!TunnelFiles::write(curl.readAllStandardOutput().trimmed(), QDir::currentPath(), &location))
        return -1;
    BareOpenVpn openvpn(QLatin1String(TunnelFiles::ConfigFile), QStringLiteral("auth.txt"));
    return openvpn.waitUntilUp(TimeoutMs) ? elapsedMs(clock) : -1;
}

bool clientLogin(LoginDriver &driver, LoginDriver::Times &times)
{
    if (!driver.openDialog(TimeoutMs)) {
        std::fprintf(stderr, "the login dialog did not finish its update check\n");
        return false;
    }
    times = driver.logIn(QLatin1String(User), QLatin1String(Password), TimeoutMs);
    if (times.mainWindowShown < 0)
        std::fprintf(stderr, "no login through the dialog: %s\n", qPrintable(driver.attention()));
    if (!driver.logOutAndClose(TimeoutMs)) {
        std::fprintf(stderr, "the client did not log out\n");
        return false;
    }
    return times.mainWindowShown >= 0;
}

// The service hands out the server's configuration to the account.
bool startPeers(OpenVpnServerPeer &server, const QString &serverDir, ServicePeer &service)
{
    if (!server.start(serverDir,
                      {QStringLiteral("--users"),
                       QLatin1String(User) + QLatin1Char(':') + QLatin1String(Password)})) {
        std::fprintf(stderr, "VPN server: %s\n", qPrintable(server.errorString()));
        return false;
    }
    const QString body = serverDir + QStringLiteral("/service-config.txt");
    if (!writeFile(body, server.configBody()) ||
        !service.start({QStringLiteral("--config-template"), body})) {
        std::fprintf(stderr, "service: %s\n", qPrintable(service.errorString()));
        return false;
    }
    // As HTTP/1.1 servers do, the service keeps a connection open after an
    // answer: the account requests after Connected may then share one.
    service.control(QStringLiteral("/_control/keep-alive?on=1"));
    return true;
}

// The working directory as the app folder: the adapter tool, the
// credentials of the baseline, and the pictures of the real app folder.
bool prepareWorkFolder(const QString &folder)
{
    QDir::setCurrent(folder);
    QResource::registerResource(appFolder() + QStringLiteral("/graphics.rcc"));
    const QByteArray credentials = QByteArray(User) + '\n' + Password + '\n';
    return QDir().mkpath(QStringLiteral("adapter")) &&
           writeFile(QStringLiteral("adapter/tapinstall"), "#!/bin/sh\nexit 0\n", true) &&
           writeFile(QStringLiteral("auth.txt"), credentials);
}

// The process-wide tunnel controller and tray of one of the client's modes,
// with the driver of its logins; made current before each of its logins.
class ClientMode
{
public:
    explicit ClientMode(TunnelConsole *console)
        : vpn(new VPNConnection(console)), tray(new TrayWidget(vpn)),
          driver(std::make_unique<LoginDriver>(vpn, tray))
    {
        tray->appear();
    }

    ~ClientMode()
    {
        driver.reset();
        delete tray;
        delete vpn;
    }

    bool logIn(LoginDriver::Times &times) { return clientLogin(*driver, times); }

private:
    VPNConnection *vpn;
    TrayWidget *tray;
    std::unique_ptr<LoginDriver> driver;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    useSourceTree();
    QTemporaryDir work;
    if (!work.isValid() || !usePrivateFolders(work.path())) {
        std::fprintf(stderr, "cannot make a private work folder\n");
        return 1;
    }
    QApplication app(argc, argv);
    const int runs = argc > 1 ? atoi(argv[1]) : 20;
    if (!OpenVpnServerPeer::isAvailable()) {
        std::fprintf(stderr, "needs root, network namespaces and openvpn\n");
        return 2;
    }
    QTemporaryDir serverDir;
    OpenVpnServerPeer server;
    ServicePeer service;
    SystemBusPeer bus;
    QTemporaryDir memoryFolder(memoryFolderTemplate());
    if (!startPeers(server, serverDir.path(), service) || !prepareWorkFolder(work.path()) ||
        !startTunnelServiceBus(bus, memoryFolder))
        return 1;
    qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(service.deploymentFile()));
    for (const char *name :
         {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(name);

    setApplicationNames();
    // The tunnels run in this machine's own network namespace, which a block
    // outside them would shut off for everything else.
    QSettings().setValue(QLatin1String(SettingsKey::BlockOutsideTunnel), false);
    QList<double> connected, shown, floor, serviceConnected;
    {
        ClientMode direct(new LocalConsole);
        ClientMode throughService(new ServiceConsole);
        for (int i = 0; i < runs && connected.size() == i; ++i) {
            LoginDriver::Times times, serviceTimes;
            // Untimed: the service of the last run has ended.
            const bool loggedIn = runUntil([] { return !tunnelServiceRuns(); }, TimeoutMs) &&
                                  throughService.logIn(serviceTimes) && direct.logIn(times);
            const double bare = loggedIn ? floorLogin(service.httpsPort()) : -1;
            if (bare < 0) {
                std::fprintf(stderr, "run %d did not connect\n", i + 1);
                break;
            }
            connected << times.connected;
            shown << times.mainWindowShown;
            floor << bare;
            serviceConnected << serviceTimes.connected;
        }
    }
    if (connected.size() < runs)
        return 1;

    std::printf("runs: %d of each\nlogin to Connected median: %.1f ms (%.3f of the floor)\n", runs,
                median(connected), median(connected) / median(floor));
    printComparison("login to main window", median(shown), "floor (curl + bare openvpn)",
                    median(floor), 1.2);
    printComparison("login to Connected through the tunnel service", median(serviceConnected),
                    "login to Connected direct", median(connected), 1.1);
    return 0;
}
