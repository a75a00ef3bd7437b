#pragma once

#include "net/MailRedir.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class AliasEditor;
class AliasTable;
class ProgressLbl;
class RequestServer;

// The tray's junk-mail command: a new alias under a drawn name, forwarding
// to the contact address, whose full address lands in the clipboard. The
// tray tells how it went; a name the service refuses is drawn once more.
// Its texts are the e-mail page's own, in the page's translation context.
class JunkAliasCommand : public QObject
{
    Q_OBJECT

public:
    JunkAliasCommand(AliasTable *table, AliasEditor *editor, ProgressLbl *notice,
                     RequestServer *requests, QObject *parent = nullptr);

public slots:
    void addJunkAlias();

signals:
    // A tray balloon (title and text).
    void junkMailNotice(QString title, QString text);
    // The new alias is listed.
    void aliasAdded();

private slots:
    void addJunkDone(MailRedir redir, QByteArray response, bool ok);

private:
    void junkAliasFailed(const QString &error);

    AliasTable *table;
    AliasEditor *editor;
    ProgressLbl *notice;
    RequestServer *requests;
    // A refused junk alias is tried once more under another name.
    int junkAttempt = 1;

    Q_DISABLE_COPY_MOVE(JunkAliasCommand)
};
