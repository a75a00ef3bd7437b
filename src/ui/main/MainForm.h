#pragma once

#include <QByteArray>
#include <QDialog>
#include <QPointer>
#include <QString>

class EmailPage;
class ImageBtnBar;
class ImageButton;
class LoginController;
class PersonalPage;
class ProxyWdg;
class QStackedWidget;
class RequestServer;
class SupportWdg;
class TrayWidget;
class Tunnel;
class WebPage;

// The window the user works in while logged in: a title picture, a menu bar
// of five picture buttons and a stack of five pages (web surfing, e-mail,
// settings, support, exit). The pages are classes of their own that run the
// privacy services of a login (the web filter, the local mail proxy) and
// share the window's API client. The connection commands of the exit page
// go to the login controller; what only the login window can do (show
// itself again, log in anew) it is asked for by signal.
class MainForm : public QDialog
{
    Q_OBJECT

public:
    // The menu's pages, in the order of its buttons.
    enum Page
    {
        WebSurfing,
        Email,
        Settings,
        Support,
        Exit
    };

    // The tray may be null (no tray icon in this process); so may the
    // tunnel and `loginWindow`, the window that follows the tray's focus
    // while it is shown.
    MainForm(LoginController *login, Tunnel *tunnel, TrayWidget *tray, QWidget *loginWindow,
             QWidget *parent = nullptr);
    ~MainForm() override;

    // Called by the login dialog around a login.
    void startWebFilter();
    void stopWebFilter();
    void startMailProxy();
    void stopMailProxy();
    void setNoticesMuted(bool muted);

    // The menu and the settings page's tabs, as the user clicks them.
    void selectPage(int index);
    int currentPage() const;
    void selectSettingsTab(int index);
    bool proxyTabShown() const;
    // The proxy choice was saved elsewhere (the login dialog's form): the
    // tab shows it and never writes the one it showed before back.
    void proxySettingsSaved();

    WebPage *webPage() const { return web; }
    EmailPage *emailPage() const { return email; }
    PersonalPage *personalPage() const { return personal; }
    RequestServer *requestServer() const { return requests; }

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

public slots:
    void accept() override;
    void reject() override;

    // Shell.
    void changeUser();
    void enableNonfreeWidgets(bool reg_user);
    void on_reconnectImgBtn_clicked();
    void on_logoutImgBtn_clicked();
    void on_exitImgBtn_clicked();
    void loginDone();
    void setLocation(QString ip, QString location);

    // The account's first answers, handed over by the login.
    void getAliasesDone(QByteArray response, bool ok);
    void getReceivingDone(QByteArray response, bool ok);
    void getContactDone(QByteArray response, bool ok);

signals:
    // The window went away for a new login: the login window comes back.
    void loginWanted();
    // The exit page's reconnect found no tunnel: log in again as before.
    void reloginWanted();
    // The exit page's reconnect over a live tunnel.
    void reconnectWanted();
    // The password changed on the personal tab.
    void passwordChanged(const QString &password);

private:
    void buildShell();
    void buildSettingsPage();
    void buildExitPage();
    void connectShell();
    void menuSelected(int index);
    void tabSelected(int index);
    // The settings page is current with its proxy tab.
    bool proxyTabInView() const;
    // The proxy tab saves its settings when it is left while shown.
    void saveProxyTabIfShown();
    // Hands the controller's current credentials to the API client.
    void takeLoginCredentials();
    void requestsBusy();
    void requestsFree();
    void enableJunkMail(bool on);
    bool tunnelDown() const;
    void hideAlone();

    LoginController *login;
    Tunnel *tunnel;
    QPointer<TrayWidget> tray;
    QPointer<QWidget> loginWindow;
    RequestServer *requests;

    ImageBtnBar *menuBtnBar;
    QStackedWidget *mainStackWdg;
    WebPage *web;
    EmailPage *email;
    QWidget *settingsPage;
    SupportWdg *supportPage;
    QWidget *exitPage;
    ImageBtnBar *tabBtnBar;
    QStackedWidget *tabStackWdg;
    PersonalPage *personal;
    QWidget *proxyPage;
    ProxyWdg *proxyWdg;
    ImageButton *reconnectImgBtn;
    ImageButton *logoutImgBtn;
    ImageButton *exitImgBtn;

    bool freeAccount = false;
    // Between a finished login and the next log-out; a late answer after
    // log-out must not switch the tray's account entries back on.
    bool signedIn = false;

    Q_DISABLE_COPY_MOVE(MainForm)
};
