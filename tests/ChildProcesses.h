#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <sys/syscall.h>
#include <unistd.h>

// What a test sees, through /proc, of the processes this one started.

// The client's OpenVPN processes: children of this one (the server's is not).
inline QList<pid_t> openVpnChildren()
{
    QList<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces.
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (line.mid(open + 1, close - open - 1) == "openvpn" && rest.value(1).toInt() == getpid())
            found << pid;
    }
    return found;
}

// Blocked in read(): for a program on a terminal, waiting for input.
inline bool isReading(pid_t pid)
{
    QFile syscall(QStringLiteral("/proc/%1/syscall").arg(pid));
    return syscall.open(QIODevice::ReadOnly) &&
           syscall.readAll().startsWith(QByteArray::number(SYS_read) + ' ');
}
