#pragma once

#include <QPointer>
#include <QWidget>

class LoginController;
class QTimer;
class SendMail;
class Tunnel;

namespace Ui {
class SupportWidget;
}

// The support page: links to the vendor's help pages, and a form that mails
// a support request with the program's logs to the support mailbox. Used
// by the main window and, before a login, by the support dialog.
class SupportWdg : public QWidget
{
    Q_OBJECT

public:
    static constexpr int CancelDelayMs = 1500;

    // `account` names the user in the request and tells whether a copy may
    // go to the sender; `tunnel` tells whether the relay is reached through
    // it. Either may be null: no one logged in, no tunnel.
    SupportWdg(const LoginController *account, const Tunnel *tunnel, QWidget *parent = nullptr);
    ~SupportWdg() override;

    bool isSending() const { return sending; }
    // The request text as typed.
    QString requestText() const;
    // What the form says goes with the request besides the text.
    QString attachmentsText() const;

public slots:
    void reloadSender();
    void openMenu();
    void openMail();
    void openUrl();
    void doneOk(QString text);
    void doneAlert(QString text);
    void on_sendBtn_clicked();
    void enableCancelBtn();

private:
    void setIdle();
    void showAttachments();
    bool tunnelConnected() const;

    Ui::SupportWidget *ui;
    QPointer<const LoginController> account;
    QPointer<const Tunnel> tunnel;
    SendMail *sendMail = nullptr;
    bool sending = false;
    QTimer *cancelTimer;

    Q_DISABLE_COPY_MOVE(SupportWdg)
};
