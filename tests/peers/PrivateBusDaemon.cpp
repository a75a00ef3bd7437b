#include "PrivateBusDaemon.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

const char ConfigTemplate[] =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=%1/bus</listen>
  <auth>EXTERNAL</auth>
%2</busconfig>
)";

} // namespace

bool PrivateBusDaemon::isAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty();
}

QString PrivateBusDaemon::address(const QString &folder)
{
    return QStringLiteral("unix:path=%1/bus").arg(folder);
}

bool PrivateBusDaemon::start(QProcess &bus, const QString &folder, const char *elements,
                             QString *error)
{
    QFile config(QDir(folder).filePath(QStringLiteral("bus.conf")));
    const QString text =
        QString::fromLatin1(ConfigTemplate).arg(folder, QString::fromLatin1(elements).arg(folder));
    if (!config.open(QIODevice::WriteOnly) || config.write(text.toUtf8()) < 0) {
        *error = config.fileName() + QStringLiteral(": ") + config.errorString();
        return false;
    }
    config.close();
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--config-file"), config.fileName(), QStringLiteral("--nofork"),
               QStringLiteral("--print-address")});
    if (!bus.waitForReadyRead(10000)) {
        *error =
            QStringLiteral("dbus-daemon: ") + QString::fromLocal8Bit(bus.readAllStandardError());
        return false;
    }
    return true;
}
