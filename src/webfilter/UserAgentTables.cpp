#include "webfilter/UserAgentTables.h"

#include <QtGlobal>

const QList<OsRow> &osRows()
{
    static const QList<OsRow> rows = {
        {QT_TRANSLATE_NOOP("WebFilter", "None"), "-", "-", "os-none"},
        {QT_TRANSLATE_NOOP("WebFilter", "Windows XP"), "Windows NT 5.1", "Windows", "os-winxp"},
        {QT_TRANSLATE_NOOP("WebFilter", "Windows Vista"), "Windows NT 6.0", "Windows",
         "os-winvista"},
        {QT_TRANSLATE_NOOP("WebFilter", "GNU/Linux"), "Linux i686", "X11", "os-linux"},
        {QT_TRANSLATE_NOOP("WebFilter", "Mac OS X"), "Intel Mac OS X", "Macintosh", "os-mac"},
    };
    return rows;
}

const QList<BrowserRow> &browserRows()
{
    static const QList<BrowserRow> rows = {
        {QT_TRANSLATE_NOOP("WebFilter", "None"), "-"},
        {QT_TRANSLATE_NOOP("WebFilter", "Internet Explorer"),
         "Mozilla/4.0 (compatible; MSIE 6.0; %1)"},
        {QT_TRANSLATE_NOOP("WebFilter", "Mozilla Firefox"),
         "Mozilla/5.0 (%1; U; %2; en-US; rv:1.8.1.2) Gecko/20070219 Firefox/2.0.0.2"},
        {QT_TRANSLATE_NOOP("WebFilter", "Opera"), "Opera/9.10 (%1; %2; U; en)"},
        {QT_TRANSLATE_NOOP("WebFilter", "Konqueror"),
         "Mozilla/5.0 (compatible; Konqueror/3.5; %2) KHTML/3.5.6 (like Gecko)"},
        {QT_TRANSLATE_NOOP("WebFilter", "Safari"),
         "Mozilla/5.0 (%1; U; %2; en-us) AppleWebKit/418.9.1 (KHTML, like Gecko) Safari/419.3"},
    };
    return rows;
}
