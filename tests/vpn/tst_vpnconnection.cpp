// The tunnel controller driving a stand-in for OpenVPN that plays back
// what the real program printed on its terminal (tests/vpn/data), in
// uneven pieces and with its prompts split, and that reads the answers
// from the terminal exactly as OpenVPN does.
#include "ChildProcesses.h"
#include "RecordedOpenVpn.h"
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "vpn/LocalConsole.h"
#include "vpn/VPNConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

namespace {

QString dataFile(const char *name)
{
    return qEnvironmentVariable("QUILLNET_SOURCE_DIR") + QStringLiteral("/tests/vpn/data/") +
           QLatin1String(name);
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// "state:text" for each status report, in order.
QStringList reports(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << QStringLiteral("%1:%2").arg(args.at(0).toInt()).arg(args.at(1).toString());
    return out;
}

QString report(CnnStatus status, const char *text = "")
{
    return QStringLiteral("%1:%2").arg(int(status)).arg(QLatin1String(text));
}

// OpenVPN on this process's terminal, counting the releases of its
// protection (the user's log-out or quit).
class CountingConsole : public LocalConsole
{
public:
    int releases = 0;
    void release() override
    {
        ++releases;
        LocalConsole::release();
    }
};

// Stands in for the protection of a blocking tunnel: OpenVPN runs as in
// direct mode without a block of this machine's own, and an opening for a
// sign-in page is only recorded, to be answered by the test.
class SignInConsole : public LocalConsole
{
public:
    QList<int> openings; // the seconds asked for
    void start(const TunnelLaunch &launch) override
    {
        TunnelLaunch unblocked = launch;
        unblocked.blockOutsideTunnel = false;
        LocalConsole::start(unblocked);
    }
    void openForSignIn(int seconds) override { openings << seconds; }
};

} // namespace

class TestVPNConnection : public QObject
{
    Q_OBJECT

    const QString answers = QStringLiteral("answers.txt");

    void play(const char *recording, const QString &hold = QString())
    {
        qputenv("QUILLNET_REPLAY", QFile::encodeName(dataFile(recording)));
        qputenv("QUILLNET_REPLAY_HOLD", hold.toUtf8());
        QFile::remove(answers);
    }

    static bool waitFor(QSignalSpy &spy, CnnStatus status, int ms = 15000)
    {
        return QTest::qWaitFor(
            [&] {
                return std::any_of(spy.cbegin(), spy.cend(), [&](const QList<QVariant> &a) {
                    return a.at(0).toInt() == status;
                });
            },
            ms);
    }

    // Connected on the recorded session, held there until stopped.
    bool connectHeld(VPNConnection &vpn, QSignalSpy &status)
    {
        play("connect.pty", QStringLiteral("Initialization Sequence Completed"));
        vpn.setCredentials(QStringLiteral("alice"), QStringLiteral("secret1"));
        vpn.start();
        return waitFor(status, Connected);
    }

private slots:
    void initTestCase()
    {
        setApplicationNames();
        useRecordedOpenVpn(QDir::current().filePath(answers));
        QFile::remove(QStringLiteral("log.txt"));
        QFile::remove(QStringLiteral("log.old"));
    }

    // First: the start count is kept over the whole life of the process.
    void logRotatesAtTheSixthStart()
    {
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        auto runOnce = [&] {
            play("auth-failed.pty");
            status.clear();
            vpn.start();
            return waitFor(status, Disconnected);
        };
        for (int run = 1; run <= 5; ++run)
            QVERIFY(runOnce());
        QVERIFY(!QFile::exists(QStringLiteral("log.old")));
        QCOMPARE(readAll(QStringLiteral("log.txt")).count(QStringLiteral("AUTH_FAILED")), 5);
        QVERIFY(runOnce());
        QCOMPARE(readAll(QStringLiteral("log.old")).count(QStringLiteral("AUTH_FAILED")), 5);
        QCOMPARE(readAll(QStringLiteral("log.txt")).count(QStringLiteral("AUTH_FAILED")), 1);
    }

    void constructionMovesTheLastLogAside()
    {
        QVERIFY(readAll(QStringLiteral("log.txt")).contains(QStringLiteral("AUTH_FAILED")));
        VPNConnection vpn;
        QCOMPARE(readAll(QStringLiteral("log.old")).count(QStringLiteral("AUTH_FAILED")), 1);
        QCOMPARE(QFileInfo(QStringLiteral("log.txt")).size(), 0);
        // An empty log is not worth keeping: the old one stays.
        VPNConnection again;
        QCOMPARE(readAll(QStringLiteral("log.old")).count(QStringLiteral("AUTH_FAILED")), 1);
    }

    void connectsThenStops()
    {
        play("connect.pty", QStringLiteral("Initialization Sequence Completed"));
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        vpn.setCredentials(QStringLiteral("alice"), QStringLiteral("secret1"));
        vpn.setConfig(QStringLiteral("quillnet.ovpn"));
        const QTime before = QTime::currentTime();
        vpn.start();
        QVERIFY(waitFor(status, Connected));
        QCOMPARE(reports(status), (QStringList{report(Connecting, "Initializing"),
                                               report(Connecting, "Connecting to server"),
                                               report(Connecting, "Creating VPN tunnel"),
                                               report(Connected, "Connected")}));
        QCOMPARE(vpn.getStatus(), Connected);
        QCOMPARE(vpn.getIp(), QStringLiteral("10.99.127.2"));
        QCOMPARE(vpn.getAdapterGuid(), QStringLiteral("tun0"));
        QVERIFY(vpn.getConnectedSince() >= before);
        // Each prompt answered once, the password only after echo was off
        // (otherwise the terminal would have thrown it away and we would
        // still be waiting).
        QCOMPARE(readAll(answers), QStringLiteral("ARGS=--config quillnet.ovpn --script-security 1 "
                                                  "--dev-type tun --dev quillnet0 --mark 29013\n"
                                                  "Enter Auth Username:=alice\n"
                                                  "Enter Auth Password:=secret1\n"));

        status.clear();
        vpn.stop(false);
        QVERIFY(waitFor(status, Disconnected));
        QCOMPARE(reports(status),
                 (QStringList{report(Disconnecting, "Disconnecting"), report(Disconnected)}));
        QVERIFY(errors.isEmpty());
        QVERIFY(vpn.getIp().isEmpty());

        // Every line is in the log, without the terminal's carriage returns.
        const QString log = readAll(QStringLiteral("log.txt"));
        QVERIFY(log.contains(QStringLiteral("Initialization Sequence Completed\n")));
        QVERIFY(log.contains(QStringLiteral("SIGTERM[hard,] received, process exiting\n")));
        QVERIFY(!log.contains(QLatin1Char('\r')));
    }

    // Only OpenVPN's own words move the state: a server whose certificate
    // is named after them never makes the tunnel up or failed, and a soft
    // restart of a tunnel that was up takes "Connected" back until it is up
    // again.
    void onlyOpenVpnSaysWhetherTheTunnelIsUp()
    {
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        play("rogue-cn.pty", QStringLiteral("tls-error"));
        vpn.setCredentials(QStringLiteral("alice"), QStringLiteral("secret1"));
        vpn.start();
        QTRY_VERIFY_WITH_TIMEOUT(readAll(QStringLiteral("log.txt")).contains("tls-error"), 15000);
        QVERIFY(!waitFor(status, Connected, 300));
        QVERIFY(errors.isEmpty());
        vpn.stop(true);
        QVERIFY(waitFor(status, Disconnected));

        status.clear();
        play("soft-restart.pty", QStringLiteral("08:29:41 Initialization"));
        vpn.start();
        QTRY_VERIFY_WITH_TIMEOUT(reports(status).count(report(Connected, "Connected")) == 2, 15000);
        const QStringList seen = reports(status);
        const qsizetype firstUp = seen.indexOf(report(Connected, "Connected"));
        QCOMPARE(seen.at(firstUp + 1), report(Reconnecting, "Reconnecting"));
        QCOMPARE(seen.last(), report(Connected, "Connected"));
        QCOMPARE(vpn.getStatus(), Connected);
        QVERIFY(errors.isEmpty());
        vpn.stop(true);
        QVERIFY(waitFor(status, Disconnected));
    }

    void failuresAreReportedAndEndTheRun_data()
    {
        QTest::addColumn<QString>("recording");
        QTest::addColumn<QString>("error");
        QTest::newRow("wrong password")
            << "auth-failed.pty"
            << "Authentication failed.\nCheck your VPN access subscription, please.";
        QTest::newRow("refused") << "refused.pty"
                                 << "Connection to server failed,\nwill try again in 5 seconds.";
        QTest::newRow("unresolvable") << "unresolvable.pty"
                                      << "Server connection failure.\nCannot resolve host address.";
        QTest::newRow("no tunnel rights")
            << "tun-denied.pty"
            << "Creating VPN tunnel failed.\nQuillnet is not allowed to create "
               "network tunnels on this system.";
    }

    void failuresAreReportedAndEndTheRun()
    {
        QFETCH(QString, recording);
        QFETCH(QString, error);
        play(recording.toLatin1().constData());
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        vpn.setCredentials(QStringLiteral("alice"), QStringLiteral("wrong"));
        vpn.start();
        QVERIFY(waitFor(status, Disconnected));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toString(), error);
        QCOMPARE(reports(status).last(), report(Disconnected));
        // The failure stops the run quietly: no "Disconnecting" text.
        QVERIFY(!reports(status).contains(report(Disconnecting, "Disconnecting")));
        QCOMPARE(vpn.getStatus(), Disconnected);
    }

    // A password goes only into a terminal that does not echo it (into the
    // log); the client waits for the echo to go off, but not for ever, nor
    // after the program has ended.
    void passwordWaitsForTheEchoToGoOff_data()
    {
        QTest::addColumn<bool>("programEnds");
        QTest::newRow("echo stays on") << false;
        QTest::newRow("program ends while asking") << true;
    }

    void passwordWaitsForTheEchoToGoOff()
    {
        QFETCH(bool, programEnds);
        play("connect.pty");
        qputenv("QUILLNET_REPLAY_ECHO", "on");
        auto restore = qScopeGuard([] { qunsetenv("QUILLNET_REPLAY_ECHO"); });
        VPNConnection vpn;
        // Far longer than a terminal takes to switch its echo off.
        const int echoWaitMs = 1000;
        vpn.setEchoWait(echoWaitMs);
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        vpn.setCredentials(QStringLiteral("alice"), QStringLiteral("secret1"));
        vpn.start();
        // Asking for the password: the user name answered, reading again.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return readAll(answers).contains(QStringLiteral("Enter Auth Username:=alice")) &&
                       isReading(readAll(answers + QStringLiteral(".pid")).toInt());
            },
            15000));
        if (programEnds)
            QCOMPARE(::kill(readAll(answers + QStringLiteral(".pid")).toInt(), SIGKILL), 0);
        QVERIFY(waitFor(status, Disconnected, 30000));
        if (programEnds) {
            // Past the time the client would wait for the echo: nothing more.
            QTest::qWait(echoWaitMs + 1000);
            QVERIFY(errors.isEmpty());
        } else {
            QCOMPARE(errors.count(), 1);
            QCOMPARE(errors.first().first().toString(),
                     QStringLiteral("Creating VPN tunnel failed.\nOpenVPN asked for the password "
                                    "without hiding it."));
        }
        QCOMPARE(reports(status).last(), report(Disconnected));
        QVERIFY(!readAll(answers).contains(QStringLiteral("Password:=")));
        QVERIFY(!readAll(QStringLiteral("log.txt")).contains(QStringLiteral("secret1")));
    }

    void proxyCredentialsAndTheServerBehindTheProxy()
    {
        play("proxy.pty", QStringLiteral("Initialization Sequence Completed"));
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        vpn.setCredentials(QStringLiteral("alice"), QStringLiteral("secret1"));
        vpn.setConfig(QStringLiteral("quillnet.ovpn"));
        vpn.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 3128,
                                   QStringLiteral("proxyuser"), QStringLiteral("proxypw")));
        vpn.start();
        QVERIFY(waitFor(status, Connected));
        QCOMPARE(readAll(answers),
                 QStringLiteral(
                     "ARGS=--config quillnet.ovpn --script-security 1 --dev-type tun --dev "
                     "quillnet0 --mark 29013 --http-proxy 127.0.0.1 3128 "
                     "stdin\n"
                     "Enter Auth Username:=alice\nEnter Auth Password:=secret1\n"
                     "Enter HTTP Proxy Username:=proxyuser\nEnter HTTP Proxy Password:=proxypw\n"));
        // The CONNECT names the server; the peer line names the proxy.
        QCOMPARE(vpn.getIp(), QStringLiteral("10.99.127.2"));
        // The names typed at the prompts come back as the terminal's echo;
        // the log keeps neither them nor the passwords.
        const QString log = readAll(QStringLiteral("log.txt"));
        for (const char *typed : {"alice", "proxyuser", "secret1", "proxypw"})
            QVERIFY2(!log.contains(QLatin1String(typed)), typed);
        vpn.stop(true);
        QVERIFY(waitFor(status, Disconnected));
    }

    void proxyWithoutUserAsksForNothing()
    {
        play("auth-failed.pty");
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        vpn.setConfig(QStringLiteral("quillnet.ovpn"));
        vpn.setProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy.example"), 8080));
        vpn.start();
        QVERIFY(waitFor(status, Disconnected));
        QVERIFY(readAll(answers).startsWith(
            QStringLiteral("ARGS=--config quillnet.ovpn --script-security 1 --dev-type tun --dev "
                           "quillnet0 --mark 29013 --http-proxy proxy.example 8080\n")));
    }

    void reconnectKeepsReconnectingUntilConnected()
    {
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QVERIFY(connectHeld(vpn, status));
        status.clear();
        vpn.reconnect();
        QVERIFY(waitFor(status, Connected));
        QCOMPARE(reports(status), (QStringList{report(Reconnecting, "Disconnecting"),
                                               report(Reconnecting, "Initializing"),
                                               report(Reconnecting, "Connecting to server"),
                                               report(Reconnecting, "Creating VPN tunnel"),
                                               report(Connected, "Connected")}));
        vpn.stop(false);
        QVERIFY(waitFor(status, Disconnected));
    }

    // Once up, the tunnel rides out an outage: OpenVPN ending by itself, or
    // a server that refuses (or a name that does not resolve) for a while.
    // It says "Reconnecting", shows no error, keeps its protection, tries
    // again after waits that grow, and is back once the server is; only the
    // user's stop then ends it and lifts the protection.
    void anOutageAfterConnectedIsRetriedWithTheProtectionKept_data()
    {
        QTest::addColumn<QStringList>("meanwhile"); // what the server does at each retry
        QTest::newRow("OpenVPN ends, the next start connects") << QStringList();
        QTest::newRow("the server refuses twice")
            << QStringList{QStringLiteral("refused.pty"), QStringLiteral("refused.pty")};
        QTest::newRow("the server's name does not resolve")
            << QStringList{QStringLiteral("unresolvable.pty")};
    }

    void anOutageAfterConnectedIsRetriedWithTheProtectionKept()
    {
        QFETCH(QStringList, meanwhile);
        auto *console = new CountingConsole;
        VPNConnection vpn(console);
        vpn.setRetryWaits(100, 200);
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        QVERIFY(connectHeld(vpn, status));
        status.clear();
        // The outage: OpenVPN goes, and each start meets the server as
        // `meanwhile` says until it is back.
        int attempt = 0;
        const auto nextRecording = [&] {
            const QString recording =
                attempt < meanwhile.size() ? meanwhile.at(attempt) : QStringLiteral("connect.pty");
            play(recording.toLatin1().constData(),
                 recording == QLatin1String("connect.pty")
                     ? QStringLiteral("Initialization Sequence Completed")
                     : QString());
        };
        connect(&vpn, &VPNConnection::statusChanged, this, [&](CnnStatus, const QString &text) {
            if (text != QLatin1String("Initializing"))
                return;
            nextRecording();
            ++attempt;
        });
        ::kill(readAll(answers + QStringLiteral(".pid")).toInt(), SIGKILL);
        QVERIFY(waitFor(status, Connected));
        QCOMPARE(attempt, meanwhile.size() + 1);
        const QStringList seen = reports(status);
        QCOMPARE(seen.first(), report(Reconnecting, "Reconnecting"));
        for (const QString &state : seen)
            QVERIFY2(!state.startsWith(QString::number(Disconnected)) &&
                         !state.startsWith(QString::number(Disconnecting)) &&
                         !state.startsWith(QString::number(Connecting)),
                     qPrintable(seen.join(QLatin1Char(' '))));
        QVERIFY(errors.isEmpty());
        QCOMPARE(console->releases, 0);
        // Said in the log (which may have been moved aside at a start).
        QVERIFY((readAll(QStringLiteral("log.old")) + readAll(QStringLiteral("log.txt")))
                    .contains(QStringLiteral("its protection stays")));

        vpn.stop(false);
        QVERIFY(waitFor(status, Disconnected));
        QCOMPARE(console->releases, 1);
        QVERIFY(errors.isEmpty());
    }

    // A tunnel that stays away with the block on may be held up by a
    // sign-in page: the hint comes after a while, the opening only on the
    // user's word once hinted, and it all goes when the tunnel is back.
    // Without the block the browser reaches the page anyway: no hint.
    void anOutageWithTheBlockHintsAtASignIn_data()
    {
        QTest::addColumn<bool>("block");
        QTest::newRow("blocking") << true;
        QTest::newRow("not blocking") << false;
    }

    void anOutageWithTheBlockHintsAtASignIn()
    {
        QFETCH(bool, block);
        auto *console = new SignInConsole;
        VPNConnection vpn(console);
        vpn.setRetryWaits(100, 200);
        vpn.setSignInTimes(300, 7, 200);
        vpn.setBlockOutsideTunnel(block);
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy hints(&vpn, &VPNConnection::signInChanged);
        QVERIFY(connectHeld(vpn, status));
        bool serverBack = false;
        bool hangs = false; // stuck connecting, as behind a sign-in page
        int starts = 0;
        connect(&vpn, &VPNConnection::statusChanged, this, [&](CnnStatus, const QString &text) {
            if (text != QLatin1String("Initializing"))
                return;
            ++starts;
            if (hangs)
                play("connect.pty", QStringLiteral("Attempting to establish TCP connection"));
            else
                play(serverBack ? "connect.pty" : "refused.pty",
                     serverBack ? QStringLiteral("Initialization Sequence Completed") : QString());
        });
        // Clicked before any hint: nothing opens.
        vpn.openForSignIn();
        ::kill(readAll(answers + QStringLiteral(".pid")).toInt(), SIGKILL);
        QVERIFY(waitFor(status, Reconnecting));
        // What the client tells of its protection (tray, command line)
        // stands through the outage.
        QCOMPARE(vpn.protection().block, block);
        const auto state = [&] { return vpn.signInState(); };
        if (!block) {
            QTest::qWait(1000);
            QVERIFY(hints.isEmpty());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(state(), Tunnel::SignIn::Needed, 5000);
            vpn.openForSignIn();
            QCOMPARE(console->openings, QList<int>{7});
            // An attempt that hangs while the network is open is made anew.
            hangs = true;
            QTest::qWait(300);
            const int attempts = starts;
            emit console->signInChanged(true);
            QCOMPARE(state(), Tunnel::SignIn::Open);
            QTRY_VERIFY_WITH_TIMEOUT(starts >= attempts + 2, 20000);
            hangs = false;
            const int hung = starts;
            QTRY_VERIFY_WITH_TIMEOUT(starts > hung, 20000);
            // The time is up, the tunnel still away: the hint again.
            emit console->signInChanged(false);
            QCOMPARE(state(), Tunnel::SignIn::Needed);
        }
        serverBack = true;
        QVERIFY(QTest::qWaitFor([&] { return vpn.getStatus() == Connected; }, 15000));
        QCOMPARE(state(), Tunnel::SignIn::None);
        vpn.stop(false);
        QVERIFY(waitFor(status, Disconnected));
        QCOMPARE(console->openings.size(), block ? 1 : 0);
        QVERIFY(!vpn.protection().block);
    }

    // The user's stop during the wait between two tries ends it all.
    void stopWhileWaitingToRetryEndsTheTunnel()
    {
        auto *console = new CountingConsole;
        VPNConnection vpn(console);
        vpn.setRetryWaits(60000, 60000);
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QVERIFY(connectHeld(vpn, status));
        play("refused.pty");
        ::kill(readAll(answers + QStringLiteral(".pid")).toInt(), SIGKILL);
        QVERIFY(waitFor(status, Reconnecting));
        QTRY_VERIFY_WITH_TIMEOUT(
            readAll(QStringLiteral("log.txt")).contains(QStringLiteral("trying again in 60 s")),
            15000);
        status.clear();
        vpn.stop(false);
        QVERIFY(waitFor(status, Disconnected, 5000));
        QCOMPARE(console->releases, 1);
        QCOMPARE(vpn.getStatus(), Disconnected);
    }

    void failureWhileReconnectingStartsAgain()
    {
        play("refused.pty");
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        vpn.start();
        QVERIFY(QTest::qWaitFor([&] { return errors.count() == 1; }, 15000));
        vpn.reconnect();
        status.clear();
        // Each failure while reconnecting leads straight to the next start;
        // the tunnel never reports itself disconnected in between.
        QVERIFY(QTest::qWaitFor([&] { return errors.count() >= 3; }, 15000));
        QCOMPARE(vpn.getStatus(), Reconnecting);
        QVERIFY(reports(status).contains(report(Reconnecting, "Initializing")));
        QVERIFY(!reports(status).contains(report(Disconnected)));
    }

    void sleepEndsTheRunAndWakingRestartsIt_data()
    {
        QTest::addColumn<bool>("stoppedAsleep");
        QTest::newRow("wakes") << false;
        // A log-out before the wake-up ends like any other.
        QTest::newRow("stopped while asleep") << true;
    }

    void sleepEndsTheRunAndWakingRestartsIt()
    {
        QFETCH(bool, stoppedAsleep);
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QVERIFY(connectHeld(vpn, status));
        status.clear();
        vpn.systemSuspending();
        QCOMPARE(vpn.getStatus(), Suspended);
        QVERIFY(status.isEmpty()); // sleeping says nothing
        QTest::qWait(100);
        QCOMPARE(vpn.getStatus(), Suspended); // the process end changes nothing
        if (stoppedAsleep) {
            vpn.stop(false);
            QVERIFY(waitFor(status, Disconnected));
            QCOMPARE(reports(status),
                     (QStringList{report(Disconnecting, "Disconnecting"), report(Disconnected)}));
            vpn.systemResumed(); // nothing to resume
            QTest::qWait(100);
            QCOMPARE(vpn.getStatus(), Disconnected);
            return;
        }
        vpn.systemResumed();
        QVERIFY(waitFor(status, Connected));
        QCOMPARE(reports(status).first(), report(Connecting, "Initializing"));
        vpn.stop(false);
        QVERIFY(waitFor(status, Disconnected));
        // Asleep while disconnected: nothing to do.
        vpn.systemSuspending();
        QCOMPARE(vpn.getStatus(), Disconnected);
    }

    void programThatCannotStartEndsInDisconnected()
    {
        QSettings settings;
        const QVariant program = settings.value(QLatin1String(SettingsKey::OpenvpnExe));
        settings.setValue(QLatin1String(SettingsKey::OpenvpnExe),
                          QStringLiteral("/nonexistent/openvpn"));
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QSignalSpy errors(&vpn, &VPNConnection::error);
        vpn.start();
        QCOMPARE(errors.count(), 1);
        QCOMPARE(
            errors.first().first().toString(),
            QStringLiteral("Creating VPN tunnel failed.\nThe OpenVPN program cannot be started."));
        QCOMPARE(reports(status),
                 (QStringList{report(Connecting, "Initializing"), report(Disconnected)}));
        settings.setValue(QLatin1String(SettingsKey::OpenvpnExe), program);
    }

    void tunnelRunsWithoutItsLog()
    {
        // A folder stands where the log should be: it cannot even be opened.
        QFile::remove(QStringLiteral("log.txt"));
        QVERIFY(QDir().mkdir(QStringLiteral("log.txt")));
        auto restore = qScopeGuard([] { QDir().rmdir(QStringLiteral("log.txt")); });
        // Said once, not for every line OpenVPN prints.
        const QRegularExpression warning(
            QStringLiteral("cannot write the OpenVPN log .*log\\.txt"));
        QTest::ignoreMessage(QtWarningMsg, warning);
        QTest::failOnWarning(warning);
        VPNConnection vpn;
        QSignalSpy status(&vpn, &VPNConnection::statusChanged);
        QVERIFY(connectHeld(vpn, status));
        vpn.stop(false);
        QVERIFY(waitFor(status, Disconnected));
    }

    void destructionEndsTheProcess()
    {
        auto vpn = std::make_unique<VPNConnection>();
        QSignalSpy status(vpn.get(), &VPNConnection::statusChanged);
        QVERIFY(connectHeld(*vpn, status));
        const QString pid = readAll(answers + QStringLiteral(".pid"));
        QVERIFY(QFile::exists(QStringLiteral("/proc/") + pid));
        vpn.reset();
        QVERIFY(!QFile::exists(QStringLiteral("/proc/") + pid));
    }
};

QTEST_GUILESS_MAIN(TestVPNConnection)
#include "tst_vpnconnection.moc"
