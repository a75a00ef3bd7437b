// The personal settings tab: the contact address the service holds for the
// user, and the account password.

#include "app/Instances.h"
#include "core/InputPatterns.h"
#include "core/SettingsKeys.h"
#include "net/RequestServer.h"
#include "net/ResponseCheck.h"
#include "ui/main/VerdictText.h"
#include "support/SupportRequest.h"
#include "ui/login/LoginDlg.h"
#include "ui/main/MainForm.h"
#include "ui/widgets/RegExpSValidator.h"

#include <QRegularExpressionValidator>
#include <QSettings>

namespace {

const int AlertMs = 6000;
const int ShortAlertMs = 3000;
const int OkMs = 3000;

} // namespace

void MainForm::setUpPersonalPage()
{
    auto *passwordRule =
        new RegExpSValidator(QRegularExpression(InputPatterns::accountWord()), personalPage);
    connect(passwordRule, &RegExpSValidator::inputModified, this, &MainForm::passwordRepaired);
    for (QLineEdit *edit :
         {personal.passwdCurrentEdit, personal.passwdNewEdit, personal.passwdConfirmEdit})
        edit->setValidator(passwordRule);
    personal.contactEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(InputPatterns::addressTyping()), personal.contactEdit));
    // It shows the service's answer: an address, never markup to render.
    personal.contactLbl->setTextFormat(Qt::PlainText);

    connect(personal.passwdCurrentEdit, &QLineEdit::returnPressed, personal.passwdNewEdit,
            qOverload<>(&QWidget::setFocus));
    connect(personal.passwdNewEdit, &QLineEdit::returnPressed, personal.passwdConfirmEdit,
            qOverload<>(&QWidget::setFocus));
    connect(personal.passwdConfirmEdit, &QLineEdit::returnPressed, personal.passwdChangeBtn,
            &QPushButton::click);
    connect(personal.contactEdit, &QLineEdit::returnPressed, personal.contactChangeBtn,
            &QPushButton::click);
    personal.personalProgressLbl->setWordWrap(true);
    personal.personalProgressLbl->setAlignment(Qt::AlignRight);
}

void MainForm::personalEnable(bool en)
{
    const bool on = en && !freeAccount;
    for (QWidget *input : std::initializer_list<QWidget *>{
             personal.contactEdit, personal.contactChangeBtn, personal.passwdCurrentEdit,
             personal.passwdNewEdit, personal.passwdConfirmEdit, personal.passwdChangeBtn})
        input->setEnabled(on);
}

void MainForm::getContact()
{
    personal.personalProgressLbl->setBusy(tr("Loading settings"));
    // A busy client sends nothing; the next visit of the page asks again.
    if (!requestServer->getContact())
        personal.personalProgressLbl->hideStatus();
}

void MainForm::getContactDone(QByteArray response, bool ok)
{
    if (!accountAnswerAccepted(response, ok))
        return;
    if (response == "0") {
        personal.contactLbl->clear();
        return;
    }
    const QString contact = response == "1" ? QString() : QString::fromUtf8(response);
    // Judged like an address the user types: it becomes the support mail's
    // sender, in an SMTP command and a header line.
    if (!contact.isEmpty() && !SupportRequest::isAddress(contact)) {
        personal.personalProgressLbl->setAlert(tr("The server sent an invalid contact address."),
                                               ShortAlertMs);
        return;
    }
    QSettings().setValue(QLatin1String(SettingsKey::ContactEmail), contact);
    personal.contactLbl->setText(contact);
    reloadSupportSender();
    contactLoaded = true;
    personal.personalProgressLbl->setOk(tr("Settings loaded"), OkMs);
}

void MainForm::on_contactEdit_textChanged(QString text)
{
    personal.contactChangeBtn->setText(text.isEmpty() ? tr("Clear") : tr("Change"));
}

void MainForm::on_contactChangeBtn_clicked()
{
    const QString contact = personal.contactEdit->text();
    if (!contact.isEmpty() && !SupportRequest::isAddress(contact)) {
        personal.personalProgressLbl->setAlert(tr("Invalid email address."), ShortAlertMs);
        personal.contactEdit->setFocus();
        return;
    }
    sendAccountChange([&] { return requestServer->changeContact(contact); });
}

void MainForm::changeContactDone(QByteArray response, bool ok)
{
    if (!accountAnswerAccepted(response, ok))
        return;
    const QString contact = personal.contactEdit->text();
    QSettings().setValue(QLatin1String(SettingsKey::ContactEmail), contact);
    personal.contactLbl->setText(contact);
    reloadSupportSender();
    personal.personalProgressLbl->setOk(tr("Settings saved"), OkMs);
    personal.contactEdit->clear();
    contactLoaded = true;
}

void MainForm::on_passwdChangeBtn_clicked()
{
    if (personal.passwdCurrentEdit->text() != loginDlg->currentPassword()) {
        personal.personalProgressLbl->setAlert(tr("Invalid current password."), AlertMs);
        return;
    }
    if (personal.passwdNewEdit->text() != personal.passwdConfirmEdit->text()) {
        personal.personalProgressLbl->setAlert(tr("Bad password confirmation."), AlertMs);
        return;
    }
    const QString password = personal.passwdNewEdit->text();
    sendAccountChange([&] { return requestServer->changePassword(password); });
}

void MainForm::changePasswordDone(QByteArray response, bool ok)
{
    if (!accountAnswerAccepted(response, ok))
        return;
    loginDlg->updatePassword(personal.passwdNewEdit->text());
    requestServer->setUser(loginDlg->currentUser(), personal.passwdNewEdit->text());
    personal.personalProgressLbl->setOk(tr("Settings saved"), OkMs);
}

void MainForm::passwordRepaired()
{
    personal.personalProgressLbl->setAlert(tr("Invalid char has been filtered."), ShortAlertMs);
}

bool MainForm::accountAnswerAccepted(const QByteArray &response, bool ok)
{
    personalEnable(true);
    const QString error = verdictText(ResponseCheck::judgeAccount(response, ok));
    if (!error.isEmpty())
        personal.personalProgressLbl->setAlert(error, AlertMs);
    return error.isEmpty();
}

void MainForm::sendAccountChange(const std::function<bool()> &send)
{
    personalEnable(false);
    personal.personalProgressLbl->setBusy(tr("Please wait"));
    // No answer would come to enable the inputs again.
    if (!send()) {
        personalEnable(true);
        personal.personalProgressLbl->hideStatus();
    }
}
