#pragma once

#include <QByteArray>
#include <QObject>

class ProgressLbl;
class QCheckBox;
class RequestServer;

// Whether the service receives mail for the account's aliases: asked for
// once the alias list is in, shown by a check box that switches it at the
// service. The box shows the service's state, partly checked while a change
// is on its way. Its texts are the e-mail page's own, in the page's
// translation context.
class MailReceiving : public QObject
{
    Q_OBJECT

public:
    MailReceiving(QCheckBox *box, ProgressLbl *notice, RequestServer *requests,
                  QObject *parent = nullptr);

    bool loaded() const { return stateIn; }
    bool enabled() const { return stateOn; }
    // A new login: the state is asked for again.
    void forget() { stateIn = false; }

    void getReceiving();

signals:
    // The service's state is in; the notice still says it is being loaded.
    void receivingLoaded();

public slots:
    void getReceivingDone(QByteArray response, bool ok);

private slots:
    void setReceivingDone(bool state, QByteArray response, bool ok);

private:
    void setReceiving(bool state);
    void showState();

    QCheckBox *box;
    ProgressLbl *notice;
    RequestServer *requests;
    bool stateIn = false;
    bool stateOn = false;

    Q_DISABLE_COPY_MOVE(MailReceiving)
};
