#include "core/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString *error, const QString &path)
{
    if (error)
        *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

} // namespace

bool restrictSettingsFile(QString *error)
{
    const QString path = QSettings().fileName();
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray folderName = QFile::encodeName(folder);
    const QByteArray fileName = QFile::encodeName(path);

    // Only the folder named after us is ours to tighten, not ~/.config.
    if (!QDir().mkpath(folder))
        return fail(error, folder);
    if (::chmod(folderName.constData(), S_IRWXU) != 0)
        return fail(error, folder);

    // Created empty with the final mode, so no window exists in which the
    // first save could leave it readable by others.
    const int fd = ::open(fileName.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return fail(error, path);
    const int changed = ::fchmod(fd, S_IRUSR | S_IWUSR);
    ::close(fd);
    if (changed != 0)
        return fail(error, path);
    return true;
}
