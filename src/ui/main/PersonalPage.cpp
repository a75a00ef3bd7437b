#include "ui/main/PersonalPage.h"

#include "core/InputPatterns.h"
#include "core/Installation.h"
#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "login/LoginController.h"
#include "net/RequestServer.h"
#include "platform/AutostartEntry.h"
#include "support/SupportRequest.h"
#include "ui/main/VerdictText.h"
#include "ui/widgets/RegExpSValidator.h"
#include "ui_PersonalPage.h"

#include <QDir>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QSignalBlocker>

namespace {

const int AlertMs = 6000;
const int ShortAlertMs = 3000;
const int OkMs = 3000;

} // namespace

PersonalPage::PersonalPage(RequestServer *requests, LoginController *login, QWidget *parent)
    : QWidget(parent), ui(new Ui::PersonalPage), requests(requests), login(login)
{
    ui->setupUi(this);
    setUpInputs();
    connect(requests, &RequestServer::getContactDone, this, &PersonalPage::getContactDone);
    connect(requests, &RequestServer::changeContactDone, this, &PersonalPage::changeContactDone);
    connect(requests, &RequestServer::changePasswordDone, this, &PersonalPage::changePasswordDone);
}

PersonalPage::~PersonalPage()
{
    delete ui;
}

void PersonalPage::setUpInputs()
{
    auto *passwordRule =
        new RegExpSValidator(QRegularExpression(InputPatterns::accountWord()), this);
    connect(passwordRule, &RegExpSValidator::inputModified, this, [this] {
        ui->personalProgressLbl->setAlert(tr("Invalid char has been filtered."), ShortAlertMs);
    });
    for (QLineEdit *edit : {ui->passwdCurrentEdit, ui->passwdNewEdit, ui->passwdConfirmEdit})
        edit->setValidator(passwordRule);
    ui->contactEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(InputPatterns::addressTyping()), ui->contactEdit));
    // It shows the service's answer: an address, never markup to render.
    ui->contactLbl->setTextFormat(Qt::PlainText);

    connect(ui->passwdCurrentEdit, &QLineEdit::returnPressed, ui->passwdNewEdit,
            qOverload<>(&QWidget::setFocus));
    connect(ui->passwdNewEdit, &QLineEdit::returnPressed, ui->passwdConfirmEdit,
            qOverload<>(&QWidget::setFocus));
    connect(ui->passwdConfirmEdit, &QLineEdit::returnPressed, ui->passwdChangeBtn,
            &QPushButton::click);
    connect(ui->contactEdit, &QLineEdit::returnPressed, ui->contactChangeBtn, &QPushButton::click);
    connect(ui->contactEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        ui->contactChangeBtn->setText(text.isEmpty() ? tr("Clear") : tr("Change"));
    });
    connect(ui->contactChangeBtn, &QPushButton::clicked, this, &PersonalPage::changeContact);
    connect(ui->passwdChangeBtn, &QPushButton::clicked, this, &PersonalPage::changePassword);
    ui->personalProgressLbl->setWordWrap(true);
    ui->personalProgressLbl->setAlignment(Qt::AlignRight);

    // Free accounts are protected too: the box is not one of the inputs
    // that need a registered account.
    ui->blockOutsideTunnelChk->setChecked(blockOutsideTunnelSetting());
    connect(ui->blockOutsideTunnelChk, &QCheckBox::toggled, this, [this](bool checked) {
        QSettings().setValue(QLatin1String(SettingsKey::BlockOutsideTunnel), checked);
        ui->allowLocalNetworkChk->setEnabled(checked);
        emit blockOutsideTunnelChanged(checked);
    });
    // Without the block the local network is reached anyway.
    ui->allowLocalNetworkChk->setChecked(allowLocalNetworkSetting());
    ui->allowLocalNetworkChk->setEnabled(ui->blockOutsideTunnelChk->isChecked());
    connect(ui->allowLocalNetworkChk, &QCheckBox::toggled, this, [this](bool checked) {
        QSettings().setValue(QLatin1String(SettingsKey::AllowLocalNetwork), checked);
        emit allowLocalNetworkChanged(checked);
    });
    // Not an account's setting: free accounts have it too.
    showStartAtLogin();
    connect(ui->startAtLoginChk, &QCheckBox::toggled, this, &PersonalPage::setStartAtLogin);
}

void PersonalPage::showEvent(QShowEvent *event)
{
    showStartAtLogin();
    QWidget::showEvent(event);
}

void PersonalPage::showStartAtLogin()
{
    const QSignalBlocker quiet(ui->startAtLoginChk);
    ui->startAtLoginChk->setChecked(AutostartEntry::isEnabled());
}

void PersonalPage::setStartAtLogin(bool start)
{
    QString error;
    // The session starts the program as the user does now, in this folder
    // where there is no launcher to choose one.
    if (start ? AutostartEntry::enable(Installation::current(), QDir::currentPath(), &error)
              : AutostartEntry::disable(&error)) {
        showStartAtLogin();
        return;
    }
    qWarning("quillnet: %s", qPrintable(error));
    ui->personalProgressLbl->setAlert(
        start ? tr("Quillnet could not be added to the programs started when you log in.")
              : tr("Quillnet could not be removed from the programs started when you log in."),
        AlertMs);
    showStartAtLogin();
}

void PersonalPage::setFreeAccount(bool free)
{
    freeAccount = free;
    if (free) {
        ui->personalProgressWdg->setStyleSheet(QStringLiteral(
            "QWidget#personalProgressWdg { background-image: url(:/img/backgnd/notice1.png) }"));
        ui->personalProgressLbl->setAlignment(Qt::AlignLeft);
        ui->personalProgressLbl->setInfo(tr("You are logged in free Quillnet.\nTo take "
                                            "advantage of these services, please register."));
    } else {
        ui->personalProgressWdg->setStyleSheet(QString());
        ui->personalProgressLbl->setAlignment(Qt::AlignRight);
        ui->personalProgressLbl->hideStatus();
    }
    setInputsEnabled(!free);
}

void PersonalPage::setNoticesMuted(bool muted)
{
    ui->personalProgressLbl->muted = muted;
}

void PersonalPage::forgetAccount()
{
    loaded = false;
    ui->contactLbl->clear();
    for (QLineEdit *edit :
         {ui->contactEdit, ui->passwdCurrentEdit, ui->passwdNewEdit, ui->passwdConfirmEdit})
        edit->clear();
}

void PersonalPage::setInputsEnabled(bool en)
{
    const bool on = en && !freeAccount;
    for (QWidget *input : std::initializer_list<QWidget *>{
             ui->contactEdit, ui->contactChangeBtn, ui->passwdCurrentEdit, ui->passwdNewEdit,
             ui->passwdConfirmEdit, ui->passwdChangeBtn})
        input->setEnabled(on);
}

void PersonalPage::getContact()
{
    ui->personalProgressLbl->setBusy(tr("Loading settings"));
    // A busy client sends nothing; the next visit of the page asks again.
    if (!requests->getContact())
        ui->personalProgressLbl->hideStatus();
}

void PersonalPage::getContactDone(QByteArray response, bool ok)
{
    using Verdict = ResponseCheck::Verdict;
    const Verdict verdict = ResponseCheck::judgeAccount(response, ok);
    // "0" is no failure here: the service has no address on record.
    if (!answerAccepted(verdict == Verdict::Refused ? Verdict::Ok : verdict, QString()))
        return;
    // The free account's login hands an empty answer over: that account
    // has no address, and the stored one stays for its registered user.
    if (freeAccount) {
        ui->contactLbl->clear();
        return;
    }
    // With nothing on record ("0") or the address cleared ("1"), an address
    // stored before, maybe another user's, must not stay the reply address.
    const QString contact =
        verdict == Verdict::Refused || response == "1" ? QString() : QString::fromUtf8(response);
    // Judged like an address the user types: it becomes the support mail's
    // sender, in an SMTP command and a header line.
    if (!contact.isEmpty() && !SupportRequest::isAddress(contact)) {
        ui->personalProgressLbl->setAlert(tr("The server sent an invalid contact address."),
                                          ShortAlertMs);
        return;
    }
    storeContact(contact);
    loaded = true;
    ui->personalProgressLbl->setOk(tr("Settings loaded"), OkMs);
}

void PersonalPage::storeContact(const QString &contact)
{
    QSettings().setValue(QLatin1String(SettingsKey::ContactEmail), contact);
    ui->contactLbl->setText(contact);
    emit contactChanged();
}

void PersonalPage::changeContact()
{
    const QString contact = ui->contactEdit->text();
    if (!contact.isEmpty() && !SupportRequest::isAddress(contact)) {
        ui->personalProgressLbl->setAlert(tr("Invalid email address."), ShortAlertMs);
        ui->contactEdit->setFocus();
        return;
    }
    sendChange([&] { return requests->changeContact(contact); });
}

void PersonalPage::changeContactDone(QByteArray response, bool ok)
{
    if (!answerAccepted(ResponseCheck::judgeAccount(response, ok),
                        tr("Your contact address was not changed.")))
        return;
    storeContact(ui->contactEdit->text());
    ui->personalProgressLbl->setOk(tr("Settings saved"), OkMs);
    ui->contactEdit->clear();
    loaded = true;
}

void PersonalPage::changePassword()
{
    if (ui->passwdCurrentEdit->text() != login->password()) {
        ui->personalProgressLbl->setAlert(tr("Invalid current password."), AlertMs);
        return;
    }
    if (ui->passwdNewEdit->text() != ui->passwdConfirmEdit->text()) {
        ui->personalProgressLbl->setAlert(tr("Bad password confirmation."), AlertMs);
        return;
    }
    const QString password = ui->passwdNewEdit->text();
    sendChange([&] { return requests->changePassword(password); });
}

void PersonalPage::changePasswordDone(QByteArray response, bool ok)
{
    // Adopted only once the service has taken it: every later request, and
    // the next login, would carry a password the service never accepted.
    if (!answerAccepted(ResponseCheck::judgeAccount(response, ok),
                        tr("Your password was not changed.")))
        return;
    const QString password = ui->passwdNewEdit->text();
    login->updatePassword(password);
    requests->setUser(login->user(), password);
    emit passwordChanged(password);
    ui->personalProgressLbl->setOk(tr("Settings saved"), OkMs);
}

bool PersonalPage::answerAccepted(ResponseCheck::Verdict verdict, const QString &refusedText)
{
    setInputsEnabled(true);
    const QString error = verdictText(verdict, refusedText);
    if (!error.isEmpty())
        ui->personalProgressLbl->setAlert(error, AlertMs);
    return error.isEmpty();
}

void PersonalPage::sendChange(const std::function<bool()> &send)
{
    setInputsEnabled(false);
    ui->personalProgressLbl->setBusy(tr("Please wait"));
    // No answer would come to enable the inputs again.
    if (!send()) {
        setInputsEnabled(true);
        ui->personalProgressLbl->hideStatus();
    }
}
