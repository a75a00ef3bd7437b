#include "platform/SingleInstanceLock.h"

#include "platform/PrivateRuntimeFolder.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Never follows a link and never waits (a FIFO in the lock's place would
// block a plain open), and what it opened must be a regular file this user
// owns.
int openOwnLockFile(const QByteArray &path, QString *problem)
{
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0) {
        *problem = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        *problem = QStringLiteral("not a regular file of this user");
        return -1;
    }
    return fd;
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
    const QString folder = PrivateRuntimeFolder::path();
    // No private folder: a relative name in the working folder, never a
    // path from the root.
    return folder.isEmpty() ? QStringLiteral("instance.lock")
                            : folder + QStringLiteral("/instance.lock");
}

SingleInstanceLock::Result SingleInstanceLock::tryAcquire()
{
    if (fd >= 0)
        return Acquired;
    QString problem;
    const int file = openOwnLockFile(QFile::encodeName(lockPath), &problem);
    if (file < 0) {
        error = QStringLiteral("%1: %2").arg(lockPath, problem);
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
