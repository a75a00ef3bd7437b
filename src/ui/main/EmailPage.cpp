#include "ui/main/EmailPage.h"

#include "aliases/AliasEditState.h"
#include "aliases/AliasRecords.h"
#include "aliases/AliasRules.h"
#include "aliases/JunkAlias.h"
#include "core/Deployment.h"
#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "mail/SmtpRoxyServer.h"
#include "net/RequestServer.h"
#include "ui/mail/MailDialog.h"
#include "ui/main/VerdictText.h"
#include "ui/widgets/BindErrorBox.h"
#include "ui/widgets/RegExpSValidator.h"
#include "ui_EmailPage.h"
#include "vpn/AdapterControl.h"
#include "vpn/Tunnel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QSettings>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
namespace {

const

    QString
    aliasDomain()
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

EmailPage::EmailPage(RequestServer *requests, Tunnel *tunnel, QWidget *parent)
    : QWidget(parent), ui(new Ui::EmailPage), requests(requests), tunnel(tunnel)
{
    ui->setupUi(this);
    QTreeWidget *tree = ui->mailTreeWdg;
    tree->setHeaderLabels({tr("Alias (%1)").arg(atDomain()), tr("Forward to")});
    tree->setColumnWidth(0, 230);
    // The page sorts the rows itself, so that the placeholder stays last.
    tree->setSortingEnabled(false);
    tree->header()->setSectionsClickable(true);
    tree->header()->setSortIndicatorShown(true);
    tree->header()->setSortIndicator(AliasRecords::AliasColumn, Qt::AscendingOrder);
    connect(tree->header(), &QHeaderView::sectionClicked, this, &EmailPage::aliasSort);
    showAliasRecords({});

    ui->mailAliasEdit->setHint(tr("alias"));
    ui->mailForwardEdit->setHint(tr("forward to email"));
    ui->mailAliasEdit->setValidator(inputValidator(AliasRules::aliasInputPattern(), this));
    ui->mailForwardEdit->setValidator(inputValidator(AliasRules::forwardInputPattern(), this));
    ui->mailAliasEdit->hintOn();
    ui->mailForwardEdit->hintOn();
    connect(ui->mailAliasEdit, &QLineEdit::textEdited, this, &EmailPage::aliasEdited);
    connect(ui->mailForwardEdit, &QLineEdit::textEdited, this, &EmailPage::aliasEdited);
    connect(ui->mailAliasEdit, &QLineEdit::returnPressed, ui->mailForwardEdit,
            qOverload<>(&QWidget::setFocus));
    ui->mailDomainLbl->setText(atDomain());
    ui->mailComboDomainLbl->setText(atDomain());
    ui->mailChangeBtn->hide();

    ui->mailProgressLbl->setAlignment(Qt::AlignLeft);
    ui->mailProgressLbl->setWordWrap(true);
    ui->mailProgressLbl->hideStatus();

    // Set before the connection: the proxy is started by the login, not here.
    ui->mailAnonymizeChBox->setChecked(storedSetting(SettingsKey::MailAnonymize).toBool());
    ui->mailAliasCombo->setEnabled(ui->mailAnonymizeChBox->isChecked());
    connect(ui->mailAnonymizeChBox, &QCheckBox::toggled, ui->mailAliasCombo, &QWidget::setEnabled);
    connect(ui->mailAnonymizeChBox, &QCheckBox::toggled, this, &EmailPage::anonymizeToggled);
    connect(ui->mailTreeWdg, &QTreeWidget::itemSelectionChanged, this,
            &EmailPage::showSelectedAlias);
    connect(ui->mailForwardEdit, &QLineEdit::returnPressed, this, &EmailPage::forwardReturnPressed);
    connect(ui->mailAddBtn, &QPushButton::clicked, this, &EmailPage::addAlias);
    connect(ui->mailRemoveBtn, &QPushButton::clicked, this, &EmailPage::removeAlias);
    connect(ui->mailChangeBtn, &QPushButton::clicked, this, &EmailPage::changeAlias);
    connect(ui->mailReceiveChBox, &QCheckBox::clicked, this,
            [this] { setReceiving(!receivingOn); });
    connect(ui->mailAliasCombo, &QComboBox::textActivated, this, [](const QString &text) {
        QSettings().setValue(QLatin1String(SettingsKey::MailDefault), text);
    });

    mailProxy = new SmtpRoxyServer(this);
    connect(mailProxy, &SmtpRoxyServer::showQuery, this, &EmailPage::showMailQuery);
    connectRequests();
}

EmailPage::~EmailPage()
{
    delete mailDialog;
    delete ui;
}

void EmailPage::connectRequests()
{
    connect(requests, &RequestServer::getAliasesDone, this, &EmailPage::getAliasesDone);
    connect(requests, &RequestServer::addJunkDone, this, &EmailPage::addJunkDone);
    connect(requests, &RequestServer::addAliasDone, this, &EmailPage::addAliasDone);
    connect(requests, &RequestServer::deleteAliasDone, this, &EmailPage::deleteAliasDone);
    connect(requests, &RequestServer::changeAliasDone, this, &EmailPage::changeAliasDone);
    connect(requests, &RequestServer::getReceivingDone, this, &EmailPage::getReceivingDone);
    connect(requests, &RequestServer::setReceivingDone, this, &EmailPage::setReceivingDone);
}

void EmailPage::setFreeAccount(bool free)
{
    freeAccount = free;
    setInputsEnabled(!free);
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
    listLoaded = receivingIn = false;
}

void EmailPage::startMailProxy()
{
    if (freeAccount)
        return;
    if (!listLoaded)
        getAliases();
    mailProxy->startProxy();
    const bool listening = mailProxy->port() != 0;
    showMailProxyRunning(listening);
    if (!listening) {
        // Reported like the web filter's port; what the user asked for
        // stays stored, so the next start tries again.
        showBindError(tr("Quillnet"), tr("Mail anonymization proxy couldn't bind to port %1.\n"
                                         "There may be other mail proxy running.")
                                          .arg(SmtpRoxyServer::DefaultPort));
        return;
    }
    if (tunnel)
        setAdapterFlag(tunnel->getAdapterGuid(), 2);
}

void EmailPage::stopMailProxy()
{
    if (tunnel)
        clearAdapterFlag(tunnel->getAdapterGuid(), 2);
    mailProxy->stopProxy();
}

void EmailPage::setInputsEnabled(bool reg_user)
{
    const QList<QWidget *> inputs{ui->mailAnonymizeChBox, ui->mailReceiveChBox, ui->mailAliasEdit,
                                  ui->mailForwardEdit,    ui->mailTreeWdg,      ui->mailChangeBtn};
    for (QWidget *widget : inputs)
        widget->setEnabled(reg_user);
    ui->mailAliasCombo->setEnabled(reg_user && ui->mailAnonymizeChBox->isChecked());
    ui->mailAddBtn->setEnabled(false);
    ui->mailRemoveBtn->setEnabled(false);
}

void EmailPage::showMailProxyRunning(bool running)
{
    const QSignalBlocker quiet(ui->mailAnonymizeChBox);
    ui->mailAnonymizeChBox->setChecked(running);
    ui->mailAliasCombo->setEnabled(running);
}

QList<MailRedir> EmailPage::aliasRecords() const
{
    QList<MailRedir> records;
    const int rows = ui->mailTreeWdg->topLevelItemCount() - 1; // without the placeholder
    for (int i = 0; i < rows; ++i) {
        const QTreeWidgetItem *item = ui->mailTreeWdg->topLevelItem(i);
        records.append(MailRedir(item->text(0), item->text(1)));
    }
    return records;
}

QStringList EmailPage::aliasList() const
{
    QStringList aliases;
    for (const MailRedir &record : aliasRecords())
        if (!record.alias.isEmpty())
            aliases.append(record.alias);
    return aliases;
}

void EmailPage::showAliasRecords(const QList<MailRedir> &records)
{
    QTreeWidget *tree = ui->mailTreeWdg;
    const QHeaderView *header = tree->header();
    tree->clear();
    for (const MailRedir &record : AliasRecords::sorted(records, header->sortIndicatorSection(),
                                                        header->sortIndicatorOrder()))
        new QTreeWidgetItem(tree, {record.alias, record.forward});
    new QTreeWidgetItem(tree, {tr("Click here to add a new alias..."), QString()});
    tree->setCurrentItem(nullptr);
}

void EmailPage::insertAliasRow(const MailRedir &redir)
{
    QTreeWidget *tree = ui->mailTreeWdg;
    tree->insertTopLevelItem(tree->topLevelItemCount() - 1,
                             new QTreeWidgetItem({redir.alias, redir.forward}));
}

QTreeWidgetItem *EmailPage::selectedAliasRow() const
{
    const QList<QTreeWidgetItem *> selected = ui->mailTreeWdg->selectedItems();
    const QTreeWidget *tree = ui->mailTreeWdg;
    if (selected.isEmpty() ||
        tree->indexOfTopLevelItem(selected.first()) == tree->topLevelItemCount() - 1)
        return nullptr;
    return selected.first();
}

MailRedir EmailPage::editedAlias() const
{
    return MailRedir(ui->mailAliasEdit->userText(), ui->mailForwardEdit->userText());
}

bool EmailPage::editedAliasValid()
{
    const MailRedir edited = editedAlias();
    const QString error = checkFwdMailError(edited.alias, edited.forward);
    if (error.isEmpty())
        return true;
    ui->mailProgressLbl->setAlert(error, 6000);
    ui->mailForwardEdit->setFocus();
    return false;
}

void EmailPage::aliasRequestSent(const QString &busyText)
{
    ui->mailCtlBtn->setEnabled(false);
    ui->mailProgressLbl->setBusy(busyText);
}

QString EmailPage::aliasAnswerError(const QByteArray &response, bool ok, const QString &refusedText)
{
    ui->mailCtlBtn->setEnabled(true);
    return verdictText(ResponseCheck::judge(response, ok, false), refusedText);
}

QString EmailPage::checkFwdMailError(QString alias, QString forward)
{
    return AliasRules::forwardError(alias, forward, aliasDomain());
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
    ui->mailCtlBtn->setEnabled(true);
    if (!error.isEmpty()) {
        // The list counts as not loaded, so the next visit asks again.
        showAliasRecords({});
        ui->mailProgressLbl->setAlert(error, 6000);
        // A waiting confirmation must not wait for ever: without aliases the
        // user can still send normally or cancel.
        if (mailDialog)
            mailDialog->setMailList({}, -1);
        return;
    }

    QList<MailRedir> records = AliasRecords::fromAnswer(response);
    aliasesLeftOut = AliasRecords::removeInvalid(records, aliasDomain()) > 0;
    showAliasRecords(records);
    ui->mailAddBtn->setEnabled(false);
    ui->mailRemoveBtn->setEnabled(false);
    updateMailAliasCombo();
    if (mailDialog)
        mailDialog->setMailList(aliasList(), ui->mailAliasCombo->currentIndex());

    listLoaded = true;
    if (receivingIn)
        showMailSettingsLoaded();
    else
        QTimer::singleShot(0, this, &EmailPage::getReceiving);
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

void EmailPage::aliasSort()
{
    showAliasRecords(aliasRecords());
}

void EmailPage::showSelectedAlias()
{
    if (const QTreeWidgetItem *row = selectedAliasRow()) {
        ui->mailAliasEdit->setText(row->text(0));
        ui->mailForwardEdit->setText(row->text(1));
        ui->mailAddBtn->setEnabled(false);
        ui->mailRemoveBtn->setEnabled(true);
    } else {
        ui->mailAliasEdit->hintOn();
        ui->mailForwardEdit->hintOn();
        ui->mailAddBtn->setEnabled(false);
        ui->mailRemoveBtn->setEnabled(false);
    }
    if (!ui->mailChangeBtn->isHidden()) {
        ui->mailChangeBtn->hide();
        ui->mailAddBtn->show();
        ui->mailRemoveBtn->show();
    }
}

void EmailPage::aliasEdited()
{
    QTreeWidgetItem *row = selectedAliasRow();
    const int selected = row ? ui->mailTreeWdg->indexOfTopLevelItem(row) : -1;
    const AliasEditState state(aliasRecords(), selected, editedAlias());
    ui->mailAddBtn->setEnabled(state.addEnabled());
    ui->mailRemoveBtn->setEnabled(state.removeEnabled());
    ui->mailChangeBtn->setEnabled(state.changeEnabled());
    if (state.selectionChanged() && ui->mailChangeBtn->isHidden()) {
        ui->mailAddBtn->hide();
        ui->mailRemoveBtn->hide();
        ui->mailChangeBtn->show();
    }
}

void EmailPage::forwardReturnPressed()
{
    if (!ui->mailChangeBtn->isHidden())
        ui->mailChangeBtn->click();
    else if (ui->mailAddBtn->isEnabled())
        ui->mailAddBtn->click();
    else if (ui->mailRemoveBtn->isEnabled())
        ui->mailRemoveBtn->click();
}

void EmailPage::addAlias()
{
    if (!editedAliasValid())
        return;
    if (!requests->addAlias(editedAlias(), false))
        return;
    aliasRequestSent(tr("Registering alias"));
    ui->mailAliasEdit->setFocus();
}

void EmailPage::addAliasDone(MailRedir redir, QByteArray response, bool ok)
{
    const QString taken = tr("This alias is taken, please choose another one.");
    const QString error = aliasAnswerError(response, ok, taken);
    if (!error.isEmpty()) {
        ui->mailProgressLbl->setAlert(error, 6000);
        if (error == taken)
            ui->mailAliasEdit->alertOn();
        return;
    }
    insertAliasRow(redir);
    if (!selectedAliasRow()) {
        ui->mailAliasEdit->clear();
        ui->mailForwardEdit->hintOn();
        ui->mailAddBtn->setEnabled(false);
        ui->mailRemoveBtn->setEnabled(false);
        ui->mailAliasEdit->setFocus();
    }
    updateMailAliasCombo();
    ui->mailProgressLbl->setOk(tr("Settings saved"), 3000);
}

void EmailPage::removeAlias()
{
    if (!requests->deleteAlias(editedAlias()))
        return;
    aliasRequestSent(tr("Removing alias"));
    ui->mailAliasEdit->setFocus();
}

void EmailPage::deleteAliasDone(MailRedir redir, QByteArray response, bool ok)
{
    const QString error = aliasAnswerError(response, ok, tr("Unknown error occured."));
    if (!error.isEmpty()) {
        ui->mailProgressLbl->setAlert(error, 6000);
        return;
    }
    const int row = AliasRecords::indexOf(aliasRecords(), redir);
    if (row >= 0) {
        delete ui->mailTreeWdg->takeTopLevelItem(row);
        ui->mailTreeWdg->setCurrentItem(ui->mailTreeWdg->topLevelItem(row));
    }
    updateMailAliasCombo();
    ui->mailProgressLbl->setOk(tr("Settings saved"), 3000);
}

void EmailPage::changeAlias()
{
    const QTreeWidgetItem *row = selectedAliasRow();
    if (!row || !editedAliasValid())
        return;
    if (!requests->changeAlias(MailRedir(row->text(0), row->text(1)), editedAlias()))
        return;
    aliasRequestSent(tr("Changing alias"));
    ui->mailAliasEdit->setFocus();
}

void EmailPage::changeAliasDone(MailRedir oldRedir, MailRedir newRedir, QByteArray response,
                                bool ok)
{
    const QString error = aliasAnswerError(response, ok, tr("Unknown error occured."));
    if (!error.isEmpty()) {
        ui->mailProgressLbl->setAlert(error, 6000);
        return;
    }
    const int row = AliasRecords::indexOf(aliasRecords(), oldRedir);
    if (row >= 0) {
        QTreeWidgetItem *item = ui->mailTreeWdg->topLevelItem(row);
        item->setText(0, newRedir.alias);
        item->setText(1, newRedir.forward);
    }
    updateMailAliasCombo();
    showSelectedAlias();
    ui->mailProgressLbl->setOk(tr("Settings saved"), 3000);
}

void EmailPage::addJunkAlias()
{
    const MailRedir redir(JunkAlias::draw(), storedSetting(SettingsKey::ContactEmail).toString());
    const QString error = checkFwdMailError(redir.alias, redir.forward);
    if (!error.isEmpty()) {
        junkAliasFailed(error);
        return;
    }
    if (!requests->addAlias(redir, true)) {
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

void EmailPage::junkAliasFailed(const QString &error)
{
    ui->mailProgressLbl->setAlert(error, 6000);
    emit junkMailNotice(tr("Junk mail - error"), tr("Registering alias failed. ") + error);
}

void EmailPage::addJunkDone(MailRedir redir, QByteArray response, bool ok)
{
    const QString error = aliasAnswerError(response, ok, tr("Unknown error occured."));
    if (!error.isEmpty()) {
        if (junkAttempt < 2) {
            ++junkAttempt;
            // Queued: the client reports itself free only after this answer.
            QTimer::singleShot(0, this, &EmailPage::addJunkAlias);
        } else {
            junkAttempt = 1;
            junkAliasFailed(error);
        }
        return;
    }

    junkAttempt = 1;
    insertAliasRow(redir);
    updateMailAliasCombo();
    ui->mailProgressLbl->setOk(tr("Settings saved"), 3000);
    QGuiApplication::clipboard()->setText(redir.alias + atDomain());
    const QString where = redir.forward.isEmpty()
                              ? tr("To receive emails, please setup new alias in the Email tab.")
                              : tr("Incoming emails will be forwarded to %1.").arg(redir.forward);
    emit junkMailNotice(tr("Junk mail - success"),
                        tr("Alias %1%2 is in your clipboard now. ").arg(redir.alias, atDomain()) +
                            where);
}

void EmailPage::updateMailAliasCombo()
{
    QComboBox *combo = ui->mailAliasCombo;
    QString remembered = combo->currentText();
    if (remembered.isEmpty())
        remembered = storedSetting(SettingsKey::MailDefault).toString();
    const QStringList aliases = aliasList();
    combo->clear();
    combo->addItems(aliases);
    if (!aliases.isEmpty())
        combo->setCurrentIndex(qMax(0, aliases.indexOf(remembered)));
}

void EmailPage::getReceiving()
{
    if (requests->getReceiving())
        ui->mailProgressLbl->setBusy(tr("Loading receiving settings"));
}

void EmailPage::getReceivingDone(QByteArray response, bool ok)
{
    const ResponseCheck::Verdict verdict = ResponseCheck::judge(response, ok, false);
    if (verdict == ResponseCheck::Verdict::Ok || verdict == ResponseCheck::Verdict::Refused) {
        receivingOn = !response.startsWith('0');
        receivingIn = true;
        // Replaces the busy notice of the request.
        showMailSettingsLoaded();
    } else {
        ui->mailProgressLbl->setAlert(verdictText(verdict), 6000);
    }
    ui->mailReceiveChBox->setCheckState(receivingOn ? Qt::Checked : Qt::Unchecked);
}

void EmailPage::setReceiving(bool state)
{
    ui->mailReceiveChBox->setCheckState(Qt::PartiallyChecked);
    if (requests->setReceiving(state))
        ui->mailProgressLbl->setBusy(state ? tr("Enabling email receiving")
                                           : tr("Disabling email receiving"));
}

void EmailPage::setReceivingDone(bool state, QByteArray response, bool ok)
{
    const QString error =
        verdictText(ResponseCheck::judge(response, ok, false),
                    state ? tr("Error occured. Unable to enable email receiving")
                          : tr("Error occured. Unable to disable email receiving"));
    if (error.isEmpty()) {
        receivingOn = state;
        ui->mailProgressLbl->setOk(state ? tr("Receiving enabled") : tr("Receiving disabled"),
                                   3000);
    } else {
        ui->mailProgressLbl->setAlert(error, 6000);
    }
    ui->mailReceiveChBox->setCheckState(receivingOn ? Qt::Checked : Qt::Unchecked);
}

void EmailPage::anonymizeToggled(bool checked)
{
    QSettings().setValue(QLatin1String(SettingsKey::MailAnonymize), checked);
    if (checked)
        startMailProxy();
    else
        stopMailProxy();
}

void EmailPage::showMailQuery(MailInfo info)
{
    if (mailDialog) {
        // Its question is over (answered, or its connection gone): no word
        // of it may reach the proxy, which now asks about another message.
        // It may be inside its own close question, so it goes by itself.
        disconnect(mailDialog, nullptr, mailProxy, nullptr);
        mailDialog->closeAsCancelled();
    }
    mailDialog = new MailDialog(info);
    // With the client busy no list can be asked for now: the dialog offers
    // what the page shows rather than waiting for an answer that never comes.
    if (listLoaded || requests->isBusy()) {
        mailDialog->setMailList(aliasList(), ui->mailAliasCombo->currentIndex());
    } else {
        mailDialog->setBusy();
        getAliases();
    }
    connect(mailDialog, &MailDialog::mailConfirmed, mailProxy, &SmtpRoxyServer::queryDone);
    mailDialog->show();
    mailDialog->raise();
    mailDialog->activateWindow();
}
