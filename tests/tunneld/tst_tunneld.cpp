// The privileged tunnel service as the installed package runs it: started
// by activation on a bus configured like the system bus with the shipped
// policy, asking a polkit stand-in, running the real OpenVPN against a real
// server in a namespace. The client runs as an ordinary user.
#include "OpenVpnServerPeer.h"
#include "SystemBusPeer.h"
#include "vpn/ServiceConsole.h"
#include "vpn/TunnelConfigCheck.h"
#include "vpn/TunnelFiles.h"
#include "vpn/TunnelServiceApi.h"
#include "vpn/VPNConnection.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace Api = TunnelServiceApi;

namespace {

QString source(const char *path)
{
    return qEnvironmentVariable("QUILLNET_SOURCE_DIR") + QLatin1Char('/') + QLatin1String(path);
}

bool deviceExists(const QString &device)
{
    return !device.isEmpty() && QFile::exists(QStringLiteral("/sys/class/net/") + device);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// OpenVPN processes whose command line names `folder`: the service's runs.
QList<pid_t> openVpnIn(const QString &folder)
{
    QList<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid || readFile(QStringLiteral("/proc/%1/comm").arg(entry)).trimmed() != "openvpn")
            continue;
        if (readFile(QStringLiteral("/proc/%1/cmdline").arg(entry)).contains(folder.toUtf8()))
            found << pid;
    }
    return found;
}

// A process's memory in KiB: `field` VmHWM (the most it has held) or VmRSS.
qint64 memoryKiB(uint pid, const QByteArray &field)
{
    const QByteArray status = readFile(QStringLiteral("/proc/%1/status").arg(pid));
    const int at = status.indexOf('\n' + field + ':');
    if (at < 0)
        return -1;
    const int from = at + field.size() + 2;
    return status.mid(from, status.indexOf('\n', from) - from)
        .trimmed()
        .split(' ')
        .first()
        .toLongLong();
}

QDBusMessage call(const QString &method, const QVariantList &arguments = {},
                  const QDBusConnection &bus = QDBusConnection::systemBus())
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(Api::Service), QLatin1String(Api::Path),
                                       QLatin1String(Api::Interface), method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, 30000);
}

QVariantList startArguments(const QByteArray &configuration, const QByteArray &certificate,
                            const QString &proxyHost = QString(), quint16 proxyPort = 0)
{
    return {configuration, certificate, proxyHost, QVariant::fromValue(proxyPort),
            false,         false,       false};
}

// "state text" for each status report, as the client program prints them.
QString report(const QList<QVariant> &arguments)
{
    return QStringLiteral("%1 %2")
        .arg(arguments.at(0).toInt())
        .arg(arguments.at(1).toString().replace(QLatin1Char('\n'), QLatin1Char('|')))
        .trimmed();
}

} // namespace

// Counts Output signals reaching a connection that does not own the tunnel.
class OutputListener : public QObject
{
    Q_OBJECT

public:
    int heard = 0;

public slots:
    void output(const QByteArray &) { ++heard; }
};

// The client program as an ordinary user, and what it has printed so far.
class UserClient
{
public:
    QProcess process;
    QStringList lines;

    bool start(const QString &folder, uid_t uid, gid_t gid, const char *password)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), folder);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder);
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral("setpriv"),
                      {QStringLiteral("--reuid=%1").arg(uid), QStringLiteral("--regid=%1").arg(gid),
                       QStringLiteral("--clear-groups"), QLatin1String(TUNNEL_CLIENT_PROGRAM),
                       QStringLiteral("alice"), QLatin1String(password)});
        return process.waitForStarted();
    }

    bool waitFor(const QString &line, int ms = 30000)
    {
        return QTest::qWaitFor(
            [&] {
                while (process.canReadLine())
                    lines << QString::fromUtf8(process.readLine()).trimmed();
                return lines.contains(line);
            },
            ms);
    }

    QString adapter() const
    {
        for (const QString &line : lines)
            if (line.startsWith(QLatin1String("adapter ")))
                return line.mid(8);
        return QString();
    }

    QStringList reports() const
    {
        QStringList out;
        for (const QString &line : lines)
            if (line.startsWith(QLatin1String("status ")))
                out << line.mid(7);
        return out;
    }

    void stop()
    {
        process.write("stop\n");
        process.waitForFinished(15000);
    }

    ~UserClient()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

class TestTunnelService : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    OpenVpnServerPeer server;
    SystemBusPeer bus;
    QString runFolder;
    QString clientFolder;
    QByteArray configuration;
    QByteArray certificate;
    uid_t userId = 0;
    gid_t groupId = 0;

    QStringList runFolders() const
    {
        return QDir(runFolder).entryList({QStringLiteral("run-*")}, QDir::Dirs);
    }

    bool nothingRuns() const { return runFolders().isEmpty() && openVpnIn(runFolder).isEmpty(); }

    static QStringList reportsOf(const QSignalSpy &spy)
    {
        QStringList out;
        for (const QList<QVariant> &arguments : spy)
            out << report(arguments);
        return out;
    }

    // A client of the service as the ordinary user, connected.
    bool connectUser(UserClient &client)
    {
        if (client.start(clientFolder, userId, groupId, "secret1") &&
            client.waitFor(QStringLiteral("status %1 Connected").arg(Connected)))
            return true;
        qWarning("client: %s\n%s\n%s", qPrintable(client.lines.join(QLatin1Char('\n'))),
                 readFile(clientFolder + QStringLiteral("/log.txt")).constData(),
                 client.process.readAllStandardError().constData());
        return false;
    }

private slots:
    void initTestCase()
    {
        if (!OpenVpnServerPeer::isAvailable() || !SystemBusPeer::isAvailable() ||
            QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("needs root, network namespaces, openvpn, dbus-daemon and setpriv");
        const passwd *nobody = ::getpwnam("nobody");
        QVERIFY(nobody);
        userId = nobody->pw_uid;
        groupId = nobody->pw_gid;
        QVERIFY(QFile::setPermissions(work.path(),
                                      QFile::permissions(work.path()) | QFileDevice::ExeOther));
        QVERIFY2(server.start(work.filePath(QStringLiteral("server"))),
                 qPrintable(server.errorString()));
        QVERIFY2(bus.start({source("resources/tunneld/net.quillnet.Tunnel.conf")}),
                 qPrintable(bus.errorString()));
        runFolder = work.filePath(QStringLiteral("run"));
        // With no capability but CAP_NET_ADMIN and no way to gain one, as
        // the shipped systemd unit runs it.
        QVERIFY(bus.addActivatableService(
            source("resources/tunneld/net.quillnet.Tunnel.service"),
            QStringLiteral("%1 --bounding-set=-all,+net_admin --inh-caps=-all --no-new-privs "
                           "%2 --idle-seconds 2 --run-folder %3")
                .arg(QStandardPaths::findExecutable(QStringLiteral("setpriv")),
                     QLatin1String(TUNNELD_PROGRAM), runFolder)));

        // The files as the login writes them, once in the user's folder and
        // once here for the in-process clients.
        clientFolder = work.filePath(QStringLiteral("user"));
        QVERIFY(QDir().mkpath(clientFolder));
        QString location;
        QVERIFY(TunnelFiles::write(server.configBody(), clientFolder, &location));
        QVERIFY(TunnelFiles::write(server.configBody(), QDir::currentPath(), &location));
        for (const char *name : {"", TunnelFiles::ConfigFile, TunnelFiles::CertFile})
            QCOMPARE(
                ::chown(
                    QFile::encodeName(QDir(clientFolder).filePath(QLatin1String(name))).constData(),
                    userId, groupId),
                0);
        configuration = readFile(QLatin1String(TunnelFiles::ConfigFile));
        certificate = readFile(QLatin1String(TunnelFiles::CertFile));
    }

    void init()
    {
        bus.setAuthorized(true);
        bus.setRefused(SystemBusPeer::NoUid, 0);
        bus.clearQuestions();
    }

    void cleanup()
    {
        // Whatever a test started has ended by the time the next one runs.
        QTRY_VERIFY_WITH_TIMEOUT(nothingRuns(), 10000);
    }

    void ordinaryUserConnectsLikeTheDirectMode()
    {
        QStringList direct;
        {
            VPNConnection vpn;
            QSignalSpy status(&vpn, &VPNConnection::statusChanged);
            vpn.setCredentials(QStringLiteral("alice"), QStringLiteral("secret1"));
            vpn.setConfig(QLatin1String(TunnelFiles::ConfigFile));
            vpn.start();
            QTRY_VERIFY_WITH_TIMEOUT(vpn.getStatus() == Connected, 30000);
            vpn.stop(false);
            QTRY_VERIFY_WITH_TIMEOUT(vpn.getStatus() == Disconnected, 10000);
            direct = reportsOf(status);
        }

        UserClient client;
        QVERIFY(connectUser(client));
        const QString device = client.adapter();
        QVERIFY2(deviceExists(device), qPrintable(device));
        QCOMPARE(runFolders().size(), 1);
        QCOMPARE(QFile::permissions(QDir(runFolder).filePath(runFolders().first())),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                     QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
        client.stop();
        QCOMPARE(client.process.exitCode(), 0);
        QVERIFY(client.waitFor(QStringLiteral("status %1").arg(Disconnected)));
        QCOMPARE(client.reports(), direct);
        QVERIFY(!deviceExists(device));

        const QList<SystemBusPeer::Question> asked = bus.questions();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().subjectKind, QStringLiteral("system-bus-name"));
        QVERIFY(asked.first().subjectName.startsWith(QLatin1Char(':')));
        QCOMPARE(asked.first().action, QLatin1String(Api::ConnectAction));
        QCOMPARE(asked.first().flags, 1U);
    }

    void refusedStartsReachTheUserAsTexts_data()
    {
        QTest::addColumn<bool>("authorized");
        QTest::addColumn<QByteArray>("extraLine");
        QTest::addColumn<int>("questions");
        QTest::addColumn<QString>("text");
        QTest::newRow("polkit says no")
            << false << QByteArray() << 1
            << "Creating VPN tunnel failed.\nQuillnet was not allowed to connect: the system "
               "refused the permission.";
        QTest::newRow("configuration refused")
            << true << QByteArray("up /bin/true\n") << 0
            << "Creating VPN tunnel failed.\nThe tunnel service refused the tunnel configuration.";
    }

    void refusedStartsReachTheUserAsTexts()
    {
        QFETCH(bool, authorized);
        QFETCH(QByteArray, extraLine);
        QFETCH(int, questions);
        QFETCH(QString, text);
        bus.setAuthorized(authorized);
        QVERIFY(QDir().mkpath(QStringLiteral("refused")));
        QString location;
        QVERIFY(TunnelFiles::write(server.configBody(), QStringLiteral("refused"), &location));
        QFile config(QStringLiteral("refused/") + QLatin1String(TunnelFiles::ConfigFile));
        QVERIFY(config.open(QIODevice::Append));
        config.write(extraLine);
        config.close();

        VPNConnection vpn(new ServiceConsole);
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        vpn.setCredentials(QStringLiteral("alice"), QStringLiteral("secret1"));
        vpn.setConfig(config.fileName());
        vpn.start();
        QTRY_VERIFY_WITH_TIMEOUT(vpn.getStatus() == Disconnected, 30000);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().first().toString(), text);
        QCOMPARE(bus.questions().size(), questions);
        QVERIFY(nothingRuns());
    }

    void optionsThatRunOrWriteAnythingAreRefused_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("directive");
        QTest::newRow("up") << "up \"/usr/bin/touch MARKER\""
                            << "up";
        QTest::newRow("script-security") << "script-security 2"
                                         << "script-security";
        QTest::newRow("plugin")
            << "plugin /usr/lib/x86_64-linux-gnu/openvpn/plugins/openvpn-plugin-down-root.so "
               "\"/usr/bin/touch MARKER\""
            << "plugin";
        QTest::newRow("config") << "config INCLUDED"
                                << "config";
    }

    void optionsThatRunOrWriteAnythingAreRefused()
    {
        QFETCH(QString, line);
        QFETCH(QString, directive);
        const QString marker = work.filePath(QStringLiteral("marker"));
        const QString included = work.filePath(QStringLiteral("included.conf"));
        QFile include(included);
        QVERIFY(include.open(QIODevice::WriteOnly));
        include.write(QStringLiteral("writepid %1\n").arg(marker).toUtf8());
        include.close();
        line.replace(QLatin1String("MARKER"), marker).replace(QLatin1String("INCLUDED"), included);

        const QByteArray hostile = configuration + line.toUtf8() + '\n';
        const int lineNumber = int(hostile.count('\n'));
        const QDBusMessage reply =
            call(QStringLiteral("Start"), startArguments(hostile, certificate));
        QCOMPARE(reply.errorName(), QLatin1String(Api::Error::Refused));
        QVERIFY2(reply.errorMessage().contains(
                     QStringLiteral("\"%1\" in line %2").arg(directive).arg(lineNumber)),
                 qPrintable(reply.errorMessage()));
        QVERIFY(bus.questions().isEmpty());
        QVERIFY(nothingRuns());
        QTest::qWait(500); // what a started OpenVPN would have written by now
        QVERIFY(!QFile::exists(marker));
    }

    void anotherCallerCannotTouchTheTunnel()
    {
        UserClient client;
        QVERIFY(connectUser(client));
        OutputListener listener;
        QVERIFY(QDBusConnection::systemBus().connect(
            QString(), QLatin1String(Api::Path), QLatin1String(Api::Interface),
            QStringLiteral("Output"), &listener, SLOT(output(QByteArray))));

        const QList<QPair<QString, QVariantList>> calls = {
            {QStringLiteral("Stop"), {}},
            {QStringLiteral("Write"), {QByteArray("secret\n")}},
            {QStringLiteral("EchoOff"), {}}};
        for (const auto &[method, arguments] : calls)
            QCOMPARE(call(method, arguments).errorName(), QLatin1String(Api::Error::NotOwner));
        QCOMPARE(
            call(QStringLiteral("Start"), startArguments(configuration, certificate)).errorName(),
            QLatin1String(Api::Error::Busy));

        // The owner's tunnel goes on, and says a lot while it ends.
        QVERIFY(deviceExists(client.adapter()));
        client.stop();
        QVERIFY(client.waitFor(QStringLiteral("status %1").arg(Disconnected)));
        QTest::qWait(200);
        QCOMPARE(listener.heard, 0);
    }

    // A caller whom polkit keeps waiting (a password prompt left open) and
    // then refuses holds nothing meanwhile: the user polkit allows connects,
    // the waiting caller cannot ask a second time, and Release calls with
    // nothing protected are answered without polkit, however many.
    void aWaitingCallerHoldsNothing()
    {
        bus.setRefused(::geteuid(), 4000);
        auto pending = [](const QString &method, const QVariantList &arguments) {
            QDBusMessage message = QDBusMessage::createMethodCall(
                QLatin1String(Api::Service), QLatin1String(Api::Path),
                QLatin1String(Api::Interface), method);
            message.setArguments(arguments);
            return QDBusConnection::systemBus().asyncCall(message, 30000);
        };
        QDBusPendingCall waiting =
            pending(QStringLiteral("Start"), startArguments(configuration, certificate));
        QTRY_COMPARE_WITH_TIMEOUT(bus.questions().size(), 1, 10000);
        QCOMPARE(
            call(QStringLiteral("Start"), startArguments(configuration, certificate)).errorName(),
            QLatin1String(Api::Error::Busy));
        QList<QDBusPendingCall> releases;
        for (int i = 0; i < 40; ++i)
            releases << pending(QStringLiteral("Release"), {});
        for (QDBusPendingCall &release : releases) {
            release.waitForFinished();
            QVERIFY2(!release.isError() ||
                         release.error().name() == QLatin1String(Api::Error::Busy),
                     qPrintable(release.error().message()));
        }
        QCOMPARE(bus.questions().size(), 1);
        QVERIFY(runFolders().isEmpty());

        UserClient client;
        QVERIFY(connectUser(client));
        waiting.waitForFinished();
        QCOMPARE(waiting.error().name(), QLatin1String(Api::Error::NotAuthorized));
        QVERIFY(deviceExists(client.adapter()));
        client.stop();
        QVERIFY(client.waitFor(QStringLiteral("status %1").arg(Disconnected)));
    }

    void killedClientTakesItsTunnelDown()
    {
        UserClient client;
        QVERIFY(connectUser(client));
        const QString device = client.adapter();
        QVERIFY(deviceExists(device));
        ::kill(pid_t(client.process.processId()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(openVpnIn(runFolder).isEmpty() && !deviceExists(device), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(runFolders().isEmpty(), 1000);
    }

    void badCallsAreAnsweredAndServingGoesOn_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("error");
        const QByteArray config = configuration;
        const QByteArray cert = certificate;
        const QString invalid = QLatin1String(Api::Error::InvalidArgs);
        QTest::newRow("write before start")
            << "Write" << QVariantList{QByteArray("x\n")} << QString(Api::Error::NotRunning);
        QTest::newRow("stop with nothing running")
            << "Stop" << QVariantList{} << QString(Api::Error::NotRunning);
        QTest::newRow("echo with nothing running")
            << "EchoOff" << QVariantList{} << QString(Api::Error::NotRunning);
        QTest::newRow("sign-in opening of a protection not the caller's")
            << "OpenForSignIn" << QVariantList{uint(60)} << QString(Api::Error::NotOwner);
        QTest::newRow("oversized write")
            << "Write" << QVariantList{QByteArray(Api::MaxWriteSize + 1, 'x')} << invalid;
        QTest::newRow("wrong argument types")
            << "Start" << QVariantList{1, 2, 3} << "org.freedesktop.DBus.Error.UnknownMethod";
        QTest::newRow("unknown method")
            << "Kill" << QVariantList{} << "org.freedesktop.DBus.Error.UnknownMethod";
        QTest::newRow("oversized configuration")
            << "Start" << startArguments(config + QByteArray(TunnelConfigCheck::MaxSize, '#'), cert)
            << invalid;
        QTest::newRow("binary configuration")
            << "Start" << startArguments(QByteArray("\x7f\x45\x4c\x46\x02\x01", 6), cert)
            << QString(Api::Error::Refused);
        QTest::newRow("oversized certificate")
            << "Start"
            << startArguments(config, cert.repeated(Api::MaxCertificateSize / cert.size() + 1))
            << invalid;
        QTest::newRow("certificate that is none")
            << "Start" << startArguments(config, "script-security 2\n" + cert) << invalid;
        QTest::newRow("proxy host that is an option")
            << "Start" << startArguments(config, cert, QStringLiteral("--up"), 8080) << invalid;
        QTest::newRow("proxy host with a space")
            << "Start" << startArguments(config, cert, QStringLiteral("proxy 8080"), 8080)
            << invalid;
        QTest::newRow("proxy port zero")
            << "Start" << startArguments(config, cert, QStringLiteral("127.0.0.1"), 0) << invalid;
    }

    void badCallsAreAnsweredAndServingGoesOn()
    {
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, error);
        // Up before the bad call, so that a crash would show as a new owner.
        QCOMPARE(call(QStringLiteral("Stop")).errorName(), QLatin1String(Api::Error::NotRunning));
        const QString instance =
            QDBusConnection::systemBus().interface()->serviceOwner(QLatin1String(Api::Service));
        QVERIFY(!instance.isEmpty());

        QCOMPARE(call(method, arguments).errorName(), error);
        QVERIFY(nothingRuns());

        bus.setAuthorized(false);
        QCOMPARE(
            call(QStringLiteral("Start"), startArguments(configuration, certificate)).errorName(),
            QLatin1String(Api::Error::NotAuthorized));
        QCOMPARE(QDBusConnection::systemBus()
                     .interface()
                     ->serviceOwner(QLatin1String(Api::Service))
                     .value(),
                 instance);
    }

    // A flood of calls far larger than anything the service takes costs it
    // about two of them at its peak (each is read whole, and decoded once),
    // and nothing once refused; serving goes on.
    void aFloodOfOversizedCallsCostsLittleMemory()
    {
        QCOMPARE(call(QStringLiteral("Stop")).errorName(), QLatin1String(Api::Error::NotRunning));
        QDBusConnectionInterface *busInterface = QDBusConnection::systemBus().interface();
        const uint pid = busInterface->servicePid(QLatin1String(Api::Service));
        const qint64 peakBefore = memoryKiB(pid, "VmHWM");
        const qint64 residentBefore = memoryKiB(pid, "VmRSS");
        QVERIFY(peakBefore > 0 && residentBefore > 0);

        constexpr int CallMiB = 30;
        const QByteArray half(CallMiB / 2 << 20, 'x');
        QList<QDBusPendingCall> calls;
        for (int sender = 0; sender < 3; ++sender) {
            const QDBusConnection flood = QDBusConnection::connectToBus(
                QDBusConnection::SystemBus, QStringLiteral("flood%1").arg(sender));
            QDBusMessage start = QDBusMessage::createMethodCall(
                QLatin1String(Api::Service), QLatin1String(Api::Path),
                QLatin1String(Api::Interface), QStringLiteral("Start"));
            start.setArguments(startArguments(half, half));
            for (int i = 0; i < 8; ++i)
                calls << flood.asyncCall(start, 120000);
        }
        // Refused by the service, or by the bus once the service's queue is
        // full: either way an answer.
        for (QDBusPendingCall &pending : calls) {
            pending.waitForFinished();
            QVERIFY(pending.isError());
        }
        QCOMPARE(busInterface->servicePid(QLatin1String(Api::Service)).value(), pid);
        // The sanitizer keeps what is freed in quarantine: there the flood
        // only has to be answered.
#ifndef __SANITIZE_ADDRESS__
        const qint64 peakGrowth = memoryKiB(pid, "VmHWM") - peakBefore;
        QVERIFY2(peakGrowth < (2 * CallMiB + 20) << 10, qPrintable(QString::number(peakGrowth)));
        // The last call's buffers go once the bus has its answer.
        QTRY_VERIFY_WITH_TIMEOUT(memoryKiB(pid, "VmRSS") - residentBefore < 8 << 10, 10000);
#endif
        QCOMPARE(call(QStringLiteral("Stop")).errorName(), QLatin1String(Api::Error::NotRunning));
        for (int sender = 0; sender < 3; ++sender)
            QDBusConnection::disconnectFromBus(QStringLiteral("flood%1").arg(sender));
    }

    // A login that has begun has the bus start the service, which asks
    // nobody anything and runs nothing until the tunnel's start.
    void preparingStartsOnlyTheService()
    {
        const auto registered = [] {
            return QDBusConnection::systemBus()
                .interface()
                ->isServiceRegistered(QLatin1String(Api::Service))
                .value();
        };
        QTRY_VERIFY_WITH_TIMEOUT(!registered(), 10000);
        ServiceConsole console;
        console.prepare();
        QTRY_VERIFY_WITH_TIMEOUT(registered(), 10000);
        QVERIFY(bus.questions().isEmpty());
        QVERIFY(nothingRuns());
    }

    // Idle, the service leaves the bus and ends, before its bus goes.
    void cleanupTestCase()
    {
        QTRY_VERIFY_WITH_TIMEOUT(nothingRuns(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::systemBus().interface()->isServiceRegistered(
                                     QLatin1String(Api::Service)),
                                 10000);
    }
};

QTEST_GUILESS_MAIN(TestTunnelService)
#include "tst_tunneld.moc"
