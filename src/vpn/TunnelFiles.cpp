#include "vpn/TunnelFiles.h"

#include <QDir>
#include <QFile>
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
    const QDir dir(folder);
    QFile cert(dir.filePath(QLatin1String(CertFile)));
    if (!cert.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QFile config(dir.filePath(QLatin1String(ConfigFile)));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;

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
    QTextStream certOut(&cert);
    QTextStream configOut(&config);
    QString line;
    while (in.readLineInto(&line)) {
        switch (state) {
        case BeforeCertificate:
            // A greeting or blank lines before the certificate go nowhere.
            if (!line.contains(QLatin1String("BEGIN CERTIFICATE")))
                break;
            state = InCertificate;
            certOut << line << '\n';
            break;
        case InCertificate:
            certOut << line << '\n';
            if (line.contains(QLatin1String("END CERTIFICATE")))
                state = Configuration;
            break;
        case Configuration: {
            configOut << line << '\n';
            const QRegularExpressionMatch match = locationLine.match(line);
            if (match.hasMatch())
                *location = match.captured(1);
            break;
        }
        }
    }
    certOut.flush();
    configOut.flush();
    // A full disk shows only here: OpenVPN must not start on cut files.
    return certOut.status() == QTextStream::Ok && configOut.status() == QTextStream::Ok &&
           cert.flush() && config.flush();
}
