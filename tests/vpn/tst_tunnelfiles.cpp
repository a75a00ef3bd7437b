// Splitting the configuration answer into the certificate and OpenVPN's
// configuration, and finding the server's location in it.
#include "vpn/TunnelFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QByteArray Certificate =
    "-----BEGIN CERTIFICATE-----\nMIIB\nAAAA\n-----END CERTIFICATE-----\n";

} // namespace

class TestTunnelFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString cert() const { return dir.filePath(QStringLiteral("cert.crt")); }
    QString config() const { return dir.filePath(QStringLiteral("quillnet.ovpn")); }

private slots:
    void splitsTheAnswerInThreeParts_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("certificate");
        QTest::addColumn<QByteArray>("configuration");
        QTest::newRow("greeting and blank line dropped")
            << "Welcome\n\n" + Certificate + "client\nremote 10.0.0.1 1194\n"
            << Certificate << QByteArray("client\nremote 10.0.0.1 1194\n");
        QTest::newRow("windows line ends")
            << QByteArray("hi\r\n-----BEGIN CERTIFICATE-----\r\nMIIB\r\n-----END "
                          "CERTIFICATE-----\r\nclient\r\n")
            << QByteArray("-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n")
            << QByteArray("client\n");
        QTest::newRow("no certificate: both empty")
            << QByteArray("client\nremote x\n") << QByteArray() << QByteArray();
        QTest::newRow("certificate never ends: all in the certificate")
            << QByteArray("-----BEGIN CERTIFICATE-----\nMIIB\nclient\n")
            << QByteArray("-----BEGIN CERTIFICATE-----\nMIIB\nclient\n") << QByteArray();
        QTest::newRow("only the first certificate is the certificate")
            << Certificate + "client\n" + Certificate << Certificate << "client\n" + Certificate;
    }

    void splitsTheAnswerInThreeParts()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, certificate);
        QFETCH(QByteArray, configuration);
        QString location = QStringLiteral("unchanged");
        QVERIFY(TunnelFiles::write(body, dir.path(), &location));
        QCOMPARE(readFile(cert()), certificate);
        QCOMPARE(readFile(config()), configuration);
        QCOMPARE(location, QStringLiteral("unchanged"));
    }

    void locationLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("location");
        const QString none = QStringLiteral("previous");
        QTest::newRow("plain") << QByteArray("#$location_en=\"Prague\"") << "Prague";
        QTest::newRow("spaced") << QByteArray("#  $ location_en = \"New York, US\"")
                                << "New York, US";
        QTest::newRow("quotes inside")
            << QByteArray("# $ location_en = \"A \"B\" C\"") << "A \"B\" C";
        QTest::newRow("trailing comment") << QByteArray("# $ location_en = \"Prague\" # x") << none;
        QTest::newRow("indented") << QByteArray("  # $ location_en = \"Prague\"") << none;
        QTest::newRow("empty value") << QByteArray("# $ location_en = \"\"") << none;
        QTest::newRow("other catalogue's key") << QByteArray("# $ location_cz = \"Praha\"") << none;
    }

    void locationLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, location);
        QString found = QStringLiteral("previous");
        QVERIFY(TunnelFiles::write(Certificate + "client\n" + line + "\n", dir.path(), &found));
        QCOMPARE(found, location);
        // The line is configuration like any other.
        QVERIFY(readFile(config()).contains(line));
    }

    void lastLocationWinsAndTheCatalogueNamesTheKey()
    {
        QTranslator czech;
        QVERIFY(czech.load(QStringLiteral(":/data/quillnet_cz")));
        QCoreApplication::installTranslator(&czech);
        QCOMPARE(TunnelFiles::locationKey(), QStringLiteral("location_cz"));
        QString found;
        QVERIFY(TunnelFiles::write(Certificate +
                                       "# $ location_cz = \"Praha\"\n# $ location_cz = \"Brno\"\n",
                                   dir.path(), &found));
        QCOMPARE(found, QStringLiteral("Brno"));
        QCoreApplication::removeTranslator(&czech);
    }

    void unwritableFolderWritesNothing()
    {
        QString location = QStringLiteral("kept");
        QVERIFY(
            !TunnelFiles::write(Certificate, dir.filePath(QStringLiteral("missing")), &location));
        QCOMPARE(location, QStringLiteral("kept"));

        // The certificate can be written but the configuration cannot: a
        // folder stands where the configuration file should be.
        QTemporaryDir blocked;
        QVERIFY(QDir(blocked.path()).mkdir(QStringLiteral("quillnet.ovpn")));
        QVERIFY(!TunnelFiles::write(Certificate + "client\n", blocked.path(), &location));
    }

    // Root may write these into a folder its user controls: a link left at
    // a file's place is replaced, never written through, and only the owner
    // can read what was written.
    void filesArePrivateAndNeverWrittenThroughALink()
    {
        QTemporaryDir folder;
        const QString victim = folder.filePath(QStringLiteral("victim"));
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("precious\n");
        file.close();
        QVERIFY(QFile::link(victim, folder.filePath(QStringLiteral("cert.crt"))));
        QVERIFY(QFile::link(victim, folder.filePath(QStringLiteral("quillnet.ovpn"))));

        QString location;
        QVERIFY(TunnelFiles::write(Certificate + "client\n", folder.path(), &location));
        QCOMPARE(readFile(victim), QByteArray("precious\n"));
        for (const char *name : {"cert.crt", "quillnet.ovpn"}) {
            const QFileInfo written(folder.filePath(QLatin1String(name)));
            QVERIFY2(!written.isSymLink(), name);
            QCOMPARE(written.permissions() & 0x0777, QFile::Permissions(0x0600));
        }
        QCOMPARE(readFile(folder.filePath(QStringLiteral("quillnet.ovpn"))),
                 QByteArray("client\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 3); // no temporary left
    }

    // What the login takes for a configuration before anything is written.
    void onlyACertificateWithAConfigurationIsATunnelConfig_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("isConfig");
        QTest::newRow("greeting, certificate, configuration")
            << "Welcome\n" + Certificate + "client\n"
            << true;
        QTest::newRow("error page") << QByteArray("<html>oops</html>") << false;
        QTest::newRow("certificate alone") << Certificate + "\r\n \n" << false;
        QTest::newRow("certificate never ends")
            << QByteArray("-----BEGIN CERTIFICATE-----\nMIIB\nclient\n") << false;
        QTest::newRow("end marker on the begin line")
            << QByteArray("BEGIN CERTIFICATE END CERTIFICATE\nclient\n") << false;
    }

    void onlyACertificateWithAConfigurationIsATunnelConfig()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, isConfig);
        QCOMPARE(TunnelFiles::isTunnelConfig(body), isConfig);
    }
};

QTEST_GUILESS_MAIN(TestTunnelFiles)
#include "tst_tunnelfiles.moc"
