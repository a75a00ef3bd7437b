#include "ui/main/MailReceiving.h"

#include "net/RequestServer.h"
#include "ui/main/EmailPage.h"
#include "ui/main/VerdictText.h"
#include "ui/widgets/ProgressLbl.h"

#include <QCheckBox>

MailReceiving::MailReceiving(QCheckBox *box, ProgressLbl *notice, RequestServer *requests,
                             QObject *parent)
    : QObject(parent), box(box), notice(notice), requests(requests)
{
    // A click asks for the other state; the box follows the service's answer.
    connect(box, &QCheckBox::clicked, this, [this] { setReceiving(!stateOn); });
    connect(requests, &RequestServer::getReceivingDone, this, &MailReceiving::getReceivingDone);
    connect(requests, &RequestServer::setReceivingDone, this, &MailReceiving::setReceivingDone);
}

void MailReceiving::showState()
{
    box->setCheckState(stateOn ? Qt::Checked : Qt::Unchecked);
}

void MailReceiving::getReceiving()
{
    if (requests->getReceiving())
        notice->setBusy(EmailPage::tr("Loading receiving settings"));
}

void MailReceiving::getReceivingDone(QByteArray response, bool ok)
{
    const ResponseCheck::Verdict verdict = ResponseCheck::judge(response, ok, false);
    if (verdict == ResponseCheck::Verdict::Ok || verdict == ResponseCheck::Verdict::Refused) {
        stateOn = !response.startsWith('0');
        stateIn = true;
        emit receivingLoaded();
    } else {
        notice->setAlert(verdictText(verdict), 6000);
    }
    showState();
}

void MailReceiving::setReceiving(bool state)
{
    box->setCheckState(Qt::PartiallyChecked);
    if (requests->setReceiving(state))
        notice->setBusy(state ? EmailPage::tr("Enabling email receiving")
                              : EmailPage::tr("Disabling email receiving"));
}

void MailReceiving::setReceivingDone(bool state, QByteArray response, bool ok)
{
    const QString error =
        verdictText(ResponseCheck::judge(response, ok, false),
                    state ? EmailPage::tr("Error occured. Unable to enable email receiving")
                          : EmailPage::tr("Error occured. Unable to disable email receiving"));
    if (error.isEmpty()) {
        stateOn = state;
        notice->setOk(
            state ? EmailPage::tr("Receiving enabled") : EmailPage::tr("Receiving disabled"), 3000);
    } else {
        notice->setAlert(error, 6000);
    }
    showState();
}
