#include "ui/main/AliasEditor.h"

#include "aliases/AliasEditState.h"
#include "aliases/AliasRules.h"
#include "core/Deployment.h"
#include "net/RequestServer.h"
#include "ui/main/AliasTable.h"
#include "ui/main/EmailPage.h"
#include "ui/main/VerdictText.h"
#include "ui/widgets/HintEdit.h"
#include "ui/widgets/RegExpSValidator.h"
#include "ui_EmailPage.h"

#include <QTreeWidget>

namespace {

RegExpSValidator *inputValidator(const QString &pattern, QObject *parent)
{
    return new RegExpSValidator(QRegularExpression(QRegularExpression::anchoredPattern(pattern)),
                                parent);
}

} // namespace

AliasEditor::AliasEditor(Ui::EmailPage *ui, AliasTable *table, RequestServer *requests,
                         QObject *parent)
    : QObject(parent), ui(ui), table(table), requests(requests)
{
    ui->mailAliasEdit->setHint(EmailPage::tr("alias"));
    ui->mailForwardEdit->setHint(EmailPage::tr("forward to email"));
    ui->mailAliasEdit->setValidator(inputValidator(AliasRules::aliasInputPattern(), this));
    ui->mailForwardEdit->setValidator(inputValidator(AliasRules::forwardInputPattern(), this));
    ui->mailAliasEdit->hintOn();
    ui->mailForwardEdit->hintOn();
    ui->mailDomainLbl->setText(AliasTable::atDomain());
    ui->mailChangeBtn->hide();

    // A refused character is never dropped quietly: the whole input stays
    // out, and the user learns what the field takes.
    connect(ui->mailAliasEdit, &HintEdit::inputRefused, this, [this, ui] {
        refuseInput(ui->mailAliasEdit,
                    EmailPage::tr("Only letters a-z, digits and . - _ can be used in an alias."));
    });
    connect(ui->mailForwardEdit, &HintEdit::inputRefused, this, [this, ui] {
        refuseInput(ui->mailForwardEdit,
                    EmailPage::tr("Only letters a-z, digits, @ and . - _ can be used in an "
                                  "e-mail address."));
    });
    connect(ui->mailAliasEdit, &QLineEdit::textEdited, this, &AliasEditor::aliasEdited);
    connect(ui->mailForwardEdit, &QLineEdit::textEdited, this, &AliasEditor::aliasEdited);
    connect(ui->mailAliasEdit, &QLineEdit::returnPressed, ui->mailForwardEdit,
            qOverload<>(&QWidget::setFocus));
    connect(ui->mailForwardEdit, &QLineEdit::returnPressed, this,
            &AliasEditor::forwardReturnPressed);
    connect(ui->mailTreeWdg, &QTreeWidget::itemSelectionChanged, this,
            &AliasEditor::showSelectedAlias);
    connect(ui->mailAddBtn, &QPushButton::clicked, this, &AliasEditor::addAlias);
    connect(ui->mailRemoveBtn, &QPushButton::clicked, this, &AliasEditor::removeAlias);
    connect(ui->mailChangeBtn, &QPushButton::clicked, this, &AliasEditor::changeAlias);

    connect(requests, &RequestServer::addAliasDone, this, &AliasEditor::addAliasDone);
    connect(requests, &RequestServer::deleteAliasDone, this, &AliasEditor::deleteAliasDone);
    connect(requests, &RequestServer::changeAliasDone, this, &AliasEditor::changeAliasDone);
}

void AliasEditor::setEnabled(bool on)
{
    for (QWidget *widget : std::initializer_list<QWidget *>{ui->mailAliasEdit, ui->mailForwardEdit,
                                                            ui->mailTreeWdg, ui->mailChangeBtn})
        widget->setEnabled(on);
    listReplaced();
}

void AliasEditor::holdControls(const QString &busyText)
{
    ui->mailCtlBtn->setEnabled(false);
    ui->mailProgressLbl->setBusy(busyText);
}

void AliasEditor::releaseControls()
{
    ui->mailCtlBtn->setEnabled(true);
}

void AliasEditor::listReplaced()
{
    ui->mailAddBtn->setEnabled(false);
    ui->mailRemoveBtn->setEnabled(false);
}

MailRedir AliasEditor::editedAlias() const
{
    return MailRedir(ui->mailAliasEdit->userText(), ui->mailForwardEdit->userText());
}

bool AliasEditor::editedAliasValid()
{
    const MailRedir edited = editedAlias();
    const QString error =
        AliasRules::forwardError(edited.alias, edited.forward, Deployment::current().aliasDomain);
    if (error.isEmpty())
        return true;
    ui->mailProgressLbl->setAlert(error, 6000);
    ui->mailForwardEdit->setFocus();
    return false;
}

void AliasEditor::refuseInput(HintEdit *edit, const QString &text)
{
    edit->alertOn();
    ui->mailProgressLbl->setAlert(text, 6000);
}

QString AliasEditor::answerError(const QByteArray &response, bool ok, const QString &refusedText)
{
    releaseControls();
    return verdictText(ResponseCheck::judge(response, ok, false), refusedText);
}

void AliasEditor::showSaved()
{
    emit aliasesChanged();
    ui->mailProgressLbl->setOk(EmailPage::tr("Settings saved"), 3000);
}

void AliasEditor::showSelectedAlias()
{
    const int selected = table->selectedIndex();
    if (selected >= 0) {
        const MailRedir record = table->recordAt(selected);
        ui->mailAliasEdit->setText(record.alias);
        ui->mailForwardEdit->setText(record.forward);
        ui->mailAddBtn->setEnabled(false);
        ui->mailRemoveBtn->setEnabled(true);
    } else {
        ui->mailAliasEdit->hintOn();
        ui->mailForwardEdit->hintOn();
        listReplaced();
    }
    if (!ui->mailChangeBtn->isHidden()) {
        ui->mailChangeBtn->hide();
        ui->mailAddBtn->show();
        ui->mailRemoveBtn->show();
    }
}

void AliasEditor::aliasEdited()
{
    const AliasEditState state(table->records(), table->selectedIndex(), editedAlias());
    ui->mailAddBtn->setEnabled(state.addEnabled());
    ui->mailRemoveBtn->setEnabled(state.removeEnabled());
    ui->mailChangeBtn->setEnabled(state.changeEnabled());
    if (state.selectionChanged() && ui->mailChangeBtn->isHidden()) {
        ui->mailAddBtn->hide();
        ui->mailRemoveBtn->hide();
        ui->mailChangeBtn->show();
    }
}

void AliasEditor::forwardReturnPressed()
{
    if (!ui->mailChangeBtn->isHidden())
        ui->mailChangeBtn->click();
    else if (ui->mailAddBtn->isEnabled())
        ui->mailAddBtn->click();
    else if (ui->mailRemoveBtn->isEnabled())
        ui->mailRemoveBtn->click();
}

void AliasEditor::addAlias()
{
    if (!editedAliasValid())
        return;
    if (!requests->addAlias(editedAlias(), false))
        return;
    holdControls(EmailPage::tr("Registering alias"));
    ui->mailAliasEdit->setFocus();
}

void AliasEditor::addAliasDone(MailRedir redir, QByteArray response, bool ok)
{
    const QString taken = EmailPage::tr("This alias is taken, please choose another one.");
    const QString error = answerError(response, ok, taken);
    if (!error.isEmpty()) {
        ui->mailProgressLbl->setAlert(error, 6000);
        if (error == taken)
            ui->mailAliasEdit->alertOn();
        return;
    }
    table->insert(redir);
    if (table->selectedIndex() < 0) {
        ui->mailAliasEdit->clear();
        ui->mailForwardEdit->hintOn();
        listReplaced();
        ui->mailAliasEdit->setFocus();
    }
    showSaved();
}

void AliasEditor::removeAlias()
{
    if (!requests->deleteAlias(editedAlias()))
        return;
    holdControls(EmailPage::tr("Removing alias"));
    ui->mailAliasEdit->setFocus();
}

void AliasEditor::deleteAliasDone(MailRedir redir, QByteArray response, bool ok)
{
    const QString error = answerError(response, ok, EmailPage::tr("Unknown error occured."));
    if (!error.isEmpty()) {
        ui->mailProgressLbl->setAlert(error, 6000);
        return;
    }
    table->remove(redir);
    showSaved();
}

void AliasEditor::changeAlias()
{
    const int selected = table->selectedIndex();
    if (selected < 0 || !editedAliasValid())
        return;
    if (!requests->changeAlias(table->recordAt(selected), editedAlias()))
        return;
    holdControls(EmailPage::tr("Changing alias"));
    ui->mailAliasEdit->setFocus();
}

void AliasEditor::changeAliasDone(MailRedir oldRedir, MailRedir newRedir, QByteArray response,
                                  bool ok)
{
    const QString error = answerError(response, ok, EmailPage::tr("Unknown error occured."));
    if (!error.isEmpty()) {
        ui->mailProgressLbl->setAlert(error, 6000);
        return;
    }
    table->replace(oldRedir, newRedir);
    emit aliasesChanged();
    showSelectedAlias();
    ui->mailProgressLbl->setOk(EmailPage::tr("Settings saved"), 3000);
}
