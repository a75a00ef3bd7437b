// quillnet-tunneld: the privileged tunnel service. Started by the system
// bus when a client first calls it; runs OpenVPN for polkit-authorised
// callers and ends once it has been idle for a while. With --recover it
// only undoes what a tunnel left behind (at boot after a power loss, and
// when the package is removed) and exits.
#include "protection/TunnelProtection.h"
#include "tunneld/TunnelService.h"
#include "vpn/TunnelServiceApi.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <malloc.h>

namespace {

constexpr int DefaultIdleSeconds = 30;
constexpr char DefaultRunFolder[] = "/run/quillnet-tunneld";

// Folders of runs of an instance that ended without cleaning up (killed,
// or the machine's service manager stopped it hard). None can be in use:
// only the owner of the bus name runs tunnels, and that is this instance.
void removeStaleRuns(const QString &runFolder)
{
    const QDir base(runFolder);
    const QStringList stale = base.entryList({QStringLiteral("run-*")}, QDir::Dirs | QDir::Hidden);
    for (const QString &name : stale)
        QDir(base.filePath(name)).removeRecursively();
}

// The folder of the markers that must outlive the service and the machine's
// run time: systemd's StateDirectory= where there is one.
QString defaultStateFolder(const QString &runFolder)
{
    const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    return QDir::isAbsolutePath(state) ? state : runFolder + QStringLiteral("/state");
}

int recover(const QString &stateFolder)
{
    // No bus: at boot there is none yet, and undoing needs none.
    TunnelProtection protection(QDBusConnection(QStringLiteral("none")),
                                {.stateFolder = stateFolder});
    QObject::connect(&protection, &TunnelProtection::note,
                     [](const QString &line) { qInfo("quillnet-tunneld: %s", qPrintable(line)); });
    QObject::connect(&protection, &TunnelProtection::released, qApp, &QCoreApplication::quit);
    protection.release();
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillnet-tunneld"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs OpenVPN for Quillnet's clients."));
    parser.addHelpOption();
    const QCommandLineOption idleOption(
        QStringLiteral("idle-seconds"), QStringLiteral("Exit after this long without a tunnel."),
        QStringLiteral("seconds"), QString::number(DefaultIdleSeconds));
    const QCommandLineOption folderOption(
        QStringLiteral("run-folder"), QStringLiteral("Where the runs' files are kept."),
        QStringLiteral("folder"), QLatin1String(DefaultRunFolder));
    const QCommandLineOption stateOption(
        QStringLiteral("state-folder"),
        QStringLiteral("Where the markers of what is to be undone after a crash are kept."),
        QStringLiteral("folder"));
    const QCommandLineOption recoverOption(
        QStringLiteral("recover"),
        QStringLiteral("Lift a block and put back a resolver file that a tunnel left, then exit."));
    parser.addOption(idleOption);
    parser.addOption(folderOption);
    parser.addOption(stateOption);
    parser.addOption(recoverOption);
    parser.process(app);
    bool ok = false;
    const int idleSeconds = parser.value(idleOption).toInt(&ok);
    const QString stateFolder = parser.isSet(stateOption)
                                    ? parser.value(stateOption)
                                    : defaultStateFolder(parser.value(folderOption));
    if (!ok || idleSeconds < 1 || !QDir::isAbsolutePath(parser.value(folderOption)) ||
        !QDir::isAbsolutePath(stateFolder)) {
        qCritical("quillnet-tunneld: --idle-seconds wants a positive number, --run-folder and "
                  "--state-folder an absolute path");
        return 2;
    }
    if (parser.isSet(recoverOption))
        return recover(stateFolder);

    // Every call is read whole before it can be judged, and anyone on the
    // system bus may send calls of the bus's limit (32 MiB). glibc would
    // raise its mmap threshold once the first such buffer is freed and keep
    // the next ones in the heap for good; fixed, each goes back to the
    // system as soon as its call is refused.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    QDBusConnection bus = QDBusConnection::systemBus();
    TunnelService service(bus, parser.value(folderOption), stateFolder, idleSeconds * 1000);
    if (!bus.isConnected() || !service.publish()) {
        qCritical("quillnet-tunneld: cannot own the bus name: %s",
                  qPrintable(bus.lastError().message()));
        return 1;
    }
    removeStaleRuns(parser.value(folderOption));
    // A resolver file the last instance replaced and could not restore (it
    // was killed, or the machine went down): restored now. A block it left
    // stays until a client logs out; that is what a block is for.
    const QString recovered = TunnelProtection::recoverAfterCrash({.stateFolder = stateFolder});
    if (!recovered.isEmpty())
        qInfo("quillnet-tunneld: %s", qPrintable(recovered));
    QObject::connect(&service, &TunnelService::idle, &app, [&] {
        // Released before the exit, so a call that comes now starts a new
        // instance rather than reaching one on its way out.
        bus.unregisterService(QLatin1String(TunnelServiceApi::Service));
        app.quit();
    });
    return app.exec();
}
