#pragma once

#include "core/SettingsKeys.h"

#include <QFile>
#include <QSettings>
#include <QString>

// Makes the tunnel run the recorded-output player in OpenVPN's place; the
// player notes its arguments and the answers it was typed in `answers`.
inline void useRecordedOpenVpn(const QString &answers)
{
    QSettings().setValue(QLatin1String(SettingsKey::OpenvpnExe),
                         qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                             QStringLiteral("/tests/vpn/replay_openvpn.py"));
    qputenv("QUILLNET_REPLAY_ANSWERS", QFile::encodeName(answers));
}
