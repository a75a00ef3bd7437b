#include "support/SendMail.h"

#include "core/Deployment.h"
#include "mail/SmtpText.h"
#include "support/SmtpMessage.h"

#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

SendMail::SendMail(QObject *parent) : QObject(parent), socket(new QTcpSocket(this))
{
    connect(socket, &QTcpSocket::readyRead, this, &SendMail::readyRead);
    connect(socket, &QTcpSocket::connected, this, &SendMail::connected);
    // Queued: a failure found inside connectToHost() must reach the owner
    // only after send() has returned and the owner has set itself up.
    connect(socket, &QTcpSocket::errorOccurred, this, &SendMail::connectionFailed,
            Qt::QueuedConnection);
}

SendMail::~SendMail()
{
    delete stream;
    delete socket;
}

void SendMail::setProxy(const QNetworkProxy &proxy)
{
    socket->setProxy(proxy);
}

void SendMail::send(const QString &from, const QString &to, const QString &subject,
                    const QString &body, bool copyToSender)
{
    // The sender address may be the service's answer.
    if (!SmtpText::fitsOnOneLine(from, true) || !SmtpText::fitsOnOneLine(to, true) ||
        !SmtpText::fitsOnOneLine(subject, false)) {
        // Reported like every other failure: after send() has returned.
        state = Finished;
        QTimer::singleShot(0, this, [this] {
            emit error(tr("The message was not sent.\nAn address or the subject holds a line "
                          "break or angle brackets."));
        });
        return;
    }
    delete stream;
    state = Greeting;
    connectionMade = false;
    reply.clear();
    const Deployment &deployment = Deployment::current();
    socket->connectToHost(deployment.relayHost, deployment.relayPort, QIODevice::ReadWrite);
    stream = new QTextStream(socket);

    message = SmtpMessage::compose(from, to, subject, body, copyToSender);
    this->from = from;
    this->to = to;
    cc = copyToSender ? from : QString();
}

void SendMail::abort()
{
    // Set first: aborting must not come back as a connection failure.
    state = Finished;
    delete stream;
    stream = nullptr;
    socket->abort();
}

void SendMail::connected()
{
    connectionMade = true;
    emit status(tr("Sending your message"));
}

void SendMail::readyRead()
{
    if (state == Finished || !reply.read(*socket))
        return;
    const QChar codeClass = reply.codeClass();
    const QString text = reply.text();
    reply.clear();
    // Nothing of this object is touched after answer(): a receiver of its
    // signals may delete it.
    answer(codeClass, text);
}

void SendMail::answer(QChar codeClass, const QString &replyText)
{
    const QChar expected = state == DataSent ? QLatin1Char('3') : QLatin1Char('2');
    if (codeClass != expected) {
        fail(replyText);
        return;
    }
    switch (state) {
    case Greeting:
        write(QStringLiteral("HELO there\r\n"));
        state = HeloSent;
        break;
    case HeloSent:
        write(QStringLiteral("MAIL FROM: <%1>\r\n").arg(from));
        state = MailFromSent;
        break;
    case MailFromSent:
        write(QStringLiteral("RCPT TO: <%1>\r\n").arg(to));
        state = cc.isEmpty() ? LastRcptSent : FirstRcptSent;
        break;
    case FirstRcptSent:
        write(QStringLiteral("RCPT TO: <%1>\r\n").arg(cc));
        state = LastRcptSent;
        break;
    case LastRcptSent:
        write(QStringLiteral("DATA\r\n"));
        state = DataSent;
        break;
    case DataSent:
        write(message + QStringLiteral("\r\n.\r\n"));
        state = MessageSent;
        break;
    case MessageSent:
        write(QStringLiteral("QUIT\r\n"));
        // Finished before the signal: the relay closing after QUIT (maybe
        // while a receiver shows a message box) is no failure.
        state = Finished;
        emit sent(tr("Message sent successfully"));
        break;
    }
}

void SendMail::write(const QString &text)
{
    *stream << text;
    stream->flush();
}

void SendMail::fail(const QString &text)
{
    abort();
    emit error(text);
}

void SendMail::connectionFailed(QAbstractSocket::SocketError)
{
    // Without this the form would wait for a reply that never comes.
    if (state == Finished)
        return;
    fail(connectionMade ? tr("The connection to the mail server was lost.\nPlease try again later.")
                        : tr("Cannot connect to the mail server.\nPlease check your internet "
                             "connection and proxy settings."));
}
