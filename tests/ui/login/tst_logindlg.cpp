// The login through the real login dialog end to end: the local service
// answering the configuration and account requests, a real OpenVPN server
// in a network namespace, the adapter tool and the tray. The dialog's flow
// on the scripted tunnel, without root, is in tst_loginflow.
#include "ui/login/LoginTestBed.h"

class TestLoginDlg : public QObject, public LoginTestBed
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!OpenVpnServerPeer::isAvailable())
            QSKIP("needs root, network namespaces and openvpn");
        QVERIFY2(startBed(), qPrintable(bedError));
    }

    void cleanupTestCase() { endBed(); }

    // Each test starts from a dialog that was never logged in.
    void init() { resetBed(); }

    void fullAccountLogsInAndOut()
    {
        newDialog();
        typeCredentials(QStringLiteral("demo"), QStringLiteral("demo123"));
        QTest::mouseClick(child<QPushButton>("loginBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(tunnel()->getStatus(), Connected);
        QVERIFY(!dialog()->isVisible());
        // The account data is loaded in this order once the tunnel is up.
        QCOMPARE(requestsSeen(),
                 (QStringList{"/server/config.php", "GetForwarding", "GetAliases", "GetEmail"}));
        QCOMPARE(child<QPushButton>("loginBtn")->text(), QStringLiteral("Disconnect"));
        QVERIFY(tray()->toolTip().startsWith(QStringLiteral("Quillnet by Korvex\nIP: ") +
                                             server.serverAddress() +
                                             QStringLiteral("\nConnected since ")));
        QVERIFY(QFile::exists(QStringLiteral("cert.crt")) &&
                QFile::exists(QStringLiteral("quillnet.ovpn")));

        logOutAndWait();
        QCOMPARE(child<QPushButton>("loginBtn")->text(), QStringLiteral("Log me into quillnet"));
        QCOMPARE(toolRuns(), (QStringList{"enable", "disable"}));
    }

    // An account the service knows and the OpenVPN server does not: the
    // refusal comes from OpenVPN's own output.
    void tunnelRefusalIsExplained()
    {
        newDialog();
        typeCredentials(QStringLiteral("fresh"), QStringLiteral("fresh123"));
        QTest::mouseClick(child<QPushButton>("loginBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(attention().contains(QStringLiteral("Authentication failed.")),
                                 30000);
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("loginBtn")->isEnabled(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(tunnel()->getStatus(), Disconnected, 15000);
        QVERIFY(!mainFormShown());
    }
};

QTEST_MAIN(TestLoginDlg)
#include "tst_logindlg.moc"
