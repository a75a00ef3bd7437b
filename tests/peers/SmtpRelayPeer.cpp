#include "SmtpRelayPeer.h"

#include "ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

SmtpRelayPeer::SmtpRelayPeer(const QString &script, const QStringList &arguments)
    : script(script), arguments(arguments)
{
}

SmtpRelayPeer::~SmtpRelayPeer()
{
    stopChildProcess(process);
}

bool SmtpRelayPeer::start(QString *error)
{
    const QString path = qEnvironmentVariable("QUILLNET_SOURCE_DIR") + "/tests/peers/" + script;
    process.start("python3",
                  QStringList{path, "--port", "0", "--maildir", maildir.path()} + arguments);
    if (!process.waitForStarted(5000)) {
        *error = "python3 does not start";
        return false;
    }
    static const QRegularExpression ready("^READY port=(\\d+)");
    while (process.waitForReadyRead(10000) || process.canReadLine()) {
        while (process.canReadLine()) {
            const QRegularExpressionMatch match = ready.match(QString(process.readLine()));
            if (match.hasMatch()) {
                relayPort = match.captured(1).toUShort();
                return true;
            }
        }
    }
    *error = "relay not ready: " + QString(process.readAllStandardError());
    return false;
}

QList<QByteArray> SmtpRelayPeer::messages() const
{
    QList<QByteArray> result;
    QStringList names = QDir(maildir.path()).entryList({"*.eml"}, QDir::Files);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.section('.', 0, 0).toInt() < b.section('.', 0, 0).toInt();
    });
    for (const QString &name : names) {
        QFile file(maildir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            result.append(file.readAll());
    }
    return result;
}

void SmtpRelayPeer::clear()
{
    for (const QString &name : QDir(maildir.path()).entryList({"*.eml"}, QDir::Files))
        QFile::remove(maildir.filePath(name));
}
