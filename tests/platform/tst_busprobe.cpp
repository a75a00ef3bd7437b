// The probe that keeps a bus daemon which never answers from freezing the
// client, against a real dbus-daemon of the test's own and a socket that
// takes connections and says nothing.
#include "PrivateBusDaemon.h"
#include "platform/BusProbe.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

namespace {
constexpr int TimeoutMs = 300;
const char BusConfig[] = R"(  <type>session</type>
  <policy context="default"><allow send_destination="*"/><allow own="*"/></policy>
)";
} // namespace

Q_DECLARE_METATYPE(BusProbe::Result)

class TestBusProbe : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    QProcess daemon;
    // Takes every connection and never reads or writes.
    QLocalServer silent;
    QList<QLocalSocket *> held;

    // Runs `probe` on a thread of its own while this thread's loop takes
    // the silent socket's connections; false when it did not end in time.
    template <typename Probe> static bool probeAside(Probe probe)
    {
        std::atomic<bool> done{false};
        std::thread thread([&] {
            probe();
            done = true;
        });
        const bool finished = QTest::qWaitFor([&] { return done.load(); }, 10 * TimeoutMs);
        thread.join();
        return finished;
    }

    QByteArray daemonAddress() const { return PrivateBusDaemon::address(folder.path()).toUtf8(); }

private slots:
    void initTestCase()
    {
        if (!PrivateBusDaemon::isAvailable())
            QSKIP("dbus-daemon is not installed");
        QString error;
        QVERIFY2(PrivateBusDaemon::start(daemon, folder.path(), BusConfig, &error),
                 qPrintable(error));
        QVERIFY(silent.listen(folder.filePath(QStringLiteral("silent"))));
        connect(&silent, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *socket = silent.nextPendingConnection())
                held << socket;
        });
    }

    void cleanupTestCase()
    {
        daemon.terminate();
        daemon.waitForFinished();
    }

    void theAnswerTellsWhatIsThere_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<BusProbe::Result>("result");
        const QByteArray daemon = daemonAddress();
        const QByteArray silentPath = QFile::encodeName(silent.fullServerName());
        QTest::newRow("a daemon") << daemon << BusProbe::Answered;
        QTest::newRow("a daemon, escaped, with a key and a second address")
            << QByteArray("unix:path=") + daemon.mid(10).toPercentEncoding() +
                   ",guid=0123456789abcdef0123456789abcdef;tcp:host=localhost,port=1"
            << BusProbe::Answered;
        QTest::newRow("a socket that never answers")
            << QByteArray("unix:path=") + silentPath << BusProbe::Silent;
        QTest::newRow("nobody there")
            << QByteArray("unix:path=") + QFile::encodeName(folder.filePath("none"))
            << BusProbe::Unreachable;
        QTest::newRow("not a socket")
            << QByteArray("unix:path=/dev/null/bus") << BusProbe::Unreachable;
        QTest::newRow("nobody at an abstract name")
            << QByteArray("unix:abstract=/quillnet-test-nobody") << BusProbe::Unreachable;
        QTest::newRow("another transport")
            << QByteArray("tcp:host=127.0.0.1,port=1") << BusProbe::NotAsked;
        QTest::newRow("no address") << QByteArray() << BusProbe::NotAsked;
    }

    void theAnswerTellsWhatIsThere()
    {
        QFETCH(QByteArray, address);
        QFETCH(BusProbe::Result, result);
        BusProbe::Result asked = BusProbe::Answered;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(probeAside([&] { asked = BusProbe::ask(address, TimeoutMs); }));
        QCOMPARE(asked, result);
        // A silent daemon costs the probe's time limit, and no more.
        QVERIFY(clock.elapsed() < TimeoutMs + 500);
    }

    // Only a silent bus is set aside, and then so that connecting to it
    // fails at once.
    void onlyASilentBusIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("session");
        QTest::addColumn<bool>("setAside");
        QTest::newRow("answering") << daemonAddress() << false;
        QTest::newRow("silent") << QByteArray("unix:path=") +
                                       QFile::encodeName(silent.fullServerName())
                                << true;
        QTest::newRow("unreachable") << QByteArray("unix:path=/dev/null/bus") << false;
    }

    void onlyASilentBusIsSetAside()
    {
        QFETCH(QByteArray, session);
        QFETCH(bool, setAside);
        const QByteArray system = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", session);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", daemonAddress());
        QStringList notes;
        QVERIFY(probeAside([&] { notes = BusProbe::setAsideSilentBuses(TimeoutMs); }));
        const QByteArray after = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        QCOMPARE(qgetenv("DBUS_SYSTEM_BUS_ADDRESS"), daemonAddress());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", system);
        QCOMPARE(after != session, setAside);
        QCOMPARE(notes.size(), setAside ? 1 : 0);
        if (setAside) {
            QVERIFY(notes.first().contains(QLatin1String("session bus does not answer")));
            QCOMPARE(BusProbe::ask(after, TimeoutMs), BusProbe::Unreachable);
        }
    }
};

QTEST_GUILESS_MAIN(TestBusProbe)
#include "tst_busprobe.moc"
