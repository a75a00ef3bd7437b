// One copy per user: the lock excludes other processes, dies with its holder,
// is out of other accounts' reach, and never keeps the client from starting
// (or hangs it) because of a broken or hostile lock file.
#include "platform/SingleInstanceLock.h"

#include <QDir>
#include <QFileInfo>
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

    // The lock lives in the user's own 0700 folder: another account cannot
    // reach it to hold it before us.
    void defaultLockIsTheUsersOwn()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("needs root and setpriv to act as another user");
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString path = SingleInstanceLock::defaultPath();
        QCOMPARE(path, runtime.filePath(QStringLiteral("quillnet/instance.lock")));
        QCOMPARE(QFileInfo(runtime.filePath(QStringLiteral("quillnet"))).permissions() & 0x0777,
                 QFile::Permissions(0x0700));
        QVERIFY(!otherProcessCanLock(path, true));
        SingleInstanceLock ours;
        QCOMPARE(ours.tryAcquire(), SingleInstanceLock::Acquired);
        qunsetenv("XDG_RUNTIME_DIR");
    }

    // Whatever sits at the lock's place that is not this user's regular
    // file is reported at once: no hang on a FIFO, no link followed.
    void foreignLockFileIsRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("link") << "link";
        QTest::newRow("folder") << "folder";
        QTest::newRow("another user's file") << "foreign";
    }

    void foreignLockFileIsRefusedAtOnce()
    {
        QFETCH(QString, kind);
        if (kind == "foreign" && ::geteuid() != 0)
            QSKIP("needs root to give the file to another user");
        const QString path = dir.filePath(kind + QStringLiteral(".lock"));
        const QByteArray name = QFile::encodeName(path);
        if (kind == "fifo")
            QVERIFY(::mkfifo(name.constData(), 0600) == 0);
        else if (kind == "link")
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("target")), path));
        else if (kind == "folder")
            QVERIFY(QDir().mkdir(path));
        else {
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
            QVERIFY(::chown(name.constData(), 65534, 65534) == 0);
        }
        SingleInstanceLock lock(path);
        QCOMPARE(lock.tryAcquire(), SingleInstanceLock::Unavailable);
        QVERIFY(lock.errorString().startsWith(path));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("target"))));
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
