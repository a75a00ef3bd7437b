// The per-user store: where it lives and what a fresh installation reads.
#include "core/ApplicationNames.h"
#include "core/SettingsFile.h"
#include "core/SettingsKeys.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestSettingsStore : public QObject
{
    Q_OBJECT

    QTemporaryDir configHome;

private slots:
    void initTestCase()
    {
        // QSettings reads XDG_CONFIG_HOME when the first store is opened.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
        setApplicationNames();
    }

    void freshInstallationReadsEmptyDefaults()
    {
        QSettings settings;
        for (const char *key : {SettingsKey::RememberUser, SettingsKey::AutoLogin,
                                SettingsKey::WebFilter, SettingsKey::MailAnonymize,
                                SettingsKey::ProxyAuth})
            QCOMPARE(settings.value(QLatin1String(key), QVariant()).toBool(), false);
        QCOMPARE(settings.value(QLatin1String(SettingsKey::ProxySource), QVariant()).toInt(), 0);
        QCOMPARE(settings.value(QLatin1String(SettingsKey::ProxyPort), QVariant()).toUInt(), 0u);
        QCOMPARE(settings.value(QLatin1String(SettingsKey::Username), QVariant()).toString(), QString());
        QCOMPARE(settings.value(QLatin1String(SettingsKey::OpenvpnExe), QVariant()).toString(), QString());
    }

    void valuesPersistInTheUsersConfigFolder()
    {
        {
            QSettings settings;
            settings.setValue(QLatin1String(SettingsKey::Username), QStringLiteral("alice"));
            settings.setValue(QLatin1String(SettingsKey::ProxyPort), 3128);
            settings.setValue(QLatin1String(SettingsKey::AutoLogin), true);
        }
        const QString path = configHome.filePath(QStringLiteral("Korvex/Quillnet.conf"));
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));

        // A new store object (as a later run would open) sees the values with
        // their types: keys live in the root, no groups.
        QSettings settings;
        QCOMPARE(settings.fileName(), path);
        QCOMPARE(settings.value(QLatin1String(SettingsKey::Username)).toString(), QStringLiteral("alice"));
        QCOMPARE(settings.value(QLatin1String(SettingsKey::ProxyPort)).toUInt(), 3128u);
        QCOMPARE(settings.value(QLatin1String(SettingsKey::AutoLogin)).toBool(), true);
        QVERIFY(settings.childGroups().isEmpty());
    }

    // The file holds the remembered password: only its owner may read it,
    // whether it is new or left readable by an older version.
    void onlyTheOwnerReadsTheStore_data()
    {
        QTest::addColumn<bool>("looseFileExists");
        QTest::newRow("new file") << false;
        QTest::newRow("older readable file") << true;
    }

    void onlyTheOwnerReadsTheStore()
    {
        QFETCH(bool, looseFileExists);
        const mode_t oldMask = ::umask(022);
        const QString path = QSettings().fileName();
        const QString folder = QFileInfo(path).absolutePath();
        QFile::remove(path);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ReadOther |
                                                  QFile::ExeOther));
        if (looseFileExists) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[General]\nusername=alice\npassword=secret\n");
            file.close();
            QVERIFY(file.setPermissions(file.permissions() | QFile::ReadOther));
        }

        QString error;
        QVERIFY2(restrictSettingsFile(&error), qPrintable(error));
        {
            QSettings settings;
            settings.setValue(QLatin1String(SettingsKey::AutoLogin), true);
        }
        ::umask(oldMask);

        QCOMPARE(QFileInfo(folder).permissions() & 0x0777, QFile::Permissions(0x0700));
        QCOMPARE(QFileInfo(path).permissions() & 0x0777, QFile::Permissions(0x0600));
        QSettings settings;
        QCOMPARE(settings.value(QLatin1String(SettingsKey::AutoLogin)).toBool(), true);
        QCOMPARE(settings.value(QLatin1String(SettingsKey::Username)).toString(),
                 looseFileExists ? QStringLiteral("alice") : QString());
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
