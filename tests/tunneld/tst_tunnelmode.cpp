// Who runs OpenVPN: the tunnel service when the system bus can start it,
// else this process, whose capabilities decide whether that can work; the
// bus is asked without waiting, and the tunnel waits for the answer.
#include "SystemBusPeer.h"
#include "vpn/DeferredConsole.h"
#include "vpn/TunnelModeQuery.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

namespace {

// A console that notes what it was asked and finishes when stopped.
class RecordingConsole : public TunnelConsole
{
public:
    RecordingConsole(QStringList *calls, QObject *parent) : TunnelConsole(parent), calls(calls) {}

    void start(const TunnelLaunch &) override { note("start", true); }
    void prepare() override { note("prepare", running); }
    void release() override { note("release", running); }
    bool isRunning() const override { return running; }
    QByteArray readAll() override { return {}; }
    void write(const QByteArray &) override {}
    bool isEchoOff() override { return false; }
    void stop() override
    {
        note("stop", false);
        emit finished();
    }
    void kill() override { stop(); }
    bool waitForFinished(int) override { return !running; }

private:
    void note(const char *call, bool nowRunning)
    {
        *calls << QLatin1String(call);
        running = nowRunning;
    }

    QStringList *calls;
    bool running = false;
};

} // namespace

class TestTunnelMode : public QObject
{
    Q_OBJECT

    SystemBusPeer bus;

private slots:
    void initTestCase()
    {
        if (!SystemBusPeer::isAvailable())
            QSKIP("needs dbus-daemon");
        QVERIFY2(bus.start({}), qPrintable(bus.errorString()));
        QVERIFY(bus.addActivatableService(
            qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                QStringLiteral("/resources/tunneld/net.quillnet.Tunnel.service"),
            QStringLiteral("/bin/false")));
    }

    void choosesWhoRunsOpenVpn_data()
    {
        QTest::addColumn<bool>("serviceOnBus");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("lineSays");
        const QByteArray none =
            "Name:\tquillnet\nCapInh:\t0000000000000000\nCapEff:\t0000000000000000\n";
        const QByteArray netAdmin = "CapPrm:\t0000000000000000\nCapEff:\t0000000000001000\n";
        const QByteArray root = "CapEff:\t000001ffffffffff\nCapBnd:\t000001ffffffffff\n";
        QTest::newRow("service, ordinary user")
            << true << none << int(TunnelMode::Service) << "tunnel service";
        QTest::newRow("service, root")
            << true << root << int(TunnelMode::Service) << "tunnel service";
        QTest::newRow("no service, CAP_NET_ADMIN alone")
            << false << netAdmin << int(TunnelMode::Direct) << "which has CAP_NET_ADMIN";
        QTest::newRow("no service, root")
            << false << root << int(TunnelMode::Direct) << "which has CAP_NET_ADMIN";
        QTest::newRow("no service, ordinary user")
            << false << none << int(TunnelMode::Direct) << "cannot create its tunnel";
        QTest::newRow("no service, unreadable status")
            << false << QByteArray() << int(TunnelMode::Direct) << "cannot create its tunnel";
        QTest::newRow("no service, garbled mask")
            << false << QByteArray("CapEff:\tzz1000\n") << int(TunnelMode::Direct)
            << "cannot create its tunnel";
    }

    void choosesWhoRunsOpenVpn()
    {
        QFETCH(bool, serviceOnBus);
        QFETCH(QByteArray, status);
        QFETCH(int, mode);
        QFETCH(QString, lineSays);
        TunnelModeQuery query(serviceOnBus ? QDBusConnection::systemBus()
                                           : QDBusConnection(QStringLiteral("none")),
                              status);
        QList<TunnelMode::Choice> choices;
        connect(&query, &TunnelModeQuery::chosen, this,
                [&choices](const TunnelMode::Choice &choice) { choices << choice; });
        query.ask();
        // Asking never waits for the bus.
        QVERIFY(choices.isEmpty());
        QTRY_COMPARE(choices.size(), 1);
        QCOMPARE(int(choices[0].mode), mode);
        QVERIFY2(choices[0].line.contains(lineSays), qPrintable(choices[0].line));
        QVERIFY(!choices[0].line.contains(QLatin1Char('\n')));
    }

    // What is asked of the tunnel while the bus is being asked waits and
    // then goes to the console of the mode chosen; a stop in between ends
    // the waiting start like a run.
    void consoleWaitsForTheMode_data()
    {
        QTest::addColumn<bool>("stopFirst");
        QTest::newRow("started, then the mode") << false;
        QTest::newRow("started and stopped, then the mode") << true;
    }

    void consoleWaitsForTheMode()
    {
        QFETCH(bool, stopFirst);
        QStringList calls;
        TunnelMode::Mode made = TunnelMode::Direct;
        DeferredConsole console([&](TunnelMode::Mode mode, QObject *parent) {
            made = mode;
            return new RecordingConsole(&calls, parent);
        });
        QSignalSpy finished(&console, &TunnelConsole::finished);
        console.prepare();
        console.release();
        console.start(TunnelLaunch());
        QVERIFY(console.isRunning());
        // Nobody waits for a release that cannot go out yet.
        QVERIFY(!console.isReleasing());
        if (stopFirst) {
            console.stop();
            QVERIFY(!console.isRunning());
            QVERIFY(finished.wait(1000));
        }
        console.useMode(TunnelMode::Service);
        QCOMPARE(int(made), int(TunnelMode::Service));
        QStringList expected{QStringLiteral("prepare"), QStringLiteral("release")};
        if (!stopFirst)
            expected << QStringLiteral("start");
        QCOMPARE(calls, expected);
        QCOMPARE(console.isRunning(), !stopFirst);
        // The mode's console speaks for the tunnel from now on.
        const qsizetype finishedBefore = finished.size();
        console.stop();
        QCOMPARE(calls.last(), QStringLiteral("stop"));
        QCOMPARE(finished.size(), finishedBefore + 1);
    }
};

QTEST_GUILESS_MAIN(TestTunnelMode)
#include "tst_tunnelmode.moc"
