#pragma once

#include <QByteArray>
#include <QStringList>
#include <QWidget>

class AliasEditor;
class AliasTable;
class JunkAliasCommand;
class MailReceiving;
class OutgoingMail;
class RequestServer;
class SmtpRoxyServer;
class Tunnel;

namespace Ui {
class EmailPage;
}

// The e-mail page: the account's aliases at the service (listed, added,
// changed, removed, and the tray's junk alias), whether the service
// receives mail for them, and the local mail proxy that sends the user's
// outgoing mail under an alias once its confirmation dialog agrees. The
// page loads the account's mail settings and shares one notice among its
// parts, each of which runs its own widgets; their texts are translated in
// this page's context.
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
    bool receivingLoaded() const;
    bool receivingEnabled() const;

    void startMailProxy();
    void stopMailProxy();
    SmtpRoxyServer *proxy() const;

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

private:
    void showAliasesChanged();
    void offerAliasesToConfirmation();
    void showMailSettingsLoaded();

    Ui::EmailPage *ui;
    RequestServer *requests;
    AliasTable *table;
    AliasEditor *editor;
    JunkAliasCommand *junk;
    MailReceiving *receiving;
    OutgoingMail *outgoing;
    bool freeAccount = false;
    bool listLoaded = false;
    // The last alias list answer held records that were not shown.
    bool aliasesLeftOut = false;

    Q_DISABLE_COPY_MOVE(EmailPage)
};
