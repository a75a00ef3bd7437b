#pragma once

#include <QString>

// Keeps a second copy of the client from running for the same user. The
// lock is an flock() on a file in the user's private runtime folder: no
// other account can hold, replace or remove it, and the kernel drops it when
// the process ends in any way, so a crashed client never blocks the next
// start. One tunnel per machine is not this lock's job: the tunnel service
// refuses a second user's tunnel itself.
class SingleInstanceLock
{
public:
    // `path` empty: the user's default, or QUILLNET_INSTANCE_LOCK when set
    // (tests use it to run side by side with a real client).
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
    // not be opened, or is not a regular file of this user (see
    // errorString()); the caller then runs unguarded rather than refusing to
    // start or hanging on it.
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
