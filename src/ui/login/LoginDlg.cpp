#include "ui/login/LoginDlg.h"

#include "app/Deployment.h"
#include "app/Instances.h"
#include "app/SettingsKeys.h"
#include "app/TrayWidget.h"
#include "net/RequestServer.h"
#include "proxy/ProxyDlg.h"
#include "proxy/ProxySettings.h"
#include "support/SupportDlg.h"
#include "ui/main/MainForm.h"
#include "ui_LoginDialog.h"
#include "vpn/AdapterControl.h"
#include "vpn/Tunnel.h"
#include "vpn/TunnelConfigCheck.h"
#include "vpn/TunnelFiles.h"
#include "widgets/RegExpSValidator.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

namespace {

// A configuration request that failed without a proxy is tried once more
// through the system's proxy; cleared by the next answer that arrives.
bool proxyFallbackTried = false;

QVariant stored(const char *key)
{
    return QSettings().value(QLatin1String(key), QVariant());
}

} // namespace

LoginDlg::LoginDlg(QWidget *parent)
    : QDialog(parent), ui(new Ui::LoginDialog),
      requestServer(new RequestServer(Deployment::current().serviceHost, this)),
      updateServer(new RequestServer(Deployment::current().serviceHost, this))
{
    ui->setupUi(this);
    ui->label_6->setText(tr("... or get an account ") +
                         QStringLiteral("<a href='%1'>%2</a>")
                             .arg(Deployment::current().registrationLink(), tr("here")));

    ui->rememberUserChBox->setChecked(stored(SettingsKey::RememberUser).toBool());
    ui->autoLoginChBox->setChecked(stored(SettingsKey::AutoLogin).toBool());
    ui->autoLoginChBox->setEnabled(ui->rememberUserChBox->isChecked());
    if (ui->rememberUserChBox->isChecked()) {
        username = stored(SettingsKey::Username).toString();
        password = stored(SettingsKey::Password).toString();
        ui->usernameEdit->setText(username);
        ui->passwordEdit->setText(password);
    }

    connect(requestServer, &RequestServer::getConfigDone, this, &LoginDlg::getConfigDone);
    connect(requestServer, &RequestServer::getReceivingDone, this, &LoginDlg::getReceivingDone);
    connect(requestServer, &RequestServer::getAliasesDone, this, &LoginDlg::getAliasesDone);
    connect(requestServer, &RequestServer::getContactDone, this, &LoginDlg::getContactDone);
    connect(updateServer, &RequestServer::checkUpdateDone, this, &LoginDlg::checkUpdateDone);
    connect(updateServer, &RequestServer::downloadUpdateDone, this, &LoginDlg::downloadUpdateDone);
    connect(updateServer, &RequestServer::updateProgress, this, &LoginDlg::updateProgress);
    if (vpnConnection) {
        connect(vpnConnection, &Tunnel::statusChanged, this, &LoginDlg::vpnStatus);
        connect(vpnConnection, &Tunnel::error, this, &LoginDlg::vpnError);
    }

    auto *validator =
        new RegExpSValidator(QRegularExpression(QStringLiteral("[a-zA-Z0-9]+")), this);
    ui->usernameEdit->setValidator(validator);
    ui->passwordEdit->setValidator(validator);
    connect(validator, &RegExpSValidator::inputModified, this, &LoginDlg::loginRepaired);
    busyButton = ui->loginBtn;
    myClearStatus();

    connect(ui->usernameEdit, &QLineEdit::textEdited, this, &LoginDlg::myClearStatus);
    connect(ui->passwordEdit, &QLineEdit::textEdited, this, &LoginDlg::myClearStatus);
    connect(ui->userInfoLbl, &QLabel::linkActivated, this, &LoginDlg::stripeLinkActivated);

    if (trayWidget)
        trayWidget->addWindow(this);
    QFile::remove(QLatin1String(UpdaterFile));
    QTimer::singleShot(0, this, &LoginDlg::checkUpdate);
}

LoginDlg::~LoginDlg()
{
    saveSettings();
    delete mainForm;
    if (trayWidget)
        trayWidget->removeWindow(this);
    delete ui;
}

bool LoginDlg::isFullAccount() const
{
    const QLatin1String free(FreeAccount);
    return !username.isEmpty() && !password.isEmpty() && !(username == free && password == free);
}

void LoginDlg::saveSettings()
{
    QSettings settings;
    const bool remember = ui->rememberUserChBox->isChecked();
    settings.setValue(QLatin1String(SettingsKey::RememberUser), remember);
    settings.setValue(QLatin1String(SettingsKey::AutoLogin), ui->autoLoginChBox->isChecked());
    settings.setValue(QLatin1String(SettingsKey::Username),
                      remember ? ui->usernameEdit->text() : QString());
    settings.setValue(QLatin1String(SettingsKey::Password),
                      remember ? ui->passwordEdit->text() : QString());
}

void LoginDlg::checkAutoLogin()
{
    if (ui->autoLoginChBox->isChecked() && ui->rememberUserChBox->isChecked() && !mainForm &&
        !loginClicked) {
        QTimer::singleShot(0, this, &LoginDlg::on_loginBtn_clicked);
        return;
    }
    uiSetEnabled(true);
    ui->usernameEdit->setFocus();
    // The main window takes a while to build: build it, hidden, while the
    // user types rather than after the tunnel is up.
    QTimer::singleShot(0, this, [this] {
        if (!mainForm)
            mainForm = new MainForm;
    });
}

void LoginDlg::on_loginBtn_clicked()
{
    loginClicked = true;
    busyButton = ui->loginBtn;
    // While a tunnel is up or on its way, the button stops it.
    if (vpnConnection->getStatus() != Disconnected) {
        vpnConnection->stop(false);
        return;
    }
    saveSettings();
    username = ui->usernameEdit->text();
    password = ui->passwordEdit->text();
    if (username.isEmpty() || password.isEmpty()) {
        myAttention(
            tr("Fill in your user name and password, please."),
            tr("If you don't have one, you can login to free version of quillnet with the other "
               "button."));
        return;
    }
    requestServer->setUser(username, password);
    requestServer->setProxy(proxyFromSettings(-1));
    login();
}

void LoginDlg::on_freeLoginBtn_clicked()
{
    busyButton = ui->freeLoginBtn;
    if (vpnConnection->getStatus() != Disconnected) {
        vpnConnection->stop(false);
        return;
    }
    username = password = QLatin1String(FreeAccount);
    requestServer->setUser(username, password);
    requestServer->setProxy(proxyFromSettings(-1));
    login();
}

void LoginDlg::login()
{
    uiSetEnabled(false);
    mySetStatus(tr("Authenticating user"), AutoAnim, 0);
    requestServer->getConfig();
}

void LoginDlg::getConfigDone(QByteArray response, bool ok)
{
    if (!ok) {
        if (!proxyFallbackTried && stored(SettingsKey::ProxySource).toInt() == 0) {
            const QNetworkProxy systemProxy = proxyFromSettings(1);
            if (systemProxy.type() != QNetworkProxy::NoProxy) {
                proxyFallbackTried = true;
                requestServer->setProxy(systemProxy);
                requestServer->getConfig();
                return;
            }
        }
        displayError(response);
        return;
    }
    if (proxyFallbackTried)
        QSettings().setValue(QLatin1String(SettingsKey::ProxySource), 1); // the system proxy worked
    proxyFallbackTried = false;

    response = response.trimmed();
    if (response == "0" || response.isEmpty()) {
        myAttention(tr("Login failed."), tr("Check your user name and password, please."));
        return;
    }
    if (!TunnelFiles::isTunnelConfig(response)) {
        myAttention(tr("Error occured."), tr("Invalid server response."));
        return;
    }
    // What the service sends is never run as it comes: one directive
    // outside the client's own set refuses the whole configuration.
    const TunnelConfigCheck::Verdict verdict =
        TunnelConfigCheck::check(TunnelFiles::configuration(response));
    if (!verdict.accepted) {
        myAttention(tr("Tunnel configuration refused."),
                    tr("The server asked for \"%1\" (line %2), which Quillnet does not allow.")
                        .arg(verdict.directive.toHtmlEscaped())
                        .arg(verdict.line));
        return;
    }
    // OpenVPN must not start on the files of an earlier login.
    if (!writeTunnelFiles(response))
        return;
    startVpn();
}

bool LoginDlg::writeTunnelFiles(const QByteArray &body)
{
    if (TunnelFiles::write(body, QDir::currentPath(), &location))
        return true;
    myAttention(tr("Configuration files creation failed"), tr("Check your access rights, please."));
    return false;
}

void LoginDlg::startVpn()
{
    if (!reconnecting) {
        mySetStatus(tr("Enabling adapter"), AutoAnim, 0);
        ui->statusLbl->repaint();
        enableAdapter();
    } else {
        mySetStatus(tr("Resetting adapter"), AutoAnim, 0);
        ui->statusLbl->repaint();
        restartAdapter();
    }
    // A reconnect that found the tunnel down ends here, in a new tunnel: its
    // end is a log-out like any other, not a cue to log in again.
    reconnecting = false;
    setAdapterFlags(vpnConnection->getAdapterGuid(), 0);
    vpnConnection->setCredentials(username, password);
    vpnConnection->setConfig(QLatin1String(TunnelFiles::ConfigFile));
    vpnConnection->setProxy(proxyFromSettings(-1));
    myClearStatus();
    if (vpnConnection->getStatus() == Disconnected)
        vpnConnection->start();
    else
        vpnConnection->reconnect();
}

void LoginDlg::acceptLogin()
{
    if (!mainForm)
        mainForm = new MainForm;
    mainForm->setNoticesMuted(false);
    mainForm->setLocation(vpnConnection->getIp(), location);
    mainForm->enableNonfreeWidgets(isFullAccount());
    mainForm->setNoticesMuted(true);
    if (isFullAccount()) {
        mySetStatus(tr("Loading settings"), AutoAnim, 0);
        requestServer->getReceiving();
    } else {
        getReceivingDone("0", true);
    }
}

void LoginDlg::getReceivingDone(QByteArray response, bool ok)
{
    if (!mainForm)
        return;
    mainForm->getReceivingDone(response, ok);
    if (!isFullAccount())
        getAliasesDone(QByteArray(), true);
    else if (tunnelStillUp())
        requestServer->getAliases();
}

void LoginDlg::getAliasesDone(QByteArray response, bool ok)
{
    if (!mainForm)
        return;
    mainForm->getAliasesDone(response, ok);
    if (!isFullAccount())
        getContactDone(QByteArray(), true);
    else if (tunnelStillUp())
        requestServer->getContact();
}

bool LoginDlg::tunnelStillUp() const
{
    // The account's requests go through the tunnel: once it is down the
    // loading stops rather than ask the service outside it. The tunnel's
    // own state change has already told the user.
    return vpnConnection->getStatus() == Connected;
}

void LoginDlg::getContactDone(QByteArray response, bool ok)
{
    if (!mainForm)
        return;
    mainForm->getContactDone(response, ok);
    if (vpnConnection->getStatus() != Connected) {
        myClearStatus();
        uiSetEnabled(true);
        return;
    }
    if (stored(SettingsKey::WebFilter).toBool())
        mainForm->startWebFilter();
    if (isFullAccount() && stored(SettingsKey::MailAnonymize).toBool())
        mainForm->startMailProxy();
    mainForm->loginDone();
    QTimer::singleShot(0, mainForm, &QWidget::show);
    accept();
}

void LoginDlg::logout()
{
    uiSetEnabled(false);
    disconnectVpn();
}

void LoginDlg::disconnectVpn()
{
    if (!reconnecting) {
        mySetStatus(tr("Disabling adapter"), AutoAnim, 0);
        ui->statusLbl->repaint();
        disableAdapter();
        myClearStatus();
    }
    if (vpnConnection->getStatus() != Disconnected)
        vpnConnection->stop(false);
    else
        uiSetEnabled(true);
}

void LoginDlg::relogin()
{
    const QLatin1String free(FreeAccount);
    if (username == free && password == free)
        on_freeLoginBtn_clicked();
    else
        on_loginBtn_clicked();
}

void LoginDlg::updatePassword(const QString &newPassword)
{
    if (!isFullAccount())
        return;
    password = newPassword;
    vpnConnection->setCredentials(username, password);
    // Only a remembered password is kept up to date.
    if (!ui->passwordEdit->text().isEmpty()) {
        ui->passwordEdit->setText(password);
        saveSettings();
    }
}

void LoginDlg::stripeLinkActivated(QString link)
{
    if (link == QLatin1String("proxy")) {
        auto *dialog = new ProxyDlg(this);
        dialog->exec();
    } else if (link == QLatin1String("support")) {
        auto *dialog = new SupportDlg(this);
        dialog->exec();
    }
}

void LoginDlg::loginRepaired() {}

void LoginDlg::reject()
{
    askToExit();
}

void LoginDlg::closeEvent(QCloseEvent *e)
{
    e->ignore();
    askToExit();
}

void LoginDlg::askToExit()
{
    if (QMessageBox::question(this, tr("Quillnet"), tr("Are you sure you want to exit?"),
                              QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes &&
        trayWidget)
        QTimer::singleShot(0, trayWidget, &TrayWidget::quitApp);
}

bool LoginDlg::event(QEvent *e)
{
    // When the deactivation arrives the dialog is no longer the active
    // window, so only the activation asks for it.
    if (trayWidget) {
        if (e->type() == QEvent::WindowActivate && isActiveWindow())
            trayWidget->focusIn();
        else if (e->type() == QEvent::WindowDeactivate)
            trayWidget->focusOut();
    }
    return QDialog::event(e);
}
