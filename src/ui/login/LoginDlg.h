#pragma once

#include "login/LoginController.h"
#include "ui/widgets/AnimStatus.h"
#include "vpn/CnnStatus.h"

#include <QByteArray>
#include <QDialog>
#include <QPointer>

class ClientCommands;
class MainForm;
class QAbstractButton;
class RememberedPasswords;
class TrayWidget;
class Tunnel;

namespace Ui {
class LoginDialog;
}

// The first window of the program: it shows the login that its
// LoginController runs (credentials, configuration, tunnel files, adapter,
// tunnel start, account loading, update check), creates the main window and
// fills it once the tunnel is up. It stays alive, hidden, for the whole run:
// it follows the tunnel's state in the tray and takes the screen back for
// log-out and reconnect.
class LoginDlg : public QDialog
{
    Q_OBJECT

public:
    // The free account: the same word is its name and its password.
    static constexpr const char *FreeAccount = LoginController::FreeAccount;
    // The downloaded updater, in the working directory.
    static constexpr const char *UpdaterFile = LoginController::UpdaterFile;

    // The dialog follows `tunnel` and shows its state in `tray`, which may
    // be null (then the state is only in the dialog). It loads `passwords`
    // and keeps the remembered ones there; without them the settings file
    // keeps them.
    LoginDlg(Tunnel *tunnel, TrayWidget *tray, RememberedPasswords *passwords = nullptr,
             QWidget *parent = nullptr);
    ~LoginDlg() override;

    void relogin();
    void reconnectVpn();
    void logout();
    void updatePassword(const QString &newPassword);
    bool isFullAccount() const { return controller->isFullAccount(); }
    // The account of the current (or last) login.
    QString currentUser() const { return controller->user(); }
    QString currentPassword() const { return controller->password(); }
    const LoginController *account() const { return controller; }
    // For the commands from outside the windows (ClientCommands).
    LoginController *loginController() const { return controller; }
    // A login or log-out asked for from the tray or the command line takes
    // the screen back first, as the main window's exit page does; a
    // connect without a known account shows this dialog for one.
    void followCommands(ClientCommands *commands);
    // Tells the user why the login did not go on, in the dialog's words.
    void showRefusal(LoginController::Refusal refusal, const QString &detail, int line);

public slots:
    void on_loginBtn_clicked();
    void on_freeLoginBtn_clicked();
    void reject() override;
    void uiSetEnabled(bool en);
    void myAttention(const QString &text1, const QString &text2);
    void myAttention(const QString &text1);
    void mySetStatus(const QString &text, int anim, int ms);
    void mySetStatus(const QString &text, int anim);
    void mySetStatus(const QString &text);
    void myClearStatus();
    void acceptLogin();
    void getConfigDone(QByteArray response, bool ok);
    void vpnStatus(CnnStatus status, QString text);
    void vpnError(QString text);
    void loginRepaired();
    void stripeLinkActivated(QString link);
    void showCnnFailureMsg();
    void getReceivingDone(QByteArray response, bool ok);
    void getAliasesDone(QByteArray response, bool ok);
    void getContactDone(QByteArray response, bool ok);
    void checkAutoLogin();
    void checkUpdate();
    void checkUpdateDone(QByteArray response, bool ok);
    void downloadUpdate();
    void downloadUpdateDone(QByteArray response, bool ok);
    void updateProgress(int done, int total);
    void displayError(QByteArray response);

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void saveSettings();
    void fillRememberedPassword();
    void askToExit();
    void showStripe(const char *picture);
    void setTrayIcon(const char *icon, const QString &toolTip);
    void connectController();
    void showStep(LoginController::Step step);
    void prepareMainForm(const QString &ip, const QString &location, bool fullAccount);
    MainForm *newMainForm();
    void handOver(bool webFilter, bool mailProxy);
    void takeScreenBack();
    // The tray's tool tip while the tunnel's protection stands: `tip`, and
    // then what that protection is.
    QString withProtection(const QString &tip) const;
    void askPackageUpdate(const QString &version);

    Ui::LoginDialog *ui;
    Tunnel *const tunnel;
    const QPointer<TrayWidget> tray;
    RememberedPasswords *const passwords;
    LoginController *controller = nullptr;
    MainForm *mainForm = nullptr;
    QAbstractButton *busyButton;
    bool statusShown = false;
    bool attentionShown = false;
    bool loginClicked = false;

    Q_DISABLE_COPY_MOVE(LoginDlg)
};
