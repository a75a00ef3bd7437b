#include "ui/login/LoginDlg.h"

#include "core/Deployment.h"
#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "remote/ClientCommands.h"
#include "secrets/RememberedPasswords.h"
#include "ui/app/AfterFirstPaint.h"
#include "ui/main/MainForm.h"
#include "ui/proxy/ProxyDlg.h"
#include "ui/support/SupportDlg.h"
#include "ui/tray/TrayWidget.h"
#include "ui/widgets/MessageBox.h"
#include "ui/widgets/Pictures.h"
#include "ui/widgets/RegExpSValidator.h"
#include "ui_LoginDialog.h"
#include "vpn/Tunnel.h"

#include <QCloseEvent>
#include <QFile>
#include <QSettings>
#include <QTimer>

LoginDlg::LoginDlg(Tunnel *tunnel, TrayWidget *tray, RememberedPasswords *passwords,
                   QWidget *parent)
    : QDialog(parent), ui(new Ui::LoginDialog), tunnel(tunnel), tray(tray),
      passwords(passwords ? passwords : new RememberedPasswords(nullptr, this))
{
    ui->setupUi(this);
    Pictures::fillLabels(this);
    ui->label_6->setText(tr("... or get an account ") +
                         QStringLiteral("<a href='%1'>%2</a>")
                             .arg(Deployment::current().registrationLink(), tr("here")));

    // The dialog shows a tunnel state before the controller acts on it.
    if (tunnel) {
        connect(tunnel, &Tunnel::statusChanged, this, &LoginDlg::vpnStatus);
        connect(tunnel, &Tunnel::error, this, &LoginDlg::vpnError);
    }
    controller = new LoginController(tunnel, Deployment::current().serviceHost, this);
    controller->setPasswords(this->passwords);
    connectController();

    ui->rememberUserChBox->setChecked(storedSetting(SettingsKey::RememberUser).toBool());
    ui->autoLoginChBox->setChecked(storedSetting(SettingsKey::AutoLogin).toBool());
    ui->autoLoginChBox->setEnabled(ui->rememberUserChBox->isChecked());
    // The keyring answers later; the form is the user's meanwhile.
    this->passwords->load();
    if (ui->rememberUserChBox->isChecked()) {
        const QString username = storedSetting(SettingsKey::Username).toString();
        controller->setAccount(username, QString());
        ui->usernameEdit->setText(username);
        fillRememberedPassword();
        connect(this->passwords, &RememberedPasswords::loaded, this,
                &LoginDlg::fillRememberedPassword);
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

    if (tray)
        tray->addWindow(this);
    QFile::remove(QLatin1String(UpdaterFile));
    // The update check loads TLS and its certificates: the dialog goes on
    // the screen first.
    AfterFirstPaint::run(this, [this] { checkUpdate(); });
}

// The main window of the dialog's logins, wired to what only the dialog
// can do for it.
MainForm *LoginDlg::newMainForm()
{
    auto *form = new MainForm(controller, tunnel, tray, this);
    connect(form, &MainForm::loginWanted, this, [this] {
        uiSetEnabled(false);
        show();
        activateWindow();
    });
    connect(form, &MainForm::reloginWanted, this, &LoginDlg::relogin);
    connect(form, &MainForm::reconnectWanted, this, &LoginDlg::reconnectVpn);
    connect(form, &MainForm::passwordChanged, this, &LoginDlg::updatePassword);
    return form;
}
LoginDlg::~LoginDlg()
{
    saveSettings();
    delete mainForm;
    if (tray)
        tray->removeWindow(this);
    delete ui;
}

void LoginDlg::connectController()
{
    connect(controller, &LoginController::stepStarted, this, &LoginDlg::showStep);
    connect(controller, &LoginController::statusCleared, this, &LoginDlg::myClearStatus);
    connect(controller, &LoginController::refused, this, &LoginDlg::showRefusal);
    connect(controller, &LoginController::transportFailed, this, &LoginDlg::displayError);
    connect(controller, &LoginController::busy, this, [this] { uiSetEnabled(false); });
    connect(controller, &LoginController::idle, this, [this] { uiSetEnabled(true); });
    connect(controller, &LoginController::reloginNeeded, this, &LoginDlg::relogin);
    connect(controller, &LoginController::accountLoading, this, &LoginDlg::prepareMainForm);
    connect(controller, &LoginController::receivingLoaded, this, [this](QByteArray r, bool ok) {
        if (mainForm)
            mainForm->getReceivingDone(r, ok);
    });
    connect(controller, &LoginController::aliasesLoaded, this, [this](QByteArray r, bool ok) {
        if (mainForm)
            mainForm->getAliasesDone(r, ok);
    });
    connect(controller, &LoginController::contactLoaded, this, [this](QByteArray r, bool ok) {
        if (mainForm)
            mainForm->getContactDone(r, ok);
    });
    connect(controller, &LoginController::loggedIn, this, &LoginDlg::handOver);
    connect(controller, &LoginController::loadingStopped, this, [this] {
        myClearStatus();
        uiSetEnabled(true);
    });
    connect(controller, &LoginController::updateOffered, this,
            [this] { QTimer::singleShot(0, this, &LoginDlg::downloadUpdate); });
    connect(controller, &LoginController::packageUpdateOffered, this, [this](QString version) {
        QTimer::singleShot(0, this, [this, version] { askPackageUpdate(version); });
    });
    connect(controller, &LoginController::noUpdate, this, &LoginDlg::checkAutoLogin);
    connect(controller, &LoginController::updateProgress, this, &LoginDlg::updateProgress);
}

void LoginDlg::saveSettings()
{
    QSettings settings;
    const bool remember = ui->rememberUserChBox->isChecked();
    settings.setValue(QLatin1String(SettingsKey::RememberUser), remember);
    settings.setValue(QLatin1String(SettingsKey::AutoLogin), ui->autoLoginChBox->isChecked());
    settings.setValue(QLatin1String(SettingsKey::Username),
                      remember ? ui->usernameEdit->text() : QString());
    if (remember)
        passwords->rememberAccount(ui->usernameEdit->text(), ui->passwordEdit->text());
    else
        passwords->forgetAccount();
}

void LoginDlg::fillRememberedPassword()
{
    // What the user typed meanwhile stays.
    const QString password = passwords->accountPassword();
    if (password.isEmpty() || !ui->passwordEdit->text().isEmpty() ||
        ui->usernameEdit->text() != controller->user())
        return;
    ui->passwordEdit->setText(password);
    controller->setAccount(controller->user(), password);
}

void LoginDlg::checkAutoLogin()
{
    if (ui->autoLoginChBox->isChecked() && ui->rememberUserChBox->isChecked() && !mainForm &&
        !loginClicked) {
        // The login waits for the keyring's password and shows that it has
        // begun.
        if (!passwords->isLoaded()) {
            showStep(LoginController::Authenticating);
            connect(passwords, &RememberedPasswords::loaded, this, &LoginDlg::checkAutoLogin,
                    Qt::SingleShotConnection);
            return;
        }
        QTimer::singleShot(0, this, &LoginDlg::on_loginBtn_clicked);
        return;
    }
    uiSetEnabled(true);
    ui->usernameEdit->setFocus();
    // The main window takes a while to build: build it, hidden, while the
    // user types rather than after the tunnel is up.
    QTimer::singleShot(0, this, [this] {
        if (!mainForm)
            mainForm = newMainForm();
    });
}

void LoginDlg::on_loginBtn_clicked()
{
    loginClicked = true;
    busyButton = ui->loginBtn;
    // While a tunnel is up or on its way, the button stops it.
    if (controller->stopTunnel())
        return;
    saveSettings();
    controller->logIn(ui->usernameEdit->text(), ui->passwordEdit->text());
}

void LoginDlg::on_freeLoginBtn_clicked()
{
    busyButton = ui->freeLoginBtn;
    if (controller->stopTunnel())
        return;
    controller->logInFree();
}

void LoginDlg::getConfigDone(QByteArray response, bool ok)
{
    controller->getConfigDone(response, ok);
}

void LoginDlg::showStep(LoginController::Step step)
{
    switch (step) {
    case LoginController::Authenticating:
        uiSetEnabled(false);
        mySetStatus(tr("Authenticating user"), AutoAnim, 0);
        return;
    case LoginController::CheckingUpdates:
        uiSetEnabled(false);
        mySetStatus(tr("Checking updates"), AutoAnim, 0);
        return;
    case LoginController::LoadingSettings:
        mySetStatus(tr("Loading settings"), AutoAnim, 0);
        return;
    case LoginController::DownloadingUpdate:
        mySetStatus(tr("Downloading update"), AutoAnim, 0);
        return;
    case LoginController::EnablingAdapter:
        mySetStatus(tr("Enabling adapter"), AutoAnim, 0);
        break;
    case LoginController::ResettingAdapter:
        mySetStatus(tr("Resetting adapter"), AutoAnim, 0);
        break;
    case LoginController::DisablingAdapter:
        mySetStatus(tr("Disabling adapter"), AutoAnim, 0);
        break;
    }
    // The adapter tool blocks the event loop: the text must be there first.
    ui->statusLbl->repaint();
}

void LoginDlg::showRefusal(LoginController::Refusal refusal, const QString &detail, int line)
{
    switch (refusal) {
    case LoginController::MissingCredentials:
        myAttention(tr("Fill in your user name and password."),
                    tr("No account? Log in to the free Quillnet with the other button."));
        break;
    case LoginController::LoginFailed:
        myAttention(tr("Login failed."), tr("Check your user name and password, please."));
        break;
    case LoginController::InvalidResponse:
        myAttention(tr("Error occured."), tr("Invalid server response."));
        break;
    case LoginController::ConfigRefused:
        // The directive ends the text and keeps to one line however long
        // the server made it, so the attention keeps to its three lines.
        myAttention(tr("Tunnel configuration refused."),
                    tr("Setting not allowed on line %1: \"%2\"")
                        .arg(line)
                        .arg(ui->userInfoLbl->fontMetrics()
                                 .elidedText(detail, Qt::ElideRight, 180)
                                 .toHtmlEscaped()));
        break;
    case LoginController::FilesNotWritten:
        myAttention(tr("Configuration files creation failed"),
                    tr("Check your access rights, please."));
        break;
    case LoginController::UpdateFailed:
        myAttention(tr("Update failed."), tr("The update could not be downloaded."));
        break;
    case LoginController::UpdaterNotStarted:
        myAttention(tr("Update failed."),
                    tr("The update was downloaded but could not be started."));
        break;
    }
}

void LoginDlg::acceptLogin()
{
    controller->acceptLogin();
}

void LoginDlg::prepareMainForm(const QString &ip, const QString &location, bool fullAccount)
{
    if (!mainForm)
        mainForm = newMainForm();
    mainForm->setNoticesMuted(false);
    mainForm->setLocation(ip, location);
    mainForm->enableNonfreeWidgets(fullAccount);
    mainForm->setNoticesMuted(true);
}

void LoginDlg::getReceivingDone(QByteArray response, bool ok)
{
    controller->getReceivingDone(response, ok);
}

void LoginDlg::getAliasesDone(QByteArray response, bool ok)
{
    controller->getAliasesDone(response, ok);
}

void LoginDlg::getContactDone(QByteArray response, bool ok)
{
    controller->getContactDone(response, ok);
}

void LoginDlg::handOver(bool webFilter, bool mailProxy)
{
    if (!mainForm)
        return;
    if (webFilter)
        mainForm->startWebFilter();
    if (mailProxy)
        mainForm->startMailProxy();
    mainForm->loginDone();
    QTimer::singleShot(0, mainForm, &QWidget::show);
    accept();
}

void LoginDlg::followCommands(ClientCommands *commands)
{
    connect(commands, &ClientCommands::loggingIn, this, [this] {
        // The button that shows the login is the one relogin() would press.
        busyButton = isFullAccount() ? ui->loginBtn : ui->freeLoginBtn;
        takeScreenBack();
    });
    connect(commands, &ClientCommands::loggingOut, this, &LoginDlg::takeScreenBack);
    connect(commands, &ClientCommands::loginFormWanted, this, [this] {
        show();
        raise();
        activateWindow();
    });
}

void LoginDlg::takeScreenBack()
{
    // The main window stops its services and hands over to this dialog.
    if (mainForm) {
        mainForm->changeUser();
        return;
    }
    uiSetEnabled(false);
    show();
    raise();
    activateWindow();
}

void LoginDlg::logout()
{
    controller->logout();
}

void LoginDlg::relogin()
{
    const QLatin1String free(FreeAccount);
    if (currentUser() == free && currentPassword() == free)
        on_freeLoginBtn_clicked();
    else
        on_loginBtn_clicked();
}

void LoginDlg::updatePassword(const QString &newPassword)
{
    if (!isFullAccount())
        return;
    controller->updatePassword(newPassword);
    // Only a remembered password is kept up to date.
    if (!ui->passwordEdit->text().isEmpty()) {
        ui->passwordEdit->setText(newPassword);
        saveSettings();
    }
}

void LoginDlg::stripeLinkActivated(QString link)
{
    if (link == QLatin1String("proxy")) {
        auto *dialog = new ProxyDlg(this, passwords);
        if (mainForm)
            connect(dialog, &QDialog::accepted, mainForm, &MainForm::proxySettingsSaved);
        dialog->exec();
    } else if (link == QLatin1String("support")) {
        auto *dialog = new SupportDlg(controller, tunnel, this);
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
    if (MessageBox::question(this, tr("Quillnet"), tr("Are you sure you want to exit?")) ==
            QMessageBox::Yes &&
        tray)
        QTimer::singleShot(0, tray, &TrayWidget::quitApp);
}

bool LoginDlg::event(QEvent *e)
{
    // When the deactivation arrives the dialog is no longer the active
    // window, so only the activation asks for it.
    if (tray) {
        if (e->type() == QEvent::WindowActivate && isActiveWindow())
            tray->focusIn();
        else if (e->type() == QEvent::WindowDeactivate)
            tray->focusOut();
    }
    return QDialog::event(e);
}
