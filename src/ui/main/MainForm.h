#pragma once

#include "mail/MailInfo.h"
#include "net/MailRedir.h"
#include "ui_EmailPage.h"
#include "ui_PersonalPage.h"
#include "ui_WebPage.h"

#include <QByteArray>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <functional>

class ImageBtnBar;
class ImageButton;
class MailDialog;
class ProxyWdg;
class QLabel;
class QStackedWidget;
class QTreeWidgetItem;
class QTimer;
class RequestServer;
class SmtpRoxyServer;
class SupportWdg;
class WebFilter;

// The window the user works in while logged in: a title picture, a menu bar
// of five picture buttons and a stack of five pages (web surfing, e-mail,
// settings, support, exit). It runs the privacy services of a login (the
// web filter and the local mail proxy) and has an API client of its own;
// the connection commands of its exit page go to the login dialog, which
// stays the controller of the connection.
//
// The shell is built here, each page's contents come from a form of its
// own; one name-based connection pass covers them all. The pages' slots
// live in MainFormWeb.cpp, MainFormMail.cpp and MainFormPersonal.cpp.
class MainForm : public QDialog
{
    Q_OBJECT

public:
    explicit MainForm(QWidget *parent = nullptr);
    ~MainForm() override;

    // Called by the login dialog around a login.
    void startWebFilter();
    void stopWebFilter();
    void startMailProxy();
    void stopMailProxy();
    void setNoticesMuted(bool muted);

    // The aliases offered for sending: the alias column of the tree without
    // the placeholder and without empty aliases, in tree order.
    QStringList aliasList() const;

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

public slots:
    void accept() override;
    void reject() override;

    // Shell.
    void changeUser();
    void on_menuBtnBar_selectionChanged(int index);
    void on_tabBtnBar_selectionChanged(int index);
    void enableNonfreeWidgets(bool reg_user);
    void on_reconnectImgBtn_clicked();
    void on_logoutImgBtn_clicked();
    void on_exitImgBtn_clicked();
    void loginDone();
    void requestServerBusy();
    void requestServerFree();

    // Web surfing page.
    void saveWebFilterCfg();
    void loadWebFilterCfg();
    void on_webFilterBtn_clicked();
    void webStatusTimeout();
    void updateWebChecks();
    void updateWebFilter();
    void onPrivoxyStarted();
    void onPrivoxyStopped();
    void setLocation(QString ip, QString location);
    void clearFilterTip();
    void on_advertChBox_hoverOn();
    void on_headerChBox_hoverOn();
    void on_cookieChBox_hoverOn();

    // E-mail aliases page.
    void getAliases();
    void getAliasesDone(QByteArray response, bool ok);
    void on_mailAddBtn_clicked();
    void addAliasDone(MailRedir redir, QByteArray response, bool ok);
    void on_mailRemoveBtn_clicked();
    void deleteAliasDone(MailRedir redir, QByteArray response, bool ok);
    void on_mailChangeBtn_clicked();
    void changeAliasDone(MailRedir oldRedir, MailRedir newRedir, QByteArray response, bool ok);
    void addJunkAlias();
    void addJunkDone(MailRedir redir, QByteArray response, bool ok);
    QString checkFwdMailError(QString alias, QString mail);
    void on_mailTreeWdg_itemSelectionChanged();
    void mailEdit_textEdited();
    void on_mailForwardEdit_returnPressed();
    void updateMailAliasCombo();
    void aliasSort();
    void getReceiving();
    void getReceivingDone(QByteArray response, bool ok);
    void on_mailReceiveChBox_clicked();
    void setReceiving(bool state);
    void setReceivingDone(bool state, QByteArray response, bool ok);
    void mailAnonymizeChBox_toggled(bool checked);
    // Qt 6 reports the chosen text by textActivated.
    void on_mailAliasCombo_textActivated(QString text);
    void showMailQuery(MailInfo info);

signals:
    // A tray balloon of the junk-mail command (title and text).
    void junkMailNotice(QString title, QString text);

public slots:

    // Personal settings page.
    void getContact();
    void getContactDone(QByteArray response, bool ok);
    void on_contactChangeBtn_clicked();
    void changeContactDone(QByteArray response, bool ok);
    void on_contactEdit_textChanged(QString text);
    void on_passwdChangeBtn_clicked();
    void changePasswordDone(QByteArray response, bool ok);
    void passwordRepaired();
    void personalEnable(bool en);

private:
    void buildShell();
    void setUpWebPage();
    void setUpMailPage();
    // The e-mail page's part of enableNonfreeWidgets (its inputs).
    void enableMailWidgets(bool reg_user);
    // "Make my outgoing emails anonymous" shows whether the mail proxy
    // runs, without taking it for the user's choice.
    void showMailProxyRunning(bool running);
    void setUpPersonalPage();
    void connectRequestServer();
    // The proxy tab saves its settings when it is left while shown.
    void saveProxyTabIfShown();
    // Hands the login dialog's current credentials to the API client.
    void takeLoginCredentials();
    bool webFilterRunning() const;
    // Enables the tab's inputs again after an answer; false (with the
    // alert shown) when the answer is an error.
    bool accountAnswerAccepted(const QByteArray &response, bool ok);
    // Sends a contact or password change with the tab's inputs disabled.
    void sendAccountChange(const std::function<bool()> &send);
    // The support form's reply address follows the stored contact address.
    void reloadSupportSender();
    // Inserts a row for `redir` just before the placeholder row.
    void insertAliasRow(const MailRedir &redir);
    // The records of the alias rows, the placeholder left out.
    QList<MailRedir> aliasRecords() const;
    // Rebuilds the list in the header's order, placeholder last.
    void showAliasRecords(const QList<MailRedir> &records);
    // The selected alias row; none while the placeholder is selected.
    QTreeWidgetItem *selectedAliasRow() const;
    MailRedir editedAlias() const;
    bool editedAliasValid();
    void aliasRequestSent(const QString &busyText);
    QString aliasAnswerError(const QByteArray &response, bool ok, const QString &refusedText);
    void junkAliasFailed(const QString &error);
    void showMailSettingsLoaded();

public:
    // Shell widgets.
    QLabel *label;
    ImageBtnBar *menuBtnBar;
    QStackedWidget *mainStackWdg;
    QWidget *webPage;
    QWidget *emailPage;
    QWidget *settingsPage;
    SupportWdg *supportPage;
    QWidget *exitPage;
    ImageBtnBar *tabBtnBar;
    QStackedWidget *tabStackWdg;
    QWidget *personalPage;
    QWidget *proxyPage;
    ProxyWdg *proxyWdg;
    ImageButton *reconnectImgBtn;
    ImageButton *logoutImgBtn;
    ImageButton *exitImgBtn;

    // The pages' contents.
    Ui::WebPage web;
    Ui::EmailPage mail;
    Ui::PersonalPage personal;

    WebFilter *webFilter;
    SmtpRoxyServer *smtpProxy;
    QTimer *webStatusTimer;
    RequestServer *requestServer;
    bool freeAccount = false;
    // Between a finished login and the next log-out; a late answer after
    // log-out must not switch the tray's account entries back on.
    bool signedIn = false;
    bool aliasesLoaded = false;
    // The last alias list answer held records that were not shown.
    bool aliasesLeftOut = false;
    bool contactLoaded = false;
    bool receivingLoaded = false;
    bool receivingEnabled = false;
    bool noticesMuted = false;

private:
    // The one open confirmation of an intercepted message.
    QPointer<MailDialog> mailDialog;
    // A refused junk alias is tried once more under another name.
    int junkAttempt = 1;
};
