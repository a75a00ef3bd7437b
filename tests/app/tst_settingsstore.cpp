// The per-user store: where it lives and what a fresh installation reads.
#include "app/ApplicationNames.h"
#include "app/SettingsKeys.h"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
