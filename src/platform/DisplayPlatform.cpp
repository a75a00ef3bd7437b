#include "platform/DisplayPlatform.h"

#include <QtGlobal>

QByteArray DisplayPlatform::withFallback(const QByteArray &requested, const QByteArray &sessionType,
                                         const QByteArray &desktops)
{
    const QByteArray fallback = ";xcb";
    // A list is the user's own order; another platform is not ours to touch.
    if (!requested.isEmpty())
        return requested.trimmed() == "wayland" ? requested.trimmed() + fallback : QByteArray();
    if (sessionType != "wayland" || desktops.toLower().contains("gnome"))
        return QByteArray();
    return "wayland" + fallback;
}

void DisplayPlatform::addFallback()
{
    const QByteArray platform =
        withFallback(qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"),
                     qgetenv("XDG_CURRENT_DESKTOP") + ':' + qgetenv("XDG_SESSION_DESKTOP"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}
