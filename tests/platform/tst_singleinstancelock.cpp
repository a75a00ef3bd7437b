// One copy per machine: the lock excludes other processes and other users,
// dies with its holder, and never keeps the client from starting because of
// a broken lock folder.
#include "platform/SingleInstanceLock.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs util-linux's flock(1) on `path`, optionally as the unprivileged user
// "nobody"; true when it got the lock without waiting.
bool otherProcessCanLock(const QString &path, bool asNobody = false)
{
    QStringList command = {QStringLiteral("flock"), QStringLiteral("-n"), path, QStringLiteral("true")};
    if (asNobody)
        command = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                              QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")} +
                  command;
    QProcess process;
    process.start(command.takeFirst(), command);
    if (!process.waitForFinished(10000))
        qFatal("flock did not finish");
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

class TestSingleInstanceLock : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("flock")).isEmpty())
            QSKIP("flock(1) is not installed");
    }

    void secondHolderIsRefusedUntilTheFirstReleases()
    {
        const QString path = dir.filePath(QStringLiteral("a.lock"));
        SingleInstanceLock first(path);
        QCOMPARE(first.tryAcquire(), SingleInstanceLock::Acquired);
        QCOMPARE(first.tryAcquire(), SingleInstanceLock::Acquired); // idempotent

        SingleInstanceLock second(path);
        QCOMPARE(second.tryAcquire(), SingleInstanceLock::HeldElsewhere);
        QVERIFY(!otherProcessCanLock(path));

        first.release();
        QVERIFY(otherProcessCanLock(path));
        QCOMPARE(second.tryAcquire(), SingleInstanceLock::Acquired);
    }

    void lockDiesWithAKilledHolder()
    {
        const QString path = dir.filePath(QStringLiteral("killed.lock"));
        QFile(path).open(QIODevice::WriteOnly);
        // The holder takes the lock on its own descriptor and becomes "sleep",
        // so killing it leaves no other process with the descriptor.
        QProcess holder;
        holder.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"), QStringLiteral("exec 9<\"$0\"; flock 9 && exec sleep 60"), path});
        QVERIFY(holder.waitForStarted());
        QTRY_VERIFY(!otherProcessCanLock(path));
        SingleInstanceLock lock(path);
        QCOMPARE(lock.tryAcquire(), SingleInstanceLock::HeldElsewhere);
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(lock.tryAcquire(), SingleInstanceLock::Acquired);
    }

    void childProcessesDoNotInheritTheLock()
    {
        // A child left running by a crashed client (a tunnel, the web filter)
        // must not keep the next start of the client from running.
        const QString path = dir.filePath(QStringLiteral("child.lock"));
        SingleInstanceLock lock(path);
        QCOMPARE(lock.tryAcquire(), SingleInstanceLock::Acquired);
        QProcess child;
        child.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(child.waitForStarted());
        lock.release();
        QVERIFY(otherProcessCanLock(path));
        child.kill();
        child.waitForFinished();
    }

    void excludesOtherUsersOfTheMachine()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("needs root and setpriv to act as another user");
        // A sticky world-writable folder, like the machine's lock folder.
        QTemporaryDir shared;
        QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
        const QString path = shared.filePath(QStringLiteral("quillnet.lock"));

        {
            // Created by us under a strict umask: the other user can still lock it.
            const mode_t oldMask = ::umask(077);
            SingleInstanceLock ours(path);
            QCOMPARE(ours.tryAcquire(), SingleInstanceLock::Acquired);
            ::umask(oldMask);
            QVERIFY(!otherProcessCanLock(path, true));
            ours.release();
            QVERIFY(otherProcessCanLock(path, true));
        }

        // Created by the other user: our copy must still open and lock it,
        // even where the kernel refuses O_CREAT on another user's file there.
        QFile::remove(path);
        QVERIFY(otherProcessCanLock(path, true));
        SingleInstanceLock ours(path);
        QCOMPARE(ours.tryAcquire(), SingleInstanceLock::Acquired);
        QVERIFY(!otherProcessCanLock(path, true));
    }

    void unusableLockFolderIsReportedNotFatal()
    {
        SingleInstanceLock lock(dir.filePath(QStringLiteral("missing/folder/x.lock")));
        QCOMPARE(lock.tryAcquire(), SingleInstanceLock::Unavailable);
        QVERIFY(lock.errorString().contains(QStringLiteral("missing/folder")));
    }

    void environmentNamesTheLockForTests()
    {
        const QString path = dir.filePath(QStringLiteral("env.lock"));
        qputenv("QUILLNET_INSTANCE_LOCK", QFile::encodeName(path));
        QCOMPARE(SingleInstanceLock().path(), path);
        qunsetenv("QUILLNET_INSTANCE_LOCK");
        QCOMPARE(SingleInstanceLock().path(), SingleInstanceLock::defaultPath());
    }
};

QTEST_GUILESS_MAIN(TestSingleInstanceLock)
#include "tst_singleinstancelock.moc"
