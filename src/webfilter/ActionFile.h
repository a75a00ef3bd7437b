#pragma once

#include <QString>
#include <QStringList>

// The text of the action file "privoxy/quillnet.action" for the user's
// choices. `os` is empty (leave the OS unchanged) or (OS token, platform,
// filter name); `browser` is empty (leave the browser unchanged) or a
// user-agent template. `currentToken` and `currentPlatform` stand for this
// machine's system when a browser is claimed without an OS.
class ActionFile
{
public:
    static QString text(bool x_advert, bool x_cookie, bool x_hdr, QStringList os,
                        const QString &browser, const QString &currentToken,
                        const QString &currentPlatform);

private:
    // The user agent a template yields for the OS choice (token, platform).
    static QString userAgent(const QString &browser, const QStringList &os);
    static QString userAgentSection(QStringList os, const QString &browser,
                                    const QString &currentToken, const QString &currentPlatform);
};
