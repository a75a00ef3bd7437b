#include "proxy/ProxySettings.h"

#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "platform/SystemProxy.h"
#include "proxy/ProxyText.h"
#include "secrets/RememberedPasswords.h"

#include <QSettings>

QNetworkProxy proxyFromSettings(int source, const RememberedPasswords *passwords)
{
    QNetworkProxy proxy(QNetworkProxy::NoProxy);
    if (source < 0)
        source = storedSetting(SettingsKey::ProxySource).toInt();

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
        proxy.setHostName(storedSetting(SettingsKey::ProxyAddress).toString());
        proxy.setPort(quint16(storedSetting(SettingsKey::ProxyPort).toInt()));
    }

    if (proxy.type() != QNetworkProxy::NoProxy && storedSetting(SettingsKey::ProxyAuth).toBool()) {
        proxy.setUser(storedSetting(SettingsKey::ProxyUser).toString());
        proxy.setPassword(passwords ? passwords->proxyPassword()
                                    : storedSetting(SettingsKey::ProxyPasswd).toString());
    }
    return proxy;
}
