// The protection's answers belong to the begin they answer: a start that a
// newer one overtook (its caller gone while its block was being made) says
// nothing, so that the newer caller never runs on the older one's answer.
// nft is a stand-in that takes its time.
#include "protection/TunnelProtection.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestTunnelProtection : public QObject
{
    Q_OBJECT

private slots:
    void anOvertakenBeginSaysNothing()
    {
        QTemporaryDir folder;
        const QString nft = folder.filePath(QStringLiteral("nft"));
        QFile script(nft);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ncat >/dev/null\nsleep 0.3\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

        TunnelProtection protection(QDBusConnection::systemBus(),
                                    {.nftProgram = nft,
                                     .resolvConf = folder.filePath(QStringLiteral("resolv.conf")),
                                     .stateFolder = folder.filePath(QStringLiteral("state"))});
        QSignalSpy ready(&protection, &TunnelProtection::ready);
        protection.begin({{QStringLiteral("198.51.100.7"), 1194, false}}, QString(), 0, true);
        protection.begin({{QStringLiteral("198.51.100.8"), 1194, false}}, QString(), 0, true);
        QVERIFY(ready.wait(5000));
        QTest::qWait(800);
        QCOMPARE(ready.count(), 1);
        QCOMPARE(ready.first().first().toBool(), true);
    }
};

QTEST_GUILESS_MAIN(TestTunnelProtection)
#include "tst_tunnelprotection.moc"
