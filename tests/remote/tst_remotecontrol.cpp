// The command line against a running client: the built program's commands
// go over a private session bus to the client's commands behind the real
// bus object, on the scripted tunnel, with the local service answering the
// logins they start. Also what the program answers with no client, no bus
// and no display, and that calls of another user are refused.
#include "PrivateBusDaemon.h"
#include "ServicePeer.h"
#include "StandInAdapterTool.h"
#include "core/ApplicationNames.h"
#include "core/Catalogues.h"
#include "core/Deployment.h"
#include "core/SettingsKeys.h"
#include "login/LoginController.h"
#include "remote/ClientCommands.h"
#include "remote/RemoteControl.h"
#include "remote/RemoteControlApi.h"
#include "vpn/AdapterControl.h"
#include "vpn/ScriptedTunnel.h"

#include <QDBusConnection>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <unistd.h>

namespace {

// Any user may connect, as to a session bus whose address another user
// learnt: the client itself tells its user's calls apart. ("%1", the
// folder, is not needed.)
const char BusConfig[] = R"(  <type>session</type>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
  <!-- %1 -->
)";

struct Answer
{
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class TestRemoteControl : public QObject
{
    Q_OBJECT

    QTemporaryDir busFolder;
    QProcess daemon;
    ServicePeer service;
    std::unique_ptr<ScriptedTunnel> tunnel;
    std::unique_ptr<LoginController> login;
    std::unique_ptr<ClientCommands> commands;
    // What the commands asked of the windows, in order.
    QStringList asked;

    QString busAddress() const { return PrivateBusDaemon::address(busFolder.path()); }

    static QDBusConnection clientBus() { return QDBusConnection(QStringLiteral("client")); }

    // The program as a user runs it in a terminal without any display;
    // `runAs` is put in front of it. The client answers from this thread
    // meanwhile.
    Answer run(const QStringList &arguments, const QString &bus, const QStringList &runAs = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
        QProcess program;
        program.setProcessEnvironment(environment);
        const QStringList command =
            runAs + QStringList{qEnvironmentVariable("QUILLNET_APP_DIR") + "/quillnet"} + arguments;
        program.start(command.first(), command.mid(1));
        Answer answer;
        if (!program.waitForStarted() ||
            !QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 40000))
            return answer;
        if (program.exitStatus() == QProcess::NormalExit)
            answer.exitCode = program.exitCode();
        answer.out = QString::fromUtf8(program.readAllStandardOutput());
        answer.err = QString::fromUtf8(program.readAllStandardError());
        return answer;
    }

    // The client as main() wires it, in the state `before` names.
    void startClient(const QString &before)
    {
        QSettings settings;
        settings.setValue(QLatin1String(SettingsKey::BlockOutsideTunnel),
                          !before.contains(QLatin1String("no block")));
        settings.setValue(QLatin1String(SettingsKey::AllowLocalNetwork),
                          before.contains(QLatin1String("local network")));
        if (before != QLatin1String("no account"))
            login->setAccount(QStringLiteral("demo"), QStringLiteral("demo123"));
        auto *remote = new RemoteControl(commands.get(), clientBus());
        QVERIFY2(remote->publish(), qPrintable(remote->errorString()));

        if (before.startsWith(QLatin1String("connected"))) {
            login->relogin();
            QTRY_COMPARE_WITH_TIMEOUT(tunnel->getStatus(), Connected, 30000);
            // The account's data is in: nothing of the login is under way.
            QTRY_VERIFY_WITH_TIMEOUT(!login->isWorking(), 30000);
        } else if (before == QLatin1String("logging in")) {
            service.control(QStringLiteral("/_control/behave?path=/server/config.php&mode=stall"));
            login->relogin();
        }
        asked.clear();
    }

private slots:
    void initTestCase()
    {
        if (!PrivateBusDaemon::isAvailable())
            QSKIP("dbus-daemon is not installed");
        QString error;
        QVERIFY2(PrivateBusDaemon::start(daemon, busFolder.path(), BusConfig, &error),
                 qPrintable(error));
        QVERIFY(
            QDBusConnection::connectToBus(busAddress(), QStringLiteral("client")).isConnected());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(service.deploymentFile()));
        for (const char *name :
             {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            qunsetenv(name);
        const QString toolError =
            installStandInAdapterTool(QDir::current().absoluteFilePath("tool-runs.txt"));
        QVERIFY2(toolError.isEmpty(), qPrintable(toolError));
        setApplicationNames();
        // As the client runs: its tunnel files name the server's location
        // in the catalogue's language.
        installCatalogues(*QCoreApplication::instance());
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        daemon.terminate();
        daemon.waitForFinished();
    }

    void init()
    {
        QSettings().clear();
        service.control(QStringLiteral("/_control/reset"));
        tunnel = std::make_unique<ScriptedTunnel>();
        login = std::make_unique<LoginController>(tunnel.get(), Deployment::current().serviceHost);
        commands = std::make_unique<ClientCommands>(login.get(), tunnel.get());
        const auto note = [this](const char *name) {
            return [this, name] { asked << QLatin1String(name); };
        };
        ClientCommands *c = commands.get();
        connect(c, &ClientCommands::loggingIn, this, note("loggingIn"));
        connect(c, &ClientCommands::loggingOut, this, note("loggingOut"));
        connect(c, &ClientCommands::loginFormWanted, this, note("loginFormWanted"));
        connect(c, &ClientCommands::quitWanted, this, note("quitWanted"));
    }

    void cleanup()
    {
        commands.reset();
        login.reset();
        tunnel.reset();
        clientBus().unregisterService(QLatin1String(RemoteControlApi::Service));
        disableAdapter();
    }

    void commandsReachTheRunningClient_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("after");
        QTest::addColumn<QStringList>("toWindows");

        QTest::newRow("status, disconnected")
            << "disconnected"
            << "status" << 1 << "state: disconnected\nserver: none\nprotection: none\n"
            << int(Disconnected) << QStringList();
        QTest::newRow("status, connected")
            << "connected"
            << "status" << 0
            << "state: connected\nserver: 10.8.0.1 (Loopback One)\nprotection: block on\n"
            << int(Connected) << QStringList();
        QTest::newRow("status, local network allowed")
            << "connected, local network"
            << "status" << 0
            << "state: connected\nserver: 10.8.0.1 (Loopback One)\n"
               "protection: block on, local network allowed\n"
            << int(Connected) << QStringList();
        QTest::newRow("status, no block")
            << "connected, no block"
            << "status" << 0
            << "state: connected\nserver: 10.8.0.1 (Loopback One)\nprotection: block off\n"
            << int(Connected) << QStringList();
        QTest::newRow("connect, remembered account") << "disconnected"
                                                     << "connect" << 0 << "Connecting.\n"
                                                     << int(Connected) << QStringList{"loggingIn"};
        QTest::newRow("connect, no account")
            << "no account"
            << "connect" << 1 << "No account is remembered: the login window is open for one.\n"
            << int(Disconnected) << QStringList{"loginFormWanted"};
        QTest::newRow("connect, connected")
            << "connected"
            << "connect" << 0 << "Already connected or connecting.\n"
            << int(Connected) << QStringList();
        QTest::newRow("connect, logging in")
            << "logging in"
            << "connect" << 1 << "Busy with a login or an update; nothing done.\n"
            << int(Disconnected) << QStringList();
        QTest::newRow("disconnect, connected") << "connected"
                                               << "disconnect" << 0 << "Disconnecting.\n"
                                               << int(Disconnected) << QStringList{"loggingOut"};
        QTest::newRow("disconnect, disconnected") << "disconnected"
                                                  << "disconnect" << 0 << "Not connected.\n"
                                                  << int(Disconnected) << QStringList();
        QTest::newRow("quit") << "connected"
                              << "quit" << 0 << "Quitting.\n"
                              << int(Connected) << QStringList{"quitWanted"};
    }

    void commandsReachTheRunningClient()
    {
        QFETCH(QString, before);
        QFETCH(QString, command);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(int, after);
        QFETCH(QStringList, toWindows);
        startClient(before);

        const Answer answer = run({command}, busAddress());
        QCOMPARE(answer.err, QString());
        QCOMPARE(answer.out, output);
        QCOMPARE(answer.exitCode, exitCode);
        QCOMPARE(asked, toWindows);
        QTRY_COMPARE_WITH_TIMEOUT(int(tunnel->getStatus()), after, 30000);
    }

    void answersWithoutAClient_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("withBus");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("error");

        QTest::newRow("help") << QStringList{"--help"} << false << 0
                              << "^Usage: quillnet \\[options\\] \\[command\\]\n(.|\n)*status"
                                 "(.|\n)*connect(.|\n)*disconnect(.|\n)*quit"
                              << "^$";
        QTest::newRow("version") << QStringList{"--version"} << false << 0
                                 << "^Quillnet \\d+\\.\\d+\\.\\d+\n$"
                                 << "^$";
        for (const QString command : {"status", "connect", "disconnect", "quit"}) {
            QTest::addRow("%s, bus without a client", qPrintable(command))
                << QStringList{command} << true << 2 << "^$"
                << "^quillnet: Quillnet is not running: nothing answers as net.quillnet.Client "
                   "on the session bus\n$";
            QTest::addRow("%s, no bus", qPrintable(command))
                << QStringList{command} << false << 2 << "^$"
                << "^quillnet: Quillnet is not running: no session bus";
        }
        QTest::newRow("no such command") << QStringList{"start"} << true << 64 << "^$"
                                         << "^quillnet: \"start\" is no command\n";
        QTest::newRow("two commands") << QStringList{"status", "quit"} << true << 64 << "^$"
                                      << "^quillnet: one command at a time";
    }

    void answersWithoutAClient()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, withBus);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, error);

        const Answer answer =
            run(arguments, withBus ? busAddress()
                                   : QStringLiteral("unix:path=") + busFolder.filePath("no-bus"));
        QVERIFY2(QRegularExpression(output).match(answer.out).hasMatch(), qPrintable(answer.out));
        QVERIFY2(QRegularExpression(error).match(answer.err).hasMatch(), qPrintable(answer.err));
        QCOMPARE(answer.exitCode, exitCode);
    }

    // A session bus is only an address: a client takes no command from
    // another user, and the command line takes no answer from another
    // user's client.
    void anotherUsersCallsAreRefused()
    {
        if (::getuid() != 0)
            QSKIP("needs root to call as another user");
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("dbus-send")).isEmpty())
            QSKIP("setpriv or dbus-send missing");
        startClient(QStringLiteral("disconnected"));
        // Only the bus's socket is open to the other user.
        QVERIFY(QFile::setPermissions(busFolder.path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ExeOther));
        const QStringList asNobody{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};

        QProcess send;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress());
        send.setProcessEnvironment(environment);
        send.start(asNobody.first(),
                   asNobody.mid(1) + QStringList{"dbus-send", "--session", "--print-reply",
                                                 "--dest=net.quillnet.Client",
                                                 "/net/quillnet/Client",
                                                 "net.quillnet.Client.Quit"});
        QVERIFY(send.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return send.state() == QProcess::NotRunning; }, 20000));
        QVERIFY2(send.readAllStandardError().contains("org.freedesktop.DBus.Error.AccessDenied"),
                 "the other user's call was not refused");
        QCOMPARE(asked, QStringList());

        const Answer answer = run({QStringLiteral("status")}, busAddress(), asNobody);
        QCOMPARE(answer.exitCode, 2);
        QCOMPARE(answer.out, QString());
        QVERIFY2(answer.err.contains(QLatin1String("runs as another user")),
                 qPrintable(answer.err));
    }
};

QTEST_GUILESS_MAIN(TestRemoteControl)
#include "tst_remotecontrol.moc"
