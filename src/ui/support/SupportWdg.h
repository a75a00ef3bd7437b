#pragma once

#include <QWidget>

class QTimer;
class SendMail;

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

    explicit SupportWdg(QWidget *parent = nullptr);
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

    Ui::SupportWidget *ui;
    SendMail *sendMail = nullptr;
    bool sending = false;
    QTimer *cancelTimer;
};
