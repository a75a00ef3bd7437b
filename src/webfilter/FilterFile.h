#pragma once

#include <QString>

// The text of the filter file "privoxy/quillnet.filter": one header filter
// per OS row rewriting this machine's OS token and platform word in the
// user agent into the row's, plus "agent-none" and "hdr-paranoid".
class FilterFile
{
public:
    static QString text(const QString &currentToken, const QString &currentPlatform);
};
