#include "protection/DnsBackend.h"

#include <QMetaObject>

void DnsBackend::finishLater(bool ok, const QString &detail)
{
    QMetaObject::invokeMethod(
        this, [this, ok, detail] { emit finished(ok, detail); }, Qt::QueuedConnection);
}

QString DnsBackend::listed(const QList<QHostAddress> &servers)
{
    QStringList texts;
    for (const QHostAddress &server : servers)
        texts.append(server.toString());
    return texts.join(QLatin1String(", "));
}
