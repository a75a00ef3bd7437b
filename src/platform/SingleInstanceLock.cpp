#include "platform/SingleInstanceLock.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens the lock file for another user's copy as well as ours. In a sticky
// world-writable folder the kernel may refuse O_CREAT on a file that another
// user owns (fs.protected_regular), so an existing file is opened without it
// and only a missing one is created, readable by everybody: flock() needs no
// write access.
int openShared(const QByteArray &path)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::fchmod(fd, 0644); // independent of the umask
            return fd;
        }
        if (errno != EEXIST)
            return -1;
        // Another copy created it between our two opens: open it again.
    }
    return -1;
}

} // namespace

SingleInstanceLock::SingleInstanceLock(const QString &path)
{
    lockPath = path;
    if (lockPath.isEmpty())
        lockPath = qEnvironmentVariable("QUILLNET_INSTANCE_LOCK");
    if (lockPath.isEmpty())
        lockPath = defaultPath();
}

SingleInstanceLock::~SingleInstanceLock()
{
    release();
}

QString SingleInstanceLock::defaultPath()
{
    const QFileInfo runLock(QStringLiteral("/run/lock"));
    const QString folder =
        runLock.isDir() && runLock.isWritable() ? runLock.filePath() : QDir::tempPath();
    return folder + QStringLiteral("/quillnet.lock");
}

SingleInstanceLock::Result SingleInstanceLock::tryAcquire()
{
    if (fd >= 0)
        return Acquired;
    const int file = openShared(QFile::encodeName(lockPath));
    if (file < 0) {
        error =
            QStringLiteral("%1: %2").arg(lockPath, QString::fromLocal8Bit(std::strerror(errno)));
        return Unavailable;
    }
    int rc;
    do {
        rc = ::flock(file, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int cause = errno;
        ::close(file);
        if (cause == EWOULDBLOCK)
            return HeldElsewhere;
        error =
            QStringLiteral("%1: %2").arg(lockPath, QString::fromLocal8Bit(std::strerror(cause)));
        return Unavailable;
    }
    fd = file;
    return Acquired;
}

void SingleInstanceLock::release()
{
    if (fd < 0)
        return;
    // The file stays: removing it would let a third copy lock a new file
    // while a second still holds the old one.
    ::flock(fd, LOCK_UN);
    ::close(fd);
    fd = -1;
}
