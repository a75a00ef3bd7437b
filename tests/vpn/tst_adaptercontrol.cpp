// The adapter tool runs only when it has something to switch, and the flag
// register keeps its byte per adapter.
#include "StandInAdapterTool.h"
#include "TestFiles.h"
#include "platform/AdapterFlagRegister.h"
#include "vpn/AdapterControl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

class TestAdapterControl : public QObject
{
    Q_OBJECT

    QTemporaryDir runtime;

    // The commands the tool received so far, one per line.
    QStringList toolRuns() const { return readLines(QStringLiteral("tool-runs.txt")); }

private slots:
    void initTestCase()
    {
        // A stand-in tool in the program's folder records how it was run;
        // one in the working folder, which its user controls, is never run.
        const QString toolError =
            installStandInAdapterTool(QDir::current().absoluteFilePath("tool-runs.txt"));
        QVERIFY2(toolError.isEmpty(), qPrintable(toolError));
        QDir().mkdir(QStringLiteral("adapter"));
        QFile planted(QStringLiteral("adapter/tapinstall"));
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write("#!/bin/sh\ntouch planted-tool-ran\n");
        planted.close();
        planted.setPermissions(planted.permissions() | QFile::ExeOwner);
        QFile::remove(QStringLiteral("tool-runs.txt"));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }

    void switchesOnlyWhatThisProcessSwitched()
    {
        disableAdapter(); // never enabled: nothing to undo
        QCOMPARE(toolRuns(), QStringList());
        enableAdapter();
        enableAdapter(); // already on
        restartAdapter();
        restartAdapter(); // always runs
        disableAdapter();
        disableAdapter();
        QCOMPARE(toolRuns(), (QStringList{"enable tap0901_korvex", "restart tap0901_korvex",
                                          "restart tap0901_korvex", "disable tap0901_korvex"}));
        QVERIFY(!QFile::exists(QStringLiteral("planted-tool-ran")));
    }

    void flagBitsPerAdapter()
    {
        QCOMPARE(int(getAdapterFlags(QStringLiteral("tun0"))), 0); // never written
        QVERIFY(setAdapterFlags(QStringLiteral("tun0"), 0));
        QVERIFY(setAdapterFlag(QStringLiteral("tun0"), 1));
        QVERIFY(setAdapterFlag(QStringLiteral("tun0"), 2));
        QVERIFY(clearAdapterFlag(QStringLiteral("tun0"), 1));
        QCOMPARE(int(getAdapterFlags(QStringLiteral("tun0"))), 2);
        QCOMPARE(int(getAdapterFlags(QStringLiteral("tun1"))), 0);
        // Observable by other programs as one byte.
        QFile file(runtime.filePath(QStringLiteral("quillnet/tun0.flags")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(1, '\x02'));
        QVERIFY(setAdapterFlags(QStringLiteral("tun0"), 0));
    }

    void unknownAdapterIsUnreachable_data()
    {
        QTest::addColumn<QString>("adapter");
        QTest::newRow("no tunnel run yet") << QString();
        QTest::newRow("path in the name") << QStringLiteral("../../etc/x");
        QTest::newRow("parent folder") << QStringLiteral("..");
    }

    void unknownAdapterIsUnreachable()
    {
        QFETCH(QString, adapter);
        QCOMPARE(int(getAdapterFlags(adapter)), 0xFF);
        QVERIFY(!setAdapterFlags(adapter, 0));
        QVERIFY(!setAdapterFlag(adapter, 2));
    }

    // One bit of a byte that cannot be read is never changed: the other
    // services' bits would be guessed.
    void unreadableRegisterKeepsItsContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("set");
        QTest::newRow("two bytes, set") << QByteArray("\x01\x01", 2) << true;
        QTest::newRow("two bytes, clear") << QByteArray("\x01\x01", 2) << false;
        QTest::newRow("empty, set") << QByteArray() << true;
        QTest::newRow("empty, clear") << QByteArray() << false;
    }

    void unreadableRegisterKeepsItsContent()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, set);
        QVERIFY(setAdapterFlags(QStringLiteral("tun0"), 0)); // makes the folder
        QFile file(runtime.filePath(QStringLiteral("quillnet/tun0.flags")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        QVERIFY(set ? !setAdapterFlag(QStringLiteral("tun0"), 2)
                    : !clearAdapterFlag(QStringLiteral("tun0"), 1));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
        file.close();
        QVERIFY(setAdapterFlags(QStringLiteral("tun0"), 0));
    }

    // The register lives in the user's own runtime folder; without a usable
    // one it falls back to the working folder, never to a path from the
    // root, and a folder another account could reach is never used.
    void registerFolderIsAlwaysPrivate_data()
    {
        QTest::addColumn<QString>("runtimeDir");
        QTest::addColumn<QString>("expectedFile"); // empty: unreachable
        QTest::newRow("unset") << ""
                               << "tun0.flags";
        QTest::newRow("relative") << "run"
                                  << "tun0.flags";
        QTest::newRow("another user's") << "foreign"
                                        << "tun0.flags";
        QTest::newRow("its place taken by a file") << "taken"
                                                   << "";
    }

    void registerFolderIsAlwaysPrivate()
    {
        QFETCH(QString, runtimeDir);
        QFETCH(QString, expectedFile);
        if (runtimeDir == "foreign" && ::geteuid() != 0)
            QSKIP("needs root to give the folder to another user");
        QTemporaryDir base;
        QDir().mkdir(base.filePath("foreign"));
        if (runtimeDir == "foreign")
            QVERIFY(::chown(QFile::encodeName(base.filePath("foreign")).constData(), 65534,
                            65534) == 0);
        QDir().mkdir(base.filePath("taken"));
        QFile blocker(base.filePath("taken/quillnet"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        if (runtimeDir.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv(
                "XDG_RUNTIME_DIR",
                QFile::encodeName(runtimeDir == "run" ? runtimeDir : base.filePath(runtimeDir)));

        const bool stored = setAdapterFlags(QStringLiteral("tun0"), 2);
        const QString flagPath = AdapterFlagRegister::path(QStringLiteral("tun0"));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/quillnet")));
        if (expectedFile.isEmpty()) {
            QVERIFY(!stored);
            return;
        }
        QVERIFY(stored);
        QCOMPARE(flagPath, QDir::current().filePath(expectedFile));
        QFile::remove(flagPath);
    }
};

QTEST_GUILESS_MAIN(TestAdapterControl)
#include "tst_adaptercontrol.moc"
