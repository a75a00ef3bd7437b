#pragma once

#include "mail/MailInfo.h"
#include "net/MailRedir.h"

#include <QByteArray>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class MailDialog;
class QTreeWidgetItem;
class RequestServer;
class SmtpRoxyServer;
class Tunnel;

namespace Ui {
class EmailPage;
}

// The e-mail page: the account's aliases at the service (listed, added,
// changed, removed, and the tray's junk alias), whether the service
// receives mail for them, and the local mail proxy that sends the user's
// outgoing mail under an alias once its confirmation dialog agrees.
class EmailPage : public QWidget
{
    Q_OBJECT

public:
    // The tunnel (may be null) carries the adapter flag of a running proxy.
    EmailPage(RequestServer *requests, Tunnel *tunnel, QWidget *parent = nullptr);
    ~EmailPage() override;

    void setFreeAccount(bool free);
    void setNoticesMuted(bool muted);
    // A new login: the list and the receiving state are asked for again.
    void forgetSettings();
    bool aliasesLoaded() const { return listLoaded; }
    bool receivingLoaded() const { return receivingIn; }
    bool receivingEnabled() const { return receivingOn; }

    void startMailProxy();
    void stopMailProxy();
    SmtpRoxyServer *proxy() const { return mailProxy; }

    // The aliases offered for sending: the alias column of the list without
    // the placeholder and without empty aliases, in list order.
    QStringList aliasList() const;

signals:
    // A tray balloon of the junk-mail command (title and text).
    void junkMailNotice(QString title, QString text);

public slots:
    void getAliases();
    void getAliasesDone(QByteArray response, bool ok);
    void getReceivingDone(QByteArray response, bool ok);
    // The tray's junk-mail command: a new alias under a drawn name.
    void addJunkAlias();

private slots:
    void addAliasDone(MailRedir redir, QByteArray response, bool ok);
    void deleteAliasDone(MailRedir redir, QByteArray response, bool ok);
    void changeAliasDone(MailRedir oldRedir, MailRedir newRedir, QByteArray response, bool ok);
    void addJunkDone(MailRedir redir, QByteArray response, bool ok);
    void setReceivingDone(bool state, QByteArray response, bool ok);
    void showMailQuery(MailInfo info);

private:
    void connectRequests();
    void setInputsEnabled(bool reg_user);
    // "Make my outgoing emails anonymous" shows whether the mail proxy
    // runs, without taking it for the user's choice.
    void showMailProxyRunning(bool running);
    void anonymizeToggled(bool checked);
    void addAlias();
    void removeAlias();
    void changeAlias();
    void showSelectedAlias();
    void aliasEdited();
    void forwardReturnPressed();
    void aliasSort();
    void updateMailAliasCombo();
    void getReceiving();
    void setReceiving(bool state);
    QString checkFwdMailError(QString alias, QString mail);
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

    Ui::EmailPage *ui;
    RequestServer *requests;
    Tunnel *tunnel;
    SmtpRoxyServer *mailProxy;
    bool freeAccount = false;
    bool listLoaded = false;
    // The last alias list answer held records that were not shown.
    bool aliasesLeftOut = false;
    bool receivingIn = false;
    bool receivingOn = false;
    // The one open confirmation of an intercepted message.
    QPointer<MailDialog> mailDialog;
    // A refused junk alias is tried once more under another name.
    int junkAttempt = 1;
};
