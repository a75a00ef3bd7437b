#include "vpn/TunnelFiles.h"

#include "platform/PrivateFile.h"

#include <QDir>
#include <QRegularExpression>
#include <QTextStream>

QString TunnelFiles::locationKey()
{
    return tr("location_en");
}

namespace {

// Where the configuration starts: the same reading as write(), in which the
// end marker counts from the line after the begin marker's. -1 without one.
qsizetype configurationStart(const QByteArray &body)
{
    const qsizetype begin = body.indexOf("BEGIN CERTIFICATE");
    const qsizetype certificate = begin < 0 ? -1 : body.indexOf('\n', begin);
    const qsizetype end = certificate < 0 ? -1 : body.indexOf("END CERTIFICATE", certificate);
    const qsizetype newline = end < 0 ? -1 : body.indexOf('\n', end);
    return newline < 0 ? -1 : newline + 1;
}

} // namespace

bool TunnelFiles::isTunnelConfig(const QByteArray &body)
{
    return !configuration(body).trimmed().isEmpty();
}

QByteArray TunnelFiles::configuration(const QByteArray &body)
{
    const qsizetype start = configurationStart(body);
    return start < 0 ? QByteArray() : body.mid(start);
}

bool TunnelFiles::write(const QByteArray &body, const QString &folder, QString *location)
{
    // The key comes from the catalogue and is used as a pattern unescaped.
    const QRegularExpression locationLine(QRegularExpression::anchoredPattern(
        QStringLiteral("#\\s*\\$\\s*") + locationKey() + QStringLiteral("\\s*=\\s*\"(.+)\"")));

    enum
    {
        BeforeCertificate,
        InCertificate,
        Configuration
    } state = BeforeCertificate;
    QTextStream in(body);
    QByteArray certificate;
    QByteArray configuration;
    QString found = *location;
    QString line;
    while (in.readLineInto(&line)) {
        const QByteArray bytes = line.toUtf8() + '\n';
        switch (state) {
        case BeforeCertificate:
            // A greeting or blank lines before the certificate go nowhere.
            if (!line.contains(QLatin1String("BEGIN CERTIFICATE")))
                break;
            state = InCertificate;
            certificate += bytes;
            break;
        case InCertificate:
            certificate += bytes;
            if (line.contains(QLatin1String("END CERTIFICATE")))
                state = Configuration;
            break;
        case Configuration: {
            configuration += bytes;
            const QRegularExpressionMatch match = locationLine.match(line);
            if (match.hasMatch())
                found = match.captured(1);
            break;
        }
        }
    }
    // The files may hold account details: private to the user, and never
    // written through a link someone left in their place. A full disk shows
    // here too: OpenVPN must not start on cut files.
    const QDir dir(folder);
    if (!PrivateFile::write(dir.filePath(QLatin1String(CertFile)), certificate) ||
        !PrivateFile::write(dir.filePath(QLatin1String(ConfigFile)), configuration))
        return false;
    *location = found;
    return true;
}
