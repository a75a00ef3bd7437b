#include "aliases/AliasRecords.h"

#include "aliases/AliasRules.h"

#include <QStringList>
#include <algorithm>

QList<MailRedir> AliasRecords::fromAnswer(const QByteArray &body)
{
    QList<MailRedir> records;
    if (body == "1")
        return records;
    const QStringList entries = QString::fromUtf8(body).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &entry : entries)
        records.append(MailRedir::fromString(entry));
    return records;
}

int AliasRecords::removeInvalid(QList<MailRedir> &records, const QString &aliasDomain)
{
    return int(records.removeIf([&](const MailRedir &r) {
        return !r.alias.isEmpty() &&
               !AliasRules::forwardError(r.alias, r.forward, aliasDomain).isEmpty();
    }));
}

QList<MailRedir> AliasRecords::sorted(QList<MailRedir> records, int column, Qt::SortOrder order)
{
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const MailRedir &r) { return r.alias.isEmpty(); }),
                  records.end());
    const bool ascending = order == Qt::AscendingOrder;
    const auto lessThan =
        column == ForwardColumn
            ? (ascending ? MailRedir::forwardLessThan : MailRedir::forwardGreaterThan)
            : (ascending ? MailRedir::aliasLessThan : MailRedir::aliasGreaterThan);
    std::stable_sort(records.begin(), records.end(), lessThan);
    return records;
}

int AliasRecords::indexOf(const QList<MailRedir> &records, const MailRedir &record)
{
    for (int i = 0; i < records.size(); ++i) {
        if (records.at(i).alias.compare(record.alias, Qt::CaseInsensitive) == 0 &&
            records.at(i).forward.compare(record.forward, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
