#include "login/LoginController.h"

#include "core/Installation.h"
#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "net/RequestServer.h"
#include "proxy/ProxySettings.h"
#include "vpn/AdapterControl.h"
#include "vpn/Tunnel.h"
#include "vpn/TunnelConfigCheck.h"
#include "vpn/TunnelFiles.h"

#include <QDir>
#include <QSettings>

namespace {

// A configuration request that failed without a proxy is tried once more
// through the system's proxy; cleared by the next answer that arrives.
bool proxyFallbackTried = false;

} // namespace

LoginController::LoginController(Tunnel *tunnel, const QString &serviceHost, QObject *parent)
    : QObject(parent), tunnel(tunnel), programPath(Installation::current().programPath()),
      requestServer(new RequestServer(serviceHost, this)),
      updateServer(new RequestServer(serviceHost, this))
{
    connect(requestServer, &RequestServer::getConfigDone, this, &LoginController::getConfigDone);
    connect(requestServer, &RequestServer::getReceivingDone, this,
            &LoginController::getReceivingDone);
    connect(requestServer, &RequestServer::getAliasesDone, this, &LoginController::getAliasesDone);
    connect(requestServer, &RequestServer::getContactDone, this, &LoginController::getContactDone);
    connect(updateServer, &RequestServer::checkUpdateDone, this, &LoginController::checkUpdateDone);
    connect(updateServer, &RequestServer::downloadUpdateDone, this,
            &LoginController::downloadUpdateDone);
    connect(updateServer, &RequestServer::updateProgress, this, &LoginController::updateProgress);
    for (RequestServer *server : {requestServer, updateServer}) {
        // A client says it is busy just before its request is under way.
        connect(server, &RequestServer::requestServerBusy, this, &LoginController::workingChanged,
                Qt::QueuedConnection);
        connect(server, &RequestServer::requestServerFree, this, &LoginController::workingChanged);
    }
    if (tunnel) {
        lastStatus = tunnel->getStatus();
        connect(tunnel, &Tunnel::statusChanged, this, &LoginController::tunnelStatus);
    }
}

void LoginController::setRequestTimeouts(int requestMs, int downloadIdleMs)
{
    requestServer->setTimeouts(requestMs, downloadIdleMs);
    updateServer->setTimeouts(requestMs, downloadIdleMs);
}

void LoginController::setAccount(const QString &user, const QString &password)
{
    useAccount(user, password);
    contactOwner = user;
}

void LoginController::useAccount(const QString &user, const QString &password)
{
    username = user;
    userPassword = password;
}

bool LoginController::isFullAccount() const
{
    const QLatin1String free(FreeAccount);
    return !username.isEmpty() && !userPassword.isEmpty() &&
           !(username == free && userPassword == free);
}

bool LoginController::isWorking() const
{
    return requestServer->isBusy() || updateServer->isBusy();
}

bool LoginController::tunnelStillUp()
{
    loadingInterrupted = !tunnel || tunnel->getStatus() != Connected;
    return !loadingInterrupted;
}

bool LoginController::stopTunnel()
{
    if (!tunnel || tunnel->getStatus() == Disconnected)
        return false;
    tunnel->stop(false);
    return true;
}

void LoginController::logIn(const QString &user, const QString &password)
{
    useAccount(user, password);
    if (username.isEmpty() || userPassword.isEmpty()) {
        reconnecting = false;
        emit refused(MissingCredentials);
        return;
    }
    login();
}

void LoginController::logInFree()
{
    useAccount(QLatin1String(FreeAccount), QLatin1String(FreeAccount));
    login();
}

void LoginController::relogin()
{
    if (isFullAccount())
        logIn(username, userPassword);
    else
        logInFree();
}

void LoginController::login()
{
    requestServer->setUser(username, userPassword);
    requestServer->setProxy(proxy(-1));
    emit stepStarted(Authenticating);
    // The tunnel gets ready while the configuration is on its way.
    if (tunnel)
        tunnel->prepare();
    requestServer->getConfig();
}

void LoginController::getConfigDone(QByteArray response, bool ok)
{
    if (!ok) {
        if (!proxyFallbackTried && storedSetting(SettingsKey::ProxySource).toInt() == 0) {
            const QNetworkProxy systemProxy = proxy(1);
            if (systemProxy.type() != QNetworkProxy::NoProxy) {
                proxyFallbackTried = true;
                requestServer->setProxy(systemProxy);
                requestServer->getConfig();
                return;
            }
        }
        reconnecting = false;
        emit transportFailed(response);
        return;
    }
    if (proxyFallbackTried)
        QSettings().setValue(QLatin1String(SettingsKey::ProxySource), 1); // the system proxy worked
    proxyFallbackTried = false;

    response = response.trimmed();
    if (response == "0" || response.isEmpty()) {
        reconnecting = false;
        emit refused(LoginFailed);
        return;
    }
    if (!TunnelFiles::isTunnelConfig(response)) {
        reconnecting = false;
        emit refused(InvalidResponse);
        return;
    }
    // What the service sends is never run as it comes: one directive
    // outside the client's own set refuses the whole configuration.
    const TunnelConfigCheck::Verdict verdict =
        TunnelConfigCheck::check(TunnelFiles::configuration(response));
    if (!verdict.accepted) {
        reconnecting = false;
        emit refused(ConfigRefused, verdict.directive, verdict.line);
        return;
    }
    // OpenVPN must not start on the files of an earlier login.
    if (!writeTunnelFiles(response))
        return;
    startVpn();
}

bool LoginController::writeTunnelFiles(const QByteArray &body)
{
    if (TunnelFiles::write(body, QDir::currentPath(), &location))
        return true;
    reconnecting = false;
    emit refused(FilesNotWritten);
    return false;
}

void LoginController::startVpn()
{
    // Each adapter step blocks while the tool runs; the step is shown first.
    if (!reconnecting) {
        emit stepStarted(EnablingAdapter);
        enableAdapter();
    } else {
        emit stepStarted(ResettingAdapter);
        restartAdapter();
    }
    // A reconnect that found the tunnel down ends here, in a new tunnel: its
    // end is a log-out like any other, not a cue to log in again.
    reconnecting = false;
    if (!tunnel)
        return;
    // The last run's adapter may be gone (or none ran yet): a failure here
    // is expected, and the connected tunnel's adapter is reset below.
    (void)setAdapterFlags(tunnel->getAdapterGuid(), 0);
    tunnel->setCredentials(username, userPassword);
    tunnel->setConfig(QLatin1String(TunnelFiles::ConfigFile));
    tunnel->setProxy(proxy(-1));
    tunnel->setBlockOutsideTunnel(blockOutsideTunnelSetting());
    tunnel->setAllowLocalNetwork(allowLocalNetworkSetting());
    emit statusCleared();
    if (tunnel->getStatus() == Disconnected)
        tunnel->start();
    else
        tunnel->reconnect();
}

void LoginController::tunnelStatus(CnnStatus status)
{
    if (status == NoStatus || status == lastStatus)
        return;
    const CnnStatus previous = std::exchange(lastStatus, status);
    switch (status) {
    case Disconnected:
        tunnelRestarting = false;
        loadingInterrupted = false;
        if (reconnecting) {
            reconnecting = false;
            emit reloginNeeded();
        }
        break;
    case Connecting:
    case Reconnecting:
        // OpenVPN restarting, or an outage retried: the login stays done.
        if (previous == Connected)
            tunnelRestarting = true;
        break;
    case Connected:
        // A restarted tunnel keeps the flags of the filters still running,
        // and its login is done already, unless the restart cut its loading.
        if (std::exchange(tunnelRestarting, false) && !loadingInterrupted)
            break;
        if (!setAdapterFlags(tunnel->getAdapterGuid(), 0))
            qWarning("quillnet: cannot reset the service flags of adapter %s",
                     qPrintable(tunnel->getAdapterGuid()));
        acceptLogin();
        break;
    default:
        break;
    }
}

// Each request of the chain goes out before the windows take in what the
// last one brought: the service sees the same requests in the same order,
// and the next answer is on its way while the main window fills.
void LoginController::acceptLogin()
{
    if (isFullAccount()) {
        forgetOtherAccountsContact();
        requestServer->getReceiving();
        emit accountLoading(tunnel ? tunnel->getIp() : QString(), location, true);
        emit stepStarted(LoadingSettings);
    } else {
        emit accountLoading(tunnel ? tunnel->getIp() : QString(), location, false);
        getReceivingDone("0", true);
    }
}

// The stored contact address is the support mail's reply address (and
// where a copy of it goes) and the forward of junk aliases: another
// account's must not serve this one, not even when the service cannot tell
// this one's. The free account has none and leaves it alone.
void LoginController::forgetOtherAccountsContact()
{
    if (username == contactOwner)
        return;
    contactOwner = username;
    QSettings().setValue(QLatin1String(SettingsKey::ContactEmail), QString());
}

// The account's requests go through the tunnel: once it is down the
// loading stops rather than ask the service outside it. The tunnel's own
// state change has already told the user.
void LoginController::getReceivingDone(QByteArray response, bool ok)
{
    if (isFullAccount() && tunnelStillUp())
        requestServer->getAliases();
    emit receivingLoaded(response, ok);
    if (!isFullAccount())
        getAliasesDone(QByteArray(), true);
}

void LoginController::getAliasesDone(QByteArray response, bool ok)
{
    if (isFullAccount() && tunnelStillUp())
        requestServer->getContact();
    emit aliasesLoaded(response, ok);
    if (!isFullAccount())
        getContactDone(QByteArray(), true);
}

void LoginController::getContactDone(QByteArray response, bool ok)
{
    emit contactLoaded(response, ok);
    if (!tunnelStillUp()) {
        emit loadingStopped();
        return;
    }
    emit loggedIn(storedSetting(SettingsKey::WebFilter).toBool(),
                  isFullAccount() && storedSetting(SettingsKey::MailAnonymize).toBool());
}

void LoginController::logout()
{
    emit busy();
    disconnectVpn();
}

void LoginController::disconnectVpn()
{
    if (!reconnecting) {
        emit stepStarted(DisablingAdapter);
        disableAdapter();
        emit statusCleared();
    }
    if (!stopTunnel())
        emit idle();
}

void LoginController::reconnect()
{
    reconnecting = true;
    if (!tunnel || tunnel->getStatus() == Disconnected)
        emit reloginNeeded();
    else
        logout();
}

void LoginController::updatePassword(const QString &newPassword)
{
    if (!isFullAccount())
        return;
    userPassword = newPassword;
    if (tunnel)
        tunnel->setCredentials(username, userPassword);
}

QNetworkProxy LoginController::proxy(int source) const
{
    return proxyFromSettings(source, passwords);
}
