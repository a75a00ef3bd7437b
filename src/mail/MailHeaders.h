#pragma once

#include "mail/MailInfo.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Text operations on the head of an outgoing message. Lines are 8-bit text
// (one character per byte) without their line ends.

// The trimmed text inside the first pair of angle brackets, or empty.
QString angleAddress(const QString &text);

// Fills messageId, from, subject and inReplyTo of `info` from the header
// lines; recipients are left alone (they come from the envelope).
void parseHeaders(const QStringList &lines, MailInfo &info);

// Replaces the value of every "From:" line by `from`, keeping the field name
// as the mail program spelled it; nothing else changes.
void rewriteFrom(QStringList &lines, const QString &from);
