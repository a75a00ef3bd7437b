#include "login/OfferedVersion.h"

#include <QRegularExpression>
#include <QUrl>

QString offeredVersion(const QUrl &download)
{
    // A run of dotted numbers after '_' or '-', ending the name or followed
    // by the next part of it (a revision, an architecture, an extension).
    static const QRegularExpression version(
        QStringLiteral("[_-]v?(\\d+(?:\\.\\d+)+)(?=$|[._+~-])"));
    return version.match(download.fileName()).captured(1);
}
