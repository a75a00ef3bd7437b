// Remembered passwords through the real login dialog and proxy form, with
// the desktop's keyring that keyring_session.sh provides (a Secret Service
// on a private session bus, or none at all): where the passwords are kept,
// what another program sees, and that the next run logs in with them.
#include "LoginTestBed.h"
#include "core/SettingsFile.h"
#include "proxy/ProxySettings.h"
#include "secrets/KeychainSecretStore.h"
#include "secrets/RememberedPasswords.h"
#include "ui/proxy/ProxyWdg.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QProcess>
#include <memory>

namespace {

// What another program finds in the keyring, or nothing.
std::optional<QString> lookUp(const QString &key)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("lookup"), QStringLiteral("server"),
                QLatin1String(KeychainSecretStore::Service), QStringLiteral("user"), key});
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

QString stored(const char *key)
{
    return QSettings().value(QLatin1String(key), QStringLiteral("(missing)")).toString();
}

} // namespace

class TestKeyringLogin : public QObject, public LoginTestBed
{
    Q_OBJECT

    const QByteArray secrets = qgetenv("QUILLNET_TEST_SECRETS");
    const bool withKeyring = secrets == "secret-service";
    KeychainSecretStore keyring;
    std::unique_ptr<RememberedPasswords> passwords;
    const QString proxyKey =
        RememberedPasswords::proxyKey(QStringLiteral("proxy.example"), QStringLiteral("joe"));

    // The dialog goes as at quit, and the next run starts.
    void restart()
    {
        closeDialog();
        if (passwords)
            QVERIFY(passwords->waitForKeyring(15000));
        passwords = std::make_unique<RememberedPasswords>(&keyring);
        usePasswords(passwords.get());
    }

    // Where a password is kept: the keyring holds it and the file's key is
    // empty, or without a keyring the file holds it.
    void verifyKept(const char *settingsKey, const QString &key, const QString &password)
    {
        QVERIFY(passwords->waitForKeyring(15000));
        QCOMPARE(stored(settingsKey), withKeyring ? QString() : password);
        if (withKeyring)
            QCOMPARE(lookUp(key), password.isEmpty() ? std::nullopt : std::optional(password));
    }

private slots:
    void initTestCase()
    {
        if (secrets.isEmpty())
            QSKIP("keyring_session.sh runs this with and without a Secret Service");
        QVERIFY2(startBed({}, ScriptedTunnelKind), qPrintable(bedError));
        QString error;
        QVERIFY2(restrictSettingsFile(&error), qPrintable(error));
    }

    void cleanupTestCase()
    {
        closeDialog();
        endBed();
    }

    void passwordsStayWhereTheDesktopKeepsThem()
    {
        // A settings file from before the keyring.
        {
            QSettings settings;
            settings.setValue(QLatin1String(SettingsKey::RememberUser), true);
            settings.setValue(QLatin1String(SettingsKey::AutoLogin), false);
            settings.setValue(QLatin1String(SettingsKey::Username), QStringLiteral("demo"));
            settings.setValue(QLatin1String(SettingsKey::Password), QStringLiteral("demo123"));
            settings.setValue(QLatin1String(SettingsKey::ProxyAddress),
                              QStringLiteral("proxy.example"));
            settings.setValue(QLatin1String(SettingsKey::ProxyUser), QStringLiteral("joe"));
            settings.setValue(QLatin1String(SettingsKey::ProxyPasswd), QStringLiteral("p:w ö"));
        }
        restart();
        newDialog();
        verifyKept(SettingsKey::Password, QStringLiteral("demo"), QStringLiteral("demo123"));
        verifyKept(SettingsKey::ProxyPasswd, proxyKey, QStringLiteral("p:w ö"));
        QCOMPARE(QFileInfo(QSettings().fileName()).permissions() & 0x0777,
                 QFile::Permissions(0x0600));
        QCOMPARE(child<QLineEdit>("passwordEdit")->text(), QStringLiteral("demo123"));

        // The next run logs in by itself with what the keyring gives.
        child<QCheckBox>("autoLoginChBox")->setChecked(true);
        restart();
        QCOMPARE(stored(SettingsKey::Username), QStringLiteral("demo"));
        replaceDialog();
        dialog()->show();
        QTRY_VERIFY_WITH_TIMEOUT(mainFormShown(), 30000);
        QCOMPARE(dialog()->currentPassword(), QStringLiteral("demo123"));
        logOutAndWait();

        // The proxy form keeps its password the same way, and a request
        // through that proxy gets it.
        {
            ProxyWdg form(nullptr, passwords.get());
            QCOMPARE(form.findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->text(),
                     QStringLiteral("p:w ö"));
            form.findChild<QLineEdit *>(QStringLiteral("passwordEdit"))
                ->setText(QStringLiteral("p2"));
            form.saveSettings();
        }
        verifyKept(SettingsKey::ProxyPasswd, proxyKey, QStringLiteral("p2"));
        QCOMPARE(proxyFromSettings(2, passwords.get()).password(), QString());
        QSettings().setValue(QLatin1String(SettingsKey::ProxyAuth), true);
        restart();
        passwords->load();
        QTRY_VERIFY_WITH_TIMEOUT(passwords->isLoaded(), 15000);
        QCOMPARE(proxyFromSettings(2, passwords.get()).password(), QStringLiteral("p2"));

        // Not remembering any more forgets the password everywhere.
        newDialog();
        child<QCheckBox>("rememberUserChBox")->setChecked(false);
        restart();
        QCOMPARE(stored(SettingsKey::Username), QString());
        verifyKept(SettingsKey::Password, QStringLiteral("demo"), QString());
    }
};

QTEST_MAIN(TestKeyringLogin)
#include "tst_keyringlogin.moc"
