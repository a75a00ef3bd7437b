#include "proxy/ProxyText.h"

#include <QStringList>

QString httpProxyFromList(const QString &list)
{
    if (!list.contains(QLatin1Char('=')))
        return list;
    const QStringList entries = list.split(QLatin1Char(' '));
    for (const QString &entry : entries) {
        // Case matters, and "https=" is another protocol.
        if (entry.startsWith(QLatin1String("http=")))
            return entry.mid(5);
    }
    return QString();
}

ProxyHostPort splitProxyText(const QString &text)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {text, 80};
    bool ok = false;
    const ushort port = text.mid(colon + 1).toUShort(&ok);
    return {text.left(colon), ok ? port : quint16(0)};
}
