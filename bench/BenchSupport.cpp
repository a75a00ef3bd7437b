#include "BenchSupport.h"

#include "ChildProcess.h"
#include "SystemBusPeer.h"
#include "vpn/TunnelServiceApi.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double elapsedMs(const QElapsedTimer &clock)
{
    return clock.nsecsElapsed() / 1e6;
}

bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    if (!done())
        loop.exec();
    return done();
}

void useSourceTree()
{
    if (qEnvironmentVariableIsEmpty("QUILLNET_SOURCE_DIR"))
        qputenv("QUILLNET_SOURCE_DIR", QUILLNET_SOURCE_TREE);
}

QString sourceTree()
{
    useSourceTree();
    return qEnvironmentVariable("QUILLNET_SOURCE_DIR");
}

QString appFolder()
{
    const QString folder = qEnvironmentVariable("QUILLNET_APP_DIR");
    return folder.isEmpty() ? QStringLiteral(QUILLNET_APP_FOLDER) : folder;
}

bool usePrivateFolders(const QString &base)
{
    const QString config = base + QStringLiteral("/config");
    const QString runtime = base + QStringLiteral("/runtime");
    if (!QDir().mkpath(config) || !QDir().mkpath(runtime) ||
        !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return false;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    return true;
}

bool writeFile(const QString &path, const QByteArray &content, bool executable)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFile::ExeOwner);
}

void printComparison(const char *label, double value, const char *baselineLabel, double baseline,
                     double goal)
{
    std::printf("%s median: %.1f ms\n%s median: %.1f ms\nratio: %.3f (goal: at most %.2f)\n", label,
                value, baselineLabel, baseline, value / baseline, goal);
}

QString memoryFolderTemplate()
{
    return QStringLiteral("/dev/shm/quillnet-bench-XXXXXX");
}

bool startTunnelServiceBus(SystemBusPeer &bus, const QTemporaryDir &memoryFolder)
{
    // The service's folder is in memory as /run is on a real system: a
    // folder on disk would add a disk flush to every tunnel start.
    const QString runFolder = memoryFolder.filePath(QStringLiteral("tunneld"));
    const QString source = sourceTree() + QStringLiteral("/resources/tunneld/");
    if (!bus.start({source + QStringLiteral("net.quillnet.Tunnel.conf")}) ||
        !bus.addActivatableService(source + QStringLiteral("net.quillnet.Tunnel.service"),
                                   QStringLiteral("%1/quillnet-tunneld --idle-seconds 1 "
                                                  "--run-folder %2")
                                       .arg(appFolder(), runFolder))) {
        std::fprintf(stderr, "bus: %s\n", qPrintable(bus.errorString()));
        return false;
    }
    return true;
}

bool tunnelServiceRuns()
{
    return QDBusConnection::systemBus().interface()->isServiceRegistered(
        QLatin1String(TunnelServiceApi::Service));
}

BareOpenVpn::BareOpenVpn(const QString &config, const QString &authFile)
{
    openvpn.setProcessChannelMode(QProcess::MergedChannels);
    openvpn.start(QStringLiteral("openvpn"), {QStringLiteral("--config"), config,
                                              QStringLiteral("--auth-user-pass"), authFile});
}

BareOpenVpn::~BareOpenVpn()
{
    stop();
}

bool BareOpenVpn::waitUntilUp(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray output;
    while (clock.elapsed() < timeoutMs &&
           openvpn.waitForReadyRead(timeoutMs - int(clock.elapsed()))) {
        output += openvpn.readAll();
        if (output.contains("Initialization Sequence Completed"))
            return true;
    }
    return false;
}

void BareOpenVpn::stop()
{
    stopChildProcess(openvpn);
}
