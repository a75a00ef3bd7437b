// The pinned certificate comes from the deployment override when one is
// named: that certificate, and only it, is accepted; a pin that cannot be
// read refuses every encrypted answer. Run once per kind of pin
// (PIN_UNDER_TEST = other | unreadable), since a process reads its
// deployment once.
#include "ServicePeer.h"
#include "net/RequestServer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

class TestPinning : public QObject
{
    Q_OBJECT

    ServicePeer service;
    QString pin;

    QList<QVariant> fetchConfig()
    {
        RequestServer client(QStringLiteral("127.0.0.1"), nullptr);
        client.setUser(QStringLiteral("demo"), QStringLiteral("demo123"));
        QSignalSpy done(&client, &RequestServer::getConfigDone);
        if (!client.getConfig() || !done.wait(15000))
            return {};
        return done.first();
    }

private slots:
    void initTestCase()
    {
        pin = qEnvironmentVariable("PIN_UNDER_TEST");
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        QString certificate = qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                              QStringLiteral("/tests/peers/certs/other.crt");
        if (pin == QLatin1String("unreadable")) {
            certificate = QDir::current().filePath(QStringLiteral("not-a-certificate.pem"));
            QFile garbage(certificate);
            QVERIFY(garbage.open(QIODevice::WriteOnly));
            garbage.write("-----BEGIN CERTIFICATE-----\nnot base64\n-----END CERTIFICATE-----\n");
        } else {
            QCOMPARE(pin, QStringLiteral("other"));
        }
        QFile ini(service.deploymentFile());
        QVERIFY(ini.open(QIODevice::Append));
        ini.write("server_cert = " + QFile::encodeName(certificate) + "\n");
        ini.close();
        qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(service.deploymentFile()));
    }

    void pinFromTheOverrideDecides()
    {
        if (pin == QLatin1String("other")) {
            // The compiled-in certificate no longer counts; the named one does.
            QList<QVariant> answer = fetchConfig();
            QCOMPARE(answer.value(0).toByteArray(), QByteArray("Unable to autenticate server certificate."));
            QCOMPARE(answer.value(1).toBool(), false);
            service.control(QStringLiteral("/_control/cert?name=other"));
            answer = fetchConfig();
            QCOMPARE(answer.value(1).toBool(), true);
            return;
        }
        // A pin that cannot be read accepts no encrypted answer at all.
        for (const QString &cert : {QStringLiteral("main"), QStringLiteral("other")}) {
            service.control(QStringLiteral("/_control/cert?name=") + cert);
            const QList<QVariant> answer = fetchConfig();
            QCOMPARE(answer.value(0).toByteArray(), QByteArray("Unable to load server certificate."));
            QCOMPARE(answer.value(1).toBool(), false);
        }
    }
};

QTEST_GUILESS_MAIN(TestPinning)
#include "tst_pinning.moc"
