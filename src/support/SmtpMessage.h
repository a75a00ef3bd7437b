#pragma once

#include <QByteArray>
#include <QString>

// The text of a support message as it goes over the wire after "DATA":
// a plain-text, base64-encoded body under a minimal header, CR LF line
// ends and dot-stuffing applied, without the closing "." line.
namespace SmtpMessage {

// Standard base64; with `lineBreaks`, "\r\n" between lines of 76
// characters and none after the last one.
QString base64Encode(const QByteArray &data, bool lineBreaks);

// LF line ends become CR LF (an existing CR LF stays single), and a line
// holding a lone "." is doubled so that it cannot end the message early.
QString toWireForm(const QString &text);

// The whole message. An empty `from` gives no From header and no copy.
QString compose(const QString &from, const QString &to, const QString &subject, const QString &body,
                bool copyToSender);

} // namespace SmtpMessage
