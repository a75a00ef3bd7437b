#include "ui/main/EmailPage.h"

#include "aliases/AliasRecords.h"
#include "core/Deployment.h"
#include "net/RequestServer.h"
#include "ui/main/AliasEditor.h"
#include "ui/main/AliasTable.h"
#include "ui/main/JunkAliasCommand.h"
#include "ui/main/MailReceiving.h"
#include "ui/main/OutgoingMail.h"
#include "ui/main/VerdictText.h"
#include "ui_EmailPage.h"

#include <QTimer>

EmailPage::EmailPage(RequestServer *requests, Tunnel *tunnel, QWidget *parent)
    : QWidget(parent), ui(new Ui::EmailPage), requests(requests)
{
    ui->setupUi(this);
    table = new AliasTable(ui->mailTreeWdg, this);
    editor = new AliasEditor(ui, table, requests, this);
    junk = new JunkAliasCommand(table, editor, ui->mailProgressLbl, requests, this);
    receiving = new MailReceiving(ui->mailReceiveChBox, ui->mailProgressLbl, requests, this);
    outgoing = new OutgoingMail(ui->mailAnonymizeChBox, ui->mailAliasCombo, ui->mailComboDomainLbl,
                                tunnel, this);

    ui->mailProgressLbl->setAlignment(Qt::AlignLeft);
    ui->mailProgressLbl->setWordWrap(true);
    ui->mailProgressLbl->hideStatus();

    connect(editor, &AliasEditor::aliasesChanged, this, &EmailPage::showAliasesChanged);
    connect(junk, &JunkAliasCommand::aliasAdded, this, &EmailPage::showAliasesChanged);
    connect(junk, &JunkAliasCommand::junkMailNotice, this, &EmailPage::junkMailNotice);
    // Said once both halves of the mail settings are in.
    connect(receiving, &MailReceiving::receivingLoaded, this, &EmailPage::showMailSettingsLoaded);
    connect(outgoing, &OutgoingMail::anonymizeChosen, this,
            [this](bool on) { on ? startMailProxy() : stopMailProxy(); });
    connect(outgoing, &OutgoingMail::confirmationOpened, this,
            &EmailPage::offerAliasesToConfirmation);
    connect(requests, &RequestServer::getAliasesDone, this, &EmailPage::getAliasesDone);
}

EmailPage::~EmailPage()
{
    delete ui;
}

bool EmailPage::receivingLoaded() const
{
    return receiving->loaded();
}

bool EmailPage::receivingEnabled() const
{
    return receiving->enabled();
}

SmtpRoxyServer *EmailPage::proxy() const
{
    return outgoing->proxy();
}

QStringList EmailPage::aliasList() const
{
    return table->aliases();
}

void EmailPage::setFreeAccount(bool free)
{
    freeAccount = free;
    outgoing->setEnabled(!free);
    ui->mailReceiveChBox->setEnabled(!free);
    editor->setEnabled(!free);
    if (free) {
        ui->mailProgressWdg->setStyleSheet(QStringLiteral(
            "QWidget#mailProgressWdg { background-image: url(:/img/backgnd/notice2.png) }"));
        ui->mailProgressLbl->setAlignment(Qt::AlignLeft);
        ui->mailProgressLbl->setInfo(tr("You are logged\nin free Quillnet.\nTo take advantage\nof "
                                        "these services,\nplease register."));
    } else {
        ui->mailProgressWdg->setStyleSheet(QString());
        ui->mailProgressLbl->setAlignment(Qt::AlignLeft);
        ui->mailProgressLbl->hideStatus();
    }
}

void EmailPage::setNoticesMuted(bool muted)
{
    ui->mailProgressLbl->muted = muted;
}

void EmailPage::forgetSettings()
{
    listLoaded = false;
    receiving->forget();
}

void EmailPage::startMailProxy()
{
    if (freeAccount)
        return;
    // The confirmations offer the aliases, so they are asked for early.
    if (!listLoaded)
        getAliases();
    outgoing->startProxy();
}

void EmailPage::stopMailProxy()
{
    outgoing->stopProxy();
}

void EmailPage::addJunkAlias()
{
    junk->addJunkAlias();
}

void EmailPage::getAliases()
{
    // Only a request that went out is announced: a busy client sends none
    // and no answer would ever replace the notice.
    if (requests->getAliases())
        ui->mailProgressLbl->setBusy(tr("Checking alias"));
}

void EmailPage::getAliasesDone(QByteArray response, bool ok)
{
    const QString error =
        verdictText(ResponseCheck::judge(response, ok, true), tr("Unable to get list of aliases."));
    editor->releaseControls();
    if (!error.isEmpty()) {
        // The list counts as not loaded, so the next visit asks again.
        table->show({});
        ui->mailProgressLbl->setAlert(error, 6000);
        // A waiting confirmation must not wait for ever: without aliases the
        // user can still send normally or cancel.
        outgoing->offerAliases({});
        return;
    }

    QList<MailRedir> records = AliasRecords::fromAnswer(response);
    aliasesLeftOut = AliasRecords::removeInvalid(records, Deployment::current().aliasDomain) > 0;
    table->show(records);
    editor->listReplaced();
    outgoing->showAliases(aliasList());
    outgoing->offerAliases(aliasList());

    listLoaded = true;
    if (receiving->loaded())
        showMailSettingsLoaded();
    else
        QTimer::singleShot(0, receiving, &MailReceiving::getReceiving);
}

void EmailPage::getReceivingDone(QByteArray response, bool ok)
{
    receiving->getReceivingDone(response, ok);
}

void EmailPage::showMailSettingsLoaded()
{
    // Said last, where the page says its settings are in: a notice shown
    // earlier would be gone under the receiving state's busy notice.
    if (aliasesLeftOut)
        ui->mailProgressLbl->setAlert(
            tr("Some aliases sent by the service were not valid and were left out."), 6000);
    else
        ui->mailProgressLbl->setOk(tr("Settings loaded"), 3000);
}

void EmailPage::showAliasesChanged()
{
    outgoing->showAliases(aliasList());
}

void EmailPage::offerAliasesToConfirmation()
{
    // With the client busy no list can be asked for now: the confirmation
    // offers what the page shows rather than waiting for an answer that
    // never comes.
    if (listLoaded || requests->isBusy()) {
        outgoing->offerAliases(aliasList());
    } else {
        outgoing->awaitAliases();
        getAliases();
    }
}
