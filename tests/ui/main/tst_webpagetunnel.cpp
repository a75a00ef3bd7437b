// The web page tells the user the real address is hidden only while the
// tunnel is up; at any other moment it says plainly that there is no
// connection, also when the page is made while the tunnel is on its way.
#include "ui/main/WebPage.h"
#include "vpn/ScriptedTunnel.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QResource>
#include <QTest>
#include <memory>

class TestWebPageTunnel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QResource::registerResource(QDir(qEnvironmentVariable("QUILLNET_APP_DIR"))
                                        .filePath(QStringLiteral("graphics.rcc")));
    }

    void addressClaimFollowsTheTunnel_data()
    {
        // Steps of the tunnel, "page" where the page is made (else first).
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("never started") << QStringList() << false;
        QTest::newRow("connecting") << QStringList{"start"} << false;
        QTest::newRow("connected") << QStringList{"start", "connect"} << true;
        QTest::newRow("OpenVPN restarting") << QStringList{"start", "connect", "restart"} << false;
        QTest::newRow("back again")
            << QStringList{"start", "connect", "restart", "connect"} << true;
        QTest::newRow("dropped") << QStringList{"start", "connect", "drop"} << false;
        QTest::newRow("stopped") << QStringList{"start", "connect", "stop"} << false;
        QTest::newRow("page made while up") << QStringList{"start", "connect", "page"} << true;
        QTest::newRow("page made while connecting") << QStringList{"start", "page"} << false;
    }

    void addressClaimFollowsTheTunnel()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, hidden);
        ScriptedTunnel tunnel;
        tunnel.setConnectsByItself(false);
        std::unique_ptr<WebPage> page;
        if (!steps.contains(QStringLiteral("page")))
            page = std::make_unique<WebPage>(&tunnel);
        for (const QString &step : steps) {
            if (step == QLatin1String("page"))
                page = std::make_unique<WebPage>(&tunnel);
            else if (step == QLatin1String("start"))
                tunnel.start();
            else if (step == QLatin1String("connect"))
                tunnel.connectNow();
            else if (step == QLatin1String("restart"))
                tunnel.restart();
            else if (step == QLatin1String("drop"))
                tunnel.drop();
            else if (step == QLatin1String("stop"))
                tunnel.stop(false);
            QTest::qWait(20); // the rest of a step comes from the event loop
        }
        page->show();
        QCOMPARE(page->addressTickShown(), hidden);
        QCOMPARE(page->findChild<QLabel *>(QStringLiteral("hiddenLbl"))->text(),
                 hidden ? QStringLiteral("Real IP address is hidden")
                        : QStringLiteral("Not connected"));
    }
};

QTEST_MAIN(TestWebPageTunnel)
#include "tst_webpagetunnel.moc"
