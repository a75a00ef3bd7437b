// The start-at-login entry as a desktop session sees it: written to and
// removed from the user's autostart folder, valid for desktop-file-validate,
// and started by a session runner (tests/peers/xdg_autostart.py: the
// Desktop Entry rules, no shell) and by GLib's `gio launch` — the program
// itself in its own folder, or an installed tree's real launcher, which
// starts the program in the user's working folder.
#include "TestFiles.h"
#include "core/Installation.h"
#include "platform/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestAutostartEntry : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;

    QString at(const QString &relative) const { return scratch.filePath(relative); }
    QString marker() const { return at(QStringLiteral("started.txt")); }

    // A program that notes the folder it started in.
    static bool writeProgram(const QString &path, const QByteArray &script)
    {
        QFile file(path);
        return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
               file.write(script) == script.size() &&
               file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool writeStandIn(const QString &path) const
    {
        return writeProgram(path, "#!/bin/sh\npwd > \"$MARKER\"\n");
    }

    // Places a client at `program` (relative to the scratch folder), with
    // the real launcher when `launcher`; its Installation.
    Installation placeClient(const QString &program, bool launcher) const
    {
        const QString path = at(program);
        if (!writeStandIn(path))
            return Installation(QString());
        if (launcher) {
            const QString launcherPath =
                QDir::cleanPath(path + QStringLiteral("/../../../bin/quillnet"));
            writeProgram(launcherPath, readAll(qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                                               QStringLiteral("/resources/launcher/quillnet.sh")));
        }
        return Installation(path);
    }

    // A session's start: what its runner said of each entry.
    QStringList runSession() const
    {
        QFile::remove(marker());
        QProcess runner;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MARKER"), marker());
        runner.setProcessEnvironment(env);
        runner.start(QStringLiteral("python3"),
                     {qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                          QStringLiteral("/tests/peers/xdg_autostart.py"),
                      QStringLiteral("--wait"), QStringLiteral("20")});
        if (!runner.waitForFinished(60000))
            return {QStringLiteral("the runner did not end")};
        return QString::fromUtf8(runner.readAllStandardOutput() + runner.readAllStandardError())
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    bool sessionStartsIt() const
    {
        const QStringList said = runSession();
        if (said.size() == 1 &&
            said.first().startsWith(QLatin1String("started quillnet.desktop: ")))
            return true;
        qWarning("%s", qPrintable(said.join(QLatin1Char('\n'))));
        return false;
    }

    static QString validationProblems(const QString &path)
    {
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {path});
        if (!validate.waitForFinished(30000))
            return QStringLiteral("desktop-file-validate did not end");
        const QString said =
            QString::fromUtf8(validate.readAllStandardOutput() + validate.readAllStandardError());
        return validate.exitCode() == 0 && said.isEmpty() ? QString() : said;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        // The session's folders are the test's: the machine's own autostart
        // programs stay where they are.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(at(QStringLiteral("config"))));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(at(QStringLiteral("system"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(at(QStringLiteral("data"))));
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty(),
                 "desktop-file-validate is missing (scripts/install-deps installs it)");
        QCOMPARE(AutostartEntry::path(), at(QStringLiteral("config/autostart/quillnet.desktop")));
    }

    void cleanup() { QDir(at(QStringLiteral("config"))).removeRecursively(); }

    void sessionStartsTheClient_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("launcher");
        QTest::addColumn<QString>("startsIn");
        // Characters that the Exec line must quote or escape.
        QTest::newRow("own folder")
            << "own \"apps\" $HOME `x`\\y/quillnet" << false << "work folder";
        QTest::newRow("installed tree")
            << "root/usr/lib/quillnet/quillnet" << true << "data/quillnet";
    }

    void sessionStartsTheClient()
    {
        QFETCH(QString, program);
        QFETCH(bool, launcher);
        QFETCH(QString, startsIn);
        const Installation client = placeClient(program, launcher);
        QCOMPARE(client.hasLauncher(), launcher);
        QVERIFY(QDir().mkpath(at(QStringLiteral("work folder"))));
        QString error;
        QVERIFY2(AutostartEntry::enable(client, at(QStringLiteral("work folder")), &error),
                 qPrintable(error));
        QVERIFY(AutostartEntry::isEnabled());
        const QString problems = validationProblems(AutostartEntry::path());
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        // The package's entry: its names, comment and icon in every language.
        const QStringList entry = readLines(AutostartEntry::path());
        for (const QString &line : readLines(qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
                                             QStringLiteral("/resources/desktop/quillnet.desktop")))
            QVERIFY2(line.startsWith(QLatin1String("Exec=")) || entry.contains(line),
                     qPrintable(line));

        QVERIFY(sessionStartsIt());
        QCOMPARE(readLines(marker()), QStringList{at(startsIn)});
        // GLib's reading of the entry, which GNOME's session uses, agrees.
        QFile::remove(marker());
        QProcess gio;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MARKER"), marker());
        gio.setProcessEnvironment(env);
        gio.start(QStringLiteral("gio"), {QStringLiteral("launch"), AutostartEntry::path()});
        QVERIFY(gio.waitForFinished(30000));
        QTRY_COMPARE(readLines(marker()), QStringList{at(startsIn)});

        // Removed with its package or its folder: the session passes over
        // the entry that stays behind.
        QVERIFY(QFile::remove(client.launcher()));
        QCOMPARE(runSession(), QStringList{"skipped quillnet.desktop: TryExec program missing"});
        QVERIFY(!QFile::exists(marker()));
    }

    // What the desktop's own tools do to the entry is what the client
    // shows, and a session starts nothing.
    void desktopToolsTurnItOff_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("removed") << QString() << QString();
        QTest::newRow("hidden") << "X-GNOME-Autostart-enabled=true"
                                << "X-GNOME-Autostart-enabled=true\nHidden=true";
        QTest::newRow("turned off") << "X-GNOME-Autostart-enabled=true"
                                    << "X-GNOME-Autostart-enabled=false";
    }

    void desktopToolsTurnItOff()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        const Installation client = placeClient(QStringLiteral("own/quillnet"), false);
        QVERIFY(AutostartEntry::enable(client, at(QStringLiteral("own"))));
        QVERIFY(sessionStartsIt());
        if (from.isEmpty()) {
            QVERIFY(QFile::remove(AutostartEntry::path()));
        } else {
            const QString edited =
                QString::fromUtf8(readAll(AutostartEntry::path())).replace(from, to);
            QFile file(AutostartEntry::path());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(edited.toUtf8());
        }
        QVERIFY(!AutostartEntry::isEnabled());
        const QStringList said = runSession();
        QVERIFY2(!said.join(QLatin1Char('\n')).contains(QLatin1String("started")),
                 qPrintable(said.join(QLatin1Char('\n'))));
        QVERIFY(!QFile::exists(marker()));
    }

    // Unticking removes this entry, and no other of the user's.
    void disableRemovesOnlyThisEntry()
    {
        const QString folder = QFileInfo(AutostartEntry::path()).absolutePath();
        QVERIFY(QDir().mkpath(folder));
        const QByteArray other = "[Desktop Entry]\nType=Application\nName=Other\nExec=true\n";
        QVERIFY(writeProgram(folder + QStringLiteral("/other.desktop"), other));
        QVERIFY(writeProgram(folder + QStringLiteral("/quillnet.desktop.orig"), other));
        QVERIFY(AutostartEntry::enable(placeClient(QStringLiteral("own/quillnet"), false),
                                       at(QStringLiteral("own"))));
        QVERIFY(AutostartEntry::disable());
        QVERIFY(!QFile::exists(AutostartEntry::path()));
        QVERIFY(AutostartEntry::disable()); // nothing left to remove
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{"other.desktop", "quillnet.desktop.orig"}));
        QCOMPARE(readAll(folder + QStringLiteral("/other.desktop")), other);
    }

    void enableRefused_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("autostartIsAFile");
        QTest::newRow("no autostart folder can be made") << "own/quillnet" << true;
        // No line of the entry could carry it.
        QTest::newRow("a line break in the path") << "own\nline/quillnet" << false;
        // GNOME's sessions would look for the program under another name.
        QTest::newRow("a '%' in the path") << "own 50%/quillnet" << false;
    }

    void enableRefused()
    {
        QFETCH(QString, program);
        QFETCH(bool, autostartIsAFile);
        if (autostartIsAFile)
            QVERIFY(writeProgram(at(QStringLiteral("config/autostart")), "not a folder"));
        QString error;
        QVERIFY(
            !AutostartEntry::enable(Installation(at(program)), at(QStringLiteral("own")), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!AutostartEntry::isEnabled());
        QVERIFY(!QFileInfo::exists(AutostartEntry::path()));
    }
};

QTEST_GUILESS_MAIN(TestAutostartEntry)
#include "tst_autostartentry.moc"
