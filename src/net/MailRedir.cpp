#include "net/MailRedir.h"

#include <QStringList>

QString MailRedir::toString() const
{
    return alias + QLatin1Char(',') + forward;
}

MailRedir MailRedir::fromString(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    return MailRedir(parts.value(0), parts.value(1));
}

bool MailRedir::aliasLessThan(const MailRedir &a, const MailRedir &b)
{
    return a.alias == b.alias ? a.forward < b.forward : a.alias < b.alias;
}

bool MailRedir::aliasGreaterThan(const MailRedir &a, const MailRedir &b)
{
    return a.alias == b.alias ? b.forward < a.forward : b.alias < a.alias;
}

bool MailRedir::forwardLessThan(const MailRedir &a, const MailRedir &b)
{
    return a.forward == b.forward ? a.alias < b.alias : a.forward < b.forward;
}

bool MailRedir::forwardGreaterThan(const MailRedir &a, const MailRedir &b)
{
    return a.forward == b.forward ? b.alias < a.alias : b.forward < a.forward;
}
