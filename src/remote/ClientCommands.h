#pragma once

#include "vpn/CnnStatus.h"
#include "vpn/Tunnel.h"

#include <QObject>
#include <QPointer>
#include <QString>

class LoginController;

// What the user can ask of the running client from outside its windows:
// the tray's menu and the command line (over the session bus) both come
// here. It decides from the tunnel's state and the login's; what only the
// windows can do (take the screen back, open the login form) they are
// asked for by signal, before the login or the log-out begins.
class ClientCommands : public QObject
{
    Q_OBJECT

public:
    enum class Outcome
    {
        Connecting,     // a login with the known account has begun
        AlreadyUp,      // the tunnel is up or on its way
        LoginFormShown, // no account is known: the login form asks for one
        Busy,           // a login or an update is under way; nothing done
        Disconnecting,  // the log-out has begun
        AlreadyDown,    // nothing to log out of
        Quitting
    };
    Q_ENUM(Outcome)

    struct Status
    {
        CnnStatus state = Disconnected;
        // Empty while not known (no tunnel, or not up yet).
        QString server;
        QString location;
        Tunnel::Protection protection;
    };

    // Both outlive this object.
    ClientCommands(LoginController *login, Tunnel *tunnel, QObject *parent = nullptr);

    bool canConnect() const;
    bool canDisconnect() const;
    // Named so that they do not hide QObject's connect() and disconnect().
    Outcome connectNow();
    Outcome disconnectNow();
    Outcome quit();
    Status status() const;

    // The state in one lower-case word ("connected"): the command line's
    // stable wording.
    static QString stateName(CnnStatus state);

signals:
    // canConnect() or canDisconnect() may have changed.
    void availabilityChanged();
    // A login with the known account is about to begin.
    void loggingIn();
    // The log-out is about to begin: the windows give up the account.
    void loggingOut();
    void loginFormWanted();
    // The program is to end now, without asking.
    void quitWanted();

private:
    CnnStatus tunnelState() const;

    LoginController *const login;
    QPointer<Tunnel> tunnel;

    Q_DISABLE_COPY_MOVE(ClientCommands)
};
