#pragma once

#include "net/MailRedir.h"

#include <QByteArray>
#include <QList>

// The alias list as the service sends it and as the page orders it.
class AliasRecords
{
public:
    enum Column
    {
        AliasColumn = 0,
        ForwardColumn = 1
    };

    // A list answer: "1" means no aliases, anything else is ";"-separated
    // records in their wire form; empty entries are skipped.
    static QList<MailRedir> fromAnswer(const QByteArray &body);

    // Removes the records that the page would not let the user type
    // (AliasRules), the service's answer being trusted no further; returns
    // how many went. Records of an empty alias stay, for sorted() to drop.
    static int removeInvalid(QList<MailRedir> &records, const QString &aliasDomain);

    // The records without those of an empty alias, ordered by `column`;
    // records equal there are ordered by the other column, in the same
    // direction.
    static QList<MailRedir> sorted(QList<MailRedir> records, int column, Qt::SortOrder order);

    // Where `record` is in `records`, compared without regard to case as the
    // service does; -1 when absent.
    static int indexOf(const QList<MailRedir> &records, const MailRedir &record);
};
