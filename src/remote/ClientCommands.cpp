#include "remote/ClientCommands.h"

#include "login/LoginController.h"

ClientCommands::ClientCommands(LoginController *login, Tunnel *tunnel, QObject *parent)
    : QObject(parent), login(login), tunnel(tunnel)
{
    connect(tunnel, &Tunnel::statusChanged, this, &ClientCommands::availabilityChanged);
    connect(login, &LoginController::workingChanged, this, &ClientCommands::availabilityChanged);
}

CnnStatus ClientCommands::tunnelState() const
{
    const CnnStatus state = tunnel ? tunnel->getStatus() : Disconnected;
    return state == NoStatus ? Disconnected : state;
}

bool ClientCommands::canConnect() const
{
    return tunnelState() == Disconnected && !login->isWorking();
}

bool ClientCommands::canDisconnect() const
{
    // Asleep, the tunnel's protection still stands: logging out lifts it.
    const CnnStatus state = tunnelState();
    return state != Disconnected && state != Disconnecting;
}

ClientCommands::Outcome ClientCommands::connectNow()
{
    if (tunnelState() != Disconnected)
        return Outcome::AlreadyUp;
    if (login->isWorking())
        return Outcome::Busy;
    if (!login->hasAccount()) {
        emit loginFormWanted();
        return Outcome::LoginFormShown;
    }
    emit loggingIn();
    login->relogin();
    return Outcome::Connecting;
}

ClientCommands::Outcome ClientCommands::disconnectNow()
{
    if (!canDisconnect())
        return Outcome::AlreadyDown;
    emit loggingOut();
    login->logout();
    return Outcome::Disconnecting;
}

ClientCommands::Outcome ClientCommands::quit()
{
    emit quitWanted();
    return Outcome::Quitting;
}

ClientCommands::Status ClientCommands::status() const
{
    Status status;
    status.state = tunnelState();
    if (status.state == Disconnected)
        return status;
    status.server = tunnel->getIp();
    status.location = login->serverLocation();
    status.protection = tunnel->protection();
    return status;
}

QString ClientCommands::stateName(CnnStatus state)
{
    switch (state) {
    case Connecting:
        return QStringLiteral("connecting");
    case Connected:
        return QStringLiteral("connected");
    case Reconnecting:
        return QStringLiteral("reconnecting");
    case Disconnecting:
        return QStringLiteral("disconnecting");
    case Suspending:
        return QStringLiteral("suspending");
    case Suspended:
        return QStringLiteral("suspended");
    case NoStatus:
    case Disconnected:
        break;
    }
    return QStringLiteral("disconnected");
}
