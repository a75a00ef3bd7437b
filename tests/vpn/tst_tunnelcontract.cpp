// The scripted tunnel stands in for the real one wherever the login is
// tested without root, so it must not drift from it: on each course of a
// run both report the same states in the same order and the same errors.
// The real one drives the stand-in for OpenVPN that plays back recorded
// sessions (tests/vpn/data).
#include "RecordedOpenVpn.h"
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "vpn/ScriptedTunnel.h"
#include "vpn/VPNConnection.h"

#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

const char AuthFailed[] = "Authentication failed.\nCheck your VPN access subscription, please.";

void play(const char *recording, const char *hold = "")
{
    qputenv("QUILLNET_REPLAY",
            QFile::encodeName(qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                              QStringLiteral("/tests/vpn/data/") + QLatin1String(recording)));
    qputenv("QUILLNET_REPLAY_HOLD", hold);
}

bool waitForNth(const QSignalSpy &spy, CnnStatus status, int nth)
{
    return QTest::qWaitFor(
        [&] {
            return std::count_if(spy.cbegin(), spy.cend(), [&](const QList<QVariant> &a) {
                       return a.at(0).value<CnnStatus>() == status;
                   }) >= nth;
        },
        15000);
}

} // namespace

class TestTunnelContract : public QObject
{
    Q_OBJECT

    // One run of a tunnel: each change of state and each error, in order.
    static QStringList drive(Tunnel &tunnel, const QString &course)
    {
        auto *scripted = qobject_cast<ScriptedTunnel *>(&tunnel);
        QSignalSpy status(&tunnel, &Tunnel::statusChanged);
        QStringList seen;
        connect(&tunnel, &Tunnel::error, &tunnel,
                [&seen](const QString &text) { seen << QStringLiteral("error: ") + text; });
        connect(&tunnel, &Tunnel::statusChanged, &tunnel, [&seen](CnnStatus state) {
            const QString name = QString::number(int(state));
            if (seen.value(seen.size() - 1) != name)
                seen << name;
        });
        tunnel.setCredentials(QStringLiteral("alice"), QStringLiteral("secret1"));
        tunnel.setConfig(QStringLiteral("quillnet.ovpn"));
        if (course == QLatin1String("refused")) {
            play("auth-failed.pty");
            if (scripted)
                scripted->setConnectsByItself(false);
            tunnel.start();
            if (scripted)
                scripted->fail(QLatin1String(AuthFailed));
        } else {
            play("connect.pty", "Initialization Sequence Completed");
            tunnel.start();
            if (!waitForNth(status, Connected, 1))
                return {QStringLiteral("never up")};
            if (course == QLatin1String("reconnect")) {
                tunnel.reconnect();
                if (!waitForNth(status, Connected, 2))
                    return {QStringLiteral("not up again")};
            }
            tunnel.stop(false);
        }
        if (!waitForNth(status, Disconnected, 1))
            seen << QStringLiteral("never down");
        tunnel.disconnect(&tunnel);
        return seen;
    }

private slots:
    void initTestCase()
    {
        setApplicationNames();
        useRecordedOpenVpn(QDir::current().filePath(QStringLiteral("answers.txt")));
    }

    void scriptedTunnelReportsWhatTheRealOneDoes_data()
    {
        QTest::addColumn<QString>("course");
        QTest::newRow("up, then stopped") << "stopped";
        QTest::newRow("up, reconnected, stopped") << "reconnect";
        QTest::newRow("refused by the server") << "refused";
    }

    void scriptedTunnelReportsWhatTheRealOneDoes()
    {
        QFETCH(QString, course);
        VPNConnection real;
        const QStringList expected = drive(real, course);
        QVERIFY2(expected.size() >= 3 && expected.last() == QString::number(Disconnected),
                 qPrintable(expected.join(QLatin1Char(' '))));
        ScriptedTunnel scripted;
        QCOMPARE(drive(scripted, course), expected);
        QCOMPARE(scripted.user(), QStringLiteral("alice"));
        QCOMPARE(scripted.password(), QStringLiteral("secret1"));
    }
};

QTEST_MAIN(TestTunnelContract)
#include "tst_tunnelcontract.moc"
