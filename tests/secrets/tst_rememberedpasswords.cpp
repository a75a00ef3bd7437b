// The remembered passwords on a keyring that works, fails half-way or is
// not there: what the settings file and the keyring hold after the start
// and after the user changes or forgets the account.
#include "ScriptedSecretStore.h"
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "secrets/RememberedPasswords.h"

#include <QSettings>
#include <QTest>

namespace {

using Entries = QMap<QString, QString>;

const QString ProxyEntry =
    RememberedPasswords::proxyKey(QStringLiteral("proxy.example"), QStringLiteral("joe"));

QString stored(const char *key)
{
    return QSettings().value(QLatin1String(key)).toString();
}

void settle(RememberedPasswords &passwords)
{
    QVERIFY(passwords.waitForKeyring(5000));
    QVERIFY(passwords.isLoaded());
}

} // namespace

class TestRememberedPasswords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setApplicationNames(); }

    void passwordsMoveToTheKeyringAndNothingIsLost_data()
    {
        QTest::addColumn<QString>("accountInFile");
        QTest::addColumn<QString>("proxyInFile");
        QTest::addColumn<Entries>("keyringBefore");
        QTest::addColumn<int>("writesLeft");
        QTest::addColumn<QString>("accountInFileAfter");
        QTest::addColumn<QString>("proxyInFileAfter");
        QTest::addColumn<Entries>("keyringAfter");

        const Entries both{{"alice", "pw 1"}, {ProxyEntry, "p:pw"}};
        QTest::newRow("an older file moves") << "pw 1"
                                             << "p:pw" << Entries() << -1 << ""
                                             << "" << both;
        QTest::newRow("the keyring fails after one write") << "pw 1"
                                                           << "p:pw" << Entries() << 1 << ""
                                                           << "p:pw" << Entries{{"alice", "pw 1"}};
        QTest::newRow("no keyring") << "pw 1"
                                    << "p:pw" << Entries() << 0 << "pw 1"
                                    << "p:pw" << Entries();
        QTest::newRow("the keyring holds them") << ""
                                                << "" << both << -1 << ""
                                                << "" << both;
        // The file's copy is the newer one: an older version wrote it.
        QTest::newRow("both hold one") << "pw 2"
                                       << "" << both << -1 << ""
                                       << "" << Entries{{"alice", "pw 2"}, {ProxyEntry, "p:pw"}};
    }

    void passwordsMoveToTheKeyringAndNothingIsLost()
    {
        QFETCH(QString, accountInFile);
        QFETCH(QString, proxyInFile);
        QFETCH(Entries, keyringBefore);
        QFETCH(int, writesLeft);
        QFETCH(QString, accountInFileAfter);
        QFETCH(QString, proxyInFileAfter);
        QFETCH(Entries, keyringAfter);
        {
            QSettings settings;
            settings.clear();
            settings.setValue(QLatin1String(SettingsKey::RememberUser), true);
            settings.setValue(QLatin1String(SettingsKey::Username), QStringLiteral("alice"));
            settings.setValue(QLatin1String(SettingsKey::Password), accountInFile);
            settings.setValue(QLatin1String(SettingsKey::ProxyAddress),
                              QStringLiteral("proxy.example"));
            settings.setValue(QLatin1String(SettingsKey::ProxyUser), QStringLiteral("joe"));
            settings.setValue(QLatin1String(SettingsKey::ProxyPasswd), proxyInFile);
        }
        ScriptedSecretStore keyring;
        keyring.entries = keyringBefore;
        keyring.writesLeft = writesLeft;
        const bool keyringStays = writesLeft < 0;

        RememberedPasswords passwords(&keyring);
        passwords.load();
        settle(passwords);
        QCOMPARE(stored(SettingsKey::Password), accountInFileAfter);
        QCOMPARE(stored(SettingsKey::ProxyPasswd), proxyInFileAfter);
        QCOMPARE(keyring.entries, keyringAfter);
        const QString account =
            accountInFile.isEmpty() ? keyringBefore.value("alice") : accountInFile;
        QCOMPARE(passwords.accountPassword(), account);
        QCOMPARE(passwords.proxyPassword(), QStringLiteral("p:pw"));

        // Another user: the previous one's entry goes.
        passwords.rememberAccount(QStringLiteral("bob"), QStringLiteral("pw 3"));
        QCOMPARE(passwords.accountPassword(), QStringLiteral("pw 3"));
        settle(passwords);
        QCOMPARE(passwords.accountPassword(), QStringLiteral("pw 3"));
        QCOMPARE(stored(SettingsKey::Password), keyringStays ? QString() : QStringLiteral("pw 3"));
        QCOMPARE(keyring.entries.value(QStringLiteral("bob")),
                 keyringStays ? QStringLiteral("pw 3") : QString());
        if (keyringStays)
            QVERIFY(!keyring.entries.contains(QStringLiteral("alice")));

        // A proxy password changes like the account's.
        passwords.rememberProxy(QStringLiteral("proxy.example"), QStringLiteral("joe"),
                                QStringLiteral("p 2"));
        settle(passwords);
        QCOMPARE(passwords.proxyPassword(), QStringLiteral("p 2"));
        QCOMPARE(stored(SettingsKey::ProxyPasswd),
                 keyringStays ? QString() : QStringLiteral("p 2"));

        passwords.forgetAccount();
        settle(passwords);
        QCOMPARE(passwords.accountPassword(), QString());
        QCOMPARE(stored(SettingsKey::Password), QString());
        QVERIFY(!keyring.entries.contains(QStringLiteral("bob")));
    }
};

QTEST_GUILESS_MAIN(TestRememberedPasswords)
#include "tst_rememberedpasswords.moc"
