#include "support/SupportRequest.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace SupportRequest {

QString addressPattern()
{
    return QStringLiteral("[a-zA-Z0-9_-]+(\\.[a-zA-Z0-9_-]+)*@([a-zA-Z0-9_-]+\\.)+[a-zA-Z]+");
}

bool isAddress(const QString &text)
{
    static const QRegularExpression address(QRegularExpression::anchoredPattern(addressPattern()));
    return address.match(text).hasMatch();
}

QStringList logFiles()
{
    return {QStringLiteral("log.txt"), QStringLiteral("log.old"),
            QStringLiteral("log-privoxy.txt")};
}

QString withLogListings(const QString &text, const QDir &dir)
{
    QString body = text;
    for (const QString &name : logFiles()) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        QByteArray content = file.readAll();
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
