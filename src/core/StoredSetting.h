#pragma once

#include <QSettings>
#include <QVariant>

// The one reader of the per-user settings store: a short-lived QSettings and
// an empty default, so a missing key reads as false, 0 or the empty string.
// `key` is one of SettingsKey's.
inline QVariant storedSetting(const char *key)
{
    return QSettings().value(QLatin1String(key), QVariant());
}
