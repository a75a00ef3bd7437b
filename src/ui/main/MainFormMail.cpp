#include "core/Deployment.h"
#include "app/Instances.h"
#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "ui/tray/TrayWidget.h"
#include "ui/mail/MailDialog.h"
#include "mail/SmtpRoxyServer.h"
#include "net/RequestServer.h"
#include "net/ResponseCheck.h"
#include "ui/main/VerdictText.h"
#include "aliases/AliasEditState.h"
#include "aliases/AliasRecords.h"
#include "aliases/AliasRules.h"
#include "aliases/JunkAlias.h"
#include "ui/main/MainForm.h"
#include "ui/widgets/RegExpSValidator.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QSettings>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

namespace {

const int BalloonMs = 10000;

QString aliasDomain()
{
    return Deployment::current().aliasDomain;
}

QString atDomain()
{
    return QLatin1Char('@') + aliasDomain();
}

RegExpSValidator *inputValidator(const QString &pattern, QObject *parent)
{
    return new RegExpSValidator(QRegularExpression(QRegularExpression::anchoredPattern(pattern)),
                                parent);
}

} // namespace

void MainForm::setUpMailPage()
{
    QTreeWidget *tree = mail.mailTreeWdg;
    tree->setHeaderLabels({tr("Alias (%1)").arg(atDomain()), tr("Forward to")});
    tree->setColumnWidth(0, 230);
    // The page sorts the rows itself, so that the placeholder stays last.
    tree->setSortingEnabled(false);
    tree->header()->setSectionsClickable(true);
    tree->header()->setSortIndicatorShown(true);
    tree->header()->setSortIndicator(AliasRecords::AliasColumn, Qt::AscendingOrder);
    connect(tree->header(), &QHeaderView::sectionClicked, this, &MainForm::aliasSort);
    showAliasRecords({});

    mail.mailAliasEdit->setHint(tr("alias"));
    mail.mailForwardEdit->setHint(tr("forward to email"));
    mail.mailAliasEdit->setValidator(inputValidator(AliasRules::aliasInputPattern(), this));
    mail.mailForwardEdit->setValidator(inputValidator(AliasRules::forwardInputPattern(), this));
    mail.mailAliasEdit->hintOn();
    mail.mailForwardEdit->hintOn();
    connect(mail.mailAliasEdit, &QLineEdit::textEdited, this, &MainForm::mailEdit_textEdited);
    connect(mail.mailForwardEdit, &QLineEdit::textEdited, this, &MainForm::mailEdit_textEdited);
    connect(mail.mailAliasEdit, &QLineEdit::returnPressed, mail.mailForwardEdit,
            qOverload<>(&QWidget::setFocus));
    mail.mailDomainLbl->setText(atDomain());
    mail.mailComboDomainLbl->setText(atDomain());
    mail.mailChangeBtn->hide();

    mail.mailProgressLbl->setAlignment(Qt::AlignLeft);
    mail.mailProgressLbl->setWordWrap(true);
    mail.mailProgressLbl->hideStatus();

    // Set before the connection: the proxy is started by the login, not here.
    mail.mailAnonymizeChBox->setChecked(storedSetting(SettingsKey::MailAnonymize).toBool());
    mail.mailAliasCombo->setEnabled(mail.mailAnonymizeChBox->isChecked());
    connect(mail.mailAnonymizeChBox, &QCheckBox::toggled, mail.mailAliasCombo,
            &QWidget::setEnabled);
    connect(mail.mailAnonymizeChBox, &QCheckBox::toggled, this,
            &MainForm::mailAnonymizeChBox_toggled);
    connect(this, &MainForm::junkMailNotice, this, [](const QString &title, const QString &text) {
        trayWidget->showMessage(title, text, QSystemTrayIcon::Information, BalloonMs);
    });
}

void MainForm::enableMailWidgets(bool reg_user)
{
    const QList<QWidget *> inputs{mail.mailAnonymizeChBox, mail.mailReceiveChBox,
                                  mail.mailAliasEdit,      mail.mailForwardEdit,
                                  mail.mailTreeWdg,        mail.mailChangeBtn};
    for (QWidget *widget : inputs)
        widget->setEnabled(reg_user);
    mail.mailAliasCombo->setEnabled(reg_user && mail.mailAnonymizeChBox->isChecked());
    mail.mailAddBtn->setEnabled(false);
    mail.mailRemoveBtn->setEnabled(false);
}

void MainForm::showMailProxyRunning(bool running)
{
    const QSignalBlocker quiet(mail.mailAnonymizeChBox);
    mail.mailAnonymizeChBox->setChecked(running);
    mail.mailAliasCombo->setEnabled(running);
}

QList<MailRedir> MainForm::aliasRecords() const
{
    QList<MailRedir> records;
    const int rows = mail.mailTreeWdg->topLevelItemCount() - 1; // without the placeholder
    for (int i = 0; i < rows; ++i) {
        const QTreeWidgetItem *item = mail.mailTreeWdg->topLevelItem(i);
        records.append(MailRedir(item->text(0), item->text(1)));
    }
    return records;
}

QStringList MainForm::aliasList() const
{
    QStringList aliases;
    for (const MailRedir &record : aliasRecords())
        if (!record.alias.isEmpty())
            aliases.append(record.alias);
    return aliases;
}

void MainForm::showAliasRecords(const QList<MailRedir> &records)
{
    QTreeWidget *tree = mail.mailTreeWdg;
    const QHeaderView *header = tree->header();
    tree->clear();
    for (const MailRedir &record : AliasRecords::sorted(records, header->sortIndicatorSection(),
                                                        header->sortIndicatorOrder()))
        new QTreeWidgetItem(tree, {record.alias, record.forward});
    new QTreeWidgetItem(tree, {tr("Click here to add a new alias..."), QString()});
    tree->setCurrentItem(nullptr);
}

void MainForm::insertAliasRow(const MailRedir &redir)
{
    QTreeWidget *tree = mail.mailTreeWdg;
    tree->insertTopLevelItem(tree->topLevelItemCount() - 1,
                             new QTreeWidgetItem({redir.alias, redir.forward}));
}

QTreeWidgetItem *MainForm::selectedAliasRow() const
{
    const QList<QTreeWidgetItem *> selected = mail.mailTreeWdg->selectedItems();
    const QTreeWidget *tree = mail.mailTreeWdg;
    if (selected.isEmpty() ||
        tree->indexOfTopLevelItem(selected.first()) == tree->topLevelItemCount() - 1)
        return nullptr;
    return selected.first();
}

MailRedir MainForm::editedAlias() const
{
    return MailRedir(mail.mailAliasEdit->userText(), mail.mailForwardEdit->userText());
}

bool MainForm::editedAliasValid()
{
    const MailRedir edited = editedAlias();
    const QString error = checkFwdMailError(edited.alias, edited.forward);
    if (error.isEmpty())
        return true;
    mail.mailProgressLbl->setAlert(error, 6000);
    mail.mailForwardEdit->setFocus();
    return false;
}

void MainForm::aliasRequestSent(const QString &busyText)
{
    mail.mailCtlBtn->setEnabled(false);
    mail.mailProgressLbl->setBusy(busyText);
}

QString MainForm::aliasAnswerError(const QByteArray &response, bool ok, const QString &refusedText)
{
    mail.mailCtlBtn->setEnabled(true);
    return verdictText(ResponseCheck::judge(response, ok, false), refusedText);
}

QString MainForm::checkFwdMailError(QString alias, QString forward)
{
    return AliasRules::forwardError(alias, forward, aliasDomain());
}

void MainForm::getAliases()
{
    // Only a request that went out is announced: a busy client sends none
    // and no answer would ever replace the notice.
    if (requestServer->getAliases())
        mail.mailProgressLbl->setBusy(tr("Checking alias"));
}

void MainForm::getAliasesDone(QByteArray response, bool ok)
{
    const QString error = verdictText(ResponseCheck::judge(response, ok, true),
                                      tr("Unable to get list of aliases."));
    mail.mailCtlBtn->setEnabled(true);
    if (!error.isEmpty()) {
        // The list counts as not loaded, so the next visit asks again.
        showAliasRecords({});
        mail.mailProgressLbl->setAlert(error, 6000);
        // A waiting confirmation must not wait for ever: without aliases the
        // user can still send normally or cancel.
        if (mailDialog)
            mailDialog->setMailList({}, -1);
        return;
    }

    QList<MailRedir> records = AliasRecords::fromAnswer(response);
    aliasesLeftOut = AliasRecords::removeInvalid(records, aliasDomain()) > 0;
    showAliasRecords(records);
    mail.mailAddBtn->setEnabled(false);
    mail.mailRemoveBtn->setEnabled(false);
    updateMailAliasCombo();
    if (mailDialog)
        mailDialog->setMailList(aliasList(), mail.mailAliasCombo->currentIndex());

    aliasesLoaded = true;
    if (receivingLoaded)
        showMailSettingsLoaded();
    else
        QTimer::singleShot(0, this, &MainForm::getReceiving);
}

void MainForm::showMailSettingsLoaded()
{
    // Said last, where the page says its settings are in: a notice shown
    // earlier would be gone under the receiving state's busy notice.
    if (aliasesLeftOut)
        mail.mailProgressLbl->setAlert(
            tr("Some aliases sent by the service were not valid and were left out."), 6000);
    else
        mail.mailProgressLbl->setOk(tr("Settings loaded"), 3000);
}

void MainForm::aliasSort()
{
    showAliasRecords(aliasRecords());
}

void MainForm::on_mailTreeWdg_itemSelectionChanged()
{
    if (const QTreeWidgetItem *row = selectedAliasRow()) {
        mail.mailAliasEdit->setText(row->text(0));
        mail.mailForwardEdit->setText(row->text(1));
        mail.mailAddBtn->setEnabled(false);
        mail.mailRemoveBtn->setEnabled(true);
    } else {
        mail.mailAliasEdit->hintOn();
        mail.mailForwardEdit->hintOn();
        mail.mailAddBtn->setEnabled(false);
        mail.mailRemoveBtn->setEnabled(false);
    }
    if (!mail.mailChangeBtn->isHidden()) {
        mail.mailChangeBtn->hide();
        mail.mailAddBtn->show();
        mail.mailRemoveBtn->show();
    }
}

void MainForm::mailEdit_textEdited()
{
    QTreeWidgetItem *row = selectedAliasRow();
    const int selected = row ? mail.mailTreeWdg->indexOfTopLevelItem(row) : -1;
    const AliasEditState state(aliasRecords(), selected, editedAlias());
    mail.mailAddBtn->setEnabled(state.addEnabled());
    mail.mailRemoveBtn->setEnabled(state.removeEnabled());
    mail.mailChangeBtn->setEnabled(state.changeEnabled());
    if (state.selectionChanged() && mail.mailChangeBtn->isHidden()) {
        mail.mailAddBtn->hide();
        mail.mailRemoveBtn->hide();
        mail.mailChangeBtn->show();
    }
}

void MainForm::on_mailForwardEdit_returnPressed()
{
    if (!mail.mailChangeBtn->isHidden())
        mail.mailChangeBtn->click();
    else if (mail.mailAddBtn->isEnabled())
        mail.mailAddBtn->click();
    else if (mail.mailRemoveBtn->isEnabled())
        mail.mailRemoveBtn->click();
}

void MainForm::on_mailAddBtn_clicked()
{
    if (!editedAliasValid())
        return;
    if (!requestServer->addAlias(editedAlias(), false))
        return;
    aliasRequestSent(tr("Registering alias"));
    mail.mailAliasEdit->setFocus();
}

void MainForm::addAliasDone(MailRedir redir, QByteArray response, bool ok)
{
    const QString taken = tr("This alias is taken, please choose another one.");
    const QString error = aliasAnswerError(response, ok, taken);
    if (!error.isEmpty()) {
        mail.mailProgressLbl->setAlert(error, 6000);
        if (error == taken)
            mail.mailAliasEdit->alertOn();
        return;
    }
    insertAliasRow(redir);
    if (!selectedAliasRow()) {
        mail.mailAliasEdit->clear();
        mail.mailForwardEdit->hintOn();
        mail.mailAddBtn->setEnabled(false);
        mail.mailRemoveBtn->setEnabled(false);
        mail.mailAliasEdit->setFocus();
    }
    updateMailAliasCombo();
    mail.mailProgressLbl->setOk(tr("Settings saved"), 3000);
}

void MainForm::on_mailRemoveBtn_clicked()
{
    if (!requestServer->deleteAlias(editedAlias()))
        return;
    aliasRequestSent(tr("Removing alias"));
    mail.mailAliasEdit->setFocus();
}

void MainForm::deleteAliasDone(MailRedir redir, QByteArray response, bool ok)
{
    const QString error = aliasAnswerError(response, ok, tr("Unknown error occured."));
    if (!error.isEmpty()) {
        mail.mailProgressLbl->setAlert(error, 6000);
        return;
    }
    const int row = AliasRecords::indexOf(aliasRecords(), redir);
    if (row >= 0) {
        delete mail.mailTreeWdg->takeTopLevelItem(row);
        mail.mailTreeWdg->setCurrentItem(mail.mailTreeWdg->topLevelItem(row));
    }
    updateMailAliasCombo();
    mail.mailProgressLbl->setOk(tr("Settings saved"), 3000);
}

void MainForm::on_mailChangeBtn_clicked()
{
    const QTreeWidgetItem *row = selectedAliasRow();
    if (!row || !editedAliasValid())
        return;
    if (!requestServer->changeAlias(MailRedir(row->text(0), row->text(1)), editedAlias()))
        return;
    aliasRequestSent(tr("Changing alias"));
    mail.mailAliasEdit->setFocus();
}

void MainForm::changeAliasDone(MailRedir oldRedir, MailRedir newRedir, QByteArray response, bool ok)
{
    const QString error = aliasAnswerError(response, ok, tr("Unknown error occured."));
    if (!error.isEmpty()) {
        mail.mailProgressLbl->setAlert(error, 6000);
        return;
    }
    const int row = AliasRecords::indexOf(aliasRecords(), oldRedir);
    if (row >= 0) {
        QTreeWidgetItem *item = mail.mailTreeWdg->topLevelItem(row);
        item->setText(0, newRedir.alias);
        item->setText(1, newRedir.forward);
    }
    updateMailAliasCombo();
    on_mailTreeWdg_itemSelectionChanged();
    mail.mailProgressLbl->setOk(tr("Settings saved"), 3000);
}

void MainForm::addJunkAlias()
{
    const MailRedir redir(JunkAlias::draw(), storedSetting(SettingsKey::ContactEmail).toString());
    const QString error = checkFwdMailError(redir.alias, redir.forward);
    if (!error.isEmpty()) {
        junkAliasFailed(error);
        return;
    }
    if (!requestServer->addAlias(redir, true)) {
        // The next junk request is a first attempt again.
        junkAttempt = 1;
        return;
    }
    aliasRequestSent(tr("Registering alias"));
    // A retry after a refusal stays silent: the user asked only once.
    if (junkAttempt == 1)
        emit junkMailNotice(
            tr("Junk mail"),
            tr("Registering alias %1%2 is in progress.").arg(redir.alias, atDomain()));
}

void MainForm::junkAliasFailed(const QString &error)
{
    mail.mailProgressLbl->setAlert(error, 6000);
    emit junkMailNotice(tr("Junk mail - error"), tr("Registering alias failed. ") + error);
}

void MainForm::addJunkDone(MailRedir redir, QByteArray response, bool ok)
{
    const QString error = aliasAnswerError(response, ok, tr("Unknown error occured."));
    if (!error.isEmpty()) {
        if (junkAttempt < 2) {
            ++junkAttempt;
            // Queued: the client reports itself free only after this answer.
            QTimer::singleShot(0, this, &MainForm::addJunkAlias);
        } else {
            junkAttempt = 1;
            junkAliasFailed(error);
        }
        return;
    }

    junkAttempt = 1;
    insertAliasRow(redir);
    updateMailAliasCombo();
    mail.mailProgressLbl->setOk(tr("Settings saved"), 3000);
    QGuiApplication::clipboard()->setText(redir.alias + atDomain());
    const QString where = redir.forward.isEmpty()
                              ? tr("To receive emails, please setup new alias in the Email tab.")
                              : tr("Incoming emails will be forwarded to %1.").arg(redir.forward);
    emit junkMailNotice(tr("Junk mail - success"),
                        tr("Alias %1%2 is in your clipboard now. ").arg(redir.alias, atDomain()) +
                            where);
}

void MainForm::updateMailAliasCombo()
{
    QComboBox *combo = mail.mailAliasCombo;
    QString remembered = combo->currentText();
    if (remembered.isEmpty())
        remembered = storedSetting(SettingsKey::MailDefault).toString();
    const QStringList aliases = aliasList();
    combo->clear();
    combo->addItems(aliases);
    if (!aliases.isEmpty())
        combo->setCurrentIndex(qMax(0, aliases.indexOf(remembered)));
}

void MainForm::getReceiving()
{
    if (requestServer->getReceiving())
        mail.mailProgressLbl->setBusy(tr("Loading receiving settings"));
}

void MainForm::getReceivingDone(QByteArray response, bool ok)
{
    const ResponseCheck::Verdict verdict = ResponseCheck::judge(response, ok, false);
    if (verdict == ResponseCheck::Verdict::Ok || verdict == ResponseCheck::Verdict::Refused) {
        receivingEnabled = !response.startsWith('0');
        receivingLoaded = true;
        // Replaces the busy notice of the request.
        showMailSettingsLoaded();
    } else {
        mail.mailProgressLbl->setAlert(verdictText(verdict), 6000);
    }
    mail.mailReceiveChBox->setCheckState(receivingEnabled ? Qt::Checked : Qt::Unchecked);
}

void MainForm::on_mailReceiveChBox_clicked()
{
    setReceiving(!receivingEnabled);
}

void MainForm::setReceiving(bool state)
{
    mail.mailReceiveChBox->setCheckState(Qt::PartiallyChecked);
    if (requestServer->setReceiving(state))
        mail.mailProgressLbl->setBusy(state ? tr("Enabling email receiving")
                                            : tr("Disabling email receiving"));
}

void MainForm::setReceivingDone(bool state, QByteArray response, bool ok)
{
    const QString error =
        verdictText(ResponseCheck::judge(response, ok, false),
                    state ? tr("Error occured. Unable to enable email receiving")
                          : tr("Error occured. Unable to disable email receiving"));
    if (error.isEmpty()) {
        receivingEnabled = state;
        mail.mailProgressLbl->setOk(state ? tr("Receiving enabled") : tr("Receiving disabled"),
                                    3000);
    } else {
        mail.mailProgressLbl->setAlert(error, 6000);
    }
    mail.mailReceiveChBox->setCheckState(receivingEnabled ? Qt::Checked : Qt::Unchecked);
}

void MainForm::mailAnonymizeChBox_toggled(bool checked)
{
    QSettings().setValue(QLatin1String(SettingsKey::MailAnonymize), checked);
    if (checked)
        startMailProxy();
    else
        stopMailProxy();
}

void MainForm::on_mailAliasCombo_textActivated(QString text)
{
    QSettings().setValue(QLatin1String(SettingsKey::MailDefault), text);
}

void MainForm::showMailQuery(MailInfo info)
{
    if (mailDialog) {
        // Its question is over (answered, or its connection gone): no word
        // of it may reach the proxy, which now asks about another message.
        // It may be inside its own close question, so it goes by itself.
        disconnect(mailDialog, nullptr, smtpProxy, nullptr);
        mailDialog->closeAsCancelled();
    }
    mailDialog = new MailDialog(info);
    // With the client busy no list can be asked for now: the dialog offers
    // what the page shows rather than waiting for an answer that never comes.
    if (aliasesLoaded || requestServer->isBusy()) {
        mailDialog->setMailList(aliasList(), mail.mailAliasCombo->currentIndex());
    } else {
        mailDialog->setBusy();
        getAliases();
    }
    connect(mailDialog, &MailDialog::mailConfirmed, smtpProxy, &SmtpRoxyServer::queryDone);
    mailDialog->show();
    mailDialog->raise();
    mailDialog->activateWindow();
}
