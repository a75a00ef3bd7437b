#pragma once

#include <QObject>
#include <QString>

class SecretStore;

// The account's and the proxy's remembered passwords. They live in the
// desktop's keyring, the settings keeping the names and an empty "password"
// and "proxy_passwd"; without a keyring (none on this desktop, a locked one
// the user dismissed) they stay in the settings file as before, which only
// its owner can read, and one line on stderr says why.
//
// A password found in the settings file is moved into the keyring at
// load(), and the file's copy is blanked only once the keyring has
// confirmed that very value: a keyring failing half-way loses nothing.
class RememberedPasswords : public QObject
{
    Q_OBJECT

public:
    // `store` may be null: the settings file then keeps the passwords.
    explicit RememberedPasswords(SecretStore *store, QObject *parent = nullptr);

    // The keyring's keys: the account's is its user name (which never holds
    // a space), the proxy's names the host (which never holds one either)
    // and the user.
    static QString accountKey(const QString &user);
    static QString proxyKey(const QString &host, const QString &user);

    // Moves what the settings file still holds into the keyring and reads
    // what the keyring holds for the stored user name and proxy. loaded()
    // follows, always from the event loop.
    void load();
    bool isLoaded() const { return pendingReads == 0; }

    // The stored user name's password, and the stored proxy user's.
    QString accountPassword() const;
    QString proxyPassword() const;

    // The user name is the settings' business; the password goes to the
    // keyring, and a previous user's entry goes away. An empty password
    // forgets.
    void rememberAccount(const QString &user, const QString &password);
    void forgetAccount() { rememberAccount(QString(), QString()); }
    void rememberProxy(const QString &host, const QString &user, const QString &password);

    // Blocks (the event loop running) until the keyring has answered every
    // call, for at most `msecs`: for a client that quits.
    bool waitForKeyring(int msecs);

signals:
    void loaded();
    void settled();

private:
    struct Kept
    {
        explicit Kept(const char *settingsKey) : settingsKey(settingsKey) {}
        const char *const settingsKey;
        // The keyring entry that holds (or is to hold) the password.
        QString key;
        QString value;
        // The settings file holds the password, not `value`: before the
        // move, or without a keyring.
        bool inFile = true;
        // Answers to older calls no longer decide anything.
        int generation = 0;
    };

    void loadOne(Kept &kept, const QString &key);
    void keep(Kept &kept, const QString &key, const QString &value);
    QString current(const Kept &kept) const;
    void writeEntry(Kept &kept, const QString &oldKey);
    void removeEntry(const QString &key);
    void keepInFile(Kept &kept, const QString &why);
    void answered();

    SecretStore *const store;
    Kept account;
    Kept proxy;
    int pendingReads = 0;
    int pendingCalls = 0;
    bool reasonTold = false;

    Q_DISABLE_COPY_MOVE(RememberedPasswords)
};
