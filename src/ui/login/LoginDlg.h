#pragma once

#include "vpn/CnnStatus.h"
#include "widgets/AnimStatus.h"

#include <QByteArray>
#include <QDialog>

class MainForm;
class QAbstractButton;
class RequestServer;

namespace Ui {
class LoginDialog;
}

// The first window of the program and the controller of a login: from the
// credentials through the configuration request, the tunnel files, the
// adapter and the tunnel start to the main window, which it creates and
// fills once the tunnel is up. It stays alive, hidden, for the whole run:
// it follows the tunnel's state in the tray and takes the screen back for
// log-out and reconnect. Before any login it checks for an update.
class LoginDlg : public QDialog
{
    Q_OBJECT

public:
    // The free account: the same word is its name and its password.
    static constexpr char FreeAccount[] = "vestor";
    // The downloaded updater, in the working directory.
    static constexpr char UpdaterFile[] = "update";

    explicit LoginDlg(QWidget *parent = nullptr);
    ~LoginDlg() override;

    void relogin();
    void reconnectVpn();
    void logout();
    void updatePassword(const QString &newPassword);
    bool isFullAccount() const;
    // The account of the current (or last) login.
    QString currentUser() const { return username; }
    QString currentPassword() const { return password; }

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
    void login();
    void startVpn();
    void disconnectVpn();
    bool writeTunnelFiles(const QByteArray &body);
    bool tunnelStillUp() const;
    void askToExit();
    void showStripe(const char *picture);
    void setTrayIcon(const char *icon, const QString &toolTip);

    Ui::LoginDialog *ui;
    QString username;
    QString password;
    QString location;
    RequestServer *requestServer;
    RequestServer *updateServer;
    MainForm *mainForm = nullptr;
    QAbstractButton *busyButton;
    bool reconnecting = false;
    bool statusShown = false;
    bool attentionShown = false;
    bool loginClicked = false;
};
