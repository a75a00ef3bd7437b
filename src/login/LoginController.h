#pragma once

#include "vpn/CnnStatus.h"

#include <QByteArray>
#include <QNetworkProxy>
#include <QObject>
#include <QString>

class RememberedPasswords;
class RequestServer;
class Tunnel;

// A login from the credentials to a working tunnel and a loaded account,
// without a window: the configuration request (once more through the
// system's proxy when the direct way fails), the tunnel files, the adapter,
// the tunnel's start and, once it is up, the account's data in order. It
// also runs reconnect, log-out and the update check. It reports values; the
// login dialog chooses the words and the pictures.
class LoginController : public QObject
{
    Q_OBJECT

public:
    // The free account: the same word is its name and its password.
    static constexpr char FreeAccount[] = "vestor";
    // The downloaded updater, in the working directory.
    static constexpr char UpdaterFile[] = "update";

    enum Step
    {
        Authenticating,
        EnablingAdapter,
        ResettingAdapter,
        DisablingAdapter,
        LoadingSettings,
        CheckingUpdates,
        DownloadingUpdate
    };
    Q_ENUM(Step)

    enum Refusal
    {
        MissingCredentials,
        LoginFailed,
        InvalidResponse,
        ConfigRefused, // detail: the directive, line: where
        FilesNotWritten,
        UpdateFailed,     // the download did not arrive whole
        UpdaterNotStarted // it arrived, but could not be run
    };
    Q_ENUM(Refusal)

    // The tunnel may be null (no tunnel in this process): nothing starts.
    LoginController(Tunnel *tunnel, const QString &serviceHost, QObject *parent = nullptr);

    // Other limits on the service's answers than RequestServer's, in
    // milliseconds, for requests started from now on (tests).
    void setRequestTimeouts(int requestMs, int downloadIdleMs);
    // Where the proxy's password comes from; the settings file without.
    void setPasswords(RememberedPasswords *remembered) { passwords = remembered; }
    RememberedPasswords *rememberedPasswords() const { return passwords; }
    // The account of the last login, or the remembered one before any: the
    // stored contact address is taken to be this account's.
    void setAccount(const QString &user, const QString &password);
    void logIn(const QString &user, const QString &password);
    void logInFree();
    // Logs in again as the current account.
    void relogin();
    void reconnect();
    void logout();
    // While the tunnel is up or on its way the login's button stops it:
    // true when there was a tunnel to stop.
    bool stopTunnel();
    void updatePassword(const QString &newPassword);
    // The user has been told that something failed: a reconnect under way
    // is over, and the next log-out must not log in again.
    void abandonReconnect() { reconnecting = false; }

    bool isFullAccount() const;
    // A login can run without asking: the account of the last login, or
    // the remembered one with its password.
    bool hasAccount() const { return !username.isEmpty() && !userPassword.isEmpty(); }
    bool isReconnecting() const { return reconnecting; }
    // The configuration is being fetched or an update checked or loaded: a
    // new login now would cross the one under way.
    bool isWorking() const;
    QString user() const { return username; }
    QString password() const { return userPassword; }
    // Where the last configuration said its server stands.
    QString serverLocation() const { return location; }

    // Where the program runs from decides how an update comes: a package's
    // program is replaced by its package manager, never by a download
    // (tests place it anywhere; the running program's path by default).
    void setProgramPath(const QString &path) { programPath = path; }
    void checkUpdate();
    // After the user agreed to the offered update; a packaged program
    // downloads nothing.
    void downloadUpdate();

public slots:
    void getConfigDone(QByteArray response, bool ok);
    // The tunnel is up for a new login: the account's data comes next.
    void acceptLogin();
    void getReceivingDone(QByteArray response, bool ok);
    void getAliasesDone(QByteArray response, bool ok);
    void getContactDone(QByteArray response, bool ok);
    void checkUpdateDone(QByteArray response, bool ok);
    void downloadUpdateDone(QByteArray response, bool ok);

signals:
    // isWorking() may have changed.
    void workingChanged();
    void stepStarted(LoginController::Step step);
    void statusCleared();
    void refused(LoginController::Refusal refusal, QString detail = QString(), int line = 0);
    // The configuration request failed on the way; the body is the
    // request layer's reason, if any.
    void transportFailed(QByteArray response);
    // A log-out has begun: the form waits for the tunnel's end.
    void busy();
    // The login is over without a tunnel: the form is the user's again.
    void idle();
    // A reconnect found the tunnel down: the login runs again.
    void reloginNeeded();
    // Before the account's data: where the tunnel leads.
    void accountLoading(QString ip, QString location, bool fullAccount);
    void receivingLoaded(QByteArray response, bool ok);
    void aliasesLoaded(QByteArray response, bool ok);
    void contactLoaded(QByteArray response, bool ok);
    // The account is loaded and the tunnel is up: which services to start.
    void loggedIn(bool webFilter, bool mailProxy);
    // The account was loaded after the tunnel had gone down.
    void loadingStopped();
    void updateOffered();
    // An update for a packaged program: the user installs it with the
    // package manager. `version` is empty when the offer does not say.
    void packageUpdateOffered(QString version);
    void noUpdate();
    void updateProgress(int done, int total);

private:
    void useAccount(const QString &user, const QString &password);
    void login();
    // Another account's stored contact address goes before this one's data
    // is loaded.
    void forgetOtherAccountsContact();
    void startVpn();
    void disconnectVpn();
    bool writeTunnelFiles(const QByteArray &body);
    // False (and the loading marked interrupted) once the tunnel is down.
    bool tunnelStillUp();
    void tunnelStatus(CnnStatus status);
    QNetworkProxy proxy(int source) const;

    Tunnel *tunnel;
    QString programPath;
    RememberedPasswords *passwords = nullptr;
    RequestServer *requestServer;
    RequestServer *updateServer;
    QString username;
    QString userPassword;
    // Whose contact address the settings hold: the last registered account
    // that logged in; empty when not known.
    QString contactOwner;
    QString location;
    CnnStatus lastStatus = Disconnected;
    bool reconnecting = false;
    // OpenVPN went from up back to connecting by itself: when it is up
    // again the login is still done.
    bool tunnelRestarting = false;
    // The account loading stopped because the tunnel was not up.
    bool loadingInterrupted = false;

    Q_DISABLE_COPY_MOVE(LoginController)
};
