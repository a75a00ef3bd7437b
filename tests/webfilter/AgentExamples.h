#pragma once

#include <QString>
#include <QStringList>

// The operating systems (token, platform word, filter name) and the user
// agents of the browsers as the web filter is expected to write them; the
// file tests and the tests against Privoxy check the same rows.
inline const QStringList xp{"Windows NT 5.1", "Windows", "os-winxp"};
inline const QStringList vista{"Windows NT 6.0", "Windows", "os-winvista"};
inline const QStringList gnuLinux{"Linux i686", "X11", "os-linux"};
inline const QStringList mac{"Intel Mac OS X", "Macintosh", "os-mac"};
inline const QStringList noOs{"-", "-", "os-none"};

inline const QString ie = "Mozilla/4.0 (compatible; MSIE 6.0; %1)";
inline const QString firefox =
    "Mozilla/5.0 (%1; U; %2; en-US; rv:1.8.1.2) Gecko/20070219 Firefox/2.0.0.2";
inline const QString opera = "Opera/9.10 (%1; %2; U; en)";
inline const QString konqueror =
    "Mozilla/5.0 (compatible; Konqueror/3.5; %2) KHTML/3.5.6 (like Gecko)";
inline const QString safari =
    "Mozilla/5.0 (%1; U; %2; en-us) AppleWebKit/418.9.1 (KHTML, like Gecko) Safari/419.3";
