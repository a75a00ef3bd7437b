// The process side of WebFilter against stand-in programs: the signals that
// bracket a run, the log, and the once-per-start bind failure report.

#include "TestFiles.h"
#include "webfilter/WebFilter.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

const char bindLine[] = "2026-12-07 09:40:31.529 7f62a89db080 Fatal error: can't bind to "
                        "127.0.0.1:10080: There may be another Privoxy or some other proxy "
                        "running on port 10080\n";

} // namespace

class TestWebFilterProcess : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void bindFailureReportedOncePerStart();
    void logKeepsLinesUpToZeroByte();
    void secondStartKeepsTheRunningProcess();
    void oneStoppedPerRun_data();
    void oneStoppedPerRun();

private:
    // Installs a shell script as the Privoxy program.
    void installProgram(const QByteArray &script);

    std::unique_ptr<QTemporaryDir> dir;
};

void TestWebFilterProcess::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
    QVERIFY(QDir().mkpath("privoxy"));
}

void TestWebFilterProcess::installProgram(const QByteArray &script)
{
    QFile file("privoxy/Quillnet_webfilter");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + script);
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
}

void TestWebFilterProcess::bindFailureReportedOncePerStart()
{
    // The error twice in one run, as from a Privoxy slow to die; it keeps
    // running until stopped, so the stop is ours.
    installProgram(QByteArray("printf '%s' \"") + bindLine + "\"\nprintf '%s' \"" + bindLine +
                   "\"\nexec sleep 30\n");
    WebFilter filter;
    QSignalSpy started(&filter, &WebFilter::privoxyStarted);
    QSignalSpy stopped(&filter, &WebFilter::privoxyStopped);
    QStringList reports;
    // Like the message box: an event loop runs while the report is open, so
    // more output and the process's end arrive inside it.
    connect(&filter, &WebFilter::bindError, this, [&](const QString &title, const QString &text) {
        reports << title + "|" + text;
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    });

    for (int run = 1; run <= 2; ++run) {
        filter.startPrivoxy();
        QTRY_COMPARE(stopped.count(), run);
        QCOMPARE(started.count(), run);
        QCOMPARE(reports.size(), run);
        QCOMPARE(filter.process()->state(), QProcess::NotRunning);
    }
    QCOMPARE(reports.first(), "Quillnet|Web filtering proxy couldn't bind to port 10080.\n"
                              "There may be other proxy running.");
    // The log collects every run of this filter.
    QCOMPARE(readAll("log-privoxy.txt"), QByteArray(bindLine).repeated(4));
}

void TestWebFilterProcess::logKeepsLinesUpToZeroByte()
{
    installProgram("printf 'first\\n'\n"
                   "printf 'sec\\000ond\\n' >&2\n"
                   "printf 'Fatal error: can'\\''t bind to nothing'\n");
    {
        QFile old("log-privoxy.txt");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("from an earlier client\n");
    }
    WebFilter filter;
    QSignalSpy stopped(&filter, &WebFilter::privoxyStopped);
    QSignalSpy reports(&filter, &WebFilter::bindError);
    filter.startPrivoxy();
    QTRY_COMPARE(stopped.count(), 1);
    // Standard error is merged in; an unfinished last line is never read.
    QCOMPARE(readAll("log-privoxy.txt"), QByteArray("first\nsec"));
    QCOMPARE(reports.count(), 0);
}

void TestWebFilterProcess::secondStartKeepsTheRunningProcess()
{
    installProgram("exec sleep 30\n");
    WebFilter filter;
    QSignalSpy started(&filter, &WebFilter::privoxyStarted);
    QSignalSpy stopped(&filter, &WebFilter::privoxyStopped);

    filter.stopPrivoxy();
    filter.startPrivoxy();
    QVERIFY(started.wait());
    const qint64 pid = filter.process()->processId();
    filter.startPrivoxy();
    QTest::qWait(200);
    QCOMPARE(started.count(), 1);
    QCOMPARE(filter.process()->processId(), pid);

    filter.stopPrivoxy();
    QTRY_COMPARE(stopped.count(), 1);
    filter.stopPrivoxy();
    QTest::qWait(200);
    QCOMPARE(stopped.count(), 1);
}

void TestWebFilterProcess::oneStoppedPerRun_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("killByOwner");
    QTest::newRow("normal exit") << QByteArray("exit 0\n") << false;
    QTest::newRow("failure exit") << QByteArray("exit 1\n") << false;
    QTest::newRow("killed by owner") << QByteArray("exec sleep 30\n") << true;
}

void TestWebFilterProcess::oneStoppedPerRun()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, killByOwner);
    installProgram(script);
    WebFilter filter;
    QSignalSpy started(&filter, &WebFilter::privoxyStarted);
    QSignalSpy stopped(&filter, &WebFilter::privoxyStopped);
    filter.startPrivoxy();
    QVERIFY(started.wait());
    if (killByOwner)
        filter.process()->kill();
    QTRY_COMPARE(stopped.count(), 1);
    QTest::qWait(200);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(started.count(), 1);
}

QTEST_GUILESS_MAIN(TestWebFilterProcess)
#include "tst_webfilterprocess.moc"
