#include "webfilter/ActionFile.h"

#include "webfilter/GeneratedFile.h"

namespace {

QString ruled(const QString &title)
{
    return title.leftJustified(GeneratedFile::lineWidth, QLatin1Char('#')) + QLatin1Char('\n');
}

QString aliases()
{
    return ruled("## Aliases ") + "{{alias}}\n" +
           "+crunch-all-cookies = +crunch-incoming-cookies +crunch-outgoing-cookies\n" +
           "-crunch-all-cookies = -crunch-incoming-cookies -crunch-outgoing-cookies\n" +
           " allow-all-cookies  = -crunch-all-cookies -session-cookies-only "
           "-filter{content-cookies}\n" +
           " allow-ads = -block -filter{banners-by-size} -filter{banners-by-link}\n" + "\n" +
           ruled("## End Aliases ") + "\n";
}

// Every section applies to all addresses.
QString section(const QString &actions)
{
    return actions + "\n/\n\n";
}

// Header filters are declared as CLIENT-HEADER-FILTER in the filter file;
// Privoxy refuses the old "+filter-client-headers +filter{...}" form.
QString headerFilter(const QString &name)
{
    return "{+client-header-filter{" + name + "} }";
}

} // namespace

QString ActionFile::text(bool x_advert, bool x_cookie, bool x_hdr, QStringList os,
                         const QString &browser, const QString &currentToken,
                         const QString &currentPlatform)
{
    QString text = GeneratedFile::header() + aliases() +
                   userAgentSection(os, browser, currentToken, currentPlatform);
    if (!x_advert)
        text += section("{ allow-ads }");
    if (!x_cookie)
        text += section("{ allow-all-cookies }");
    if (x_hdr)
        text += section(headerFilter("hdr-paranoid"));
    return text;
}

QString ActionFile::userAgentSection(QStringList os, const QString &browser,
                                     const QString &currentToken, const QString &currentPlatform)
{
    if (browser.isEmpty())
        return os.isEmpty() ? QString() : section(headerFilter(os.value(2)));

    // A browser claimed on an unchanged OS names this machine's system, with
    // the platform word its own browsers use ("X11" beside "Linux x86_64").
    if (os.isEmpty())
        os = QStringList{currentToken, currentPlatform};

    if (browser == "-") {
        if (os.value(0) == "-")
            return section(headerFilter("agent-none"));
        return section("{ +hide-user-agent{" + os.value(0) + "} }");
    }
    return section("{ +hide-user-agent{" + userAgent(browser, os) + "} }");
}

QString ActionFile::userAgent(const QString &browser, const QStringList &os)
{
    const QString token = os.value(0);
    const QString platform = os.value(1);
    QString text = browser;
    // Vista shipped with Internet Explorer 7, which claims Mozilla/5.0.
    if (token == "Windows NT 6.0") {
        text.replace("MSIE 6.0", "MSIE 7.0");
        text.replace("Mozilla/4.0", "Mozilla/5.0");
    }
    // Opera on Windows names the system only once.
    if (platform == "Windows" && text.contains("Opera"))
        text.replace("%1; %2", "%1");
    text.replace("%1", token);
    text.replace("%2", platform);
    return text;
}
