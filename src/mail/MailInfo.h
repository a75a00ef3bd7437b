#pragma once

#include <QString>
#include <QStringList>

// Summary of one held-back outgoing message. Also the carrier of the user's
// decision: `from` then holds the chosen sender (unchanged, an alias in
// angle brackets, or empty for "do not send").
struct MailInfo
{
    QString messageId;
    QString from;
    QString subject; // raw, possibly still an encoded word
    QString inReplyTo;
    QStringList recipients; // envelope recipients, in the order given
};
