#pragma once

#include "mail/MailInfo.h"

#include <QDialog>
#include <QPointer>

class QMessageBox;
class QPushButton;
class SplitButton;

// Asks about one held-back outgoing message: send it under an alias, send
// it normally or not at all. Every way of leaving the dialog, the close
// button and Escape included, ends in exactly one decision, since the proxy
// keeps the mail program waiting until it gets one.
class MailDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MailDialog(const MailInfo &info, QWidget *parent = nullptr);

    void setMailList(const QStringList &mailList, int index);
    void setBusy();
    // Ends the dialog as "do not send" (unless it was answered) without
    // asking, its close question included if that is open, and deletes it
    // once it is out of its own event loop: never from under it.
    void closeAsCancelled();

signals:
    void mailConfirmed(MailInfo info);

public slots:
    void on_yesBtn_clicked();
    void on_noBtn_clicked();
    void on_cancelBtn_clicked();
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void decide(const QString &from);

    SplitButton *yesBtn;
    QPushButton *noBtn;
    QPushButton *cancelBtn;
    MailInfo mailInfo;
    bool decided = false;
    QPointer<QMessageBox> closeQuestion; // "Are you sure", while it is open

    Q_DISABLE_COPY_MOVE(MailDialog)
};
