#include "EventWait.h"
#include "protection/LeakFirewall.h"
#include "protection/NftRuleset.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

// The firewall as nft applies it, with real traffic between two network
// namespaces of the test's own (private_netns.sh keeps them from the rest
// of the machine and removes them however the test ends):
//
//   user  qnup   10.77.0.2 fd77::2  <->  qnisp 10.77.0.1 fd77::1  outside
//   user  qntun0 10.78.0.2 fd78::2  <->  qnvpn 10.78.0.1 fd78::1  outside
//
// qntun0 stands in for OpenVPN's device: what goes through it reaches the
// outside too, as it would through a tunnel. Outside answers on the VPN
// server's ports, a proxy, a web port and a resolver, and tells which of
// its sockets every packet reached; the user side answers on port 7000.
// nft only ever runs in the user namespace, never in the test's own.
namespace {

const char UplinkDevice[] = "qnup";
const char TunnelDevice[] = "qntun0";

struct Ran
{
    int code = -1;
    QByteArray out;
};

Ran run(const QStringList &command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput()};
}

QStringList lines(const QByteArray &text)
{
    return QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The firewall every case starts from: a UDP server on IPv4, a TCP server
// on IPv6, an HTTP proxy.
NftRuleset labRuleset(const QString &device = QString(), bool tunnelIPv6 = false)
{
    NftRuleset ruleset;
    ruleset.addServer({QHostAddress(QStringLiteral("10.77.0.1")), 1194, QStringLiteral("udp")});
    ruleset.addServer({QHostAddress(QStringLiteral("fd77::1")), 443, QStringLiteral("tcp")});
    ruleset.setProxy(QHostAddress(QStringLiteral("10.77.0.1")), 3128);
    ruleset.setTunnelDevice(device);
    ruleset.setTunnelIPv6(tunnelIPv6);
    return ruleset;
}

} // namespace

class TestLeakFirewall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void letsThroughOnlyWhatIsAllowed_data();
    void letsThroughOnlyWhatIsAllowed();
    void replacesTheTableWithoutAGap();
    void removeLeavesTheNamespaceAsItWas();
    void failureKeepsTheTableInPlace_data();
    void failureKeepsTheTableInPlace();

private:
    QStringList inUser(const QStringList &command) const;
    QStringList inOutside(const QStringList &command) const;
    Ran nft(const QStringList &arguments) const;
    qint64 droppedPackets(const char *counter) const;
    int ourTables() const;
    QString writeScript(const QString &name, const QString &body);
    QString script(const QString &name) const { return scratch.filePath(name); }
    bool startPeer(QProcess &peer, const QStringList &command);
    // What the peers reported arriving since the last call.
    QSet<QString> arrivals();
    // "proto host port ok|blocked" for each target, tried from `side`.
    QStringList probe(const QStringList &side, const QStringList &targets);
    std::pair<bool, QString> settle(LeakFirewall &firewall, const std::function<void()> &request);

    QTemporaryDir scratch;
    QString labPeer;
    QString user;
    QString outside;
    QString baseline;
    QProcess outsidePeer;
    QProcess userPeer;
};

QStringList TestLeakFirewall::inUser(const QStringList &command) const
{
    return QStringList{QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"),
                       user} +
           command;
}

QStringList TestLeakFirewall::inOutside(const QStringList &command) const
{
    return QStringList{QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"),
                       outside} +
           command;
}

Ran TestLeakFirewall::nft(const QStringList &arguments) const
{
    return run(inUser(QStringList{QStringLiteral("nft")} + arguments));
}

qint64 TestLeakFirewall::droppedPackets(const char *counter) const
{
    const Ran listed =
        nft({QStringLiteral("-j"), QStringLiteral("list"), QStringLiteral("counter"),
             QStringLiteral("inet"), QLatin1String(NftRuleset::Table), QLatin1String(counter)});
    const QJsonArray items =
        QJsonDocument::fromJson(listed.out).object().value(QStringLiteral("nftables")).toArray();
    for (const QJsonValue &item : items) {
        const QJsonObject found = item.toObject().value(QStringLiteral("counter")).toObject();
        if (!found.isEmpty())
            return found.value(QStringLiteral("packets")).toInteger();
    }
    return -1;
}

int TestLeakFirewall::ourTables() const
{
    return int(lines(nft({QStringLiteral("list"), QStringLiteral("tables")}).out)
                   .count(QStringLiteral("table inet quillnet")));
}

QString TestLeakFirewall::writeScript(const QString &name, const QString &body)
{
    QFile file(script(name));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray("#!/bin/sh\n") + body.toUtf8() + '\n') < 0)
        return QString();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return file.fileName();
}

bool TestLeakFirewall::startPeer(QProcess &peer, const QStringList &command)
{
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(command.first(), command.mid(1));
    return peer.waitForReadyRead(10000) && peer.readLine().trimmed() == "serving";
}

QSet<QString> TestLeakFirewall::arrivals()
{
    QSet<QString> seen;
    for (QProcess *peer : {&outsidePeer, &userPeer}) {
        while (peer->waitForReadyRead(50)) {
        }
        for (const QString &line : lines(peer->readAllStandardOutput()))
            seen << line.mid(QStringLiteral("arrived ").size());
    }
    return seen;
}

QStringList TestLeakFirewall::probe(const QStringList &side, const QStringList &targets)
{
    QStringList arguments;
    for (const QString &target : targets)
        arguments << target.split(QLatin1Char(' ')).mid(0, 3);
    // Neighbours learnt before count for nothing: discovery must get through
    // the firewall, both ways.
    run(inUser({QStringLiteral("ip"), QStringLiteral("neigh"), QStringLiteral("flush"),
                QStringLiteral("all")}));
    run(inOutside({QStringLiteral("ip"), QStringLiteral("neigh"), QStringLiteral("flush"),
                   QStringLiteral("all")}));
    return lines(run(side +
                     QStringList{QStringLiteral("python3"), labPeer, QStringLiteral("probe")} +
                     arguments)
                     .out);
}

std::pair<bool, QString> TestLeakFirewall::settle(LeakFirewall &firewall,
                                                  const std::function<void()> &request)
{
    QSignalSpy spy(&firewall, &LeakFirewall::finished);
    request();
    if (!spy.isEmpty())
        return {false, QStringLiteral("finished() before the call returned")};
    if (!waitUntil([&] { return !spy.isEmpty(); }, 30000))
        return {false, QStringLiteral("no finished()")};
    return {spy.first().at(0).toBool(), spy.first().at(1).toString()};
}

void TestLeakFirewall::initTestCase()
{
    if (geteuid() != 0)
        QSKIP("network namespaces need root");
    for (const char *tool : {"ip", "nft", "python3"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty() &&
            QStandardPaths::findExecutable(QLatin1String(tool), {QStringLiteral("/usr/sbin")})
                .isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
    }
    QVERIFY(scratch.isValid());
    labPeer = QString::fromLocal8Bit(qgetenv("QUILLNET_SOURCE_DIR")) +
              QStringLiteral("/tests/protection/lab_peer.py");
    QVERIFY2(QFile::exists(labPeer), qPrintable(labPeer));
    user = QStringLiteral("qnfw-user-%1").arg(getpid());
    outside = QStringLiteral("qnfw-out-%1").arg(getpid());

    const QString ip = QStringLiteral("ip");
    const QList<QStringList> setup = {
        {ip, "netns", "add", user},
        {ip, "netns", "add", outside},
        // Addresses usable at once: no duplicate detection to wait for.
        inUser({"sysctl", "-qw", "net.ipv6.conf.all.accept_dad=0",
                "net.ipv6.conf.default.accept_dad=0"}),
        inOutside({"sysctl", "-qw", "net.ipv6.conf.all.accept_dad=0",
                   "net.ipv6.conf.default.accept_dad=0"}),
        {ip, "link", "add", UplinkDevice, "netns", user, "type", "veth", "peer", "name", "qnisp",
         "netns", outside},
        {ip, "link", "add", TunnelDevice, "netns", user, "type", "veth", "peer", "name", "qnvpn",
         "netns", outside},
        {ip, "-n", user, "addr", "add", "10.77.0.2/24", "dev", UplinkDevice},
        {ip, "-n", user, "addr", "add", "fd77::2/64", "dev", UplinkDevice},
        {ip, "-n", user, "addr", "add", "10.78.0.2/24", "dev", TunnelDevice},
        {ip, "-n", user, "addr", "add", "fd78::2/64", "dev", TunnelDevice},
        {ip, "-n", outside, "addr", "add", "10.77.0.1/24", "dev", "qnisp"},
        {ip, "-n", outside, "addr", "add", "fd77::1/64", "dev", "qnisp"},
        {ip, "-n", outside, "addr", "add", "10.78.0.1/24", "dev", "qnvpn"},
        {ip, "-n", outside, "addr", "add", "fd78::1/64", "dev", "qnvpn"},
        {ip, "-n", user, "link", "set", "lo", "up"},
        {ip, "-n", user, "link", "set", UplinkDevice, "up"},
        {ip, "-n", user, "link", "set", TunnelDevice, "up"},
        {ip, "-n", outside, "link", "set", "qnisp", "up"},
        {ip, "-n", outside, "link", "set", "qnvpn", "up"},
    };
    for (const QStringList &command : setup)
        QVERIFY2(run(command).code == 0, qPrintable(command.join(QLatin1Char(' '))));
    // Neighbour discovery speaks from the link-local address, which a link
    // gets a moment after it comes up.
    const QList<QStringList> links = {
        {user, UplinkDevice}, {user, TunnelDevice}, {outside, "qnisp"}, {outside, "qnvpn"}};
    for (const QStringList &link : links) {
        QVERIFY2(waitUntil(
                     [&] {
                         const QByteArray shown = run({ip, "-n", link[0], "-6", "addr", "show",
                                                       "dev", link[1], "scope", "link"})
                                                      .out;
                         return shown.contains("fe80::") && !shown.contains("tentative");
                     },
                     10000),
                 qPrintable(link[1]));
    }

    QVERIFY(!writeScript(QStringLiteral("nft-in-user"),
                         QStringLiteral("exec ip netns exec %1 nft \"$@\"").arg(user))
                 .isEmpty());
    QVERIFY(startPeer(
        outsidePeer,
        inOutside({"python3", "-u", labPeer, "serve", "10.77.0.1,fd77::1,10.78.0.1,fd78::1",
                   "udp:1194", "tcp:443", "tcp:3128", "tcp:8080", "udp:53", "udp:9999"})));
    QVERIFY(startPeer(userPeer, inUser({"python3", "-u", labPeer, "serve",
                                        "127.0.0.1,::1,10.77.0.2,10.78.0.2", "tcp:7000"})));

    baseline = QString::fromUtf8(nft({QStringLiteral("list"), QStringLiteral("ruleset")}).out);
    // Without the table, every way is open: what the cases find blocked is
    // the firewall's doing, not the lab's.
    const QStringList everything = {"udp 10.77.0.1 53 ok", "tcp fd77::1 8080 ok",
                                    "tcp 10.78.0.1 8080 ok", "tcp fd78::1 8080 ok"};
    QCOMPARE(probe(inUser({}), everything), everything);
    QCOMPARE(probe(inOutside({}), {"tcp 10.77.0.2 7000 ok"}), QStringList{"tcp 10.77.0.2 7000 ok"});
    arrivals();
}

void TestLeakFirewall::cleanupTestCase()
{
    for (QProcess *peer : {&outsidePeer, &userPeer}) {
        peer->kill();
        peer->waitForFinished();
    }
    for (const QString &name : {user, outside}) {
        if (!name.isEmpty())
            run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("del"), name});
    }
}

// Each case starts without our table, as a machine does before log-in.
void TestLeakFirewall::cleanup()
{
    if (ourTables() > 0)
        nft({QStringLiteral("delete"), QStringLiteral("table"), QStringLiteral("inet"),
             QLatin1String(NftRuleset::Table)});
    arrivals();
}

void TestLeakFirewall::letsThroughOnlyWhatIsAllowed_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("tunnelIPv6");
    QTest::addColumn<QStringList>("outbound");
    QTest::addColumn<QStringList>("inbound");

    // Through the uplink only the servers and the proxy, in both cases.
    const QStringList uplink = {
        "udp 10.77.0.1 1194 ok",    "tcp fd77::1 443 ok",        "tcp 10.77.0.1 3128 ok",
        "udp 10.77.0.1 53 blocked", "udp fd77::1 53 blocked",    "tcp 10.77.0.1 8080 blocked",
        "tcp fd77::1 8080 blocked", "tcp 10.77.0.1 443 blocked", "udp 10.77.0.1 9999 blocked",
        "tcp 127.0.0.1 7000 ok",    "tcp ::1 7000 ok",
    };
    QTest::newRow("before the tunnel is up")
        << QString() << false
        << uplink + QStringList{"tcp 10.78.0.1 8080 blocked", "udp 10.78.0.1 53 blocked",
                                "tcp fd78::1 8080 blocked"}
        << QStringList{"tcp 10.77.0.2 7000 blocked", "tcp 10.78.0.2 7000 blocked"};
    QTest::newRow("tunnel carrying IPv4")
        << TunnelDevice << false
        << uplink + QStringList{"tcp 10.78.0.1 8080 ok", "udp 10.78.0.1 53 ok",
                                "tcp fd78::1 8080 blocked"}
        << QStringList{"tcp 10.77.0.2 7000 blocked", "tcp 10.78.0.2 7000 ok"};
    QTest::newRow("tunnel carrying IPv6 too")
        << TunnelDevice << true
        << uplink +
               QStringList{"tcp 10.78.0.1 8080 ok", "udp 10.78.0.1 53 ok", "tcp fd78::1 8080 ok"}
        << QStringList{"tcp 10.77.0.2 7000 blocked", "tcp 10.78.0.2 7000 ok"};
}

void TestLeakFirewall::letsThroughOnlyWhatIsAllowed()
{
    QFETCH(QString, device);
    QFETCH(bool, tunnelIPv6);
    QFETCH(QStringList, outbound);
    QFETCH(QStringList, inbound);

    LeakFirewall firewall;
    firewall.setProgram(script(QStringLiteral("nft-in-user")));
    const auto [ok, detail] =
        settle(firewall, [&] { firewall.apply(labRuleset(device, tunnelIPv6)); });
    QVERIFY2(ok, qPrintable(detail));

    QCOMPARE(probe(inUser({}), outbound), outbound);
    QCOMPARE(probe(inOutside({}), inbound), inbound);
    // What was blocked never arrived, not only its answer: the peers saw
    // exactly the packets of the ways that are open.
    QSet<QString> open;
    for (const QString &result : outbound + inbound) {
        if (result.endsWith(QLatin1String(" ok")))
            open << result.chopped(3);
    }
    QCOMPARE(arrivals(), open);
    QVERIFY(droppedPackets(NftRuleset::DroppedOut) > 0);
    QVERIFY(droppedPackets(NftRuleset::DroppedIn) > 0);
}

void TestLeakFirewall::replacesTheTableWithoutAGap()
{
    LeakFirewall firewall;
    firewall.setProgram(script(QStringLiteral("nft-in-user")));
    QVERIFY(settle(firewall, [&] { firewall.apply(labRuleset()); }).first);

    // A steady stream to a blocked port: any moment without the table would
    // let some of it through.
    QProcess flood;
    const QStringList flooding = inUser({"python3", "-u", labPeer, "flood", "10.77.0.1", "9999"});
    flood.start(flooding.first(), flooding.mid(1));
    QVERIFY(flood.waitForReadyRead(10000));
    QVERIFY(waitUntil([&] { return droppedPackets(NftRuleset::DroppedOut) > 100; }, 10000));

    QSignalSpy finished(&firewall, &LeakFirewall::finished);
    const int rounds = 4;
    for (int round = 1; round <= rounds; ++round) {
        // Queued while the one before runs: each ends on its own, in order.
        for (int i = 0; i < LeakFirewall::MaxPending; ++i)
            firewall.apply(labRuleset(i % 2 ? QString::fromLatin1(TunnelDevice) : QString()));
        QVERIFY(
            waitUntil([&] { return finished.size() == round * LeakFirewall::MaxPending; }, 60000));
        QCOMPARE(ourTables(), 1);
    }
    for (const QList<QVariant> &result : std::as_const(finished))
        QVERIFY2(result.at(0).toBool(), qPrintable(result.at(1).toString()));
    flood.kill();
    flood.waitForFinished();
    QCOMPARE(arrivals(), QSet<QString>());

    // The new table counts from zero.
    QVERIFY(droppedPackets(NftRuleset::DroppedOut) > 0);
    QVERIFY(settle(firewall, [&] { firewall.apply(labRuleset()); }).first);
    QCOMPARE(droppedPackets(NftRuleset::DroppedOut), 0);
    QCOMPARE(ourTables(), 1);
}

void TestLeakFirewall::removeLeavesTheNamespaceAsItWas()
{
    LeakFirewall firewall;
    firewall.setProgram(script(QStringLiteral("nft-in-user")));
    QVERIFY(settle(firewall, [&] { firewall.apply(labRuleset(TunnelDevice)); }).first);
    QCOMPARE(ourTables(), 1);

    for (int twice = 0; twice < 2; ++twice) {
        const auto [ok, detail] = settle(firewall, [&] { firewall.remove(); });
        QVERIFY2(ok, qPrintable(detail));
        QCOMPARE(QString::fromUtf8(nft({QStringLiteral("list"), QStringLiteral("ruleset")}).out),
                 baseline);
    }
    const QStringList open = {"udp 10.77.0.1 53 ok", "tcp fd77::1 8080 ok"};
    QCOMPARE(probe(inUser({}), open), open);
}

void TestLeakFirewall::failureKeepsTheTableInPlace_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("detail");

    QTest::newRow("refused value") << "nft-in-user"
                                   << "qntun0;"
                                   << "ruleset refused: tunnel device";
    QTest::newRow("no program") << "no-such-nft" << TunnelDevice << "cannot run";
    QTest::newRow("nft rejects the text") << "nft-rejecting" << TunnelDevice << "syntax error";
    QTest::newRow("endless error output") << "nft-chatty" << TunnelDevice << "xxxx";
}

void TestLeakFirewall::failureKeepsTheTableInPlace()
{
    QFETCH(QString, program);
    QFETCH(QString, device);
    QFETCH(QString, detail);
    writeScript(
        QStringLiteral("nft-rejecting"),
        QStringLiteral("{ cat; echo 'this is no rule'; } | ip netns exec %1 nft \"$@\"").arg(user));
    writeScript(QStringLiteral("nft-chatty"),
                QStringLiteral("head -c 4000000 /dev/zero | tr '\\0' x >&2; exit 1"));

    LeakFirewall firewall;
    firewall.setProgram(script(QStringLiteral("nft-in-user")));
    QVERIFY(settle(firewall, [&] { firewall.apply(labRuleset()); }).first);
    const QStringList stateless = {QStringLiteral("-s"), QStringLiteral("list"),
                                   QStringLiteral("ruleset")};
    const QByteArray before = nft(stateless).out;

    firewall.setProgram(script(program));
    const auto [ok, said] = settle(firewall, [&] { firewall.apply(labRuleset(device)); });
    QVERIFY(!ok);
    QVERIFY2(said.contains(detail), qPrintable(said));
    QVERIFY(said.size() <= LeakFirewall::MaxErrorOutput);
    QCOMPARE(nft(stateless).out, before);
}

QTEST_GUILESS_MAIN(TestLeakFirewall)
#include "tst_leakfirewall.moc"
