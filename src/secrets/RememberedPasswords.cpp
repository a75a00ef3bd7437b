#include "secrets/RememberedPasswords.h"

#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "secrets/SecretStore.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QSettings>
#include <QTimer>
#include <cstdio>

namespace {

void setStored(const char *key, const QString &value)
{
    QSettings().setValue(QLatin1String(key), value);
}

} // namespace

RememberedPasswords::RememberedPasswords(SecretStore *store, QObject *parent)
    : QObject(parent), store(store), account{SettingsKey::Password}, proxy{SettingsKey::ProxyPasswd}
{
}

QString RememberedPasswords::accountKey(const QString &user)
{
    return user;
}

QString RememberedPasswords::proxyKey(const QString &host, const QString &user)
{
    return QStringLiteral("proxy %1 %2").arg(host, user);
}

void RememberedPasswords::load()
{
    const QString user = storedSetting(SettingsKey::Username).toString();
    loadOne(account, user.isEmpty() ? QString() : accountKey(user));
    const QString host = storedSetting(SettingsKey::ProxyAddress).toString();
    const QString proxyUser = storedSetting(SettingsKey::ProxyUser).toString();
    const bool proxyNamed = !host.isEmpty() || !proxyUser.isEmpty();
    loadOne(proxy, proxyNamed || !current(proxy).isEmpty() ? proxyKey(host, proxyUser) : QString());
    if (pendingReads == 0)
        QMetaObject::invokeMethod(this, &RememberedPasswords::loaded, Qt::QueuedConnection);
}

void RememberedPasswords::loadOne(Kept &kept, const QString &key)
{
    kept.key = key;
    kept.inFile = true;
    if (!store || key.isEmpty())
        return;
    const QString inFile = current(kept);
    const int generation = ++kept.generation;
    if (!inFile.isEmpty()) {
        kept.value = inFile;
        writeEntry(kept, key);
        return;
    }
    ++pendingReads;
    ++pendingCalls;
    store->read(key, this, [this, &kept, generation](const SecretStore::Answer &answer) {
        --pendingReads;
        if (generation == kept.generation) {
            if (answer.status == SecretStore::Answer::Unavailable) {
                keepInFile(kept, answer.detail);
            } else {
                kept.value = answer.secret;
                kept.inFile = false;
            }
        }
        if (pendingReads == 0)
            emit loaded();
        answered();
    });
}

QString RememberedPasswords::accountPassword() const
{
    return current(account);
}

QString RememberedPasswords::proxyPassword() const
{
    return current(proxy);
}

QString RememberedPasswords::current(const Kept &kept) const
{
    return kept.inFile ? storedSetting(kept.settingsKey).toString() : kept.value;
}

void RememberedPasswords::rememberAccount(const QString &user, const QString &password)
{
    keep(account, user.isEmpty() ? QString() : accountKey(user), password);
}

void RememberedPasswords::rememberProxy(const QString &host, const QString &user,
                                        const QString &password)
{
    const bool nothing = host.isEmpty() && user.isEmpty() && password.isEmpty();
    keep(proxy, nothing ? QString() : proxyKey(host, user), password);
}

void RememberedPasswords::keep(Kept &kept, const QString &key, const QString &value)
{
    if (key == kept.key && value == current(kept))
        return;
    const QString oldKey = kept.key;
    kept.key = key;
    kept.value = value;
    ++kept.generation;
    if (!store) {
        setStored(kept.settingsKey, value);
        return;
    }
    if (value.isEmpty() || key.isEmpty()) {
        kept.inFile = false;
        setStored(kept.settingsKey, QString());
        for (const QString &gone : {oldKey, key})
            if (!gone.isEmpty())
                removeEntry(gone);
        return;
    }
    // Until the keyring confirms, the file keeps what it had: the newer
    // value is only in memory.
    kept.inFile = false;
    writeEntry(kept, oldKey);
}

void RememberedPasswords::writeEntry(Kept &kept, const QString &oldKey)
{
    const int generation = kept.generation;
    const QString key = kept.key;
    const QString value = kept.value;
    ++pendingCalls;
    store->write(key, value, this,
                 [this, &kept, generation, key, value, oldKey](const SecretStore::Answer &answer) {
                     if (answer.status == SecretStore::Answer::Done) {
                         // Blanked only where the file still holds what the
                         // keyring now has.
                         if (generation == kept.generation ||
                             storedSetting(kept.settingsKey).toString() == value)
                             setStored(kept.settingsKey, QString());
                         if (generation == kept.generation)
                             kept.inFile = false;
                         if (!oldKey.isEmpty() && oldKey != key)
                             removeEntry(oldKey);
                     } else if (generation == kept.generation) {
                         setStored(kept.settingsKey, value);
                         keepInFile(kept, answer.detail);
                     }
                     answered();
                 });
}

void RememberedPasswords::removeEntry(const QString &key)
{
    ++pendingCalls;
    store->remove(key, this, [this](const SecretStore::Answer &answer) {
        if (answer.status == SecretStore::Answer::Unavailable && !reasonTold) {
            reasonTold = true;
            std::fprintf(stderr, "quillnet: cannot remove a password from the keyring: %s\n",
                         qPrintable(answer.detail));
        }
        answered();
    });
}

void RememberedPasswords::keepInFile(Kept &kept, const QString &why)
{
    kept.inFile = true;
    if (reasonTold)
        return;
    reasonTold = true;
    std::fprintf(stderr,
                 "quillnet: no keyring (%s); remembered passwords stay in the settings file, "
                 "readable by this user only\n",
                 qPrintable(why));
}

void RememberedPasswords::answered()
{
    if (--pendingCalls == 0)
        emit settled();
}

bool RememberedPasswords::waitForKeyring(int msecs)
{
    if (pendingCalls == 0)
        return true;
    QEventLoop loop;
    connect(this, &RememberedPasswords::settled, &loop, &QEventLoop::quit);
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    loop.exec();
    return pendingCalls == 0;
}
