// Throughput of the mail proxy once the user has chosen "send normally",
// side by side with a plain TCP forwarder (socat) in front of the same
// discarding SMTP sink; runs alternate between the two. The proxy runs in a
// process of its own (smtp_proxy_bench_proxy): its peak resident memory
// (VmHWM, reset before each message) is what the proxy needed to pass that
// message on, the Qt libraries and the idle process included.
//
// A second part sends messages whose header is large (many trace fields)
// and whose body is small: the proxy holds such a header whole before the
// decision, so its time per KiB of header must stay flat as the header grows.
//
// Usage: smtp_proxy_bench [runs]   (default 3 of each, for 5 MB and 50 MB)
#include "BenchSupport.h"
#include "ChildProcess.h"
#include "SmtpRelayPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>

namespace {

const int TimeoutMs = 60000;
const qint64 WriteAhead = 4 * 1024 * 1024;

// One SMTP reply (all its lines); empty after a time-out or a cut.
QByteArray readReply(QTcpSocket &socket)
{
    QByteArray reply;
    for (;;) {
        while (!socket.canReadLine()) {
            if (!socket.waitForReadyRead(TimeoutMs))
                return QByteArray();
        }
        const QByteArray line = socket.readLine();
        reply += line;
        if (line.size() < 4 || line.at(3) != '-')
            return reply;
    }
}

bool command(QTcpSocket &socket, const QByteArray &line, const char *expected)
{
    socket.write(line);
    return readReply(socket).startsWith(expected);
}

// One megabyte of body lines, none of them starting with a dot.
QByteArray bodyBlock()
{
    QByteArray block;
    while (block.size() < 1024 * 1024)
        block += QByteArray(76, 'x') + "\r\n";
    return block.left(1024 * 1024 / 78 * 78);
}

// Trace fields of about `bytes` in all, as many hops would add them.
QByteArray traceFields(int bytes)
{
    QByteArray fields;
    for (int hop = 0; fields.size() < bytes; ++hop)
        fields += "Received: from hop" + QByteArray::number(hop) + " by relay" +
                  QByteArray(60, 'x') + "\r\n\t(folded part of the field)\r\n";
    return fields;
}

// Sends one message to `port` as a mail program would, `header` before its
// From field; seconds from the start of the message text to the relay's
// confirmation, or -1.
double sendMessage(quint16 port, int megabytes, const QByteArray &header = QByteArray())
{
    static const QByteArray block = bodyBlock();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    // The message's last line must not wait for the acknowledgement of the
    // text before it (40 ms of delayed ACK on either side, not a cost of
    // what is measured).
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!socket.waitForConnected(TimeoutMs) || !readReply(socket).startsWith("220") ||
        !command(socket, "EHLO bench.example\r\n", "250") ||
        !command(socket, "MAIL FROM:<ann@example.org>\r\n", "250") ||
        !command(socket, "RCPT TO:<bob@example.net>\r\n", "250") ||
        !command(socket, "DATA\r\n", "354"))
        return -1;
    QElapsedTimer clock;
    clock.start();
    socket.write(header + "From: Ann Smith <ann@example.org>\r\nSubject: load\r\n\r\n");
    for (int i = 0; i < megabytes; ++i) {
        socket.write(block);
        while (socket.bytesToWrite() > WriteAhead) {
            if (!socket.waitForBytesWritten(TimeoutMs))
                return -1;
        }
    }
    socket.write(".\r\n");
    if (!readReply(socket).startsWith("250"))
        return -1;
    const double seconds = clock.nsecsElapsed() / 1e9;
    command(socket, "QUIT\r\n", "221");
    return seconds;
}

// A port free a moment ago, for socat to listen on.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

quint16 readyPort(QProcess &process)
{
    static const QRegularExpression ready(QStringLiteral("^READY port=(\\d+)"));
    while (process.waitForReadyRead(10000) || process.canReadLine()) {
        const QRegularExpressionMatch match = ready.match(QString(process.readLine()));
        if (match.hasMatch())
            return match.captured(1).toUShort();
    }
    return 0;
}

// "VmHWM" or "VmRSS" of a process, in MB.
double memoryMb(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

// Makes VmHWM start again from the present resident size.
bool resetPeak(qint64 pid)
{
    QFile refs(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

} // namespace

int main(int argc, char *argv[])
{
    useSourceTree();
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;

    SmtpRelayPeer sink(QStringLiteral("smtp_sink.py"));
    QString error;
    if (!sink.start(&error)) {
        std::fprintf(stderr, "sink: %s\n", qPrintable(error));
        return 1;
    }
    QProcess proxy;
    proxy.start(QCoreApplication::applicationDirPath() + "/smtp_proxy_bench_proxy",
                {QString::number(sink.port())});
    const quint16 proxyPort = readyPort(proxy);
    const quint16 socatPort = freePort();
    QProcess socat;
    socat.start(QStringLiteral("socat"),
                {QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork").arg(socatPort),
                 QStringLiteral("TCP:127.0.0.1:%1").arg(sink.port())});
    if (proxyPort == 0 || !socat.waitForStarted(5000)) {
        std::fprintf(stderr, "the proxy or socat does not start\n");
        return 1;
    }
    // socat listens only a moment after it started.
    if (!runUntil([&] { return sendMessage(socatPort, 0) >= 0; }, 10000)) {
        std::fprintf(stderr, "socat does not forward to the sink\n");
        return 1;
    }

    const qint64 pid = proxy.processId();
    std::printf("proxy idle: VmRSS %.1f MB\n", memoryMb(pid, "VmRSS"));
    int status = 0;
    for (const int megabytes : {5, 50}) {
        QList<double> viaProxy;
        QList<double> viaSocat;
        double peak = 0;
        for (int run = 0; run < runs; ++run) {
            resetPeak(pid);
            const double proxySeconds = sendMessage(proxyPort, megabytes);
            peak = qMax(peak, memoryMb(pid, "VmHWM"));
            const double socatSeconds = sendMessage(socatPort, megabytes);
            if (proxySeconds < 0 || socatSeconds < 0) {
                std::fprintf(stderr, "a %d MB message did not go through %s\n", megabytes,
                             proxySeconds < 0 ? "the proxy" : "socat");
                status = 1;
                break;
            }
            viaProxy << megabytes / proxySeconds;
            viaSocat << megabytes / socatSeconds;
        }
        if (viaProxy.isEmpty())
            continue;
        const double proxyRate = median(viaProxy);
        const double socatRate = median(viaSocat);
        std::printf("%d MB message, median of %d:\n"
                    "  proxy (send normally): %.1f MB/s\n"
                    "  socat forwarder:       %.1f MB/s\n"
                    "  ratio: %.3f (goal: at least 0.9)\n"
                    "  proxy peak memory (VmHWM): %.1f MB (goal: under 40, flat)\n",
                    megabytes, int(viaProxy.size()), proxyRate, socatRate, proxyRate / socatRate,
                    peak);
    }
    const int headerRuns = qMax(runs, 5);
    for (const int kib : {32, 128, 250}) {
        const QByteArray header = traceFields(kib * 1024);
        QList<double> viaProxy;
        QList<double> viaSocat;
        for (int run = 0; run < headerRuns; ++run) {
            const double proxySeconds = sendMessage(proxyPort, 0, header);
            const double socatSeconds = sendMessage(socatPort, 0, header);
            if (proxySeconds < 0 || socatSeconds < 0) {
                std::fprintf(stderr, "a message with a %d KiB header did not go through %s\n", kib,
                             proxySeconds < 0 ? "the proxy" : "socat");
                status = 1;
                break;
            }
            viaProxy << proxySeconds;
            viaSocat << socatSeconds;
        }
        if (viaProxy.isEmpty())
            continue;
        const double proxyMs = median(viaProxy) * 1000;
        const double socatMs = median(viaSocat) * 1000;
        std::printf("%d KiB header, median of %d:\n"
                    "  proxy (send normally): %.2f ms, %.1f us per KiB of header (goal: flat)\n"
                    "  socat forwarder:       %.2f ms\n",
                    kib, int(viaProxy.size()), proxyMs, proxyMs * 1000 / kib, socatMs);
    }
    stopChildProcess(socat);
    stopChildProcess(proxy);
    return status;
}
