// A local service's bit in the adapter's flag register is written without
// a word while the register takes it; a write that fails is only logged,
// and where there is no adapter there is nothing to write or to say.
#include "platform/AdapterFlagRegister.h"
#include "ui/main/ServiceFlag.h"
#include "vpn/ScriptedTunnel.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestServiceFlag : public QObject
{
    Q_OBJECT

    QTemporaryDir runtime;

    QString registerFile() const { return AdapterFlagRegister::path(QStringLiteral("tun0")); }

    QByteArray registerContent() const
    {
        QFile file(registerFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("absent");
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QVERIFY(AdapterFlagRegister::write(QStringLiteral("tun0"), 0)); // makes the folder
    }

    void init()
    {
        QFile::remove(registerFile());
        // Any warning not announced by the case fails it.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    }

    void failedWritesAreOnlyLogged_data()
    {
        QTest::addColumn<bool>("tunnelGiven");
        QTest::addColumn<QByteArray>("before"); // "absent": never written
        QTest::addColumn<QByteArray>("raised");
        QTest::addColumn<QByteArray>("lowered");
        QTest::addColumn<bool>("warned");

        QTest::newRow("no tunnel") << false << QByteArray("absent") << QByteArray("absent")
                                   << QByteArray("absent") << false;
        QTest::newRow("never written")
            << true << QByteArray("absent") << QByteArray("\x02") << QByteArray(1, '\0') << false;
        QTest::newRow("other bits kept")
            << true << QByteArray("\x01") << QByteArray("\x03") << QByteArray("\x01") << false;
        QTest::newRow("unreadable register")
            << true << QByteArray("\x01\x01") << QByteArray("\x01\x01") << QByteArray("\x01\x01")
            << true;
    }

    void failedWritesAreOnlyLogged()
    {
        QFETCH(bool, tunnelGiven);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, raised);
        QFETCH(QByteArray, lowered);
        QFETCH(bool, warned);

        if (before != "absent") {
            QFile file(registerFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(before);
        }
        ScriptedTunnel tunnel; // its adapter is tun0
        ServiceFlag flag(tunnelGiven ? &tunnel : nullptr, 2, "mail proxy");

        if (warned)
            QTest::ignoreMessage(QtWarningMsg,
                                 "quillnet: cannot mark the mail proxy as running in the flags of "
                                 "adapter tun0");
        flag.raise();
        QCOMPARE(registerContent(), raised);

        if (warned)
            QTest::ignoreMessage(QtWarningMsg,
                                 "quillnet: cannot mark the mail proxy as stopped in the flags of "
                                 "adapter tun0");
        flag.lower();
        QCOMPARE(registerContent(), lowered);
    }
};

QTEST_GUILESS_MAIN(TestServiceFlag)
#include "tst_serviceflag.moc"
