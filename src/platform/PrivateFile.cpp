#include "platform/PrivateFile.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool PrivateFile::write(const QString &path, const QByteArray &content, QString *error)
{
    return AtomicFile::replace(path, content, S_IRUSR | S_IWUSR, error);
}

int PrivateFile::createFresh(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) != 0 && errno != ENOENT)
        return -1;
    return ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  S_IRUSR | S_IWUSR);
}
