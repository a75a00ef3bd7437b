#include "ui/main/OutgoingMail.h"

#include "core/Deployment.h"
#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "mail/SmtpRoxyServer.h"
#include "ui/mail/MailDialog.h"
#include "ui/main/AliasTable.h"
#include "ui/main/EmailPage.h"
#include "ui/widgets/BindErrorBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QSignalBlocker>

namespace {

// The adapter flag bit of a running mail proxy.
const quint8 MailProxyBit = 2;

} // namespace

OutgoingMail::OutgoingMail(QCheckBox *anonymize, QComboBox *aliasCombo, QLabel *domainLabel,
                           Tunnel *tunnel, QObject *parent)
    : QObject(parent), anonymize(anonymize), aliasCombo(aliasCombo),
      flag(tunnel, MailProxyBit, "mail proxy")
{
    domainLabel->setText(AliasTable::atDomain());
    // Set before the connection: the proxy is started by the login, not here.
    anonymize->setChecked(storedSetting(SettingsKey::MailAnonymize).toBool());
    aliasCombo->setEnabled(anonymize->isChecked());
    connect(anonymize, &QCheckBox::toggled, aliasCombo, &QWidget::setEnabled);
    connect(anonymize, &QCheckBox::toggled, this, [this](bool checked) {
        QSettings().setValue(QLatin1String(SettingsKey::MailAnonymize), checked);
        emit anonymizeChosen(checked);
    });
    connect(aliasCombo, &QComboBox::textActivated, this, [](const QString &text) {
        QSettings().setValue(QLatin1String(SettingsKey::MailDefault), text);
    });

    mailProxy = new SmtpRoxyServer(this);
    connect(mailProxy, &SmtpRoxyServer::showQuery, this, &OutgoingMail::showMailQuery);
}

OutgoingMail::~OutgoingMail()
{
    delete mailDialog;
}

void OutgoingMail::startProxy()
{
    mailProxy->startProxy();
    const bool listening = mailProxy->port() != 0;
    showProxyRunning(listening);
    if (!listening) {
        // Reported like the web filter's port; what the user asked for
        // stays stored, so the next start tries again.
        showBindError(EmailPage::tr("Quillnet"),
                      EmailPage::tr("Mail anonymization proxy couldn't bind to port %1.\n"
                                    "There may be other mail proxy running.")
                          .arg(Deployment::current().mailProxyPort));
        return;
    }
    flag.raise();
}

void OutgoingMail::stopProxy()
{
    flag.lower();
    mailProxy->stopProxy();
}

void OutgoingMail::setEnabled(bool on)
{
    anonymize->setEnabled(on);
    aliasCombo->setEnabled(on && anonymize->isChecked());
}

void OutgoingMail::showProxyRunning(bool running)
{
    const QSignalBlocker quiet(anonymize);
    anonymize->setChecked(running);
    aliasCombo->setEnabled(running);
}

void OutgoingMail::showAliases(const QStringList &aliases)
{
    QString remembered = aliasCombo->currentText();
    if (remembered.isEmpty())
        remembered = storedSetting(SettingsKey::MailDefault).toString();
    aliasCombo->clear();
    aliasCombo->addItems(aliases);
    if (!aliases.isEmpty())
        aliasCombo->setCurrentIndex(qMax(0, aliases.indexOf(remembered)));
}

void OutgoingMail::offerAliases(const QStringList &aliases)
{
    if (mailDialog)
        mailDialog->setMailList(aliases, aliases.isEmpty() ? -1 : aliasCombo->currentIndex());
}

void OutgoingMail::awaitAliases()
{
    if (mailDialog)
        mailDialog->setBusy();
}

void OutgoingMail::showMailQuery(MailInfo info)
{
    if (mailDialog) {
        // Its question is over (answered, or its connection gone): no word
        // of it may reach the proxy, which now asks about another message.
        // It may be inside its own close question, so it goes by itself.
        disconnect(mailDialog, nullptr, mailProxy, nullptr);
        mailDialog->closeAsCancelled();
    }
    mailDialog = new MailDialog(info);
    emit confirmationOpened();
    connect(mailDialog, &MailDialog::mailConfirmed, mailProxy, &SmtpRoxyServer::queryDone);
    mailDialog->show();
    mailDialog->raise();
    mailDialog->activateWindow();
}
