#include "platform/PrivateRuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isOwnFolder(const QByteArray &path, struct stat *info)
{
    return ::lstat(path.constData(), info) == 0 && S_ISDIR(info->st_mode) &&
           info->st_uid == ::geteuid();
}

QString usableRuntimeBase()
{
    const QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    struct stat info;
    if (base.isEmpty() || !QDir::isAbsolutePath(base) ||
        !isOwnFolder(QFile::encodeName(base), &info))
        return QString();
    return base;
}

} // namespace

bool PrivateRuntimeFolder::makePrivate(const QString &folder, QString *error)
{
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), S_IRWXU) != 0 && errno != EEXIST) {
        if (error)
            *error = folder + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info;
    if (!isOwnFolder(name, &info)) {
        if (error)
            *error = folder + QStringLiteral(": not a folder of this user");
        return false;
    }
    if ((info.st_mode & 07777) != S_IRWXU && ::chmod(name.constData(), S_IRWXU) != 0) {
        if (error)
            *error = folder + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

QString PrivateRuntimeFolder::path(QString *error)
{
    const QString base = usableRuntimeBase();
    if (base.isEmpty())
        return QDir::currentPath();
    const QString folder = base + QStringLiteral("/quillnet");
    return makePrivate(folder, error) ? folder : QString();
}
