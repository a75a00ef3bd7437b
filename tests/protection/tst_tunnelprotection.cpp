// The protection's answers belong to the begin they answer: a start that a
// newer one overtook (its caller gone while its block was being made) says
// nothing, so that the newer caller never runs on the older one's answer;
// and the next instance knows whose the block is. nft is a stand-in that
// takes its time.
#include "protection/TunnelProtection.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestTunnelProtection : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    TunnelProtection::Places places;

private slots:
    void initTestCase()
    {
        const QString nft = folder.filePath(QStringLiteral("nft"));
        QFile script(nft);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ncat >/dev/null\nsleep 0.3\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        places = {.nftProgram = nft,
                  .resolvConf = folder.filePath(QStringLiteral("resolv.conf")),
                  .stateFolder = folder.filePath(QStringLiteral("state"))};
    }

    void anOvertakenBeginSaysNothing()
    {
        TunnelProtection protection(QDBusConnection::systemBus(), places);
        protection.setOwner(1000);
        QSignalSpy ready(&protection, &TunnelProtection::ready);
        protection.begin({{QStringLiteral("198.51.100.7"), 1194, false}}, QString(), 0, true);
        protection.begin({{QStringLiteral("198.51.100.8"), 1194, false}}, QString(), 0, true);
        QVERIFY(ready.wait(5000));
        QTest::qWait(800);
        QCOMPARE(ready.count(), 1);
        QCOMPARE(ready.first().first().toBool(), true);
    }

    // A service started anew after a crash finds the block, and whose it is,
    // in the marker the last one left.
    void theBlocksUserOutlivesTheService()
    {
        TunnelProtection again(QDBusConnection::systemBus(), places);
        QVERIFY(again.isActive());
        QCOMPARE(again.owner(), std::optional<uint>(1000));
    }
};

QTEST_GUILESS_MAIN(TestTunnelProtection)
#include "tst_tunnelprotection.moc"
