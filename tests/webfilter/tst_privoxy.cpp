// Real Privoxy, started through WebFilter from a copy of the staged app
// folder's "privoxy/", between curl and a server that echoes the request
// headers it receives.

#include "AgentExamples.h"
#include "core/Deployment.h"
#include "peers/LoopbackPorts.h"
#include "platform/OsToken.h"
#include "webfilter/WebFilter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What a browser on this machine sends.
QString machineAgent()
{
    return "Mozilla/5.0 (X11; " + currentOsToken() + "; rv:109.0) Gecko/20100101 Firefox/115.0";
}

struct Fetched
{
    int status = 0;
    QByteArray responseHeaders;
    // The request headers as the server received them, one per line.
    QByteArray requestHeaders;
};

bool portOpen()
{
    return LoopbackPorts::listening(Deployment::current().webFilterPort);
}

} // namespace

class TestPrivoxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void adverts_data();
    void adverts();
    void cookies_data();
    void cookies();
    void userAgent_data();
    void userAgent();
    void paranoidHeaders_data();
    void paranoidHeaders();
    void changesWithinOneSecondTakeEffect();
    void filteringRunNeverFailed();
    void everyReferencedFilterIsDeclared();
    void stopEndsWithSigterm();
    void killedProcessStopsOnce();
    void bindFailureStopsAndReportsOnce();

private:
    bool startFilter(WebFilter &filter);
    Fetched fetch(const QString &path, const QStringList &curlArgs = {});

    QTemporaryDir dir;
    QProcess echo;
    quint16 echoPort = 0;
    // The instance the filtering cases share; it is never restarted.
    std::unique_ptr<WebFilter> filter;
    qint64 filterPid = 0;
};

void TestPrivoxy::initTestCase()
{
    const QString staged = qEnvironmentVariable("QUILLNET_APP_DIR") + "/privoxy/";
    if (!QFile::exists(staged + "Quillnet_webfilter"))
        QSKIP("Privoxy is not installed (scripts/install-deps installs it)");
    QVERIFY(dir.isValid());
    // On a free port, beside whatever this machine runs.
    QFile deployment(dir.filePath("deployment.ini"));
    QVERIFY(deployment.open(QIODevice::WriteOnly));
    deployment.write(QByteArray("web_filter_port = ") +
                     QByteArray::number(LoopbackPorts::unused()) + '\n');
    deployment.close();
    qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(deployment.fileName()));
    QVERIFY(!portOpen());

    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(QDir().mkpath("privoxy"));
    for (const QString &name : QDir(staged).entryList(QDir::Files))
        QVERIFY(QFile::copy(staged + name, "privoxy/" + name));

    echo.start("python3",
               {qEnvironmentVariable("QUILLNET_SOURCE_DIR") + "/tests/peers/header_echo.py"});
    QVERIFY(echo.waitForReadyRead(5000));
    echoPort = echo.readLine().trimmed().toUShort();
    QVERIFY(echoPort != 0);

    filter = std::make_unique<WebFilter>();
    filter->updateActionFile(true, true, false, {}, {});
    QVERIFY(startFilter(*filter));
    filterPid = filter->process()->processId();
}

void TestPrivoxy::cleanupTestCase()
{
    filter.reset();
    if (echo.state() != QProcess::NotRunning) {
        echo.kill();
        echo.waitForFinished();
    }
}

bool TestPrivoxy::startFilter(WebFilter &filter)
{
    QSignalSpy started(&filter, &WebFilter::privoxyStarted);
    filter.startPrivoxy();
    if (!started.wait(5000))
        return false;
    for (int i = 0; i < 50; ++i) {
        if (portOpen())
            return true;
        QTest::qWait(20);
    }
    return false;
}

Fetched TestPrivoxy::fetch(const QString &path, const QStringList &curlArgs)
{
    QProcess curl;
    curl.start(
        "curl",
        QStringList{"-s", "-D", "-", "--max-time", "10", "-x",
                    QString("http://127.0.0.1:%1").arg(Deployment::current().webFilterPort)} +
            curlArgs + QStringList{QString("http://127.0.0.1:%1%2").arg(echoPort).arg(path)});
    Fetched result;
    if (!curl.waitForFinished(15000) || curl.exitCode() != 0)
        return result;
    const QByteArray out = curl.readAllStandardOutput();
    const int split = out.indexOf("\r\n\r\n");
    result.responseHeaders = out.left(split);
    result.requestHeaders = out.mid(split + 4);
    result.status = result.responseHeaders.split(' ').value(1).toInt();
    return result;
}

void TestPrivoxy::adverts_data()
{
    QTest::addColumn<bool>("block");
    QTest::addColumn<int>("status");
    QTest::newRow("blocked") << true << 403;
    QTest::newRow("allowed") << false << 200;
}

void TestPrivoxy::adverts()
{
    QFETCH(bool, block);
    QFETCH(int, status);
    filter->updateActionFile(block, true, false, {}, {});
    const Fetched advert = fetch("/phpads/banner.html");
    QCOMPARE(advert.status, status);
    // The stock block page, rendered from Debian's templates.
    if (block)
        QVERIFY(advert.requestHeaders.contains("<title>Request blocked (Privoxy"));
    QCOMPARE(fetch("/article.html").status, 200);
}

void TestPrivoxy::cookies_data()
{
    QTest::addColumn<bool>("crunch");
    QTest::newRow("crunched") << true;
    QTest::newRow("kept") << false;
}

void TestPrivoxy::cookies()
{
    QFETCH(bool, crunch);
    filter->updateActionFile(true, crunch, false, {}, {});
    const Fetched page = fetch("/", {"-H", "Cookie: session=42"});
    QCOMPARE(page.status, 200);
    QCOMPARE(page.requestHeaders.contains("Cookie: session=42"), !crunch);
    QCOMPARE(page.responseHeaders.contains("Set-Cookie: echo=1"), !crunch);
}

void TestPrivoxy::userAgent_data()
{
    QTest::addColumn<QStringList>("os");
    QTest::addColumn<QString>("browser");
    QTest::addColumn<QString>("agent"); // empty: no User-Agent header at all

    const QString token = currentOsToken();
    const QString machine = machineAgent();
    QTest::newRow("ie xp") << xp << ie << "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
    QTest::newRow("ie vista") << vista << ie
                              << "Mozilla/5.0 (compatible; MSIE 7.0; Windows NT 6.0)";
    QTest::newRow("firefox linux") << gnuLinux << firefox
                                   << "Mozilla/5.0 (Linux i686; U; X11; en-US; rv:1.8.1.2) "
                                      "Gecko/20070219 Firefox/2.0.0.2";
    QTest::newRow("opera xp") << xp << opera << "Opera/9.10 (Windows NT 5.1; U; en)";
    QTest::newRow("konqueror mac")
        << mac << konqueror
        << "Mozilla/5.0 (compatible; Konqueror/3.5; Macintosh) KHTML/3.5.6 (like Gecko)";
    QTest::newRow("safari mac") << mac << safari
                                << "Mozilla/5.0 (Intel Mac OS X; U; Macintosh; en-us) "
                                   "AppleWebKit/418.9.1 (KHTML, like Gecko) Safari/419.3";
    QTest::newRow("opera, os unchanged")
        << QStringList() << opera << "Opera/9.10 (" + token + "; X11; U; en)";
    QTest::newRow("bare os") << xp << "-"
                             << "Windows NT 5.1";
    QTest::newRow("agent none") << noOs << "-" << QString();
    // The header filters rewrite what this machine's browsers send.
    QTest::newRow("filter winxp")
        << xp << QString()
        << "Mozilla/5.0 (Windows; Windows NT 5.1; rv:109.0) Gecko/20100101 Firefox/115.0";
    QTest::newRow("filter vista")
        << vista << QString()
        << "Mozilla/5.0 (Windows; Windows NT 6.0; rv:109.0) Gecko/20100101 Firefox/115.0";
    QTest::newRow("filter linux")
        << gnuLinux << QString()
        << "Mozilla/5.0 (X11; Linux i686; rv:109.0) Gecko/20100101 Firefox/115.0";
    QTest::newRow("filter mac")
        << mac << QString()
        << "Mozilla/5.0 (Macintosh; Intel Mac OS X; rv:109.0) Gecko/20100101 Firefox/115.0";
    QTest::newRow("filter none") << noOs << QString()
                                 << "Mozilla/5.0 (-; -; rv:109.0) Gecko/20100101 Firefox/115.0";
    QTest::newRow("unchanged") << QStringList() << QString() << machine;
}

void TestPrivoxy::userAgent()
{
    QFETCH(QStringList, os);
    QFETCH(QString, browser);
    QFETCH(QString, agent);
    filter->updateActionFile(true, true, false, os, browser);
    const Fetched page = fetch("/", {"-A", machineAgent()});
    QCOMPARE(page.status, 200);
    QByteArrayList agents;
    for (const QByteArray &line : page.requestHeaders.split('\n')) {
        if (line.startsWith("User-Agent:"))
            agents << line;
    }
    if (agent.isEmpty())
        QCOMPARE(agents, QByteArrayList());
    else
        QCOMPARE(agents, QByteArrayList({"User-Agent: " + agent.toUtf8()}));
}

void TestPrivoxy::paranoidHeaders_data()
{
    QTest::addColumn<bool>("paranoid");
    QTest::newRow("paranoid") << true;
    QTest::newRow("plain") << false;
}

void TestPrivoxy::paranoidHeaders()
{
    QFETCH(bool, paranoid);
    filter->updateActionFile(true, true, paranoid, {}, {});
    const QString self = QString("http://127.0.0.1:%1/previous").arg(echoPort);
    const Fetched page = fetch("/", {"-H", "Accept-Language: cs", "-H", "Cache-Control: no-cache",
                                     "-e", self, "-H", "X-Kept: yes"});
    QCOMPARE(page.status, 200);
    for (const char *header : {"Accept: ", "Accept-Language: ", "Cache-Control: ", "Referer: "})
        QVERIFY2(page.requestHeaders.contains(header) != paranoid, header);
    QVERIFY(page.requestHeaders.contains("X-Kept: yes"));
}

void TestPrivoxy::changesWithinOneSecondTakeEffect()
{
    // Privoxy re-reads by modification time in whole seconds.
    for (int round = 0; round < 3; ++round) {
        filter->updateActionFile(true, true, false, {}, {});
        QCOMPARE(fetch("/phpads/a.html").status, 403);
        filter->updateActionFile(false, true, false, {}, {});
        QCOMPARE(fetch("/phpads/a.html").status, 200);
    }
}

void TestPrivoxy::filteringRunNeverFailed()
{
    // Every filtering case ran on the first instance: each changed file was
    // re-read, none was fatal, and nothing in them or what they refer to was
    // rejected.
    QCOMPARE(filter->process()->state(), QProcess::Running);
    QCOMPARE(filter->process()->processId(), filterPid);
    QTest::qWait(100); // takes in what Privoxy printed last
    filter.reset();
    QFile log("log-privoxy.txt");
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QVERIFY(text.contains("Info: Privoxy version"));
    QVERIFY2(!text.contains("Error"), text.constData());
}

void TestPrivoxy::everyReferencedFilterIsDeclared()
{
    // Privoxy ignores an action naming an unknown filter without a word, so
    // the names are checked against the filter files config.txt loads.
    filter = std::make_unique<WebFilter>();
    filter->updateActionFile(false, false, true, QStringList{"-", "-", "os-none"}, QString());
    filter->startPrivoxy(); // writes the filter file
    QVERIFY(QTest::qWaitFor([&] { return filter->process()->state() == QProcess::Running; }));
    filter.reset();

    auto read = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QSet<QString> declared;
    const QRegularExpression filterFile("^filterfile +(\\S+)$",
                                        QRegularExpression::MultilineOption);
    const QRegularExpression declaration("^(?:CLIENT-HEADER-)?FILTER: +(\\S+)",
                                         QRegularExpression::MultilineOption);
    for (const auto &file : filterFile.globalMatch(read("privoxy/config.txt"))) {
        const QString path =
            file.captured(1).startsWith('/') ? file.captured(1) : "privoxy/" + file.captured(1);
        const QString text = read(path);
        QVERIFY2(!text.isEmpty(), qPrintable(path));
        for (const auto &name : declaration.globalMatch(text))
            declared << name.captured(1);
    }
    const QRegularExpression reference("filter\\{([^}]+)\\}");
    QStringList referenced;
    for (const auto &name : reference.globalMatch(read("privoxy/quillnet.action")))
        referenced << name.captured(1);
    QCOMPARE(referenced, QStringList({"content-cookies", "banners-by-size", "banners-by-link",
                                      "os-none", "hdr-paranoid"}));
    for (const QString &name : referenced)
        QVERIFY2(declared.contains(name), qPrintable(name));
}

void TestPrivoxy::stopEndsWithSigterm()
{
    WebFilter own;
    QSignalSpy stopped(&own, &WebFilter::privoxyStopped);
    QVERIFY(startFilter(own));
    own.stopPrivoxy();
    QVERIFY(stopped.wait(5000));
    QCOMPARE(own.process()->exitStatus(), QProcess::NormalExit);
    QCOMPARE(own.process()->exitCode(), 15);
    QTest::qWait(200);
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!portOpen());
}

void TestPrivoxy::killedProcessStopsOnce()
{
    WebFilter own;
    QSignalSpy stopped(&own, &WebFilter::privoxyStopped);
    QVERIFY(startFilter(own));
    own.process()->kill();
    QVERIFY(stopped.wait(5000));
    QTest::qWait(200);
    QCOMPARE(stopped.count(), 1);
}

void TestPrivoxy::bindFailureStopsAndReportsOnce()
{
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost, Deployment::current().webFilterPort));
    WebFilter own;
    QSignalSpy started(&own, &WebFilter::privoxyStarted);
    QSignalSpy stopped(&own, &WebFilter::privoxyStopped);
    QSignalSpy reports(&own, &WebFilter::bindError);
    for (int run = 1; run <= 2; ++run) {
        own.startPrivoxy();
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), run, 5000);
        QCOMPARE(started.count(), run);
        QCOMPARE(reports.count(), run);
    }
    QFile log("log-privoxy.txt");
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("Fatal error: can't bind to 127.0.0.1:" +
                                   QByteArray::number(Deployment::current().webFilterPort)));
}

QTEST_GUILESS_MAIN(TestPrivoxy)
#include "tst_privoxy.moc"
