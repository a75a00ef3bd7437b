// OpenVPN console lines as a hostile server could get them printed, fed to
// the reader of pushed options. Besides memory errors it checks that only
// values a resolver configuration may hold come out, and no more of them
// than the bounds allow.

#include "protection/PushedOptions.h"

#include <cstdlib>

namespace {

void require(bool promise)
{
    if (!promise)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    PushedOptions merged;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        PushedOptions one;
        if (PushedOptions::parse(line, &one))
            merged.merge(one);
    }
    require(merged.dnsServers.size() <= PushedOptions::MaxServers);
    require(merged.domains.size() + merged.searchDomains.size() <= PushedOptions::MaxDomains);
    for (const QHostAddress &server : merged.dnsServers)
        require(PushedOptions::isUsableServer(server));
    for (const QString &domain : merged.domains + merged.searchDomains)
        require(PushedOptions::isDomainName(domain));
    const PushedOptions checked = merged.checked();
    require(checked.dnsServers == merged.dnsServers);
    require(checked.domains == merged.domains && checked.searchDomains == merged.searchDomains);
    return 0;
}
