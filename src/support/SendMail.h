#pragma once

#include "support/SmtpReplyReader.h"

#include <QAbstractSocket>
#include <QNetworkProxy>
#include <QObject>
#include <QString>

class QTcpSocket;
class QTextStream;

// Delivers one plain-text message to the service's mail relay over SMTP,
// driven by the relay's replies; one object per message. Progress, success
// and failure come out as texts for the user.
class SendMail : public QObject
{
    Q_OBJECT

public:
    // Position in the dialogue: the reply being waited for.
    enum State
    {
        Greeting = 0,
        HeloSent,
        MailFromSent,
        FirstRcptSent,
        LastRcptSent,
        DataSent,
        MessageSent,
        Finished
    };

    explicit SendMail(QObject *parent = nullptr);
    ~SendMail() override;

    void setProxy(const QNetworkProxy &proxy);
    void send(const QString &from, const QString &to, const QString &subject, const QString &body,
              bool copyToSender);
    // Ends everything at once, without a signal.
    void abort();

    int getState() const { return state; }

signals:
    void status(QString text);
    void error(QString text);
    void sent(QString text);

public slots:
    void readyRead();
    void connected();

private slots:
    void connectionFailed(QAbstractSocket::SocketError socketError);

private:
    void answer(QChar codeClass, const QString &replyText);
    void write(const QString &text);
    void fail(const QString &text);

    QString message;
    QString from;
    QString to;
    QString cc;
    QTcpSocket *socket;
    QTextStream *stream = nullptr;
    int state = Finished;
    SmtpReplyReader reply;
    bool connectionMade = false;

    Q_DISABLE_COPY_MOVE(SendMail)
};
