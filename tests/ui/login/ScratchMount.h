#pragma once

#include <QString>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>

// A tmpfs on a folder for the length of a test, so that the client can be
// given a folder that is read-only or full although the tests run as root.
// Only in a mount namespace of the test's own (own_mounts.sh): what is
// mounted there vanishes with the test even when it crashes.
class ScratchMount
{
public:
    // `options` as mount(8) takes them for tmpfs, e.g. "size=64k".
    ScratchMount(const QString &folder, const QString &options) : folder(folder)
    {
        mounted = ::mount("tmpfs", qPrintable(folder), "tmpfs", 0, qPrintable(options)) == 0;
        if (!mounted)
            error =
                QStringLiteral("mount %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
    }
    ~ScratchMount()
    {
        // Detached: a file the client still holds open must not keep it.
        if (mounted)
            ::umount2(qPrintable(folder), MNT_DETACH);
    }
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    bool isMounted() const { return mounted; }
    QString errorString() const { return error; }

    bool makeReadOnly()
    {
        if (::mount(nullptr, qPrintable(folder), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0)
            return true;
        error =
            QStringLiteral("remount %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }

private:
    QString folder;
    bool mounted = false;
    QString error;
};
