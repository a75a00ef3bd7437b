#include "platform/AtomicFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString *error, const QString &path, int cause)
{
    if (error)
        *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(cause));
    return false;
}

bool writeAll(int fd, const QByteArray &content)
{
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// The rename itself survives a power loss only once the folder is synced.
void syncFolderOf(const QByteArray &path)
{
    const QByteArray folder = folderOf(path);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool renameIntoPlace(const QByteArray &temporary, const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    if (::rename(temporary.constData(), name.constData()) != 0) {
        const int cause = errno;
        ::unlink(temporary.constData());
        return fail(error, path, cause);
    }
    syncFolderOf(name);
    return true;
}

} // namespace

bool AtomicFile::replace(const QString &path, const QByteArray &content, mode_t mode,
                         QString *error)
{
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    // mkostemp creates the name exclusively with mode 0600; the wanted mode
    // is set before anyone can see the file under its real name.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(error, path, errno);
    const bool written =
        ::fchmod(fd, mode & 0777) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temporary.constData());
        return fail(error, path, written ? errno : writeError);
    }
    return renameIntoPlace(temporary, path, error);
}

bool AtomicFile::replaceWithLink(const QString &path, const QByteArray &target, QString *error)
{
    const QByteArray base = QFile::encodeName(path) + '.';
    // symlink() never follows or reuses an existing name: a taken one is
    // simply another try.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray temporary =
            base + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
        if (::symlink(target.constData(), temporary.constData()) == 0)
            return renameIntoPlace(temporary, path, error);
        if (errno != EEXIST)
            return fail(error, path, errno);
    }
    return fail(error, path, EEXIST);
}

bool AtomicFile::folderIsReadOnly(const QString &path)
{
    return ::access(folderOf(QFile::encodeName(path)).constData(), W_OK) != 0 && errno == EROFS;
}

bool AtomicFile::overwrite(const QString &path, const QByteArray &content, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(error, path, errno);
    // A file bound into a sandbox stays the one found when the sandbox was
    // made; once someone has replaced it, writing would reach nobody.
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_nlink == 0) {
        ::close(fd);
        if (error)
            *error = path + QStringLiteral(": replaced since this program started; not written");
        return false;
    }
    // Emptied first: whatever a crash leaves is then a beginning of the new
    // content, never the new content with the old one's tail.
    const bool written = ::ftruncate(fd, 0) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written)
        return fail(error, path, written ? errno : writeError);
    return true;
}
