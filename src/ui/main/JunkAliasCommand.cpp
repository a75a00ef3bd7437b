#include "ui/main/JunkAliasCommand.h"

#include "aliases/AliasRules.h"
#include "aliases/JunkAlias.h"
#include "core/Deployment.h"
#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "net/RequestServer.h"
#include "ui/main/AliasEditor.h"
#include "ui/main/AliasTable.h"
#include "ui/main/EmailPage.h"
#include "ui/main/VerdictText.h"
#include "ui/widgets/ProgressLbl.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

JunkAliasCommand::JunkAliasCommand(AliasTable *table, AliasEditor *editor, ProgressLbl *notice,
                                   RequestServer *requests, QObject *parent)
    : QObject(parent), table(table), editor(editor), notice(notice), requests(requests)
{
    connect(requests, &RequestServer::addJunkDone, this, &JunkAliasCommand::addJunkDone);
}

void JunkAliasCommand::addJunkAlias()
{
    const MailRedir redir(JunkAlias::draw(), storedSetting(SettingsKey::ContactEmail).toString());
    const QString error =
        AliasRules::forwardError(redir.alias, redir.forward, Deployment::current().aliasDomain);
    if (!error.isEmpty()) {
        junkAliasFailed(error);
        return;
    }
    if (!requests->addAlias(redir, true)) {
        // The next junk request is a first attempt again.
        junkAttempt = 1;
        return;
    }
    editor->holdControls(EmailPage::tr("Registering alias"));
    // A retry after a refusal stays silent: the user asked only once.
    if (junkAttempt == 1)
        emit junkMailNotice(EmailPage::tr("Junk mail"),
                            EmailPage::tr("Registering alias %1%2 is in progress.")
                                .arg(redir.alias, AliasTable::atDomain()));
}

void JunkAliasCommand::junkAliasFailed(const QString &error)
{
    notice->setAlert(error, 6000);
    emit junkMailNotice(EmailPage::tr("Junk mail - error"),
                        EmailPage::tr("Registering alias failed. ") + error);
}

void JunkAliasCommand::addJunkDone(MailRedir redir, QByteArray response, bool ok)
{
    editor->releaseControls();
    const QString error = verdictText(ResponseCheck::judge(response, ok, false),
                                      EmailPage::tr("Unknown error occured."));
    if (!error.isEmpty()) {
        if (junkAttempt < 2) {
            ++junkAttempt;
            // Queued: the client reports itself free only after this answer.
            QTimer::singleShot(0, this, &JunkAliasCommand::addJunkAlias);
        } else {
            junkAttempt = 1;
            junkAliasFailed(error);
        }
        return;
    }

    junkAttempt = 1;
    table->insert(redir);
    emit aliasAdded();
    notice->setOk(EmailPage::tr("Settings saved"), 3000);
    const QString address = redir.alias + AliasTable::atDomain();
    QGuiApplication::clipboard()->setText(address);
    const QString where =
        redir.forward.isEmpty()
            ? EmailPage::tr("To receive emails, please setup new alias in the Email tab.")
            : EmailPage::tr("Incoming emails will be forwarded to %1.").arg(redir.forward);
    emit junkMailNotice(EmailPage::tr("Junk mail - success"),
                        EmailPage::tr("Alias %1%2 is in your clipboard now. ")
                                .arg(redir.alias, AliasTable::atDomain()) +
                            where);
}
