#include "support/SupportRequest.h"

#include "core/InputPatterns.h"
#include "core/WorkingFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>

namespace SupportRequest {

QString addressPattern()
{
    return InputPatterns::address();
}

bool isAddress(const QString &text)
{
    static const QRegularExpression address(QRegularExpression::anchoredPattern(addressPattern()));
    return address.match(text).hasMatch();
}

QStringList logFiles()
{
    return {QLatin1String(WorkingFiles::TunnelLog), QLatin1String(WorkingFiles::OldTunnelLog),
            QLatin1String(WorkingFiles::WebFilterLog)};
}

namespace {

// The end of a log, at most MaxLogBytes of it; nothing when it cannot be
// read.
std::optional<QByteArray> logTail(const QDir &dir, const QString &name)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    if (size <= MaxLogBytes)
        return file.readAll();
    if (!file.seek(size - MaxLogBytes))
        return std::nullopt;
    return QByteArray(LeftOutMark) + file.read(MaxLogBytes);
}

} // namespace

QList<Attachment> attachments(const QDir &dir)
{
    QList<Attachment> found;
    for (const QString &name : logFiles()) {
        const QFileInfo info(dir.filePath(name));
        if (info.isFile() && info.isReadable())
            found.append({name, qMin(info.size(), MaxLogBytes)});
    }
    return found;
}

QString withLogListings(const QString &text, const QDir &dir)
{
    QString body = text;
    for (const QString &name : logFiles()) {
        std::optional<QByteArray> tail = logTail(dir, name);
        if (!tail)
            continue;
        QByteArray content = *tail;
        // A log cut off by a crash can end in NUL bytes; the text stops there.
        const qsizetype nul = content.indexOf('\0');
        if (nul >= 0)
            content.truncate(nul);
        // Text mode turns CR LF into LF only on Windows; the logs of the
        // console programs carry CR LF here too.
        content.replace("\r\n", "\n");
        body += QStringLiteral("\n\n*** FILE \"%1\" LISTING ***\n").arg(name);
        body += QString::fromLocal8Bit(content);
    }
    return body;
}

} // namespace SupportRequest
