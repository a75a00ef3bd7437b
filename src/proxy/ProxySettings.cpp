#include "proxy/ProxySettings.h"

#include "app/SettingsKeys.h"
#include "platform/SystemProxy.h"
#include "proxy/ProxyText.h"

#include <QSettings>

namespace {

QVariant stored(const char *key)
{
    return QSettings().value(QLatin1String(key), QVariant());
}

} // namespace

QNetworkProxy proxyFromSettings(int source)
{
    QNetworkProxy proxy(QNetworkProxy::NoProxy);
    if (source < 0)
        source = stored(SettingsKey::ProxySource).toInt();

    if (source == 1) {
        // A system setting that cannot be read counts as none.
        const QString text = SystemProxy::query().value_or(QString()).trimmed();
        if (!text.isEmpty()) {
            const ProxyHostPort hostPort = splitProxyText(text);
            proxy.setType(QNetworkProxy::HttpProxy);
            proxy.setHostName(hostPort.host);
            proxy.setPort(hostPort.port);
        }
    } else if (source == 2) {
        proxy.setType(QNetworkProxy::HttpProxy);
        proxy.setHostName(stored(SettingsKey::ProxyAddress).toString());
        proxy.setPort(quint16(stored(SettingsKey::ProxyPort).toInt()));
    }

    if (proxy.type() != QNetworkProxy::NoProxy && stored(SettingsKey::ProxyAuth).toBool()) {
        proxy.setUser(stored(SettingsKey::ProxyUser).toString());
        proxy.setPassword(stored(SettingsKey::ProxyPasswd).toString());
    }
    return proxy;
}
