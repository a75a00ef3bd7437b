// Logins through the real dialog when something goes wrong underneath: the
// tunnel dies, OpenVPN is missing, the service misbehaves, the working
// folder cannot be written, the log has no room. Each time the user must be
// told, the dialog must be usable again and no tunnel may run on bad files.
// Runs in a mount namespace of its own (own_mounts.sh) for its tmpfs mounts.
#include "ChildProcesses.h"
#include "ui/login/LoginTestBed.h"
#include "ui/login/ScratchMount.h"
#include "ui/main/WebPage.h"
#include "vpn/Tunnel.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <csignal>
#include <unistd.h>

namespace {

MainForm *shownMainForm()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && qobject_cast<MainForm *>(window))
            return qobject_cast<MainForm *>(window);
    }
    return nullptr;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestLoginFaults : public QObject, public LoginTestBed
{
    Q_OBJECT

    QPushButton *loginBtn() { return child<QPushButton>("loginBtn"); }

    void logInAsDemo()
    {
        typeCredentials(QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::mouseClick(loginBtn(), Qt::LeftButton);
    }

    // The dialog takes the next login as if nothing had happened.
    void loginWorksAgain()
    {
        QVERIFY(loginBtn()->isEnabled());
        QCOMPARE(loginBtn()->text(), QStringLiteral("Log me into quillnet"));
        QTest::mouseClick(loginBtn(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        logOutAndWait();
    }

private slots:
    void initTestCase()
    {
        if (!OpenVpnServerPeer::isAvailable())
            QSKIP("needs root, network namespaces and openvpn");
        QVERIFY2(startBed(), qPrintable(bedError));
    }

    void cleanupTestCase() { endBed(); }

    void init() { resetBed(); }

    // OpenVPN dying under a tunnel that was up is an outage: the windows
    // stay, the tray and the dialog say "Reconnecting" (no box, no
    // failure), the address is not called hidden meanwhile, and the tunnel
    // comes back by itself for the same account.
    void aTunnelThatDiesComesBackByItself()
    {
        newDialog();
        logInAsDemo();
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        MainForm *mainForm = shownMainForm();
        QVERIFY(mainForm);
        QVERIFY(mainForm->webPage()->addressTickShown());
        QStringList seen; // state, tray tip's first line, address tick
        const QMetaObject::Connection watch =
            connect(tunnel(), &Tunnel::statusChanged, this, [&](CnnStatus status, const QString &) {
                seen << QStringLiteral("%1 %2 %3")
                            .arg(int(status))
                            .arg(tray()->toolTip().section(QLatin1Char('\n'), 0, 0))
                            .arg(mainForm->webPage()->addressTickShown() ? "tick" : "-");
            });
        auto unwatch = qScopeGuard([watch] { QObject::disconnect(watch); });
        const QList<pid_t> openvpn = openVpnChildren();
        QCOMPARE(openvpn.size(), 1);
        QCOMPARE(::kill(openvpn.first(), SIGKILL), 0);

        QTRY_VERIFY_WITH_TIMEOUT(seen.contains(QStringLiteral("3 Quillnet by Korvex tick")), 30000);
        QCOMPARE(seen.first(), QStringLiteral("4 Quillnet is reconnecting -"));
        QVERIFY2(!seen.join(QLatin1Char(',')).contains(QStringLiteral("1 ")),
                 qPrintable(seen.join(QLatin1Char(','))));
        QVERIFY(!attention().contains(QStringLiteral("Server connection failure.")));
        QVERIFY(mainFormShown() && !dialog()->isVisible());
        const QList<pid_t> again = openVpnChildren();
        QCOMPARE(again.size(), 1);
        QVERIFY(again.first() != openvpn.first());
        logOutAndWait();
    }

    // A user's stop is no failure: nothing more than the usual is said.
    void stoppingTheTunnelIsNoFailure()
    {
        newDialog();
        logInAsDemo();
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        logOutAndWait();
        QVERIFY(!attention().contains(QStringLiteral("Server connection failure.")));
    }

    void missingOpenVpnIsReported()
    {
        QSettings().setValue(QLatin1String(SettingsKey::OpenvpnExe),
                             QStringLiteral("/nonexistent/openvpn"));
        auto restore =
            qScopeGuard([] { QSettings().remove(QLatin1String(SettingsKey::OpenvpnExe)); });
        newDialog();
        logInAsDemo();
        QTRY_VERIFY_WITH_TIMEOUT(
            attention().contains(QStringLiteral("Creating VPN tunnel failed.")), 30000);
        QVERIFY(attention().contains(QStringLiteral("The OpenVPN program cannot be started.")));
        QCOMPARE(tunnel()->getStatus(), Disconnected);
        QVERIFY(!mainFormShown());

        restore.dismiss();
        QSettings().remove(QLatin1String(SettingsKey::OpenvpnExe));
        loginWorksAgain();
    }

    void serviceFaultStartsNoTunnel_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<QString>("secondLine");
        const QString error = QStringLiteral("Error occured.");
        QTest::newRow("garbage") << "/_control/behave?path=/server/config.php&mode=garbage" << error
                                 << "Invalid server response.";
        QTest::newRow("stall") << "/_control/behave?path=/server/config.php&mode=stall" << error
                               << "Connection timeout.";
        QTest::newRow("other certificate")
            << "/_control/cert?name=other" << error << "Unable to autenticate server certificate.";
        QTest::newRow("configuration that runs a program")
            << "/_control/behave?path=/server/config.php&mode=hostile-config"
            << "Tunnel configuration refused."
            << "\"script-security\"";
    }

    void serviceFaultStartsNoTunnel()
    {
        QFETCH(QString, control);
        QFETCH(QString, firstLine);
        QFETCH(QString, secondLine);
        QFile::remove(QStringLiteral("hostile-config-ran"));
        const QByteArray configBefore = readFile(QStringLiteral("quillnet.ovpn"));
        newDialog();
        if (control.contains(QLatin1String("mode=stall")))
            shortenRequestTimeout(3000);
        service.control(control);
        QSignalSpy states(tunnel(), &Tunnel::statusChanged);
        logInAsDemo();
        QTRY_VERIFY_WITH_TIMEOUT(attention().contains(secondLine), 30000);
        QVERIFY(attention().contains(firstLine));
        QCOMPARE(readFile(QStringLiteral("quillnet.ovpn")), configBefore);
        QVERIFY(!QFile::exists(QStringLiteral("hostile-config-ran")));
        QVERIFY(child<QLineEdit>("usernameEdit")->isEnabled());
        QVERIFY(states.isEmpty());
        QCOMPARE(toolRuns(), QStringList());
        QVERIFY(!mainFormShown());

        service.control(QStringLiteral("/_control/reset"));
        loginWorksAgain();
    }

    void folderThatCannotBeWrittenStopsTheLogin_data()
    {
        QTest::addColumn<bool>("full");
        QTest::newRow("read-only") << false;
        QTest::newRow("full") << true;
    }

    void folderThatCannotBeWrittenStopsTheLogin()
    {
        QFETCH(bool, full);
        const QString home = QDir::currentPath();
        const QString folder = QDir(home).absoluteFilePath(QStringLiteral("unwritable"));
        QVERIFY(QDir().mkpath(folder));
        ScratchMount mount(folder, QStringLiteral("size=64k"));
        QVERIFY2(mount.isMounted(), qPrintable(mount.errorString()));
        if (full) {
            // Room for new names, none for their contents.
            QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(4096, 'x');
            for (int i = 0; i < 64 && filler.write(block) == block.size(); ++i) {
            }
            QCOMPARE(filler.write(block), qint64(-1));
        } else {
            // An earlier login's files must not pass for this one's.
            for (const char *name : {"cert.crt", "quillnet.ovpn"}) {
                QFile stale(QDir(folder).filePath(QLatin1String(name)));
                QVERIFY(stale.open(QIODevice::WriteOnly));
                stale.write("stale\n");
            }
            QVERIFY2(mount.makeReadOnly(), qPrintable(mount.errorString()));
        }
        QVERIFY(QDir::setCurrent(folder));
        auto back = qScopeGuard([&] { QDir::setCurrent(home); });

        newDialog();
        QSignalSpy states(tunnel(), &Tunnel::statusChanged);
        logInAsDemo();
        QTRY_VERIFY_WITH_TIMEOUT(
            attention().contains(QStringLiteral("Configuration files creation failed")), 30000);
        QVERIFY(attention().contains(QStringLiteral("Check your access rights, please.")));
        QVERIFY(states.isEmpty());
        QVERIFY(toolRuns().isEmpty());
        QVERIFY(loginBtn()->isEnabled());
        QVERIFY(!mainFormShown());
        if (!full)
            QCOMPARE(readFile(QStringLiteral("quillnet.ovpn")), QByteArray("stale\n"));
    }

    void fullLogKeepsTheTunnel()
    {
        // Every write to the log fails for want of space.
        endBed();
        QFile::remove(QStringLiteral("log.txt"));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), QStringLiteral("log.txt")));
        useTunnel(new VPNConnection);
        auto restore = qScopeGuard([this] {
            endBed();
            QFile::remove(QStringLiteral("log.txt"));
            useTunnel(new VPNConnection);
        });

        // Said once, however much OpenVPN prints.
        const QRegularExpression logWarning(
            QStringLiteral("cannot write the OpenVPN log .*log\\.txt: "));
        QTest::ignoreMessage(QtWarningMsg, logWarning);
        QTest::failOnWarning(logWarning);
        newDialog();
        logInAsDemo();
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(tunnel()->getStatus(), Connected);
        QCOMPARE(openVpnChildren().size(), 1);
        logOutAndWait();
        QCOMPARE(QFileInfo(QStringLiteral("log.txt")).symLinkTarget(), QStringLiteral("/dev/full"));
    }
};

QTEST_MAIN(TestLoginFaults)
#include "tst_loginfaults.moc"
