#pragma once

#include "mail/MailInfo.h"
#include "ui/main/ServiceFlag.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class MailDialog;
class QCheckBox;
class QComboBox;
class QLabel;
class SmtpRoxyServer;
class Tunnel;

// The sending half of the e-mail page: "Make my outgoing emails anonymous"
// with the alias sent under by default, and the local mail proxy behind
// it, which holds each outgoing message until its confirmation dialog says
// under which alias it goes, if at all. The choices are stored as the user
// makes them. Its texts are the page's own, in the page's translation
// context.
class OutgoingMail : public QObject
{
    Q_OBJECT

public:
    // The tunnel (may be null) carries the adapter flag of a running proxy.
    OutgoingMail(QCheckBox *anonymize, QComboBox *aliasCombo, QLabel *domainLabel, Tunnel *tunnel,
                 QObject *parent = nullptr);
    ~OutgoingMail() override;

    void startProxy();
    void stopProxy();
    SmtpRoxyServer *proxy() const { return mailProxy; }

    // Only a full account sends under an alias.
    void setEnabled(bool on);
    // The aliases to choose from; the choice stays when it is still listed.
    void showAliases(const QStringList &aliases);
    // Hands an open confirmation the aliases to send under, or tells it that
    // they are on their way.
    void offerAliases(const QStringList &aliases);
    void awaitAliases();

signals:
    // The user switched anonymous sending on or off (already stored).
    void anonymizeChosen(bool on);
    // A confirmation opened and wants the aliases: offerAliases() or
    // awaitAliases() before it shows.
    void confirmationOpened();

private:
    // The check box shows whether the proxy runs, without taking it for
    // the user's choice.
    void showProxyRunning(bool running);
    void showMailQuery(MailInfo info);

    QCheckBox *anonymize;
    QComboBox *aliasCombo;
    SmtpRoxyServer *mailProxy;
    ServiceFlag flag;
    // The one open confirmation of an intercepted message.
    QPointer<MailDialog> mailDialog;

    Q_DISABLE_COPY_MOVE(OutgoingMail)
};
