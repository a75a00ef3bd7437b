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

// Replaces every From field of the header (the lines up to the first empty
// one) by one line: the field name as the mail program spelled it, ": " and
// `from`. A folded field goes whole, continuation lines included; nothing
// else changes.
void rewriteFrom(QStringList &lines, const QString &from);
