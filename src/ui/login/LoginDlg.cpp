#include "ui/login/LoginDlg.h"

#include "app/Deployment.h"
#include "app/Instances.h"
#include "app/SettingsKeys.h"
#include "app/TrayWidget.h"
#include "net/RequestServer.h"
#include "proxy/ProxyDlg.h"
#include "proxy/ProxySettings.h"
#include "ui/main/MainForm.h"
#include "ui_LoginDialog.h"
#include "vpn/AdapterControl.h"
#include "vpn/TunnelFiles.h"
#include "vpn/VPNConnection.h"
#include "widgets/RegExpSValidator.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <QUrl>

namespace {

// A configuration request that failed without a proxy is tried once more
// through the system's proxy; cleared by the next answer that arrives.
bool proxyFallbackTried = false;
// Only a change of the tunnel's state touches the tray and the button.
CnnStatus lastStatus = Disconnected;
QUrl updateUrl;

// The request layer's failure texts, shown translated by displayError().
[[maybe_unused]] const char *const TransportTexts[] = {
    QT_TRANSLATE_NOOP("LoginDlg", "Connection timeout."),
    QT_TRANSLATE_NOOP("LoginDlg", "Unable to load server certificate."),
    QT_TRANSLATE_NOOP("LoginDlg", "Unable to autenticate server certificate."),
};

const char StripePicture[] = ":/img/backgnd/stripe-login.png";
const char AttentionPicture[] = ":/img/backgnd/attention.png";

QVariant stored(const char *key)
{
    return QSettings().value(QLatin1String(key), QVariant());
}

QString paragraph(const QString &text)
{
    return QStringLiteral("<p style=\"margin-top:0px; margin-bottom:4px; margin-left:0px; "
                          "margin-right:0px; -qt-block-indent:0; text-indent:0px; "
                          "font-size:11px;\">") +
           text + QStringLiteral("</p>");
}

} // namespace

LoginDlg::LoginDlg(QWidget *parent)
    : QDialog(parent), ui(new Ui::LoginDialog),
      requestServer(new RequestServer(Deployment::current().serviceHost, this)),
      updateServer(new RequestServer(Deployment::current().serviceHost, this))
{
    ui->setupUi(this);
    ui->label_6->setText(tr("... or get an account ") + QStringLiteral("<a href='%1'>%2</a>")
                                                            .arg(Deployment::current().registrationLink(),
                                                                 tr("here")));

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
        connect(vpnConnection, &VPNConnection::statusChanged, this, &LoginDlg::vpnStatus);
        connect(vpnConnection, &VPNConnection::error, this, &LoginDlg::vpnError);
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
    settings.setValue(QLatin1String(SettingsKey::Username), remember ? ui->usernameEdit->text() : QString());
    settings.setValue(QLatin1String(SettingsKey::Password), remember ? ui->passwordEdit->text() : QString());
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
        myAttention(tr("Fill in your user name and password, please."),
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
    if (isFullAccount())
        requestServer->getAliases();
    else
        getAliasesDone(QByteArray(), true);
}

void LoginDlg::getAliasesDone(QByteArray response, bool ok)
{
    if (!mainForm)
        return;
    mainForm->getAliasesDone(response, ok);
    if (isFullAccount())
        requestServer->getContact();
    else
        getContactDone(QByteArray(), true);
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
    }
    // "support" opens the support dialog once it exists.
}

void LoginDlg::loginRepaired()
{
}

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

// --- what the user sees ---

void LoginDlg::showStripe(const char *picture)
{
    ui->stripeImgLbl->setPixmap(QPixmap(QLatin1String(picture)));
}

void LoginDlg::uiSetEnabled(bool en)
{
    ui->usernameEdit->setEnabled(en);
    ui->passwordEdit->setEnabled(en);
    ui->loginBtn->setEnabled(en);
    ui->rememberUserChBox->setEnabled(en);
    ui->freeLoginBtn->setEnabled(en);
    ui->autoLoginChBox->setEnabled(en && ui->rememberUserChBox->isChecked());
    if (!en)
        showStripe(StripePicture);
}

void LoginDlg::myAttention(const QString &text1, const QString &text2)
{
    if (statusShown) {
        ui->statusLbl->clearStatus();
        statusShown = false;
    }
    ui->userInfoLbl->setGeometry(55, 383, 230, 50);
    ui->userInfoLbl->setText(paragraph(text1) + paragraph(text2));
    showStripe(AttentionPicture);
    attentionShown = true;
    uiSetEnabled(true);
}

void LoginDlg::myAttention(const QString &text1)
{
    myAttention(text1, QString());
}

void LoginDlg::mySetStatus(const QString &text, int anim, int ms)
{
    if (text.isEmpty()) {
        if (attentionShown) {
            // The attention message stays; only the status line goes.
            ui->statusLbl->clearStatus();
            statusShown = false;
        } else {
            myClearStatus();
        }
        return;
    }
    ui->userInfoLbl->clear();
    ui->userInfoLbl->repaint();
    if (attentionShown) {
        showStripe(StripePicture);
        attentionShown = false;
    }
    ui->statusLbl->setStatus(text, anim, ms);
    statusShown = true;
}

void LoginDlg::mySetStatus(const QString &text, int anim)
{
    mySetStatus(text, anim, 0);
}

void LoginDlg::mySetStatus(const QString &text)
{
    mySetStatus(text, AutoAnim, 0);
}

void LoginDlg::myClearStatus()
{
    if (attentionShown) {
        showStripe(StripePicture);
        attentionShown = false;
    }
    if (statusShown) {
        ui->statusLbl->clearStatus();
        statusShown = false;
    }
    ui->userInfoLbl->setGeometry(12, 403, 276, 30);
    ui->userInfoLbl->setText(tr("If you are using proxy server click for <a href='proxy'>Proxy settings</a>. In "
                                "case you are looking for help use <a href='support'>Support</a> dialog."));
}

// --- following the tunnel ---

void LoginDlg::setTrayIcon(const char *icon, const QString &toolTip)
{
    if (!trayWidget)
        return;
    trayWidget->setIcon(QIcon(QLatin1String(icon)));
    trayWidget->setToolTip(toolTip);
}

void LoginDlg::vpnStatus(CnnStatus status, QString text)
{
    mySetStatus(text, status == Connected ? NoAnim : AutoAnim, 0);
    if (status == NoStatus || status == lastStatus)
        return;
    lastStatus = status;

    const QString plainTip = tr("Quillnet by Korvex");
    switch (status) {
    case Disconnected:
        if (reconnecting) {
            reconnecting = false;
            relogin();
            return;
        }
        setTrayIcon(":/img/icon/disconnected.png", plainTip);
        busyButton->setText(busyButton == ui->loginBtn ? tr("Log me into quillnet")
                                                       : tr("Login to free quillnet"));
        uiSetEnabled(true);
        break;
    case Connecting:
        busyButton->setText(tr("Stop connecting"));
        busyButton->setEnabled(true);
        break;
    case Connected: {
        setAdapterFlags(vpnConnection->getAdapterGuid(), 0);
        busyButton->setText(tr("Disconnect"));
        busyButton->setEnabled(true);
        const QString tip = tr("IP: %1\nConnected since %2")
                                .arg(vpnConnection->getIp(),
                                     vpnConnection->getConnectedSince().toString(QStringLiteral("hh:mm")));
        setTrayIcon(":/img/icon/connected.png", plainTip + QLatin1Char('\n') + tip);
        if (trayWidget)
            trayWidget->showMessage(tr("Quillnet connected"), tip, QSystemTrayIcon::Information, 10000);
        acceptLogin();
        break;
    }
    case Reconnecting:
        setTrayIcon(":/img/icon/reconnecting.png", plainTip);
        busyButton->setText(tr("Stop reconnecting"));
        busyButton->setEnabled(true);
        break;
    case Disconnecting:
        busyButton->setText(tr("Stop disconnecting"));
        busyButton->setEnabled(true);
        break;
    case Suspending:
        busyButton->setText(tr("Disconnect"));
        busyButton->setEnabled(false);
        break;
    case Suspended:
        setTrayIcon(":/img/icon/disconnected.png", plainTip);
        break;
    case NoStatus:
        break;
    }
}

void LoginDlg::vpnError(QString text)
{
    const int lineBreak = text.indexOf(QLatin1Char('\n'));
    if (lineBreak < 0)
        myAttention(text, QString());
    else
        myAttention(text.left(lineBreak), text.mid(lineBreak + 1));
}

void LoginDlg::displayError(QByteArray response)
{
    uiSetEnabled(true);
    myClearStatus();
    if (response.size() < 2) {
        showCnnFailureMsg();
        return;
    }
    // The request layer's own text, in Czech where the catalogue has it.
    myAttention(tr("Error occured."), tr(response.constData()));
}

void LoginDlg::showCnnFailureMsg()
{
    myAttention(tr("Server connection failure."),
                tr("Check your firewall and <a href='proxy'>Proxy settings</a>.\nFor help you can use <a "
                   "href='support'>Support</a> dialog."));
}

void LoginDlg::reconnectVpn()
{
    reconnecting = true;
    setTrayIcon(":/img/icon/reconnecting.png", tr("Quillnet is reconnecting"));
    if (vpnConnection->getStatus() == Disconnected)
        relogin();
    else
        logout();
}

// --- updates ---

void LoginDlg::checkUpdate()
{
    updateServer->setProxy(proxyFromSettings(-1));
    if (updateServer->checkUpdate()) {
        uiSetEnabled(false);
        mySetStatus(tr("Checking updates"), AutoAnim, 0);
    }
}

void LoginDlg::checkUpdateDone(QByteArray response, bool ok)
{
    myClearStatus();
    if (ok && response.size() > 1) {
        const int zero = response.indexOf('\0');
        const QUrl url(QString::fromLatin1(zero < 0 ? response : response.left(zero)), QUrl::StrictMode);
        // Only an encrypted download is ever offered.
        if (url.isValid() && url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0) {
            updateUrl = url;
            QTimer::singleShot(0, this, &LoginDlg::downloadUpdate);
            return;
        }
    }
    checkAutoLogin();
}

void LoginDlg::downloadUpdate()
{
    if (QMessageBox::question(this, tr("Quillnet"),
                              tr("Update of Quillnet is available.\nDo you want to download and install it now?"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        checkAutoLogin();
        return;
    }
    mySetStatus(tr("Downloading update"), AutoAnim, 0);
    // Not sent (the file cannot be written): nothing would ever answer.
    if (!updateServer->downloadUpdate(updateUrl, QLatin1String(UpdaterFile))) {
        myClearStatus();
        uiSetEnabled(true);
    }
}

void LoginDlg::updateProgress(int done, int total)
{
    if (total > 0)
        mySetStatus(tr("Downloading %1%").arg(qint64(done) * 100 / total), NoAnim, 0);
}

void LoginDlg::downloadUpdateDone(QByteArray response, bool ok)
{
    Q_UNUSED(response)
    myClearStatus();
    if (ok) {
        QFile updater{QLatin1String(UpdaterFile)};
        updater.setPermissions(updater.permissions() | QFile::ExeOwner | QFile::ExeUser);
        if (QProcess::startDetached(QDir::current().filePath(QLatin1String(UpdaterFile)), {})) {
            // Not quit(): in Qt 6 that first asks every window to close, and
            // this dialog answers a close with a question.
            QCoreApplication::exit(0);
            return;
        }
    }
    uiSetEnabled(true);
}
