#pragma once

#include "net/ResponseCheck.h"

#include <QByteArray>
#include <QWidget>
#include <functional>

class LoginController;
class RequestServer;

namespace Ui {
class PersonalPage;
}

// The personal settings tab: the contact address the service holds for the
// user, and the account password. It asks the window's API client and
// takes the account's credentials from the login controller.
class PersonalPage : public QWidget
{
    Q_OBJECT

public:
    PersonalPage(RequestServer *requests, LoginController *login, QWidget *parent = nullptr);
    ~PersonalPage() override;

    // A free account sees the tab shut with a notice.
    void setFreeAccount(bool free);
    void setNoticesMuted(bool muted);
    bool contactLoaded() const { return loaded; }
    // A log-out: the next login asks for the contact again, and nothing
    // this account was shown or typed stays for the next user.
    void forgetAccount();

signals:
    // The password has been changed at the service and in the controller.
    void passwordChanged(const QString &password);
    // The stored contact address changed (the support form's reply address).
    void contactChanged();
    // The user turned blocking outside the tunnel on or off (stored already).
    void blockOutsideTunnelChanged(bool block);
    // The user allowed the local network around the block, or no longer.
    void allowLocalNetworkChanged(bool allow);

public slots:
    void getContact();
    void getContactDone(QByteArray response, bool ok);
    void changeContactDone(QByteArray response, bool ok);
    void changePasswordDone(QByteArray response, bool ok);
    // The tab's inputs; never on for a free account.
    void setInputsEnabled(bool en);

protected:
    // The start-at-login box shows the desktop's autostart entry as it is
    // now: the desktop's own tools may have removed or turned it off.
    void showEvent(QShowEvent *event) override;

private:
    void setUpInputs();
    void setStartAtLogin(bool start);
    void showStartAtLogin();
    void changeContact();
    void changePassword();
    void storeContact(const QString &contact);
    // Enables the inputs again after an answer; false (with the alert
    // shown, `refusedText` for a "0") when the answer is not a success.
    bool answerAccepted(ResponseCheck::Verdict verdict, const QString &refusedText);
    // Sends a contact or password change with the inputs disabled.
    void sendChange(const std::function<bool()> &send);

    Ui::PersonalPage *ui;
    RequestServer *requests;
    LoginController *login;
    bool freeAccount = false;
    bool loaded = false;

    Q_DISABLE_COPY_MOVE(PersonalPage)
};
