#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

// The client runs the adapter tool from its own program folder. Tests put
// one there that only notes each command ("enable tap0901_korvex") in the
// file QUILLNET_TOOL_LOG names. Every test writes the same bytes and renames
// them into place, so tests sharing a folder and running side by side never
// meet half a tool. Returns why it could not be installed, or nothing.
inline QString installStandInAdapterTool(const QString &log)
{
    qputenv("QUILLNET_TOOL_LOG", QFile::encodeName(log));
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/adapter");
    if (!QDir().mkpath(folder))
        return folder + QStringLiteral(": cannot be created");
    static const char script[] = "#!/bin/sh\necho \"$*\" >> \"$QUILLNET_TOOL_LOG\"\n";
    QByteArray temporary = QFile::encodeName(folder) + "/tapinstall.XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return folder + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    const bool written = ::write(fd, script, sizeof script - 1) == ssize_t(sizeof script - 1) &&
                         ::fchmod(fd, 0755) == 0;
    ::close(fd);
    if (!written || std::rename(temporary.constData(),
                                QFile::encodeName(folder + "/tapinstall").constData()) != 0) {
        ::unlink(temporary.constData());
        return folder + QStringLiteral("/tapinstall: cannot be written");
    }
    return QString();
}

// The commands the stand-in noted in `log`, without the hardware id.
inline QStringList adapterToolCommands(const QString &log)
{
    QFile file(log);
    QStringList commands;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                commands << QString::fromUtf8(line.split(' ').first());
    }
    return commands;
}
