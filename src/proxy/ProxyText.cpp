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
    // An IPv6 address keeps its colons inside brackets: "[::1]:3128".
    const int bracket = text.startsWith(QLatin1Char('[')) ? text.indexOf(QLatin1Char(']')) : -1;
    const QString host = bracket > 0 ? text.mid(1, bracket - 1) : QString();
    const int colon = text.indexOf(QLatin1Char(':'), bracket > 0 ? bracket : 0);
    if (colon < 0)
        return {bracket > 0 ? host : text, 80};
    bool ok = false;
    const ushort port = text.mid(colon + 1).toUShort(&ok);
    return {bracket > 0 ? host : text.left(colon), ok ? port : quint16(0)};
}
