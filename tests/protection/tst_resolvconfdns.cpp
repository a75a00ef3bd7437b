// resolv.conf replaced while the tunnel is up and put back afterwards, in a
// temporary folder standing in for /etc, with the state folder beside it.
#include "PushedReply.h"
#include "protection/ResolvConfDns.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Original = "# from the uplink's DHCP\nnameserver 192.0.2.53\nsearch isp.example\n";

QByteArray written(const QByteArray &lines)
{
    return "# Written by Quillnet while its tunnel is up: names are resolved through\n"
           "# the tunnel. The previous file comes back when the tunnel ends.\n" +
           lines;
}

// What is at `path`, in one comparable line: kind, mode, content or target.
QByteArray snapshot(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::lstat(name.constData(), &info) != 0)
        return "none";
    if (S_ISLNK(info.st_mode)) {
        char target[4096];
        const ssize_t length = ::readlink(name.constData(), target, sizeof target);
        return "link " + QByteArray(target, int(qMax<ssize_t>(length, 0)));
    }
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return "file " + QByteArray::number(info.st_mode & 07777, 8) + ' ' + file.readAll();
}

bool writeFile(const QString &path, const QByteArray &content, mode_t mode)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) >= 0 &&
           ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// Sets up the system's resolv.conf as `kind` says, like a system might have it.
bool prepare(const QDir &etc, const QString &kind)
{
    const QString path = etc.filePath(QStringLiteral("resolv.conf"));
    const QByteArray link = QFile::encodeName(path);
    if (kind == QLatin1String("file"))
        return writeFile(path, Original, 0640);
    if (kind == QLatin1String("link"))
        return etc.mkpath(QStringLiteral("run/resolve")) &&
               writeFile(etc.filePath(QStringLiteral("run/resolve/stub-resolv.conf")), Original,
                         0644) &&
               ::symlink("run/resolve/stub-resolv.conf", link.constData()) == 0;
    if (kind == QLatin1String("dangling link"))
        return ::symlink("../nowhere/resolv.conf", link.constData()) == 0;
    return kind == QLatin1String("none");
}

struct Run
{
    bool ok = false;
    QString detail;
};

Run applied(DnsBackend *dns, const PushedOptions &options)
{
    QSignalSpy finished(dns, &DnsBackend::finished);
    dns->apply(QStringLiteral("tun0"), 7, options);
    if (!finished.wait(5000))
        return {};
    return {finished.at(0).at(0).toBool(), finished.at(0).at(1).toString()};
}

Run reverted(DnsBackend *dns)
{
    QSignalSpy finished(dns, &DnsBackend::finished);
    dns->revert();
    if (!finished.wait(5000))
        return {};
    return {finished.at(0).at(0).toBool(), finished.at(0).at(1).toString()};
}

} // namespace

class TestResolvConfDns : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    QDir etc;
    QString path;
    QString state;

    bool ownMounts = false;

    // The sandbox the tunnel service runs in: the folder read-only, only
    // resolv.conf itself writable (or, for a link, the folder it leads to).
    bool sandbox(const QString &kind)
    {
        const QByteArray folder = QFile::encodeName(etc.path());
        const QByteArray writable = QFile::encodeName(
            kind == QLatin1String("link") ? etc.filePath(QStringLiteral("run")) : path);
        const auto bind = [](const QByteArray &where, unsigned long flags) {
            // A bind mount starts with the flags of the one it lies in.
            return ::mount(where.constData(), where.constData(), nullptr, MS_BIND, nullptr) == 0 &&
                   ::mount(nullptr, where.constData(), nullptr, MS_REMOUNT | MS_BIND | flags,
                           nullptr) == 0;
        };
        return bind(folder, MS_RDONLY) && (kind == QLatin1String("none") || bind(writable, 0));
    }

private slots:
    void initTestCase()
    {
        // As root, the read-only folder is made with mounts of this test's
        // own, which nobody else sees.
        ownMounts = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }

    void cleanup()
    {
        if (ownMounts)
            ::umount2(QFile::encodeName(etc.path()).constData(), MNT_DETACH);
    }

    void init()
    {
        QVERIFY(folder.isValid());
        etc = QDir(folder.path());
        QVERIFY(etc.mkpath(QStringLiteral("etc")) && etc.cd(QStringLiteral("etc")));
        QVERIFY(etc.removeRecursively() && QDir().mkpath(etc.path()));
        QDir(folder.filePath(QStringLiteral("state"))).removeRecursively();
        path = etc.filePath(QStringLiteral("resolv.conf"));
        state = folder.filePath(QStringLiteral("state"));
    }

    void replacedAndPutBack_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("crash"); // no revert(): recover() at the next start
        QTest::addColumn<bool>("reconnect");
        for (const char *kind : {"file", "link", "dangling link", "none"})
            for (bool crash : {false, true})
                QTest::addRow("%s, %s", kind, crash ? "recovered" : "reverted")
                    << QString::fromLatin1(kind) << crash << false;
        QTest::newRow("file, pushed again after a reconnect, reverted")
            << QStringLiteral("file") << false << true;
    }

    void replacedAndPutBack()
    {
        QFETCH(QString, before);
        QFETCH(bool, crash);
        QFETCH(bool, reconnect);
        QVERIFY(prepare(etc, before));
        const QByteArray original = snapshot(path);
        const QByteArray linkTarget =
            snapshot(etc.filePath(QStringLiteral("run/resolve/stub-resolv.conf")));

        {
            ResolvConfDns dns(state, path);
            // Four servers (glibc reads three), an IPv6 one on an IPv4 tunnel.
            const Run run = applied(
                &dns, pushed(QStringLiteral("dhcp-option DNS 10.8.0.1,dhcp-option DNS6 fd00::1,"
                                            "dhcp-option DNS 10.8.0.2,dhcp-option DNS 10.8.0.3,"
                                            "dhcp-option DNS 10.8.0.4,dhcp-option DOMAIN corp.test,"
                                            "dhcp-option DOMAIN-SEARCH a.test")));
            QVERIFY2(run.ok, qPrintable(run.detail));
            QCOMPARE(run.detail, path + QStringLiteral(": 10.8.0.1, 10.8.0.2, 10.8.0.3"));
            QCOMPARE(snapshot(path), "file 644 " + written("nameserver 10.8.0.1\n"
                                                           "nameserver 10.8.0.2\n"
                                                           "nameserver 10.8.0.3\n"
                                                           "search corp.test a.test\n"));
            // Written next to the link, never through it.
            QCOMPARE(snapshot(etc.filePath(QStringLiteral("run/resolve/stub-resolv.conf"))),
                     linkTarget);
            QCOMPARE(QFileInfo(state).permissions() & 0x0077, 0);
            if (reconnect) {
                const Run again =
                    applied(&dns, pushed(QStringLiteral("dns server 0 address fd00::9 10.8.0.9,"
                                                        "ifconfig-ipv6 fd00::2/64 fd00::1")));
                QVERIFY2(again.ok, qPrintable(again.detail));
                QCOMPARE(snapshot(path),
                         "file 644 " + written("nameserver fd00::9\nnameserver 10.8.0.9\n"));
            }
            if (!crash) {
                const Run undone = reverted(&dns);
                QVERIFY2(undone.ok, qPrintable(undone.detail));
            }
        }
        if (crash) {
            QString detail;
            QVERIFY2(ResolvConfDns::recover(path, state, &detail), qPrintable(detail));
        }
        QCOMPARE(snapshot(path), original);
        QCOMPARE(QDir(state).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        // Nothing left to do at the next start.
        QString detail;
        QVERIFY(ResolvConfDns::recover(path, state, &detail));
        QCOMPARE(snapshot(path), original);
    }

    void writtenInPlaceInAReadOnlyFolder_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("end");
        for (const char *kind : {"file", "link"})
            for (const char *end : {"reverted", "recovered", "cut short, recovered"})
                QTest::addRow("%s, %s", kind, end)
                    << QString::fromLatin1(kind) << QString::fromLatin1(end);
        QTest::newRow("none") << QStringLiteral("none") << QString();
    }

    void writtenInPlaceInAReadOnlyFolder()
    {
        QFETCH(QString, before);
        QFETCH(QString, end);
        if (!ownMounts)
            QSKIP("a read-only folder needs root for a mount of this test's own");
        QVERIFY(prepare(etc, before));
        const QString target = etc.filePath(QStringLiteral("run/resolve/stub-resolv.conf"));
        const QByteArray original = snapshot(path);
        const QByteArray originalTarget = snapshot(target);
        QVERIFY(sandbox(before));
        {
            ResolvConfDns dns(state, path);
            const Run run = applied(&dns, pushed(QStringLiteral("dhcp-option DNS 10.8.0.1")));
            if (before == QLatin1String("none")) {
                QVERIFY(!run.ok);
                QVERIFY2(run.detail.contains(QLatin1String("read-only")), qPrintable(run.detail));
                QCOMPARE(snapshot(path), original);
                return;
            }
            QVERIFY2(run.ok, qPrintable(run.detail));
            QFile through(path);
            QVERIFY(through.open(QIODevice::ReadOnly));
            QCOMPARE(through.readAll(), written("nameserver 10.8.0.1\n"));
            // A link stays a link: what it leads to holds the servers.
            QCOMPARE(snapshot(path).left(4), original.left(4));
            if (end == QLatin1String("reverted"))
                QVERIFY(reverted(&dns).ok);
        }
        if (end.startsWith(QLatin1String("cut short"))) {
            // A crash while writing leaves a beginning of the file.
            QFile cut(path);
            QVERIFY(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(cut.write(written(QByteArray()).left(20)) == 20);
        }
        if (end != QLatin1String("reverted")) {
            QString detail;
            QVERIFY2(ResolvConfDns::recover(path, state, &detail), qPrintable(detail));
        }
        QCOMPARE(snapshot(path), original);
        QCOMPARE(snapshot(target), originalTarget);
    }

    void someoneElsesChangeIsLeftAlone_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("crash");
        for (const char *change : {"rewritten", "made a link", "removed"})
            for (bool crash : {false, true})
                QTest::addRow("%s, %s", change, crash ? "recovered" : "reverted")
                    << QString::fromLatin1(change) << crash;
    }

    void someoneElsesChangeIsLeftAlone()
    {
        QFETCH(QString, change);
        QFETCH(bool, crash);
        QVERIFY(prepare(etc, QStringLiteral("file")));
        ResolvConfDns dns(state, path);
        QVERIFY(applied(&dns, pushed(QStringLiteral("dhcp-option DNS 10.8.0.1"))).ok);

        const QString theirs = etc.filePath(QStringLiteral("theirs"));
        QVERIFY(writeFile(theirs, "nameserver 198.51.100.1\n", 0644));
        if (change == QLatin1String("rewritten"))
            QVERIFY(QFile::rename(theirs, path) ||
                    (QFile::remove(path) && QFile::rename(theirs, path)));
        else if (change == QLatin1String("made a link"))
            QVERIFY(QFile::remove(path) && QFile::link(QStringLiteral("theirs"), path));
        else
            QVERIFY(QFile::remove(path));
        const QByteArray afterTheirChange = snapshot(path);

        Run undone;
        if (crash)
            undone.ok = ResolvConfDns::recover(path, state, &undone.detail);
        else
            undone = reverted(&dns);
        QVERIFY(!undone.ok);
        QVERIFY2(undone.detail.contains(QLatin1String("changed by someone else")),
                 qPrintable(undone.detail));
        QCOMPARE(snapshot(path), afterTheirChange);
        // Reported once; the stale backup is not put back at a later start.
        QString detail;
        QVERIFY(ResolvConfDns::recover(path, state, &detail));
        QCOMPARE(snapshot(path), afterTheirChange);
    }

    void onlyCheckedValuesAreWritten_data()
    {
        QTest::addColumn<QList<QHostAddress>>("servers");
        QTest::addColumn<QStringList>("domains");
        QTest::addColumn<QByteArray>("expected"); // empty: nothing changes

        QTest::newRow("nothing pushed")
            << QList<QHostAddress>() << QStringList{QStringLiteral("corp.test")} << QByteArray();
        QTest::newRow("only IPv6 servers on an IPv4 tunnel")
            << QList<QHostAddress>{QHostAddress(QStringLiteral("fd00::1"))} << QStringList()
            << QByteArray();
        QTest::newRow("only unusable servers")
            << QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.53")), QHostAddress(),
                                   QHostAddress(QStringLiteral("0.0.0.0"))}
            << QStringList() << QByteArray();
        QTest::newRow("hostile values among good ones")
            << QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.1")),
                                   QHostAddress(QStringLiteral("fe80::1%eth0")),
                                   QHostAddress(QStringLiteral("224.0.0.1")),
                                   QHostAddress(QStringLiteral("10.9.9.9"))}
            << QStringList{QStringLiteral("evil.test\nnameserver 6.6.6.6"),
                           QStringLiteral("x y"),
                           QStringLiteral("ok.test"),
                           QStringLiteral("a;b"),
                           QStringLiteral("\xfc.test"),
                           QStringLiteral("options")}
            << written("nameserver 10.9.9.9\nsearch ok.test options\n");
    }

    void onlyCheckedValuesAreWritten()
    {
        QFETCH(QList<QHostAddress>, servers);
        QFETCH(QStringList, domains);
        QFETCH(QByteArray, expected);
        QVERIFY(prepare(etc, QStringLiteral("file")));
        const QByteArray original = snapshot(path);
        PushedOptions options;
        options.dnsServers = servers;
        options.searchDomains = domains;
        ResolvConfDns dns(state, path);
        const Run run = applied(&dns, options);
        QVERIFY2(run.ok, qPrintable(run.detail));
        if (expected.isEmpty()) {
            QCOMPARE(snapshot(path), original);
            QVERIFY(!QFileInfo::exists(state));
        } else {
            QCOMPARE(snapshot(path), "file 644 " + expected);
        }
        QVERIFY(reverted(&dns).ok);
        QCOMPARE(snapshot(path), original);
    }
};

QTEST_GUILESS_MAIN(TestResolvConfDns)
#include "tst_resolvconfdns.moc"
