#include "OpenVpnServerPeer.h"

#include "ChildProcess.h"
#include "protection/OpenVpnRun.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <unistd.h>

namespace {

QString script()
{
    return qEnvironmentVariable("QUILLNET_SOURCE_DIR") +
           QStringLiteral("/tests/peers/openvpn_server.sh");
}

QString findSystemProgram(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(
            name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return path;
}

// Runs the script to its end; its standard output, or an error text.
bool runScript(const QStringList &arguments, QByteArray &output, QString &error)
{
    QProcess process;
    process.start(QStringLiteral("bash"), QStringList{script()} + arguments);
    if (!process.waitForFinished(60000)) {
        error = QStringLiteral("openvpn_server.sh %1: %2")
                    .arg(arguments.value(0), process.errorString());
        stopChildProcess(process);
        return false;
    }
    output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return false;
    }
    return true;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

OpenVpnServerPeer::~OpenVpnServerPeer()
{
    stop();
}

bool OpenVpnServerPeer::isAvailable()
{
    if (geteuid() != 0 || !QFile::exists(script()))
        return false;
    if (findSystemProgram(QStringLiteral("openvpn")).isEmpty() ||
        findSystemProgram(QStringLiteral("openssl")).isEmpty())
        return false;
    const QString ip = findSystemProgram(QStringLiteral("ip"));
    if (ip.isEmpty())
        return false;
    QProcess probe;
    probe.start(ip, {QStringLiteral("netns"), QStringLiteral("list")});
    return probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

bool OpenVpnServerPeer::start(const QString &workDirectory, const QStringList &options)
{
    stop();
    error.clear();
    // The client's tunnels all take this one name: a client connected on
    // this machine (the demo, an installed one) leaves none for the test.
    if (QFile::exists(QStringLiteral("/sys/class/net/") + QLatin1String(OpenVpnRun::DeviceName))) {
        error = QStringLiteral("the tunnel device %1 is in use (is a Quillnet client connected on "
                               "this machine?): the tests that bring a tunnel up need it")
                    .arg(QLatin1String(OpenVpnRun::DeviceName));
        return false;
    }
    QByteArray output;
    // A start that fails or is ended part-way undoes itself.
    if (!runScript(QStringList{QStringLiteral("start"), workDirectory} + options, output, error))
        return false;
    workDir = workDirectory;
    for (const QByteArray &line : output.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromUtf8(line.left(equals)),
                          QString::fromUtf8(line.mid(equals + 1)));
    }
    if (serverAddress().isEmpty() || port() == 0) {
        error = QStringLiteral("openvpn_server.sh printed no server address: ") +
                QString::fromUtf8(output);
        stop();
        return false;
    }
    return true;
}

void OpenVpnServerPeer::stop()
{
    if (workDir.isEmpty())
        return;
    QByteArray output;
    QString stopError;
    // The number lets the script clean up even when the directory is gone.
    const QStringList arguments{QStringLiteral("stop"), workDir, QStringLiteral("--net"),
                                values.value(QStringLiteral("NET"))};
    if (!runScript(arguments, output, stopError))
        qWarning("OpenVpnServerPeer: %s", qPrintable(stopError));
    workDir.clear();
    values.clear();
}

QByteArray OpenVpnServerPeer::configBody() const
{
    return readFile(values.value(QStringLiteral("CONFIG_BODY")));
}

QString OpenVpnServerPeer::serverLog() const
{
    return QString::fromUtf8(readFile(values.value(QStringLiteral("SERVER_LOG"))));
}
