#pragma once

#include "core/SettingsKeys.h"

#include <QSettings>
#include <QVariant>

// The one reader of the per-user settings store: a short-lived QSettings and
// an empty default, so a missing key reads as false, 0 or the empty string,
// unless the caller names what a missing key means.
// `key` is one of SettingsKey's.
inline QVariant storedSetting(const char *key, const QVariant &missing = QVariant())
{
    return QSettings().value(QLatin1String(key), missing);
}

// Protection is on unless the user turned it off.
inline bool blockOutsideTunnelSetting()
{
    return storedSetting(SettingsKey::BlockOutsideTunnel, true).toBool();
}

// The local network stays behind the block unless the user allowed it.
inline bool allowLocalNetworkSetting()
{
    return storedSetting(SettingsKey::AllowLocalNetwork, false).toBool();
}
