#include "tunneld/TunnelRun.h"

#include "platform/ConsoleProcess.h"
#include "platform/PrivateFile.h"
#include "platform/PrivateRuntimeFolder.h"
#include "tunneld/StartRequest.h"
#include "vpn/TunnelConfigCheck.h"
#include "vpn/TunnelFiles.h"
#include "vpn/TunnelLaunch.h"

#include <QTemporaryDir>

TunnelRun::TunnelRun(const QString &baseFolder, QObject *parent)
    : QObject(parent), baseFolder(baseFolder), process(new ConsoleProcess(this))
{
    connect(process, &ConsoleProcess::readyRead, this, [this] { emit output(process->readAll()); });
    connect(process, &ConsoleProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                folder.reset();
                emit finished(exitCode, status == QProcess::CrashExit);
            });
}

// The process goes first (ConsoleProcess kills and reaps a running child),
// then the folder it was reading.
TunnelRun::~TunnelRun()
{
    delete process;
}

bool TunnelRun::prepare(const StartRequest &request, QString *error)
{
    if (!PrivateRuntimeFolder::makePrivate(baseFolder, error))
        return false;
    // mkdtemp: a new folder, 0700, that nobody else can have prepared.
    folder = std::make_unique<QTemporaryDir>(baseFolder + QStringLiteral("/run-XXXXXX"));
    if (!folder->isValid()) {
        *error = baseFolder + QStringLiteral(": ") + folder->errorString();
        folder.reset();
        return false;
    }
    const QString configFile = QLatin1String(TunnelFiles::ConfigFile);
    if (!PrivateFile::write(folder->filePath(configFile), request.configuration, error) ||
        !PrivateFile::write(folder->filePath(QLatin1String(TunnelConfigCheck::CertificateFile)),
                            request.certificate, error)) {
        folder.reset();
        return false;
    }

    TunnelLaunch launch;
    launch.configPath = configFile;
    launch.proxyHost = request.proxyHost;
    launch.proxyPort = request.proxyPort;
    launch.proxyAsksCredentials = request.proxyAsksCredentials;
    // "--cd" first: the configuration and the certificate it names are
    // read from the run's folder, and nothing relative resolves elsewhere.
    arguments = QStringList{QStringLiteral("--cd"), folder->path()} + launch.openVpnArguments();
    return true;
}

bool TunnelRun::start(QString *error)
{
    process->setWorkingDirectory(folder->path());
    if (!process->start(QLatin1String(Program), arguments)) {
        *error = process->errorString();
        folder.reset();
        return false;
    }
    return true;
}

bool TunnelRun::write(const QByteArray &bytes)
{
    if (process->bytesToWrite() + bytes.size() > MaxUnreadInput)
        return false;
    process->write(bytes);
    return true;
}

bool TunnelRun::isEchoOff() const
{
    return process->isEchoOff();
}

void TunnelRun::stop()
{
    process->stop();
}

void TunnelRun::kill()
{
    process->kill();
}
