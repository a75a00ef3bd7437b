#include "core/Installation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

Installation::Installation(const QString &programPath)
    : program(QDir::cleanPath(QFileInfo(programPath).absoluteFilePath()))
{
}

Installation Installation::current()
{
    return Installation(QCoreApplication::applicationFilePath());
}

bool Installation::isPackaged() const
{
    return program.startsWith(QLatin1String("/usr/")) &&
           !program.startsWith(QLatin1String("/usr/local/"));
}

QString Installation::launcher() const
{
    // <prefix>/lib/quillnet/quillnet: the launcher is <prefix>/bin/quillnet.
    QDir dir = QFileInfo(program).dir();
    if (dir.dirName() != QLatin1String("quillnet") || !dir.cdUp() ||
        dir.dirName() != QLatin1String("lib") || !dir.cdUp())
        return program;
    const QFileInfo launcher(dir.filePath(QLatin1String("bin/quillnet")));
    return launcher.isFile() && launcher.isExecutable() ? launcher.absoluteFilePath() : program;
}
