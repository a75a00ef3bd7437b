#include "tunneld/StartRequest.h"

#include "vpn/TunnelConfigCheck.h"
#include "vpn/TunnelServiceApi.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <algorithm>

namespace {

using Rejection = StartRequest::Rejection;

Rejection invalid(const QString &message)
{
    return {TunnelServiceApi::Error::InvalidArgs, message};
}

bool isBase64Line(const QByteArray &line)
{
    return !line.isEmpty() && line.size() <= 128 &&
           std::all_of(line.begin(), line.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '+' || c == '/' || c == '=';
           });
}

// One or more PEM certificate blocks and blank lines, nothing else:
// OpenVPN reads the file as the CA, so it must be one and only that.
bool isPemCertificate(const QByteArray &text)
{
    bool inside = false;
    int blocks = 0;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line == "-----BEGIN CERTIFICATE-----" && !inside) {
            inside = true;
        } else if (line == "-----END CERTIFICATE-----" && inside) {
            inside = false;
            ++blocks;
        } else if (inside ? !isBase64Line(line) : !line.trimmed().isEmpty()) {
            return false;
        }
    }
    return blocks > 0 && !inside;
}

// A host name or an address literal: OpenVPN takes it as one argument, so
// nothing in it may read as an option, a path or a second word.
bool isProxyHost(const QString &host)
{
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,62})(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,62}))*$"));
    if (host.size() > 253)
        return false;
    return name.match(host).hasMatch() || !QHostAddress(host).isNull();
}

} // namespace

std::optional<Rejection> StartRequest::check() const
{
    if (configuration.size() > TunnelConfigCheck::MaxSize)
        return invalid(QStringLiteral("the configuration is larger than %1 bytes")
                           .arg(TunnelConfigCheck::MaxSize));
    const TunnelConfigCheck::Verdict verdict = TunnelConfigCheck::check(configuration);
    if (!verdict.accepted)
        return Rejection{TunnelServiceApi::Error::Refused,
                         QStringLiteral("refused directive \"%1\" in line %2")
                             .arg(verdict.directive)
                             .arg(verdict.line)};
    if (certificate.size() > TunnelServiceApi::MaxCertificateSize)
        return invalid(QStringLiteral("the certificate is larger than %1 bytes")
                           .arg(TunnelServiceApi::MaxCertificateSize));
    if (!isPemCertificate(certificate))
        return invalid(QStringLiteral("the certificate is not a PEM certificate"));
    if (proxyHost.isEmpty()) {
        if (proxyPort != 0 || proxyAsksCredentials)
            return invalid(QStringLiteral("proxy settings without a proxy host"));
        return std::nullopt;
    }
    if (!isProxyHost(proxyHost))
        return invalid(QStringLiteral("the proxy host is no host name or address"));
    if (proxyPort == 0)
        return invalid(QStringLiteral("the proxy port is not in 1..65535"));
    return std::nullopt;
}
