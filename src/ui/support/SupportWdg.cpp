#include "ui/support/SupportWdg.h"

#include "core/Deployment.h"
#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "login/LoginController.h"
#include "proxy/ProxySettings.h"
#include "support/SendMail.h"
#include "support/SupportRequest.h"
#include "ui/widgets/MessageBox.h"
#include "ui/widgets/Pictures.h"
#include "ui_SupportWidget.h"
#include "vpn/Tunnel.h"

#include <QDesktopServices>
#include <QDir>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QTimer>
#include <QUrl>

SupportWdg::SupportWdg(const LoginController *account, const Tunnel *tunnel, QWidget *parent)
    : QWidget(parent), ui(new Ui::SupportWidget), account(account), tunnel(tunnel),
      cancelTimer(new QTimer(this))
{
    ui->setupUi(this);
    Pictures::fillLabels(this);
    ui->stackedWidget->setCurrentWidget(ui->menuPage);

    const QString webBase = Deployment::current().webBase;
    const struct
    {
        ActiveLabel *link;
        ActiveLabel *icon;
        const char *page;
    } webEntries[] = {{ui->faqLbl, ui->faqIconLbl, "faq.php"},
                      {ui->helpLbl, ui->helpIconLbl, "help.php"},
                      {ui->forumLbl, ui->forumIconLbl, "forum.php"},
                      {ui->aboutLbl, ui->aboutIconLbl, "about.php"}};
    for (const auto &entry : webEntries) {
        const QString url = webBase + QLatin1String(entry.page);
        for (ActiveLabel *label : {entry.link, entry.icon}) {
            label->setProperty("url", url);
            connect(label, &ActiveLabel::clicked, this, &SupportWdg::openUrl);
        }
    }
    connect(ui->contactLbl, &ActiveLabel::clicked, this, &SupportWdg::openMail);
    connect(ui->contactIconLbl, &ActiveLabel::clicked, this, &SupportWdg::openMail);
    connect(ui->menuBtn, &QPushButton::clicked, this, &SupportWdg::openMenu);

    ui->mailProgressLbl->setAlignment(Qt::AlignLeft);
    ui->senderEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(SupportRequest::addressPattern()), ui->senderEdit));

    // A coarse timer may fire up to 5 % early, before the promised delay.
    cancelTimer->setTimerType(Qt::PreciseTimer);
    cancelTimer->setSingleShot(true);
    cancelTimer->setInterval(CancelDelayMs);
    connect(cancelTimer, &QTimer::timeout, this, &SupportWdg::enableCancelBtn);
    reloadSender();
}

SupportWdg::~SupportWdg()
{
    delete ui;
}

QString SupportWdg::requestText() const
{
    return ui->textEdit->toPlainText();
}

void SupportWdg::reloadSender()
{
    ui->senderEdit->setText(storedSetting(SettingsKey::ContactEmail).toString());
}

void SupportWdg::openMenu()
{
    ui->stackedWidget->setCurrentWidget(ui->menuPage);
}

void SupportWdg::openMail()
{
    showAttachments();
    ui->stackedWidget->setCurrentWidget(ui->mailPage);
    if (ui->senderEdit->text().isEmpty())
        ui->senderEdit->setFocus();
    else
        ui->textEdit->setFocus();
}

QString SupportWdg::attachmentsText() const
{
    return ui->attachmentsLbl->text();
}

void SupportWdg::showAttachments()
{
    // The user sees what leaves the machine with the request before sending.
    QStringList listed;
    for (const SupportRequest::Attachment &log : SupportRequest::attachments(QDir::current()))
        listed << tr("%1 (%2 KiB)").arg(log.name).arg((log.size + 1023) / 1024);
    ui->attachmentsLbl->setText(
        listed.isEmpty() ? tr("No logs go with the request.")
                         : tr("Attached logs: %1").arg(listed.join(QStringLiteral(", "))));
}

void SupportWdg::openUrl()
{
    if (!sender())
        return;
    const QUrl url(sender()->property("url").toString(), QUrl::StrictMode);
    if (url.isValid() && !url.isEmpty())
        QDesktopServices::openUrl(url);
}

void SupportWdg::doneOk(QString text)
{
    cancelTimer->stop();
    sending = false;
    ui->mailProgressLbl->setOk(text, 3000);
    setIdle();
    MessageBox::information(this, tr("Quillnet"), tr("Your message was sent successfully."));
    openMenu();
    ui->textEdit->clear();
}

void SupportWdg::doneAlert(QString text)
{
    cancelTimer->stop();
    ui->mailProgressLbl->setAlert(text, 6000);
    setIdle();
    sending = false;
}

void SupportWdg::setIdle()
{
    ui->sendBtn->setText(tr("Send support request"));
    ui->sendBtn->setEnabled(true);
    ui->menuBtn->setEnabled(true);
}

void SupportWdg::on_sendBtn_clicked()
{
    if (sending && sendMail) {
        sendMail->abort();
        doneAlert(tr("Sending has been canceled by user."));
        return;
    }
    if (ui->textEdit->toPlainText().trimmed().isEmpty()) {
        MessageBox::information(this, tr("Quillnet"),
                                tr("You did not entered message text.\nPlease describe what has "
                                   "happened and how can we help you."));
        return;
    }
    const QString address = ui->senderEdit->text();
    if (!SupportRequest::isAddress(address) &&
        MessageBox::question(this, tr("Quillnet"),
                             tr("You inserted invalid email address.\nWe will not be able to send "
                                "you the answer.\n\nDo you want to send your request anyway?")) !=
            QMessageBox::Yes)
        return;

    delete sendMail;
    sendMail = new SendMail(this);
    connect(sendMail, &SendMail::status, ui->mailProgressLbl,
            qOverload<const QString &>(&ProgressLbl::setBusy));
    connect(sendMail, &SendMail::error, this, &SupportWdg::doneAlert);
    connect(sendMail, &SendMail::sent, this, &SupportWdg::doneOk);
    // Through the tunnel the relay is reached directly.
    sendMail->setProxy(
        tunnelConnected()
            ? QNetworkProxy(QNetworkProxy::NoProxy)
            : proxyFromSettings(-1, account ? account->rememberedPasswords() : nullptr));

    const QString from = address.isEmpty() ? QStringLiteral("empty") : address;
    const QString user = account ? account->user() : QString();
    const QString subject = QStringLiteral("Quillnet 2.0 support request from user ") + user;
    const QString body =
        SupportRequest::withLogListings(ui->textEdit->toPlainText(), QDir::current());
    ui->sendBtn->setEnabled(false);
    ui->menuBtn->setEnabled(false);
    const bool copyToSender = account && account->isFullAccount() && tunnelConnected();
    sendMail->send(from, Deployment::current().supportMailbox, subject, body, copyToSender);

    sending = true;
    ui->sendBtn->setText(tr("Cancel sending"));
    cancelTimer->start();
    ui->mailProgressLbl->setBusy(tr("Connecting to server"));
}

bool SupportWdg::tunnelConnected() const
{
    return tunnel && tunnel->getStatus() == Connected;
}

void SupportWdg::enableCancelBtn()
{
    ui->sendBtn->setText(tr("Cancel sending"));
    ui->sendBtn->setEnabled(true);
}
