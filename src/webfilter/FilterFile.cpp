#include "webfilter/FilterFile.h"

#include "webfilter/GeneratedFile.h"
#include "webfilter/UserAgentTables.h"

QString FilterFile::text(const QString &currentToken, const QString &currentPlatform)
{
    // CLIENT-HEADER-FILTER, not FILTER: Privoxy applies only these to request
    // headers, one header line at a time; an emptied line drops the header.
    QString text = GeneratedFile::header();
    for (const OsRow &row : osRows()) {
        text += "CLIENT-HEADER-FILTER: " + row.filterName + " Change user-agent header OS to " +
                row.displayName + "\n";
        text += "s/^(User-Agent:.*)" + currentToken + "(.*)$/$1" + row.token + "$2/i\n";
        // A row of this machine's platform keeps the word as it is.
        if (row.platform != currentPlatform)
            text += "s/^(User-Agent:.*)" + currentPlatform + "(.*)$/$1" + row.platform + "$2/i\n";
        text += "\n";
    }
    text += "CLIENT-HEADER-FILTER: agent-none Remove user-agent header\n"
            "s/^User-Agent:.*$//i\n"
            "\n"
            "CLIENT-HEADER-FILTER: hdr-paranoid Filter almost all headers\n"
            "s/^Accept(-[a-zA-Z]+)?:.*$//i\n"
            "s/^Cache(-[a-zA-Z]+)?:.*$//i\n"
            "s/^Referer:.*$//i\n";
    return text;
}
