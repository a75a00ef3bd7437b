#include "webfilter/WebFilter.h"

#include "core/Deployment.h"
#include "core/WorkingFiles.h"
#include "platform/OsToken.h"
#include "webfilter/ActionFile.h"
#include "webfilter/FilterFile.h"
#include "webfilter/GeneratedFile.h"

#include <QDir>
#include <QRegularExpression>

namespace {

const char programPath[] = "privoxy/Quillnet_webfilter";
const char folder[] = "privoxy";
const char shippedConfig[] = "config.txt";
const char movedConfig[] = "config-moved.txt";

} // namespace

WebFilter::WebFilter(QObject *parent)
    : QObject(parent), proc(new QProcess(this)), log(QLatin1String(WorkingFiles::WebFilterLog))
{
    // Without a log file the output is still examined; the writes fail quietly.
    log.open(QIODevice::WriteOnly | QIODevice::Truncate);

    proc->setProcessChannelMode(QProcess::MergedChannels);
    connect(proc, &QProcess::readyRead, this, &WebFilter::checkLine);
    connect(proc, &QProcess::started, this, &WebFilter::privoxyStarted);
    connect(proc, &QProcess::finished, this, &WebFilter::finished);
    connect(proc, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            emit startFailed(proc->errorString());
    });
}

WebFilter::~WebFilter()
{
    // Nothing is reported from a filter being destroyed.
    proc->disconnect(this);
    if (proc->state() != QProcess::NotRunning) {
        proc->kill();
        // Reaped here rather than by QProcess's destructor, which warns.
        proc->waitForFinished(1000);
    }
}

void WebFilter::startPrivoxy()
{
    bindFailed = false;
    writeFilterFile();
    if (proc->state() != QProcess::NotRunning)
        return;
    // Absolute paths: a relative program path would be looked up from the
    // child's working directory, not from ours.
    const QDir current = QDir::current();
    proc->setWorkingDirectory(current.absoluteFilePath(folder));
    proc->start(current.absoluteFilePath(programPath),
                {QStringLiteral("--no-daemon"), QLatin1String(configFile())}, QIODevice::ReadWrite);
}

// Privoxy takes its port from its configuration alone: a deployment that
// moves the filter to another port gets a copy of the shipped file that
// listens there.
const char *WebFilter::configFile()
{
    const quint16 port = Deployment::current().webFilterPort;
    if (port == LocalServicePorts::WebFilter)
        return shippedConfig;
    QFile shipped(QStringLiteral("%1/%2").arg(QLatin1String(folder), QLatin1String(shippedConfig)));
    if (!shipped.open(QIODevice::ReadOnly))
        return shippedConfig; // Privoxy says why it cannot read it either
    static const QRegularExpression listen(QStringLiteral("^listen-address .*$"),
                                           QRegularExpression::MultilineOption);
    const QString text =
        QString::fromUtf8(shipped.readAll())
            .replace(listen, QStringLiteral("listen-address 127.0.0.1:%1").arg(port));
    const QString moved =
        QStringLiteral("%1/%2").arg(QLatin1String(folder), QLatin1String(movedConfig));
    if (!GeneratedFile::write(moved, text)) {
        emit fileNotWritten(moved);
        return shippedConfig;
    }
    return movedConfig;
}

void WebFilter::stopPrivoxy()
{
    // Privoxy ends at once on SIGTERM, so no forced kill is needed.
    if (proc->state() != QProcess::NotRunning)
        proc->terminate();
}

void WebFilter::updateActionFile(bool x_advert, bool x_cookie, bool x_hdr, QStringList os,
                                 QString browser)
{
    write(QStringLiteral("privoxy/quillnet.action"),
          ActionFile::text(x_advert, x_cookie, x_hdr, os, browser, currentOsToken(),
                           currentPlatformWord()));
}

void WebFilter::writeFilterFile()
{
    write(QStringLiteral("privoxy/quillnet.filter"),
          FilterFile::text(currentOsToken(), currentPlatformWord()));
}

void WebFilter::write(const QString &path, const QString &text)
{
    if (!GeneratedFile::write(path, text))
        emit fileNotWritten(path);
}

void WebFilter::finished(int, QProcess::ExitStatus)
{
    emit privoxyStopped();
}

void WebFilter::checkLine()
{
    while (proc->canReadLine()) {
        QByteArray line = proc->readLine();
        const int zero = line.indexOf('\0');
        if (zero >= 0)
            line.truncate(zero);
        log.write(line);
        log.flush();

        // The flag is set before the report: the message box runs an event
        // loop in which this slot can run again.
        if (!bindFailed && line.contains("Fatal error: can't bind to")) {
            bindFailed = true;
            stopPrivoxy();
            emit bindError(tr("Quillnet"), tr("Web filtering proxy couldn't bind to port "
                                              "%1.\nThere may be other proxy running.")
                                               .arg(Deployment::current().webFilterPort));
        }
    }
}
