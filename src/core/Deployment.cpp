#include "core/Deployment.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <cstdio>

namespace {

const char OverrideVariable[] = "QUILLNET_DEPLOYMENT";

bool readPort(const QSettings &ini, const QString &key, quint16 *port, QStringList *problems)
{
    if (!ini.contains(key))
        return false;
    bool ok = false;
    const uint value = ini.value(key).toString().trimmed().toUInt(&ok);
    if (!ok || value == 0 || value > 65535) {
        problems->append(QStringLiteral("%1: not a port number, keeping %2").arg(key).arg(*port));
        return false;
    }
    *port = quint16(value);
    return true;
}

void readText(const QSettings &ini, const QString &key, QString *text, QStringList *problems)
{
    if (!ini.contains(key))
        return;
    const QString value = ini.value(key).toString().trimmed();
    if (value.isEmpty()) {
        problems->append(QStringLiteral("%1: empty, keeping \"%2\"").arg(key, *text));
        return;
    }
    *text = value;
}

} // namespace

Deployment Deployment::defaults()
{
    // Hosts under a reserved example domain: a build for the real service
    // replaces these and the pinned certificate.
    Deployment d;
    d.serviceHost = QStringLiteral("secure.quillnet.example");
    d.relayHost = QStringLiteral("relay.quillnet.example");
    d.aliasDomain = QStringLiteral("alias.quillnet.example");
    d.supportMailbox = QStringLiteral("support@quillnet.example");
    d.webBase = QStringLiteral("https://www.quillnet.example/");
    d.organizationDomain = QStringLiteral("quillnet.example");
    d.serverCertPath = QStringLiteral(":/data/server.crt");
    return d;
}

Deployment Deployment::fromFile(const QString &path, QStringList *problems)
{
    Deployment d = defaults();
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        problems->append(
            QStringLiteral("%1: cannot read the file, using the built-in values").arg(path));
        return d;
    }
    const QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        problems->append(QStringLiteral("%1: malformed file, using the built-in values").arg(path));
        return d;
    }

    static const QStringList known = {
        QStringLiteral("service_host"),      QStringLiteral("service_https_port"),
        QStringLiteral("service_http_port"), QStringLiteral("relay_host"),
        QStringLiteral("relay_port"),        QStringLiteral("alias_domain"),
        QStringLiteral("support_mailbox"),   QStringLiteral("web_base"),
        QStringLiteral("server_cert"),       QStringLiteral("api_scheme"),
        QStringLiteral("web_filter_port"),   QStringLiteral("mail_proxy_port")};
    for (const QString &key : ini.allKeys()) {
        if (!known.contains(key))
            problems->append(QStringLiteral("%1: unknown key \"%2\" ignored").arg(path, key));
    }

    readText(ini, QStringLiteral("service_host"), &d.serviceHost, problems);
    readPort(ini, QStringLiteral("service_https_port"), &d.serviceHttpsPort, problems);
    readPort(ini, QStringLiteral("service_http_port"), &d.serviceHttpPort, problems);
    readText(ini, QStringLiteral("relay_host"), &d.relayHost, problems);
    readPort(ini, QStringLiteral("relay_port"), &d.relayPort, problems);
    readText(ini, QStringLiteral("alias_domain"), &d.aliasDomain, problems);
    readText(ini, QStringLiteral("support_mailbox"), &d.supportMailbox, problems);
    readText(ini, QStringLiteral("web_base"), &d.webBase, problems);
    readPort(ini, QStringLiteral("web_filter_port"), &d.webFilterPort, problems);
    readPort(ini, QStringLiteral("mail_proxy_port"), &d.mailProxyPort, problems);
    if (!d.webBase.endsWith(QLatin1Char('/')))
        d.webBase += QLatin1Char('/');

    const QString apiScheme =
        ini.value(QStringLiteral("api_scheme"), QStringLiteral("http")).toString().trimmed();
    if (apiScheme == QLatin1String("https") || apiScheme == QLatin1String("http"))
        d.apiOverHttps = apiScheme == QLatin1String("https");
    else
        problems->append(
            QStringLiteral("api_scheme: \"%1\" is neither http nor https, keeping http")
                .arg(apiScheme));

    if (ini.contains(QStringLiteral("server_cert"))) {
        // A relative path is taken from the override file's folder, so a
        // test or demo folder can carry its own certificate beside the file.
        const QString cert = ini.value(QStringLiteral("server_cert")).toString().trimmed();
        const QFileInfo certInfo(info.dir(), cert);
        if (cert.isEmpty() || !certInfo.isReadable())
            problems->append(
                QStringLiteral("server_cert: cannot read \"%1\", keeping the built-in certificate")
                    .arg(cert));
        else
            d.serverCertPath = certInfo.absoluteFilePath();
    }
    return d;
}

const Deployment &Deployment::current()
{
    static const Deployment deployment = [] {
        const QString path = qEnvironmentVariable(OverrideVariable);
        if (path.isEmpty())
            return defaults();
        QStringList problems;
        Deployment d = fromFile(path, &problems);
        for (const QString &problem : std::as_const(problems))
            std::fprintf(stderr, "quillnet: %s: %s\n", OverrideVariable, qPrintable(problem));
        return d;
    }();
    return deployment;
}
