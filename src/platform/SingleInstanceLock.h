#pragma once

#include <QString>

// Keeps a second copy of the client from running on this machine, for any
// user. The lock is an flock() on a file in a world-writable lock folder: the
// kernel drops it when the process ends in any way, so a crashed client never
// blocks the next start. (On Windows the same role is played by a named
// mutex in the global kernel namespace.)
class SingleInstanceLock
{
public:
    // `path` empty: the machine-wide default, or QUILLNET_INSTANCE_LOCK when
    // set (tests use it to run side by side with a real client).
    explicit SingleInstanceLock(const QString &path = QString());
    ~SingleInstanceLock();

    SingleInstanceLock(const SingleInstanceLock &) = delete;
    SingleInstanceLock &operator=(const SingleInstanceLock &) = delete;

    enum Result
    {
        Acquired,
        HeldElsewhere,
        Unavailable
    };

    // Takes the lock without waiting. Unavailable means the lock file could
    // not be opened at all (see errorString()); the caller then runs
    // unguarded rather than refusing to start.
    Result tryAcquire();
    void release();

    QString path() const { return lockPath; }
    QString errorString() const { return error; }

    static QString defaultPath();

private:
    QString lockPath;
    QString error;
    int fd = -1;
};
