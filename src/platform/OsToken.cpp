#include "platform/OsToken.h"

#ifdef Q_OS_WIN
#include <QOperatingSystemVersion>
#else
#include <sys/utsname.h>
#endif

QString currentOsToken()
{
#ifdef Q_OS_WIN
    const QOperatingSystemVersion version = QOperatingSystemVersion::current();
    if (version.majorVersion() < 0 || version.minorVersion() < 0)
        return QString();
    return QStringLiteral("Windows NT %1.%2")
        .arg(version.majorVersion())
        .arg(version.minorVersion());
#else
    // Browsers on Linux name the kernel's machine type, as uname reports it.
    utsname names;
    if (uname(&names) != 0)
        return QString();
    return QStringLiteral("Linux ") + QString::fromLatin1(names.machine);
#endif
}

QString currentPlatformWord()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Windows");
#else
    return QStringLiteral("X11");
#endif
}
